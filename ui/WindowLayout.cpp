// The search window's layout on resize, its size limits and its one-time
// growth for the results list.
#include "ui/WindowLayout.h"

#include "res/resource.h"
#include "ui/ControlRect.h"
#include "ui/DpiScale.h"

namespace {

// Pixels at 96 DPI the first search adds for the results list, besides
// margin and status line; scaled, so that as many rows show at any resolution.
const int ResultsListGrowth = 120;

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

    HWND results = GetDlgItem(window, IDC_RESULTS);
    RECT resultsRect;
    if (ControlRect(window, results, &resultsRect)) {
        int listHeight = height - statusHeight - 4 - resultsRect.top;
        SetWindowPos(results, nullptr, 0, 0, width, listHeight > 0 ? listHeight : 0,
                     SWP_NOZORDER | SWP_NOMOVE);
    }
    HWND status = GetDlgItem(window, IDC_STATUS);
    if (status)
        SetWindowPos(status, nullptr, 4, height - statusHeight - 2, width - 4, statusHeight,
                     SWP_NOZORDER | SWP_SHOWWINDOW | SWP_NOCOPYBITS);
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
    HWND status = GetDlgItem(window, IDC_STATUS);

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
    RECT listRect = {};
    ControlRect(window, list, &listRect);
    SetWindowPos(list, nullptr, 0, 0, client.right, client.bottom - statusHeight - 4 - listRect.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    SetWindowPos(status, nullptr, 4, client.bottom - statusHeight - 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
}
