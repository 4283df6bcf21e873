// The split bar's drag: the window's capture holds the pointer while the
// layout moves the bar after it.
#include "ui/SplitBar.h"

#include "ui/SettingsStore.h"
#include "ui/WindowLayout.h"

bool SplitBar::OnSetCursor(HWND window, const WindowLayout& layout) const
{
    POINT point = {};
    GetCursorPos(&point);
    ScreenToClient(window, &point);
    const RECT bar = layout.SplitterBar(window);
    if (!dragging && !PtInRect(&bar, point))
        return false;
    SetCursor(LoadCursor(nullptr, IDC_SIZENS));
    return true;
}

void SplitBar::OnButtonDown(HWND window, POINT point, const WindowLayout& layout)
{
    const RECT bar = layout.SplitterBar(window);
    if (dragging || !PtInRect(&bar, point))
        return;
    dragging = true;
    grab = point.y - bar.top;
    heightBefore = layout.previewHeight;
    SetCapture(window);
}

void SplitBar::OnMouseMove(HWND window, POINT point, WindowLayout& layout) const
{
    if (!dragging)
        return;
    layout.previewHeight = layout.PreviewHeightForBar(window, point.y - grab);
    layout.LayoutControls(window, SIZE_RESTORED);
    UpdateWindow(window);
}

void SplitBar::OnButtonUp(HWND window, WindowLayout& layout)
{
    if (!dragging)
        return;
    dragging = false;  // before the capture goes: its loss cancels a drag
    ReleaseCapture();
    // Where the bar stopped, within the limits, is where it stays, now and
    // at the next start.
    const RECT bar = layout.SplitterBar(window);
    layout.previewHeight = layout.PreviewHeightForBar(window, bar.top);
    SettingsStore::WritePreviewHeight(layout.previewHeight);
}

void SplitBar::Cancel(HWND window, WindowLayout& layout)
{
    if (!dragging)
        return;
    dragging = false;
    if (GetCapture() == window)
        ReleaseCapture();
    layout.previewHeight = heightBefore;
    layout.LayoutControls(window, SIZE_RESTORED);
}
