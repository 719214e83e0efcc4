// Where the live picture sits in the view.
#include "capture/video_fit.h"

#include <gtest/gtest.h>

#include <vector>

TEST(VideoFit, LargestCentredFourByThree) {
    struct Case {
        int width, height, x, y, w, h;
    } cases[] = {
        {1000, 600, 100, 0, 800, 600}, {800, 900, 0, 150, 800, 600}, {800, 600, 0, 0, 800, 600},
        {803, 601, 1, 0, 800, 600},  // 601 / 3 drops its fraction; the spare 3 columns split 1 and 2
        {801, 800, 0, 100, 800, 600},  {3, 2, 1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        VideoPlacement p = FitVideoRect(c.width, c.height);
        EXPECT_EQ((std::vector<int>{p.x, p.y, p.width, p.height}), (std::vector<int>{c.x, c.y, c.w, c.h}))
            << c.width << "x" << c.height;
    }
}
