#include "ui/message_box.h"

#include <QMessageBox>

namespace crewmap::ui {
namespace {
MessageHook& Hook() {
  static MessageHook hook;
  return hook;
}
}  // namespace

void SetMessageHook(MessageHook hook) { Hook() = std::move(hook); }

MessageAnswer ShowMessage(const QString& text, MessageButtons buttons) {
  if (Hook()) return Hook()(text, buttons);
  QMessageBox box(QMessageBox::NoIcon, kProgramTitle, text,
                  buttons == MessageButtons::Ok ? QMessageBox::Ok
                                                : (QMessageBox::Retry | QMessageBox::Cancel));
  const int result = box.exec();
  if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
  return result == QMessageBox::Retry ? MessageAnswer::Retry : MessageAnswer::Cancel;
}

}  // namespace crewmap::ui
