#include "pipeline/pagelist/page_file_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "tests/support/scratch_folder.h"

namespace pipeline {
namespace {

using test_support::ScratchFolder;

TEST(PageFileList, PacksPathsZeroTerminatedAndDeletesTheirFiles) {
    ScratchFolder folder;
    PageFileList list;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.PageFileListLength(), 0u);
    EXPECT_EQ(list.Block(), nullptr);
    list.DeletePageFiles();  // nothing to do

    const std::string a = folder.Path("page1.bmp");
    const std::string b = folder.Path("a longer page name.bmp");
    folder.Touch("page1.bmp");
    folder.Touch("a longer page name.bmp");
    folder.Touch("kept.bmp");
    list.AddPageFile(a);
    list.AddPageFile(b);
    list.AddPageFile(folder.Path("already gone.bmp"));

    EXPECT_EQ(list.Count(), 3);
    const size_t expected_length = a.size() + 1 + b.size() + 1 + folder.Path("already gone.bmp").size() + 1;
    ASSERT_EQ(list.PageFileListLength(), expected_length);
    const char* block = list.Block();
    EXPECT_STREQ(block, a.c_str());
    EXPECT_STREQ(block + a.size() + 1, b.c_str());
    EXPECT_EQ(block[expected_length - 1], '\0');
    ASSERT_EQ(list.Paths().size(), 3u);
    EXPECT_EQ(list.Paths()[1], b);

    // A file that is already gone does not stop the others from being deleted.
    list.DeletePageFiles();
    EXPECT_FALSE(std::filesystem::exists(a));
    EXPECT_FALSE(std::filesystem::exists(b));
    EXPECT_TRUE(std::filesystem::exists(folder.Path("kept.bmp")));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.PageFileListLength(), 0u);
    EXPECT_EQ(list.Block(), nullptr);

    list.AddPageFile(folder.Path("kept.bmp"));
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Paths()[0], folder.Path("kept.bmp"));
}

TEST(PageFileList, LongPathsAreDeletedWhole) {
    // Longer than the 260-byte buffers of old: a cut path would name another file.
    ScratchFolder folder;
    std::string deep = folder.Path("");
    while (deep.size() < 300) deep += "sub-folder-with-a-long-name/";
    std::filesystem::create_directories(deep);
    const std::string page = deep + "page.bmp";
    std::ofstream(page) << "x";
    PageFileList list;
    list.AddPageFile(page);
    list.DeletePageFiles();
    EXPECT_FALSE(std::filesystem::exists(page));
    EXPECT_TRUE(std::filesystem::is_directory(deep));
}

}  // namespace
}  // namespace pipeline
