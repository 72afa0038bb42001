#include "link/Clock.h"
#include "box/Box.h"
#include "session/Session.h"
#include "support/RecordingUi.h"
#include "warp/GridForm.h"
#include "warp/GridView.h"
#include "warp/WarpModel.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace trivel {
namespace {

struct GridFormFixture : ::testing::Test {
    VirtualClock clock;
    test::RecordingUi ui;
    std::unique_ptr<Box> tool = std::make_unique<Box>(clock, ui);
    Session* session = &tool->session;
    WarpState& warp = tool->warp.state();

    // Image pixel of a logical (frame) position under the view's mapping.
    static QPoint toImage(double x, double y)
    {
        return QPoint(int(kGridViewOrigin + x * kGridViewWidth / kGridViewLogicalWidth),
            int(kGridViewOrigin + y * kGridViewHeight / kGridViewLogicalHeight));
    }
};

TEST_F(GridFormFixture, SquaresMarkActivePointsAndTheCursor)
{
    SelectWarpPattern(warp, Pattern3x3);
    warp.current().GridCursor = {8, 16};
    const auto squares = GridViewSquares(warp);
    ASSERT_EQ(squares.size(), 289u);
    EXPECT_EQ(std::count_if(squares.begin(), squares.end(), [](const GridSquare& q) { return q.active; }), 9);
    for (int i = 0; i < 17; ++i) {
        for (int j = 0; j < 17; ++j) {
            const GridSquare& q = squares[i * 17 + j];
            EXPECT_EQ(q.active, j % 8 == 0 && i % 8 == 0) << j << "," << i;
            const int width = (j == 8 && i == 16) ? 24 : 16;
            EXPECT_EQ(q.rect.width(), width);
            EXPECT_EQ(q.rect.center(), QRect(q.rect.topLeft(), QSize(width, width)).center());
        }
    }
    EXPECT_EQ(squares[0].rect, QRect(-8, -8, 16, 16));
    EXPECT_EQ(squares[16 * 17 + 8].rect, QRect(960 - 12, 1080 - 12, 24, 24));
}

TEST_F(GridFormFixture, Button5DrawsTheLiveGridScaled)
{
    TGridForm form(tool->warp);
    EXPECT_EQ(form.objectName(), "GridForm");
    EXPECT_EQ(form.windowTitle(), "GridForm");
    SelectWarpPattern(warp, Pattern3x3);
    // A moved live point is drawn where the live grid has it, not at its base position.
    warp.LiveGrid[8][8] = {1000, 600};
    EXPECT_EQ(form.image().pixel(toImage(1000, 600)), qRgb(255, 255, 255)); // nothing until Button5
    QTest::mouseClick(form.Button5, Qt::LeftButton);
    const QImage& img = form.image();
    ASSERT_EQ(img.size(), QSize(960, 540));
    EXPECT_EQ(img.pixel(toImage(1000, 600)), qRgb(255, 0, 0)); // active
    EXPECT_EQ(img.pixel(toImage(0, 0) + QPoint(2, 2)), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(toImage(120, 540)), qRgb(0, 0, 255)); // inactive
    EXPECT_EQ(img.pixel(toImage(960, 540)), qRgb(255, 255, 255)); // the centre point moved away
    EXPECT_EQ(img.pixel(toImage(60, 540)), qRgb(255, 255, 255)); // between squares
    EXPECT_EQ(img.pixel(950, 530), qRgb(255, 0, 0)); // the bottom-right square sits inside the margin
    EXPECT_EQ(img.pixel(958, 538), qRgb(255, 255, 255));
}

TEST_F(GridFormFixture, ClickAndDragReportPositions)
{
    TGridForm form(tool->warp);
    form.show();
    QTest::mouseClick(form.Image1, Qt::LeftButton, {}, QPoint(100, 50));
    EXPECT_EQ(form.Label1->text(), "100 - 50");

    const auto grid = warp.current().UserGrid;
    ASSERT_EQ(form.Shape1->pos(), QPoint(400, 312));
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(at), form.Shape1->mapToGlobal(QPointF(at)),
            type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(form.Shape1, &e);
    };
    send(QEvent::MouseButtonPress, QPoint(2, 2), Qt::LeftButton);
    send(QEvent::MouseMove, QPoint(7, 5), Qt::LeftButton);
    EXPECT_EQ(form.Shape1->pos(), QPoint(405, 315));
    EXPECT_EQ(form.Label1->text(), "405 - 315");
    send(QEvent::MouseMove, QPoint(9, 9), Qt::NoButton); // hover without the button: stays
    EXPECT_EQ(form.Shape1->pos(), QPoint(405, 315));
    EXPECT_EQ(warp.current().UserGrid, grid);
}

} // namespace
} // namespace trivel
