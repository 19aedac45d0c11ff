#pragma once
// The start dialog: host or member, chosen at every start.
#include <QDialog>
#include <array>
#include <functional>

class QPushButton;
class QRadioButton;

namespace crewmap::startup {

class frmInit : public QDialog {
  Q_OBJECT

 public:
  // `showMainWindow` creates and shows the main window; it runs when the OK
  // button is pressed, after StartMode is set and the dialog is closed.
  explicit frmInit(std::function<void()> showMainWindow, QWidget* parent = nullptr);

  // OK: StartMode = 0 when "サーバとして起動" is selected, else 1; closes the
  // dialog, then shows the main window.
  void Command1_Click();

  std::array<QRadioButton*, 2> Option1{};
  QPushButton* Command1 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::function<void()> showMainWindow_;
};

}  // namespace crewmap::startup
