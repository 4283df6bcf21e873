// The bar between the results list and the preview pane: the pointer's
// shape over it, and the drag that moves it and stores where it was left.
#pragma once

#include <windows.h>

class WindowLayout;

class SplitBar {
public:
    // WM_SETCURSOR of the window: true when the pointer is over the bar and
    // has been given the sizing shape.
    bool OnSetCursor(HWND window, const WindowLayout& layout) const;
    // WM_LBUTTONDOWN at a client point: a press on the bar begins a drag.
    void OnButtonDown(HWND window, POINT point, const WindowLayout& layout);
    // WM_MOUSEMOVE: during a drag the bar follows the pointer.
    void OnMouseMove(HWND window, POINT point, WindowLayout& layout) const;
    // WM_LBUTTONUP: the drag ends where the bar is; the height is stored.
    void OnButtonUp(HWND window, WindowLayout& layout);
    // Escape, or the capture taken by another window: the drag ends and
    // the bar goes back to where it was.
    void Cancel(HWND window, WindowLayout& layout);
    bool Dragging() const { return dragging; }

private:
    bool dragging = false;
    int grab = 0;            // the pointer's distance below the bar's top
    int heightBefore = -1;   // the layout's previewHeight when the drag began
};
