#pragma once
// Host only: the group key, set with a small button beside the address box,
// and the one text the host passes on in game chat (address, port and key
// together) with a button that copies it. The button opens a panel under
// the address box; the key takes effect when the player presses Enter in
// its box or the panel closes.
#include <QObject>
#include <QString>
#include <functional>
#include <string>

class QFrame;
class QLineEdit;
class QPushButton;
class QWidget;

namespace crewmap::main {

class GroupKeyRow : public QObject {
 public:
  // Narrows `addressBox` in `window` to make room for the button. `key`
  // (UTF-8, from the settings file) is the key at start; `keyChanged` gets
  // every key the player sets ("": none), the one at start included.
  GroupKeyRow(QWidget& window, QLineEdit& addressBox, int defaultPort, const std::string& key,
              std::function<void(const std::string& utf8)> keyChanged);
  ~GroupKeyRow() override;

  // What the panel offers to pass on (empty without a key).
  QString ShareText() const;
  void ShowPanel();

  QPushButton* cmdKey = nullptr;  // beside the address box
  QFrame* fraKey = nullptr;       // the panel
  QLineEdit* txtKey = nullptr;
  QLineEdit* txtShare = nullptr;
  QPushButton* cmdCopy = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Apply();
  void Refresh();

  QLineEdit& addressBox_;
  int defaultPort_;
  std::function<void(const std::string&)> keyChanged_;
  std::string key_;  // as last set
};

}  // namespace crewmap::main
