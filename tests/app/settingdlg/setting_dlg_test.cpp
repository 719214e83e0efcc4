// The save-folder dialog driven like a user would, on the offscreen platform.
#include "app/settingdlg/setting_dlg.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <functional>
#include <vector>

#include "app/commands/command_table.h"
#include "app/commands/view_commands.h"
#include "app/resources/resource_library.h"
#include "app/settingdlg/folder_browser.h"
#include "app/settingdlg/save_folder_rules.h"
#include "platform/ui/prompt.h"
#include "settings/settings.h"
#include "tests/support/scratch_folder.h"

namespace {

using test_support::ScratchFolder;

class SettingDlgTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { SetAppResources(ResourceLibrary::LoadFrom(VELLUMO_BIN_DIR)); }
    static void TearDownTestSuite() { SetAppResources(std::nullopt); }

    void SetUp() override {
        ASSERT_NE(AppResources(), nullptr);
        platform::SetPromptPresenter([this](const platform::Prompt& prompt) {
            prompts_.push_back(prompt);
            return platform::IDOK;
        });
        settings_.m_szSavePath = save_.Slash();
        settings_.m_szPrefix = "IMG";
    }
    void TearDown() override { platform::SetPromptPresenter(nullptr); }

    // Runs the dialog modally while `user` acts on it; whatever happens, the dialog is closed afterwards.
    int Run(CSettingDlg& dialog, const std::function<void()>& user) {
        QTimer::singleShot(0, &dialog, [&dialog, user] {
            user();
            if (dialog.isVisible()) dialog.reject();
        });
        return dialog.DoModal();
    }

    QLineEdit* Edit(CSettingDlg& dialog, int id) { return dialog.ControlAs<QLineEdit>(id); }
    void Click(CSettingDlg& dialog, int id) {
        QTest::mouseClick(dialog.ControlAs<QAbstractButton>(id), Qt::LeftButton);
    }

    // Acts on the folder browser once Browse has opened it; closes it afterwards if `user` did not.
    void WhenBrowserOpens(CSettingDlg& dialog, const std::function<void(CFolderBrowser&)>& user) {
        QTimer::singleShot(0, &dialog, [&dialog, user] {
            auto* browser = dialog.findChild<CFolderBrowser*>("folderBrowser");
            ASSERT_NE(browser, nullptr);
            user(*browser);
            if (browser->isVisible()) browser->reject();
        });
    }

    // The user opens the folder in the browser (nothing typed in the name field).
    static void Open(CFolderBrowser& browser, const std::string& folder) {
        browser.setDirectory(QString::fromStdString(folder));
        NameField(browser)->clear();
        QTest::qWait(50);  // the button is updated from the event queue
    }
    // The user types the folder's name in the name field while its parent is shown.
    static void Type(CFolderBrowser& browser, const std::string& parent, const std::string& name) {
        browser.setDirectory(QString::fromStdString(parent));
        NameField(browser)->clear();
        QTest::keyClicks(NameField(browser), QString::fromStdString(name));
        QTest::qWait(50);
    }
    static QLineEdit* NameField(CFolderBrowser& browser) {
        return browser.findChild<QLineEdit*>("fileNameEdit");
    }

    ScratchFolder save_;
    CVellumoSettings settings_;
    std::vector<platform::Prompt> prompts_;
};

TEST_F(SettingDlgTest, OpensWithTheSettingsAndStoresThemOnOk) {
    CSettingDlg dialog(settings_);
    ASSERT_TRUE(dialog.TemplateLoaded());
    int result = Run(dialog, [&] {
        EXPECT_EQ(Edit(dialog, 702)->text().toStdString(), save_.Slash());
        EXPECT_EQ(Edit(dialog, 702)->toolTip().toStdString(), save_.Slash());
        EXPECT_EQ(Edit(dialog, 703)->text(), "IMG");
        Edit(dialog, 703)->setFocus();
        Edit(dialog, 703)->selectAll();
        QTest::keyClicks(Edit(dialog, 703), "Doc_");
        Click(dialog, 700);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(settings_.m_szPrefix, "Doc_");
    EXPECT_EQ(settings_.m_szSavePath, save_.Slash());
    EXPECT_TRUE(prompts_.empty());
}

TEST_F(SettingDlgTest, ASpaceIsRefusedWithTheMessageAndTheLastPrefixComesBack) {
    settings_.m_szPrefix.clear();
    CSettingDlg dialog(settings_);
    Run(dialog, [&] {
        QLineEdit* prefix = Edit(dialog, 703);
        prefix->setFocus();
        QTest::keyClicks(prefix, "a");
        EXPECT_TRUE(prompts_.empty());
        QTest::keyClicks(prefix, " ");
        ASSERT_EQ(prompts_.size(), 1u);
        EXPECT_EQ(prompts_[0].text, LoadResString(154));
        EXPECT_EQ(prompts_[0].caption, LoadResString(133));
        EXPECT_EQ(prompts_[0].flags, platform::MB_OK);
        EXPECT_EQ(prefix->text(), "a");
        QTest::keyClicks(prefix, "b");
        EXPECT_EQ(prefix->text(), "ab");
        EXPECT_EQ(prompts_.size(), 1u);
        Click(dialog, 700);
    });
    EXPECT_EQ(settings_.m_szPrefix, "ab");
}

TEST_F(SettingDlgTest, ATwentiethCharacterIsRemovedAtOnce) {
    settings_.m_szPrefix.clear();
    CSettingDlg dialog(settings_);
    Run(dialog, [&] {
        QLineEdit* prefix = Edit(dialog, 703);
        prefix->setFocus();
        QTest::keyClicks(prefix, "abcdefghijklmnopqrs");
        EXPECT_EQ(prefix->text().size(), 19);
        QTest::keyClicks(prefix, "t");
        EXPECT_EQ(prefix->text(), "abcdefghijklmnopqrs");
        // Pasted text is cut the same way.
        prefix->setText("0123456789012345678901234");
        EXPECT_EQ(prefix->text(), "0123456789012345678");
        Click(dialog, 700);
    });
    EXPECT_EQ(settings_.m_szPrefix, "0123456789012345678");
    EXPECT_TRUE(prompts_.empty());
}

TEST_F(SettingDlgTest, BrowserConfirmsOnlyWritableFoldersAndLeavesNoProbeFile) {
    ScratchFolder other;
    const std::string writable = other.MakeFolder("scans");
    CSettingDlg dialog(settings_);
    Run(dialog, [&] {
        WhenBrowserOpens(dialog, [&](CFolderBrowser& browser) {
            ASSERT_NE(browser.OkButton(), nullptr);
            EXPECT_EQ(browser.windowTitle().toStdString(), LoadResString(134));
            ASSERT_NE(NameField(browser), nullptr);
            // Folders of the process file system: nobody, the superuser included, can create files there.
            Open(browser, "/proc/self/task");
            EXPECT_FALSE(browser.OkButton()->isEnabled());
            browser.accept();  // Enter in the name field is refused too
            EXPECT_TRUE(browser.isVisible());
            Type(browser, other.Root(), "scans");
            EXPECT_TRUE(browser.OkButton()->isEnabled());
            Type(browser, "/", "proc");
            EXPECT_FALSE(browser.OkButton()->isEnabled());
            Open(browser, writable);
            EXPECT_TRUE(browser.OkButton()->isEnabled());
            // Back and Forward through the browser's history are checked like any other move.
            Open(browser, "/proc/self/task");
            auto* back = browser.findChild<QToolButton*>("backButton");
            auto* forward = browser.findChild<QToolButton*>("forwardButton");
            ASSERT_TRUE(back != nullptr && forward != nullptr);
            back->click();
            QTest::qWait(50);
            EXPECT_TRUE(browser.OkButton()->isEnabled()) << browser.CandidateFolder().toStdString();
            forward->click();
            QTest::qWait(50);
            EXPECT_FALSE(browser.OkButton()->isEnabled()) << browser.CandidateFolder().toStdString();
            Open(browser, writable);
            QTest::mouseClick(browser.OkButton(), Qt::LeftButton);
        });
        Click(dialog, 704);
        EXPECT_EQ(Edit(dialog, 702)->text().toStdString(),
                  std::filesystem::canonical(writable).string() + "/");
        Click(dialog, 700);
    });
    EXPECT_EQ(settings_.m_szSavePath, std::filesystem::canonical(writable).string() + "/");
    EXPECT_FALSE(test_support::Exists(writable + "/" + kFolderProbeName));
}

TEST_F(SettingDlgTest, CancelAfterBrowsingChangesNothing) {
    ScratchFolder other;
    const std::string target = other.MakeFolder("target");
    std::filesystem::create_directory_symlink(target, other.Path("link"));
    CSettingDlg dialog(settings_);
    int result = Run(dialog, [&] {
        WhenBrowserOpens(dialog, [&](CFolderBrowser& browser) {
            Type(browser, other.Root(), "link");
            ASSERT_TRUE(browser.OkButton()->isEnabled());
            QTest::mouseClick(browser.OkButton(), Qt::LeftButton);
        });
        Click(dialog, 704);
        // The link was followed to its target.
        EXPECT_EQ(dialog.m_szFolder, std::filesystem::canonical(target).string() + "/");
        QTest::keyClicks(Edit(dialog, 703), "X");
        Click(dialog, 701);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(settings_.m_szSavePath, save_.Slash());
    EXPECT_EQ(settings_.m_szPrefix, "IMG");

    // Cancelling the browser keeps the folder the dialog had.
    CSettingDlg again(settings_);
    Run(again, [&] {
        WhenBrowserOpens(again, [&](CFolderBrowser& browser) { browser.reject(); });
        Click(again, 704);
        EXPECT_EQ(again.m_szFolder, save_.Slash());
        Click(again, 700);
    });
    EXPECT_EQ(settings_.m_szSavePath, save_.Slash());
}

TEST_F(SettingDlgTest, CommandOpensTheDialog) {
    CommandTable commands;
    QWidget owner;
    settings_.m_bDevicePresent = 1;
    AddSaveFolderCommand(commands, settings_, &owner);
    bool seen = false;
    QTimer::singleShot(0, &owner, [&] {
        auto* dialog = owner.findChild<CSettingDlg*>();
        ASSERT_NE(dialog, nullptr);
        seen = dialog->isVisible();
        dialog->reject();
    });
    EXPECT_TRUE(commands.Execute(ID_SAVE_FOLDER));
    EXPECT_TRUE(seen);
}

// The table as the program builds it (the view's commands, then the save-folder command over them):
// while a capture runs, nothing that changes what the capture reads can be given.
TEST_F(SettingDlgTest, TheProgramsTableRefusesCaptureSettingsDuringACapture) {
    CommandTable commands;
    QWidget owner;
    settings_.m_bDevicePresent = 1;
    settings_.m_nOcrEngineCount = 1;
    AddViewCommands(commands, settings_, {});
    AddSaveFolderCommand(commands, settings_, &owner);
    const int capture_settings[] = {ID_SAVE_FOLDER, 822,  842,  1117, 1118, 1119, 1126,
                                    1127,           813,  814,  815,  816,  817,  1015,
                                    1016,           1035, 1031, 1011, 823};
    for (int id : capture_settings) EXPECT_TRUE(commands.State(id).enabled) << id;
    settings_.m_bCaptureBusy = 1;
    for (int id : capture_settings) EXPECT_FALSE(commands.State(id).enabled) << id;
    EXPECT_FALSE(commands.Execute(ID_SAVE_FOLDER));
}

}  // namespace
