// Hands-free capture's decision on recorded frame sequences: pages of the virtual camera's stack at the
// live outline's working size, with a hand turning them, moved on the desk, or taken away.
#include "pipeline/autocapture/page_watch.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>
#include <vector>

#include "virtualcam/scenes/page_stack.h"

namespace {

using pipeline::PageOutline;
using pipeline::PageWatch;
using pipeline::WatchState;

const cv::Size kSize(320, 240);
constexpr int64_t kFrameMs = 33;

struct Recorded {
    cv::Mat grey;
    std::optional<PageOutline> outline;
};

Recorded Record(const virtualcam::Scene& scene, bool outlined = true) {
    Recorded frame;
    cv::cvtColor(scene.picture, frame.grey, cv::COLOR_BGR2GRAY);
    if (outlined && !scene.corners.empty()) {
        PageOutline outline;
        for (int i = 0; i < 4; ++i) outline[i] = {scene.corners[0][i].x, scene.corners[0][i].y};
        frame.outline = outline;
    }
    return frame;
}

pipeline::GreyFrame Grey(const Recorded& frame) {
    return {frame.grey.data, frame.grey.cols, frame.grey.rows, static_cast<int>(frame.grey.step)};
}

// The same page put down again elsewhere on the desk, turned the other way.
virtualcam::Scene Moved(int page) {
    const int height = kSize.height * 88 / 100;
    virtualcam::Sheet sheet{cv::Size(height * 210 / 297, height),
                            cv::Point2d(kSize.width * 0.42, kSize.height * 0.51), -3};
    sheet.print = [page](cv::Mat& paper) { virtualcam::PrintStackPage(paper, page); };
    return virtualcam::MakeScene(kSize, cv::Scalar(70, 95, 120), {sheet}, 7);
}

// Plays frames into the watch as the program does: a page is taken whenever the watch says so, and handed
// back as taken `taking_lag_ms` later (the main thread, busy, handles the decision late); decisions made
// meanwhile are stale and let go.
struct Player {
    PageWatch watch;
    int64_t now_ms = 0;
    int64_t taking_lag_ms = 0;
    std::vector<int> taken;  // the labels of the frames taken
    std::vector<int64_t> taken_at_ms;
    std::optional<pipeline::PageThumbnail> taking;
    int64_t taking_due_ms = 0;

    WatchState Play(const Recorded& frame, int label, int64_t for_ms) {
        WatchState state = WatchState::NoPage;
        for (int64_t end = now_ms + for_ms; now_ms < end; now_ms += kFrameMs) {
            state = watch.Observe(Grey(frame), frame.outline, now_ms);
            if (state == WatchState::CaptureNow && !taking) {
                taking = watch.Current();
                taking_due_ms = now_ms + taking_lag_ms;
                taken.push_back(label);
                taken_at_ms.push_back(now_ms);
            }
            if (taking && now_ms >= taking_due_ms) {
                watch.Taken(*taking);
                taking.reset();
            }
        }
        return state;
    }
    // A hand comes in, the page is swapped for `next` halfway and the hand goes out again.
    void Turn(int from, int next) {
        const virtualcam::Scene before = virtualcam::RenderStackScene(from, kSize);
        const virtualcam::Scene after = virtualcam::RenderStackScene(next, kSize);
        for (double phase = 0.02; phase < 1.0; phase += 0.04) {
            virtualcam::Scene scene = phase < 0.5 ? before : after;
            scene.picture = scene.picture.clone();
            virtualcam::DrawTurningHand(scene.picture, phase);
            // The detector loses the page while the hand is over its middle.
            Play(Record(scene, phase < 0.35 || phase > 0.65), -1, kFrameMs);
        }
    }
};

TEST(PageWatch, APageLyingStillIsTakenOnceJustAfterTheStillTimeAndNotAgain) {
    Player player;
    const Recorded page = Record(virtualcam::RenderStackScene(0, kSize));
    const Recorded desk = Record(virtualcam::RenderStackScene(0, kSize), false);

    // Lost for a moment before the still time is over: the still time starts again when it is back.
    EXPECT_EQ(player.Play(page, 0, 600), WatchState::HoldStill);
    EXPECT_EQ(player.Play(desk, -1, 100), WatchState::NoPage);
    const int64_t back_ms = player.now_ms;
    EXPECT_EQ(player.Play(page, 0, 700), WatchState::HoldStill);
    EXPECT_TRUE(player.taken.empty());
    EXPECT_EQ(player.Play(page, 0, 3000), WatchState::SamePage);
    ASSERT_EQ(player.taken, std::vector<int>{0});
    const int64_t waited = player.taken_at_ms[0] - back_ms;
    EXPECT_GE(waited, 800);
    EXPECT_LT(waited, 800 + kFrameMs);

    // The stream restarted, its clock from zero: the still time starts again with the new clock.
    player.watch.Forget();
    player.now_ms = 10;
    EXPECT_EQ(player.Play(page, 0, 790), WatchState::HoldStill);
    player.Play(page, 0, 100);
    ASSERT_EQ(player.taken.size(), 2u);
    EXPECT_GE(player.taken_at_ms[1] - 10, 800);
}

TEST(PageWatch, TurnedByHandEveryPageIsTakenOnceInOrderAndAFalseTurnTakesNothing) {
    Player player;
    player.watch.SetStillMs(500);
    player.Play(Record(virtualcam::RenderStackScene(0, kSize)), 0, 1000);
    for (int page = 1; page < 4; ++page) {
        player.Turn(page - 1, page);
        player.Play(Record(virtualcam::RenderStackScene(page, kSize)), page, 1000);
    }
    // The hand passes over without turning: the page under it was taken already.
    player.Turn(3, 3);
    EXPECT_EQ(player.Play(Record(virtualcam::RenderStackScene(3, kSize)), 3, 1500), WatchState::SamePage);
    EXPECT_EQ(player.taken, (std::vector<int>{0, 1, 2, 3}));  // never during a turn (label -1)
}

// Under load: the user's own capture of a page the watch has not seen yet (just switched on) or sees only
// under a hand, and a taking handed back after the next page is down. Never a page twice, none missed.
TEST(PageWatch, APageTakenUnseenOrLateIsNeitherTakenAgainNorTakenForTheNextOne) {
    const Recorded first = Record(virtualcam::RenderStackScene(0, kSize));
    const Recorded second = Record(virtualcam::RenderStackScene(1, kSize));
    {
        Player player;
        player.watch.Taken();
        EXPECT_EQ(player.Play(first, 0, 2000), WatchState::SamePage);
        player.Turn(0, 1);
        player.Play(second, 1, 1500);
        EXPECT_EQ(player.taken, std::vector<int>{1});
    }
    {
        Player player;
        player.Play(first, 0, 400);
        virtualcam::Scene covered = virtualcam::RenderStackScene(0, kSize);
        virtualcam::DrawTurningHand(covered.picture, 0.5);
        player.Play(Record(covered, false), -1, 200);
        player.watch.Taken();
        EXPECT_EQ(player.Play(first, 0, 2000), WatchState::SamePage);
        EXPECT_TRUE(player.taken.empty());
    }
    {
        Player player;
        player.taking_lag_ms = 1200;
        player.Play(first, 0, 1000);
        player.Turn(0, 1);
        EXPECT_EQ(player.Play(second, 1, 2500), WatchState::SamePage);
        EXPECT_EQ(player.taken, (std::vector<int>{0, 1}));
    }
}

TEST(PageWatch, APageMovedOnTheDeskIsTheSamePageButADifferentPageInItsPlaceIsNew) {
    Player player;
    player.Play(Record(virtualcam::RenderStackScene(5, kSize)), 5, 1200);
    // Content, not position: moved and turned, page 5 is still the page taken; page 6 in its place is new.
    EXPECT_EQ(player.Play(Record(Moved(5)), 5, 1500), WatchState::SamePage);
    EXPECT_EQ(player.Play(Record(Moved(6)), 6, 1500), WatchState::SamePage);
    EXPECT_EQ(player.taken, (std::vector<int>{5, 6}));
    // Sliding slowly (1 pixel a frame) holds it back though its content stays the same.
    const Recorded still = Record(virtualcam::RenderStackScene(7, kSize));
    for (int shift = 0; shift < 40; ++shift) {
        Recorded sliding{still.grey.clone(), still.outline};
        cv::Mat moved;
        cv::warpAffine(still.grey, moved, cv::Mat(cv::Matx23d(1, 0, shift, 0, 1, 0)), kSize, cv::INTER_LINEAR,
                       cv::BORDER_REPLICATE);
        sliding.grey = moved;
        for (auto& corner : *sliding.outline) corner.x += shift;
        EXPECT_NE(player.Play(sliding, 7, kFrameMs), WatchState::CaptureNow) << shift;
    }
}

TEST(PageWatch, EveryPageOfTheStackDiffersFromTheOthersFarMoreThanFromItselfMoved) {
    const double limit = pipeline::PageWatchSettings{}.same_page_limit;
    std::vector<pipeline::PageThumbnail> pages;
    for (int page = 0; page < virtualcam::kStackPages; ++page) {
        const Recorded frame = Record(virtualcam::RenderStackScene(page, kSize));
        pages.push_back(pipeline::MakeThumbnail(Grey(frame), *frame.outline));
        const Recorded moved = Record(Moved(page));
        EXPECT_LT(
            pipeline::ThumbnailDifference(pages.back(), pipeline::MakeThumbnail(Grey(moved), *moved.outline)),
            limit * 0.9)
            << page;
    }
    for (size_t a = 0; a < pages.size(); ++a)
        for (size_t b = a + 1; b < pages.size(); ++b)
            EXPECT_GT(pipeline::ThumbnailDifference(pages[a], pages[b]), limit * 1.3) << a << " " << b;
}

}  // namespace
