// The Winsock control's outgoing side: lines queued per connection, handed
// to the system as the peer takes them, and the stall timer that cuts off a
// peer that takes nothing.
#include <QTcpSocket>
#include <QTimer>
#include <string>

#include "common/steady_ms.h"
#include "net/winsock.h"

namespace crewmap::net {

bool Winsock::SendData(const QByteArray& bytes, Traffic kind, int slot) {
  if (state_ != SocketState::Connected || !socket_) return false;
  const std::size_t before = queue_.Lines();
  queue_.Push(kind, slot, bytes.toStdString());
  if (kind == Traffic::Position && queue_.Lines() == before) ++positionsDropped_;
  Pump();
  return true;
}

void Winsock::Pump() {
  if (!socket_ || state_ != SocketState::Connected) {
    stallTimer_->stop();
    return;
  }
  while (queue_.MayHandOff(static_cast<std::size_t>(socket_->bytesToWrite()))) {
    const std::string line = queue_.Pop();
    socket_->write(line.data(), static_cast<qint64>(line.size()));
  }
  WatchQueue();
}

void Winsock::WatchQueue() {
  const bool waiting = socket_->bytesToWrite() > 0 || !queue_.Empty();
  const std::int64_t left = queue_.Observe(waiting, progressed_, SteadyNowMs());
  progressed_ = false;
  if (left < 0)
    stallTimer_->stop();
  else if (!stallTimer_->isActive() || stallTimer_->remainingTime() > left + 100)
    stallTimer_->start(static_cast<int>(left));
}

void Winsock::OnStallTimer() {
  if (!socket_ || state_ != SocketState::Connected) return;
  const bool waiting = socket_->bytesToWrite() > 0 || !queue_.Empty();
  const std::int64_t left = queue_.Observe(waiting, progressed_, SteadyNowMs());
  progressed_ = false;
  if (left < 0) return;
  if (left > 0) {
    stallTimer_->start(static_cast<int>(left));
    return;
  }
  // The peer has taken nothing for the whole grace period: drop the
  // connection without trying to send what waits, and report it like a
  // broken one.
  ++generation_;
  socket_->disconnect(this);
  socket_->abort();
  queue_.Reset();
  state_ = SocketState::Error;
  emit Error(index_, kErrPeerStalled, QStringLiteral("The peer stopped reading"));
}

}  // namespace crewmap::net
