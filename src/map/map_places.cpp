// The map window's saved places and routes: the "x,y" box, the places file
// and its marks on the map, the places window, and a route's steps shown on
// the map, on the overlay and (its arrivals) in the activity log.
#include <QCheckBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTimer>
#include <algorithm>

#include "map/frm_map.h"
#include "map/frm_places.h"
#include "map/map_area.h"
#include "map/point_text.h"
#include "navi/frm_navi.h"
#include "startup/common.h"
#include "startup/settings.h"

namespace crewmap::map {

namespace {

std::filesystem::path placesFile;  // set for tests and benchmarks; empty: beside the settings file
constexpr int kMessageMs = 10000;  // how long a word beside the box stays

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

void frmMap::SetPlacesFile(const std::filesystem::path& file) {
  placesFile = file;
  if (frmMap* map = Loaded()) map->LoadPlaces();
}

void frmMap::LoadPlaces() {
  places_ = PlacesStore(placesFile.empty() ? startup::PlacesPath(startup::IniPath) : placesFile);
  scene_.SetArrivalDistance(startup::LoadMapSettings(startup::IniPath).arrivalDistance);
  // Said at the load, while the window is still hidden: it stays until
  // the box is used.
  if (!places_.Load())
    ShowGoToMessage(QStringLiteral("%1 を読めません").arg(QString::fromLatin1(PlacesFileName)), false);
  else if (!places_.Current().UnreadableLines().empty())
    ShowGoToMessage(FromUtf8(UnreadableText(places_.Current().UnreadableLines())), false);
  PlacesChanged();
}

void frmMap::PlacesChanged(const std::vector<std::size_t>& select) {
  labels_.clear();
  PlacePlaceMarks();
  chosen_ = select;  // for the places window, also when it opens later
  if (Places1) Places1->ShowPlaces(chosen_);
}

void frmMap::PlacePlaceMarks() {
  std::vector<PlaceMark> marks;
  if (Check3->isChecked()) {
    const std::vector<Place>& places = places_.Current().Places();
    if (labels_.size() != places.size()) {  // made for each place once, not every frame
      labels_.clear();
      for (const Place& place : places) labels_.push_back(placeLabels_.For(place.name));
    }
    const auto spots = LayOutPlaces(places, CurrentView(), Picture1->width(), Picture1->height(),
                                    [this](std::size_t i) {
                                      return LabelSize{labels_[i]->w, labels_[i]->h};
                                    });
    marks.reserve(spots.size());
    for (const PlaceSpot& spot : spots)
      marks.push_back({spot, spot.named ? labels_[spot.place] : nullptr});
  }
  Picture1->ShowPlaces(std::move(marks));
}

void frmMap::GoTo() {
  const TypedPoint typed = ReadTypedPoint(txtGoto->text().toStdString());
  if (!typed.point) {
    ShowGoToMessage(typed.error == PointTextError::OutsideWorld
                        ? QStringLiteral("世界の外です（x 0～16383, y 0～8191）")
                        : QStringLiteral("x,y の形で入れてください"));
    return;
  }
  ShowGoToMessage({});
  AimAtSpot(*typed.point);
  txtGoto->selectAll();
}

void frmMap::GoToEdited(const QString& text) {
  // Several lines pasted at once: a list of places, not a spot.
  if (text.contains(QLatin1Char('\n'))) {
    txtGoto->setText(goToText_);
    ShowGoToMessage(PastePlaces(text));
    return;
  }
  goToText_ = text;
  ShowGoToMessage({});
}

void frmMap::ShowGoToMessage(const QString& text, bool fades) {
  lblGoto->setText(text);
  // One line where the window is wide enough, else wrapped inside it.
  const QMargins margins = lblGoto->contentsMargins();
  const int natural =
      lblGoto->fontMetrics().horizontalAdvance(text) + margins.left() + margins.right() + 2;
  const int w = std::max(1, std::min(natural, width() - lblGoto->x() - 8));
  lblGoto->resize(w, lblGoto->heightForWidth(w));
  lblGoto->setVisible(!text.isEmpty());
  // Read once, it need not cover the map any longer.
  if (!fades) return;
  QTimer::singleShot(kMessageMs, lblGoto, [label = lblGoto, text] {
    if (label->text() == text) label->hide();
  });
}

void frmMap::FocusGoTo() {
  show();
  raise();
  activateWindow();
  txtGoto->setFocus(Qt::ShortcutFocusReason);
  txtGoto->selectAll();
}

void frmMap::AimAtSpot(GamePoint spot) {
  scene_.AimAtSpot(spot);
  Label1->show();
  PlaceTargetMarks();
  ShowRouteStep();
  EnableShareButtons();
}

bool frmMap::StartRoute(std::vector<Place> places) {
  if (!scene_.StartRoute(std::move(places))) return false;
  Label1->show();
  PlaceTargetMarks();
  ShowRouteStep();
  EnableShareButtons();
  return true;
}

bool frmMap::StepRoute(int delta) {
  if (!scene_.StepRoute(delta)) return false;
  PlaceTargetMarks();
  ShowRouteStep();
  return true;
}

void frmMap::StopRoute() {
  scene_.StopRoute();
  ShowRouteStep();
}

void frmMap::NoteArrivals() {
  const std::vector<Route::Arrival> arrivals = scene_.TakeArrivals();
  if (arrivals.empty()) return;
  for (const Route::Arrival& arrival : arrivals)
    if (arrivalLog_) arrivalLog_(ArrivalText(arrival));
  PlaceTargetMarks();
  ShowRouteStep();
}

void frmMap::ShowRouteStep() {
  ShowFollowCaption();
  if (navi::frmNavi* navi = navi::frmNavi::Loaded())
    navi->SetStepText(FromUtf8(scene_.CurrentRoute().StepText()));
  if (Places1) Places1->ShowRoute();
}

bool frmMap::ShareSpot(GamePoint spot) {
  if (!share_ || (shareOpen_ && !shareOpen_())) return false;
  share_(spot);
  return true;
}

QString frmMap::SavePlace(const QString& name, bool own) {
  const auto point = own ? scene_.OwnPoint() : scene_.ShareablePoint();
  if (!point)
    return own ? QStringLiteral("現在地がわかりません") : QStringLiteral("目標がありません");
  const std::string clean = CleanPlaceName(name.toStdString());
  if (clean.empty()) return QStringLiteral("名前を入れてください");
  if (!places_.Change([&](PlacesFile& file) { file.Save(clean, *point); })) return CannotWrite();
  PlacesChanged({*places_.Current().IndexOf({clean, *point})});
  return {};
}

QString frmMap::RemovePlaces(const std::vector<Place>& places) {
  if (places.empty()) return QStringLiteral("地点を選んでください");
  const bool written = places_.Change([&](PlacesFile& file) {
    for (const Place& place : places)
      if (const auto i = file.IndexOf(place)) file.Remove(*i);
  });
  if (!written) return CannotWrite();
  PlacesChanged();
  return {};
}

QString frmMap::PastePlaces(const QString& text) {
  PlacesFile::Pasted pasted;
  const std::string utf8 = text.toStdString();
  if (!places_.Change([&](PlacesFile& file) { pasted = file.Paste(utf8); })) return CannotWrite();
  PlacesChanged(pasted.places);
  return FromUtf8(PastedText(pasted));
}

QString frmMap::CannotWrite() const {
  return QStringLiteral("%1 に書き込めません").arg(QString::fromLatin1(PlacesFileName));
}

void frmMap::Command5_Click() {
  if (!Places1) {
    Places1 = new frmPlaces(*this);
    Places1->ShowPlaces(chosen_);
  }
  Places1->show();
  Places1->raise();
  Places1->activateWindow();
}

void AddGoToShortcut(QWidget& window, std::function<void()> showMap) {
  auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_G), &window);
  QObject::connect(shortcut, &QShortcut::activated, &window, [showMap = std::move(showMap)] {
    if (showMap) showMap();
    if (frmMap* map = frmMap::Loaded(); map && map->isVisible()) map->FocusGoTo();
  });
}

}  // namespace crewmap::map
