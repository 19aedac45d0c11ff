#include "map/frm_places.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>

#include "map/frm_map.h"
#include "ui/fonts.h"

namespace crewmap::map {

namespace {

QPushButton* Button(const char* name, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  return button;
}

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

const QString kChoose = QStringLiteral("地点を選んでください");

}  // namespace

frmPlaces::frmPlaces(frmMap& map) : QWidget(&map, Qt::Tool), map_(map) {
  setObjectName(QStringLiteral("frmPlaces"));
  setWindowTitle(QStringLiteral("Crewmap - 地点"));
  setFont(ui::DesignFont(ui::kPGothic));

  List1 = new QTreeWidget(this);
  List1->setObjectName(QStringLiteral("List1"));
  List1->setColumnCount(2);
  List1->setHeaderLabels({QStringLiteral("地点"), QStringLiteral("座標")});
  List1->setRootIsDecorated(false);
  List1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  List1->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  List1->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  List1->header()->setStretchLastSection(false);

  txtName = new QLineEdit(this);
  txtName->setObjectName(QStringLiteral("txtName"));
  txtName->setPlaceholderText(QStringLiteral("名前"));
  cmdSaveTarget = Button("cmdSaveTarget", QStringLiteral("目標を保存"), this);
  cmdSaveOwn = Button("cmdSaveOwn", QStringLiteral("現在地を保存"), this);
  cmdAim = Button("cmdAim", QStringLiteral("目標にする"), this);
  cmdMeeting = Button("cmdMeeting", QStringLiteral("集合地点に"), this);
  cmdRemove = Button("cmdRemove", QStringLiteral("削除"), this);
  cmdPaste = Button("cmdPaste", QStringLiteral("貼り付け"), this);
  cmdRoute = Button("cmdRoute", QStringLiteral("ルート開始"), this);
  cmdBack = Button("cmdBack", QStringLiteral("◀"), this);
  cmdNext = Button("cmdNext", QStringLiteral("▶"), this);
  cmdStop = Button("cmdStop", QStringLiteral("停止"), this);
  lblRoute = new QLabel(this);
  lblRoute->setObjectName(QStringLiteral("lblRoute"));
  lblStatus = new QLabel(this);
  lblStatus->setObjectName(QStringLiteral("lblStatus"));
  lblStatus->setWordWrap(true);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setSpacing(4);
  grid->addWidget(List1, 0, 0, 1, 4);
  grid->addWidget(txtName, 1, 0, 1, 2);
  grid->addWidget(cmdSaveTarget, 1, 2);
  grid->addWidget(cmdSaveOwn, 1, 3);
  grid->addWidget(cmdAim, 2, 0);
  grid->addWidget(cmdMeeting, 2, 1);
  grid->addWidget(cmdRemove, 2, 2);
  grid->addWidget(cmdPaste, 2, 3);
  grid->addWidget(cmdRoute, 3, 0);
  grid->addWidget(cmdBack, 3, 1);
  grid->addWidget(cmdNext, 3, 2);
  grid->addWidget(cmdStop, 3, 3);
  grid->addWidget(lblRoute, 4, 0, 1, 4);
  grid->addWidget(lblStatus, 5, 0, 1, 4);
  grid->setRowStretch(0, 1);
  resize(320, 320);

  connect(cmdSaveTarget, &QPushButton::clicked, this, [this] { Save(false); });
  connect(cmdSaveOwn, &QPushButton::clicked, this, [this] { Save(true); });
  connect(txtName, &QLineEdit::returnPressed, this, [this] { Save(false); });
  connect(cmdAim, &QPushButton::clicked, this, [this] { Aim(); });
  connect(List1, &QTreeWidget::itemDoubleClicked, this, [this] { Aim(); });
  connect(cmdMeeting, &QPushButton::clicked, this, [this] { Meeting(); });
  connect(cmdRemove, &QPushButton::clicked, this, [this] { Remove(); });
  connect(cmdPaste, &QPushButton::clicked, this, [this] { Paste(); });
  connect(new QShortcut(QKeySequence::Paste, List1, nullptr, nullptr, Qt::WidgetShortcut),
          &QShortcut::activated, this, [this] { Paste(); });
  connect(cmdRoute, &QPushButton::clicked, this, [this] { Route(); });
  connect(cmdBack, &QPushButton::clicked, this, [this] { map_.StepRoute(-1); });
  connect(cmdNext, &QPushButton::clicked, this, [this] { map_.StepRoute(+1); });
  connect(cmdStop, &QPushButton::clicked, this, [this] { map_.StopRoute(); });
  ShowRoute();  // the places come with the first showing (see frmMap)
}

void frmPlaces::ShowPlaces(const std::vector<std::size_t>& select) {
  const std::vector<Place>& places = map_.Places().Current().Places();
  List1->clear();
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(places.size()));
  for (const Place& place : places)
    items.append(new QTreeWidgetItem(
        {FromUtf8(place.name), QStringLiteral("%1,%2").arg(place.point.x).arg(place.point.y)}));
  List1->addTopLevelItems(items);
  for (const std::size_t i : select)
    if (i < places.size()) items[static_cast<qsizetype>(i)]->setSelected(true);
  if (!select.empty() && select.front() < places.size())
    List1->scrollToItem(items[static_cast<qsizetype>(select.front())]);
}

void frmPlaces::ShowRoute() {
  const map::Route& route = map_.Scene().CurrentRoute();
  lblRoute->setText(route.Active() ? QStringLiteral("ルート %1").arg(FromUtf8(route.StepText()))
                                   : QStringLiteral("ルートなし"));
  cmdBack->setEnabled(route.Active());
  cmdNext->setEnabled(route.Active());
  cmdStop->setEnabled(route.Active());
}

void frmPlaces::ShowStatus(const QString& text) { lblStatus->setText(text); }

std::vector<Place> frmPlaces::Chosen() const {
  // In the list's order, whatever order they were picked in.
  const std::vector<Place>& places = map_.Places().Current().Places();
  std::vector<Place> chosen;
  for (int i = 0; i < List1->topLevelItemCount() && static_cast<std::size_t>(i) < places.size();
       ++i)
    if (List1->topLevelItem(i)->isSelected()) chosen.push_back(places[static_cast<std::size_t>(i)]);
  return chosen;
}

void frmPlaces::Save(bool own) { ShowStatus(map_.SavePlace(txtName->text(), own)); }

void frmPlaces::Aim() {
  const std::vector<Place> chosen = Chosen();
  ShowStatus(chosen.empty() ? kChoose : QString());
  if (!chosen.empty()) map_.AimAtSpot(chosen.front().point);
}

void frmPlaces::Meeting() {
  const std::vector<Place> chosen = Chosen();
  if (chosen.empty()) return ShowStatus(kChoose);
  ShowStatus(map_.ShareSpot(chosen.front().point)
                 ? QString()
                 : QStringLiteral("いまは集合地点を共有できません"));
}

void frmPlaces::Remove() { ShowStatus(map_.RemovePlaces(Chosen())); }

void frmPlaces::Paste() { ShowStatus(map_.PastePlaces(QApplication::clipboard()->text())); }

void frmPlaces::Route() {
  // The chosen places from the top of the list down.
  const std::vector<Place> chosen = Chosen();
  ShowStatus(chosen.empty() ? kChoose : QString());
  if (!chosen.empty()) map_.StartRoute(chosen);
}

}  // namespace crewmap::map
