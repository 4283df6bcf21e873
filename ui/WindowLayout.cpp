// The search window's layout on resize, its size limits, its one-time
// growth for the results list and the split between the results list and
// the preview pane.
#include "ui/WindowLayout.h"

#include "res/resource.h"
#include "ui/ControlRect.h"
#include "ui/DpiScale.h"

namespace {

// Pixels at 96 DPI the first search adds for the results list, besides
// margin and status line; scaled, so that as many rows show at any resolution.
const int ResultsListGrowth = 120;

// The bar between the two lists, and the least height each list keeps where
// the room allows it, at 96 DPI: a header and a row.
const int SplitterHeight = 5;
const int ListMinimum = 40;

// The control is drawn anew at its place: its old pixels, copied along, would
// be erased again by the window's background where the window has grown.
void MoveControl(HWND window, int id, int left)
{
    HWND control = GetDlgItem(window, id);
    RECT rect;
    if (!ControlRect(window, control, &rect))
        return;
    SetWindowPos(control, nullptr, left, rect.top, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_NOCOPYBITS);
}

void StretchControlTo(HWND window, int id, int right)
{
    HWND control = GetDlgItem(window, id);
    RECT rect;
    if (!ControlRect(window, control, &rect))
        return;
    int width = right - rect.left;
    SetWindowPos(control, nullptr, 0, 0, width > 0 ? width : 0, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOMOVE);
}

}  // namespace

void WindowLayout::Measure(HWND window)
{
    RECT label = {};
    ControlRect(window, GetDlgItem(window, IDC_FILESPEC_LABEL), &label);
    margin = label.left;
    RECT status = {};
    GetWindowRect(GetDlgItem(window, IDC_STATUS), &status);
    statusHeight = status.bottom - status.top;
    RECT outer = {};
    GetWindowRect(window, &outer);
    initialWidth = outer.right - outer.left;
    initialHeight = outer.bottom - outer.top;
}

void WindowLayout::LayoutControls(HWND window, WPARAM sizeType) const
{
    if (sizeType != SIZE_RESTORED && sizeType != SIZE_MAXIMIZED)
        return;
    RECT client;
    if (!GetClientRect(window, &client))
        return;
    const int width = client.right;
    const int height = client.bottom;

    RECT searchRect;
    if (!ControlRect(window, GetDlgItem(window, IDOK), &searchRect))
        return;
    const int buttonWidth = searchRect.right - searchRect.left;
    const int buttonLeft = width - margin - buttonWidth;

    MoveControl(window, IDOK, buttonLeft);
    MoveControl(window, IDCANCEL, buttonLeft);
    MoveControl(window, IDC_ANIMATION, buttonLeft);
    const int fieldRight = width - 2 * margin - buttonWidth;
    StretchControlTo(window, IDC_FILESPEC, fieldRight);
    StretchControlTo(window, IDC_TEXT, fieldRight);
    StretchControlTo(window, IDC_LOCATION, fieldRight);
    MoveControl(window, IDC_BROWSE, width - 2 * margin - 2 * buttonWidth);

    if (!expanded)
        return;
    PlaceLists(window, width, height);
}

// The room from the results list's top to 4 pixels above the bottom edge,
// less the bar: the preview pane takes its height, the results list the
// rest, each at least ListMinimum while the room holds two of them.
WindowLayout::Split WindowLayout::SplitLists(HWND window, int height) const
{
    Split split = {};
    RECT resultsRect = {};
    ControlRect(window, GetDlgItem(window, IDC_RESULTS), &resultsRect);
    split.top = resultsRect.top;
    split.bottom = height - statusHeight - 4;
    if (split.bottom < split.top)
        split.bottom = split.top;
    const int bar = ScaleToScreen(window, SplitterHeight);
    const int room = split.bottom - split.top - bar;
    if (room <= 0) {
        split.barTop = split.previewTop = split.bottom;
        return split;
    }
    int least = ScaleToScreen(window, ListMinimum);
    if (2 * least > room)
        least = room / 2;
    int preview = previewHeight < 0 ? room / 3 : ScaleToScreen(window, previewHeight);
    if (preview < least)
        preview = least;
    if (preview > room - least)
        preview = room - least;
    split.previewTop = split.bottom - preview;
    split.barTop = split.previewTop - bar;
    return split;
}

void WindowLayout::PlaceLists(HWND window, int width, int height) const
{
    const Split split = SplitLists(window, height);
    SetWindowPos(GetDlgItem(window, IDC_RESULTS), nullptr, 0, 0, width, split.barTop - split.top,
                 SWP_NOZORDER | SWP_NOMOVE);
    SetWindowPos(GetDlgItem(window, IDC_PREVIEW), nullptr, 0, split.previewTop, width,
                 split.bottom - split.previewTop, SWP_NOZORDER | SWP_SHOWWINDOW);
    // The bar is the window's own background.
    RECT bar = {0, split.barTop, width, split.previewTop};
    InvalidateRect(window, &bar, TRUE);
    HWND status = GetDlgItem(window, IDC_STATUS);
    if (status)
        SetWindowPos(status, nullptr, 4, height - statusHeight - 2, width - 4, statusHeight,
                     SWP_NOZORDER | SWP_SHOWWINDOW | SWP_NOCOPYBITS);
}

RECT WindowLayout::SplitterBar(HWND window) const
{
    RECT bar = {};
    RECT client = {};
    if (!expanded || !GetClientRect(window, &client))
        return bar;
    const Split split = SplitLists(window, client.bottom);
    bar.top = split.barTop;
    bar.bottom = split.previewTop;
    bar.right = split.previewTop > split.barTop ? client.right : 0;
    return bar;
}

int WindowLayout::PreviewHeightForBar(HWND window, int y) const
{
    RECT client = {};
    GetClientRect(window, &client);
    const Split split = SplitLists(window, client.bottom);
    const int pixels = split.bottom - y - (split.previewTop - split.barTop);
    // Back to 96 DPI: the height is kept at that resolution.
    return MulDiv(pixels > 0 ? pixels : 0, 96, ScaleToScreen(window, 96));
}

int WindowLayout::OnGetMinMaxInfo(MINMAXINFO* info) const
{
    if (!info)
        return 0;
    info->ptMinTrackSize.x = initialWidth;
    info->ptMinTrackSize.y = initialHeight;
    info->ptMaxTrackSize.x = GetSystemMetrics(SM_CXMAXTRACK);
    info->ptMaxTrackSize.y = expanded ? GetSystemMetrics(SM_CYMAXTRACK) : initialHeight;
    return 0;
}

void WindowLayout::Grow(HWND window)
{
    expanded = 1;  // before the growth, so that size limits and layout allow it
    HWND list = GetDlgItem(window, IDC_RESULTS);

    RECT outer = {};
    GetWindowRect(window, &outer);
    ScreenRectToClient(window, &outer);
    SetWindowPos(list, nullptr, 0, outer.bottom, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);

    GetWindowRect(window, &outer);
    SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left,
                 outer.bottom - outer.top + margin + statusHeight + ScaleToScreen(window, ResultsListGrowth),
                 SWP_NOMOVE | SWP_NOZORDER);

    RECT client = {};
    GetClientRect(window, &client);
    PlaceLists(window, client.right, client.bottom);
}
