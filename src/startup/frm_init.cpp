#include "startup/frm_init.h"

#include <QPushButton>
#include <QRadioButton>

#include "common/twips.h"
#include "startup/common.h"
#include "ui/first_placement.h"
#include "ui/fonts.h"
#include "ui/twips_rect.h"

namespace crewmap::startup {
frmInit::frmInit(std::function<void()> showMainWindow, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      showMainWindow_(std::move(showMainWindow)) {
  setObjectName(QStringLiteral("frmInit"));
  setWindowTitle(QStringLiteral("起動方法"));
  setFont(ui::DesignFont(ui::kPGothic, 9));
  setFixedSize(TwipsToPixels(3615), TwipsToPixels(750));
  setSizeGripEnabled(false);

  const QString captions[2] = {QStringLiteral("サーバとして起動"),
                               QStringLiteral("クライアントとして起動")};
  for (int i = 0; i < 2; ++i) {
    Option1[i] = new QRadioButton(captions[i], this);
    Option1[i]->setObjectName(QStringLiteral("Option1_%1").arg(i));
  }
  Option1[0]->setGeometry(ui::TwipsRect(120, 0, 2055, 375));
  Option1[1]->setGeometry(ui::TwipsRect(120, 360, 2055, 375));
  Option1[1]->setChecked(true);
  // The substitutes of the design face are wider than it: step the options'
  // font down until the longer caption fits its 2055-twip button.
  for (double points = 9.0; points >= 6.0; points -= 0.5) {
    const QFont font = ui::DesignFont(ui::kPGothic, points);
    for (QRadioButton* option : Option1) option->setFont(font);
    if (Option1[1]->sizeHint().width() <= Option1[1]->width()) break;
  }

  Command1 = new QPushButton(QStringLiteral("おｋ"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setGeometry(ui::TwipsRect(2280, 120, 1215, 495));
  Command1->setDefault(true);
  connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
}

void frmInit::showEvent(QShowEvent* event) {
  // Never over the game's read-out (the dialog would otherwise open centred).
  ui::PlaceOnFirstShow(*this);
  // The keyboard starts on the chosen option, as on Windows (not on the
  // first control, which is the option not chosen).
  for (QRadioButton* option : Option1)
    if (option->isChecked()) option->setFocus(Qt::ActiveWindowFocusReason);
  QDialog::showEvent(event);
}

void frmInit::Command1_Click() {
  StartMode = Option1[0]->isChecked() ? 0 : 1;
  accept();
  if (showMainWindow_) showMainWindow_();
}

}  // namespace crewmap::startup
