// vellumo-capture as a script sees it: a batch with bad pictures among good ones, and what it refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "ocr/cards/card_programs.h"
#include "tests/support/scratch_folder.h"

using test_support::ReadAll;
using test_support::ScratchFolder;

namespace {

struct Outcome {
    int exit_code = -1;
    std::string out;
    std::string err;
};

class CaptureCli : public ::testing::Test {
  protected:
    ScratchFolder dir;

    void SetUp() override { dir.MakeFolder("out"); }

    Outcome Capture(const QStringList& args, const QProcessEnvironment& extra = {}) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(extra);
        env.remove("VELLUMO_DEBUG");
        env.insert("TMPDIR", QString::fromStdString(dir.Path("")));
        // No card program registered (the shipped settings choose the explorer program, which is not
        // there): ours beside the program stands in. Cards are saved in the scratch documents folder.
        env.insert("VELLUMO_REGISTRY_MACHINE", QString::fromStdString(dir.Path("registry.ini")));
        env.insert("VELLUMO_USER_DOCUMENTS", QString::fromStdString(dir.Path("documents")));
        process.setProcessEnvironment(env);
        process.start(QString(VELLUMO_BIN_DIR) + "/vellumo-capture", args);
        EXPECT_TRUE(process.waitForFinished(120000));
        return {process.exitCode(), process.readAllStandardOutput().toStdString(),
                process.readAllStandardError().toStdString()};
    }

    // Every name in the output folder, hidden ones too: a writer's leftovers would show here.
    std::vector<std::string> OutFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path("out")))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // A light page on a darker desk, written as `format`.
    std::string Photo(const std::string& name, const char* format) const {
        QImage image(400, 300, QImage::Format_RGB888);
        image.fill(QColor(60, 60, 60));
        for (int y = 40; y < 260; ++y)
            for (int x = 60; x < 340; ++x) image.setPixelColor(x, y, QColor(235, 235, 230));
        const std::string path = dir.Path(name);
        EXPECT_TRUE(image.save(QString::fromStdString(path), format));
        return path;
    }
};

int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

}  // namespace

TEST_F(CaptureCli, BadPicturesGetALineEachAndTheRestOfTheBatchIsDone) {
    const std::string good_png = Photo("good.png", "PNG");
    const std::string good_jpeg = Photo("good.jpg", "JPEG");
    const std::string jpeg = ReadAll(good_jpeg);
    const std::string truncated = dir.Write("truncated.jpg", jpeg.substr(0, jpeg.size() / 2));
    const std::string text = dir.Write("notes.jpg", "not a picture at all\n");
    // A PNG header that claims 20000 x 20000 pixels: refused from the header, before any decoding.
    const std::string huge = dir.Write(
        "huge.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x4e\x20\0\0\x4e\x20\x08\x02\0\0\0"
                                "\x6c\x12\xd1\x6e\0\0\0\0IDAT\x35\xaf\x06\x1e",
                                45));
    const Outcome run = Capture(
        {"--from", QString::fromStdString(good_png), QString::fromStdString(dir.Path("missing.jpg")),
         QString::fromStdString(truncated), QString::fromStdString(text), QString::fromStdString(huge),
         QString::fromStdString(dir.MakeFolder("scans")), QString::fromStdString(good_jpeg), "--out",
         QString::fromStdString(dir.Path("out")), "--format", "bmp"});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(Lines(run.err), 5) << run.err;
    EXPECT_NE(run.err.find("scans: a folder, not a picture"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("missing.jpg: no such picture"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("truncated.jpg: damaged"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("notes.jpg: not a picture"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("huge.png: too large"), std::string::npos) << run.err;
    EXPECT_EQ(Lines(run.out), 2) << run.out;

    const std::vector<std::string> files = OutFiles();
    ASSERT_EQ(files.size(), 2u) << "the two good pictures, nothing else";
    for (const std::string& file : files) {
        EXPECT_EQ(file.substr(file.size() - 4), ".bmp") << file;
        QImage saved(QString::fromStdString(dir.Path("out/" + file)));
        EXPECT_EQ(saved.size(), QSize(400, 300)) << file;
    }
    EXPECT_NE(files[0], files[1]) << "each picture its own number";
    EXPECT_NE(run.out.find("good.png -> " + dir.Path("out/") + files[0]), std::string::npos) << run.out;
}

TEST_F(CaptureCli, RefusesAFolderItCannotWriteAndAWrongCommandLine) {
    const std::string photo = Photo("page.png", "PNG");
    const std::string read_only = dir.MakeFolder("read-only");
    ::chmod(read_only.c_str(), 0555);
    Outcome locked =
        Capture({"--from", QString::fromStdString(photo), "--out", QString::fromStdString(read_only)});
    ::chmod(read_only.c_str(), 0755);
    if (::geteuid() != 0) {  // root writes anywhere
        EXPECT_EQ(locked.exit_code, 1);
        EXPECT_NE(locked.err.find("cannot write to this folder"), std::string::npos) << locked.err;
        EXPECT_EQ(Lines(locked.err), 1) << locked.err;
    }
    Outcome nowhere =
        Capture({"--from", QString::fromStdString(photo), "--out", QString::fromStdString(dir.Path("none"))});
    EXPECT_EQ(nowhere.exit_code, 1);
    EXPECT_NE(nowhere.err.find("no such folder"), std::string::npos) << nowhere.err;

    for (const QStringList& wrong : {QStringList{"--from", "a.jpg", "--out", "x", "--colour"},
                                     QStringList{"--from", "a.jpg", "--out", "x", "--format", "gif"},
                                     QStringList{"--from", "a.jpg", "--out", "x", "--language", "Klingonese"},
                                     QStringList{"--out", "x"}, QStringList{"--from", "a.jpg"}}) {
        Outcome run = Capture(wrong);
        EXPECT_EQ(run.exit_code, 2) << wrong.join(' ').toStdString();
        EXPECT_EQ(Lines(run.err), 2) << run.err;  // what is wrong, and where the help is
    }
    // A language named as people name it is offered the dialog's names for it.
    Outcome portuguese = Capture({"--from", "a.jpg", "--out", "x", "--language", "portuguese"});
    EXPECT_EQ(portuguese.exit_code, 2);
    EXPECT_NE(portuguese.err.find("did you mean PortugueseStandard, PortugueseBrazilian?"), std::string::npos)
        << portuguese.err;
    // The engine's name is taken too: the command line is right, the picture missing.
    Outcome chinese = Capture({"--from", "a.jpg", "--out", QString::fromStdString(dir.Path("out")),
                               "--language", "chineseprc_english"});
    EXPECT_EQ(chinese.exit_code, 1) << chinese.err;
    EXPECT_TRUE(OutFiles().empty());
}

// The gathered PDF takes every good picture, in order, as one document of that many pages.
TEST_F(CaptureCli, GathersGoodPicturesIntoOnePdf) {
    const std::string a = Photo("a.png", "PNG"), b = Photo("b.jpg", "JPEG");
    Outcome run = Capture({"--from", QString::fromStdString(a), QString::fromStdString(dir.Path("gone.png")),
                           QString::fromStdString(b), "--out", QString::fromStdString(dir.Path("out")),
                           "--format", "pdf-gathered"});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    const std::vector<std::string> files = OutFiles();
    ASSERT_EQ(files.size(), 1u) << run.out << run.err;
    QProcess info;
    info.start("pdfinfo", {QString::fromStdString(dir.Path("out/" + files[0]))});
    ASSERT_TRUE(info.waitForFinished(30000));
    const std::string pdf = info.readAllStandardOutput().toStdString();
    const size_t pages = pdf.find("Pages:");
    ASSERT_NE(pages, std::string::npos) << pdf;
    EXPECT_EQ(std::stoi(pdf.substr(pages + 6)), 2) << pdf;
}

TEST_F(CaptureCli, CardsGoToTheCardProgramThatIsThereAndBecomeAContact) {
    dir.MakeFolder("documents");
    const std::string card = std::string(VELLUMO_SOURCE_DIR) + "/tests/data/cards/contoso-avery-smith.jpg";
    Outcome run = Capture({"--from", QString::fromStdString(card), "--out",
                           QString::fromStdString(dir.Path("out")), "--cards"});
    ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("the cards went to the business-card program"), std::string::npos) << run.out;
    // The card program reads the card after the capture has ended.
    const std::filesystem::path cards = dir.Path("documents/Vellumo Cards");
    std::string vcard;
    for (int waited = 0; vcard.empty() && waited < 600; ++waited) {
        if (std::filesystem::is_directory(cards))
            for (const auto& entry : std::filesystem::directory_iterator(cards))
                vcard = ReadAll(entry.path().string());
        if (vcard.empty()) QThread::msleep(100);
    }
    EXPECT_NE(vcard.find("\nN:Smith;Avery;"), std::string::npos) << vcard;
    EXPECT_NE(vcard.find("EMAIL;TYPE=INTERNET:avery.smith@contoso.com"), std::string::npos) << vcard;
}

// The cards are read in the language the command line gives: the card program is told it (a registered
// one here, a double keeping the import file it was handed); a language it reads no cards in is refused.
TEST_F(CaptureCli, CardsGoToTheCardProgramInTheLanguageGiven) {
    dir.MakeFolder("programs");
    std::filesystem::copy_file(std::string(CLI_DOUBLES_DIR) + "/card_program_double.sh",
                               dir.Path("programs/") + ocr::kCardProgramName);
    std::ofstream(dir.Path("registry.ini")) << "[" << ocr::kUninstallKey << ocr::kCardProgramGuid
                                            << "]\nInstallLocation=" << dir.Path("programs") << "\n";
    QProcessEnvironment record;
    record.insert("ZORVEX_DOUBLE_RECORD", QString::fromStdString(dir.Path("handed")));
    const QString card =
        QString::fromStdString(std::string(VELLUMO_SOURCE_DIR) + "/tests/data/cards/contoso-avery-smith.jpg");
    const QString out = QString::fromStdString(dir.Path("out"));
    Outcome run =
        Capture({"--from", card, "--out", out, "--cards", "--language", "PortugueseBrazilian"}, record);
    ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
    EXPECT_NE(ReadAll(dir.Path("handed.ini")).find("Lang=PT\r\n"), std::string::npos);

    Outcome refused = Capture({"--from", card, "--out", out, "--cards", "--language", "Bulgarian"}, record);
    EXPECT_EQ(refused.exit_code, 2);
    EXPECT_NE(refused.err.find("reads no cards in Bulgarian (it reads English, "), std::string::npos)
        << refused.err;
}
