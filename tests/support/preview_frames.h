#pragma once
// A preview frame as the stream hands it to the window, made from a picture: for feeding the hands-free
// worker recorded or drawn frames.

#include <cstdint>
#include <memory>
#include <opencv2/imgproc.hpp>

#include "media/capture_graph.h"

namespace test_support {

inline std::shared_ptr<const platform::PreviewFrame> PreviewFrameOf(const cv::Mat& bgr, uint64_t sequence) {
    auto frame = std::make_shared<platform::PreviewFrame>();
    cv::Mat bgrx;
    cv::cvtColor(bgr, bgrx, cv::COLOR_BGR2BGRA);
    frame->pixels.assign(bgrx.data, bgrx.data + bgrx.total() * 4);
    frame->width = bgrx.cols;
    frame->height = bgrx.rows;
    frame->stride = bgrx.cols * 4;
    frame->sequence = sequence;
    return frame;
}

}  // namespace test_support
