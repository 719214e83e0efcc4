// Pieces the image libraries share: "*" lists, BMP rows in each writer's layout, card file names and
// the card list's UTF-16 text.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>

#include "outside/common/bmp_source.h"
#include "outside/common/bmp_unpack.h"
#include "outside/common/jpeg_encode.h"
#include "outside/common/path_list.h"
#include "outside/fasize/card_files.h"

namespace {

using outside::SplitPathList;

TEST(PathListTest, SplitsStarJoinedPathsAndRefusesEmptyEntries) {
    using Paths = std::vector<std::string>;
    EXPECT_EQ(SplitPathList("a.bmp"), Paths{"a.bmp"});
    EXPECT_EQ(SplitPathList("/t/a b.bmp*/t/c.bmp"), (Paths{"/t/a b.bmp", "/t/c.bmp"}));
    EXPECT_EQ(SplitPathList("a*b*c*"), (Paths{"a", "b", "c"}));
    for (const char* bad : {"", "*", "**", "a**b", "*a", "a*b**"}) EXPECT_FALSE(SplitPathList(bad)) << bad;
}

// A 3 x 2 picture of the given depth whose palette (when any) is given; rows as stored (bottom first).
struct Bmp {
    std::string bytes;
    platform::DibView view;
};
Bmp MakeBmp(uint16_t bits, std::vector<uint32_t> palette, std::vector<uint8_t> pixels) {
    auto image = *platform::MakeDibImage(3, 2, bits);
    image.palette = std::move(palette);
    image.pixels = std::move(pixels);
    Bmp bmp;
    bmp.bytes = *platform::EncodeBmp(image);
    bmp.view =
        *platform::ParseBmp(std::span(reinterpret_cast<const uint8_t*>(bmp.bytes.data()), bmp.bytes.size()));
    return bmp;
}

std::vector<uint8_t> RowBytes(outside::DibRows& rows, int top_row) {
    const uint8_t* row = rows.Row(top_row);
    return {row, row + rows.RowBytes()};
}

TEST(DibRowsTest, ClassifiesPalettesAndDeliversTopDownRows) {
    using outside::DibRows;
    using outside::PixelKind;
    using Bytes = std::vector<uint8_t>;

    // 24 bits: rows come top first, in either channel order.
    Bmp colour =
        MakeBmp(24, {}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 0, 0, 0});
    EXPECT_EQ(outside::ClassifyPixels(colour.view), PixelKind::Colour);
    DibRows bgr(colour.view, PixelKind::Colour, DibRows::ColourOrder::Bgr);
    EXPECT_EQ(RowBytes(bgr, 0), (Bytes{10, 20, 30, 40, 50, 60, 70, 80, 90}));
    DibRows rgb(colour.view, PixelKind::Colour, DibRows::ColourOrder::Rgb);
    EXPECT_EQ(RowBytes(rgb, 1), (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7}));

    // A grey palette that is not the identity (an inverted one) maps through the palette.
    std::vector<uint32_t> inverted(256);
    for (uint32_t i = 0; i < 256; ++i) inverted[i] = (255 - i) * 0x010101u;
    Bmp grey = MakeBmp(8, inverted, {0, 100, 255, 0, 7, 7, 7, 0});
    EXPECT_EQ(outside::ClassifyPixels(grey.view), PixelKind::Grey);
    DibRows grey_rows(grey.view, PixelKind::Grey, DibRows::ColourOrder::Bgr);
    EXPECT_EQ(RowBytes(grey_rows, 1), (Bytes{255, 155, 0}));

    // A palette with a colour expands to colour.
    std::vector<uint32_t> tinted = platform::GreyPalette();
    tinted[7] = 0x00FF0000;
    Bmp tint = MakeBmp(8, tinted, {0, 100, 255, 0, 7, 7, 7, 0});
    EXPECT_EQ(outside::ClassifyPixels(tint.view), PixelKind::Colour);
    DibRows tint_rows(tint.view, PixelKind::Colour, DibRows::ColourOrder::Rgb);
    EXPECT_EQ(RowBytes(tint_rows, 0), (Bytes{255, 0, 0, 255, 0, 0, 255, 0, 0}));

    // Black and white, index 0 white: bits flip so that 1 means white, or black when asked.
    Bmp reversed = MakeBmp(1, {0xFFFFFF, 0x000000}, {0b10100000, 0, 0, 0, 0b01000000, 0, 0, 0});
    EXPECT_EQ(outside::ClassifyPixels(reversed.view), PixelKind::BlackWhite);
    DibRows ones_white(reversed.view, PixelKind::BlackWhite, DibRows::ColourOrder::Bgr);
    EXPECT_EQ(RowBytes(ones_white, 0)[0] & 0xE0, 0b10100000);
    DibRows ones_black(reversed.view, PixelKind::BlackWhite, DibRows::ColourOrder::Bgr, true);
    EXPECT_EQ(RowBytes(ones_black, 0)[0] & 0xE0, 0b01000000);

    // Two grey levels that are not black and white stay grey.
    Bmp two_greys = MakeBmp(1, {0x404040, 0xC0C0C0}, {0b01000000, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(outside::ClassifyPixels(two_greys.view), PixelKind::Grey);
    DibRows two_rows(two_greys.view, PixelKind::Grey, DibRows::ColourOrder::Bgr);
    EXPECT_EQ(RowBytes(two_rows, 1), (Bytes{0x40, 0xC0, 0x40}));
}

TEST(DibRowsTest, ResolutionInDotsPerInch) {
    EXPECT_EQ(outside::DotsPerInch(11811), 300.0);
    EXPECT_EQ(outside::DotsPerInch(3780), 96.0);
    EXPECT_NEAR(outside::DotsPerInch(8727), 2592 / (297 / 25.4), 0.01) << "not rounded to whole dots";
    EXPECT_EQ(outside::DotsPerInch(0), 0.0);
    EXPECT_EQ(outside::DotsPerInch(-5), 0.0);
}

TEST(CardFilesTest, NamesBesideThePicture) {
    EXPECT_EQ(outside::CardFilePath("/tmp/Kvo~Vellumo.bmp", 1), "/tmp/Kvo~Vellumo0001.bmp");
    EXPECT_EQ(outside::CardFilePath("/tmp/a.b/pic", 12), "/tmp/a.b/pic0012");
    EXPECT_EQ(outside::CardListPath("/tmp/Kvo~Vellumo.bmp"), "/tmp/Kvo~Vellumo.txt");
    EXPECT_EQ(outside::CardListPath("/tmp/x.tar.bmp"), "/tmp/x.tar.txt");
    EXPECT_EQ(outside::CardListPath("/tmp/a.b/pic"), "/tmp/a.b/pic.txt");
}

TEST(CardFilesTest, ListIsUtf16WithOneNoLinePerCard) {
    std::vector<outside::CardEntry> cards(2);
    cards[0] = {1,
                "/tmp/caf\xC3\xA9"
                "0001.bmp",
                10,
                20,
                300,
                180,
                -2.5};
    cards[1] = {2, "/tmp/\xF0\x9F\x93\x87.bmp", 400, 20, 310, 170, 0.25};
    std::string bytes = outside::CardListText(cards);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    // Back to narrow text for checking: every ASCII unit has a zero high byte.
    std::u16string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text +=
            static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8);
    EXPECT_EQ(text.find(u"[Cards] Count=2\r\n"), 0u);
    EXPECT_NE(
        text.find(u"No=1 File=/tmp/caf\u00e90001.bmp Left=10 Top=20 Width=300 Height=180 Angle=-2.50\r\n"),
        std::u16string::npos);
    EXPECT_NE(text.find(u"No=2 File=/tmp/\U0001F4C7.bmp"), std::u16string::npos);
    EXPECT_NE(text.find(u"Angle=0.25\r\n"), std::u16string::npos);
    size_t lines_with_no = 0;
    for (size_t at = text.find(u"No="); at != std::u16string::npos; at = text.find(u"No=", at + 1))
        ++lines_with_no;
    EXPECT_EQ(lines_with_no, 2u);

    // Malformed UTF-8 becomes replacement characters rather than being dropped.
    EXPECT_EQ(outside::Utf16LeFromUtf8("a\xC3"), std::string("a\0\xFD\xFF", 4));
    EXPECT_EQ(outside::Utf16LeFromUtf8("\xC0\xAF"), std::string("\xFD\xFF", 2));  // overlong
}

}  // namespace

namespace {

size_t VirtualMemoryBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0) return std::stoul(line.substr(7)) * 1024;
    return 0;
}

}  // namespace

TEST(JpegEncodeTest, RunningOutOfMemoryAtAnyPointFailsWithoutCrashing) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's shadow memory takes terabytes of address space, so it cannot be limited";
#endif
    // Noise compresses badly, so the output buffer has to grow; each child runs out at another point.
    auto image = platform::MakeDibImage(1296, 972, 24);
    ASSERT_TRUE(image);
    std::mt19937 random(7);
    for (uint8_t& byte : image->pixels) byte = static_cast<uint8_t>(random());
    auto file = platform::EncodeBmp(*image);
    ASSERT_TRUE(file);
    auto view = platform::ParseBmp(std::span(reinterpret_cast<const uint8_t*>(file->data()), file->size()));
    ASSERT_TRUE(view);

    int failed = 0, succeeded = 0;
    for (size_t headroom_kb = 256; headroom_kb <= 8192; headroom_kb += 512) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            rlimit limit{};
            limit.rlim_cur = limit.rlim_max = VirtualMemoryBytes() + headroom_kb * 1024;
            ::setrlimit(RLIMIT_AS, &limit);
            int code = 3;
            try {
                code = outside::EncodeJpeg(*view, 95) ? 0 : 1;
            } catch (const std::bad_alloc&) {
                code = 2;  // copying the finished result out may still find no memory
            }
            ::_exit(code);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << "crashed with " << headroom_kb << " KiB to spare (signal "
                                       << (WIFSIGNALED(status) ? WTERMSIG(status) : 0) << ")";
        (WEXITSTATUS(status) == 0 ? succeeded : failed)++;
    }
    EXPECT_GT(failed, 0) << "the limits never bit";
    EXPECT_GT(succeeded, 0) << "the largest limit should be enough";
}

namespace {

// A BMP header with a two-entry palette followed by `data`.
std::vector<uint8_t> SmallBmp(int32_t width, int32_t height, uint32_t compression,
                              const std::vector<uint8_t>& data) {
    constexpr uint32_t kOffset = 54 + 2 * 4;
    std::vector<uint8_t> file(kOffset, 0);
    platform::WriteBmpFileHeader(file.data(), static_cast<uint32_t>(kOffset + data.size()), kOffset);
    platform::WriteDibInfoHeader(file.data() + 14, width, height, 8, static_cast<uint32_t>(data.size()), 0, 0,
                                 2);
    platform::WriteLe32(file.data() + 30, compression);
    file[54 + 4] = file[54 + 5] = file[54 + 6] = 255;  // index 1 white
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

}  // namespace

// Headers asking for pictures their data could never fill are refused before anything is allocated; each
// case runs in a child whose address space holds a few hundred MiB more than it has.
TEST(BmpUnpackTest, HeadersAskingForMoreThanTheDataCanFillAllocateNothing) {
    std::vector<uint8_t> runs;
    for (int i = 0; i < 35; ++i) runs.insert(runs.end(), {255, 1});
    runs.insert(runs.end(), {0, 1});
    const std::vector<uint8_t> rle8 = SmallBmp(45152, 39443, 1, runs);  // 1.8 GB of pixels
    ASSERT_EQ(rle8.size(), 134u);
    const std::vector<uint8_t> top_down = SmallBmp(65535, -65535, 0, std::vector<uint8_t>(64, 1));  // 4 GiB

    // What an encoder writes for a large picture: every row as runs and an end of line.
    constexpr int32_t kSide = 4097;  // just past the size taken whatever the data
    std::vector<uint8_t> rows;
    for (int32_t y = 0; y < kSide; ++y) {
        for (int32_t left = kSide; left > 0; left -= 255)
            rows.insert(rows.end(), {static_cast<uint8_t>(std::min(left, 255)), 1});
        rows.insert(rows.end(), {0, 0});
    }
    rows.insert(rows.end(), {0, 1});
    const std::vector<uint8_t> filled = SmallBmp(kSide, kSide, 1, rows);
    // The same data under a header three times as tall cannot fill it.
    const std::vector<uint8_t> too_tall = SmallBmp(kSide, 3 * kSide, 1, rows);

    struct Case {
        const char* name;
        const std::vector<uint8_t>& file;
        bool read;
    } cases[] = {{"rle8", rle8, false},
                 {"top-down", top_down, false},
                 {"filled", filled, true},
                 {"too tall", too_tall, false}};
    for (const Case& c : cases) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        // The shadow memory cannot be limited; run with ASAN_OPTIONS=allocator_may_return_null=1:
        // max_allocation_size_mb=256 for the allocation to fail here.
        EXPECT_EQ(outside::UnpackBmp(c.file).has_value(), c.read) << c.name;
#else
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            rlimit limit{};
            limit.rlim_cur = limit.rlim_max = VirtualMemoryBytes() + (size_t{256} << 20);
            ::setrlimit(RLIMIT_AS, &limit);
            int code = 2;  // ran out of memory
            try {
                code = outside::UnpackBmp(c.file).has_value() ? 1 : 0;
            } catch (const std::bad_alloc&) {
            }
            ::_exit(code);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status))
            << c.name << " crashed (signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0) << ")";
        ASSERT_NE(WEXITSTATUS(status), 2) << c.name << " ran out of memory";
        EXPECT_EQ(WEXITSTATUS(status) == 1, c.read) << c.name;
#endif
    }
}
