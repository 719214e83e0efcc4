// The business-card hand-overs: finding the programs, the files they get byte for byte, and both
// hand-overs against recording doubles of the programs and of ZorvexMsg.dll.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <thread>

#include "ocr/cards/card_languages.h"
#include "ocr/cards/card_programs.h"
#include "ocr/engine/ocr_languages.h"
#include "ocr/hand_over_services.h"
#include "pipeline/pagelist/page_file_list.h"
#include "platform/registry/registry.h"
#include "tests/ocr/ocr_fixture.h"

namespace {

using ocr_test::Sandbox;

TEST(CardFiles, ExplorerListAndParameters) {
    EXPECT_EQ(ocr::ExplorerListFile({"/tmp/a.bmp", "/tmp/b.bmp"}), "/tmp/a.bmp1\r\n/tmp/b.bmp1\r\n");
    EXPECT_EQ(ocr::ExplorerParameters(3, "/tmp/Zor1.cfg"), " /rjan\"/tmp/Zor1.cfg\"");
    std::string letters;
    for (int language : {0, 1, 2, 3, 4, 8, 9, -1}) letters += ocr::ExplorerLanguageLetter(language);
    EXPECT_EQ(letters, "eccjooee");
    EXPECT_EQ(ocr::SplitParameters(" /rean\"/tmp/a b/Zor1.cfg\""),
              (std::vector<std::string>{"/rean/tmp/a b/Zor1.cfg"}));
}

TEST(CardFiles, ImportFileForTheCardProgram) {
    EXPECT_EQ(
        ocr::CardImportFile({"/t/1.bmp", "/t/2 b.bmp", "/t/3.bmp"}, 14),
        "[Importfile]\r\nCount=3\r\nFile1=\"/t/1.bmp\"\r\nFile2=\"/t/2 b.bmp\"\r\nFile3=\"/t/3.bmp\"\r\n"
        "[OCROpt]\r\nLang=Nor\r\n[ScanOpt]\r\nDuplex=0\r\n");
    EXPECT_STREQ(ocr::CardProgramLanguageCode(25), "EN");
    EXPECT_STREQ(ocr::CardProgramLanguageCode(20), "TUR");
    EXPECT_STREQ(ocr::CardProgramLanguageCode(-1), "EN");
}

// The language the text is recognised in names the cards' language, each of the card programs' 21 by
// some name of the OCR language table (a misspelt name in the mapping would leave its language out).
TEST(CardFiles, TheTextsLanguageGivesTheCardsLanguage) {
    std::vector<int> names_of(ocr::kCardProgramLanguageCount);
    for (int i = 0; i < ocr::kOcrLanguageCount; ++i)
        if (const std::optional<int> card = ocr::CardLanguageOfText(i))
            ++names_of.at(static_cast<size_t>(*card));
    EXPECT_EQ(std::count(names_of.begin(), names_of.end(), 0), 0);
    EXPECT_EQ(std::accumulate(names_of.begin(), names_of.end(), 0), 31);
    const auto card_code = [](const char* ocr_name) -> std::string {
        for (int i = 0; i < ocr::kOcrLanguageCount; ++i)
            if (std::string(ocr::OcrLanguageDisplayName(i)) == ocr_name) {
                const std::optional<int> card = ocr::CardLanguageOfText(i);
                return card ? ocr::CardProgramLanguageCode(*card) : "none";
            }
        return "no such name";
    };
    EXPECT_EQ(card_code("PortugueseBrazilian"), "PT");
    EXPECT_EQ(card_code("Chinese Traditional + English"), "TC");
    EXPECT_EQ(card_code("NorwegianNynorsk"), "Nor");
    EXPECT_EQ(card_code("Slovak"), "SLO");
    EXPECT_EQ(card_code("Slovenian"), "none");
    EXPECT_EQ(card_code("Bulgarian"), "none");
    EXPECT_EQ(ocr::CardLanguageOfText(-1), std::nullopt);
    EXPECT_EQ(ocr::CardLanguageNames(ocr::kExplorerLanguageCount),
              "English, Chinese Simplified, Chinese Traditional, Japanese, French, German, Italian, Spanish, "
              "PortugueseStandard");
}

class CardProgramTest : public Sandbox {
  protected:
    void Install(const char* guid, const std::string& location, const std::string& name,
                 const std::string& double_name) {
        std::filesystem::create_directories(Path("programs"));
        std::filesystem::copy_file(std::string(OCR_DOUBLES_DIR) + "/" + double_name, Path("programs/" + name),
                                   std::filesystem::copy_options::overwrite_existing);
        ASSERT_TRUE(platform::RegistryWriteString(platform::RegistryHive::LocalMachine,
                                                  std::string(ocr::kUninstallKey) + guid, "InstallLocation",
                                                  location));
    }
    ocr::ExternalProgramInfo info_;
};

TEST_F(CardProgramTest, ProgramsAreFoundThroughTheirRegistrations) {
    const std::string empty_folder = Path("pictures");
    EXPECT_EQ(ocr::FindExplorerProgram(settings_, info_), 0);
    EXPECT_EQ(ocr::FindCardProgram(settings_, info_, empty_folder), 0);

    // A location with its trailing separator gets another one and is still accepted.
    Install(ocr::kExplorerGuid, Path("programs") + "/", ocr::kExplorerProgramName, "explorer_double.sh");
    EXPECT_EQ(ocr::FindExplorerProgram(settings_, info_), 1);
    EXPECT_EQ(info_.explorer_path, Path("programs") + "//ZorvexExplorer.exe");
    EXPECT_EQ(settings_.m_bCardExplorerFound, 1);

    Install(ocr::kCardProgramGuid, Path("programs") + "/", ocr::kCardProgramName, "card_program_double.sh");
    EXPECT_EQ(ocr::FindCardProgram(settings_, info_, empty_folder), 1);
    EXPECT_EQ(info_.card_program_path, Path("programs/Zorvex.exe"));

    // Not a program: a data file, or one without execute permission.
    scratch_->Write("programs/Zorvex.exe", "plain text");
    EXPECT_EQ(ocr::FindCardProgram(settings_, info_, empty_folder), 0);
    EXPECT_EQ(settings_.m_bCardProgramFound, 0);
    ::chmod(Path("programs/ZorvexExplorer.exe").c_str(), 0644);
    EXPECT_EQ(ocr::FindExplorerProgram(settings_, info_), 0);
}

TEST_F(CardProgramTest, WithoutARegistrationOurCardProgramBesideVellumoStandsIn) {
    std::filesystem::create_directories(Path("programs"));
    std::filesystem::copy_file(std::string(OCR_DOUBLES_DIR) + "/card_program_double.sh",
                               Path("programs/Zorvex.exe"));
    EXPECT_EQ(ocr::FindCardProgram(settings_, info_, Path("programs")), 1);
    EXPECT_EQ(info_.card_program_path, Path("programs/Zorvex.exe"));
}

TEST_F(CardProgramTest, TheChoiceCommandsFollowWhatIsInstalled) {
    ocr::ExternalPrograms programs;
    settings_.m_bDevicePresent = 1;
    settings_.m_nCardProgram = 0;
    std::filesystem::create_directories(Path("programs"));
    std::filesystem::copy_file(std::string(OCR_DOUBLES_DIR) + "/card_program_double.sh",
                               Path("programs/Zorvex.exe"));
    ocr::CardChoiceState explorer = ocr::UpdateCardChoice(settings_, programs, Path("programs"), 0);
    EXPECT_FALSE(explorer.enabled);
    EXPECT_EQ(settings_.m_nCardProgram, 1);  // handed to the program that is there
    ocr::CardChoiceState card = ocr::UpdateCardChoice(settings_, programs, Path("programs"), 1);
    EXPECT_TRUE(card.enabled);
    EXPECT_TRUE(card.checked);
    settings_.m_bCaptureBusy = 1;
    EXPECT_FALSE(ocr::UpdateCardChoice(settings_, programs, Path("programs"), 1).enabled);
}

TEST_F(CardProgramTest, TheExplorerProgramGetsItsListAndTheLibraryTheCount) {
    Install(ocr::kExplorerGuid, Path("programs"), ocr::kExplorerProgramName, "explorer_double.sh");
    ASSERT_EQ(ocr::FindExplorerProgram(settings_, info_), 1);
    settings_.m_nCardLanguage = 3;
    EXPECT_EQ(
        ocr::SendToZorvex(settings_.m_nCardLanguage, info_, {"/t/card 1.bmp", "/t/card2.bmp"}, OCR_TEST_BIN)
            .kind,
        pipeline::HandOverResult::Kind::TakenOver);

    EXPECT_EQ(platform::ReadFile(Path("record.count")).value_or(""), "2");
    const std::vector<std::string> args = RecordedArguments(Path("record.args"));
    ASSERT_EQ(args.size(), 1u);
    EXPECT_EQ(args[0].substr(0, 5), "/rjan");
    const std::string list = args[0].substr(5);
    EXPECT_EQ(list.substr(0, Path(std::string(kTemp) + "/Zor").size()), Path(std::string(kTemp) + "/Zor"));
    EXPECT_EQ(list.substr(list.size() - 4), ".cfg");
    EXPECT_EQ(platform::ReadFile(Path("record.list")).value_or(""), "/t/card 1.bmp1\r\n/t/card2.bmp1\r\n");
    // The list file and its unique name go once the program has ended, not before.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!Entries(kTemp).empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(Entries(kTemp).empty());
}

TEST_F(CardProgramTest, TheCardProgramGetsItsImportFileAndTheWaitEndsWhenItIsTaken) {
    Install(ocr::kCardProgramGuid, Path("programs"), ocr::kCardProgramName, "card_program_double.sh");
    ASSERT_EQ(ocr::FindCardProgram(settings_, info_, Path("pictures")), 1);
    settings_.m_nCard6Language = 14;
    EXPECT_EQ(
        ocr::SendToZorvex6(settings_.m_nCard6Language, info_, {"/t/1.bmp", "/t/2.bmp", "/t/3.bmp"}).kind,
        pipeline::HandOverResult::Kind::Done);
    const std::vector<std::string> args = RecordedArguments(Path("record.args"));
    ASSERT_EQ(args.size(), 1u);
    EXPECT_EQ(args[0].substr(args[0].size() - 4), ".ini");
    EXPECT_EQ(platform::ReadFile(Path("record.ini")).value_or(""),
              ocr::CardImportFile({"/t/1.bmp", "/t/2.bmp", "/t/3.bmp"}, 14));
    EXPECT_TRUE(Entries(kTemp).empty());

    // A program that never takes its file: the wait ends at its bound and the files are removed.
    ::setenv("CARD_DOUBLE_KEEP", "1", 1);
    EXPECT_EQ(
        ocr::SendToZorvex6(settings_.m_nCard6Language, info_, {"/t/1.bmp"}, std::chrono::milliseconds(600))
            .kind,
        pipeline::HandOverResult::Kind::Failed);
    EXPECT_TRUE(Entries(kTemp).empty());
}

}  // namespace

namespace {

TEST_F(CardProgramTest, TheHandOverServicesUseWhatWasFound) {
    ocr::TheExternalPrograms().Update([](ocr::ExternalProgramInfo& info) {
        info.ocr_tool_path = std::string(OCR_DOUBLES_DIR) + "/ocr_engine_double.sh";
        info.ocr_engine_found = true;
        info.card_program_path = std::string(OCR_DOUBLES_DIR) + "/card_program_double.sh";
    });
    const pipeline::HandOverServices services = ocr::MakeHandOverServices(OCR_TEST_BIN);
    settings_.m_nOcrFormat = 2;
    services.run_ocr(Request(), "/t/page.bmp");
    services.run_ocr(Request(), "/t/page.bmp");
    EXPECT_EQ(Entries("save"), (std::vector<std::string>{"OCR0001.xls", "OCR0002.xls"}));

    settings_.m_nCardProgram = 1;
    pipeline::PageFileList pages;
    pages.AddPageFile("/t/card.bmp");
    services.send_to_card_program(Request(1), pages);
    EXPECT_EQ(platform::ReadFile(Path("record.ini")).value_or(""), ocr::CardImportFile({"/t/card.bmp"}, 0));
    ocr::TheExternalPrograms().Update([](ocr::ExternalProgramInfo& info) { info = {}; });
}

}  // namespace
