// The search window's layout on resize, its size limits, the busy animation
// drawn from the digit strip, and the folder browser behind IDC_BROWSE.
#include "ui/WindowLayout.h"

#include <cstdlib>

#include "app/SearchApp.h"
#include "res/resource.h"

namespace {

// The digit strip: 16 bands of 10 rows, 70 pixels wide. From band 10 on it
// reads as from band 0, so a frame starting at band 10 or below stays inside.
const int kStripWidth = 70;
const int kBandHeight = 10;
const int kFrameHeight = 57;
const int kBandCount = 16;
const int kLastWholeBand = 10;

bool ControlRect(HWND window, HWND control, RECT* rect)
{
    if (!control || !GetWindowRect(control, rect))
        return false;
    ScreenRectToClient(window, rect);
    return true;
}

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

// Frees an item from the shell with the shell's allocator.
void FreeShellItem(PIDLIST_ABSOLUTE item)
{
    IMalloc* shellMalloc = nullptr;
    if (SUCCEEDED(SHGetMalloc(&shellMalloc)) && shellMalloc) {
        shellMalloc->Free(item);
        shellMalloc->Release();
    } else {
        CoTaskMemFree(item);
    }
}

// A drive path ("C:\...") or a network path ("\\server\..."). Virtual
// folders may come back from the shell as "::{...}" parsing names, which
// no search can enter.
bool IsFolderPath(const char* path)
{
    const unsigned char drive = static_cast<unsigned char>(path[0]);
    if (((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')) && path[1] == ':' && path[2] == '\\')
        return true;
    return path[0] == '\\' && path[1] == '\\' && path[2] != '\0' && path[2] != '\\';
}

}  // namespace

// The size type alone decides; the client area is measured here, since the
// caller's width and height may be stale by the time a layout runs.
void SearchApp::LayoutControls(WPARAM sizeType, int, int)
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

// Never smaller than at the start; the height stays fixed until the window
// has grown for its first search.
int SearchApp::OnGetMinMaxInfo(MINMAXINFO* info)
{
    if (!info)
        return 0;
    info->ptMinTrackSize.x = initialWidth;
    info->ptMinTrackSize.y = initialHeight;
    info->ptMaxTrackSize.x = GetSystemMetrics(SM_CXMAXTRACK);
    info->ptMaxTrackSize.y = expanded ? GetSystemMetrics(SM_CYMAXTRACK) : initialHeight;
    return 0;
}

// Draws one frame straight into the control: a 57-row window of the strip
// starting at a band boundary, stretched over the whole control. The band
// comes from the runtime's generator, which is never seeded, so every run
// shows the same sequence. A band past 10 is drawn from the band ten
// earlier, which holds the same digits, so a frame never reaches past the
// strip's last row.
// With draw 0 the control is invalidated and repaints itself blank.
void SearchApp::DrawAnimation(int draw)
{
    HWND control = GetDlgItem(window, IDC_ANIMATION);
    if (!control)
        return;
    if (!draw) {
        InvalidateRect(control, nullptr, TRUE);
        return;
    }
    if (!digitsBitmap)
        return;

    HDC controlDc = GetDC(control);
    if (!controlDc)
        return;
    RECT client;
    HDC memoryDc = nullptr;
    if (GetClientRect(control, &client))
        memoryDc = CreateCompatibleDC(controlDc);
    if (memoryDc) {
        HGDIOBJ previous = SelectObject(memoryDc, digitsBitmap);
        if (previous && previous != HGDI_ERROR) {
            int band = rand() % kBandCount;
            if (band > kLastWholeBand)
                band -= kLastWholeBand;
            StretchBlt(controlDc, 0, 0, client.right, client.bottom, memoryDc, 0, band * kBandHeight,
                       kStripWidth, kFrameHeight, SRCCOPY);
            SelectObject(memoryDc, previous);
        }
        DeleteDC(memoryDc);
    }
    ReleaseDC(control, controlDc);
}

// Opens the shell's folder browser at the folder named in IDC_LOCATION. A
// chosen folder becomes the box's text; the recent list is left to the next
// search. Cancelling changes nothing.
void SearchApp::BrowseForFolder()
{
    char title[1024];
    if (LoadStringA(instance, IDS_SELECT_FOLDER, title, sizeof title) <= 0)
        title[0] = '\0';
    char folder[260];
    folder[0] = '\0';
    GetDlgItemTextA(window, IDC_LOCATION, folder, sizeof folder);
    char displayName[1024];
    displayName[0] = '\0';

    BROWSEINFOA info = {};
    info.hwndOwner = request.notifyWindow;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(folder);

    PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info);
    if (!item)
        return;
    PutBrowsedFolder(window, item);
    FreeShellItem(item);
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED && data)
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

bool PutBrowsedFolder(HWND window, PCIDLIST_ABSOLUTE item)
{
    if (!item)
        return false;
    char path[1024];
    path[0] = '\0';
    if (!SHGetPathFromIDListA(item, path) || !IsFolderPath(path))
        return false;
    return SetDlgItemTextA(window, IDC_LOCATION, path) != FALSE;
}
