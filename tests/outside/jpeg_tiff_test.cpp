// The JPEG and TIFF writers, bound by name from the program folder as the program binds them, with
// every output decoded by an independent tool.

#include <gtest/gtest.h>

#include <regex>

#include "outside/bmp2tiff/bmp2tiff.h"
#include "outside/jpeglib/bmp2jpeg.h"
#include "platform/library/library.h"
#include "support.h"

using namespace outside_test;

namespace {

class WriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        jpeg_library_ = platform::Library::LoadFrom(VELLUMO_BIN_DIR, "JpegLib.dll");
        tiff_library_ = platform::Library::LoadFrom(VELLUMO_BIN_DIR, "bmp2tiff.dll");
        bmp2jpeg_ = jpeg_library_.Get<Bmp2JpegFn>("BMP2JPEG");
        convert_ = tiff_library_.Get<ConvertMutilFn>("ConvertMutil");
        ASSERT_NE(bmp2jpeg_, nullptr) << jpeg_library_.Error();
        ASSERT_NE(convert_, nullptr) << tiff_library_.Error();
    }

    std::string Picture(const std::string& name, Kind kind, int width, int height, int dpi) {
        std::string path = folder_.Path(name);
        images_[name] = MakePicture(kind, width, height, dpi);
        EXPECT_TRUE(WriteBmp(path, images_[name]));
        return path;
    }

    test_support::ScratchFolder folder_;
    std::map<std::string, platform::DibImage> images_;
    platform::Library jpeg_library_, tiff_library_;
    Bmp2JpegFn bmp2jpeg_ = nullptr;
    ConvertMutilFn convert_ = nullptr;
};

Pnm Decode(const std::string& command) {
    int status = 0;
    std::string output = Shell(command, &status);
    Pnm pnm;
    EXPECT_EQ(status, 0) << command;
    EXPECT_TRUE(ReadPnm(output, &pnm)) << command;
    return pnm;
}

// JFIF APP0 right after SOI: units at byte 13, X and Y density at 14 and 16 (big-endian).
struct Density {
    int unit = -1, x = 0, y = 0;
};
Density JfifDensity(const std::string& jpeg) {
    Density d;
    if (jpeg.size() < 18 || jpeg.compare(6, 5, std::string("JFIF\0", 5)) != 0) return d;
    auto byte = [&](size_t i) { return static_cast<uint8_t>(jpeg[i]); };
    d.unit = byte(13);
    d.x = byte(14) << 8 | byte(15);
    d.y = byte(16) << 8 | byte(17);
    return d;
}

TEST_F(WriterTest, JpegKeepsPicturesOfEveryDepthWithinTheLossyTolerance) {
    struct Case {
        Kind kind;
        int channels;
        double mean_limit;
    };
    for (Case c : {Case{Kind::Colour, 3, 3.0}, Case{Kind::Grey, 1, 2.0}, Case{Kind::BlackWhite, 1, 12.0}}) {
        SCOPED_TRACE(c.channels);
        std::string bmp = Picture("p.bmp", c.kind, 203, 151, 300);
        std::string jpg = folder_.Path("p.jpg");
        ASSERT_EQ(bmp2jpeg_(bmp.c_str(), jpg.c_str()), 1);
        Pnm decoded = Decode("djpeg -pnm " + Quote(jpg));
        EXPECT_EQ(decoded.channels, c.channels);
        Difference d = Compare(decoded, images_["p.bmp"]);
        EXPECT_LT(d.mean, c.mean_limit);
        Density density = JfifDensity(ReadAll(jpg));
        EXPECT_EQ(density.unit, 1);
        EXPECT_EQ(density.x, 300);
        EXPECT_EQ(density.y, 300);
    }
}

TEST_F(WriterTest, JpegWithoutResolutionHasSquarePixelsAndNoUnit) {
    std::string bmp = Picture("n.bmp", Kind::Colour, 64, 48, 0);
    std::string jpg = folder_.Path("n.jpg");
    ASSERT_EQ(bmp2jpeg_(bmp.c_str(), jpg.c_str()), 1);
    Density density = JfifDensity(ReadAll(jpg));
    EXPECT_EQ(density.unit, 0);
    EXPECT_EQ(density.x, 1);
    EXPECT_EQ(density.y, 1);
}

TEST_F(WriterTest, BadSourcesAndTargetsFailWithoutLeavingATarget) {
    std::string good = Picture("good.bmp", Kind::Colour, 40, 30, 300);
    std::string text = folder_.Path("text.bmp");
    WriteText(text, "this is not a picture, only some text that is long enough for the headers");
    std::string truncated = folder_.Path("cut.bmp");
    std::string whole = ReadAll(good);
    WriteText(truncated, whole.substr(0, whole.size() - 100));
    std::string missing = folder_.Path("missing.bmp");
    std::string no_folder = folder_.Path("nowhere/out");

    for (const std::string& source : {missing, text, truncated}) {
        SCOPED_TRACE(source);
        EXPECT_EQ(bmp2jpeg_(source.c_str(), folder_.Path("out.jpg").c_str()), 0);
        EXPECT_EQ(convert_(source.c_str(), folder_.Path("out.tif").c_str(), 1, 80), 0);
        EXPECT_FALSE(Exists(folder_.Path("out.jpg")));
        EXPECT_FALSE(Exists(folder_.Path("out.tif")));
    }
    EXPECT_EQ(bmp2jpeg_(good.c_str(), (no_folder + ".jpg").c_str()), 0);
    EXPECT_EQ(convert_(good.c_str(), (no_folder + ".tif").c_str(), 1, 80), 0);
    EXPECT_EQ(bmp2jpeg_(nullptr, folder_.Path("x.jpg").c_str()), 0);
    EXPECT_EQ(convert_(good.c_str(), nullptr, 1, 80), 0);

    // A failed conversion keeps what was there before, and leaves no temporary files behind.
    std::string kept = folder_.Path("kept.jpg");
    WriteText(kept, "old");
    EXPECT_EQ(bmp2jpeg_(truncated.c_str(), kept.c_str()), 0);
    EXPECT_EQ(ReadAll(kept), "old");
    EXPECT_EQ(Shell("ls " + Quote(folder_.Root()) + " | wc -l"), "4\n");
}

struct TiffPage {
    int width = 0, height = 0;
    std::string compression, photometric, resolution;
};

std::vector<TiffPage> TiffPages(const std::string& path) {
    std::string info = Shell("tiffinfo " + Quote(path) + " 2>/dev/null");
    std::vector<TiffPage> pages;
    std::smatch m;
    std::istringstream lines(info);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.find("TIFF Directory") != std::string::npos) pages.emplace_back();
        if (pages.empty()) continue;
        if (std::regex_search(line, m, std::regex("Image Width: (\\d+) Image Length: (\\d+)"))) {
            pages.back().width = std::stoi(m[1]);
            pages.back().height = std::stoi(m[2]);
        }
        if (std::regex_search(line, m, std::regex("Compression Scheme: (.*)")))
            pages.back().compression = m[1];
        if (std::regex_search(line, m, std::regex("Photometric Interpretation: (.*)")))
            pages.back().photometric = m[1];
        if (std::regex_search(line, m, std::regex("Resolution: (.*)"))) pages.back().resolution = m[1];
    }
    return pages;
}

TEST_F(WriterTest, TiffStoresOnePictureLosslessly) {
    std::string bmp = Picture("one.bmp", Kind::Colour, 211, 97, 300);
    std::string tif = folder_.Path("one.tif");
    ASSERT_EQ(convert_(bmp.c_str(), tif.c_str(), 1, 80), 1);
    auto pages = TiffPages(tif);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].width, 211);
    EXPECT_EQ(pages[0].height, 97);
    EXPECT_EQ(pages[0].compression, "LZW");
    EXPECT_EQ(pages[0].resolution, "300, 300 pixels/inch");
    Difference d = Compare(Decode("convert " + Quote(tif) + " -depth 8 ppm:-"), images_["one.bmp"]);
    EXPECT_EQ(d.largest, 0);
}

TEST_F(WriterTest, TiffWritesOnePagePerListedPictureInOrder) {
    std::string list = Picture("c.bmp", Kind::Colour, 120, 80, 200) + "*" +
                       Picture("g.bmp", Kind::Grey, 90, 130, 300) + "*" +
                       Picture("b.bmp", Kind::BlackWhite, 203, 77, 0);
    std::string tif = folder_.Path("pages.tif");
    ASSERT_EQ(convert_(list.c_str(), tif.c_str(), 2, 80), 1);
    auto pages = TiffPages(tif);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].width, 120);
    EXPECT_EQ(pages[0].photometric, "RGB color");
    EXPECT_EQ(pages[0].resolution, "200, 200 pixels/inch");
    EXPECT_EQ(pages[1].height, 130);
    EXPECT_EQ(pages[1].photometric, "min-is-black");
    EXPECT_EQ(pages[1].compression, "LZW");
    EXPECT_EQ(pages[2].width, 203);
    EXPECT_EQ(pages[2].compression, "CCITT Group 4");
    EXPECT_EQ(pages[2].photometric, "min-is-white");
    EXPECT_EQ(pages[2].resolution, "");

    // tiffsplit cuts the file into its pages; each decodes back to its source exactly.
    int status = 0;
    Shell("cd " + Quote(folder_.Root()) + " && tiffsplit pages.tif part_", &status);
    ASSERT_EQ(status, 0);
    const char* names[] = {"c.bmp", "g.bmp", "b.bmp"};
    const char* parts[] = {"part_aaa.tif", "part_aab.tif", "part_aac.tif"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        Difference d = Compare(Decode("convert " + Quote(folder_.Path(parts[i])) + " -depth 8 ppm:-"),
                               images_[names[i]]);
        EXPECT_EQ(d.largest, 0);
    }
}

TEST_F(WriterTest, TiffRefusesBadListsAndModes) {
    std::string a = Picture("a.bmp", Kind::Grey, 30, 20, 0);
    std::string tif = folder_.Path("bad.tif");
    for (const std::string& list :
         {std::string(), std::string("*"), a + "**" + a, "*" + a, a + "*" + folder_.Path("gone.bmp")}) {
        SCOPED_TRACE(list);
        EXPECT_EQ(convert_(list.c_str(), tif.c_str(), 2, 80), 0);
        EXPECT_FALSE(Exists(tif));
    }
    EXPECT_EQ(convert_(a.c_str(), tif.c_str(), 3, 80), 0);
    EXPECT_EQ(convert_(a.c_str(), tif.c_str(), 0, 80), 0);
    EXPECT_FALSE(Exists(tif));
    // A trailing "*" is tolerated: the list still names one page.
    ASSERT_EQ(convert_((a + "*").c_str(), tif.c_str(), 2, 80), 1);
    EXPECT_EQ(TiffPages(tif).size(), 1u);
}

}  // namespace
