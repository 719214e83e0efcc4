#include "virtualcam/scenes/page_stack.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "virtualcam/scenes/text_printer.h"

namespace virtualcam {
namespace {

const cv::Scalar kDesk(70, 95, 120);
const cv::Scalar kInk(35, 30, 30);
const cv::Scalar kSkin(120, 150, 205);

const char* const kSentences[] = {
    "Thank you for your letter of the twelfth, which reached us only yesterday.",
    "The harvest was late this year because of the long rain in August.",
    "Your brother has found work at the mill and sends his regards.",
    "We hope to visit the coast in spring if the roads are mended by then.",
    "The school board met twice and agreed to buy new desks for the pupils.",
    "Mother keeps well, though her eyes tire quickly when she reads at night.",
    "Please send the photographs you promised; the children ask about them.",
    "The bridge over the river was opened at last with a small ceremony.",
    "Prices at the market have risen, and bread costs twice what it did.",
    "I enclose a short list of the books that the library would like to keep.",
    "The old clock in the town hall has been repaired and strikes again.",
    "Our neighbours moved to the city in May and left us their garden.",
    "The doctor says that the winter air in the hills will do you good.",
    "A parcel of seeds arrived from your aunt, with a note in her own hand.",
};
constexpr int kSentenceCount = sizeof kSentences / sizeof kSentences[0];

// Splits a sentence into lines no wider than `width` pixels at this text height.
std::vector<std::string> Wrap(TextPrinter& printer, const std::string& text, int width, int height) {
    std::vector<std::string> lines;
    std::string line;
    size_t at = 0;
    while (at < text.size()) {
        size_t space = text.find(' ', at);
        if (space == std::string::npos) space = text.size();
        const std::string word = text.substr(at, space - at);
        const std::string longer = line.empty() ? word : line + " " + word;
        if (!line.empty() && printer.Width(longer, height) > width) {
            lines.push_back(line);
            line = word;
        } else {
            line = longer;
        }
        at = space + 1;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

}  // namespace

void PrintStackPage(cv::Mat& paper, int page) {
    page = ((page % kStackPages) + kStackPages) % kStackPages;
    TextPrinter printer;
    const int height = std::max(8, paper.cols / 40);
    const int margin = paper.cols / 10;
    const int width = paper.cols - 2 * margin;
    // The page number large at the top, where a letter's heading would be, and a heading line that
    // sits further down on every page so that no two pages share their outline of print.
    const int big = height * 3;
    int y = margin + big;
    printer.Print(paper, std::to_string(page + 1), cv::Point(margin, y), big, kInk);
    y += height * (2 + page % 4);
    printer.Print(paper, "Letter " + std::to_string(page + 1) + " of the collection", cv::Point(margin, y),
                  height, kInk);
    y += height * 2;
    cv::RNG rng(static_cast<uint64_t>(1000 + page));
    const int paragraphs = 2 + page % 3;
    for (int p = 0; p < paragraphs && y < paper.rows - margin; ++p) {
        std::string text;
        const int sentences = 1 + rng.uniform(0, 3);
        for (int s = 0; s < sentences; ++s)
            text += std::string(s ? " " : "") + kSentences[rng.uniform(0, kSentenceCount)];
        for (const std::string& line : Wrap(printer, text, width, height)) {
            if (y > paper.rows - margin) break;
            printer.Print(paper, line, cv::Point(margin, y), height, kInk);
            y += height * 16 / 10;
        }
        y += height * (1 + rng.uniform(0, 3));
    }
}

cv::Size StackPaperSize(cv::Size scene) {
    const int page_height = scene.height * 88 / 100;
    return cv::Size(page_height * 210 / 297, page_height);
}

Scene RenderStackScene(int page, cv::Size size) {
    // The same A4 page as the single page scene, in the same place, with a slightly different turn each
    // time as a page put down by hand would have.
    const double angle = 2.0 + (page % 3) * 0.7;
    Sheet sheet{StackPaperSize(size), cv::Point2d(size.width / 2.0, size.height / 2.0), angle};
    sheet.print = [page](cv::Mat& paper) { PrintStackPage(paper, page); };
    return MakeScene(size, kDesk, {sheet}, 2024);
}

void DrawTurningHand(cv::Mat& bgr, double phase) {
    const double w = bgr.cols, h = bgr.rows;
    // From beyond the right edge to the middle and back.
    const double reach = 1.0 - std::abs(2.0 * std::clamp(phase, 0.0, 1.0) - 1.0);
    const cv::Point2d palm(w * (1.15 - 0.65 * reach), h * 0.55);
    const cv::Size axes(static_cast<int>(w * 0.09), static_cast<int>(h * 0.13));
    // Its shadow on the page first, the hand over it. The shadow is blurred only around itself: a
    // full-size blur made every frame of a turn at the large sizes far slower than the camera's rate.
    const double sigma = std::max(1.0, w * 0.01);
    const cv::Point2d centre = palm + cv::Point2d(w * 0.03, h * 0.04);
    const int reach_x = axes.width + static_cast<int>(std::ceil(4 * sigma));
    const int reach_y = axes.height + static_cast<int>(std::ceil(4 * sigma));
    const cv::Rect around = cv::Rect(static_cast<int>(centre.x) - reach_x,
                                     static_cast<int>(centre.y) - reach_y, 2 * reach_x + 1, 2 * reach_y + 1) &
                            cv::Rect(0, 0, bgr.cols, bgr.rows);
    if (!around.empty()) {
        cv::Mat shade(around.size(), bgr.type(), cv::Scalar::all(0));
        cv::ellipse(shade, centre - cv::Point2d(around.x, around.y), axes, 0, 0, 360, cv::Scalar::all(40),
                    cv::FILLED);
        cv::GaussianBlur(shade, shade, cv::Size(0, 0), sigma, sigma, cv::BORDER_CONSTANT);
        cv::Mat under = bgr(around);
        cv::subtract(under, shade, under);
    }
    // The arm reaches back to the right edge; four fingers point left, the thumb up.
    cv::rectangle(bgr, cv::Point(static_cast<int>(palm.x), static_cast<int>(palm.y - h * 0.08)),
                  cv::Point(static_cast<int>(w * 1.5), static_cast<int>(palm.y + h * 0.1)), kSkin * 0.9,
                  cv::FILLED, cv::LINE_AA);
    cv::ellipse(bgr, palm, axes, 0, 0, 360, kSkin, cv::FILLED, cv::LINE_AA);
    for (int f = 0; f < 4; ++f) {
        const cv::Point2d tip(palm.x - axes.width * 1.6, palm.y - axes.height * 0.7 + f * axes.height * 0.45);
        cv::line(bgr, palm, tip, kSkin, std::max(3, axes.height / 4), cv::LINE_AA);
    }
    cv::line(bgr, palm, palm + cv::Point2d(-axes.width * 0.6, -axes.height * 1.4), kSkin,
             std::max(3, axes.height / 4), cv::LINE_AA);
}

namespace {

cv::Mat PrintFingerprint(const cv::Mat& bgr) {
    cv::Mat grey, small;
    cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    // The printed part only: the margins differ with the crop.
    const cv::Rect inner(grey.cols / 20, grey.rows / 20, grey.cols * 9 / 10, grey.rows * 9 / 10);
    cv::resize(grey(inner), small, cv::Size(48, 68), 0, 0, cv::INTER_AREA);
    small.convertTo(small, CV_64F);
    cv::Scalar mean, dev;
    cv::meanStdDev(small, mean, dev);
    return (small - mean[0]) / (dev[0] * std::sqrt(static_cast<double>(small.total())) + 1e-9);
}

}  // namespace

StackPageMatch MatchStackPage(const cv::Mat& bgr, cv::Size scene) {
    static std::mutex mutex;
    static std::map<std::pair<int, int>, std::vector<cv::Mat>> printed;
    std::vector<cv::Mat> references;
    {
        std::lock_guard lock(mutex);
        std::vector<cv::Mat>& prints = printed[{scene.width, scene.height}];
        for (int page = static_cast<int>(prints.size()); page < kStackPages; ++page) {
            cv::Mat paper(StackPaperSize(scene), CV_8UC3, cv::Scalar::all(255));
            PrintStackPage(paper, page);
            prints.push_back(PrintFingerprint(paper));
        }
        references = prints;
    }
    StackPageMatch match;
    if (bgr.empty() || bgr.type() != CV_8UC3) return match;
    const cv::Mat probe = PrintFingerprint(bgr);
    double best = -2, second = -2;
    int best_page = -1;
    for (size_t i = 0; i < references.size(); ++i) {
        const double score = probe.dot(references[i]);
        if (score > best) {
            second = best;
            best = score;
            best_page = static_cast<int>(i);
        } else if (score > second) {
            second = score;
        }
    }
    match.score = best;
    match.margin = best - second;
    if (best >= 0.5 && match.margin >= 0.1) match.page = best_page;
    return match;
}

}  // namespace virtualcam
