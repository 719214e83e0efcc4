// The main frame as a user meets it: the ribbon from the shipped layout, its buttons running commands and
// showing their state, the look kept across starts, the accelerators, and messages from other threads.
#include "app/mainframe/main_frame.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTest>
#include <QThread>
#include <QToolButton>
#include <atomic>
#include <thread>

#include "app/resources/resource_library.h"
#include "app/ribbon/ribbon_bar.h"
#include "app/ribbon/ribbon_loader.h"
#include "app/view/vellumo_view.h"
#include "platform/files/files.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/wait_until.h"

namespace {

class MainFrameTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { SetAppResources(ResourceLibrary::LoadFrom(VELLUMO_BIN_DIR)); }
    static void TearDownTestSuite() { SetAppResources(std::nullopt); }

    std::unique_ptr<CMainFrame> MakeFrame() {
        auto frame = std::make_unique<CMainFrame>();
        frame->LoadRibbon(*AppResources()->FindResource(kResourceRibbon, 307));
        frame->resize(1100, 700);
        return frame;
    }

    QColor RibbonColour(CMainFrame& frame) {
        QImage image = frame.RibbonBar()->grab().toImage();
        return image.pixelColor(image.width() - 3, image.height() / 2);
    }

    test_support::ScratchFolder scratch_;
    test_support::ScopedEnv registry_{"VELLUMO_REGISTRY_USER", scratch_.Path("registry.ini")};
};

TEST_F(MainFrameTest, RibbonShowsTheLayoutAndRunsAndRefreshesItsCommands) {
    auto frame = MakeFrame();
    CRibbonBar* ribbon = frame->RibbonBar();
    ASSERT_GE(ribbon->CategoryCount(), 3);
    EXPECT_EQ(ribbon->CategoryName(0).toStdString(), LoadResString(126));

    int captures = 0;
    bool capture_enabled = false;
    frame->Commands().Add(
        800, [&] { ++captures; },
        [&](CommandState& state) {
            state.enabled = capture_enabled;
            state.text = "Take Picture";
        });
    auto* capture = ribbon->findChild<QToolButton*>("800");
    ASSERT_NE(capture, nullptr);
    ribbon->RefreshCommands();
    EXPECT_FALSE(capture->isEnabled());
    EXPECT_EQ(capture->text().simplified().toStdString(), "Take Picture");

    capture_enabled = true;
    ribbon->RefreshCommands();
    QTest::mouseClick(capture, Qt::LeftButton);
    EXPECT_EQ(captures, 1);

    // A button nobody handles is shown disabled rather than doing nothing when pressed.
    auto* record = ribbon->findChild<QToolButton*>("1030");
    ASSERT_NE(record, nullptr);
    EXPECT_FALSE(record->isEnabled());
}

TEST_F(MainFrameTest, LookIsMarkedRestylesAndIsRestoredAtTheNextStart) {
    QColor blue;
    {
        auto frame = MakeFrame();
        EXPECT_EQ(frame->m_nAppLook, 215);  // nothing stored yet
        blue = RibbonColour(*frame);
        auto* black = frame->RibbonBar()->findChild<QAction*>("216");
        ASSERT_NE(black, nullptr);
        black->trigger();
        EXPECT_EQ(frame->m_nAppLook, 216);
        EXPECT_EQ(frame->CurrentScheme(), LookScheme::Black);
        EXPECT_NE(RibbonColour(*frame), blue);
        frame->RibbonBar()->RefreshCommands();
        EXPECT_TRUE(black->isChecked());
        EXPECT_FALSE(frame->RibbonBar()->findChild<QAction*>("215")->isChecked());

        // Another look ID keeps the colours but is still the one remembered.
        ASSERT_TRUE(frame->OnCommand(210));
        EXPECT_EQ(frame->CurrentScheme(), LookScheme::Black);
    }
    {
        auto frame = MakeFrame();
        EXPECT_EQ(frame->m_nAppLook, 210);
        ASSERT_TRUE(frame->OnCommand(218));
    }
    auto frame = MakeFrame();
    EXPECT_EQ(frame->CurrentScheme(), LookScheme::Aqua);
    EXPECT_NE(RibbonColour(*frame), blue);

    // A value that is no look falls back to blue.
    scratch_.Write("registry.ini",
                   "[Software\\Local AppWizard-Generated Applications\\Vellumo\\Workspace]\r\n"
                   "ApplicationLook=999\r\n");
    EXPECT_EQ(MakeFrame()->m_nAppLook, 215);
}

TEST_F(MainFrameTest, AcceleratorFiresItsCommand) {
    auto frame = MakeFrame();
    int help = 0;
    frame->Commands().Add(1024, [&] { ++help; });
    frame->InstallAccelerators(*AppResources()->FindResource(kResourceAccelerator, 184));
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    QTest::keyClick(frame.get(), Qt::Key_F1);
    EXPECT_EQ(help, 1);
}

TEST_F(MainFrameTest, ViewKeepsItsPictureAtFourByThreeWhenResized) {
    auto frame = MakeFrame();
    VideoPlacement last;
    frame->SetVideoFitHandler([&](const VideoPlacement& placement) { last = placement; });
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    for (QSize size : {QSize(1200, 500), QSize(600, 900)}) {
        frame->resize(size);
        QWidget* view = frame->View();
        auto fitted = [&] {
            VideoPlacement want = FitVideoRect(view->width(), view->height());
            return view->width() < size.width() && last.x == want.x && last.y == want.y &&
                   last.width == want.width && last.height == want.height;
        };
        ASSERT_TRUE(test_support::WaitUntil([&] { return fitted(); }, 5000));
    }
}

TEST_F(MainFrameTest, WorkerMessagesReachTheirHandlersOnTheGuiThread) {
    auto frame = MakeFrame();
    QThread* gui = QThread::currentThread();
    std::atomic<int> wrong_thread{0};
    std::atomic<int> capture_done{0};
    frame->SetMessageHandler(0x7E9, [&](uintptr_t wparam, intptr_t) -> intptr_t {
        if (QThread::currentThread() != gui) wrong_thread.fetch_add(1);
        capture_done = static_cast<int>(wparam);
        return 1;
    });
    std::atomic<intptr_t> result{-1};
    platform::MessageTarget* target = frame->MessageTarget();
    std::thread worker([&] { result = platform::SendMessage(target, 0x7E9, 9); });
    ASSERT_TRUE(test_support::WaitUntil([&] { return result.load() != -1; }, 10000));
    worker.join();
    EXPECT_EQ(result.load(), 1);
    EXPECT_EQ(capture_done.load(), 9);
    EXPECT_EQ(wrong_thread.load(), 0);
    // Without a handler a message is answered with 0.
    EXPECT_EQ(platform::SendMessage(target, 0x7E8), 0);
}

}  // namespace

namespace {

TEST(RibbonLoader, LoadsWhatItCanAndNamesEachFault) {
    const std::string xml =
        "<ribbon>\n"
        "  <category name=\"126\">\n"
        "    <panel title=\"A\">\n"
        "      <button id=\"800\" text=\"Capture\" image=\"0\"/>\n"
        "      <button id=\"abc\" text=\"Bad\"/>\n"
        "      <button id=\"70000\" text=\"Too large\"/>\n"
        "      <slider id=\"801\"/>\n"
        "      <button id=\"1032\" text=\"Format\"><item id=\"806\" text=\"BMP\"/><item text=\"no "
        "id\"/></button>\n"
        "    </panel>\n"
        "  </category>\n"
        "  <category title=\"Cards\"><panel title=\"B\"><button id=\"1069\" "
        "text=\"Card\"/></panel></category>\n"
        "  <category title=\"Cut\"><panel title=\"C\"><button id=\"1\"";  // ends mid-element
    RibbonLoadResult loaded = LoadRibbonLayout(xml, [](unsigned id) { return id == 126 ? "Photo" : ""; });
    ASSERT_GE(loaded.layout.categories.size(), 2u);
    EXPECT_EQ(loaded.layout.categories[0].name, "Photo");
    const auto& elements = loaded.layout.categories[0].panels.at(0).elements;
    ASSERT_EQ(elements.size(), 2u);  // 800 and 1032; the bad ID, the too-large ID and the slider are left out
    EXPECT_EQ(elements[0].id, 800);
    EXPECT_EQ(elements[1].items.size(), 1u);
    EXPECT_EQ(loaded.layout.categories[1].name, "Cards");
    EXPECT_EQ(loaded.errors.size(), 5u);  // bad ID, too large, slider, item without ID, the cut end
}

TEST(RibbonBarImages, AButtonWhoseImageIsMissingKeepsItsTextAndCommand) {
    CommandTable commands;
    int runs = 0;
    commands.Add(800, [&] { ++runs; });
    QPixmap strip(32 * 2, 32);
    strip.fill(Qt::red);
    CRibbonBar bar(commands, QPixmap(), strip);
    RibbonLayout layout;
    RibbonElement button;
    button.id = 800;
    button.text = "Capture";
    button.large_image = 7;  // past the strip's two images
    layout.categories.push_back(RibbonCategory{"Photo", {RibbonPanel{"P", {button}}}});
    bar.SetInvoke([&](int id) { commands.Execute(id); });
    bar.SetRibbonLayout(layout);
    auto* shown = bar.findChild<QToolButton*>("800");
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->icon().isNull());
    EXPECT_TRUE(shown->isEnabled());
    QTest::mouseClick(shown, Qt::LeftButton);
    EXPECT_EQ(runs, 1);
}

}  // namespace
