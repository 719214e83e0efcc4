// The OCR engine hand-over: language table, the engine's command, and RunOcr / RunOcrOnPages against a
// recording engine double.

#include <gtest/gtest.h>

#include <regex>

#include "ocr/engine/ocr_engine.h"
#include "ocr/engine/ocr_languages.h"
#include "pipeline/naming/file_naming.h"
#include "pipeline/pagelist/page_file_list.h"
#include "platform/dib/dib.h"
#include "platform/registry/registry.h"
#include "tests/ocr/ocr_fixture.h"

namespace {

using ocr_test::Sandbox;

TEST(OcrLanguages, TableAndEngineNames) {
    EXPECT_EQ(ocr::EngineLanguageName(37), "English");
    EXPECT_EQ(ocr::EngineLanguageName(179), "ChinesePRC_English");
    EXPECT_EQ(ocr::EngineLanguageName(128), "Ruanda");
    EXPECT_STREQ(ocr::OcrLanguageDisplayName(0), "Abkhaz");
    EXPECT_STREQ(ocr::OcrLanguageDisplayName(180), "Japanese + English");
    EXPECT_EQ(ocr::OcrLanguageDisplayName(181), nullptr);
    EXPECT_EQ(ocr::EngineLanguageName(-1), "English");

    const std::pair<int, const char*> replaced[] = {{176, "UzbekCyrillic"},
                                                    {177, "UzbekLatin"},
                                                    {178, "ChineseTaiwan_English"},
                                                    {179, "ChinesePRC_English"},
                                                    {172, "ChinesePRC"},
                                                    {173, "ChineseTaiwan"},
                                                    {5, "Altaic"},
                                                    {9, "Awar"},
                                                    {25, "Chukcha"},
                                                    {162, "Tuvin"},
                                                    {79, "Kirgiz"},
                                                    {76, "Khakas"},
                                                    {89, "Lezgin"},
                                                    {117, "Ossetic"},
                                                    {151, "Tabassaran"},
                                                    {28, "CrimeanTatar"},
                                                    {180, "Japanese_English"}};
    int changed = 0;
    for (int i = 0; i < ocr::kOcrLanguageCount; ++i) {
        const std::string engine = ocr::EngineLanguageName(i);
        EXPECT_EQ(engine.find(' '), std::string::npos) << i;
        if (engine != ocr::OcrLanguageDisplayName(i)) ++changed;
    }
    EXPECT_EQ(changed, 17);
    for (const auto& [index, engine] : replaced) EXPECT_EQ(ocr::EngineLanguageName(index), engine) << index;
}

TEST(OcrCommand, BothFormsAndTheBufferBound) {
    auto found = ocr::BuildOcrCommand(true, "/bin/FineCmd.exe", "/tmp/a b.bmp", "German", "/tmp/1.txt");
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, (std::vector<std::string>{"/bin/FineCmd.exe", "/tmp/a b.bmp", "/fastmode", "/lang",
                                                "German", "/out", "/tmp/1.txt"}));
    auto missing = ocr::BuildOcrCommand(false, "", "/tmp/a.bmp", "German", "/tmp/1.txt");
    ASSERT_TRUE(missing);
    EXPECT_EQ(*missing, (std::vector<std::string>{"", "/out", "/tmp/1.txt", "/tmp/a.bmp"}));

    // "T P /out O" and its terminating zero: 4 + 1 + 5 + |P| + 1 + 1 + ... counted as the buffer would.
    const std::string fixed = "T /out O ";
    const size_t room = ocr::kOcrCommandBufferSize - fixed.size() - 1;
    EXPECT_TRUE(ocr::BuildOcrCommand(false, "T", std::string(room, 'p'), "", "O"));
    EXPECT_FALSE(ocr::BuildOcrCommand(false, "T", std::string(room + 1, 'p'), "", "O"));
}

class RunOcrTest : public Sandbox {
  protected:
    void SetUp() override {
        Sandbox::SetUp();
        info_.ocr_tool_path = std::string(OCR_DOUBLES_DIR) + "/ocr_engine_double.sh";
        info_.ocr_engine_found = true;
        settings_.m_nOcrFormat = 4;
        settings_.m_nOcrLanguage = 179;
    }
    std::string Picture(const std::string& name) {
        auto image = platform::MakeDibImage(16, 8, 24);
        return scratch_->Write("pictures/" + name, *platform::EncodeBmp(*image));
    }
    ocr::ExternalProgramInfo info_;
    pipeline::CFileNaming naming_;
};

TEST_F(RunOcrTest, SavesTheEngineDocumentUnderTheNextFreeNameAndRemovesTheEngineFile) {
    scratch_->Write("save/OCR0001.txt", "older");
    const std::string picture = Picture("page \"one\" \xC3\xA9t\xC3\xA9.bmp");
    ocr::OcrRun run = ocr::RunOcr(Request(), info_, picture, naming_);
    ASSERT_TRUE(run.saved);
    EXPECT_EQ(run.document, Path("save/OCR0002.txt"));
    EXPECT_EQ(platform::ReadFile(run.document).value_or(""), "recognised text\n");

    const std::vector<std::string> args = RecordedArguments(Path("engine.args"));
    ASSERT_EQ(args.size(), 6u);
    EXPECT_EQ(args[0], picture);  // spaces, quotes and non-ASCII arrive intact
    EXPECT_EQ(args[1], "/fastmode");
    EXPECT_EQ(args[3], "ChinesePRC_English");
    // The engine wrote into the temp folder under a UTC date-time name, which is gone now.
    EXPECT_EQ(args[5].rfind(Path(kTemp) + "/", 0), 0u);
    EXPECT_EQ(args[5].substr(args[5].size() - 4), ".txt");
    EXPECT_TRUE(
        std::regex_match(args[5].substr(Path(kTemp).size() + 1), std::regex(R"(\d{6,8}_\d{4,9}\.txt)")))
        << args[5];
    EXPECT_TRUE(Entries(kTemp).empty());
}

TEST_F(RunOcrTest, WithoutTheEngineFoundTheSecondFormIsUsed) {
    info_.ocr_engine_found = false;
    const std::string picture = Picture("p.bmp");
    ASSERT_TRUE(ocr::RunOcr(Request(), info_, picture, naming_).saved);
    const std::vector<std::string> args = RecordedArguments(Path("engine.args"));
    ASSERT_EQ(args.size(), 3u);
    EXPECT_EQ(args[0], "/out");
    EXPECT_EQ(args[2], picture);
}

TEST_F(RunOcrTest, AFailedCrashedSilentOrHungEngineSavesNothing) {
    const std::string picture = Picture("p.bmp");
    for (const char* mode : {"fail", "crash", "silent", "hang"}) {
        ::setenv("OCR_DOUBLE_MODE", mode, 1);
        ocr::OcrRun run = ocr::RunOcr(Request(), info_, picture, naming_, 1, std::chrono::milliseconds(500));
        EXPECT_FALSE(run.saved) << mode;
        EXPECT_TRUE(Entries("save").empty()) << mode;
        EXPECT_TRUE(Entries(kTemp).empty()) << mode;
        EXPECT_TRUE(platform::GetFileAttributes(picture).has_value()) << mode;  // kept for another try
    }
    info_.ocr_tool_path.clear();  // no engine at all: nothing starts
    info_.ocr_engine_found = false;
    EXPECT_FALSE(ocr::RunOcr(Request(), info_, picture, naming_).saved);
}

TEST_F(RunOcrTest, APathTooLongForTheCommandIsNotHandedOver) {
    const std::string picture = Picture("p.bmp");
    const std::string longer = Path("pictures/") + std::string(900, 'x') + "/../p.bmp";
    EXPECT_FALSE(ocr::RunOcr(Request(), info_, longer, naming_).saved);
    EXPECT_FALSE(platform::GetFileAttributes(Path("engine.args")).has_value());
}

TEST_F(RunOcrTest, PagesBecomeOneTiffForOneDocument) {
    ::setenv("OCR_DOUBLE_MODE", "copy", 1);  // the "document" is the TIFF the engine was given
    settings_.m_nOcrFormat = 3;
    pipeline::PageFileList pages;
    pages.AddPageFile(Picture("one.bmp"));
    pages.AddPageFile(Picture("two.bmp"));
    ocr::OcrRun run = ocr::RunOcrOnPages(Request(), info_, pages, naming_, VELLUMO_BIN_DIR);
    ASSERT_TRUE(run.saved);
    EXPECT_EQ(run.document, Path("save/OCR0001.pdf"));
    int status = 0;
    FILE* pipe =
        ::popen(("tiffinfo '" + run.document + "' 2>/dev/null | grep -c 'TIFF Directory'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char count[16] = {};
    ASSERT_NE(std::fgets(count, sizeof count, pipe), nullptr);
    status = ::pclose(pipe);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(std::atoi(count), 2);
    EXPECT_TRUE(Entries(kTemp).empty());  // the TIFF and the engine's file are gone
    EXPECT_EQ(pages.Count(), 2);          // the pages are the series' to delete
}

TEST_F(RunOcrTest, TheEngineIsFoundThroughItsRegistrationOrBesideTheProgram) {
    const std::string folder = Path("pictures");
    ocr::ExternalProgramInfo info;
    EXPECT_EQ(ocr::FindOcrEngine(settings_, info, folder), 0);
    EXPECT_EQ(settings_.m_nOcrEngineCount, 0);

    scratch_->Write("pictures/FineCmd.exe", "#!/bin/sh\n");
    ::chmod(Path("pictures/FineCmd.exe").c_str(), 0755);
    EXPECT_EQ(ocr::FindOcrEngine(settings_, info, folder), 1);
    EXPECT_EQ(info.ocr_tool_path, Path("pictures/FineCmd.exe"));
    EXPECT_EQ(settings_.m_nOcrEngineCount, 1);

    scratch_->Write("engine/FineCmd.exe", "");
    ASSERT_TRUE(platform::RegistryWriteString(platform::RegistryHive::LocalMachine, ocr::kOcrComponentKey,
                                              ocr::kOcrComponentValue, Path("engine/FineEngine.dll")));
    EXPECT_EQ(ocr::FindOcrEngine(settings_, info, folder), 1);
    EXPECT_EQ(info.ocr_tool_path, Path("engine/FineCmd.exe"));
    EXPECT_EQ(settings_.m_bOcrEngineFound, 1);
}

}  // namespace
