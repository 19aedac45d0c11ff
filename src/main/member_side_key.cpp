// The member's side of the group key: which key an attempt uses, the lines
// of the exchange, and how the member says that it cannot join.
#include <QByteArray>

#include "main/member_side.h"
#include "net/messages.h"
#include "net/winsock.h"
#include "startup/log_lines.h"

namespace crewmap::main {
namespace {

struct KeyStopTexts {
  const char* status;
  const char* row;
};

KeyStopTexts TextsFor(net::MemberKeyVerdict verdict) {
  switch (verdict) {
    case net::MemberKeyVerdict::WrongKey:
      return {"合言葉が違います", "合言葉が違います"};
    case net::MemberKeyVerdict::KeyNeeded:
      return {"このグループには合言葉が必要です",
              "このグループには合言葉が必要です。ホストから受け取った文をそのままアドレス欄に貼ってください"};
    default:
      return {"このサーバは合言葉を確かめられません",
              "このサーバは合言葉を確かめられません（合言葉のないサーバか、古い版です）"};
  }
}

}  // namespace

QString MemberSide::ProvingStatus() { return QStringLiteral("合言葉を確かめています…"); }

std::optional<net::GroupKey> MemberSide::KeyFor(const std::string& typedKey) {
  // A key pasted with the address wins over the one in the settings file.
  const std::string text = net::NormalizeKey(typedKey.empty() ? settingsKey_ : typedKey);
  if (text.empty()) return std::nullopt;
  // Stretching takes a while: a retry with the same key reuses it.
  if (!stretched_ || stretched_->Text() != text) stretched_ = net::GroupKey::Stretch(text);
  return stretched_;
}

bool MemberSide::KeyStep(const std::string& piece) {
  const net::MemberKeyStep step = keyCheck_.Piece(piece);
  switch (step.verdict) {
    case net::MemberKeyVerdict::Pass:
      return false;
    case net::MemberKeyVerdict::Held:
      return true;
    case net::MemberKeyVerdict::Answer:
      socket_->SendData(QByteArray(step.reply.data(), static_cast<qsizetype>(step.reply.size())));
      return true;
    case net::MemberKeyVerdict::Joined:
      view_.setStatus(QStringLiteral("接続完了"));
      return true;
    default:
      KeyStopped(step.verdict);
      return true;
  }
}

void MemberSide::KeyStopped(net::MemberKeyVerdict verdict) {
  // Trying again would meet the same answer: the member stops and says why.
  socket_->Close();
  established_ = false;
  const KeyStopTexts texts = TextsFor(verdict);
  if (retrying_)
    EndRetrying(texts.row);
  else
    view_.appendLog(startup::NoticeRow(startup::CurrentTimestamp(), texts.row));
  ShowIdle(QString::fromUtf8(texts.status));
}

}  // namespace crewmap::main
