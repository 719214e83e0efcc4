#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <set>

#include "pipeline/naming/file_naming.h"
#include "pipeline/naming/number_search.h"
#include "tests/support/scratch_folder.h"

namespace pipeline {
namespace {

using test_support::ScratchFolder;

NumberTaken TakenSet(std::set<uint32_t> taken_numbers, int only_width) {
    return [taken_numbers, only_width](uint32_t n, int width) {
        return width == only_width && taken_numbers.count(n) > 0;
    };
}

TEST(NumberSearch, FillsGapsAndGrowsTheWidthAfterTheLastNumber) {
    EXPECT_EQ(NumberText(7, 4), "0007");
    EXPECT_EQ(NumberText(999999999, 9), "999999999");

    NumberSearchResult empty = SearchFreeNumber(4, TakenSet({}, 4));
    EXPECT_TRUE(empty.found);
    EXPECT_EQ(empty.number, 1u);
    EXPECT_EQ(empty.width, 4);
    EXPECT_EQ(empty.next_width, 4);

    EXPECT_EQ(SearchFreeNumber(4, TakenSet({1, 2, 4, 5}, 4)).number, 3u);

    std::set<uint32_t> up_to_98;
    for (uint32_t n = 1; n <= 98; ++n) up_to_98.insert(n);
    NumberSearchResult last = SearchFreeNumber(2, TakenSet(up_to_98, 2));
    EXPECT_TRUE(last.found);
    EXPECT_EQ(last.number, 99u);
    EXPECT_EQ(last.width, 2);       // the last number keeps the width it was probed with
    EXPECT_EQ(last.next_width, 3);  // the search after it is wider

    std::set<uint32_t> up_to_99 = up_to_98;
    up_to_99.insert(99);
    NumberSearchResult wider = SearchFreeNumber(2, TakenSet(up_to_99, 2));
    EXPECT_TRUE(wider.found);
    EXPECT_EQ(wider.number, 1u);
    EXPECT_EQ(wider.width, 3);
}

TEST(NumberSearch, StopsAtTheWidestWidthInsteadOfLooping) {
    int probes = 0;
    auto everything_taken = [&probes](uint32_t, int) {
        ++probes;
        return true;
    };
    NumberSearchResult full = SearchFreeNumber(1, everything_taken, 2);
    EXPECT_FALSE(full.found);
    EXPECT_EQ(full.next_width, 2);
    EXPECT_EQ(probes, 9 + 99);

    // The last number of the widest width is still used when it is free.
    std::set<uint32_t> all_but_last;
    for (uint32_t n = 1; n <= 98; ++n) all_but_last.insert(n);
    NumberSearchResult last = SearchFreeNumber(2, TakenSet(all_but_last, 2), 2);
    EXPECT_TRUE(last.found);
    EXPECT_EQ(last.number, 99u);
    EXPECT_EQ(last.next_width, 2);

    // A width beyond nine digits is never used.
    EXPECT_EQ(SearchFreeNumber(12, TakenSet({}, 0)).width, kMaxNumberWidth);
}

class NamingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings_.save_path = save_.Slash();
        settings_.prefix = "IMG";
    }

    ScratchFolder temp_;
    test_support::ScopedEnv runtime_{"XDG_RUNTIME_DIR", temp_.Root()};
    // The program's private temporary folder there.
    std::string Temp() const { return temp_.Slash() + "Vellumo/"; }
    ScratchFolder save_;
    NamingSettings settings_;
    CFileNaming naming_;
};

TEST_F(NamingTest, PictureNamesTakeTheLowestFreeNumberOfTheirOwnExtension) {
    EXPECT_EQ(naming_.MakeImageFileNames(settings_), 1);
    EXPECT_EQ(naming_.m_szTempFile, Temp() + "Kvo~Vellumo.bmp");
    EXPECT_EQ(naming_.m_szOutputFile, save_.Path("IMG0001.bmp"));

    for (int n = 1; n <= 5; ++n) save_.Touch("IMG000" + std::to_string(n) + ".bmp");
    std::filesystem::remove(save_.Path("IMG0003.bmp"));
    naming_.MakeImageFileNames(settings_);
    EXPECT_EQ(naming_.m_szOutputFile, save_.Path("IMG0003.bmp"));

    // Another extension or another width does not block a number.
    save_.Touch("IMG0003.jpg");
    save_.Touch("IMG03.bmp");
    naming_.MakeImageFileNames(settings_);
    EXPECT_EQ(naming_.m_szOutputFile, save_.Path("IMG0003.bmp"));

    // A link to nowhere is taken too; a save through it would land outside the folder.
    std::filesystem::create_symlink(save_.Path("gone/elsewhere.bmp"), save_.Path("IMG0003.bmp"));
    naming_.MakeImageFileNames(settings_);
    EXPECT_EQ(naming_.m_szOutputFile, save_.Path("IMG0006.bmp"));

    settings_.image_format = 1;
    save_.Touch("IMG0001.jpg");
    naming_.MakeImageFileNames(settings_);
    EXPECT_EQ(naming_.m_szOutputFile, save_.Path("IMG0002.jpg"));

    settings_.image_format = 3;
    settings_.prefix.clear();
    naming_.MakeImageFileNames(settings_);
    EXPECT_EQ(naming_.m_szOutputFile, save_.Path("0001.tif"));
}

TEST_F(NamingTest, NamesThatCannotBeExaminedDoNotStallTheSearch) {
    // Longer than a file name may be: every probe fails, and the first number is taken as free
    // instead of counting through all nine-digit numbers.
    settings_.prefix = std::string(300, 'x');
    EXPECT_EQ(naming_.MakeImageFileNames(settings_), 1);
    EXPECT_EQ(naming_.m_szOutputFile, save_.Slash() + settings_.prefix + "0001.bmp");
    EXPECT_EQ(naming_.m_nNumberWidth, 4);
}

TEST_F(NamingTest, WidthGrowsAfter9999AndStaysGrown) {
    for (int n = 1; n <= 9998; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG%04d.bmp", n);
        save_.Touch(name);
    }
    naming_.MakeImageFileNames(settings_);
    EXPECT_EQ(naming_.m_szOutputFile, save_.Path("IMG9999.bmp"));
    EXPECT_EQ(naming_.m_nNumberWidth, 5);

    save_.Touch("IMG9999.bmp");
    naming_.MakeImageFileNames(settings_);
    EXPECT_EQ(naming_.m_szOutputFile, save_.Path("IMG00001.bmp"));

    // Even with four-digit gaps, the width does not shrink back.
    std::filesystem::remove(save_.Path("IMG0007.bmp"));
    naming_.MakeImageFileNames(settings_);
    EXPECT_EQ(naming_.m_szOutputFile, save_.Path("IMG00001.bmp"));
}

TEST_F(NamingTest, MissingSaveFolderChainIsCreated) {
    settings_.save_path = save_.Path("2024/Jan/");
    naming_.MakeVideoFileName(settings_);
    EXPECT_TRUE(std::filesystem::is_directory(save_.Path("2024")));
    EXPECT_TRUE(std::filesystem::is_directory(save_.Path("2024/Jan")));
    EXPECT_EQ(naming_.m_szOutputFile, save_.Path("2024/Jan/IMG0001.wmv"));
    // A hand-edited folder without its trailing '/': the names go inside it, numbered by what is there.
    save_.Touch("2024/Jan/IMG0001.bmp");
    settings_.save_path = save_.Path("2024/Jan");
    naming_.MakeImageFileNames(settings_);
    EXPECT_EQ(naming_.m_szOutputFile, save_.Path("2024/Jan/IMG0002.bmp"));

    CreateFolderPath(save_.Path("a/b/c"));
    EXPECT_TRUE(std::filesystem::is_directory(save_.Path("a/b/c")));
    // A file in the way is not replaced; nothing is created beyond it.
    save_.Touch("file");
    CreateFolderPath(save_.Path("file/sub/"));
    EXPECT_TRUE(std::filesystem::is_regular_file(save_.Path("file")));
}

TEST_F(NamingTest, FormatTablesAndIndicesOutsideThem) {
    EXPECT_EQ(ImageExtension(2), ".pdf");
    EXPECT_EQ(ImageExtension(4), ".pdf");
    EXPECT_FALSE(ImageExtension(5));
    EXPECT_EQ(OcrExtension(0), ".rtf");
    EXPECT_EQ(OcrExtension(1), ".rtf");
    EXPECT_EQ(OcrExtension(2), ".xls");
    EXPECT_FALSE(OcrExtension(-1));
    EXPECT_EQ(VideoExtension(0), ".wmv");
    EXPECT_EQ(VideoExtension(7), ".avi");

    settings_.ocr_format = 4;
    naming_.MakeOcrFileNames(settings_);
    EXPECT_EQ(naming_.m_szOutputFile, save_.Path("IMG0001.txt"));

    // An unknown index keeps the previous output name but still sets the temporary file.
    naming_.m_szTempFile.clear();
    settings_.image_format = 9;
    EXPECT_EQ(naming_.MakeImageFileNames(settings_), 1);
    EXPECT_EQ(naming_.m_szOutputFile, save_.Path("IMG0001.txt"));
    EXPECT_EQ(naming_.m_szTempFile, Temp() + "Kvo~Vellumo.bmp");
    settings_.ocr_format = 5;
    naming_.MakeOcrFileNames(settings_);
    EXPECT_EQ(naming_.m_szOutputFile, save_.Path("IMG0001.txt"));

    // Card captures skip the check and still get a picture name.
    naming_.MakeCardFileNames(settings_);
    EXPECT_EQ(naming_.m_szOutputFile, save_.Path("IMG0001.bmp"));
}

TEST_F(NamingTest, CardAndDateTimeNames) {
    naming_.MakeImageFileNames(settings_);
    EXPECT_EQ(naming_.CardFileName(1), Temp() + "Kvo~Vellumo0001.bmp");
    EXPECT_EQ(naming_.CardFileName(12), Temp() + "Kvo~Vellumo0012.bmp");

    UtcTime t{2024, 1, 5, 3, 4, 5, 67};
    EXPECT_EQ(DateTimeName(t), "202415_34567");
    EXPECT_EQ(OcrTiffFileName(t), Temp() + "202415_34567.tif");
    EXPECT_EQ(OcrResultFileName(t, ".xls"), Temp() + "202415_34567.xls");
}

TEST(DateTimeNames, CurrentTimeIsUtcWhateverTheLocalZone) {
    std::time_t before = 0, after = 0;
    UtcTime now;
    {
        test_support::ScopedEnv zone("TZ", "Asia/Kolkata");  // half an hour off every whole-hour zone
        tzset();
        before = std::time(nullptr);
        now = CurrentUtcTime();
        after = std::time(nullptr);
    }
    tzset();

    std::tm a{}, b{};
    gmtime_r(&before, &a);
    gmtime_r(&after, &b);
    EXPECT_TRUE(now.minute == a.tm_min || now.minute == b.tm_min);
    EXPECT_TRUE(now.hour == a.tm_hour || now.hour == b.tm_hour);
    EXPECT_EQ(now.year, a.tm_year + 1900);
    EXPECT_GE(now.millisecond, 0);
    EXPECT_LT(now.millisecond, 1000);
}

}  // namespace
}  // namespace pipeline
