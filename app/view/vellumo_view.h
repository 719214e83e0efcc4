#pragma once
// The only view of the main window: black around the live picture with a white one-pixel frame, and the
// capture area the user draws over the picture (rubber band while dragging, marching border once set).
// GUI thread only.
//
// The band and the border are painted by a transparent child that covers the whole view, so they stay on
// top of a video widget placed at m_rcVideo later, provided that widget is made transparent for mouse
// events (the view takes every press) and the overlay is raised again with RaiseOverlay().

#include <QPointF>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "app/view/rect.h"
#include "app/view/selection_tracker.h"

class QTimer;
class SelectionOverlay;
namespace platform {
class MessageTarget;
class QtMessageTarget;
}  // namespace platform

// What the application tells the view; any function left empty reads as false or does nothing.
struct ViewInputs {
    std::function<bool()> device_present;      // m_bDevicePresent
    std::function<bool()> continuous_file;     // "CONTINUOUS FILE"
    std::function<bool()> continuous_running;  // m_bContinuousRunning
    std::function<bool()> recording;           // m_bRecording
    std::function<void(int)> update_recording_status;
};

class CVellumoView : public QWidget {
    Q_OBJECT
  public:
    explicit CVellumoView(QWidget* parent = nullptr);
    ~CVellumoView() override;

    // The view's window messages, for other threads (answered on the GUI thread; none is handled yet beyond
    // running work there).
    platform::MessageTarget* MessageTarget() const;

    void SetInputs(ViewInputs inputs) { inputs_ = std::move(inputs); }

    // Places the video rectangle (client coordinates) and repaints.
    void SetVideoRect(const Rect& rc);
    const Rect& VideoRect() const { return m_rcVideo; }

    // The timer step: advances the marching border while an area is shown and a camera is present, and
    // refreshes the recording statistics while a recording runs.
    void OnTimer();
    // Runs OnTimer every `interval_ms` from a timer the view owns.
    void StartTimer(int interval_ms);

    void RaiseOverlay();
    // The page outline found in the live picture, corners as fractions of the picture's width and height
    // (top-left, top-right, bottom-right, bottom-left); drawn unless a capture area is shown or dragged.
    void SetPageOutline(std::optional<std::array<QPointF, 4>> outline);
    const std::optional<std::array<QPointF, 4>>& PageOutline() const { return page_outline_; }
    // The top-level window moved on the screen by dx, dy.
    void OnWindowMoved(int dx, int dy);
    const SelectionTracker& Tracker() const { return tracker_; }

  private:
    SelectionTracker tracker_;

  public:
    Rect m_rcVideo;  // client coordinates
    const Rect& m_rcSelection =
        tracker_.m_rcSelection;   // client coordinates; right > 0 and bottom > 0 when set
    bool m_bControlOpen = false;  // the camera control link was opened at start-up

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    friend class SelectionOverlay;
    ViewGeometry Geometry() const;
    SelectionInputs Inputs() const;
    void AfterEvent();

    ViewInputs inputs_;
    std::optional<std::array<QPointF, 4>> page_outline_;
    SelectionOverlay* overlay_ = nullptr;
    QTimer* timer_ = nullptr;
    std::unique_ptr<platform::QtMessageTarget> messages_;
};
