// The search window's geometry: the measurements its template gives, the
// layout on resize, the size limits and the one-time growth for the results.
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

    int initialWidth = 0;
    int initialHeight = 0;
    int margin = 0;         // the labels' distance from the left edge
    int statusHeight = 0;
    int expanded = 0;       // the window has grown for its first search
};
