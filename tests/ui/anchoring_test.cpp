#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

#include "ui/anchoring.h"

namespace yig::ui {
namespace {

struct TagCase {
  const char* tag;
  QRect expected;  // after growing the window by (dx, dy) = (100, 40) from a control at (10, 20, 50, 30)
};

class AnchorTagTest : public ::testing::TestWithParam<TagCase> {};

TEST_P(AnchorTagTest, KeepsTheFarMargins) {
  QWidget window;
  window.resize(400, 300);
  auto* control = new QLabel(&window);
  control->setGeometry(10, 20, 50, 30);
  setAnchorTag(control, QString::fromLatin1(GetParam().tag));
  AnchorState state;
  AnchorControls(state, &window);
  window.resize(500, 340);
  AnchorControls(state, &window);
  EXPECT_EQ(control->geometry(), GetParam().expected) << GetParam().tag;
}

INSTANTIATE_TEST_SUITE_P(
    EightTags, AnchorTagTest,
    ::testing::Values(TagCase{"STRETCHH", QRect(10, 20, 150, 30)}, TagCase{"STRETCHV", QRect(10, 20, 50, 70)},
                      TagCase{"STRETCHALL", QRect(10, 20, 150, 70)}, TagCase{"MOVEH", QRect(110, 20, 50, 30)},
                      TagCase{"MOVEV", QRect(10, 60, 50, 30)}, TagCase{"MOVEALL", QRect(110, 60, 50, 30)},
                      TagCase{"STRETCHVMOVEH", QRect(110, 20, 50, 70)},
                      TagCase{"STRETCHHMOVEV", QRect(10, 60, 150, 30)},
                      // Tags are exact and case-sensitive; others are recorded but move nothing.
                      TagCase{"moveh", QRect(10, 20, 50, 30)}, TagCase{"OTHER", QRect(10, 20, 50, 30)}));

TEST(AnchorControlsTest, EnlargingBy1500TwipsMovesAndWidens) {
  QWidget window;
  window.resize(600, 400);
  auto* moving = new QLabel(&window);
  moving->setGeometry(500, 30, 60, 20);
  setAnchorTag(moving, QStringLiteral("MOVEH"));
  auto* stretching = new QLabel(&window);
  stretching->setGeometry(10, 60, 300, 25);
  setAnchorTag(stretching, QStringLiteral("STRETCHH"));
  AnchorState state;
  AnchorControls(state, &window);
  const int dx = twipsToPixels(1500, &window);
  EXPECT_EQ(pixelsToTwips(dx, &window), 1500);
  window.resize(600 + dx, 400);
  AnchorControls(state, &window);
  EXPECT_EQ(moving->geometry(), QRect(500 + dx, 30, 60, 20));
  EXPECT_EQ(stretching->geometry(), QRect(10, 60, 300 + dx, 25));
}

TEST(AnchorControlsTest, AxisHintLimitsTheRules) {
  QWidget window;
  window.resize(400, 300);
  auto* control = new QLabel(&window);
  control->setGeometry(10, 20, 50, 30);
  setAnchorTag(control, QStringLiteral("STRETCHALL"));
  AnchorState state;
  AnchorControls(state, &window);
  window.resize(450, 350);
  AnchorControls(state, &window, false, AnchorAxis::Horizontal);
  EXPECT_EQ(control->geometry(), QRect(10, 20, 100, 30));
  AnchorControls(state, &window, false, AnchorAxis::Vertical);
  EXPECT_EQ(control->geometry(), QRect(10, 20, 100, 80));
}

TEST(AnchorControlsTest, ShrinkingBelowAControlKeepsItsSize) {
  QWidget window;
  window.resize(400, 300);
  auto* control = new QLabel(&window);
  control->setGeometry(10, 20, 50, 30);
  setAnchorTag(control, QStringLiteral("STRETCHALL"));
  AnchorState state;
  AnchorControls(state, &window);
  window.resize(300, 250);  // width would become -50
  AnchorControls(state, &window);
  EXPECT_EQ(control->width(), 50);
  EXPECT_EQ(control->height(), 30);
}

TEST(AnchorControlsTest, KeepsHiddenControlsHiddenAndRecordsOnce) {
  QWidget window;
  window.resize(400, 300);
  auto* hidden = new QLabel(&window);
  hidden->setGeometry(10, 20, 50, 30);
  setAnchorTag(hidden, QStringLiteral("MOVEH"));
  hidden->hide();
  window.show();
  AnchorState state;
  AnchorControls(state, &window);
  EXPECT_EQ(state.count(), 1);
  window.resize(420, 300);
  AnchorControls(state, &window);
  EXPECT_FALSE(hidden->isVisible());
  EXPECT_EQ(hidden->x(), 30);
  // A control tagged later is not recorded unless asked to.
  auto* late = new QLabel(&window);
  setAnchorTag(late, QStringLiteral("MOVEH"));
  AnchorControls(state, &window);
  EXPECT_EQ(state.count(), 1);
  AnchorControls(state, &window, true);
  EXPECT_EQ(state.count(), 2);
}

TEST(AnchorControlsTest, MinimizedWindowIsLeftAlone) {
  QWidget window;
  window.resize(400, 300);
  auto* control = new QLabel(&window);
  control->setGeometry(10, 20, 50, 30);
  setAnchorTag(control, QStringLiteral("MOVEH"));
  AnchorState state;
  AnchorControls(state, &window);
  window.resize(500, 300);
  window.setWindowState(Qt::WindowMinimized);
  AnchorControls(state, &window);
  EXPECT_EQ(control->x(), 10);
  window.setWindowState(Qt::WindowNoState);
  AnchorControls(state, &window);
  EXPECT_EQ(control->x(), 110);
}

struct ZoneCase {
  QPoint pos;
  EdgeZone zone;
  Qt::CursorShape cursor;
};

class EdgeZoneTest : public ::testing::TestWithParam<ZoneCase> {};

TEST_P(EdgeZoneTest, ZoneAndCursor) {
  const QRect window(100, 50, 400, 300);  // right edge at 500, bottom at 350 (exclusive)
  const ZoneCase& c = GetParam();
  EXPECT_EQ(edgeZoneAt(c.pos, window), c.zone) << c.pos.x() << "," << c.pos.y();
  EXPECT_EQ(zoneCursor(c.zone), c.cursor);
}

INSTANTIATE_TEST_SUITE_P(
    Zones, EdgeZoneTest,
    ::testing::Values(ZoneCase{{104, 53}, EdgeZone::LeftUp, Qt::SizeFDiagCursor},
                      ZoneCase{{499, 349}, EdgeZone::RightDown, Qt::SizeFDiagCursor},
                      ZoneCase{{496, 50}, EdgeZone::RightUp, Qt::SizeBDiagCursor},
                      ZoneCase{{100, 346}, EdgeZone::LeftDown, Qt::SizeBDiagCursor},
                      ZoneCase{{102, 200}, EdgeZone::Left, Qt::SizeHorCursor},
                      ZoneCase{{498, 200}, EdgeZone::Right, Qt::SizeHorCursor},
                      ZoneCase{{300, 54}, EdgeZone::Up, Qt::SizeVerCursor},
                      ZoneCase{{300, 346}, EdgeZone::Down, Qt::SizeVerCursor},
                      ZoneCase{{105, 55}, EdgeZone::None, Qt::ArrowCursor},
                      ZoneCase{{300, 200}, EdgeZone::None, Qt::ArrowCursor}));

TEST(EdgeZoneTest, NamesAndEdges) {
  EXPECT_EQ(zoneName(EdgeZone::LeftUp), QStringLiteral("LeftUp"));
  EXPECT_EQ(zoneName(EdgeZone::None), QString());
  EXPECT_EQ(zoneEdges(EdgeZone::RightDown), Qt::RightEdge | Qt::BottomEdge);
  EXPECT_EQ(zoneEdges(EdgeZone::Move), Qt::Edges());
}

TEST(ResizedGeometryTest, DragsTheZonesEdgesAndKeepsAMinimum) {
  const QRect start(100, 100, 400, 300);
  EXPECT_EQ(resizedGeometry(start, EdgeZone::Right, {50, 10}, {100, 100}), QRect(100, 100, 450, 300));
  EXPECT_EQ(resizedGeometry(start, EdgeZone::LeftUp, {-20, -30}, {100, 100}), QRect(80, 70, 420, 330));
  EXPECT_EQ(resizedGeometry(start, EdgeZone::Move, {5, 6}, {100, 100}), QRect(105, 106, 400, 300));
  EXPECT_EQ(resizedGeometry(start, EdgeZone::Left, {390, 0}, {100, 100}), QRect(400, 100, 100, 300));
  EXPECT_EQ(resizedGeometry(start, EdgeZone::Down, {0, -500}, {100, 100}).height(), 100);
}

}  // namespace
}  // namespace yig::ui
