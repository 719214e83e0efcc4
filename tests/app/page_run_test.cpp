// Hands-free capture of a stack of letters from end to end: the real program on the virtual camera's
// page-turn scene, auto-capture on, pages gathered into one PDF, the page strip used before Finish. Each
// page of the written PDF is told by comparing it with the stack's printed letters.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "tests/support/program_environment.h"
#include "tests/support/scratch_folder.h"
#include "virtualcam/scenes/page_stack.h"

using test_support::ScratchFolder;

namespace {

struct Letter {
    int number = 0;       // 1-based letter of the stack; 0 when no letter matches clearly
    bool upright = true;  // taller than wide, as the letters are printed
};

// The letter a page of the PDF shows; a page lying on its side is stood up first (the strip turns clockwise).
Letter ReadLetter(const QImage& page) {
    Letter letter;
    QImage rgb = page.convertToFormat(QImage::Format_BGR888);
    letter.upright = rgb.height() >= rgb.width();
    const cv::Mat mat(rgb.height(), rgb.width(), CV_8UC3, rgb.bits(),
                      static_cast<size_t>(rgb.bytesPerLine()));
    cv::Mat upright = mat.clone();
    if (!letter.upright) cv::rotate(mat, upright, cv::ROTATE_90_COUNTERCLOCKWISE);
    letter.number = virtualcam::MatchStackPage(upright, cv::Size(640, 480)).page + 1;  // the capture size
    return letter;
}

class PageRun : public ::testing::Test {
  protected:
    ScratchFolder dir;

    void SetUp() override {
        for (const char* folder : {"common", "home/Documents", "lock", "tmp"}) dir.MakeFolder(folder);
    }

    // Runs the program with the script on the stack scene; its stderr.
    std::string Run(const std::string& script, int timeout_ms) {
        dir.Write("script.txt", script);
        QProcessEnvironment env = test_support::ProgramEnvironment(dir, dir.Path("script.txt"));
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir.Path("tmp")));
        env.insert("VELLUMO_VIRTUALCAM", "1");
        env.insert("VELLUMO_VIRTUALCAM_SCENE", "stack");
        env.insert("VELLUMO_DEBUG", "1");
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QString::fromStdString(std::string(VELLUMO_BIN_DIR) + "/Vellumo"), {});
        EXPECT_TRUE(process.waitForStarted(10000));
        if (!process.waitForFinished(timeout_ms)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "the program did not end";
        }
        return process.readAllStandardError().toStdString();
    }

    // The letters of the one PDF the run wrote, page by page.
    std::vector<Letter> Letters(const std::string& log) {
        const QDir saved(QString::fromStdString(dir.Path("home/Desktop/Vellumo")));
        const QStringList pdfs = saved.entryList({"*.pdf"}, QDir::Files);
        EXPECT_EQ(pdfs.size(), 1) << log;
        if (pdfs.size() != 1) return {};
        const QString pdf = saved.filePath(pdfs[0]);
        QProcess check;
        check.start("qpdf", {"--check", pdf});
        EXPECT_TRUE(check.waitForFinished(60000));
        EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString();
        dir.MakeFolder("pages");
        QProcess images;
        images.start("pdfimages", {"-png", pdf, QString::fromStdString(dir.Path("pages/p"))});
        EXPECT_TRUE(images.waitForFinished(120000));
        const QDir pages(QString::fromStdString(dir.Path("pages")));
        std::vector<Letter> letters;
        for (const QString& name : pages.entryList({"p-*.png"}, QDir::Files, QDir::Name))
            letters.push_back(ReadLetter(QImage(pages.filePath(name))));
        return letters;
    }
};

std::vector<int> Numbers(const std::vector<Letter>& letters) {
    std::vector<int> numbers;
    for (const Letter& l : letters) numbers.push_back(l.number);
    return numbers;
}

// Auto-capture on (deskew is on by default), the gathered PDF chosen; the capture command auto-capture
// starts from is the view's, then the series dialog's next-page button.
const char* kStart = "await live 20000\ncommand 833\ncommand 1132\ncommand 808\n";
const char* kFinish = "press 1001 60000\nawait ready 60000\nanswer Cancel\nclose\n";

}  // namespace

// Pages turned by script, each with a hand passing over: every letter once, in order, none missed.
TEST_F(PageRun, TurnedPagesBecomeOnePdfInOrder) {
    constexpr int kPages = 5;
    std::string script = kStart;
    for (int page = 1; page <= kPages; ++page) {
        if (page > 1) script += "camera next\n";
        script += "await captured:" + std::to_string(page) + " 60000\n";
    }
    script += kFinish;
    const std::string log = Run(script, 240000);
    EXPECT_EQ(log.find("TIMED OUT"), std::string::npos) << log;
    std::vector<int> expected;
    for (int page = 1; page <= kPages; ++page) expected.push_back(page);
    EXPECT_EQ(Numbers(Letters(log)), expected) << log;
}

// The strip's drag, move, delete, turn and retake before Finish are what the PDF holds.
TEST_F(PageRun, TheStripsReviewIsWhatThePdfHolds) {
    std::string script = kStart;
    for (int page = 1; page <= 4; ++page) {
        if (page > 1) script += "camera next\n";
        script += "await captured:" + std::to_string(page) + " 60000\n";
    }
    // 1 2 3 4 -> (dragged) 4 1 2 3 -> 1 4 2 3 -> 1 4 3 -> letter 4 turned -> the fifth letter in the third
    // place, taken twice there.
    script += "strip drag:1 4 60000\nstrip down 1 60000\nstrip delete 3 60000\n";
    script += "strip turn 2 60000\nstrip retake 3 60000\n";
    script += "camera next\nawait captured:5 60000\n";
    // A retake of the newest page takes the page still lying there again, in its own place.
    script += "strip retake 3 60000\nawait captured:6 60000\n";
    script += "screenshot " + dir.Path("strip.png") + "\n";
    script += kFinish;
    const std::string log = Run(script, 240000);
    EXPECT_EQ(log.find("TIMED OUT"), std::string::npos) << log;
    const std::vector<Letter> letters = Letters(log);
    EXPECT_EQ(Numbers(letters), (std::vector<int>{1, 4, 5})) << log;
    ASSERT_EQ(letters.size(), 3u);
    EXPECT_TRUE(letters[0].upright);
    EXPECT_FALSE(letters[1].upright);
    EXPECT_TRUE(letters[2].upright);
}

// An OCR series taken hands-free at the default capture size (the stream held there), a page deleted in
// the strip: the recognised text holds the pages left, in the strip's order.
TEST_F(PageRun, AnOcrSeriesTakesTheStripsPagesInOrder) {
    // The series switch (1011) on, TXT gathering all pages by default; the first page taken by the OCR
    // capture command (1021), counted with the run's pages and not taken again; the others hands-free.
    std::string script = "await live 20000\ncommand 1132\ncommand 1011\ncommand 1021\n";
    for (int page = 1; page <= 3; ++page) {
        if (page > 1) script += "camera next\n";
        script += "await captured:" + std::to_string(page) + " 60000\n";
    }
    script += "strip drag:1 3 60000\nstrip delete 2 60000\n";
    script += "press 1006 60000\nawait ready 120000\nanswer Cancel\nclose\n";
    const std::string log = Run(script, 300000);
    EXPECT_EQ(log.find("TIMED OUT"), std::string::npos) << log;
    EXPECT_NE(log.find("[handsfree] the stream goes to 2592x1944"), std::string::npos) << log;
    EXPECT_EQ(log.find("after a switch of sizes"), std::string::npos) << log;
    const QStringList texts =
        QDir(QString::fromStdString(dir.Path("home/Desktop/Vellumo"))).entryList({"*.txt"}, QDir::Files);
    ASSERT_EQ(texts.size(), 1) << log;
    QFile file(QString::fromStdString(dir.Path("home/Desktop/Vellumo/")) + texts[0]);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string text = file.readAll().toStdString();
    // 1 2 3 -> (dragged) 3 1 2 -> 3 2.
    const size_t third = text.find("Letter 3"), second = text.find("Letter 2");
    EXPECT_NE(third, std::string::npos) << text;
    EXPECT_NE(second, std::string::npos) << text;
    EXPECT_LT(third, second) << text;
    EXPECT_EQ(text.find("Letter 1 of"), std::string::npos) << text;
}
