// The PDF writer: documents checked with qpdf, pdfinfo, pdfimages, pdftotext; its page arithmetic
// and number formatting directly.

#include <gtest/gtest.h>

#include <regex>

#include "outside/bmp2pdf/bmp2pdf.h"
#include "outside/bmp2pdf/page_layout.h"
#include "outside/bmp2pdf/pdf_document.h"
#include "support.h"

using namespace outside_test;

namespace {

struct ProgressLog {
    std::vector<std::pair<unsigned long, unsigned long>> calls;
    unsigned long cancel_after = 0;  // 0: never
};

int RecordProgress(unsigned long total, unsigned long done, int, unsigned long user) {
    auto* log = reinterpret_cast<ProgressLog*>(user);
    log->calls.emplace_back(total, done);
    return log->cancel_after != 0 && done >= log->cancel_after ? 0 : 1;
}

class PdfTest : public ::testing::Test {
  protected:
    std::string Picture(const std::string& name, Kind kind, int width, int height, int dpi) {
        std::string path = folder_.Path(name);
        images_[name] = MakePicture(kind, width, height, dpi);
        EXPECT_TRUE(WriteBmp(path, images_[name]));
        return path;
    }

    // The sequence the program runs, with its values.
    int Write(Cbmp2pdf& pdf, const std::string& list, int count, const std::string& target,
              ProgressLog* log) {
        int word = 0;
        auto user = reinterpret_cast<unsigned long>(log);
        if (pdf.setFileList(list.c_str(), count, &word, RecordProgress, user) != 1) return -1;
        int result = pdf.newMultiplePage(target.c_str(), count, &word, RecordProgress, user);
        last_word_ = word;
        return result;
    }

    test_support::ScratchFolder folder_;
    std::map<std::string, platform::DibImage> images_;
    int last_word_ = 0;
};

std::vector<std::string> PageSizes(const std::string& pdf) {
    std::string info = Shell("pdfinfo -f 1 -l 100 " + Quote(pdf) + " 2>/dev/null");
    std::vector<std::string> sizes;
    std::regex size_line("Page +\\d+ size: +([0-9.]+ x [0-9.]+) pts");
    for (auto it = std::sregex_iterator(info.begin(), info.end(), size_line); it != std::sregex_iterator();
         ++it)
        sizes.push_back((*it)[1]);
    return sizes;
}

// pdfimages -list rows: page, width, height, colour, components, bits, encoding.
std::vector<std::vector<std::string>> ImageRows(const std::string& pdf) {
    std::string list = Shell("pdfimages -list " + Quote(pdf) + " 2>/dev/null");
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(list);
    std::string line;
    for (int skip = 0; skip < 2 && std::getline(lines, line); ++skip) {
    }
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::vector<std::string> f(9);
        for (auto& field : f) fields >> field;
        rows.push_back({f[0], f[3], f[4], f[5], f[6], f[7], f[8]});
    }
    return rows;
}

bool QpdfAccepts(const std::string& pdf) {
    int status = 0;
    Shell("qpdf --check " + Quote(pdf) + " >/dev/null 2>&1", &status);
    return status == 0;
}

TEST_F(PdfTest, WritesOnePageOfThePicturesOwnSizePerListedPicture) {
    std::string list = Picture("c.bmp", Kind::Colour, 300, 150, 150) + "*" +
                       Picture("b.bmp", Kind::BlackWhite, 203, 400, 200) + "*" +
                       Picture("g.bmp", Kind::Grey, 96, 96, 0) + "*";
    std::string pdf_path = folder_.Path("doc.pdf");
    Cbmp2pdf pdf;
    pdf.setCompress(0);
    pdf.setCmQuality(80);
    pdf.setPageMargin(8.0, 8.0);
    pdf.originalSize();
    pdf.setFont("Times-Roman", 20);
    pdf.textOnPage(0);
    ProgressLog log;
    ASSERT_EQ(Write(pdf, list, 3, pdf_path, &log), 1);

    EXPECT_TRUE(QpdfAccepts(pdf_path));
    // 300 px at 150 dpi = 144 pt, plus 8 pt on each side; 96 px without resolution count as 96 dpi.
    EXPECT_EQ(PageSizes(pdf_path), (std::vector<std::string>{"160 x 88", "89.08 x 160", "88 x 88"}));
    auto rows = ImageRows(pdf_path);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"1", "300", "150", "rgb", "3", "8", "jpeg"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"2", "203", "400", "gray", "1", "1", "image"}));
    EXPECT_EQ(rows[2], (std::vector<std::string>{"3", "96", "96", "gray", "1", "8", "jpeg"}));
    EXPECT_EQ(log.calls, (std::vector<std::pair<unsigned long, unsigned long>>{{3, 1}, {3, 2}, {3, 3}}));
    EXPECT_EQ(last_word_, 3);

    // The black-and-white page is stored exactly, the colour page within JPEG's tolerance.
    int status = 0;
    Shell("cd " + Quote(folder_.Root()) + " && pdfimages " + Quote(pdf_path) + " img", &status);
    ASSERT_EQ(status, 0);
    Pnm bw, colour;
    ASSERT_TRUE(ReadPnm(ReadAll(folder_.Path("img-001.pbm")), &bw));
    EXPECT_EQ(Compare(bw, images_["b.bmp"]).largest, 0);
    Shell("cd " + Quote(folder_.Root()) + " && pdfimages -j " + Quote(pdf_path) +
          " jpg && djpeg -pnm jpg-000.jpg > c.ppm");
    ASSERT_TRUE(ReadPnm(ReadAll(folder_.Path("c.ppm")), &colour));
    EXPECT_LT(Compare(colour, images_["c.bmp"]).mean, 3.0);
}

TEST_F(PdfTest, LosslessModeAndFittingIntoA4) {
    std::string list = Picture("c.bmp", Kind::Colour, 120, 90, 72) + "*";
    std::string pdf_path = folder_.Path("a4.pdf");
    Cbmp2pdf pdf;
    pdf.setCompress(1);
    ProgressLog log;
    ASSERT_EQ(Write(pdf, list, 1, pdf_path, &log), 1);
    EXPECT_TRUE(QpdfAccepts(pdf_path));
    EXPECT_EQ(PageSizes(pdf_path), std::vector<std::string>{"841.89 x 595.276"});
    auto rows = ImageRows(pdf_path);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][6], "image");
    Shell("cd " + Quote(folder_.Root()) + " && pdfimages " + Quote(pdf_path) + " img");
    Pnm decoded;
    ASSERT_TRUE(ReadPnm(ReadAll(folder_.Path("img-000.ppm")), &decoded));
    EXPECT_EQ(Compare(decoded, images_["c.bmp"]).largest, 0);
}

TEST_F(PdfTest, PageNumbersInTheChosenStandardFont) {
    std::string list =
        Picture("a.bmp", Kind::Grey, 200, 200, 100) + "*" + Picture("b.bmp", Kind::Grey, 200, 200, 100) + "*";
    std::string pdf_path = folder_.Path("numbered.pdf");
    Cbmp2pdf pdf;
    pdf.originalSize();
    pdf.setFont("Helvetica", 12);
    pdf.textOnPage(1);
    ProgressLog log;
    ASSERT_EQ(Write(pdf, list, 2, pdf_path, &log), 1);
    EXPECT_TRUE(QpdfAccepts(pdf_path));
    EXPECT_NE(Shell("pdffonts " + Quote(pdf_path)).find("Helvetica"), std::string::npos);
    EXPECT_EQ(Shell("pdftotext -f 2 -l 2 " + Quote(pdf_path) + " - | tr -d '\\n\\f '"), "2");

    Cbmp2pdf unknown_font;
    unknown_font.setFont("Comic Sans", 12);
    unknown_font.textOnPage(1);
    ASSERT_EQ(Write(unknown_font, list, 2, pdf_path, &log), 1);
    EXPECT_NE(Shell("pdffonts " + Quote(pdf_path)).find("Times-Roman"), std::string::npos);
}

TEST_F(PdfTest, FailuresWriteNothing) {
    std::string a = Picture("a.bmp", Kind::Colour, 50, 40, 0);
    std::string target = folder_.Path("out.pdf");
    ProgressLog log;
    Cbmp2pdf pdf;
    int word = 0;
    // Malformed lists and counts that disagree with them.
    EXPECT_EQ(pdf.setFileList("", 1, &word, nullptr, 0), 0);
    EXPECT_EQ(pdf.setFileList((a + "**").c_str(), 1, &word, nullptr, 0), 0);
    EXPECT_EQ(pdf.setFileList((a + "*").c_str(), 2, &word, nullptr, 0), 0);
    EXPECT_EQ(pdf.setFileList(nullptr, 1, &word, nullptr, 0), 0);
    EXPECT_EQ(pdf.newMultiplePage(target.c_str(), 1, &word, nullptr, 0), 0);  // no list
    ASSERT_EQ(pdf.setFileList((a + "*" + a + "*").c_str(), 2, &word, nullptr, 0), 1);
    EXPECT_EQ(pdf.newMultiplePage(target.c_str(), 3, &word, nullptr, 0), 0);  // count differs
    EXPECT_FALSE(Exists(target));

    // A page that is missing or broken, and an unwritable target.
    std::string broken = folder_.Path("broken.bmp");
    WriteText(broken, ReadAll(a).substr(0, 80));
    EXPECT_EQ(Write(pdf, a + "*" + folder_.Path("gone.bmp") + "*", 2, target, &log), 0);
    EXPECT_EQ(Write(pdf, a + "*" + broken + "*", 2, target, &log), 0);
    EXPECT_EQ(Write(pdf, a + "*", 1, folder_.Path("no/such/folder.pdf"), &log), 0);
    EXPECT_FALSE(Exists(target));

    // Cancelled by the progress callback after the first of two pages; an older file stays.
    WriteText(target, "old");
    log.cancel_after = 1;
    EXPECT_EQ(Write(pdf, a + "*" + a + "*", 2, target, &log), 0);
    EXPECT_EQ(ReadAll(target), "old");
}

TEST(PageLayoutTest, OriginalSizeAndFitting) {
    // Original size: picture at its resolution plus margins.
    outside::PageLayout original = outside::ComputePageLayout(600, 300, 300, 150, 10, 5, true);
    EXPECT_DOUBLE_EQ(original.page_width, 144 + 20);
    EXPECT_DOUBLE_EQ(original.page_height, 144 + 10);
    EXPECT_DOUBLE_EQ(original.image_x, 10);
    EXPECT_DOUBLE_EQ(original.image_y, 5);

    // A picture larger than A4 is shrunk to fit inside the margins, keeping its proportions.
    outside::PageLayout big = outside::ComputePageLayout(2592, 1944, 0, 0, 8, 8, false);
    EXPECT_DOUBLE_EQ(big.page_width, outside::kA4Height);
    EXPECT_NEAR(big.image_width / big.image_height, 2592.0 / 1944.0, 1e-9);
    EXPECT_LE(big.image_width, outside::kA4Height - 16 + 1e-9);
    EXPECT_LE(big.image_height, outside::kA4Width - 16 + 1e-9);
    EXPECT_NEAR(big.image_x * 2 + big.image_width, big.page_width, 1e-9);

    // A small one is never enlarged; margins wider than the page still leave a picture.
    outside::PageLayout small = outside::ComputePageLayout(72, 144, 72, 72, 8, 8, false);
    EXPECT_DOUBLE_EQ(small.image_width, 72);
    EXPECT_DOUBLE_EQ(small.page_height, outside::kA4Height);
    outside::PageLayout squeezed = outside::ComputePageLayout(720, 720, 72, 72, 1000, -3, false);
    EXPECT_GT(squeezed.image_width, 0);
    EXPECT_GE(squeezed.image_y, 0);
}

TEST(PdfNumberTest, FormatsCompactlyWithAPoint) {
    // to_chars never uses a locale's decimal comma, which would break the page's content stream.
    EXPECT_EQ(outside::PdfNumber(595.2756), "595.276");
    EXPECT_EQ(outside::PdfNumber(8.0), "8");
    EXPECT_EQ(outside::PdfNumber(-0.0001), "0");
    EXPECT_EQ(outside::PdfNumber(12.5), "12.5");
    EXPECT_EQ(outside::PdfNumber(-3.25), "-3.25");
}

}  // namespace
