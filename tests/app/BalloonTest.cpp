// The About balloon: placement, size, window shape and outline, icons, timer and lifetime.
#include <gtest/gtest.h>

#include <QLabel>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <cmath>

#include "AppTestSupport.h"
#include "Balloon.h"

using apptest::App;
using apptest::Harness;
using apptest::Settle;

namespace {

// Where the arrow tip lies in the popup's own coordinates.
QPoint TipOf(TBalloonPosition p, int w, int h) {
  switch (p) {
    case blnArrowTopLeft: return {w - 20, h};
    case blnArrowTopRight: return {20, h};
    case blnArrowBottomLeft: return {w - 20, 2};
    case blnArrowBottomRight: return {20, 2};
  }
  return {};
}

}  // namespace

TEST(BalloonPlacement, FromTheAnchorPoint) {
  const TBalloonPosition expected[3][3] = {
      {blnArrowTopLeft, blnArrowBottomLeft, blnArrowBottomLeft},
      {blnArrowTopLeft, blnArrowBottomRight, blnArrowBottomRight},
      {blnArrowTopRight, blnArrowTopRight, blnArrowBottomRight},
  };
  for (int h = 0; h < 3; ++h)
    for (int v = 0; v < 3; ++v)
      EXPECT_EQ(TBalloon::PlacementFor(TBalloonHoriz(h), TBalloonVert(v)), expected[h][v]) << h << "," << v;
}

TEST(BalloonGeometry, EachPlacementPutsTheArrowTipOnThePoint) {
  App();
  QWidget owner;
  const int x = 600, y = 400;
  for (TBalloonPosition p : {blnArrowTopLeft, blnArrowTopRight, blnArrowBottomLeft, blnArrowBottomRight}) {
    SCOPED_TRACE(int(p));
    auto* b = new TBalloon(&owner);
    b->ShowAtPoint(x, y, "Title", "first line\nsecond, longer line of text", blnInfo, 0, p);
    const bool above = p == blnArrowTopLeft || p == blnArrowTopRight;
    const int w = b->width(), h = b->height();

    // Parts: title at (34, 12), icon at (10, 10), text 8 below the title; all 20 lower below the point.
    const int drop = above ? 0 : 20;
    EXPECT_EQ(b->TitleLabel()->pos(), QPoint(34, 12 + drop));
    EXPECT_EQ(b->Icon()->pos(), QPoint(10, 10 + drop));
    EXPECT_EQ(b->TextLabel()->pos(), QPoint(10, b->TitleLabel()->geometry().bottom() + 1 + 8));
    EXPECT_TRUE(b->TitleLabel()->font().bold());
    EXPECT_EQ(h, b->TextLabel()->geometry().bottom() + 1 + 10 + (above ? 20 : 0));
    EXPECT_EQ(w, std::max(b->TitleLabel()->geometry().right(), b->TextLabel()->geometry().right()) + 1 + 10);

    EXPECT_EQ(b->pos() + TipOf(p, w, h), QPoint(x, y));

    // Shape: the rounded body, its cut corners, and the arrow between body and tip.
    const QRegion& s = b->Shape();
    EXPECT_EQ(b->mask(), s);
    const int bodyTop = above ? 0 : 22, bodyBottom = above ? h - 18 : h;
    EXPECT_TRUE(s.contains(QPoint(w / 2, (bodyTop + bodyBottom) / 2)));
    EXPECT_FALSE(s.contains(QPoint(0, bodyTop)));
    EXPECT_FALSE(s.contains(QPoint(w - 1, bodyBottom - 1)));
    EXPECT_TRUE(s.contains(QPoint(1, bodyTop + 4)));
    const QPoint tip = TipOf(p, w, h);
    const int inward = tip.x() > w / 2 ? -2 : 2;       // the arrow's slanted side lies toward the middle
    const int toBody = above ? -4 : 4;                  // from the tip toward the body
    const int tipRow = tip.y() + (above ? -1 : 0);      // the tip's own pixel row
    EXPECT_TRUE(s.contains(QPoint(tip.x() + inward, tipRow + toBody)));
    EXPECT_FALSE(s.contains(QPoint(tip.x() + 8 * inward, tipRow + toBody))) << "beside the arrow is outside";
    EXPECT_FALSE(s.contains(QPoint(tip.x() - 4 * inward, tipRow + toBody))) << "the arrow's straight side";
    // The shape reaches the tip: its last pixel row (a one-pixel point may fall between rows).
    if (above) {
      EXPECT_EQ(s.boundingRect().top(), 0);
      EXPECT_GE(s.boundingRect().bottom(), h - 2);
    } else {
      EXPECT_LE(s.boundingRect().top(), 3);
      EXPECT_EQ(s.boundingRect().bottom(), h - 1);
    }
  }
}

TEST(BalloonLook, BlackOutlineOnTooltipColours) {
  App();
  QWidget owner;
  auto* b = new TBalloon(&owner);
  b->ShowAtPoint(300, 300, "Title", "Body text", blnInfo, 0, blnArrowBottomRight);
  const QRegion border = TBalloon::BorderOf(b->Shape());
  const int w = b->width(), h = b->height();
  // The arrow sits at the left (x 20 to 40), so the top edge right of it is the body's outline.
  EXPECT_TRUE(border.contains(QPoint(w - 10, 22)));
  EXPECT_TRUE(border.contains(QPoint(w / 2, h - 1)));
  EXPECT_TRUE(border.contains(QPoint(0, h / 2)));
  EXPECT_TRUE(border.contains(QPoint(20, 10)));  // the arrow's straight side
  EXPECT_FALSE(border.contains(QPoint(25, 22))) << "where the arrow joins the body there is no line";
  EXPECT_FALSE(border.contains(QPoint(w - 10, 23)));
  EXPECT_FALSE(border.contains(QPoint(w / 2, (22 + h) / 2)));

  const QImage image = b->grab().toImage();
  EXPECT_EQ(image.pixelColor(w - 10, 22), QColor(Qt::black));
  EXPECT_EQ(image.pixelColor(w - 1, h / 2), QColor(Qt::black));
  EXPECT_EQ(image.pixelColor(w - 3, h - 5), b->palette().color(QPalette::ToolTipBase));
  EXPECT_EQ(b->TextLabel()->palette().color(b->TextLabel()->foregroundRole()),
            b->palette().color(QPalette::ToolTipText));
  EXPECT_TRUE(b->testAttribute(Qt::WA_ShowWithoutActivating));
  EXPECT_TRUE(b->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(b->windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_TRUE(b->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
}

TEST(BalloonLook, IconPerType) {
  App();
  QWidget owner;
  QList<QImage> images;
  for (TBalloonType t : {blnInfo, blnError, blnWarning, TBalloonType(7)}) {
    auto* b = new TBalloon(&owner);
    b->ShowAtPoint(100, 100, "T", "x", t, 0, blnArrowTopLeft);
    const QPixmap pixmap = b->Icon()->pixmap();
    ASSERT_FALSE(pixmap.isNull());
    EXPECT_EQ(pixmap.size(), QSize(16, 16));
    images << pixmap.toImage();
  }
  EXPECT_NE(images[0], images[1]);
  EXPECT_NE(images[1], images[2]);
  EXPECT_EQ(images[3], images[0]) << "an unknown type shows the information icon";
  for (const char* name : {":/INFO", ":/ERROR", ":/WARNING"}) {
    QImage raw(name);
    EXPECT_EQ(raw.size(), QSize(16, 16)) << name;
    EXPECT_FALSE(raw.hasAlphaChannel()) << name;
  }
}

TEST(BalloonLifetime, TimerClosesAndFreesThePopup) {
  App();
  QWidget owner;
  QPointer<TBalloon> stays = new TBalloon(&owner);
  stays->ShowAtPoint(100, 100, "T", "x", blnInfo, 0, blnArrowTopLeft);
  EXPECT_FALSE(stays->Timer()->isActive()) << "a duration of 0 never fires";

  QPointer<TBalloon> timed = new TBalloon(&owner);
  timed->ShowAtPoint(100, 100, "T", "x", blnInfo, 3, blnArrowTopLeft);
  EXPECT_TRUE(timed->Timer()->isActive());
  EXPECT_EQ(timed->Timer()->interval(), 3000);
  timed->Timer()->start(1);  // let it fire now rather than in 3 seconds
  QElapsedTimer clock;
  clock.start();
  while (timed && clock.elapsed() < 5000) Settle();
  EXPECT_TRUE(timed.isNull());
  EXPECT_FALSE(stays.isNull());
}

TEST(BalloonLifetime, ClickClosesThePopup) {
  App();
  QWidget owner;
  QPointer<TBalloon> b = new TBalloon(&owner);
  b->ShowAtPoint(100, 100, "T", "x", blnInfo, 0, blnArrowTopLeft);
  EXPECT_TRUE(b->TitleLabel()->testAttribute(Qt::WA_TransparentForMouseEvents)) << "clicks on parts reach it";
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 20), QPointF(20, 20), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(b.data(), &press);
  Settle();
  EXPECT_TRUE(b.isNull());
}

TEST(BalloonControl, BodyTextIsTrimmed) {
  App();
  QWidget owner;
  TBalloonControl control(&owner);
  struct Case {
    QStringList lines;
    const char* body;
  };
  const Case cases[] = {
      {{"one", "", "two", ""}, "one\n\ntwo"},
      {{"  padded\t", " "}, "padded"},
      {{}, ""},
  };
  for (const Case& c : cases) {
    control.Text = c.lines;
    EXPECT_EQ(control.BodyText(), c.body);
  }
}

TEST(BalloonAbout, OpensAtTheOpenButtonAndStays) {
  Harness h;
  h.form->show();
  h.form->About();
  auto balloons = h.form->findChildren<TBalloon*>();
  ASSERT_EQ(balloons.size(), 1);
  TBalloon* b = balloons[0];
  EXPECT_TRUE(b->isVisible());
  EXPECT_EQ(b->Placement(), blnArrowBottomLeft);
  EXPECT_EQ(b->TitleLabel()->text(), "About Parvex Encryptor Decryptor");
  EXPECT_FALSE(b->TextLabel()->text().endsWith('\n'));
  EXPECT_FALSE(b->Timer()->isActive());
  // The tip: the Open button's left edge, halfway down (41 / 2 = 20.5 rounds to even, 20).
  const QPoint anchor = h.form->OpenButton()->mapToGlobal(QPoint(0, 20));
  EXPECT_EQ(b->pos() + TipOf(blnArrowBottomLeft, b->width(), b->height()), anchor);

  // Stored-only settings do not move it; a second press shows a second popup over the first.
  h.form->Balloon()->Position = blnArrowTopRight;
  h.form->Balloon()->PixelCoordinateX = 5;
  h.form->Balloon()->PixelCoordinateY = 5;
  h.form->AboutButton()->click();
  balloons = h.form->findChildren<TBalloon*>();
  ASSERT_EQ(balloons.size(), 2);
  EXPECT_TRUE(balloons[0]->isVisible());
  EXPECT_TRUE(balloons[1]->isVisible());
  EXPECT_EQ(balloons[1]->geometry(), balloons[0]->geometry());

  // Popups are freed with the window at the latest.
  QPointer<TBalloon> first = balloons[0];
  h.form.reset();
  EXPECT_TRUE(first.isNull());
}

TEST(BalloonAbout, MiddleAndRightAnchorsRoundHalvesToEven) {
  Harness h;
  h.form->show();
  QPushButton* anchor = h.form->OpenButton();  // 75 x 41
  struct Case {
    TBalloonHoriz horizontal;
    TBalloonVert vertical;
    QPoint offset;  // from the button's top-left
  };
  const Case cases[] = {
      {blnMiddle, blnTop, {38, 0}},    // 37.5 rounds to 38
      {blnRight, blnBottom, {75, 41}},
      {blnMiddle, blnCenter, {38, 20}},
  };
  for (const Case& c : cases) {
    auto* b = new TBalloon(h.form.get());
    b->ShowAtControl(anchor, c.horizontal, c.vertical, "T", "x", blnInfo, 0);
    EXPECT_EQ(b->pos() + TipOf(b->Placement(), b->width(), b->height()), anchor->mapToGlobal(c.offset));
  }
}
