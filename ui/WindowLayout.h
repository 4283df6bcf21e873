// The search window's geometry: the measurements its template gives, the
// layout on resize, the size limits, the one-time growth for the results and
// the split of their room between the results list and the preview pane.
#pragma once

#include <windows.h>

class WindowLayout {
public:
    // Takes the measurements from the window as its template made it.
    void Measure(HWND window);
    // The size type alone decides (restored or maximised); the client area
    // is measured here.
    void LayoutControls(HWND window, WPARAM sizeType) const;
    // Never smaller than at the start; the height stays fixed until the
    // window has grown for its first search. Returns 0.
    int OnGetMinMaxInfo(MINMAXINFO* info) const;
    // Marks the window grown, then shows the results list below the former
    // lower edge and grows the window by the list's rows and the status line.
    void Grow(HWND window);

    // Where the bar between the results list and the preview pane lies, in
    // client coordinates; empty before the growth.
    RECT SplitterBar(HWND window) const;
    // The previewHeight that puts the bar's top at y, within the limits.
    int PreviewHeightForBar(HWND window, int y) const;

    int initialWidth = 0;
    int initialHeight = 0;
    int margin = 0;         // the labels' distance from the left edge
    int statusHeight = 0;
    int expanded = 0;       // the window has grown for its first search
    // The preview pane's height in pixels at 96 DPI, scaled like the rest of
    // the window; -1: a third of the room the two lists share.
    int previewHeight = -1;

private:
    struct Split {
        int top;         // the results list's top
        int barTop;      // the results list ends here
        int previewTop;  // the bar ends here
        int bottom;      // the preview pane's bottom
    };
    Split SplitLists(HWND window, int height) const;
    // Places both lists and the status line in a client area of the size given.
    void PlaceLists(HWND window, int width, int height) const;
};
