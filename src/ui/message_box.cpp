#include "ui/message_box.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <cstdio>

namespace crewmap::ui {
namespace {
MessageHook& Hook() {
  static MessageHook hook;
  return hook;
}

// With CREWMAP_DEBUG_LISTS set (as for the main window's lists), every
// message box's text and button captions also go to standard error, so that
// automated runs of the program can check what the box shows.
void Report(const QMessageBox& box) {
  static const bool on = qEnvironmentVariableIsSet("CREWMAP_DEBUG_LISTS");
  if (!on) return;
  QStringList captions;
  for (const QAbstractButton* button : box.buttons()) captions << button->text();
  QString text = box.text();
  text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
  std::fprintf(stderr, "Message= %s [%s]\n", text.toUtf8().constData(),
               captions.join(QLatin1Char('|')).toUtf8().constData());
  std::fflush(stderr);
}
}  // namespace

void SetMessageHook(MessageHook hook) { Hook() = std::move(hook); }

MessageAnswer ShowMessage(const QString& text, MessageButtons buttons) {
  if (Hook()) return Hook()(text, buttons);
  QMessageBox box(QMessageBox::NoIcon, kProgramTitle, text,
                  buttons == MessageButtons::Ok ? QMessageBox::Ok
                                                : (QMessageBox::Retry | QMessageBox::Cancel));
  Report(box);
  const int result = box.exec();
  if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
  return result == QMessageBox::Retry ? MessageAnswer::Retry : MessageAnswer::Cancel;
}

}  // namespace crewmap::ui
