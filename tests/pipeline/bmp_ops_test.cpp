#include "pipeline/bmp/bmp_ops.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <QTransform>

#include "bmp_files.h"
#include "pipeline/bmp/bmp_transform.h"
#include "platform/dib/dib.h"
#include "tests/support/scratch_folder.h"

namespace pipeline {
namespace {

using namespace pipeline_test;
using platform::ReadLe16;
using platform::ReadLe32;

// Every output is also decoded by Qt's own BMP reader, so that a misreading of the format shared by
// our writer and our parser cannot pass unnoticed.
QImage Decode(const std::string& path) {
    QImage image;
    EXPECT_TRUE(image.load(QString::fromStdString(path), "BMP")) << path;
    return image;
}

void ExpectSamePixels(const QImage& expected, const QImage& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            ASSERT_EQ(expected.pixel(x, y), actual.pixel(x, y)) << "at " << x << "," << y;
}

struct Header {
    uint32_t file_size, offset, info_size, image_size, palette_count;
    int32_t width, height, x_ppm, y_ppm;
    uint16_t bits;
};

Header ReadHeader(const std::string& bytes) {
    auto p = reinterpret_cast<const uint8_t*>(bytes.data());
    return {ReadLe32(p + 2),
            ReadLe32(p + 10),
            ReadLe32(p + 14),
            ReadLe32(p + 34),
            ReadLe32(p + 46),
            static_cast<int32_t>(ReadLe32(p + 18)),
            static_cast<int32_t>(ReadLe32(p + 22)),
            static_cast<int32_t>(ReadLe32(p + 38)),
            static_cast<int32_t>(ReadLe32(p + 42)),
            ReadLe16(p + 28)};
}

class BmpOpsTest : public ::testing::Test {
  protected:
    std::string Put(const std::string& name, const std::string& bytes) { return folder_.Write(name, bytes); }
    test_support::ScratchFolder folder_;
};

TEST_F(BmpOpsTest, QuarterTurnsMatchAnIndependentRotationAndUndoEachOther) {
    for (auto [w, h] : {std::pair{3, 2}, {5, 7}, {1, 1}, {33, 65}}) {
        const std::string original = Bmp24(w, h, Distinct);
        const std::string path = Put("turn.bmp", original);
        const QImage before = Decode(path);

        ASSERT_EQ(RotateBmpQuarter(path, 0), 1);
        const std::string turned = test_support::ReadAll(path);
        Header header = ReadHeader(turned);
        EXPECT_EQ(header.width, h);
        EXPECT_EQ(header.height, w);
        EXPECT_EQ(header.file_size, turned.size());
        EXPECT_EQ(header.image_size, *platform::DibRowStride(h, 24) * w);
        EXPECT_EQ(header.x_ppm, 8727);
        EXPECT_EQ(header.y_ppm, 8728);
        ExpectSamePixels(before.transformed(QTransform().rotate(90)), Decode(path));

        ASSERT_EQ(RotateBmpQuarter(path, 1), 1);
        EXPECT_EQ(test_support::ReadAll(path), original) << w << "x" << h;
    }

    // The 3 x 2 case by hand: the old bottom-left pixel is shown top-left after a clockwise turn.
    const std::string path = Put("small.bmp", Bmp24(3, 2, Distinct));
    ASSERT_EQ(RotateBmpQuarter(path, 0), 1);
    QImage turned = Decode(path);
    EXPECT_EQ(turned.size(), QSize(2, 3));
    Rgb bottom_left = Distinct(0, 1);
    EXPECT_EQ(turned.pixel(0, 0), qRgb(bottom_left.red, bottom_left.green, bottom_left.blue));
    EXPECT_EQ(RotateBmpQuarter(path, 2), 0);
}

TEST_F(BmpOpsTest, QuarterTurnsOfPalettePictures) {
    // An 8-bit picture whose header leaves the palette count at 0 (meaning all 256 entries).
    auto grey = platform::MakeDibImage(5, 3, 8);
    for (size_t i = 0; i < grey->pixels.size(); ++i) grey->pixels[i] = static_cast<uint8_t>(i * 13);
    std::string bytes = *platform::EncodeBmp(*grey);
    platform::WriteLe32(reinterpret_cast<uint8_t*>(bytes.data()) + 46, 0);
    std::string path = Put("grey.bmp", bytes);
    QImage before = Decode(path);
    ASSERT_EQ(RotateBmpQuarter(path, 1), 1);
    Header header = ReadHeader(test_support::ReadAll(path));
    EXPECT_EQ(header.bits, 8);
    EXPECT_EQ(header.palette_count, 256u);
    EXPECT_EQ(header.offset, 54u + 1024u);
    ExpectSamePixels(before.transformed(QTransform().rotate(-90)), Decode(path));

    // 1-bit pictures are turned bit by bit; 10 x 3 has a partly used last byte in every row.
    auto mono = platform::MakeDibImage(10, 3, 1);
    for (size_t i = 0; i < mono->pixels.size(); ++i) mono->pixels[i] = static_cast<uint8_t>(0x5A ^ (i * 37));
    for (int y = 0; y < 3; ++y) {  // keep the row ends clean
        mono->pixels[y * 4 + 1] &= 0xC0;
        mono->pixels[y * 4 + 2] = mono->pixels[y * 4 + 3] = 0;
    }
    path = Put("mono.bmp", *platform::EncodeBmp(*mono));
    before = Decode(path);
    ASSERT_EQ(RotateBmpQuarter(path, 0), 1);
    ExpectSamePixels(before.transformed(QTransform().rotate(90)), Decode(path));
    ASSERT_EQ(RotateBmpQuarter(path, 1), 1);
    EXPECT_EQ(test_support::ReadAll(path), *platform::EncodeBmp(*mono));
}

TEST_F(BmpOpsTest, HalfTurnMirrorsTheMiddleRowOfAnOddHeight) {
    for (auto [w, h] : {std::pair{3, 3}, {4, 2}, {5, 1}}) {
        const std::string original = Bmp24(w, h, Distinct);
        const std::string path = Put("half.bmp", original);
        const QImage before = Decode(path);
        ASSERT_EQ(RotateBmpHalf(path), 1);
        ExpectSamePixels(before.transformed(QTransform().rotate(180)), Decode(path));
        ASSERT_EQ(RotateBmpHalf(path), 1);
        EXPECT_EQ(test_support::ReadAll(path), original);
    }

    // Only 24-bit pictures are turned by half; others are refused and left alone.
    auto grey = platform::MakeDibImage(4, 4, 8);
    const std::string bytes = *platform::EncodeBmp(*grey);
    const std::string path = Put("grey.bmp", bytes);
    EXPECT_EQ(RotateBmpHalf(path), 0);
    EXPECT_EQ(test_support::ReadAll(path), bytes);
}

TEST_F(BmpOpsTest, HalfTurnOfAFileWithALargerHeaderAndAGapBeforeTheRows) {
    // A 124-byte information header, then 6 unused bytes before the rows.
    const std::string plain = Bmp24(3, 3, Distinct);
    std::string bytes =
        plain.substr(0, 54) + std::string(84, '\0') + std::string(6, '\x77') + plain.substr(54);
    auto* p = reinterpret_cast<uint8_t*>(bytes.data());
    platform::WriteLe32(p + 2, static_cast<uint32_t>(bytes.size()));
    platform::WriteLe32(p + 10, 14 + 124 + 6);
    platform::WriteLe32(p + 14, 124);
    const std::string path = Put("v5.bmp", bytes);
    const QImage before = Decode(path);
    ASSERT_EQ(RotateBmpHalf(path), 1);
    Header header = ReadHeader(test_support::ReadAll(path));
    EXPECT_EQ(header.offset, 14u + 124u);
    EXPECT_EQ(header.file_size, test_support::ReadAll(path).size());
    ExpectSamePixels(before.transformed(QTransform().rotate(180)), Decode(path));
}

TEST_F(BmpOpsTest, HalfTurnKeepsTheOptionalColourTableOfATrueColourPictureOnlyWhereItExists) {
    // The count claims 16 entries but the rows follow the header at once: none are there.
    std::string claims = Bmp24(3, 2, Distinct);
    platform::WriteLe32(reinterpret_cast<uint8_t*>(claims.data()) + 46, 16);
    std::string path = Put("claims.bmp", claims);
    const QImage before = Decode(path);
    ASSERT_EQ(RotateBmpHalf(path), 1);
    Header header = ReadHeader(test_support::ReadAll(path));
    EXPECT_EQ(header.palette_count, 0u);
    EXPECT_EQ(header.offset, 54u);
    ExpectSamePixels(before.transformed(QTransform().rotate(180)), Decode(path));

    // Two entries that are there stay, with their count.
    const std::string plain = Bmp24(3, 2, Distinct);
    std::string with_table =
        plain.substr(0, 54) + std::string("\x01\x02\x03\x00\x04\x05\x06\x00", 8) + plain.substr(54);
    auto* p = reinterpret_cast<uint8_t*>(with_table.data());
    platform::WriteLe32(p + 2, static_cast<uint32_t>(with_table.size()));
    platform::WriteLe32(p + 10, 62);
    platform::WriteLe32(p + 46, 2);
    path = Put("table.bmp", with_table);
    ASSERT_EQ(RotateBmpHalf(path), 1);
    const std::string turned = test_support::ReadAll(path);
    header = ReadHeader(turned);
    EXPECT_EQ(header.palette_count, 2u);
    EXPECT_EQ(header.offset, 62u);
    EXPECT_EQ(turned.substr(54, 8), with_table.substr(54, 8));
}

TEST_F(BmpOpsTest, GreyConversionWeightsAndLayout) {
    auto colour = [](int x, int) -> Rgb {
        switch (x) {
            case 0:
                return {255, 0, 0};
            case 1:
                return {0, 0, 255};
            case 2:
                return {0, 255, 0};
            case 3:
                return {255, 255, 255};
            default:
                return {128, 128, 128};  // 127.99...: truncated, not rounded
        }
    };
    const std::string path = Put("grey.bmp", Bmp24(5, 2, colour));
    ASSERT_EQ(ConvertBmpToGray(path), 1);
    const std::string bytes = test_support::ReadAll(path);
    Header header = ReadHeader(bytes);
    EXPECT_EQ(header.bits, 8);
    EXPECT_EQ(header.info_size, 40u);
    EXPECT_EQ(header.palette_count, 256u);
    EXPECT_EQ(header.offset, 54u + 1024u);
    EXPECT_EQ(header.image_size, 2u * 8u);
    EXPECT_EQ(header.file_size, 54u + 1024u + 16u);
    EXPECT_EQ(header.file_size, bytes.size());
    EXPECT_EQ(header.x_ppm, 8727);
    for (int i = 0; i < 256; ++i) {
        const char expected[4] = {char(i), char(i), char(i), 0};
        ASSERT_EQ(bytes.compare(54 + 4 * i, 4, expected, 4), 0) << "palette entry " << i;
    }

    QImage decoded = Decode(path);
    ASSERT_EQ(decoded.format(), QImage::Format_Indexed8);
    const int expected[] = {76, 28, 150, 255, 127};
    for (int x = 0; x < 5; ++x)
        for (int y = 0; y < 2; ++y) EXPECT_EQ(decoded.pixelIndex(x, y), expected[x]) << x;

    // An 8-bit picture is not converted again.
    EXPECT_EQ(ConvertBmpToGray(path), 0);
    EXPECT_EQ(test_support::ReadAll(path), bytes);
}

TEST_F(BmpOpsTest, BlackWhiteThresholdAndRowBits) {
    // Green 216 gives grey 127, green 217 gives 128.
    auto colour = [](int x, int y) -> Rgb {
        if (y == 0) return {0, static_cast<uint8_t>(x % 2 == 0 ? 217 : 216), 0};
        return {255, 255, 255};
    };
    const std::string path = Put("bw.bmp", Bmp24(10, 2, colour));
    ASSERT_EQ(ConvertBmpToBlackWhite(path, 128), 1);
    const std::string bytes = test_support::ReadAll(path);
    Header header = ReadHeader(bytes);
    EXPECT_EQ(header.bits, 1);
    EXPECT_EQ(header.palette_count, 2u);
    EXPECT_EQ(header.offset, 62u);
    EXPECT_EQ(header.image_size, 8u);
    EXPECT_EQ(header.file_size, 70u);
    EXPECT_EQ(bytes.substr(54, 8), std::string("\0\0\0\0\xFF\xFF\xFF\0", 8));
    // Stored bottom-up: the all-white row first, then the alternating row. The second byte holds
    // two meaningful bits; the bits beyond the width and the padding stay 0.
    EXPECT_EQ(bytes.substr(62, 4), std::string("\xFF\xC0\0\0", 4));
    EXPECT_EQ(bytes.substr(66, 4), std::string("\xAA\x80\0\0", 4));

    QImage decoded = Decode(path);
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(decoded.pixel(x, 0), x % 2 == 0 ? qRgb(255, 255, 255) : qRgb(0, 0, 0)) << x;
        EXPECT_EQ(decoded.pixel(x, 1), qRgb(255, 255, 255));
    }

    const std::string again = Put("bw0.bmp", Bmp24(10, 2, colour));
    ASSERT_EQ(ConvertBmpToBlackWhite(again, 0), 1);
    EXPECT_EQ(test_support::ReadAll(again).substr(66, 4), std::string("\xFF\xC0\0\0", 4));
    const std::string never = Put("bw300.bmp", Bmp24(10, 2, colour));
    ASSERT_EQ(ConvertBmpToBlackWhite(never, 300), 1);
    EXPECT_EQ(test_support::ReadAll(never).substr(62, 8), std::string(8, '\0'));
}

TEST(GreyLevel, EveryColourGetsTheTruncatedWeightedSum) {
    for (int red = 0; red < 256; ++red)
        for (int green = 0; green < 256; ++green)
            for (int blue = 0; blue < 256; ++blue) {
                const auto expected = static_cast<int>(0.3 * red + 0.59 * green + 0.11 * blue);
                ASSERT_EQ(GreyLevel(uint8_t(blue), uint8_t(green), uint8_t(red)), expected)
                    << red << "," << green << "," << blue;
            }
}

// Each damaged file is refused by every operation and stays byte for byte as it was.
TEST_F(BmpOpsTest, MalformedFilesAreLeftUntouched) {
    const std::string good = Bmp24(6, 4, Distinct);
    auto with = [&good](size_t at, uint32_t value) {
        std::string bytes = good;
        platform::WriteLe32(reinterpret_cast<uint8_t*>(bytes.data()) + at, value);
        return bytes;
    };
    auto with16 = [&good](size_t at, uint16_t value) {
        std::string bytes = good;
        platform::WriteLe16(reinterpret_cast<uint8_t*>(bytes.data()) + at, value);
        return bytes;
    };
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"not BM", "XY" + good.substr(2)},
        {"size field", with(2, static_cast<uint32_t>(good.size() + 1))},
        {"truncated", good.substr(0, good.size() - 5)},
        {"width 0", with(18, 0)},
        {"negative height", with(22, static_cast<uint32_t>(-4))},
        {"16 bits", with16(28, 16)},
        {"compressed", with(30, 1)},
        {"offset beyond file", with(10, static_cast<uint32_t>(good.size() + 100))},
        {"rows past the end", with(22, 5)},
        {"row arithmetic overflow", with(18, 0x7FFFFFFF)},
        {"short info header", with(14, 12)},
    };
    for (const auto& [what, bytes] : cases) {
        const std::string path = Put("bad.bmp", bytes);
        EXPECT_EQ(RotateBmpQuarter(path, 0), 0) << what;
        EXPECT_EQ(RotateBmpQuarter(path, 1), 0) << what;
        EXPECT_EQ(RotateBmpHalf(path), 0) << what;
        EXPECT_EQ(ConvertBmpToGray(path), 0) << what;
        EXPECT_EQ(ConvertBmpToBlackWhite(path, 128), 0) << what;
        EXPECT_EQ(test_support::ReadAll(path), bytes) << what;
    }
    EXPECT_EQ(RotateBmpHalf(folder_.Path("missing.bmp")), 0);
    EXPECT_FALSE(std::filesystem::exists(folder_.Path("missing.bmp")));

    // A file that cannot be replaced stays as it was too.
    const std::string locked = Put("locked.bmp", good);
    ::chmod(locked.c_str(), 0444);
    if (::access(locked.c_str(), W_OK) != 0) {  // root may write anyway
        EXPECT_EQ(ConvertBmpToGray(locked), 0);
        EXPECT_EQ(test_support::ReadAll(locked), good);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Path("")), {}), 2)
        << "no temporary file left behind";
}

TEST_F(BmpOpsTest, WriteDibFileComputesTheFileHeaderAndRefusesShortBlocks) {
    const std::string file = Bmp24(3, 2, Distinct);
    const auto* p = reinterpret_cast<const uint8_t*>(file.data());
    std::span<const uint8_t> block(p + 14, file.size() - 14);

    const std::string path = folder_.Path("written.bmp");
    ASSERT_EQ(WriteDibFile(path, block, false), 1);
    EXPECT_EQ(test_support::ReadAll(path), file);
    ASSERT_EQ(WriteDibFile(path, std::span<const uint8_t>(p, file.size()), true), 1);
    EXPECT_EQ(test_support::ReadAll(path), file);

    EXPECT_EQ(WriteDibFile(path, block.first(block.size() - 1), false), 0);
    EXPECT_EQ(WriteDibFile(path, block.first(20), false), 0);
    EXPECT_EQ(test_support::ReadAll(path), file);
    EXPECT_EQ(WriteDibFile(folder_.Path("no/such/folder.bmp"), block, false), 0);
}

}  // namespace
}  // namespace pipeline
