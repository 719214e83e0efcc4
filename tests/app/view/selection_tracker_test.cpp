#include "app/view/selection_tracker.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

void PrintTo(const Rect& r, std::ostream* os) {
    *os << r.left << "," << r.top << "-" << r.right << "," << r.bottom;
}

namespace {

// The view's client area starts at screen (10,5); the video lies at client (10,15)-(490,395), screen
// (20,20)-(500,400).
const ViewGeometry kGeo{{20, 20, 500, 400}, {10, 5, 530, 425}, {10, 5}};
const SelectionInputs kCamera{true, false, false};
const SelectionInputs kSeries{true, true, true};
const Rect kArea{150, 150, 250, 250};

struct Tracker : SelectionTracker {
    void Drag(Point from, std::vector<Point> path, const SelectionInputs& in = kCamera) {
        OnButtonDown(from, kGeo, in);
        for (Point p : path) OnMouseMove(p, kGeo, in);
        OnButtonUp(kGeo);
    }
    void DoubleClick(Point p, const SelectionInputs& in = kCamera) {
        Drag(p, {}, in);
        OnDoubleClick(p, kGeo, in);
        OnButtonUp(kGeo);
    }
};

TEST(HitZones, TestedInOrderWithTheirShapes) {
    struct Case {
        Point p;
        int mode, edge;
        CursorShape cursor;
    };
    const Case cases[] = {
        {{96, 150}, 1, 1, CursorShape::SizeWE},    {{204, 150}, 1, 2, CursorShape::SizeWE},
        {{100, 106}, 1, 1, CursorShape::SizeWE},  // the edge wins over the corner it overlaps
        {{150, 96}, 2, 3, CursorShape::SizeNS},    {{150, 204}, 2, 4, CursorShape::SizeNS},
        {{105, 105}, 3, 5, CursorShape::SizeNWSE}, {{200, 200}, 3, 6, CursorShape::SizeNWSE},
        {{96, 204}, 3, 7, CursorShape::SizeNESW},  {{204, 96}, 3, 8, CursorShape::SizeNESW},
        {{150, 150}, 4, 0, CursorShape::SizeAll},  {{95, 150}, 5, 0, CursorShape::Cross},
        {{205, 94}, 5, 0, CursorShape::Cross},
    };
    for (const Case& c : cases) {
        const HitZone z = HitTestArea({100, 100, 200, 200}, c.p);
        EXPECT_EQ(z.mode, c.mode) << c.p.x << "," << c.p.y;
        EXPECT_EQ(z.edge, c.edge) << c.p.x << "," << c.p.y;
        EXPECT_EQ(z.cursor, c.cursor) << c.p.x << "," << c.p.y;
    }
}

struct DragCase {
    const char* name;
    Point from;
    std::vector<Point> path;
    Rect area;  // expected committed area in screen coordinates; empty when none is left
    SelectionInputs in = kCamera;
};

TEST(Selection, DragsOverAnExistingArea) {
    const DragCase cases[] = {
        {"click outside the area", {300, 300}, {}, {}},
        {"click on an edge", {250, 200}, {}, {}},
        {"click on a corner", {150, 150}, {}, {}},
        {"click inside keeps", {200, 200}, {}, kArea},
        {"drag up and left", {100, 100}, {{40, 30}}, {40, 30, 100, 100}},
        {"left edge past the right", {150, 200}, {{310, 200}}, {250, 150, 310, 250}},
        {"bottom-left corner", {150, 250}, {{140, 300}}, {140, 150, 250, 301}},
        {"5 px left starts anew", {145, 200}, {{200, 230}}, {145, 200, 200, 230}},
        {"4 px left resizes", {146, 200}, {{200, 230}}, {200, 150, 250, 250}},
        {"moved against the top left", {200, 200}, {{5, 5}}, {20, 20, 120, 120}},
        {"moved against the bottom right", {200, 200}, {{900, 900}}, {399, 300, 499, 400}},
        {"a new area stops at the video's edges", {300, 300}, {{350, 350}, {600, 900}}, {300, 300, 499, 399}},
        {"series: no new area", {300, 300}, {{350, 350}}, kArea, kSeries},
        {"series: a click elsewhere keeps the area", {300, 300}, {}, kArea, kSeries},
        {"series: resizing still works", {250, 200}, {{300, 200}}, {150, 150, 300, 250}, kSeries},
        {"no camera: nothing follows the pointer", {200, 200}, {{220, 220}}, kArea, {false, false, false}},
    };
    for (const DragCase& c : cases) {
        SCOPED_TRACE(c.name);
        Tracker t;
        t.Drag({150, 150}, {{250, 250}});
        ASSERT_EQ(t.m_rcSelScreen, kArea);
        t.Drag(c.from, c.path, c.in);
        EXPECT_EQ(t.m_rcSelScreen, c.area);
        EXPECT_EQ(t.m_bSelValid, !c.area.IsEmpty());
        EXPECT_EQ(t.m_rcSelection, c.area.IsEmpty() ? Rect{} : c.area.Offset(-10, -5));
        EXPECT_EQ(t.m_rcClip, std::nullopt);
        EXPECT_FALSE(t.BandVisible());
    }
}

TEST(Selection, DoubleClickTakesTheWholePictureUnlessASeriesRuns) {
    for (Point p : {Point{300, 300}, Point{200, 200}, Point{250, 200}}) {
        Tracker t;
        t.Drag({150, 150}, {{250, 250}});
        t.DoubleClick(p);
        EXPECT_EQ(t.m_rcSelScreen, kGeo.video);
        EXPECT_EQ(t.m_rcSelection, (Rect{10, 15, 490, 395}));
        EXPECT_TRUE(t.m_bSelValid && t.m_bWholeArea);
        t.Drag({200, 200}, {});  // a press ends the whole-picture state; a click inside keeps the area
        EXPECT_EQ(t.m_rcSelScreen, kGeo.video);
        EXPECT_FALSE(t.m_bWholeArea);
    }
    Tracker t;
    t.Drag({150, 150}, {{250, 250}});
    t.DoubleClick({300, 300}, kSeries);
    EXPECT_EQ(t.m_rcSelScreen, kArea);
    EXPECT_TRUE(t.m_bSelValid);
}

TEST(Selection, CursorFollowsTheZonesAndIsRestoredAfterADrag) {
    Tracker t;
    t.Drag({150, 150}, {{250, 250}});
    t.OnMouseMove({200, 200}, kGeo, kCamera);
    EXPECT_EQ(t.Cursor(), CursorShape::SizeAll);
    t.OnMouseMove({300, 300}, kGeo, kCamera);
    EXPECT_EQ(t.Cursor(), CursorShape::Arrow);
    t.OnMouseMove({250, 200}, kGeo, kCamera);
    t.OnButtonDown({250, 200}, kGeo, kCamera);
    EXPECT_TRUE(t.BandVisible());
    t.OnMouseMove({300, 300}, kGeo, kCamera);
    EXPECT_EQ(t.Cursor(), CursorShape::SizeWE);
    t.OnButtonUp(kGeo);
    EXPECT_EQ(t.Cursor(), CursorShape::SizeWE);  // the shape before the press
    t.OnMouseMove({10, 10}, kGeo, kCamera);
    EXPECT_EQ(t.Cursor(), CursorShape::Arrow);
}

std::string Pattern(const std::vector<BorderPixel>& px, size_t n) {
    std::string s;
    for (size_t i = 0; i < n && i < px.size(); ++i) s += px[i].black ? 'B' : 'W';
    return s;
}

TEST(MarchingBorder, PathAndDashes) {
    const std::vector<BorderPixel> px = MarchingBorder({10, 20, 14, 23}, 3, true);
    std::vector<std::pair<int, int>> path;
    for (const BorderPixel& p : px) path.emplace_back(p.x, p.y);
    const std::vector<std::pair<int, int>> want{{10, 20}, {11, 20}, {12, 20}, {13, 20}, {13, 20}, {13, 21},
                                                {13, 22}, {13, 22}, {12, 22}, {11, 22}, {10, 22}, {10, 21}};
    EXPECT_EQ(path, want);
    EXPECT_EQ(Pattern(px, 12), "BBBBWWWWBBBB");
    EXPECT_EQ(Pattern(MarchingBorder({0, 0, 20, 20}, 1, false), 12), "WWBBBBWWWWBB");
    EXPECT_TRUE(MarchingBorder({5, 5, 5, 9}, 0, true).empty());
}

TEST(MarchingBorder, TimerShiftsTheDashesOnePixelPerTickWhileAnAreaIsShown) {
    Tracker t;
    EXPECT_FALSE(t.OnTimer(kCamera));  // no area yet
    t.Drag({150, 150}, {{250, 250}});
    EXPECT_FALSE(t.OnTimer({false, false, false}));
    const Rect r = t.m_rcSelection;
    std::vector<BorderPixel> before = MarchingBorder(r, t.m_nAntPhase, t.m_bAntColour);
    for (int tick = 1; tick <= 8; ++tick) {
        ASSERT_TRUE(t.OnTimer(kCamera));
        const std::vector<BorderPixel> after = MarchingBorder(r, t.m_nAntPhase, t.m_bAntColour);
        for (size_t i = 1; i < after.size(); ++i)
            ASSERT_EQ(after[i].black, before[i - 1].black) << tick << " " << i;
        before = after;
    }
    EXPECT_EQ(t.m_nAntPhase, 3);
    EXPECT_TRUE(t.m_bAntColour);
}

TEST(RubberBand, NormalisedInClientTermsAndCutToTheClientArea) {
    EXPECT_EQ(RubberBandRect({700, 200, 20, 30}, {10, 5}, 520, 420), (Rect{10, 25, 519, 195}));
    EXPECT_EQ(RubberBandRect({600, 600, 700, 700}, {10, 5}, 520, 420), std::nullopt);
}

}  // namespace

namespace {

TEST(WindowMove, AreaStaysOnThePictureWhenTheWindowMoves) {
    Tracker t;
    t.Drag({100, 100}, {{150, 140}, {220, 200}});
    ASSERT_TRUE(t.m_bSelValid);
    const Rect client = t.m_rcSelection;
    // The window manager moved the window by (30, -12): the view and its video moved with it.
    t.OnWindowMoved(30, -12);
    EXPECT_EQ(t.m_rcSelScreen, (Rect{100 + 30, 100 - 12, 220 + 30, 200 - 12}));
    const ViewGeometry moved{kGeo.video.Offset(30, -12), kGeo.window.Offset(30, -12), {40, -7}};
    // A click inside the area keeps it, and it still names the same part of the picture.
    t.OnButtonDown({180, 140}, moved, kCamera);
    t.OnButtonUp(moved);
    EXPECT_TRUE(t.m_bSelValid);
    EXPECT_EQ(t.m_rcSelection, client);
}

}  // namespace
