// The camera dialogs driven as a user would: typing, leaving fields, moving sliders, OK, Cancel, Default.
#include "app/cameradlg/camera_dialogs.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTest>

#include "app/cameradlg/control_values.h"
#include "app/resources/resource_library.h"
#include "platform/ui/prompt.h"
#include "settings/settings.h"

namespace {

class CameraDialogTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { SetAppResources(ResourceLibrary::LoadFrom(VELLUMO_BIN_DIR)); }
    static void TearDownTestSuite() { SetAppResources(std::nullopt); }
    void SetUp() override {
        platform::SetPromptPresenter([this](const platform::Prompt& prompt) {
            messages.push_back(prompt.text);
            return platform::IDOK;
        });
        camera.set_brightness = [this](long v) { sent.push_back("brightness " + std::to_string(v)); };
        camera.set_contrast = [this](long v) { sent.push_back("contrast " + std::to_string(v)); };
        camera.set_iris_value = [this](long v) { sent.push_back("iris " + std::to_string(v)); };
        camera.set_focus_position = [this](long v) { sent.push_back("focus " + std::to_string(v)); };
        camera.set_focus_auto = [this] { sent.push_back("focus auto"); };
        camera.get_focus_position = [] { return 90L; };
        settings.m_nBrightness = 100;
        settings.m_nContrast = 10;
    }
    void TearDown() override { platform::SetPromptPresenter(nullptr); }

    // Types into the edit and moves the focus away from it.
    static void TypeAndLeave(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        emit edit->editingFinished();
    }

    CVellumoSettings settings;
    ViewCommandServices camera;
    std::vector<std::string> sent;
    std::vector<std::string> messages;
};

TEST_F(CameraDialogTest, BrightnessAndContrastOutOfRangeAreClampedAfterAMessage) {
    CSettingBRIDlg dialog(settings, camera);
    dialog.OpenModal();
    auto* brightness = dialog.ControlAs<QLineEdit>(708);
    auto* contrast = dialog.ControlAs<QLineEdit>(709);
    ASSERT_TRUE(brightness && contrast);
    EXPECT_EQ(brightness->text(), "100");

    TypeAndLeave(brightness, "300");
    EXPECT_EQ(messages, (std::vector<std::string>{LoadResString(136)}));
    EXPECT_EQ(dialog.ControlAs<QSlider>(707)->value(), 255);
    EXPECT_EQ(brightness->text(), "255");
    TypeAndLeave(contrast, "-5");
    EXPECT_EQ(messages.back(), LoadResString(137));
    EXPECT_EQ(contrast->text(), "0");
    TypeAndLeave(contrast, "9999999999");  // saturates instead of wrapping round
    EXPECT_EQ(contrast->text(), "31");
    EXPECT_EQ(sent, (std::vector<std::string>{"brightness 255", "contrast 0", "contrast 31"}));

    // Cancel sends the stored values again and keeps them.
    sent.clear();
    QTest::mouseClick(dialog.ControlAs<QWidget>(706), Qt::LeftButton);
    EXPECT_EQ(sent, (std::vector<std::string>{"brightness 100", "contrast 10"}));
    EXPECT_EQ(settings.m_nBrightness, 100);
}

TEST_F(CameraDialogTest, DefaultSendsBothAndOkStoresThem) {
    CSettingBRIDlg dialog(settings, camera);
    dialog.OpenModal();
    QTest::mouseClick(dialog.ControlAs<QWidget>(711), Qt::LeftButton);
    EXPECT_EQ(sent, (std::vector<std::string>{"brightness 128", "contrast 16"}));
    EXPECT_EQ(dialog.ControlAs<QSlider>(710)->value(), 16);
    QTest::mouseClick(dialog.ControlAs<QWidget>(705), Qt::LeftButton);
    EXPECT_EQ(settings.m_nBrightness, 128);
    EXPECT_EQ(settings.m_nContrast, 16);
}

TEST_F(CameraDialogTest, ExposureStepsByTenAndCancelSendsTheStoredValue) {
    settings.m_nExposureManual = 57;
    CExposureDlg dialog(settings, camera);
    dialog.OpenModal();
    auto* slider = dialog.ControlAs<QSlider>(1056);
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->value(), 5);
    EXPECT_EQ(dialog.ControlAs<QLabel>(1057)->text(), "57");
    slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(dialog.ControlAs<QLabel>(1057)->text(), "60");
    slider->triggerAction(QAbstractSlider::SliderPageStepAdd);  // a page is one step here too
    EXPECT_EQ(dialog.m_nValue, 70);
    QTest::mouseClick(dialog.ControlAs<QWidget>(1055), Qt::LeftButton);
    EXPECT_EQ(sent, (std::vector<std::string>{"iris 57", "iris 60", "iris 70", "iris 57"}));
    EXPECT_EQ(settings.m_nExposureManual, 57);
}

TEST_F(CameraDialogTest, FocusReadsTheCameraAndPagesByTen) {
    settings.m_bAutoFocus = 0;
    CSettingFocusDlg dialog(settings, camera);
    dialog.OpenModal();
    EXPECT_EQ(settings.m_nFocus, 90);  // read from the camera when the dialog opens
    auto* slider = dialog.ControlAs<QSlider>(1048);
    slider->triggerAction(QAbstractSlider::SliderPageStepAdd);
    slider->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(dialog.ControlAs<QLineEdit>(1046)->text(), "99");
    QTest::mouseClick(dialog.ControlAs<QWidget>(1044), Qt::LeftButton);
    EXPECT_EQ(settings.m_nFocus, 99);
    EXPECT_EQ(sent, (std::vector<std::string>{"focus 90", "focus 100", "focus 99"}));
    // Opened at the desktop's right edge.
    EXPECT_EQ(dialog.x(), dialog.screen()->geometry().right() + 1 - 400);
}

TEST(ControlValues, ScrollStaysInRange) {
    EXPECT_EQ(ScrollPosition(ScrollAction::PageRight, 250, 0, 1, 10, 255), 255);
    EXPECT_EQ(ScrollPosition(ScrollAction::LineLeft, 0, 0, 1, 10, 255), 0);
    EXPECT_EQ(ScrollPosition(ScrollAction::Thumb, 3, 300, 1, 10, 255), 255);
    EXPECT_EQ(ScrollPosition(ScrollAction::Right, 3, 0, 1, 1, 10), 10);
}

}  // namespace
