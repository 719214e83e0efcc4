// Our two outside programs for real: FineCmd.exe (through RunOcr, as the capture program calls it, and
// directly for each document type) and Zorvex.exe on the virtual camera's cards. Each recognition of a
// full-size picture costs seconds, so the full-size cases are few.

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <opencv2/imgproc.hpp>
#include <regex>
#include <sstream>

#include "ocr/engine/ocr_engine.h"
#include "outside/bmp2tiff/bmp2tiff.h"
#include "outside/finecmd/text_documents.h"
#include "pipeline/capture/capture_request.h"
#include "pipeline/naming/file_naming.h"
#include "platform/dib/dib.h"
#include "platform/library/library.h"
#include "settings/settings.h"
#include "tests/outside/support.h"
#include "virtualcam/scenes/document_scenes.h"
#include "virtualcam/scenes/text_printer.h"
#include "virtualcam/scenes/word_accuracy.h"

namespace {

using outside_test::Quote;
using outside_test::Shell;

const std::string kBin = VELLUMO_BIN_DIR;

// A BGR picture as a 24-bit BMP at the given resolution.
std::string WriteBmp(const std::string& path, const cv::Mat& bgr, int dpi) {
    auto image = platform::MakeDibImage(bgr.cols, bgr.rows, 24);
    const uint32_t stride = *platform::DibRowStride(bgr.cols, 24);
    for (int y = 0; y < bgr.rows; ++y)
        std::memcpy(image->pixels.data() + static_cast<size_t>(bgr.rows - 1 - y) * stride, bgr.ptr(y),
                    3 * bgr.cols);
    image->x_pixels_per_meter = image->y_pixels_per_meter = static_cast<int32_t>(dpi / 0.0254 + 0.5);
    EXPECT_TRUE(outside_test::WriteText(path, *platform::EncodeBmp(*image)));
    return path;
}

using virtualcam::WordAccuracy;
using virtualcam::Words;

// A white sheet with the given lines printed on it, 300 dpi.
cv::Mat PrintedSheet(const std::vector<std::string>& lines) {
    cv::Mat sheet(140 + 90 * static_cast<int>(lines.size()), 1800, CV_8UC3, cv::Scalar(255, 255, 255));
    virtualcam::TextPrinter printer;
    for (size_t i = 0; i < lines.size(); ++i)
        printer.Print(sheet, lines[i], cv::Point(80, 120 + 90 * static_cast<int>(i)), 48,
                      cv::Scalar(20, 20, 20));
    return sheet;
}

class ProgramsTest : public ::testing::Test {
  protected:
    std::string Run(const std::string& command, int* status) { return Shell(command + " 2>&1", status); }
    test_support::ScratchFolder scratch_;
};

TEST_F(ProgramsTest, TextFromTheVirtualCameraPageThroughTheCaptureHandOver) {
    const virtualcam::Scene scene =
        virtualcam::RenderDocumentScene({virtualcam::SceneChoice::Kind::Page, 1}, cv::Size(2592, 1944));
    const std::string picture = WriteBmp(scratch_.Path("Kvo~Vellumo.bmp"), scene.picture, 221);
    CVellumoSettings settings;
    settings.m_szSavePath = scratch_.Slash() + "save/";
    settings.m_szPrefix = "Page";
    settings.m_nOcrFormat = 4;
    settings.m_nOcrLanguage = 37;
    ocr::ExternalProgramInfo info;
    info.ocr_tool_path = kBin + "/FineCmd.exe";
    info.ocr_engine_found = true;
    pipeline::CFileNaming naming;
    const ocr::OcrRun run = ocr::RunOcr(pipeline::MakeCaptureRequest(settings, 0, 0), info, picture, naming);
    ASSERT_TRUE(run.saved);
    EXPECT_EQ(run.document, settings.m_szSavePath + "Page0001.txt");
    std::vector<std::string> expected;
    for (const std::string& line : virtualcam::PageText())
        for (const std::string& w : Words(line)) expected.push_back(w);
    const double accuracy = WordAccuracy(expected, outside_test::ReadAll(run.document));
    RecordProperty("word_accuracy", std::to_string(accuracy));
    EXPECT_GE(accuracy, 0.9) << "of " << expected.size() << " words";
}

TEST_F(ProgramsTest, EveryDocumentTypeOpensInItsReader) {
    const std::string picture =
        WriteBmp(scratch_.Path("sheet one.bmp"),
                 PrintedSheet({"Quarterly report for Vellumo", "Apples          Pears"}), 300);
    int status = -1;
    const std::string tool = Quote(kBin + "/FineCmd.exe");

    const std::string pdf = scratch_.Path("out.pdf");
    Run(tool + " " + Quote(picture) + " /fastmode /lang English /out " + Quote(pdf), &status);
    ASSERT_EQ(status, 0);
    Run("qpdf --check " + Quote(pdf), &status);
    EXPECT_EQ(status, 0);
    const std::string pdf_text = Run("pdftotext " + Quote(pdf) + " -", &status);
    EXPECT_GE(WordAccuracy(Words("Quarterly report for Vellumo Apples Pears"), pdf_text), 0.8) << pdf_text;
    EXPECT_TRUE(std::regex_search(Run("pdfinfo " + Quote(pdf), &status), std::regex(R"(Pages:\s+1\n)")));

    const std::string xls = scratch_.Path("out.xls");
    Run(tool + " /out " + Quote(xls) + " " + Quote(picture), &status);
    ASSERT_EQ(status, 0);
    const std::string rows =
        Run("/usr/bin/python3 -c \"import sys, xlrd; s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0);"
            " print('|'.join(str(s.row_values(r)) for r in range(s.nrows)))\" " +
                Quote(xls),
            &status);
    ASSERT_EQ(status, 0) << rows;
    EXPECT_NE(rows.find("['Quarterly report for Vellumo', '']|['Apples', 'Pears']"), std::string::npos)
        << rows;

    const std::string rtf = scratch_.Path("out.rtf");
    Run(tool + " " + Quote(picture) + " /out " + Quote(rtf), &status);
    ASSERT_EQ(status, 0);
    const std::string rtf_text = Run("unrtf --text " + Quote(rtf), &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(rtf_text.find("Quarterly report for Vellumo"), std::string::npos) << rtf_text;
}

TEST_F(ProgramsTest, AMultiPageTiffIsReadPageByPage) {
    const std::string one = WriteBmp(scratch_.Path("1.bmp"), PrintedSheet({"First page here"}), 300);
    const std::string two = WriteBmp(scratch_.Path("2.bmp"), PrintedSheet({"Second sheet there"}), 300);
    platform::Library library = platform::Library::LoadFrom(kBin, "bmp2tiff.dll");
    auto convert = library.Get<ConvertMutilFn>("ConvertMutil");
    ASSERT_NE(convert, nullptr);
    const std::string tiff = scratch_.Path("pages.tif");
    ASSERT_EQ(convert((one + "*" + two).c_str(), tiff.c_str(), 2, 80), 1);
    int status = -1;
    // A language Tesseract has no data for is read as English, with a word on stderr.
    const std::string note = Run(Quote(kBin + "/FineCmd.exe") + " " + Quote(tiff) +
                                     " /fastmode /lang Abkhaz /out " + Quote(scratch_.Path("p.txt")),
                                 &status);
    ASSERT_EQ(status, 0) << note;
    EXPECT_NE(note.find("recognising English"), std::string::npos) << note;
    const std::string text = outside_test::ReadAll(scratch_.Path("p.txt"));
    const size_t feed = text.find('\f');
    ASSERT_NE(feed, std::string::npos) << text;
    EXPECT_NE(text.substr(0, feed).find("First page here"), std::string::npos) << text;
    EXPECT_NE(text.substr(feed).find("Second sheet there"), std::string::npos) << text;

    const std::string pdf = scratch_.Path("p.pdf");
    Run(Quote(kBin + "/FineCmd.exe") + " /out " + Quote(pdf) + " " + Quote(tiff), &status);
    ASSERT_EQ(status, 0);
    EXPECT_TRUE(std::regex_search(Run("pdfinfo " + Quote(pdf), &status), std::regex(R"(Pages:\s+2\n)")));
    const std::string second = Run("pdftotext -f 2 -l 2 " + Quote(pdf) + " -", &status);
    EXPECT_EQ(Words(second), Words("Second sheet there")) << second;
}

TEST_F(ProgramsTest, BadPicturesAndCommandLinesFailCleanly) {
    const std::string tool = Quote(kBin + "/FineCmd.exe");
    const std::string out = scratch_.Path("o.txt");
    outside_test::WriteText(scratch_.Path("empty.tif"), "");
    outside_test::WriteText(scratch_.Path("corrupt.tif"),
                            std::string("II*\0\x08\0\0\0", 8) + std::string(64, '\xff'));
    int status = 0;
    for (const char* name : {"empty.tif", "corrupt.tif", "missing.bmp"}) {
        const std::string message =
            Run(tool + " " + Quote(scratch_.Path(name)) + " /out " + Quote(out), &status);
        EXPECT_EQ(status, 1) << name << ": " << message;
        EXPECT_NE(message.find("FineCmd: "), std::string::npos) << name;
        EXPECT_FALSE(outside_test::Exists(out)) << name;
    }
    EXPECT_NE(Run(tool + " /out " + Quote(out), &status).find("no picture"), std::string::npos);
    EXPECT_EQ(status, 2);
    EXPECT_NE(Run(tool + " " + Quote(scratch_.Path("empty.tif")), &status).find("no output"),
              std::string::npos);
    EXPECT_EQ(status, 2);
}

TEST(RichText, EscapesAsWordAndLibreOfficeExpect) {
    EXPECT_EQ(outside::RtfEscape("a\\b {c}"), "a\\\\b \\{c\\}");
    EXPECT_EQ(outside::RtfEscape("Gr\xC3\xBC\xC3\x9F"
                                 "e \xE2\x82\xAC \xF0\x9F\x98\x80"),
              "Gr\\u252?\\u223?e \\u8364? \\u-10179?\\u-8704?");
}

class CardProgramRun : public ProgramsTest {
  protected:
    int RunCardProgram(const std::string& import_text) {
        outside_test::WriteText(scratch_.Path("import.ini"), import_text);
        int status = -1;
        Run("VELLUMO_USER_DOCUMENTS=" + Quote(scratch_.Path("docs")) + " " + Quote(kBin + "/Zorvex.exe") +
                " " + Quote(scratch_.Path("import.ini")),
            &status);
        return status;
    }
    std::vector<std::string> Cards() {
        std::vector<std::string> cards;
        std::error_code ignored;
        for (const auto& entry :
             std::filesystem::directory_iterator(scratch_.Path("docs/Vellumo Cards"), ignored))
            cards.push_back(outside_test::ReadAll(entry.path().string()));
        std::sort(cards.begin(), cards.end());
        return cards;
    }
};

TEST_F(CardProgramRun, VCardsFromTheVirtualCameraCards) {
    const virtualcam::Scene scene =
        virtualcam::RenderDocumentScene({virtualcam::SceneChoice::Kind::Cards, 2}, cv::Size(2592, 1944));
    std::string import = "[Importfile]\r\nCount=2\r\n";
    for (size_t i = 0; i < 2; ++i) {
        std::vector<cv::Point> corners;
        for (const cv::Point2d& p : scene.corners[i]) corners.emplace_back(p);
        const cv::Rect box =
            cv::boundingRect(corners) & cv::Rect(0, 0, scene.picture.cols, scene.picture.rows);
        const std::string path =
            WriteBmp(scratch_.Path("card" + std::to_string(i) + ".bmp"), scene.picture(box).clone(), 221);
        import += "File" + std::to_string(i + 1) + "=\"" + path + "\"\r\n";
    }
    import += "[OCROpt]\r\nLang=EN\r\n[ScanOpt]\r\nDuplex=0\r\n";
    ASSERT_EQ(RunCardProgram(import), 0);
    EXPECT_FALSE(outside_test::Exists(scratch_.Path("import.ini")));
    const std::vector<std::string> cards = Cards();
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_NE(cards[0].find("FN:Anna Berger\r\n"), std::string::npos) << cards[0];
    EXPECT_NE(cards[0].find("EMAIL;TYPE=INTERNET:anna.berger@northwind.example\r\n"), std::string::npos)
        << cards[0];
    EXPECT_NE(cards[0].find("TITLE:Sales Manager\r\n"), std::string::npos) << cards[0];
    EXPECT_NE(cards[1].find("FN:James Carter\r\n"), std::string::npos) << cards[1];
    EXPECT_NE(cards[1].find("ORG:Harbour Optics Ltd\r\n"), std::string::npos) << cards[1];
    EXPECT_NE(cards[1].find("TEL;TYPE=WORK,VOICE:+44 20 7946 0321\r\n"), std::string::npos) << cards[1];
}

TEST_F(CardProgramRun, NothingToRecogniseStillTakesTheImportFile) {
    for (const char* import : {"[Importfile]\r\nCount=0\r\n[OCROpt]\r\nLang=EN\r\n",
                               "[Importfile]\r\nCount=1\r\nFile1=\"/nowhere/card.bmp\"\r\n",
                               "garbage\r\n=\r\n[Importfile\r\nFile1\r\n\x01\x02\xff\r\n"}) {
        EXPECT_EQ(RunCardProgram(import), 0) << import;
        EXPECT_FALSE(outside_test::Exists(scratch_.Path("import.ini"))) << import;
        EXPECT_TRUE(Cards().empty()) << import;
    }
}

}  // namespace
