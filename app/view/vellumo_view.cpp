#include "app/view/vellumo_view.h"

#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QPolygonF>
#include <QTimer>

#include "app/view/selection_geometry.h"
#include "platform/debuglog/debuglog.h"
#include "platform/ui/qt_message_target.h"

namespace {

QColor FromColorRef(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

Qt::CursorShape ToQt(CursorShape shape) {
    switch (shape) {
        case CursorShape::Cross:
            return Qt::CrossCursor;
        case CursorShape::SizeWE:
            return Qt::SizeHorCursor;
        case CursorShape::SizeNS:
            return Qt::SizeVerCursor;
        case CursorShape::SizeNWSE:
            return Qt::SizeFDiagCursor;
        case CursorShape::SizeNESW:
            return Qt::SizeBDiagCursor;
        case CursorShape::SizeAll:
            return Qt::SizeAllCursor;
        case CursorShape::Arrow:
            break;
    }
    return Qt::ArrowCursor;
}

Point ToPoint(const QPointF& p) {
    const QPoint q = p.toPoint();
    return {q.x(), q.y()};
}

bool Ask(const std::function<bool()>& f) { return f ? f() : false; }

}  // namespace

// Paints the rubber band and the marching border over everything else in the view.
class SelectionOverlay : public QWidget {
  public:
    explicit SelectionOverlay(CVellumoView* view) : QWidget(view), view_(view) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        const SelectionTracker& t = view_->tracker_;
        QPainter painter(this);
        if (view_->page_outline_ && !t.m_bSelValid && !t.BandVisible()) {
            const Rect& video = view_->m_rcVideo;
            QPolygonF outline;
            for (const QPointF& corner : *view_->page_outline_)
                outline << QPointF(video.left + corner.x() * video.Width(),
                                   video.top + corner.y() * video.Height());
            painter.save();
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(QPen(QColor(40, 220, 90), 2));
            painter.drawPolygon(outline);
            painter.restore();
        }
        if (t.BandVisible()) {
            const std::optional<Rect> band =
                RubberBandRect(t.m_rcTrack, view_->Geometry().client_origin, width(), height());
            if (band) {
                painter.save();
                // Drawn inverted, so it shows on white and black alike.
                if (painter.paintEngine()->hasFeature(QPaintEngine::RasterOpModes))
                    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
                painter.setPen(QPen(FromColorRef(kRubberBandColour), kRubberBandWidth, Qt::SolidLine,
                                    Qt::SquareCap, Qt::MiterJoin));
                const QPoint corners[] = {{band->left, band->top},
                                          {band->right, band->top},
                                          {band->right, band->bottom},
                                          {band->left, band->bottom},
                                          {band->left, band->top}};
                painter.drawPolyline(corners, 5);
                painter.restore();
            }
        }
        if (t.m_bSelValid) {
            const std::vector<BorderPixel> pixels =
                MarchingBorder(t.m_rcSelection, t.m_nAntPhase, t.m_bAntColour);
            const QColor black = FromColorRef(kAntColourB), white = FromColorRef(kAntColourA);
            // Painted in runs of one colour, in path order, so a corner painted twice keeps its later colour.
            std::vector<QPoint> run;
            for (size_t i = 0; i < pixels.size(); ++i) {
                run.emplace_back(pixels[i].x, pixels[i].y);
                if (i + 1 == pixels.size() || pixels[i + 1].black != pixels[i].black) {
                    painter.setPen(QPen(pixels[i].black ? black : white, 0));
                    painter.drawPoints(run.data(), static_cast<int>(run.size()));
                    run.clear();
                }
            }
        }
    }

  private:
    CVellumoView* view_;
};

CVellumoView::CVellumoView(QWidget* parent)
    : QWidget(parent),
      overlay_(new SelectionOverlay(this)),
      messages_(
          std::make_unique<platform::QtMessageTarget>([](const platform::WindowMessage& message) -> intptr_t {
              platform::DebugLog("view", "message 0x%X has no handler", message.message);
              return 0;
          })) {
    setMouseTracking(true);
    overlay_->setGeometry(rect());
}

void CVellumoView::SetVideoRect(const Rect& rc) {
    m_rcVideo = rc;
    update();
}

CVellumoView::~CVellumoView() { messages_->Close(); }

platform::MessageTarget* CVellumoView::MessageTarget() const { return messages_.get(); }

void CVellumoView::OnWindowMoved(int dx, int dy) { tracker_.OnWindowMoved(dx, dy); }

void CVellumoView::OnTimer() {
    const SelectionInputs in = Inputs();
    if (!in.device_present) return;
    if (tracker_.OnTimer(in)) overlay_->update();
    if (Ask(inputs_.recording) && inputs_.update_recording_status) inputs_.update_recording_status(0);
}

void CVellumoView::StartTimer(int interval_ms) {
    if (!timer_) {
        timer_ = new QTimer(this);
        connect(timer_, &QTimer::timeout, this, &CVellumoView::OnTimer);
    }
    timer_->start(interval_ms);
}

void CVellumoView::RaiseOverlay() { overlay_->raise(); }

void CVellumoView::SetPageOutline(std::optional<std::array<QPointF, 4>> outline) {
    if (!outline && !page_outline_) return;
    page_outline_ = outline;
    overlay_->update();
}

ViewGeometry CVellumoView::Geometry() const {
    const QPoint o = mapToGlobal(QPoint(0, 0));
    return {m_rcVideo.Offset(o.x(), o.y()),
            Rect{o.x(), o.y(), o.x() + width(), o.y() + height()},
            {o.x(), o.y()}};
}

SelectionInputs CVellumoView::Inputs() const {
    return {Ask(inputs_.device_present), Ask(inputs_.continuous_file), Ask(inputs_.continuous_running)};
}

void CVellumoView::AfterEvent() {
    setCursor(ToQt(tracker_.Cursor()));
    overlay_->update();
}

void CVellumoView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const Rect f{m_rcVideo.left - 1, m_rcVideo.top - 1, m_rcVideo.right + 1, m_rcVideo.bottom + 1};
    if (f.IsEmpty()) return;
    // A one-pixel frame just outside the video rectangle.
    painter.fillRect(f.left, f.top, f.Width(), 1, Qt::white);
    painter.fillRect(f.left, f.bottom - 1, f.Width(), 1, Qt::white);
    painter.fillRect(f.left, f.top, 1, f.Height(), Qt::white);
    painter.fillRect(f.right - 1, f.top, 1, f.Height(), Qt::white);
}

void CVellumoView::resizeEvent(QResizeEvent*) { overlay_->setGeometry(rect()); }

void CVellumoView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    tracker_.OnButtonDown(ToPoint(event->globalPosition()), Geometry(), Inputs());
    AfterEvent();
}

void CVellumoView::mouseMoveEvent(QMouseEvent* event) {
    tracker_.OnMouseMove(ToPoint(event->globalPosition()), Geometry(), Inputs());
    AfterEvent();
}

void CVellumoView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    tracker_.OnButtonUp(Geometry());
    AfterEvent();
}

void CVellumoView::mouseDoubleClickEvent(QMouseEvent* event) {
    // Qt would treat it as a second press by default; the double click has a meaning of its own here.
    if (event->button() != Qt::LeftButton) return;
    tracker_.OnDoubleClick(ToPoint(event->globalPosition()), Geometry(), Inputs());
    AfterEvent();
}

void CVellumoView::contextMenuEvent(QContextMenuEvent* event) { event->accept(); }
