#include "app/view/vellumo_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QTest>
#include <string>

namespace {

class ViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        view.SetInputs({[this] { return camera; }, [] { return true; }, [this] { return series; }, {}, {}});
        view.resize(520, 420);
        view.move(30, 40);
        view.show();
        view.SetVideoRect({10, 15, 490, 395});
    }
    void Drag(QPoint from, QPoint to) {
        QTest::mousePress(&view, Qt::LeftButton, {}, from);
        QTest::mouseMove(&view, to);
        QTest::mouseRelease(&view, Qt::LeftButton, {}, to);
    }
    QImage Shot() { return view.grab().toImage(); }
    // The top row of the capture area's border, left to right.
    std::string TopRow(int n) {
        const QImage img = Shot();
        std::string s;
        for (int x = view.m_rcSelection.left; x < view.m_rcSelection.left + n; ++x)
            s += img.pixelColor(x, view.m_rcSelection.top) == Qt::black ? 'B' : 'W';
        return s;
    }

    bool camera = true;
    bool series = false;
    CVellumoView view;
};

TEST_F(ViewTest, PressFivePixelsLeftOfAnAreaStartsANewOne) {
    QTest::mousePress(&view, Qt::LeftButton, {}, {90, 85});
    QTest::mouseMove(&view, {190, 185});
    EXPECT_EQ(Shot().pixelColor(140, 184), QColor(Qt::red));  // the band while dragging
    QTest::mouseRelease(&view, Qt::LeftButton, {}, {190, 185});
    EXPECT_EQ(view.m_rcSelection, (Rect{90, 85, 190, 185}));

    QTest::mousePress(&view, Qt::LeftButton, {}, {86, 130});
    EXPECT_EQ(view.cursor().shape(), Qt::SizeHorCursor);
    QTest::mouseRelease(&view, Qt::LeftButton, {}, {86, 130});
    EXPECT_EQ(view.m_rcSelection, Rect{});  // a click on the edge clears

    Drag({90, 85}, {190, 185});
    Drag({85, 130}, {150, 150});
    EXPECT_EQ(view.m_rcSelection, (Rect{85, 130, 150, 150}));
}

TEST_F(ViewTest, MovedAreaStopsAtTheVideoEdges) {
    Drag({90, 85}, {190, 185});
    Drag({140, 135}, {-50, -50});
    EXPECT_EQ(view.m_rcSelection, (Rect{10, 15, 110, 115}));
}

TEST_F(ViewTest, DoubleClickSelectsTheWholePictureExceptDuringASeries) {
    Drag({90, 85}, {190, 185});
    series = true;
    QTest::mouseClick(&view, Qt::LeftButton, {}, {300, 300});
    QTest::mouseDClick(&view, Qt::LeftButton, {}, {300, 300});
    QTest::mouseRelease(&view, Qt::LeftButton, {}, {300, 300});
    EXPECT_EQ(view.m_rcSelection, (Rect{90, 85, 190, 185}));
    series = false;
    QTest::mouseClick(&view, Qt::LeftButton, {}, {300, 300});
    QTest::mouseDClick(&view, Qt::LeftButton, {}, {300, 300});
    QTest::mouseRelease(&view, Qt::LeftButton, {}, {300, 300});
    EXPECT_EQ(view.m_rcSelection, view.m_rcVideo);
}

TEST_F(ViewTest, FrameAndMarchingBorderAsPainted) {
    const QImage img = Shot();
    EXPECT_EQ(img.pixelColor(9, 200), QColor(Qt::white));
    EXPECT_EQ(img.pixelColor(490, 395), QColor(Qt::white));
    EXPECT_EQ(img.pixelColor(10, 200), QColor(Qt::black));
    EXPECT_EQ(img.pixelColor(8, 200), QColor(Qt::black));

    Drag({90, 85}, {190, 185});
    EXPECT_EQ(TopRow(12), "BBBBWWWWBBBB");
    view.OnTimer();
    EXPECT_EQ(TopRow(12), "WBBBBWWWWBBB");
    camera = false;
    view.OnTimer();
    EXPECT_EQ(TopRow(12), "WBBBBWWWWBBB");
    camera = true;
    for (int i = 0; i < 3; ++i) view.OnTimer();
    EXPECT_EQ(TopRow(12), "WWWWBBBBWWWW");
    EXPECT_EQ(Shot().pixelColor(189, 100), QColor(Qt::white));  // right side, continuing the path

    view.StartTimer(10);
    const QDeadlineTimer deadline(10000);
    while (TopRow(12) == "WWWWBBBBWWWW" && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(TopRow(1), "B");
}

}  // namespace
