// The video child of the view and the video property dialog, as real widgets.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QSlider>
#include <QTest>
#include <thread>

#include "app/propdlg/property_dialogs.h"
#include "app/view/vellumo_view.h"
#include "app/view/video_widget.h"
#include "capture/capture_engine.h"
#include "capture/device_discovery.h"
#include "fake_media.h"
#include "tests/support/wait_until.h"

namespace {

std::shared_ptr<platform::PreviewFrame> Solid(int width, int height, uint32_t bgrx, uint64_t sequence) {
    auto frame = std::make_shared<platform::PreviewFrame>();
    frame->width = width;
    frame->height = height;
    frame->stride = width * 4;
    frame->sequence = sequence;
    frame->pixels.resize(size_t(frame->stride) * height);
    for (size_t i = 0; i < frame->pixels.size(); i += 4)
        for (int b = 0; b < 4; ++b) frame->pixels[i + b] = uint8_t(bgrx >> (8 * b));
    return frame;
}

TEST(VideoWidget, FramesFromAnotherThreadEndInOnePaintOfTheLatestUnderTheOverlay) {
    CVellumoView view;
    view.resize(400, 300);
    auto* video = new CVideoWidget(&view);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    video->SetGeometry(0, 0, 400, 300);
    video->SetVisible(true);
    EXPECT_TRUE(video->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_NE(view.childAt(10, 10), video) << "the capture-area overlay lies above the video";

    std::thread streaming([video] {
        for (uint64_t i = 1; i <= 200; ++i)
            video->Present(Solid(64, 48, i == 200 ? 0x0000FF00u : 0x00FF0000u, i));
    });
    streaming.join();
    ASSERT_TRUE(test_support::WaitUntil([&] { return video->PaintedFrames() >= 1; }, 10000));
    QTest::qWait(0);
    EXPECT_EQ(video->LatestFrame()->sequence, 200u);
    EXPECT_LE(video->PaintedFrames(), 2u) << "a repaint per frame piled up";
    const QImage shown = video->grab().toImage();
    EXPECT_EQ(QColor(shown.pixel(200, 150)), QColor(0, 255, 0));

    // The engine's view of the view: its client size and the video rectangle kept in the view.
    int w = 0, h = 0;
    video->ClientSize(&w, &h);
    EXPECT_EQ(w, 400);
    video->SetVideoRect(10, 20, 110, 95);
    EXPECT_EQ(view.VideoRect(), (Rect{10, 20, 110, 95}));
}

TEST(VideoProperties, SlidersAndAutoBoxesDriveTheCameraAndTheSettingsReadThemBack) {
    CCaptureRecord record;
    auto factory = std::make_unique<fake::Factory>();
    fake::Factory* media = factory.get();
    media->videos = {{"doc camera", "vid_eb1a&pid_299f", "n"}};
    record.m_engine.m_pMediaFactory = std::move(factory);
    record.m_bStreamB = 0;
    record.m_engine.m_videoMoniker = media->videos[0];
    ASSERT_EQ(record.m_engine.CreateDeviceFilters(), 1);
    fake::Controls& controls = media->video->controls();
    controls.camera[6] = {40, 2};

    CVideoPropertiesDlg dialog(record.m_engine.m_pVideoCapture.get());
    EXPECT_EQ(dialog.Rows(), 5);
    auto* brightness = dialog.findChild<QSlider*>("Brightness");
    auto* focus = dialog.findChild<QSlider*>("Focus");
    auto* focus_auto = dialog.findChild<QCheckBox*>("Focus auto");
    ASSERT_TRUE(brightness && focus && focus_auto);
    EXPECT_EQ(dialog.findChild<QCheckBox*>("Brightness auto"), nullptr);
    EXPECT_EQ(focus->value(), 40);
    EXPECT_TRUE(focus->isEnabled());

    media->log.Clear();
    brightness->setValue(150);
    focus_auto->setChecked(true);
    EXPECT_FALSE(focus->isEnabled());
    EXPECT_EQ(media->log.lines, (std::vector<std::string>{"proc 0=150", "camera 6=0 auto"}));

    record.m_engine.ReadBackVideoProperties();
    EXPECT_EQ(record.m_nBrightness, 150);
    EXPECT_EQ(record.m_bAutoFocus, 1);
}

}  // namespace
