// A connection's outgoing queue under any sequence of position lines,
// control lines, leave notices and sends.
//
// Input: a sequence of operations, two bytes each: the first picks the kind
// (position, control, leave notice, send) and the second the slot (0..9).
// Checks, after every step: the byte count is the sum of the lines; at most
// one position per sender and two leave notices per slot wait; and at the
// end, with everything sent: every control line came out, in order; each
// sender's last position came out; for each slot, what came out about it is
// in the order it went in.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "net/outgoing_queue.h"

namespace {

using crewmap::net::OutgoingQueue;
using crewmap::net::Traffic;

// Lines carry their kind, slot and a sequence number, so that what comes out
// can be checked against what went in.
std::string Line(char kind, int slot, int seq) {
  return std::string(1, kind) + std::to_string(slot) + ":" + std::to_string(seq);
}
char KindOf(const std::string& line) { return line[0]; }
int SlotOf(const std::string& line) { return line[1] - '0'; }
int SeqOf(const std::string& line) { return std::stoi(line.substr(3)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  crewmap::fuzz::InputReader input(data, size);
  OutgoingQueue queue;
  std::vector<std::string> controls;        // control lines in the order pushed
  std::map<int, std::string> lastPosition;  // sender -> its newest position
  std::vector<std::string> out;
  int seq = 0;
  for (std::size_t step = 0; step < size / 2; ++step) {
    const int op = input.Byte() % 4;
    const int slot = input.Byte() % 10;
    switch (op) {
      case 0: {
        const std::string line = Line('P', slot, seq++);
        lastPosition[slot] = line;
        queue.Push(Traffic::Position, slot, line);
        break;
      }
      case 1: {
        const std::string line = Line('C', slot, seq++);
        controls.push_back(line);
        queue.Push(Traffic::Control, -1, line);
        break;
      }
      case 2:
        queue.Push(Traffic::Leave, slot, Line('L', slot, seq++));
        break;
      default:
        if (!queue.Empty()) out.push_back(queue.Pop());
        break;
    }
    // Bounded by construction: ten positions, two notices per slot, the control lines.
    FUZZ_CHECK(queue.Lines() <= 10 + 20 + controls.size());
  }
  std::size_t bytes = 0;
  std::map<int, int> positions, leaves;
  {
    OutgoingQueue copy = queue;
    while (!copy.Empty()) {
      const std::string line = copy.Pop();
      bytes += line.size();
      if (KindOf(line) == 'P') FUZZ_CHECK(++positions[SlotOf(line)] <= 1);
      if (KindOf(line) == 'L') FUZZ_CHECK(++leaves[SlotOf(line)] <= 2);
    }
  }
  FUZZ_CHECK(bytes == queue.Bytes());
  while (!queue.Empty()) out.push_back(queue.Pop());
  FUZZ_CHECK(queue.Bytes() == 0);

  std::vector<std::string> controlsOut;
  std::map<int, int> lastSeqAbout;  // slot -> sequence of the last line about it that came out
  std::map<int, std::string> lastPositionOut;
  for (const std::string& line : out) {
    if (KindOf(line) == 'C') {
      controlsOut.push_back(line);
      continue;
    }
    const int slot = SlotOf(line);
    const auto it = lastSeqAbout.find(slot);
    FUZZ_CHECK(it == lastSeqAbout.end() || it->second < SeqOf(line));
    lastSeqAbout[slot] = SeqOf(line);
    if (KindOf(line) == 'P') lastPositionOut[slot] = line;
  }
  FUZZ_CHECK(controlsOut == controls);
  FUZZ_CHECK(lastPositionOut == lastPosition);
  return 0;
}
