// The orientation model shared by page detections on several threads at once: each borrows an engine of
// its own, so that they neither share Tesseract's state nor wait for one another.
#include <gtest/gtest.h>

#include <opencv2/core/utility.hpp>
#include <optional>
#include <thread>
#include <vector>

#include "outside/common/text_orientation.h"
#include "outside/kvoasize/page_detector.h"
#include "virtualcam/scenes/photo_files.h"

namespace {

TEST(OrientationModel, PagesReadOnSeveralThreadsAtOnceGetTheAnswerOfOne) {
    cv::setNumThreads(0);  // OpenCV's own pool is not instrumented for the thread checker: only ours run
    // A receipt lying turned, whose print lines say too little: the model decides its turn.
    cv::Mat photo =
        virtualcam::ReadPicture(std::string(VELLUMO_SOURCE_DIR) + "/tests/data/photos/daleal_receipt_4.jpg");
    ASSERT_FALSE(photo.empty());
    cv::Mat turned;
    cv::rotate(virtualcam::FitIntoFrame(photo, cv::Size(2592, 1944)).picture, turned,
               cv::ROTATE_90_COUNTERCLOCKWISE);
    auto outline = outside::FindPageOutline(turned);
    ASSERT_TRUE(outline.has_value());
    outside::OrientationModel model;
    const std::optional<int> alone = outside::UprightTurnOfPage(turned, *outline, model);
    ASSERT_TRUE(alone.has_value());

    std::vector<std::optional<int>> answers(3);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < answers.size(); ++i)
        threads.emplace_back([&, i] { answers[i] = outside::UprightTurnOfPage(turned, *outline, model); });
    for (auto& thread : threads) thread.join();
    for (const auto& answer : answers) EXPECT_EQ(answer, alone);
}

}  // namespace
