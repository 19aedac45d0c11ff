#pragma once
// Modal message boxes titled with the program's title, with exactly the
// buttons asked for and no icon. Tests install a hook that answers instead of
// opening a modal loop.
#include <QString>
#include <functional>

namespace crewmap::ui {

inline const QString kProgramTitle = QStringLiteral("Crewmap");

enum class MessageButtons { Ok, RetryCancel };
enum class MessageAnswer { Ok, Retry, Cancel };

MessageAnswer ShowMessage(const QString& text, MessageButtons buttons);

using MessageHook = std::function<MessageAnswer(const QString& text, MessageButtons buttons)>;
// Replaces the dialog by `hook` until reset with an empty hook.
void SetMessageHook(MessageHook hook);

}  // namespace crewmap::ui
