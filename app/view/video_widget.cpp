#include "app/view/video_widget.h"

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QPainter>

#include "app/view/vellumo_view.h"
#include "platform/sync/tsan_handoff.h"

namespace {

// "A newer frame is waiting": posted from the streaming thread, handled on the GUI thread.
const QEvent::Type kFrameWaiting = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

CVideoWidget::CVideoWidget(CVellumoView* view) : QWidget(view), view_(view) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    hide();
    view_->RaiseOverlay();
}

void CVideoWidget::Present(std::shared_ptr<const platform::PreviewFrame> frame) {
    if (tap_ && frame) tap_(frame);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        latest_ = std::move(frame);
    }
    if (repaint_pending_.exchange(true)) return;  // the queued repaint will take this frame
    auto* event = new QEvent(kFrameWaiting);      // the queue owns it from here
    VELLUMO_TSAN_PUBLISH(event);
    QCoreApplication::postEvent(this, event);
}

void CVideoWidget::customEvent(QEvent* event) {
    VELLUMO_TSAN_RECEIVE(event);  // ours are posted by the streaming thread through the toolkit's queue
    if (event->type() != kFrameWaiting) return QWidget::customEvent(event);
    update();
}

std::shared_ptr<const platform::PreviewFrame> CVideoWidget::LatestFrame() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return latest_;
}

void CVideoWidget::SetGeometry(int x, int y, int width, int height) {
    setGeometry(x, y, width, height);
    view_->RaiseOverlay();
}

void CVideoWidget::SetVisible(bool visible) {
    setVisible(visible);
    view_->RaiseOverlay();
}

void CVideoWidget::ClientSize(int* width, int* height) const {
    *width = view_->width();
    *height = view_->height();
}

void CVideoWidget::SetVideoRect(int left, int top, int right, int bottom) {
    view_->SetVideoRect(Rect{left, top, right, bottom});
}

void CVideoWidget::paintEvent(QPaintEvent*) {
    // Cleared before the frame is taken: a frame presented from now on queues a repaint of its own.
    repaint_pending_.store(false);
    std::shared_ptr<const platform::PreviewFrame> frame = LatestFrame();
    QPainter painter(this);
    painted_empty_ = !frame || frame->width <= 0 || frame->height <= 0;
    if (painted_empty_) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    const QImage image(frame->pixels.data(), frame->width, frame->height, frame->stride,
                       QImage::Format_RGB32);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rect(), image);
    ++painted_;
}
