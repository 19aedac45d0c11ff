#include "navi/frm_navi.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QWindow>
#include <QLabel>
#include <QMouseEvent>
#include <QRegion>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include "common/twips.h"
#include "navi/bearing.h"
#include "navi/cut_out.h"
#include "navi/drag_rules.h"
#include "navi/outlined_text.h"
#include "navi/ring_mark_view.h"
#include "navi/shape.h"
#include "navi/target_dot.h"
#include "ui/first_placement.h"
#include "ui/fonts.h"
#include "ui/message_box.h"
#include "ui/remembered_place.h"

namespace crewmap::navi {
namespace {

frmNavi* g_instance = nullptr;
// True while a fault message of the dot placement is open, so the ticks that
// run inside its modal loop do not stack further boxes on top of it.
bool g_faultMessageOpen = false;

const QColor kWhite(255, 255, 255);
// The name its place is remembered under.
const char* const kPlaceName = "navi";

// The screen the window is kept on: its extent in twips.
QRect ScreenPixels() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) return screen->geometry();
  return QRect(0, 0, 0, 0);
}

// The button numbers of the mouse-down handler: 1 left, 2 right, 4 middle.
int ButtonNumber(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
  }
}

}  // namespace

frmNavi* frmNavi::Loaded() { return g_instance; }

frmNavi& frmNavi::Load() {
  if (!g_instance) g_instance = new frmNavi();
  return *g_instance;
}

void frmNavi::Unload() {
  frmNavi* window = g_instance;
  if (!window) return;
  g_instance = nullptr;
  window->Timer1->stop();
  window->hide();
  // Inside one of the window's own handlers (a click on the handle) the
  // object must outlive the event being delivered to it.
  if (window->handling_ > 0)
    window->deleteLater();
  else
    delete window;
}

frmNavi::frmNavi() : QWidget(nullptr) {
  setObjectName(QStringLiteral("frmNavi"));
  // No caption or border, above every other window, no taskbar button.
  setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setWindowTitle(QStringLiteral("frmNavi"));
  setFixedSize(TwipsToPixels(kWidthTwips), TwipsToPixels(kHeightTwips));
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, kWhite);
  setPalette(palette);
  setAutoFillBackground(true);

  // Stacking from the bottom: the handle, the ring, the disc on the handle,
  // the up mark, the distance, the other members' marks, the dot.
  lblNavi = new QLabel(QStringLiteral("●"), this);
  lblNavi->setObjectName(QStringLiteral("lblNavi"));
  lblNavi->setGeometry(0, 0, TwipsToPixels(375), TwipsToPixels(375));
  lblNavi->setFont(ui::DesignFont(ui::kPGothic));
  lblNavi->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  {
    const QColor cream(255, 255, 192);
    QPalette p = lblNavi->palette();
    p.setColor(QPalette::Window, cream);
    p.setColor(QPalette::WindowText, cream);
    lblNavi->setPalette(p);
    lblNavi->setAutoFillBackground(true);
  }
  lblNavi->installEventFilter(this);

  Shape1 = new Shape(Shape::Kind::Oval, 60, 210, 1710, 1470, this);
  Shape1->setObjectName(QStringLiteral("Shape1"));
  Shape1->setFill(std::nullopt);
  Shape1->setBorder(QColor(255, 255, 128), 10);

  Shape2 = new Shape(Shape::Kind::Oval, 30, 30, 255, 270, this);
  Shape2->setObjectName(QStringLiteral("Shape2"));
  Shape2->setFill(QColor(192, 192, 0));
  Shape2->setBorder(std::nullopt);

  Label1 = new QLabel(QStringLiteral("↑"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(TwipsToPixels(870), 0, TwipsToPixels(195), TwipsToPixels(180));
  {
    QFont font = ui::DesignFont(ui::kPGothic);
    // Hard glyph edges, for the same reason as the shapes' edges.
    font.setStyleStrategy(QFont::NoAntialias);
    Label1->setFont(font);
    QPalette p = Label1->palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 192));
    Label1->setPalette(p);
    Label1->setAutoFillBackground(false);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setAttribute(Qt::WA_TransparentForMouseEvents);
  }

  // Centred in the ring, clear of the dot and the marks on the ring.
  lblDistance = new OutlinedText(165, 525, 1500, 840, this);
  lblDistance->setObjectName(QStringLiteral("lblDistance"));
  // Smaller, under the distance and inside the ring's lower edge.
  lblStep = new OutlinedText(435, 1290, 990, 240, this);
  lblStep->setObjectName(QStringLiteral("lblStep"));
  {
    QFont font = ui::DesignFont(ui::kPGothic, 8, true);
    font.setStyleStrategy(QFont::NoAntialias);
    lblStep->setFont(font);
  }

  Marks = new RingMarkView(this);
  Marks->setObjectName(QStringLiteral("Marks"));

  Shape3 = new TargetDot(360, 60, this);
  Shape3->setObjectName(QStringLiteral("Shape3"));
  Shape3->hide();  // until there is a target to point at

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(10);
  connect(Timer1, &QTimer::timeout, this, &frmNavi::Timer1_Timer);

  Form_Load();
}

frmNavi::~frmNavi() {
  if (g_instance == this) g_instance = nullptr;
}

// The load step: the design position kept on screen, and the white cut out.
// Staying on top is the window flag set above.
void frmNavi::Form_Load() {
  const QRect screen = ScreenPixels();
  const double left =
      PlaceOnScreen(kDesignLeftTwips, PixelsToTwips(screen.left()),
                    PixelsToTwips(screen.left() + screen.width()), PixelsToTwips(width()));
  const double top =
      PlaceOnScreen(kDesignTopTwips, PixelsToTwips(screen.top()),
                    PixelsToTwips(screen.top() + screen.height()), PixelsToTwips(height()));
  move(TwipsToPixels(left), TwipsToPixels(top));
  updateMask();
}

void frmNavi::updateMask() {
  // Render the window as it looks now, at the screen's resolution, and keep
  // every pixel that is not pure white. The render must ignore the current
  // mask, which still has the dot's old place: through it the dot's new
  // pixels would be clipped away and never become visible.
  const qreal ratio = devicePixelRatioF();
  QImage image((QSizeF(size()) * ratio).toSize(), QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(kWhite);
  rendering_ = true;
  render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren | QWidget::IgnoreMask);
  rendering_ = false;
  CutOut cut = CutOutWhite(image, size());
  setMask(cut.region);
  if (!cut.filled.isNull() || !underlay_.isNull()) {
    underlay_ = std::move(cut.filled);
    update();
  }
}

void frmNavi::paintEvent(QPaintEvent*) {
  // Scaled: under the controls, their drawing with the white at their edges
  // filled in (see CutOutWhite).
  if (underlay_.isNull() || rendering_) return;
  QPainter painter(this);
  painter.drawImage(QPointF(0, 0), underlay_);
}

void frmNavi::PointToAngle(float& x, float& y) {
  const BearingResult result = ComputeBearing(x, y);
  switch (result.kind) {
    case BearingResult::Kind::Nothing:
      return;
    case BearingResult::Kind::Fault: {
      if (g_faultMessageOpen) return;
      const QString text = QString::fromStdString(BearingFaultMessage(result.fault, x, y));
      g_faultMessageOpen = true;
      // The window may be unloaded while the box is open: touch no member
      // after this call.
      ui::ShowMessage(text, ui::MessageButtons::Ok);
      g_faultMessageOpen = false;
      return;
    }
    case BearingResult::Kind::Place: {
      const QRect before = Shape3->isHidden() ? QRect() : Shape3->geometry();
      Shape3->hide();
      Shape3->setLeftTop(result.Left, result.Top);
      Shape3->show();
      const bool marksMoved = Marks->SetDotAngle(DotAngle(result.Left, result.Top));
      // Called every second; the cut-out only changes when the dot moves.
      if (Shape3->geometry() != before || marksMoved) updateMask();
      return;
    }
  }
}

void frmNavi::HideDot() {
  if (Shape3->isHidden()) return;
  Shape3->hide();
  Marks->SetDotAngle(std::nullopt);
  updateMask();
}

void frmNavi::SetDistanceText(const QString& text) {
  if (lblDistance->setText(text)) updateMask();
}

void frmNavi::SetStepText(const QString& text) {
  if (lblStep->setText(lblStep->fontMetrics().elidedText(text, Qt::ElideRight, lblStep->width()))) updateMask();
}

void frmNavi::SetRingMarks(const std::vector<RingMark>& marks) {
  if (Marks->SetMarks(marks)) updateMask();
}

bool frmNavi::eventFilter(QObject* watched, QEvent* event) {
  if (watched != lblNavi) return QWidget::eventFilter(watched, event);
  ++handling_;
  bool handled = true;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      lblNavi_MouseDown(ButtonNumber(static_cast<QMouseEvent*>(event)->button()));
      break;
    case QEvent::MouseButtonRelease:
      lblNavi_MouseUp();
      break;
    case QEvent::MouseButtonDblClick:
      lblNavi_DblClick();
      break;
    default:
      handled = false;
      break;
  }
  --handling_;
  return handled || QWidget::eventFilter(watched, event);
}

void frmNavi::showEvent(QShowEvent* event) {
  // Fonts and styles are settled once the window is shown: cut it out again
  // from what it draws now, and again on a screen of another scaling.
  updateMask();
  if (windowHandle())
    connect(windowHandle(), &QWindow::screenChanged, this, &frmNavi::updateMask, Qt::UniqueConnection);
  // Where the player last left it; else over the game, at its design place
  // from the game's corner (in the game's pixels, so at every display
  // scaling), but not over the read-out; without the game, at its design
  // place on the screen.
  ui::PlaceRememberedOnFirstShow(*this, kPlaceName,
                                 QPoint(TwipsToPixels(kDesignLeftTwips), TwipsToPixels(kDesignTopTwips)));
  QWidget::showEvent(event);
}

void frmNavi::closeEvent(QCloseEvent* event) {
  // Closed from outside (e.g. by the window manager): unload like the handle does.
  event->accept();
  if (g_instance == this) {
    ++handling_;
    Unload();
    --handling_;
  }
}

void frmNavi::lblNavi_MouseDown(int button) {
  if (button == 2) {
    Unload();
    return;
  }
  const QPoint cursor = QCursor::pos();
  DragOffsetY = DragOffset(cursor.y(), PixelsToTwips(y()));
  DragOffsetX = DragOffset(cursor.x(), PixelsToTwips(x()));
  dragFrom_ = pos();
  Timer1->start();
}

void frmNavi::lblNavi_MouseUp() {
  // A drag that moved the window: that is where the player wants it, now
  // and when it opens again (reopened with "ナビ", or in a later run).
  if (Timer1->isActive() && pos() != dragFrom_) ui::RememberPlace(kPlaceName, {x(), y()});
  Timer1->stop();
}

void frmNavi::lblNavi_DblClick() { Unload(); }

void frmNavi::Timer1_Timer() {
  const QPoint cursor = QCursor::pos();
  const QRect screen = ScreenPixels();
  const double top = DragEdge(cursor.y(), DragOffsetY,
                              PixelsToTwips(screen.top() + screen.height()), PixelsToTwips(height()));
  const double left = DragEdge(cursor.x(), DragOffsetX,
                               PixelsToTwips(screen.left() + screen.width()), PixelsToTwips(width()));
  move(TwipsToPixels(left), TwipsToPixels(top));
}

}  // namespace crewmap::navi
