#include "pipeline/pagelist/page_file_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "pipeline/bmp/bmp_ops.h"
#include "pipeline/capture/capture_file.h"
#include "platform/files/files.h"
#include "platform/files/private_temp.h"
#include "tests/pipeline/bmp_files.h"
#include "tests/support/scratch_folder.h"

namespace pipeline {
namespace {

using pipeline_test::Bmp24;
using pipeline_test::Distinct;
using pipeline_test::Rgb;
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

// The review of gathered pages before the document: every edit is on disk at once, in the order file
// the next start reads, and a retake takes its page's place.
TEST(PageFileList, ReviewEditsTheOrderOnDiskAndRetakesInPlace) {
    ScratchFolder folder;
    PageFileList list;
    list.SetListFile(folder.Path("order.lst"));
    std::vector<std::string> pages;
    for (int i = 1; i <= 4; ++i) {
        pages.push_back(folder.Write("p" + std::to_string(i) + ".bmp", Bmp24(4, 2, Distinct)));
        list.AddPageFile(pages.back());
    }
    auto order = [&] { return test_support::ReadAll(folder.Path("order.lst")); };
    EXPECT_EQ(order(), pages[0] + "\n" + pages[1] + "\n" + pages[2] + "\n" + pages[3] + "\n");

    EXPECT_TRUE(list.MovePage(3, 0));  // last to first, the others close up
    EXPECT_TRUE(list.MovePage(1, 2));
    EXPECT_EQ(list.Snapshot(), (std::vector<std::string>{pages[3], pages[1], pages[0], pages[2]}));
    EXPECT_EQ(list.NewestIndex(), 0) << "the page taken last is followed, not the last place";
    EXPECT_FALSE(list.MovePage(0, 4));
    EXPECT_FALSE(list.DeletePage(-1));

    EXPECT_TRUE(list.DeletePage(1));
    EXPECT_FALSE(std::filesystem::exists(pages[1]));
    EXPECT_EQ(order(), pages[3] + "\n" + pages[0] + "\n" + pages[2] + "\n");

    // A quarter turn changes the picture's shape and counts as a change a view must see.
    const uint64_t before = list.Version();
    EXPECT_TRUE(list.TurnPage(0, true));
    EXPECT_GT(list.Version(), before);
    const std::string turned = test_support::ReadAll(pages[3]);
    EXPECT_EQ(turned.substr(18, 8), Bmp24(2, 4, Distinct).substr(18, 8)) << "width and height swapped";
    EXPECT_TRUE(list.TurnPage(0, false));
    EXPECT_EQ(test_support::ReadAll(pages[3]), Bmp24(4, 2, Distinct)) << "turned back exactly";
    folder.Write("not a picture.bmp", "x");
    list.AddPageFile(folder.Path("not a picture.bmp"));
    EXPECT_FALSE(list.TurnPage(3, true));
    EXPECT_EQ(test_support::ReadAll(folder.Path("not a picture.bmp")), "x");
    EXPECT_TRUE(list.DeletePage(3));

    // The retake's page replaces the marked one, whose file goes; the next page is appended again.
    ASSERT_TRUE(list.MarkRetake(1));
    const std::string again = folder.Write("again.bmp", "again");
    list.AddPageFile(again);
    EXPECT_FALSE(std::filesystem::exists(pages[0]));
    EXPECT_EQ(list.Snapshot(), (std::vector<std::string>{pages[3], again, pages[2]}));
    EXPECT_EQ(list.RetakeIndex(), -1);
    EXPECT_EQ(list.NewestIndex(), 1);
    // A move between the mark and the retake takes the mark back: the mark would name another page.
    ASSERT_TRUE(list.MarkRetake(0));
    ASSERT_TRUE(list.MovePage(0, 2));
    list.AddPageFile(folder.Write("later.bmp", "later"));
    EXPECT_EQ(list.Count(), 4);

    list.DeletePageFiles();
    EXPECT_FALSE(std::filesystem::exists(folder.Path("order.lst"))) << "no pages, no order file";
}

// At the next start, pages a crashed run left are saved in the order of its list file (a page the user
// moved first comes first), then any others by their number, -page10 after -page9.
TEST(PageFileList, LeftoverPagesAreSavedInTheReviewedOrder) {
    ScratchFolder folder;
    const std::string runtime = folder.MakeFolder("run");
    ASSERT_EQ(setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1), 0);
    const std::string temp = *platform::PrivateTempFolder();
    auto page = [&](int n, int shade) {
        return folder.Write("run/Vellumo/Kvo~Vellumo-page" + std::to_string(n) + ".bmp",
                            Bmp24(3, 3, [shade](int, int) {
                                return Rgb{0, 0, uint8_t(shade)};
                            }));
    };
    {
        PageFileList list;
        list.SetListFile(PageOrderListPath());
        for (int n : {1, 2, 3}) list.AddPageFile(page(n, n));
        ASSERT_TRUE(list.MovePage(2, 0));
        ASSERT_TRUE(list.DeletePage(2));
        // The program ends here without writing the document: the list is not emptied.
    }
    page(10, 10);
    page(9, 9);
    NamingSettings naming;
    naming.save_path = folder.MakeFolder("saved") + "/";
    naming.prefix = "Doc";
    const std::vector<std::string> saved = SaveLeftoverPictures(naming);
    ASSERT_EQ(saved.size(), 4u);
    const int expected[] = {3, 1, 9, 10};
    for (size_t i = 0; i < saved.size(); ++i)
        EXPECT_EQ(static_cast<uint8_t>(test_support::ReadAll(saved[i]).at(54)), expected[i]) << saved[i];
    EXPECT_FALSE(std::filesystem::exists(PageOrderListPath()));
    EXPECT_TRUE(platform::FolderEntries(temp)->empty());
    unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace pipeline
