// Times each BMP operation on a full 2592 x 1944 24-bit capture and, in the same run, ImageMagick's
// convert doing the same job on the same file, and prints the ratio. Both sides are timed from file
// to file. Usage: bench_bmp_ops [repetitions]   (the best of the repetitions counts; default 3)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "pipeline/bmp/bmp_ops.h"
#include "platform/dib/dib.h"
#include "platform/files/files.h"
#include "platform/process/process.h"

namespace {

constexpr int kWidth = 2592;
constexpr int kHeight = 1944;

// A page-like picture: light paper with dark strokes and some colour, so that every branch runs.
std::string MakeCapture() {
    auto image = platform::MakeDibImage(kWidth, kHeight, 24);
    uint32_t stride = *platform::DibRowStride(kWidth, 24);
    uint32_t seed = 12345;
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = image->pixels.data() + static_cast<size_t>(y) * stride;
        for (int x = 0; x < kWidth; ++x) {
            seed = seed * 1664525u + 1013904223u;
            bool ink = ((x / 7 + y / 11) % 9 == 0) || (seed >> 29) == 0;
            uint8_t base = ink ? 30 : 225;
            row[3 * x] = static_cast<uint8_t>(base + (seed >> 27));
            row[3 * x + 1] = static_cast<uint8_t>(base + ((seed >> 22) & 15));
            row[3 * x + 2] = static_cast<uint8_t>(base - ((seed >> 18) & 15) + (x * 16 / kWidth));
        }
    }
    return *platform::EncodeBmp(*image);
}

double Seconds(const std::function<bool()>& job, bool* ok) {
    auto start = std::chrono::steady_clock::now();
    *ok = job() && *ok;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::string folder = platform::TempFolder();
    std::string source = folder + "vellumo-bench-source.bmp";
    std::string work = folder + "vellumo-bench-work.bmp";
    std::string theirs = folder + "vellumo-bench-convert.bmp";
    std::string capture = MakeCapture();
    if (!platform::WriteFileReplacing(source, capture)) {
        std::fprintf(stderr, "cannot write %s\n", source.c_str());
        return 1;
    }

    struct Job {
        const char* name;
        std::function<int(const std::string&)> ours;
        std::vector<std::string> convert_args;
    };
    const Job jobs[] = {
        {"RotateBmpQuarter",
         [](const std::string& p) { return pipeline::RotateBmpQuarter(p, 0); },
         {"-rotate", "90"}},
        {"RotateBmpHalf",
         [](const std::string& p) { return pipeline::RotateBmpHalf(p); },
         {"-rotate", "180"}},
        {"ConvertBmpToGray",
         [](const std::string& p) { return pipeline::ConvertBmpToGray(p); },
         {"-colorspace", "Gray"}},
        {"ConvertBmpToBlackWhite",
         [](const std::string& p) { return pipeline::ConvertBmpToBlackWhite(p, 128); },
         {"-threshold", "50%"}},
    };

    std::printf("%dx%d 24-bit, best of %d\n", kWidth, kHeight, repetitions);
    std::printf("%-24s %10s %10s %8s\n", "operation", "ours ms", "convert ms", "ratio");
    bool all_ok = true;
    bool all_fast = true;
    for (const Job& job : jobs) {
        double ours = 1e9, convert = 1e9;
        bool ok = true;
        for (int i = 0; i < repetitions; ++i) {
            platform::WriteFileReplacing(work, capture);
            ours = std::min(ours, Seconds([&] { return job.ours(work) == 1; }, &ok));
            std::vector<std::string> argv_convert = {"convert", source};
            argv_convert.insert(argv_convert.end(), job.convert_args.begin(), job.convert_args.end());
            argv_convert.push_back("BMP3:" + theirs);
            convert =
                std::min(convert, Seconds([&] { return platform::RunAndWait(argv_convert) == 0; }, &ok));
        }
        double ratio = convert / ours;
        std::printf("%-24s %10.1f %10.1f %7.1fx%s\n", job.name, ours * 1000, convert * 1000, ratio,
                    ok ? (ratio >= 5 ? "" : "  below the 5x target") : "  FAILED");
        all_ok = all_ok && ok;
        all_fast = all_fast && ratio >= 5;
    }
    platform::DeleteFile(source);
    platform::DeleteFile(work);
    platform::DeleteFile(theirs);
    return all_ok ? (all_fast ? 0 : 2) : 1;
}
