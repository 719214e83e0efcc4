// Start-up and shutdown of the real program, driven by scripts on the offscreen platform.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "pipeline/capture/capture_file.h"
#include "tests/support/program_environment.h"
#include "tests/support/scratch_folder.h"

using test_support::Exists;
using test_support::ReadAll;
using test_support::ScratchFolder;

namespace {

struct Result {
    bool finished = false;
    int exit_code = -1;
    std::string err;
};

class Startup : public ::testing::Test {
  protected:
    ScratchFolder dir;
    std::string program = std::string(VELLUMO_BIN_DIR) + "/Vellumo";
    std::vector<std::pair<std::string, std::string>> env_overrides;

    QProcessEnvironment Environment(const std::string& script_name) const {
        QProcessEnvironment env = test_support::ProgramEnvironment(dir, dir.Path(script_name));
        env.remove("VELLUMO_DEBUG");
        for (const auto& [name, value] : env_overrides)
            env.insert(name.c_str(), QString::fromStdString(value));
        return env;
    }

    void SetUp() override {
        for (const char* folder : {"common", "home/Documents", "lock"}) dir.MakeFolder(folder);
    }

    void Start(QProcess& process, const std::string& script_name, const std::string& script,
               const std::string& exe = "") {
        dir.Write(script_name, script);
        process.setProcessEnvironment(Environment(script_name));
        process.start(QString::fromStdString(exe.empty() ? program : exe), {});
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    // Generous: a script's own waits are bounded and end it; this only catches a program that hangs.
    Result Finish(QProcess& process, int timeout_ms = 100000) {
        Result result;
        result.finished = process.waitForFinished(timeout_ms);
        if (!result.finished) process.kill(), process.waitForFinished();
        result.exit_code = process.exitCode();
        result.err = process.readAllStandardError().toStdString();
        return result;
    }

    Result Run(const std::string& script, const std::string& exe = "") {
        QProcess process;
        Start(process, "script.txt", script, exe);
        return Finish(process);
    }

    std::string WorkingIni() const { return dir.Path("common/Vellumo/Vellumo.ini"); }
};

int CountLines(const std::string& text, const std::string& needle) {
    int count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++count;
    return count;
}

}  // namespace

TEST_F(Startup, FirstRunSettlesSettingsShowsTheWindowAndAsksBeforeSaving) {
    std::string shot = dir.Path("window.png");
    Result first = Run("wait 200\ncommand 57664\nwait 200\nscreenshot " + shot + "\nanswer Cancel\nclose\n");
    ASSERT_TRUE(first.finished) << first.err;
    EXPECT_EQ(first.exit_code, 0);
    EXPECT_EQ(first.err.find("is not available"), std::string::npos) << first.err;

    QImage image(QString::fromStdString(shot));
    ASSERT_FALSE(image.isNull()) << first.err;
    EXPECT_GT(image.width(), 100);

    // The working copy is the shipped file, untouched because the user said Cancel.
    EXPECT_EQ(ReadAll(WorkingIni()), ReadAll(std::string(VELLUMO_BIN_DIR) + "/Vellumo.ini"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path("home/Desktop/Vellumo")))
        << "made with its missing parent";
    // No camera is warned about once; the empty SAVEPATH became the desktop folder, a change worth asking
    // about.
    EXPECT_EQ(CountLines(first.err, "icon=warning"), 1) << first.err;
    EXPECT_EQ(CountLines(first.err, "icon=question"), 1) << first.err;
    EXPECT_NE(first.err.find("buttons=OKCancel icon=question answer=Cancel"), std::string::npos) << first.err;

    Result second = Run("answer OK\nclose\n");
    ASSERT_TRUE(second.finished);
    EXPECT_EQ(CountLines(second.err, "icon=question"), 1) << second.err;
    EXPECT_NE(ReadAll(WorkingIni()).find("SAVEPATH=" + dir.Path("home/Desktop/Vellumo/") + "\r\n"),
              std::string::npos);

    Result third = Run("close\n");
    ASSERT_TRUE(third.finished);
    EXPECT_EQ(CountLines(third.err, "icon=question"), 0) << "nothing changed, nothing asked: " << third.err;
}

TEST_F(Startup, ASecondCopyRaisesTheFirstWindowAndEndsWithoutOne) {
    QProcess first;
    env_overrides = {{"VELLUMO_DEBUG", "1"}};
    Start(first, "first.txt", "screenshot " + dir.Path("first.png") + "\nawait raised 60000\nclose\n");
    for (int i = 0; i < 200 && !Exists(dir.Path("first.png")); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(Exists(dir.Path("first.png")));

    Result second = Run("screenshot " + dir.Path("second.png") + "\nclose\n");
    EXPECT_TRUE(second.finished);
    EXPECT_EQ(second.exit_code, 0);
    EXPECT_FALSE(Exists(dir.Path("second.png")));
    EXPECT_EQ(second.err.find("MESSAGEBOX"), std::string::npos) << second.err;
    EXPECT_NE(second.err.find("it was asked to come to the front"), std::string::npos) << second.err;

    Result first_result = Finish(first);
    EXPECT_TRUE(first_result.finished);
    EXPECT_EQ(CountLines(first_result.err, "SCRIPT await raised met"), 1) << first_result.err;
}

// Help and version are answered without the lock, the settings or a window.
TEST_F(Startup, HelpAndVersionPrintAndEnd) {
    for (const char* option : {"--version", "--help"}) {
        QProcess process;
        process.setProcessEnvironment(Environment("none.txt"));
        process.start(QString::fromStdString(program), {option});
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitCode(), 0);
        const std::string out = process.readAllStandardOutput().toStdString();
        if (std::string(option) == "--version")
            EXPECT_EQ(out, std::string("Vellumo ") + VELLUMO_VERSION + "\n");
        else
            EXPECT_NE(out.find("Usage: Vellumo"), std::string::npos) << out;
    }
    EXPECT_FALSE(Exists(WorkingIni()));
}

TEST_F(Startup, ALockThatCannotBeMadeDoesNotKeepTheProgramFromStarting) {
    env_overrides = {{"VELLUMO_LOCK_DIR", dir.Path("no/such/folder")}};
    Result result = Run("screenshot " + dir.Path("shot.png") + "\nanswer Cancel\nclose\n");
    EXPECT_TRUE(result.finished);
    EXPECT_TRUE(Exists(dir.Path("shot.png"))) << result.err;
}

TEST_F(Startup, MissingOrCorruptResourceLibraryStopsWithAMessage) {
    std::string folder = dir.MakeFolder("program");
    std::filesystem::copy_file(program, folder + "/Vellumo");
    std::filesystem::copy_file(std::string(VELLUMO_BIN_DIR) + "/Vellumo.ini", folder + "/Vellumo.ini");
    // The image libraries the program is linked with come along, as in any installed program folder.
    for (const auto& entry : std::filesystem::directory_iterator(VELLUMO_BIN_DIR))
        if (entry.path().extension() == ".dll" && entry.path().filename() != "VellumoRes.dll")
            std::filesystem::copy_file(entry.path(), folder + "/" + entry.path().filename().string());
    const std::string expected =
        "MESSAGEBOX caption=\"Error\" text=\"Can't find VellumoRes.dll.\" buttons=OK icon=stop answer=OK";

    for (bool corrupt : {false, true}) {
        if (corrupt) dir.Write("program/VellumoRes.dll", std::string(4096, '\x7f'));
        Result result = Run("screenshot " + dir.Path("shot.png") + "\nclose\n", folder + "/Vellumo");
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exit_code, 0);
        EXPECT_NE(result.err.find(expected), std::string::npos) << result.err;
        EXPECT_FALSE(Exists(dir.Path("shot.png"))) << "no window";
    }
}

TEST_F(Startup, HelpOpensTheHelpFileWithTheDesktopHandler) {
    // Written under another name and renamed, so the file is never seen half written.
    std::string opener =
        dir.Write("opener.sh", "#!/bin/sh\nprintf '%s' \"$1\" > \"" + dir.Path("opening") + "\"\n" + "mv \"" +
                                   dir.Path("opening") + "\" \"" + dir.Path("opened") + "\"\n");
    ::chmod(opener.c_str(), 0755);
    qputenv("VELLUMO_OPENER", QByteArray::fromStdString(opener));
    Result result = Run("command 1024\nwait 500\nanswer Cancel\nclose\n");
    qunsetenv("VELLUMO_OPENER");
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(ReadAll(dir.Path("opened")), std::string(VELLUMO_BIN_DIR) + "/Vellumo.html");
}

namespace {

// Mean grey of a 60 x 60 patch at the centre of a screenshot, where the view shows the page.
double CentreGrey(const QImage& image) {
    double sum = 0;
    const int x0 = image.width() / 2 - 30, y0 = image.height() / 2 + 20;
    for (int y = y0; y < y0 + 60; ++y)
        for (int x = x0; x < x0 + 60; ++x) sum += qGray(image.pixel(x, y));
    return sum / 3600;
}

}  // namespace

TEST_F(Startup, TheVirtualCameraPulledOutAndPluggedBackShowsThePictureAgainAtTheUsersBrightness) {
    // A dimmer picture than the camera's own power-up brightness (128), which paints the page near 215.
    std::string ini = ReadAll(std::string(VELLUMO_BIN_DIR) + "/Vellumo.ini");
    const size_t at = ini.find("Brightness=128");
    ASSERT_NE(at, std::string::npos);
    ini.replace(at, 14, "Brightness=60");
    dir.MakeFolder("common/Vellumo");
    dir.Write("common/Vellumo/Vellumo.ini", ini);
    env_overrides = {{"VELLUMO_VIRTUALCAM", "1"}};
    const std::string before = dir.Path("before.png"), during = dir.Path("during.png"),
                      after = dir.Path("after.png");
    Result result =
        Run("await live 20000\nscreenshot " + before + "\ncamera unplug\nawait empty 20000\nscreenshot " +
            during + "\ncamera plug\nawait live 20000\nscreenshot " + after + "\nanswer Cancel\nclose\n");
    ASSERT_TRUE(result.finished) << result.err;
    EXPECT_EQ(CountLines(result.err, "SCRIPT await live met"), 2) << result.err;
    EXPECT_EQ(CountLines(result.err, "SCRIPT await empty met"), 1) << result.err;

    const double shown = CentreGrey(QImage(QString::fromStdString(before)));
    EXPECT_LT(shown, 195) << "the stored brightness reached the camera";
    EXPECT_LT(CentreGrey(QImage(QString::fromStdString(during))), 5)
        << "the view is empty while the camera is out";
    EXPECT_NEAR(CentreGrey(QImage(QString::fromStdString(after))), shown, 4)
        << "and the brightness is back after";
}

// The whole still path of the real program on the virtual camera: the capture command switches to the
// capture size, the page is found and saved as the next numbered JPEG; then three pages gathered through the
// page dialog become one PDF of three pages, and the pictures waiting for it are gone afterwards.
TEST_F(Startup, CapturesAJpegThenGathersThreePagesIntoOnePdf) {
    dir.MakeFolder("tmp");
    env_overrides = {{"VELLUMO_VIRTUALCAM", "1"}, {"XDG_RUNTIME_DIR", dir.Path("tmp")}};
    Result result =
        Run("await live 20000\n"
            "command 807\ncommand 800\nawait ready 60000\n"            // JPEG
            "command 808\ncommand 800\npress 1002 60000\n"             // PDF, pages gathered: next page ...
            "press 1002 60000\npress 1001 60000\nawait ready 60000\n"  // ... and finish after the third
            "answer Cancel\nclose\n");
    ASSERT_TRUE(result.finished) << result.err;
    EXPECT_EQ(CountLines(result.err, "TIMED OUT"), 0) << result.err;

    const std::string folder = dir.Path("home/Desktop/Vellumo/");
    ASSERT_TRUE(Exists(folder + "Doc0001.jpg")) << result.err;
    QImage jpeg(QString::fromStdString(folder + "Doc0001.jpg"));
    ASSERT_FALSE(jpeg.isNull());
    // The page was found and cut out of the desk: upright, not the whole 2592 x 1944 frame, and light.
    EXPECT_LT(jpeg.width(), 2592);
    EXPECT_GT(jpeg.height(), jpeg.width());
    EXPECT_GT(qGray(jpeg.pixel(jpeg.width() / 8, jpeg.height() / 8)), 150);

    // The PDF takes the next number among PDFs; qpdf checks its structure, pdfimages counts its pages'
    // pictures.
    const std::string pdf = folder + "Doc0001.pdf";
    ASSERT_TRUE(Exists(pdf)) << result.err;
    EXPECT_EQ(std::system(("qpdf --check '" + pdf + "' >/dev/null").c_str()), 0);
    QProcess images;
    images.start("pdfimages", {"-list", QString::fromStdString(pdf)});
    ASSERT_TRUE(images.waitForFinished(20000));
    EXPECT_EQ(CountLines(images.readAllStandardOutput().toStdString(), " image "), 3);
    int left = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path("tmp/Vellumo")))
        if (entry.path().extension() == ".bmp") ++left;
    EXPECT_EQ(left, 0) << "every page picture is deleted once the document is written";
}

// Text recognition and business cards from the capture commands: the page's text reaches a numbered text
// document through the OCR engine; two cards on the desk become two vCards through the card program.
TEST_F(Startup, RecognisesAPageIntoTextAndHandsTwoCardsToTheCardProgram) {
    dir.MakeFolder("tmp");
    env_overrides = {{"VELLUMO_VIRTUALCAM", "1"}, {"XDG_RUNTIME_DIR", dir.Path("tmp")}};
    Result page = Run("await live 20000\ncommand 1021\nawait ready 120000\nanswer Cancel\nclose\n");
    ASSERT_TRUE(page.finished) << page.err;
    EXPECT_EQ(CountLines(page.err, "TIMED OUT"), 0) << page.err;
    const std::string text = ReadAll(dir.Path("home/Desktop/Vellumo/Doc0001.txt"));
    EXPECT_NE(text.find("committee"), std::string::npos) << text;
    EXPECT_NE(text.find("budget"), std::string::npos) << text;

    env_overrides.push_back({"VELLUMO_VIRTUALCAM_SCENE", "cards:2"});
    Result cards = Run("await live 20000\ncommand 1069\nawait ready 120000\nanswer Cancel\nclose\n");
    ASSERT_TRUE(cards.finished) << cards.err;
    EXPECT_EQ(CountLines(cards.err, "TIMED OUT"), 0) << cards.err;
    // The card program goes on by itself once it has taken the pictures over; wait for its cards.
    const std::string folder = dir.Path("home/Documents/Vellumo Cards");
    auto count_vcards = [&] {
        int vcards = 0;
        if (std::filesystem::is_directory(folder))
            for (const auto& entry : std::filesystem::directory_iterator(folder))
                if (entry.path().extension() == ".vcf" &&
                    ReadAll(entry.path().string()).find("END:VCARD") != std::string::npos)
                    ++vcards;
        return vcards;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (count_vcards() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(count_vcards(), 2) << cards.err;
    int left = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path("tmp/Vellumo")))
        if (entry.path().extension() == ".bmp") ++left;
    EXPECT_EQ(left, 0) << "the card pictures are deleted once the card program has them";
}

// Pages an earlier run left behind (it was killed before the document was written) are saved as pictures
// at the next start, and the user is told; a SIGTERM during a recording finishes its file.
TEST_F(Startup, LeftoverPagesAreSavedAtTheNextStartAndATerminatedRecordingIsFinished) {
    dir.MakeFolder("tmp/Vellumo");
    std::vector<uint8_t> pixels(64 * 48 * 3, 90);
    ASSERT_TRUE(pipeline::WriteCaptureFile(dir.Path("tmp/Vellumo/Kvo~Vellumo-page1.bmp"),
                                           {pixels.data(), pixels.size(), 64, 48}, {}, {}, 2154));
    env_overrides = {{"VELLUMO_VIRTUALCAM", "1"}, {"XDG_RUNTIME_DIR", dir.Path("tmp")}};

    QProcess process;
    Start(process, "script.txt", "await live 20000\ncommand 1030\nwait 120000\n");
    const std::string video = dir.Path("home/Desktop/Vellumo/Doc0001.avi");
    // Terminated once the recording has frames in its file.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline &&
           (!Exists(video) || std::filesystem::file_size(video) < 5000000))
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    process.terminate();
    Result result = Finish(process);
    ASSERT_TRUE(result.finished) << result.err;
    EXPECT_EQ(result.exit_code, 0) << result.err;

    EXPECT_TRUE(Exists(dir.Path("home/Desktop/Vellumo/Doc0001.bmp"))) << result.err;
    EXPECT_FALSE(Exists(dir.Path("tmp/Vellumo/Kvo~Vellumo-page1.bmp")));
    EXPECT_EQ(CountLines(result.err, "MESSAGEBOX"), 1)
        << "only the leftover pages are told; no question at a signal\n"
        << result.err;
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0",
                            QString::fromStdString(video)});
    ASSERT_TRUE(probe.waitForFinished(20000));
    EXPECT_GT(probe.readAllStandardOutput().toDouble(), 0.3) << "the recording was not finished";
}
