// The search window: its message handling, start-up measurements, the
// Search/Stop sequence, the one-time growth, the running and idle looks,
// the status line and the error box.
#include "app/SearchApp.h"

#include <commctrl.h>

#include <cstdio>

#include "res/resource.h"
#include "search/FileSearcher.h"
#include "ui/ResultsList.h"
#include "ui/ResultsMenu.h"
#include "ui/SettingsStore.h"

namespace {

// Each of the three texts is read through a buffer of this size, so every
// input control is limited to one character less.
const int WorkingBufferSize = 260;

// Pixels at 96 DPI the first search adds for the results list, besides
// margin and status line; scaled, so that as many rows show at any resolution.
const int ResultsListGrowth = 120;

const char ErrorCaption[] = "Trovik";

// Each byte becomes the code unit of the same value; units[length] ends it.
void WidenText(const char* bytes, int length, WCHAR* units)
{
    int i = 0;
    for (; i < length && bytes[i] != 0; ++i)
        units[i] = static_cast<unsigned char>(bytes[i]);
    for (; i <= length; ++i)
        units[i] = 0;
}

// Replaces the template's text box, which the ANSI dialog made an ANSI
// control that holds only what the code page can spell, by a Unicode one in
// the same place, tab order, style and font, so any text can be typed.
void MakeUnicodeTextBox(HWND window)
{
    HWND ansiBox = GetDlgItem(window, IDC_TEXT);
    if (ansiBox == nullptr || IsWindowUnicode(ansiBox))
        return;
    RECT rect = {};
    GetWindowRect(ansiBox, &rect);
    ScreenRectToClient(window, &rect);
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(ansiBox, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(ansiBox, GWL_EXSTYLE));
    HWND box = CreateWindowExW(exStyle, L"EDIT", L"", style, rect.left, rect.top, rect.right - rect.left,
                               rect.bottom - rect.top, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TEXT)),
                               reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE)), nullptr);
    if (box == nullptr)
        return;  // the ANSI box stays: the code page's text can still be typed
    SendMessageW(box, WM_SETFONT, SendMessageW(ansiBox, WM_GETFONT, 0, 0), FALSE);
    SetWindowPos(box, ansiBox, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    DestroyWindow(ansiBox);
}

// The window's rectangle of a control, in its parent's client coordinates.
RECT ControlRect(HWND parent, HWND control)
{
    RECT rect = {};
    GetWindowRect(control, &rect);
    ScreenRectToClient(parent, &rect);
    return rect;
}

// A string of the table; the given text when the table cannot give it.
void LoadText(HINSTANCE instance, UINT id, const char* fallback, char (&text)[256])
{
    if (LoadStringA(instance, id, text, sizeof text) <= 0)
        std::snprintf(text, sizeof text, "%s", fallback);
}

}  // namespace

INT_PTR SearchApp::DialogProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextA(window, IDC_STATUS, "");
        request.notifyWindow = window;
        request.running = 0;
        return OnInitDialog();
    case WM_SIZE:
        if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED)
            LayoutControls(wParam, LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_NOTIFY:
        if (wParam == IDC_RESULTS)
            ResultsList::OnNotify(reinterpret_cast<NMHDR*>(lParam));
        return 0;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) == GetDlgItem(window, IDC_RESULTS))
            ResultsMenu::OnContextMenu(reinterpret_cast<HWND>(wParam), lParam);
        return 0;
    case WM_COMMAND:
        // The whole wParam: a click (notification 0) of the control, nothing else.
        if (wParam == IDOK)
            OnSearchButton();
        else if (wParam == IDCANCEL)
            DestroyWindow(window);
        else if (wParam == IDC_BROWSE)
            BrowseForFolder();
        return 0;
    case WM_TIMER:
        if (wParam == ANIMATION_TIMER_ID)
            DrawAnimation(1);
        return 0;
    case WM_NCDESTROY:
        PostQuitMessage(0);
        return 0;
    case UM_STATUS:
        SetStatusText(reinterpret_cast<const char*>(lParam));
        return request.stopRequested == 0;
    case UM_FOUNDFILE:
        ResultsList::AddFoundFile(reinterpret_cast<FoundFile*>(lParam));
        return request.stopRequested == 0;
    case UM_RUNNING:
        SetRunning(static_cast<int>(wParam), &request);
        request.running = static_cast<int>(wParam);
        request.stopRequested = 0;
        return 0;
    default:
        return 0;
    }
}

int SearchApp::OnInitDialog()
{
    digitsBitmap = static_cast<HBITMAP>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDB_DIGITS), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));

    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TROVIK));
    if (icon != nullptr)
        SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));

    MakeUnicodeTextBox(window);

    margin = ControlRect(window, GetDlgItem(window, IDC_FILESPEC_LABEL)).left;
    RECT status = {};
    GetWindowRect(GetDlgItem(window, IDC_STATUS), &status);
    statusHeight = status.bottom - status.top;
    RECT outer = {};
    GetWindowRect(window, &outer);
    initialWidth = outer.right - outer.left;
    initialHeight = outer.bottom - outer.top;

    // Nothing longer than the working buffers can take may be typed.
    SendDlgItemMessageA(window, IDC_FILESPEC, CB_LIMITTEXT, WorkingBufferSize - 1, 0);
    SendDlgItemMessageA(window, IDC_LOCATION, CB_LIMITTEXT, WorkingBufferSize - 1, 0);
    SendDlgItemMessageA(window, IDC_TEXT, EM_LIMITTEXT, WorkingBufferSize - 1, 0);

    SettingsStore::Load(window);

    SetFocus(GetDlgItem(window, IDC_TEXT));
    return 0;
}

void SearchApp::OnSearchButton()
{
    if (request.running) {
        request.stopRequested = 1;  // carried out by the next idle pass
        return;
    }
    if (searcher == nullptr)
        return;

    char buffer[WorkingBufferSize];
    // A folder text that does not fit the buffer (it can only be set, not
    // typed) would name another folder once cut: refuse it instead.
    if (GetWindowTextLengthA(GetDlgItem(window, IDC_LOCATION)) >= WorkingBufferSize) {
        ShowErrorBox(IDS_CHDIR_FAILED, MB_ICONERROR | MB_OK, ERROR_FILENAME_EXCED_RANGE);
        return;
    }
    GetDlgItemTextA(window, IDC_LOCATION, buffer, sizeof buffer);
    char previous[MAX_PATH];
    const DWORD previousLength = GetCurrentDirectoryA(sizeof previous, previous);
    if (!SetCurrentDirectoryA(buffer)) {
        ShowErrorBox(IDS_CHDIR_FAILED, MB_ICONERROR | MB_OK, GetLastError());
        return;
    }
    // A relative text, or a path whose ANSI spelling is longer than its
    // characters, may lead to a folder whose full path does not fit a record:
    // its records would have no folder. Refused like a folder that cannot be
    // entered, and the folder of before is current again.
    if (!CurrentFolderFitsRecord()) {
        if (previousLength != 0 && previousLength < sizeof previous)
            SetCurrentDirectoryA(previous);
        ShowErrorBox(IDS_CHDIR_FAILED, MB_ICONERROR | MB_OK, ERROR_FILENAME_EXCED_RANGE);
        return;
    }

    if (!expanded) {
        expanded = 1;  // before the growth, so that size limits and layout allow it
        ExpandWindow(1);
    }
    SendDlgItemMessageA(window, IDC_RESULTS, LVM_DELETEALLITEMS, 0, 0);
    request.totalMatches = 0;
    request.filesWithMatches = 0;

    // The text as typed, in UTF-16; the engine spells it for each reading.
    findText[0] = 0;
    GetDlgItemTextW(window, IDC_TEXT, findText, WorkingBufferSize);
    request.searchText = findText;
    request.matchCase = IsDlgButtonChecked(window, IDC_MATCHCASE) == BST_CHECKED ? 1 : 0;

    int length = static_cast<int>(GetDlgItemTextA(window, IDC_FILESPEC, buffer, sizeof buffer));
    if (length == 0) {
        std::snprintf(buffer, sizeof buffer, "*.*");
        length = 3;
    }
    WidenText(buffer, length, patternText);
    request.filePattern = patternText;

    SettingsStore::Save(window);

    // The rows that pointed at the previous records were removed above.
    FreeFoundFiles(FoundFileList);
    FoundFileList = nullptr;

    request.includeSubfolders = IsDlgButtonChecked(window, IDC_SUBFOLDERS) == BST_CHECKED ? 1 : 0;
    SendMessageA(window, UM_RUNNING, 1, 0);
    searcher->Start(&request);
}

// Shows the results list below the former lower edge and grows the window
// by the list's rows and the status line, once in the program's life.
void SearchApp::ExpandWindow(int expand)
{
    if (!expand)
        return;
    HWND list = GetDlgItem(window, IDC_RESULTS);
    HWND status = GetDlgItem(window, IDC_STATUS);
    ResultsList::InitColumns(list);
    ResultsMenu::Attach(list);

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
    const RECT listRect = ControlRect(window, list);
    SetWindowPos(list, nullptr, 0, 0, client.right, client.bottom - statusHeight - 4 - listRect.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    SetWindowPos(status, nullptr, 4, client.bottom - statusHeight - 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
}

void SearchApp::SetRunning(int on, SearchRequest* searchRequest)
{
    char text[256];
    if (on) {
        LoadText(instance, IDS_STOP, "Stop", text);
        EnableInputs(0);
        SetTimer(window, ANIMATION_TIMER_ID, 40, nullptr);
    } else {
        LoadText(instance, IDS_SEARCH, "Search", text);
        EnableInputs(1);
        DrawAnimation(0);
        KillTimer(window, ANIMATION_TIMER_ID);
        searchRequest->running = 0;
        searchRequest->stopRequested = 0;
        if (searcher != nullptr)
            searcher->Finish();
    }
    SetDlgItemTextA(window, IDOK, text);
    EnableWindow(GetDlgItem(window, IDC_BROWSE), on == 0);
}

// The Search/Stop button and the results list are never disabled. When the
// focus is on a control about to be disabled it moves to the Stop button, so
// Enter and Escape keep working during a search.
void SearchApp::EnableInputs(int enable)
{
    static const int inputs[] = {IDCANCEL,   IDC_FILESPEC,   IDC_TEXT,     IDC_LOCATION,
                                 IDC_BROWSE, IDC_SUBFOLDERS, IDC_MATCHCASE};
    if (!enable) {
        HWND focus = GetFocus();
        for (int id : inputs) {
            HWND control = GetDlgItem(window, id);
            if (focus != nullptr && (focus == control || IsChild(control, focus))) {
                SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDOK)), TRUE);
                break;
            }
        }
    }
    for (int id : inputs)
        EnableWindow(GetDlgItem(window, id), enable != 0);
}

void SearchApp::SetStatusText(const char* text)
{
    SetDlgItemTextA(window, IDC_STATUS, text);
}

// The string's %1 becomes the system's text for the error, or the code's
// number when the system has no text for it.
int SearchApp::ShowErrorBox(UINT stringId, UINT boxType, DWORD errorCode)
{
    char* systemText = nullptr;
    char number[16];
    const char* reason = number;
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, errorCode, 0, reinterpret_cast<char*>(&systemText), 0, nullptr) != 0 &&
        systemText != nullptr)
        reason = systemText;
    else
        std::snprintf(number, sizeof number, "%lu", static_cast<unsigned long>(errorCode));

    char format[256];
    LoadText(instance, stringId, "%1", format);
    char* text = nullptr;
    DWORD_PTR arguments[1] = {reinterpret_cast<DWORD_PTR>(reason)};
    if (FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                       format, 0, 0, reinterpret_cast<char*>(&text), 0,
                       reinterpret_cast<va_list*>(arguments)) == 0)
        text = nullptr;

    const int result = MessageBoxA(window, text != nullptr ? text : reason, ErrorCaption, boxType);
    LocalFree(text);
    LocalFree(systemText);
    return result;
}

void ScreenRectToClient(HWND window, RECT* rect)
{
    ScreenToClient(window, reinterpret_cast<POINT*>(&rect->left));
    ScreenToClient(window, reinterpret_cast<POINT*>(&rect->right));
}

// The program is aware of the system's resolution only (see the manifest),
// so this is the same for every window and for the whole run.
int ScaleToScreen(HWND window, int pixels)
{
    HDC dc = GetDC(window);
    const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
    if (dc != nullptr)
        ReleaseDC(window, dc);
    return dpi > 0 ? MulDiv(pixels, dpi, 96) : pixels;
}
