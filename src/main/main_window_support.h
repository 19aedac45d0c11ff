#pragma once
// What the main window's units share: text between Qt and the UTF-8 and
// wire strings of the plain units, the role, the debug echo of what the
// window shows, and fitting a caption into its label.
#include <QByteArray>
#include <QString>
#include <string>

class QFont;
class QLabel;

namespace crewmap::main {

inline QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToUtf8(const QString& text) { return text.toStdString(); }

inline QByteArray ToBytes(const std::string& bytes) {
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// StartMode 0: this instance is the host.
bool IsHost();

// The address box's caption, which a capture failure's text replaces for a while.
inline const QString kSrvIpCaption = QStringLiteral("SRV IP");

// The substitute fonts run wider than the design fonts: a caption that would
// be clipped by its label's design width is drawn a little smaller instead.
void FitCaption(QLabel* label, const QFont& designFont);

// With CREWMAP_DEBUG_LISTS set, every change of the member list, every new
// activity-log line and the host's own address are also written to standard
// error, so that automated runs of separate processes can check what each
// window shows.
bool DebugLists();

}  // namespace crewmap::main
