// The BMP reader refuses every header that would make a read leave the data, and the writer's files
// decode with an independent reader.
#include "platform/dib/dib.h"

#include <gtest/gtest.h>

#include <QImage>

using namespace platform;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<uint8_t> SmallPicture(int width, int height, uint16_t bits) {
    auto image = MakeDibImage(width, height, bits);
    for (size_t i = 0; i < image->pixels.size(); ++i) image->pixels[i] = static_cast<uint8_t>(i * 7);
    return Bytes(*EncodeBmp(*image));
}

DibError Error(const std::vector<uint8_t>& file) {
    DibError error = DibError::None;
    EXPECT_FALSE(ParseBmp(file, &error));
    return error;
}

}  // namespace

TEST(Dib, RowStrideFollowsTheFourByteRule) {
    EXPECT_EQ(DibRowStride(3, 24).value(), 12u);
    EXPECT_EQ(DibRowStride(4, 24).value(), 12u);
    EXPECT_EQ(DibRowStride(5, 8).value(), 8u);
    EXPECT_EQ(DibRowStride(10, 1).value(), 4u);
    EXPECT_EQ(DibRowStride(33, 1).value(), 8u);
    EXPECT_FALSE(DibRowStride(0, 24));
    EXPECT_FALSE(DibRowStride(int64_t{1} << 40, 24));
}

TEST(Dib, EncodedPicturesParseBackWithTheirFields) {
    auto file = SmallPicture(5, 3, 8);
    auto view = ParseBmp(file);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->width, 5);
    EXPECT_EQ(view->height, 3);
    EXPECT_EQ(view->bits_per_pixel, 8);
    EXPECT_EQ(view->palette_count, 256u);
    EXPECT_EQ(view->stride, 8u);
    EXPECT_EQ(view->pixel_offset, 14u + 40u + 1024u);
    EXPECT_EQ(view->Row(1)[0], static_cast<uint8_t>(8 * 7));
}

TEST(Dib, MalformedHeadersAreRefusedWithTheirReason) {
    auto good = SmallPicture(4, 4, 24);
    auto patch32 = [&](size_t at, uint32_t value) {
        auto copy = good;
        WriteLe32(copy.data() + at, value);
        return copy;
    };
    auto patch16 = [&](size_t at, uint16_t value) {
        auto copy = good;
        WriteLe16(copy.data() + at, value);
        return copy;
    };
    EXPECT_EQ(Error(std::vector<uint8_t>(good.begin(), good.begin() + 30)), DibError::TooSmall);
    EXPECT_EQ(Error(patch16(0, 0x4D43)), DibError::NotBmp);
    EXPECT_EQ(Error(patch32(2, static_cast<uint32_t>(good.size() + 1))), DibError::SizeMismatch);
    auto truncated = std::vector<uint8_t>(good.begin(), good.end() - 1);
    EXPECT_EQ(Error(truncated), DibError::SizeMismatch);
    EXPECT_EQ(Error(patch32(14, 12)), DibError::BadInfoHeader);
    EXPECT_EQ(Error(patch32(14, 0x7FFFFFFF)), DibError::BadInfoHeader);
    EXPECT_EQ(Error(patch32(18, 0)), DibError::BadDimensions);
    EXPECT_EQ(Error(patch32(22, static_cast<uint32_t>(-4))), DibError::BadDimensions);
    EXPECT_EQ(Error(patch32(18, 0x7FFFFFFF)), DibError::BadDimensions) << "row length overflows";
    EXPECT_EQ(Error(patch32(18, 100000)), DibError::BadOffset) << "rows beyond the data";
    EXPECT_EQ(Error(patch32(22, 0x40000000)), DibError::BadOffset)
        << "row count times length beyond the data";
    EXPECT_EQ(Error(patch16(28, 16)), DibError::UnsupportedDepth);
    EXPECT_EQ(Error(patch32(30, 1)), DibError::UnsupportedDepth) << "compressed";
    EXPECT_EQ(Error(patch32(10, 20)), DibError::BadOffset) << "rows inside the headers";
    EXPECT_EQ(Error(patch32(10, static_cast<uint32_t>(good.size()))), DibError::BadOffset);

    auto grey = SmallPicture(4, 4, 8);
    WriteLe32(grey.data() + 14 + 32, 300);
    EXPECT_EQ(Error(grey), DibError::BadPalette);
}

TEST(Dib, WrittenFilesDecodeWithAnIndependentReader) {
    auto image = MakeDibImage(3, 2, 24);
    // Bottom row: blue, green, red; top row: white, black, grey.
    const uint8_t bottom[9] = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    const uint8_t top[9] = {255, 255, 255, 0, 0, 0, 128, 128, 128};
    std::copy(bottom, bottom + 9, image->pixels.begin());
    std::copy(top, top + 9, image->pixels.begin() + 12);
    image->x_pixels_per_meter = image->y_pixels_per_meter = 11811;  // 300 dpi
    auto file = *EncodeBmp(*image);
    QImage decoded;
    ASSERT_TRUE(decoded.loadFromData(reinterpret_cast<const uchar*>(file.data()), int(file.size()), "BMP"));
    EXPECT_EQ(decoded.width(), 3);
    EXPECT_EQ(decoded.height(), 2);
    EXPECT_EQ(decoded.pixel(0, 1), qRgb(0, 0, 255));
    EXPECT_EQ(decoded.pixel(2, 1), qRgb(255, 0, 0));
    EXPECT_EQ(decoded.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(decoded.pixel(2, 0), qRgb(128, 128, 128));
    EXPECT_EQ(decoded.dotsPerMeterX(), 11811);

    auto bw = MakeDibImage(10, 1, 1);
    bw->pixels[0] = 0x80;  // leftmost pixel white
    auto bw_file = *EncodeBmp(*bw);
    ASSERT_TRUE(
        decoded.loadFromData(reinterpret_cast<const uchar*>(bw_file.data()), int(bw_file.size()), "BMP"));
    EXPECT_EQ(decoded.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(decoded.pixel(1, 0), qRgb(0, 0, 0));
}
