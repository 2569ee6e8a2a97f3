#pragma once
// A balloon popup: a small borderless window with a rounded outline and a pointed arrow,
// anchored at a control, showing an icon, a bold title and a few lines of text.
// TBalloonControl holds the settings and makes a fresh TBalloon at each showing.
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QStringList>
#include <QWidget>

class QLabel;
class QTimer;

// Fixed to int, so that a stored value outside the list is still a valid value of its type.
enum TBalloonType : int { blnInfo, blnError, blnWarning };
enum TBalloonHoriz : int { blnLeft, blnMiddle, blnRight };
enum TBalloonVert : int { blnTop, blnCenter, blnBottom };
enum TBalloonPosition : int { blnArrowTopLeft, blnArrowTopRight, blnArrowBottomLeft, blnArrowBottomRight };

class TBalloon : public QWidget {
  Q_OBJECT
 public:
  // Length and width of the arrow, in pixels.
  static constexpr int kArrow = 20;

  explicit TBalloon(QWidget* owner);

  void ShowAtControl(QWidget* control, TBalloonHoriz horizontal, TBalloonVert vertical, const QString& title,
                     const QString& text, TBalloonType type, int duration);
  void ShowAtPoint(int x, int y, const QString& title, const QString& text, TBalloonType type, int duration,
                   TBalloonPosition placement);
  // Raises the popup above the other topmost windows without activating, moving or sizing it.
  void KeepOnTop();
  // Closes the popup; it is freed once the events already queued for it are handled.
  void CloseBalloon();

  // Where the popup sits relative to the anchor point, for a point on the anchor control.
  static TBalloonPosition PlacementFor(TBalloonHoriz horizontal, TBalloonVert vertical);
  // The popup's top-left corner that puts the arrow tip on (x, y).
  static QPoint TopLeftFor(TBalloonPosition placement, int x, int y, int width, int height);
  // The window shape in the popup's own coordinates: a rounded rectangle and the arrow.
  static QRegion ShapeFor(TBalloonPosition placement, int width, int height);
  // The one-pixel inner edge of a shape, which the popup paints black.
  static QRegion BorderOf(const QRegion& shape);

  QLabel* TitleLabel() const { return title_; }
  QLabel* TextLabel() const { return text_; }
  QLabel* Icon() const { return icon_; }
  QTimer* Timer() const { return timer_; }
  TBalloonPosition Placement() const { return placement_; }
  const QRegion& Shape() const { return shape_; }

 protected:
  void paintEvent(QPaintEvent* event) override;  // PaintBorder
  void mousePressEvent(QMouseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void PaintBorder();

  QLabel* title_;
  QLabel* text_;
  QLabel* icon_;
  QTimer* timer_;
  TBalloonPosition placement_ = blnArrowTopLeft;
  QRegion shape_;
};

class TBalloonControl : public QObject {
  Q_OBJECT
 public:
  explicit TBalloonControl(QWidget* owner);

  QString Title;
  QStringList Text;
  int Duration = 0;
  int PixelCoordinateX = 0;
  int PixelCoordinateY = 0;
  TBalloonHoriz Horizontal = blnLeft;
  TBalloonVert Vertical = blnTop;
  TBalloonPosition Position = blnArrowTopLeft;
  QPointer<QWidget> Control;
  TBalloonType BalloonType = blnInfo;

  // Makes a new popup owned by this component's owner and shows it at Control; returns it.
  TBalloon* ShowBalloon();

  // The lines of Text joined with line breaks and trimmed of blanks and control characters.
  QString BodyText() const;
};
