#pragma once
// The video window's place in the view: a child widget at the video rectangle that paints the latest
// preview frame. Frames may arrive from the streaming thread; only the newest is kept, and at most one
// repaint waits in the GUI thread's queue, so a slow paint drops frames instead of piling them up.
// Mouse events go through to the view, whose overlay (capture area) stays above this widget.
// It is also the engine's view of the view: client size and the video rectangle.

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "capture/capture_record.h"
#include "media/capture_graph.h"

class CVellumoView;

class CVideoWidget : public QWidget, public platform::VideoSurface, public capture::CaptureView {
    Q_OBJECT
  public:
    explicit CVideoWidget(CVellumoView* view);

    // platform::VideoSurface; Present from any thread, the rest on the GUI thread.
    void Present(std::shared_ptr<const platform::PreviewFrame> frame) override;
    void SetGeometry(int x, int y, int width, int height) override;
    void SetVisible(bool visible) override;

    // capture::CaptureView
    platform::VideoSurface* Surface() override { return this; }
    void ClientSize(int* width, int* height) const override;
    void SetVideoRect(int left, int top, int right, int bottom) override;

    // Also hands every presented frame to `tap` on the presenting thread (the live outline). Set it before
    // the stream starts; it must stay valid until the stream has ended.
    void SetFrameTap(std::function<void(std::shared_ptr<const platform::PreviewFrame>)> tap) {
        tap_ = std::move(tap);
    }

    // Frames painted so far, and whether the last paint showed no frame (GUI thread). The screen shows
    // what was painted: a frame let go of stays on it until the repaint that follows.
    uint64_t PaintedFrames() const { return painted_; }
    bool PaintedEmpty() const { return painted_empty_; }
    std::shared_ptr<const platform::PreviewFrame> LatestFrame() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void customEvent(QEvent* event) override;

  private:
    CVellumoView* view_;
    mutable std::mutex mutex_;
    std::shared_ptr<const platform::PreviewFrame> latest_;
    std::function<void(std::shared_ptr<const platform::PreviewFrame>)> tap_;
    std::atomic<bool> repaint_pending_{false};
    uint64_t painted_ = 0;
    bool painted_empty_ = true;
};
