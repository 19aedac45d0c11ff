#pragma once
// The places window "Crewmap - 地点": the saved places, saving the target or
// the own position under a name, pasting a list of places, and a route
// through the places chosen. It belongs to the map window, which holds the
// places and the target.
#include <QWidget>
#include <vector>

#include "map/places.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace crewmap::map {

class frmMap;

class frmPlaces : public QWidget {
  Q_OBJECT

 public:
  explicit frmPlaces(frmMap& map);

  // The places as the map holds them now; `select` marks those rows.
  void ShowPlaces(const std::vector<std::size_t>& select = {});
  // The route's step, or that there is none.
  void ShowRoute();
  void ShowStatus(const QString& text);

  QTreeWidget* List1 = nullptr;  // name, x,y
  QLineEdit* txtName = nullptr;  // the name to save under
  QPushButton* cmdSaveTarget = nullptr;
  QPushButton* cmdSaveOwn = nullptr;
  QPushButton* cmdAim = nullptr;      // the place becomes the target
  QPushButton* cmdMeeting = nullptr;  // ... the group's meeting point
  QPushButton* cmdRemove = nullptr;
  QPushButton* cmdPaste = nullptr;
  QPushButton* cmdRoute = nullptr;  // a route through the chosen places
  QPushButton* cmdBack = nullptr;
  QPushButton* cmdNext = nullptr;
  QPushButton* cmdStop = nullptr;
  QLabel* lblRoute = nullptr;
  QLabel* lblStatus = nullptr;

 private:
  std::vector<Place> Chosen() const;
  void Save(bool own);
  void Aim();
  void Meeting();
  void Remove();
  void Paste();
  void Route();

  frmMap& map_;
};

}  // namespace crewmap::map
