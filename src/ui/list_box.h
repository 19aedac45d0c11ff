#pragma once
// A list box of text rows of one height, for lists that only grow at the end
// (the activity log) or are rebuilt whole (the member list). Adding a row,
// selecting it and scrolling it into view cost the same however many rows
// the list holds: rows are kept in a deque and only the rows in view are
// laid out and painted, when the window next paints. A row cut off by the
// box's edges shows its whole text as a tool tip under the mouse.
#include <QAbstractScrollArea>
#include <QString>
#include <deque>

namespace crewmap::ui {

class ListBox : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit ListBox(QWidget* parent = nullptr);

  int count() const { return static_cast<int>(rows_.size()); }
  QString text(int row) const;  // empty outside 0..count()-1

  // Adds a row at the end; past maxRows() the oldest row leaves first.
  void addItem(const QString& text);
  // Adds a row at the end, selects it and scrolls it into view.
  void addAndSelect(const QString& text);
  void clear();

  // The most rows the list keeps (0: no limit, the default).
  int maxRows() const { return maxRows_; }
  void setMaxRows(int rows);

  // The selected row, -1 for none.
  int currentRow() const { return current_; }
  // Selects `row` (-1 or a row outside the list selects nothing) and
  // scrolls it into view.
  void setCurrentRow(int row);

  // The first row in view, and whether `row` is wholly in view.
  int topRow() const;
  bool isRowVisible(int row) const;
  int rowHeight() const { return rowHeight_; }

 signals:
  void currentRowChanged(int row);
  // A row was double-clicked with the left button (it is selected then).
  void rowDoubleClicked(int row);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  int fullRows() const;
  void updateScrollBars();
  void scrollToRow(int row);
  void noteWidth(const QString& text);
  // Drops the oldest rows past maxRows_, keeping the selection and the view on their rows.
  void dropOldest();

  std::deque<QString> rows_;
  int current_ = -1;
  int maxRows_ = 0;
  int rowHeight_ = 1;
  int shownRows_ = 1;  // whole rows in view when the scroll bars were last set
  int widest_ = 0;  // the widest row's text width in pixels, for the horizontal bar
};

}  // namespace crewmap::ui
