#include "main/group_key_row.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>

#include "net/group_key.h"
#include "net/key_lines.h"
#include "ui/fonts.h"
#include "ui/twips_rect.h"

namespace crewmap::main {
namespace {

// The button's width beside the address box, taken from the box.
constexpr int kButtonTwips = 300;

// What the key does and does not do, on the button, the key box and the panel.
const char* const kKeyTip =
    "合言葉を知っている人だけがグループに参加できます。知らない人や、アドレスを打ち間違えた人は入れません。\n"
    "合言葉そのものは通信に流れません。\n"
    "位置のやりとりは暗号化されないため、途中の経路では読まれることがあります。\n"
    "古い版のCrewmapやほかのプログラムは、合言葉のあるグループに参加できません。";

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

GroupKeyRow::GroupKeyRow(QWidget& window, QLineEdit& addressBox, int defaultPort, const std::string& key,
                         std::function<void(const std::string& utf8)> keyChanged)
    : addressBox_(addressBox), defaultPort_(defaultPort), keyChanged_(std::move(keyChanged)) {
  const QFont gothic = ui::DesignFont(ui::kGothic);
  const QFont pGothic = ui::DesignFont(ui::kPGothic);
  const QString tip = QString::fromUtf8(kKeyTip);

  QRect box = addressBox.geometry();
  const int buttonWidth = ui::TwipsRect(0, 0, kButtonTwips, 0).width();
  box.setWidth(box.width() - buttonWidth);
  addressBox.setGeometry(box);
  cmdKey = new QPushButton(QStringLiteral("鍵"), &window);
  cmdKey->setObjectName(QStringLiteral("cmdKey"));
  cmdKey->setGeometry(box.right() + 1, box.top(), buttonWidth, box.height());
  cmdKey->setFont(pGothic);
  cmdKey->setToolTip(tip);
  connect(cmdKey, &QPushButton::clicked, this, [this] { ShowPanel(); });

  fraKey = new QFrame(&window, Qt::Popup);
  fraKey->setObjectName(QStringLiteral("fraKey"));
  fraKey->setFrameStyle(QFrame::Box | QFrame::Plain);
  fraKey->setToolTip(tip);
  fraKey->installEventFilter(this);
  auto* grid = new QGridLayout(fraKey);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setSpacing(4);
  auto label = [&](const char* text, int row) {
    auto* caption = new QLabel(QString::fromUtf8(text), fraKey);
    caption->setFont(pGothic);
    grid->addWidget(caption, row, 0);
  };
  label("合言葉", 0);
  txtKey = new QLineEdit(fraKey);
  txtKey->setObjectName(QStringLiteral("txtKey"));
  txtKey->setFont(gothic);
  txtKey->setMaxLength(100);
  txtKey->setPlaceholderText(QStringLiteral("なし（だれでも参加できます）"));
  txtKey->setToolTip(tip);
  grid->addWidget(txtKey, 0, 1, 1, 2);
  connect(txtKey, &QLineEdit::returnPressed, this, [this] { Apply(); });
  label("伝える文", 1);
  txtShare = new QLineEdit(fraKey);
  txtShare->setObjectName(QStringLiteral("txtShare"));
  txtShare->setFont(gothic);
  txtShare->setReadOnly(true);
  grid->addWidget(txtShare, 1, 1);
  cmdCopy = new QPushButton(QStringLiteral("コピー"), fraKey);
  cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
  cmdCopy->setFont(pGothic);
  grid->addWidget(cmdCopy, 1, 2);
  connect(cmdCopy, &QPushButton::clicked, this, [this] {
    if (!ShareText().isEmpty()) QApplication::clipboard()->setText(ShareText());
  });
  auto* hint = new QLabel(QStringLiteral("この文をゲームのチャットで伝えてください"), fraKey);
  hint->setFont(pGothic);
  hint->setWordWrap(true);
  grid->addWidget(hint, 2, 0, 1, 3);
  fraKey->setFixedWidth(window.width());

  connect(&addressBox, &QLineEdit::textChanged, this, [this] { Refresh(); });
  key_ = net::NormalizeKey(key);
  txtKey->setText(FromUtf8(key_));
  if (!key_.empty()) keyChanged_(key_);
  Refresh();
}

GroupKeyRow::~GroupKeyRow() = default;

QString GroupKeyRow::ShareText() const {
  return FromUtf8(net::BuildShareText(addressBox_.text().toStdString(), key_, defaultPort_));
}

void GroupKeyRow::ShowPanel() {
  auto* window = cmdKey->parentWidget();
  fraKey->move(window->mapToGlobal(QPoint(0, addressBox_.geometry().bottom() + 1)));
  fraKey->show();
  txtKey->setFocus(Qt::PopupFocusReason);
}

bool GroupKeyRow::eventFilter(QObject* watched, QEvent* event) {
  // The panel closing (a click elsewhere, Esc) sets what was typed.
  if (watched == fraKey && event->type() == QEvent::Hide) Apply();
  return QObject::eventFilter(watched, event);
}

void GroupKeyRow::Apply() {
  const std::string key = net::NormalizeKey(txtKey->text().toStdString());
  txtKey->setText(FromUtf8(key));
  if (key == key_) return;
  key_ = key;
  keyChanged_(key_);
  Refresh();
}

void GroupKeyRow::Refresh() {
  const QString share = ShareText();
  txtShare->setText(share);
  txtShare->setCursorPosition(0);
  txtShare->setPlaceholderText(QStringLiteral("合言葉を入れると、ここに出ます"));
  cmdCopy->setEnabled(!share.isEmpty());
  // A tinted button says at a glance that the group is locked.
  QPalette palette = cmdKey->palette();
  palette.setColor(QPalette::Button, key_.empty() ? QApplication::palette().color(QPalette::Button)
                                                  : QColor(208, 240, 208));
  cmdKey->setPalette(palette);
  if (qEnvironmentVariableIsSet("CREWMAP_DEBUG_LISTS")) std::fprintf(stderr, "Share= %s\n", share.toUtf8().constData());
}

}  // namespace crewmap::main
