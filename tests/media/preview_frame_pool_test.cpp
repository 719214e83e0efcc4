// Preview frames come back to their pool once nobody holds them, and only then.
#include "media/preview_frame_pool.h"

#include <gtest/gtest.h>

namespace {

using platform::PreviewFrame;
using platform::PreviewFramePool;

TEST(PreviewFramePool, AFrameLetGoIsFilledAgainAndOneHeldIsNot) {
    PreviewFramePool pool(2);
    std::shared_ptr<PreviewFrame> first = pool.Acquire(4, 2, 16);
    ASSERT_EQ(first->pixels.size(), 32u);
    EXPECT_EQ(first->width, 4);
    EXPECT_EQ(first->stride, 16);
    first->pixels[0] = 0xAB;
    std::shared_ptr<const PreviewFrame> held = first;  // as the window keeps it
    first.reset();

    // Still held: the next frame is another one.
    std::shared_ptr<PreviewFrame> second = pool.Acquire(4, 2, 16);
    EXPECT_EQ(second->pixels[0], 0) << "a frame still shown was handed out to be overwritten";
    second->pixels[0] = 0xCD;

    // Let go by every holder (here on another thread's behalf: whoever holds it last): back in the pool.
    held.reset();
    second.reset();
    std::shared_ptr<PreviewFrame> third = pool.Acquire(4, 2, 16);
    std::shared_ptr<PreviewFrame> fourth = pool.Acquire(4, 2, 16);
    EXPECT_EQ(third->pixels[0] + fourth->pixels[0], 0xAB + 0xCD) << "frames let go were not used again";
    EXPECT_EQ(pool.Acquire(4, 2, 16)->pixels[0], 0) << "two frames out, none spare";

    // Another size: the spares of the old one are not handed out.
    third.reset();
    std::shared_ptr<PreviewFrame> larger = pool.Acquire(6, 2, 24);
    EXPECT_EQ(larger->pixels.size(), 48u);
    EXPECT_EQ(larger->width, 6);
    EXPECT_EQ(larger->pixels[0], 0);
}

TEST(PreviewFramePool, FramesOutliveTheirPool) {
    std::shared_ptr<const PreviewFrame> kept;
    {
        PreviewFramePool pool;
        std::shared_ptr<PreviewFrame> frame = pool.Acquire(2, 2, 8);
        frame->pixels[7] = 9;
        kept = frame;
    }
    EXPECT_EQ(kept->pixels[7], 9);
    kept.reset();  // freed, not returned to a pool that has gone (the sanitizer builds watch this)
}

}  // namespace
