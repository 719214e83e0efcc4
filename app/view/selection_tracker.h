#pragma once
// The capture area the user draws over the live picture: press, drag, release and double click, in screen
// coordinates, ending in the committed area (screen) and its copy in view client coordinates for the capture
// pipeline. It also keeps the marching border's phase.
// Plain C++; GUI thread only. The view feeds it raw pointer positions; while a drag confines the pointer
// (`m_rcClip`) the tracker clamps every position to that rectangle itself, as a confined system cursor would.

#include <optional>

#include "app/view/rect.h"
#include "app/view/selection_geometry.h"

// What the application decides for the view, read at each event.
struct SelectionInputs {
    bool device_present = false;
    bool continuous_file = false;     // "CONTINUOUS FILE"
    bool continuous_running = false;  // m_bContinuousRunning
};

// Where the view lies on the screen at the time of an event.
struct ViewGeometry {
    Rect video;           // the video rectangle in screen coordinates (V)
    Rect window;          // the view window in screen coordinates
    Point client_origin;  // the screen position of client point 0,0
};

class SelectionTracker {
  public:
    void OnButtonDown(Point cursor, const ViewGeometry& g, const SelectionInputs& in);
    void OnMouseMove(Point cursor, const ViewGeometry& g, const SelectionInputs& in);
    void OnButtonUp(const ViewGeometry& g);
    void OnDoubleClick(Point cursor, const ViewGeometry& g, const SelectionInputs& in);
    // One timer tick; true when the marching border moved on and wants drawing.
    bool OnTimer(const SelectionInputs& in);

    // The window moved by dx, dy on the screen: the screen-held rectangles move with it, so the area stays
    // on the same part of the picture (window managers may move a window whatever the program asks).
    void OnWindowMoved(int32_t dx, int32_t dy);

    // The position a confined pointer would have.
    Point Confine(Point cursor) const;
    // The rubber band is shown while a drag mode is set.
    bool BandVisible() const { return m_nDragMode != 0; }
    CursorShape Cursor() const { return cursor_; }

    Rect m_rcSelScreen;  // committed area, screen
    Rect m_rcTrack;      // rectangle being dragged, screen
    Rect m_rcSelection;  // committed area, view client; set at every release
    bool m_bSelValid = false;
    bool m_bWholeArea = false;
    bool m_bButtonDown = false;
    bool m_bMoved = false;
    int m_nDragMode = 0;
    int m_nDragEdge = 0;
    Point m_ptLast;
    CursorShape m_dragCursor = CursorShape::Arrow;
    CursorShape m_prevCursor = CursorShape::Arrow;
    std::optional<Rect> m_rcClip;  // where the pointer is confined; none when free
    int m_nAntPhase = 3;
    bool m_bAntColour = true;

  private:
    void BeginDragCursor(CursorShape shape);
    // A press or double click refused during a continuous capture (or without a camera) leaves the area
    // alone, and so does the release that follows it when no press was taken.
    bool ignore_release_ = false;
    CursorShape cursor_ = CursorShape::Arrow;
};
