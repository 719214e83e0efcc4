// The three recognition-language dialogs driven like a user would, on the offscreen platform.
#include "app/languagedlg/language_dialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/resources/resource_library.h"
#include "settings/settings.h"

namespace {

class LanguageDialogs : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { SetAppResources(ResourceLibrary::LoadFrom(VELLUMO_BIN_DIR)); }
    static void TearDownTestSuite() { SetAppResources(std::nullopt); }
    void SetUp() override { ASSERT_NE(AppResources(), nullptr); }

    // Runs the dialog modally while `user` acts on it; closed afterwards whatever happened.
    int Run(CBaseSettingDlg& dialog, const std::function<void()>& user) {
        EXPECT_TRUE(dialog.TemplateLoaded());
        QTimer::singleShot(0, &dialog, [&dialog, user] {
            user();
            if (dialog.isVisible()) dialog.reject();
        });
        return dialog.DoModal();
    }
    static void Click(CBaseSettingDlg& dialog, int id) {
        QTest::mouseClick(dialog.ControlAs<QAbstractButton>(id), Qt::LeftButton);
    }
    CVellumoSettings settings_;
};

TEST_F(LanguageDialogs, OcrLanguageIsStoredOnlyByItsStoreButton) {
    settings_.m_nOcrLanguage = 37;
    CFineReaderLanguage dialog(settings_);
    Run(dialog, [&] {
        QComboBox* list = dialog.ControlAs<QComboBox>(1020);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->count(), 181);
        EXPECT_EQ(list->currentText(), "English");
        list->setCurrentIndex(53);
        Click(dialog, 1018);  // close without storing
    });
    EXPECT_EQ(settings_.m_nOcrLanguage, 37);
    CFineReaderLanguage again(settings_);
    Run(again, [&] {
        again.ControlAs<QComboBox>(1020)->setCurrentIndex(179);
        Click(again, 1019);
    });
    EXPECT_EQ(settings_.m_nOcrLanguage, 179);
}

TEST_F(LanguageDialogs, CardLanguagesFromRadiosAndFromTheStringList) {
    settings_.m_nCardLanguage = 3;
    CZorvexLanguage radios(settings_);
    Run(radios, [&] {
        EXPECT_TRUE(radios.ControlAs<QRadioButton>(1078)->isChecked());
        radios.ControlAs<QRadioButton>(1083)->click();
        Click(radios, 1);
    });
    EXPECT_EQ(settings_.m_nCardLanguage, 8);

    settings_.m_nCard6Language = 14;
    CZorvex6Language list_dialog(settings_);
    Run(list_dialog, [&] {
        QComboBox* list = list_dialog.ControlAs<QComboBox>(1093);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->count(), 21);
        EXPECT_EQ(list->itemText(20), QString::fromStdString(LoadResString(1114)));
        EXPECT_EQ(list->currentIndex(), 14);
        list->setCurrentIndex(2);
        Click(list_dialog, 2);  // closes without storing
    });
    EXPECT_EQ(settings_.m_nCard6Language, 14);
}

}  // namespace
