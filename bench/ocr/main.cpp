// FineCmd.exe against the `tesseract` command on the same 2592 x 1944 picture of the virtual camera's
// page: wall time (median of several runs, process start and file writing included on both sides), the
// ratio ours / theirs, and the share of the page's words each one read. Goals: at most 1.1x the time,
// at least the same accuracy. `tesseract` runs twice: as installed (OpenMP threads as the machine
// offers) and with OMP_THREAD_LIMIT=1, the way FineCmd.exe runs itself.
//
// Usage: ocr_bench [runs]   (default 3; needs the tesseract command, package tesseract-ocr)

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/dib/dib.h"
#include "platform/files/files.h"
#include "virtualcam/scenes/document_scenes.h"
#include "virtualcam/scenes/word_accuracy.h"

namespace {

using virtualcam::Words;

// Percent of the page's words read.
double Accuracy(const std::vector<std::string>& expected, const std::string& recognised) {
    return 100.0 * virtualcam::WordAccuracy(expected, recognised);
}

struct Result {
    double median_s = 0;
    double accuracy = 0;
};

Result Measure(const std::string& command, const std::string& output, int runs,
               const std::vector<std::string>& expected) {
    std::vector<double> times;
    Result result;
    for (int i = 0; i < runs; ++i) {
        std::remove(output.c_str());
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (status != 0) std::fprintf(stderr, "failed (%d): %s\n", status, command.c_str());
    }
    std::sort(times.begin(), times.end());
    result.median_s = times[times.size() / 2];
    result.accuracy = Accuracy(expected, platform::ReadFile(output).value_or(""));
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string folder = platform::TempFolder() + "vellumo-ocr-bench";
    std::system(("mkdir -p '" + folder + "'").c_str());
    const virtualcam::Scene scene =
        virtualcam::RenderDocumentScene({virtualcam::SceneChoice::Kind::Page, 1}, {2592, 1944});
    auto image = platform::MakeDibImage(2592, 1944, 24);
    const uint32_t stride = *platform::DibRowStride(2592, 24);
    for (int y = 0; y < 1944; ++y)
        std::memcpy(image->pixels.data() + static_cast<size_t>(1943 - y) * stride, scene.picture.ptr(y),
                    3 * 2592);
    image->x_pixels_per_meter = image->y_pixels_per_meter = 8727;  // 221 dpi, as the pipeline writes
    const std::string picture = folder + "/page.bmp";
    if (!platform::WriteFileReplacing(picture, *platform::EncodeBmp(*image))) return 1;
    std::vector<std::string> expected;
    for (const std::string& line : virtualcam::PageText())
        for (const std::string& w : Words(line)) expected.push_back(w);

    const std::string ours_out = folder + "/ours.txt";
    const Result ours = Measure("env -u OMP_THREAD_LIMIT '" + platform::ProgramFolder() + "/FineCmd.exe' '" +
                                    picture + "' /fastmode /lang English /out '" + ours_out + "'",
                                ours_out, runs, expected);
    const Result theirs = Measure("env -u OMP_THREAD_LIMIT tesseract '" + picture + "' '" + folder +
                                      "/theirs' --dpi 221 >/dev/null 2>&1",
                                  folder + "/theirs.txt", runs, expected);
    const Result single = Measure(
        "OMP_THREAD_LIMIT=1 tesseract '" + picture + "' '" + folder + "/single' --dpi 221 >/dev/null 2>&1",
        folder + "/single.txt", runs, expected);
    std::printf("page of %zu words, 2592x1944, median of %d runs\n", expected.size(), runs);
    std::printf("FineCmd.exe                      %6.2f s  accuracy %5.1f %%\n", ours.median_s,
                ours.accuracy);
    std::printf("tesseract                        %6.2f s  accuracy %5.1f %%  ratio ours/theirs %.2fx\n",
                theirs.median_s, theirs.accuracy, ours.median_s / theirs.median_s);
    std::printf("tesseract, OMP_THREAD_LIMIT=1    %6.2f s  accuracy %5.1f %%  ratio ours/theirs %.2fx\n",
                single.median_s, single.accuracy, ours.median_s / single.median_s);
    return 0;
}
