#include "Balloon.h"

#include <QBitmap>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <cmath>

// The icons live in this library's resources; a static library must register them itself.
static void RegisterBalloonResources() {
  static const bool done = [] {
    Q_INIT_RESOURCE(Balloon);
    return true;
  }();
  (void)done;
}

namespace {

constexpr int kCorner = 7;  // corner ellipse of the rounded rectangle, width and height

bool IsAbove(TBalloonPosition p) { return p == blnArrowTopLeft || p == blnArrowTopRight; }

QRegion Polygon(std::initializer_list<QPoint> points) { return QRegion(QPolygon(QList<QPoint>(points)), Qt::WindingFill); }

QRegion RoundRect(int left, int top, int right, int bottom) {
  QPainterPath path;
  path.addRoundedRect(QRectF(left, top, right - left, bottom - top), kCorner / 2.0, kCorner / 2.0);
  return QRegion(path.toFillPolygon().toPolygon(), Qt::WindingFill);
}

QPixmap IconPixmap(TBalloonType type) {
  const char* name = type == blnError ? ":/ERROR" : type == blnWarning ? ":/WARNING" : ":/INFO";
  QPixmap pixmap(name);
  if (pixmap.isNull()) return pixmap;
  // The pictures have no alpha channel: the colour of the bottom-left pixel is transparent.
  QImage image = pixmap.toImage();
  QColor clear = image.pixelColor(0, image.height() - 1);
  pixmap.setMask(pixmap.createMaskFromColor(clear, Qt::MaskInColor));
  return pixmap;
}

}  // namespace

TBalloon::TBalloon(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      title_(new QLabel(this)),
      text_(new QLabel(this)),
      icon_(new QLabel(this)),
      timer_(new QTimer(this)) {
  RegisterBalloonResources();
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setPalette(QToolTip::palette());
  setBackgroundRole(QPalette::ToolTipBase);
  setForegroundRole(QPalette::ToolTipText);
  setAutoFillBackground(true);
  setFont(QFont("Tahoma", 8));

  QFont bold = font();
  bold.setBold(true);
  title_->setFont(bold);
  title_->setTextFormat(Qt::PlainText);
  text_->setTextFormat(Qt::PlainText);
  for (QLabel* label : {title_, text_, icon_}) {
    label->setForegroundRole(QPalette::ToolTipText);
    // Clicks on the parts reach the popup, which closes on any click.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  title_->move(34, 12);
  text_->move(10, 0);
  icon_->setGeometry(10, 10, 16, 16);

  connect(timer_, &QTimer::timeout, this, &TBalloon::CloseBalloon);
}

TBalloonPosition TBalloon::PlacementFor(TBalloonHoriz horizontal, TBalloonVert vertical) {
  static constexpr TBalloonPosition kTable[3][3] = {
      {blnArrowTopLeft, blnArrowBottomLeft, blnArrowBottomLeft},     // blnLeft
      {blnArrowTopLeft, blnArrowBottomRight, blnArrowBottomRight},   // blnMiddle
      {blnArrowTopRight, blnArrowTopRight, blnArrowBottomRight},     // blnRight
  };
  int h = std::clamp(static_cast<int>(horizontal), 0, 2);
  int v = std::clamp(static_cast<int>(vertical), 0, 2);
  return kTable[h][v];
}

QPoint TBalloon::TopLeftFor(TBalloonPosition placement, int x, int y, int width, int height) {
  switch (placement) {
    case blnArrowTopLeft: return {x - width + kArrow, y - height};
    case blnArrowTopRight: return {x - kArrow, y - height};
    case blnArrowBottomLeft: return {x - width + kArrow, y - 2};
    case blnArrowBottomRight: return {x - kArrow, y - 2};
  }
  return {x, y};
}

QRegion TBalloon::ShapeFor(TBalloonPosition placement, int w, int h) {
  switch (placement) {
    case blnArrowTopLeft:
      return RoundRect(0, 0, w, h - 18) | Polygon({{w - 40, h - 20}, {w - 20, h}, {w - 20, h - 20}});
    case blnArrowTopRight:
      return RoundRect(0, 0, w, h - 18) | Polygon({{20, h - 20}, {20, h}, {40, h - 20}});
    case blnArrowBottomLeft:
      return RoundRect(0, 22, w, h) | Polygon({{w - 20, 2}, {w - 20, 22}, {w - 40, 22}});
    case blnArrowBottomRight:
      return RoundRect(0, 22, w, h) | Polygon({{20, 2}, {20, 22}, {40, 22}});
  }
  return QRegion(0, 0, w, h);
}

QRegion TBalloon::BorderOf(const QRegion& shape) {
  QRegion inner = shape & shape.translated(1, 0) & shape.translated(-1, 0) & shape.translated(0, 1) &
                  shape.translated(0, -1);
  return shape - inner;
}

void TBalloon::ShowAtControl(QWidget* control, TBalloonHoriz horizontal, TBalloonVert vertical, const QString& title,
                             const QString& text, TBalloonType type, int duration) {
  if (!control) return;
  const QPoint origin = control->mapToGlobal(QPoint(0, 0));
  const int left = origin.x(), top = origin.y();
  const int right = left + control->width(), bottom = top + control->height();
  // Halves round to even, like the anchor arithmetic this layout was drawn with.
  const int y = vertical == blnTop      ? top
                : vertical == blnCenter ? top + static_cast<int>(std::nearbyint((bottom - top) / 2.0))
                                        : bottom;
  const int x = horizontal == blnLeft     ? left
                : horizontal == blnMiddle ? left + static_cast<int>(std::nearbyint((right - left) / 2.0))
                                          : right;
  ShowAtPoint(x, y, title, text, type, duration, PlacementFor(horizontal, vertical));
}

void TBalloon::ShowAtPoint(int x, int y, const QString& title, const QString& text, TBalloonType type, int duration,
                           TBalloonPosition placement) {
  placement_ = placement;
  const bool above = IsAbove(placement);
  const int drop = above ? 0 : kArrow;  // below the point the arrow takes the top 20 pixels

  title_->setText(title);
  title_->adjustSize();
  title_->move(34, 12 + drop);
  text_->setText(text);
  text_->adjustSize();
  text_->move(10, title_->y() + title_->height() + 8);
  icon_->move(10, 10 + drop);
  icon_->setPixmap(IconPixmap(type));

  const int height = text_->y() + text_->height() + 10 + (above ? kArrow : 0);
  const int width = std::max(title_->x() + title_->width(), text_->x() + text_->width()) + 10;
  setFixedSize(width, height);
  move(TopLeftFor(placement, x, y, width, height));
  shape_ = ShapeFor(placement, width, height);
  setMask(shape_);
  update();

  show();

  timer_->stop();
  timer_->setInterval(duration * 1000);
  if (duration > 0) timer_->start();  // a duration of 0 never fires
}

void TBalloon::KeepOnTop() { raise(); }

void TBalloon::CloseBalloon() {
  timer_->stop();
  close();  // deletes on close, after the events already queued
}

void TBalloon::PaintBorder() {
  QPainter painter(this);
  for (const QRect& r : BorderOf(shape_)) painter.fillRect(r, Qt::black);
}

void TBalloon::paintEvent(QPaintEvent*) { PaintBorder(); }

void TBalloon::mousePressEvent(QMouseEvent*) { CloseBalloon(); }

void TBalloon::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  KeepOnTop();
}

void TBalloon::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange) KeepOnTop();
  if (event->type() == QEvent::WindowStateChange && isMinimized()) {
    // A popup is never minimised: show it again.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
  }
}

TBalloonControl::TBalloonControl(QWidget* owner) : QObject(owner) {}

QString TBalloonControl::BodyText() const {
  QString body = Text.join('\n');
  qsizetype begin = 0, end = body.size();
  while (begin < end && body[begin] <= QChar(' ')) ++begin;
  while (end > begin && body[end - 1] <= QChar(' ')) --end;
  return body.mid(begin, end - begin);
}

TBalloon* TBalloonControl::ShowBalloon() {
  if (!Control) return nullptr;
  auto* balloon = new TBalloon(qobject_cast<QWidget*>(parent()));
  balloon->ShowAtControl(Control, Horizontal, Vertical, Title, BodyText(), BalloonType, Duration);
  return balloon;
}
