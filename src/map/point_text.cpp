#include "map/point_text.h"

#include <array>
#include <tuple>
#include <utility>
#include <vector>

#include "common/wide_forms.h"

namespace crewmap::map {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Brackets players put around a spot or a name, and what stands between
// the two numbers besides blanks (after folding: the full-width "(" is "(",
// the full-width comma ","). The CJK brackets: 「」『』【】〔〕〈〉《》, and the
// ideographic comma.
constexpr std::array<std::string_view, 10> kOpening = {
    "(", "[", "{", "<", "\u300C", "\u300E", "\u3010", "\u3014", "\u3008", "\u300A"};
constexpr std::array<std::string_view, 10> kClosing = {
    ")", "]", "}", ">", "\u300D", "\u300F", "\u3011", "\u3015", "\u3009", "\u300B"};
constexpr std::array<std::string_view, 4> kSeparators = {",", ";", "/", "\u3001"};

template <std::size_t N>
std::size_t StartsWithAny(std::string_view text, std::size_t at,
                          const std::array<std::string_view, N>& set) {
  for (const std::string_view s : set)
    if (text.substr(at, s.size()) == s) return s.size();
  return 0;
}
template <std::size_t N>
std::size_t EndsWithAny(std::string_view text, std::size_t end,
                        const std::array<std::string_view, N>& set) {
  for (const std::string_view s : set)
    if (end >= s.size() && text.substr(end - s.size(), s.size()) == s) return s.size();
  return 0;
}

// After a label letter ("x" or "y") at `at`: the end of "x:" / "y =", or 0.
std::size_t LabelEnd(std::string_view text, std::size_t at, char letter) {
  if (at >= text.size() || (text[at] | 0x20) != letter) return 0;
  std::size_t k = at + 1;
  while (k < text.size() && IsBlank(text[k])) ++k;
  return k < text.size() && (text[k] == ':' || text[k] == '=') ? k + 1 : 0;
}

// Skips blanks and separators from `at`.
std::size_t SkipSeparators(std::string_view text, std::size_t at) {
  for (;;) {
    if (at < text.size() && IsBlank(text[at]))
      ++at;
    else if (const std::size_t n = StartsWithAny(text, at, kSeparators))
      at += n;
    else
      return at;
  }
}

// Whether the text between two numbers only separates them: blanks and
// separators, and perhaps a "y:" label.
bool Separates(std::string_view between) {
  std::size_t at = SkipSeparators(between, 0);
  if (const std::size_t label = LabelEnd(between, at, 'y')) at = SkipSeparators(between, label);
  return at == between.size();
}

// Whether `text` is only blanks, brackets and "x:" / "y:" labels.
bool OnlyDecoration(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    if (IsBlank(text[at]))
      ++at;
    else if (const std::size_t n =
                 StartsWithAny(text, at, kOpening) + StartsWithAny(text, at, kClosing))
      at += n;
    else if (const std::size_t end = LabelEnd(text, at, 'x') + LabelEnd(text, at, 'y'))
      at = end;
    else
      return false;
  }
  return true;
}

struct DigitRun {
  std::size_t begin, end;
  std::string_view In(std::string_view text) const { return text.substr(begin, end - begin); }
};

std::vector<DigitRun> DigitRuns(std::string_view text) {
  std::vector<DigitRun> runs;
  for (std::size_t at = 0; at < text.size();) {
    if (!IsDigit(text[at])) {
      ++at;
      continue;
    }
    const std::size_t begin = at;
    while (at < text.size() && IsDigit(text[at])) ++at;
    runs.push_back({begin, at});
  }
  return runs;
}

// Two runs of digits as a spot in the world, leading zeros aside.
std::optional<GamePoint> PairInWorld(std::string_view x, std::string_view y) {
  const auto significant = [](std::string_view digits) {
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    return std::string(digits);
  };
  return ParseWorldPoint(significant(x) + "," + significant(y));
}

// The name standing in text[0, end) before the numbers: without the blanks,
// separators, opening brackets and labels that lead up to them.
std::pair<std::size_t, std::size_t> NameBefore(std::string_view text, std::size_t end) {
  bool labelMark = false;  // a ':' or '=' was just taken off: an "x" before it is its label
  for (;;) {
    std::size_t n = EndsWithAny(text, end, kSeparators) + EndsWithAny(text, end, kOpening);
    const char last = end > 0 ? text[end - 1] : '\0';
    const bool mark = n == 0 && (last == ':' || last == '=');
    if (n == 0 && (IsBlank(last) || mark || last == '-')) n = 1;
    if (n == 0 && labelMark && (last | 0x20) == 'x' && (end == 1 || IsBlank(text[end - 2]))) n = 1;
    if (n == 0) break;
    end -= n;
    labelMark = mark || (labelMark && IsBlank(last));
  }
  std::size_t begin = 0;
  while (begin < end && IsBlank(text[begin])) ++begin;
  return {begin, end};
}

// The name standing after the numbers, from `begin`.
std::pair<std::size_t, std::size_t> NameAfter(std::string_view text, std::size_t begin) {
  for (;;) {
    if (begin < text.size() && IsBlank(text[begin])) {
      ++begin;
    } else if (const std::size_t n =
                   StartsWithAny(text, begin, kClosing) + StartsWithAny(text, begin, kSeparators)) {
      begin += n;
    } else {
      break;
    }
  }
  std::size_t end = text.size();
  while (end > begin && IsBlank(text[end - 1])) --end;
  return {begin, end};
}

}  // namespace

TypedPoint ReadTypedPoint(std::string_view text) {
  const std::string folded = FoldWideForms(text);
  const std::vector<DigitRun> runs = DigitRuns(folded);
  if (runs.size() != 2) return {};
  const std::string_view all(folded);
  if (!Separates(all.substr(runs[0].end, runs[1].begin - runs[0].end)) ||
      !OnlyDecoration(all.substr(0, runs[0].begin)) || !OnlyDecoration(all.substr(runs[1].end)))
    return {};
  if (const auto point = PairInWorld(runs[0].In(all), runs[1].In(all)))
    return {point, PointTextError::None};
  return {std::nullopt, PointTextError::OutsideWorld};
}

std::optional<NamedPoint> ReadPlaceLine(std::string_view line) {
  std::vector<std::size_t> origins;
  const std::string folded = FoldWideForms(line, &origins);
  const std::string_view all(folded);
  const std::vector<DigitRun> runs = DigitRuns(all);
  for (std::size_t i = runs.size(); i-- > 1;) {
    const DigitRun& x = runs[i - 1];
    const DigitRun& y = runs[i];
    if (!Separates(all.substr(x.end, y.begin - x.end))) continue;
    const auto point = PairInWorld(x.In(all), y.In(all));
    if (!point) continue;
    auto [begin, end] = NameBefore(all, x.begin);
    if (begin == end) std::tie(begin, end) = NameAfter(all, y.end);
    std::string name = CleanPlaceName(line.substr(origins[begin], origins[end] - origins[begin]));
    if (name.empty()) return std::nullopt;
    return NamedPoint{std::move(name), *point};
  }
  return std::nullopt;
}

std::string CleanPlaceName(std::string_view name) {
  std::string clean;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    clean += byte < 0x20 || byte == 0x7F ? ' ' : c;  // control characters, tabs and line ends
  }
  // Blanks at either end; at the start also comment marks and the invisible
  // U+FEFF, which at the start of the file would be read as its byte-order
  // mark.
  const std::string_view wideBlank = "\u3000", zeroWidth = "\uFEFF";
  for (bool trimmed = true; trimmed;) {
    trimmed = true;
    if (!clean.empty() && (clean.front() == ' ' || clean.front() == '#'))
      clean.erase(0, 1);
    else if (!clean.empty() && clean.back() == ' ')
      clean.pop_back();
    else if (clean.starts_with(wideBlank) || clean.starts_with(zeroWidth))
      clean.erase(0, 3);
    else if (clean.ends_with(wideBlank))
      clean.erase(clean.size() - wideBlank.size());
    else
      trimmed = false;
  }
  return clean;
}

}  // namespace crewmap::map
