#include "main/host_session.h"

#include "net/classify.h"
#include "net/messages.h"
#include "net/wire_text.h"

namespace crewmap::main {

std::optional<std::string> StoreHostReport(net::SlotTable& Slots, int n, std::string_view piece,
                                           std::int64_t nowMs) {
  if (n < net::kLowestSocket || n > net::kHighestSocket) return std::nullopt;
  const std::optional<net::HostReport> report = net::ClassifyHostPiece(piece);
  if (!report) return std::nullopt;
  net::Slot& slot = Slots[static_cast<std::size_t>(n)];
  slot.Nick = net::DecodeWireText(report->Nick);
  slot.Point = net::DecodeWireText(report->Point);
  if (!slot.Point.empty()) slot.PointAtMs = nowMs;
  return net::BuildRelay(n, piece);
}

}  // namespace crewmap::main
