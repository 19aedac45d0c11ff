#include "ui/list_box.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QToolTip>
#include <algorithm>

#include "ui/list_scroll.h"

namespace crewmap::ui {
namespace {

constexpr int kTextMargin = 2;  // pixels left of each row's text

}  // namespace

ListBox::ListBox(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  rowHeight_ = std::max(fontMetrics().height() + 2, 1);
  updateScrollBars();
}

QString ListBox::text(int row) const {
  if (row < 0 || row >= count()) return {};
  return rows_[static_cast<std::size_t>(row)];
}

void ListBox::addItem(const QString& text) {
  rows_.push_back(text);
  noteWidth(text);
  dropOldest();
  updateScrollBars();
  // Only a row that lands inside the view needs painting now.
  if (count() - 1 < topRow() + fullRows() + 1) viewport()->update();
}

void ListBox::setMaxRows(int rows) {
  maxRows_ = std::max(rows, 0);
  dropOldest();
  updateScrollBars();
  viewport()->update();
}

void ListBox::dropOldest() {
  if (maxRows_ <= 0 || count() <= maxRows_) return;
  const int dropped = count() - maxRows_;
  const int top = topRow();
  rows_.erase(rows_.begin(), rows_.begin() + dropped);
  const int was = current_;
  current_ = current_ >= dropped ? current_ - dropped : -1;
  // The rows in view move up with the rows that left.
  verticalScrollBar()->setValue(std::max(top - dropped, 0));
  if (current_ != was) emit currentRowChanged(current_);
}

void ListBox::addAndSelect(const QString& text) {
  addItem(text);
  setCurrentRow(count() - 1);
}

void ListBox::clear() {
  rows_.clear();
  widest_ = 0;
  const bool hadCurrent = current_ != -1;
  current_ = -1;
  updateScrollBars();
  verticalScrollBar()->setValue(0);
  viewport()->update();
  if (hadCurrent) emit currentRowChanged(-1);
}

void ListBox::setCurrentRow(int row) {
  if (row < 0 || row >= count()) row = -1;
  const bool changed = row != current_;
  current_ = row;
  if (row != -1) scrollToRow(row);
  viewport()->update();
  if (changed) emit currentRowChanged(row);
}

int ListBox::topRow() const { return verticalScrollBar()->value(); }

bool ListBox::isRowVisible(int row) const {
  return row >= 0 && row < count() && row >= topRow() && row < topRow() + fullRows();
}

int ListBox::fullRows() const { return std::max(viewport()->height() / rowHeight_, 1); }

void ListBox::updateScrollBars() {
  shownRows_ = fullRows();
  QScrollBar* vertical = verticalScrollBar();
  vertical->setRange(0, LastTopRow(count(), fullRows()));
  vertical->setPageStep(fullRows());
  vertical->setSingleStep(1);
  QScrollBar* horizontal = horizontalScrollBar();
  horizontal->setRange(0, std::max(widest_ + 2 * kTextMargin - viewport()->width(), 0));
  horizontal->setPageStep(viewport()->width());
  horizontal->setSingleStep(std::max(fontMetrics().averageCharWidth(), 1));
}

void ListBox::scrollToRow(int row) {
  verticalScrollBar()->setValue(
      std::min(TopRowShowing(row, topRow(), fullRows()), LastTopRow(count(), fullRows())));
}

void ListBox::noteWidth(const QString& text) {
  widest_ = std::max(widest_, fontMetrics().horizontalAdvance(text));
}

void ListBox::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(viewport());
  painter.setFont(font());
  const int top = topRow();
  const int left = kTextMargin - horizontalScrollBar()->value();
  const int width = viewport()->width();
  const int last = std::min(count(), top + viewport()->height() / rowHeight_ + 2);
  for (int row = top; row < last; ++row) {
    const QRect rect(0, (row - top) * rowHeight_, width, rowHeight_);
    const bool selected = row == current_;
    if (selected) painter.fillRect(rect, palette().brush(QPalette::Highlight));
    painter.setPen(palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter.drawText(QRect(left, rect.top(), std::max(widest_, width) + kTextMargin, rowHeight_),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     rows_[static_cast<std::size_t>(row)]);
    if (selected && hasFocus()) {
      QStyleOptionFocusRect option;
      option.initFrom(this);
      option.rect = rect;
      option.backgroundColor = palette().color(QPalette::Highlight);
      style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
  }
}

void ListBox::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  // A row in view stays in view when the view shrinks (a horizontal bar
  // appearing under a wide row, the window laid out late).
  const bool currentWasInView = current_ >= 0 && current_ >= topRow() && current_ < topRow() + shownRows_;
  updateScrollBars();
  if (currentWasInView) scrollToRow(current_);
}

void ListBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  const int row = topRow() + static_cast<int>(event->position().y()) / rowHeight_;
  if (row < count()) setCurrentRow(row);
  event->accept();
}

void ListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);  // selects the row, as the second press always did
  const int row = topRow() + static_cast<int>(event->position().y()) / rowHeight_;
  if (event->button() == Qt::LeftButton && row < count()) emit rowDoubleClicked(row);
}

void ListBox::keyPressEvent(QKeyEvent* event) {
  if (count() == 0) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  const int from = std::max(current_, 0);
  int to = 0;
  switch (event->key()) {
    case Qt::Key_Up: to = current_ < 0 ? 0 : from - 1; break;
    case Qt::Key_Down: to = current_ < 0 ? 0 : from + 1; break;
    case Qt::Key_PageUp: to = from - std::max(fullRows() - 1, 1); break;
    case Qt::Key_PageDown: to = from + std::max(fullRows() - 1, 1); break;
    case Qt::Key_Home: to = 0; break;
    case Qt::Key_End: to = count() - 1; break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  setCurrentRow(std::clamp(to, 0, count() - 1));
}

bool ListBox::viewportEvent(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QAbstractScrollArea::viewportEvent(event);
  // The box is small (the log shows two rows of about 30 characters): a row
  // the edges cut off is read whole in its tool tip.
  const auto* help = static_cast<QHelpEvent*>(event);
  const int row = topRow() + help->pos().y() / rowHeight_;
  const int left = kTextMargin - horizontalScrollBar()->value();
  const QString text = this->text(row);
  const QRect rowRect(0, (row - topRow()) * rowHeight_, viewport()->width(), rowHeight_);
  const bool cut = left < 0 || left + fontMetrics().horizontalAdvance(text) > viewport()->width() ||
                   rowRect.bottom() >= viewport()->height();
  if (!text.isEmpty() && cut)
    QToolTip::showText(help->globalPos(), text, viewport(), rowRect);
  else
    QToolTip::hideText();
  return true;
}

void ListBox::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    // Rare (the window sets the font once): measure every row again.
    rowHeight_ = std::max(fontMetrics().height() + 2, 1);
    widest_ = 0;
    for (const QString& row : rows_) noteWidth(row);
    updateScrollBars();
    viewport()->update();
  }
}

}  // namespace crewmap::ui
