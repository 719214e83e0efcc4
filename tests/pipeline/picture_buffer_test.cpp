#include "pipeline/bmp/picture_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/scratch_folder.h"

namespace pipeline {
namespace {

TEST(PictureBuffer, LargeAndSmallBuffersStartZeroedAndMoveTheirMemory) {
    for (size_t size : {size_t{1}, size_t{4097}, size_t{5} << 20}) {
        auto buffer = PictureBuffer::Allocate(size);
        ASSERT_TRUE(buffer);
        ASSERT_EQ(buffer->size(), size);
        EXPECT_TRUE(std::all_of(buffer->data(), buffer->data() + size, [](uint8_t b) { return b == 0; }));
        buffer->data()[size - 1] = 42;
        PictureBuffer moved = std::move(*buffer);
        EXPECT_EQ(buffer->data(), nullptr);
        EXPECT_EQ(moved.data()[size - 1], 42);
        moved = PictureBuffer();
        EXPECT_EQ(moved.size(), 0u);
    }
}

TEST(PictureBuffer, ReadsWholeFilesOnly) {
    test_support::ScratchFolder folder;
    std::string contents(3 << 20, '\0');
    for (size_t i = 0; i < contents.size(); ++i) contents[i] = static_cast<char>(i * 31 + (i >> 12));
    folder.Write("big", contents);
    auto read = PictureBuffer::ReadFile(folder.Path("big"));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), contents.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(read->data()), read->size()), contents);

    EXPECT_FALSE(PictureBuffer::ReadFile(folder.Path("missing")));
    EXPECT_FALSE(PictureBuffer::ReadFile(folder.Path("")));  // a folder is not a picture
}

}  // namespace
}  // namespace pipeline
