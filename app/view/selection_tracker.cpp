#include "app/view/selection_tracker.h"

#include <algorithm>

namespace {

bool ContinuousLocked(const SelectionInputs& in) { return in.continuous_file && in.continuous_running; }

// An area exists once it has a right and a bottom side, as the hover test asks.
bool HasArea(const Rect& s) { return s.right != 0 && s.bottom != 0; }

}  // namespace

Point SelectionTracker::Confine(Point cursor) const {
    if (!m_rcClip) return cursor;
    const Rect& c = *m_rcClip;
    // Right and bottom are outside the confining rectangle, as for the system cursor.
    return {std::clamp(cursor.x, c.left, std::max(c.left, c.right - 1)),
            std::clamp(cursor.y, c.top, std::max(c.top, c.bottom - 1))};
}

void SelectionTracker::BeginDragCursor(CursorShape shape) {
    m_prevCursor = cursor_;
    m_dragCursor = shape;
    cursor_ = shape;
}

void SelectionTracker::OnButtonDown(Point raw, const ViewGeometry& g, const SelectionInputs& in) {
    const Point p = Confine(raw);
    const Rect& v = g.video;
    if (!v.ContainsInclusive(p) || m_bButtonDown) return;

    // Without an area there are no edges to grab, wherever the view lies on the screen.
    const HitZone zone = HasArea(m_rcSelScreen) ? HitTestArea(m_rcSelScreen, p) : HitZone{};
    if (zone.mode == 5 && ContinuousLocked(in)) {
        // The series crops to the area it has; a new one may not be started under it.
        ignore_release_ = true;
        return;
    }
    ignore_release_ = false;

    m_bWholeArea = false;
    m_bSelValid = false;
    m_bButtonDown = true;
    m_ptLast = p;
    m_rcClip = v;
    m_rcTrack = m_rcSelScreen;

    if (zone.mode >= 1 && zone.mode <= 3) {
        // The grabbed sides jump to the pointer.
        const int32_t x = p.x, y = p.y + 1;
        const int e = zone.edge;
        if (e == 1 || e == 5 || e == 7) m_rcSelScreen.left = m_rcTrack.left = x;
        if (e == 2 || e == 6 || e == 8) m_rcSelScreen.right = m_rcTrack.right = x;
        if (e == 3 || e == 5 || e == 8) m_rcSelScreen.top = m_rcTrack.top = y;
        if (e == 4 || e == 6 || e == 7) m_rcSelScreen.bottom = m_rcTrack.bottom = y;
        m_nDragMode = zone.mode;
        m_nDragEdge = e;
        BeginDragCursor(zone.cursor);
    } else if (zone.mode == 4) {
        // Confine the pointer so that the area, moving with it, stays inside the video.
        const Rect& s = m_rcSelScreen;
        m_rcClip = Rect{v.left - s.left + p.x, v.top - s.top + p.y, v.right - s.right + p.x,
                        v.bottom - s.bottom + p.y + 1};
        m_nDragMode = 4;
        m_nDragEdge = 0;
        BeginDragCursor(CursorShape::SizeAll);
        m_bMoved = true;
    } else {
        m_nDragMode = 5;
        m_nDragEdge = 0;
        BeginDragCursor(CursorShape::Cross);
        m_rcTrack = Rect{p.x, p.y, p.x, p.y};
        const Rect clip = v.Intersect(g.window);
        m_rcClip = clip.IsEmpty() ? std::nullopt : std::optional<Rect>(clip);
    }
}

void SelectionTracker::OnMouseMove(Point raw, const ViewGeometry& g, const SelectionInputs& in) {
    const Point p = Confine(raw);
    if (!g.video.ContainsStrictly(p) || !in.device_present) {
        // The view's own cursor, as the system shows it where the view sets none.
        if (!m_bButtonDown) cursor_ = CursorShape::Arrow;
        return;
    }
    if (m_bButtonDown) {
        cursor_ = m_dragCursor;
        const int32_t dx = p.x - m_ptLast.x, dy = p.y - m_ptLast.y;
        m_ptLast = p;
        Rect& t = m_rcTrack;
        const int e = m_nDragEdge;
        switch (m_nDragMode) {
            case 1:
                (e == 1 ? t.left : t.right) += dx;
                break;
            case 2:
                (e == 3 ? t.top : t.bottom) += dy;
                break;
            case 3:
                (e == 5 || e == 7 ? t.left : t.right) += dx;
                (e == 5 || e == 8 ? t.top : t.bottom) += dy;
                break;
            case 4:
                t = t.Offset(dx, dy);
                break;
            case 5:
                t.right += dx;
                t.bottom += dy;
                break;
            default:
                break;
        }
        if (!m_bWholeArea) m_bMoved = true;
        return;
    }
    cursor_ = HasArea(m_rcSelScreen) ? HitTestArea(m_rcSelScreen, p).hover : CursorShape::Arrow;
}

void SelectionTracker::OnButtonUp(const ViewGeometry& g) {
    cursor_ = m_prevCursor;
    m_rcClip.reset();
    if (ignore_release_ && !m_bButtonDown) {
        ignore_release_ = false;
        return;
    }
    ignore_release_ = false;

    Rect& s = m_rcSelScreen;
    if (m_nDragMode != 0) {
        const Rect t = m_rcTrack = m_rcTrack.Normalized();
        if (m_nDragMode == 1) {
            s.left = t.left;
            s.right = t.right;
        } else if (m_nDragMode == 2) {
            s.top = t.top;
            s.bottom = t.bottom;
        } else {
            s = t;
        }
        const Rect& v = g.video;
        s.left = std::max(s.left, 0);
        s.top = std::max(s.top, 0);
        s.right = std::min(s.right, v.right);
        s.bottom = std::min(s.bottom, v.bottom);
        s.left = std::max(s.left, v.left);
        s.top = std::max(s.top, v.top);
        m_nDragMode = 0;
    }

    if ((m_bButtonDown && m_bMoved) || m_bWholeArea) {
        m_bSelValid = true;
        m_rcSelection = s.Offset(-g.client_origin.x, -g.client_origin.y);
    } else {
        // A click without a drag leaves no area, here and for the pipeline alike.
        s = Rect{};
        m_rcTrack = Rect{};
        m_bSelValid = false;
        m_rcSelection = Rect{};
    }
    m_bMoved = false;
    m_bButtonDown = false;
}

void SelectionTracker::OnDoubleClick(Point raw, const ViewGeometry& g, const SelectionInputs& in) {
    if (ContinuousLocked(in) || !in.device_present) {
        ignore_release_ = true;
        return;
    }
    const Point p = Confine(raw);
    if (!g.video.ContainsInclusive(p)) return;
    m_rcSelScreen = m_rcTrack = g.video;
    m_bSelValid = true;
    m_bWholeArea = !m_bWholeArea;
}

bool SelectionTracker::OnTimer(const SelectionInputs& in) {
    if (!in.device_present || !m_bSelValid) return false;
    AdvanceAnts(m_nAntPhase, m_bAntColour);
    return true;
}

void SelectionTracker::OnWindowMoved(int32_t dx, int32_t dy) {
    auto moved = [&](Rect& rect) {
        if (rect.left != 0 || rect.top != 0 || rect.right != 0 || rect.bottom != 0)
            rect = rect.Offset(dx, dy);
    };
    moved(m_rcSelScreen);
    moved(m_rcTrack);
    if (m_rcClip) m_rcClip = m_rcClip->Offset(dx, dy);
    m_ptLast = Point{m_ptLast.x + dx, m_ptLast.y + dy};
}
