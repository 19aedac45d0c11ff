// The READMEs quote the program word for word, so that a player can find the
// row or status text in front of them. How each README quotes the program:
//   README.txt (scripts/windows-readme.txt), both halves: in 「…」; a text that
//     holds 「…」 itself is quoted whole (the brackets nest). Texts of Windows
//     and of Qt's own buttons are written in 『…』 and not checked.
//   README.md: in code spans `…`.
// Variable parts are written in ASCII (N, a.b.c.d, [IPv6]) or as 名前 (a
// nickname). Texts are compared by their runs: the maximal stretches of
// non-ASCII characters other than the ideographic space, which parts words
// as a blank does.
//  1. Every run of every string literal in src/ is a run of a quotation in
//     each README. Catches a text the program shows that a README leaves out.
//  2. Every run of a quotation is a run of some literal. Catches a paraphrase
//     (ルーター where the program says ルータ), a quote cut short, a text the
//     program no longer shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
const fs::path kSource = CREWMAP_SOURCE_DIR;

// Program texts no player reads as words: font family names, the overlay's
// handle and up mark, the map's target cross, the host's slot digits.
const std::set<std::string> kNotWords = {"ＭＳ", "ゴシック", "Ｐゴシック", "創英角ﾎﾟｯﾌﾟ体", "●", "↑", "＋",
                                         "１", "２", "３", "４", "５", "６", "７", "８", "９"};

std::string ReadFile(const fs::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// Run -> where it stands (a file, or the whole quotation).
using Runs = std::map<std::string, std::string>;

void AddRuns(Runs& runs, const std::string& utf8, const std::string& where) {
  std::string run;
  for (std::size_t at = 0; at <= utf8.size(); ++at) {
    const bool blank = at == utf8.size() || !(utf8[at] & 0x80) || utf8.compare(at, 3, "\u3000") == 0;
    if (!blank) run += utf8[at];  // a character's bytes all have the top bit set
    if (blank && !run.empty() && run != "名前") runs.emplace(run, where);
    if (blank) run.clear();
    if (blank && at < utf8.size() && (utf8[at] & 0x80)) at += 2;
  }
}

// The string literals of C++ `code`, adjacent ones joined. Comments and
// character literals are skipped; escapes stay as written, so "\r\n" parts
// runs and bytes written as \xNN are no text.
std::vector<std::string> Literals(const std::string& code) {
  std::vector<std::string> literals;
  bool adjacent = false;  // only blanks and comments since the last literal
  for (std::size_t at = 0; at < code.size();) {
    if (code.compare(at, 2, "//") == 0) {
      at = code.find('\n', at);
    } else if (code.compare(at, 2, "/*") == 0) {
      at = std::min(code.find("*/", at + 2), code.size() - 2) + 2;
    } else if (code[at] == '"' || code[at] == '\'') {
      std::size_t end = at + 1;
      while (end < code.size() && code[end] != code[at]) end += code[end] == '\\' ? 2 : 1;
      const std::string body = code.substr(at + 1, end - at - 1);
      if (code[at] == '"' && adjacent) literals.back() += body;
      if (code[at] == '"' && !adjacent) literals.push_back(body);
      adjacent = code[at] == '"';
      at = end + 1;
    } else {
      adjacent = std::isspace(static_cast<unsigned char>(code[at++])) && adjacent;
    }
  }
  return literals;
}

Runs QuotedInTxt(const std::string& text) {
  Runs runs;
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text.compare(at, 3, "「") == 0 && depth++ == 0) start = at + 3;
    if (text.compare(at, 3, "」") == 0 && depth > 0 && --depth == 0)
      AddRuns(runs, text.substr(start, at - start), text.substr(start, at - start));
  }
  EXPECT_EQ(depth, 0) << "README.txt: a 「 is never closed";
  return runs;
}

Runs QuotedInMd(const std::string& text) {
  Runs runs;
  const std::regex span("`([^`\n]+)`");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), span); it != std::sregex_iterator(); ++it)
    AddRuns(runs, (*it)[1].str(), (*it)[1].str());
  return runs;
}

TEST(Readmes, QuoteEveryProgramTextWordForWord) {
  Runs program;
  for (const auto& entry : fs::recursive_directory_iterator(kSource / "src"))
    if (entry.path().extension() == ".cpp" || entry.path().extension() == ".h")
      for (const std::string& literal : Literals(ReadFile(entry.path())))
        AddRuns(program, literal, fs::relative(entry.path(), kSource).string());
  ASSERT_GT(program.size(), 80u) << "the lexer missed the program's texts";

  const std::map<std::string, Runs> readmes = {
      {"README.txt (in 「」)", QuotedInTxt(ReadFile(kSource / "scripts/windows-readme.txt"))},
      {"README.md (in ``)", QuotedInMd(ReadFile(kSource / "README.md"))}};
  for (const auto& [readme, quoted] : readmes) {
    for (const auto& [run, file] : program)
      if (!kNotWords.count(run) && !quoted.count(run))
        ADD_FAILURE() << readme << " does not quote \"" << run << "\" (" << file << ")";
    for (const auto& [run, quote] : quoted)
      if (!program.count(run))
        ADD_FAILURE() << readme << " quotes \"" << run << "\" in \"" << quote << "\": no program text says it";
  }
}

}  // namespace
