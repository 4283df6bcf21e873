// The context menu of the results list and the keys that reach the same
// commands: open, open the containing folder, copy the path or the name,
// save the list.
#include "ui/ResultsMenu.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "res/resource.h"
#include "search/LongPaths.h"
#include "search/SearchRequest.h"
#include "ui/AppInstance.h"
#include "ui/ListSaver.h"
#include "ui/ResultsList.h"

namespace ResultsMenu {

namespace {

const UINT_PTR SubclassId = 1;

void AddItem(HMENU menu, UINT command, UINT textId, bool enabled)
{
    char text[256];
    if (LoadStringA(AppInstance(), textId, text, sizeof text) <= 0)
        text[0] = 0;
    AppendMenuA(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), command, text);
}

// Shows the folder window of the shell with the file selected.
void OpenContainingFolder(HWND list, int item)
{
    const FoundFile* record = ResultsList::RowRecord(list, item);
    if (record == nullptr)
        return;
    const std::wstring parameters = L"/select,\"" + ShellPath(*record) + L"\"";
    SHELLEXECUTEINFOW open = {};
    open.cbSize = sizeof open;
    open.hwnd = GetParent(list);
    open.lpVerb = L"open";
    open.lpFile = L"explorer.exe";
    open.lpParameters = parameters.c_str();
    open.nShow = SW_SHOWNORMAL;
    ShellExecuteExW(&open);
}

void CopyFullPath(HWND list, int item)
{
    std::wstring path;
    if (ResultsList::ItemPath(list, item, &path))
        CopyUnicodeText(GetParent(list), path.c_str(), path.size());
}

void CopyName(HWND list, int item)
{
    const FoundFile* record = ResultsList::RowRecord(list, item);
    if (record != nullptr && record->name != nullptr)
        CopyUnicodeText(GetParent(list), record->name, std::wcslen(record->name));
}

// Where the keyboard's menu opens: below the selected row's name, or at
// the list's top left corner when no row is selected.
POINT KeyboardMenuPoint(HWND list, int item)
{
    RECT rect = {};
    rect.left = LVIR_LABEL;
    POINT point = {2, 2};
    if (item >= 0)
        SendMessageA(list, LVM_ENSUREVISIBLE, item, FALSE);
    if (item >= 0 && SendMessageA(list, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&rect))) {
        point.x = rect.left + 2;
        point.y = rect.bottom;
    }
    ClientToScreen(list, &point);
    return point;
}

// The row under a screen point, whichever column it lies in; -1 for none.
int RowAt(HWND list, POINT screen)
{
    LVHITTESTINFO hit = {};
    hit.pt = screen;
    ScreenToClient(list, &hit.pt);
    const int item = static_cast<int>(SendMessageA(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return item >= 0 && (hit.flags & LVHT_ONITEM) ? item : -1;
}

bool ControlOnly()
{
    return GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0 && GetKeyState(VK_SHIFT) >= 0;
}

// The list's own procedure first hands its keys to this one. The dialog
// manager would take Enter for the default button; in the list it opens
// the selected row instead.
LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    switch (message) {
    case WM_GETDLGCODE:
        return WantEnter(list, wParam, lParam);
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            ResultsList::OpenRow(list, ResultsList::SelectedRow(list));
            return 0;
        }
        if (wParam == 'C' && ControlOnly()) {
            CopyFullPath(list, ResultsList::SelectedRow(list));
            return 0;
        }
        if (wParam == VK_APPS) {
            OnContextMenu(list, -1);
            return 0;
        }
        break;
    case WM_KEYUP:
        if (wParam == VK_APPS)  // the menu came with the key's press
            return 0;
        break;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F10 && GetKeyState(VK_SHIFT) < 0) {
            OnContextMenu(list, -1);
            return 0;
        }
        break;
    case WM_CONTEXTMENU:
        OnContextMenu(list, lParam);
        return 0;
    case WM_NCDESTROY:
        RemoveWindowSubclass(list, ListProc, SubclassId);
        break;
    default:
        break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

}  // namespace

LRESULT WantEnter(HWND list, WPARAM wParam, LPARAM lParam)
{
    const MSG* key = reinterpret_cast<const MSG*>(lParam);
    LRESULT code = DefSubclassProc(list, WM_GETDLGCODE, wParam, lParam);
    if (key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN)
        code |= DLGC_WANTMESSAGE;
    return code;
}

void OnContextMenu(HWND list, LPARAM position)
{
    if (position == -1) {  // from the keyboard: the selected row
        const int item = ResultsList::SelectedRow(list);
        Show(list, item, KeyboardMenuPoint(list, item));
        return;
    }
    const POINT screen = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    Show(list, RowAt(list, screen), screen);
}

bool Attach(HWND list)
{
    return list != nullptr && SetWindowSubclass(list, ListProc, SubclassId, 0);
}

HMENU Build(HWND list, int item)
{
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr)
        return nullptr;
    const FoundFile* record = ResultsList::RowRecord(list, item);
    const bool row = record != nullptr;
    AddItem(menu, IDM_OPEN, IDS_MENU_OPEN, row && record->openStatus != -1);
    AddItem(menu, IDM_OPEN_FOLDER, IDS_MENU_OPEN_FOLDER, row);
    AddItem(menu, IDM_COPY_PATH, IDS_MENU_COPY_PATH, row);
    AddItem(menu, IDM_COPY_NAME, IDS_MENU_COPY_NAME, row);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AddItem(menu, IDM_SAVE_LIST, IDS_MENU_SAVE_LIST, true);
    if (row)
        SetMenuDefaultItem(menu, IDM_OPEN, FALSE);
    return menu;
}

void Show(HWND list, int item, POINT screen)
{
    HMENU menu = Build(list, item);
    if (menu == nullptr)
        return;
    const UINT command = static_cast<UINT>(TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, screen.x, screen.y, 0,
        GetParent(list), nullptr));
    DestroyMenu(menu);
    if (command != 0)
        Run(list, item, command);
}

void Run(HWND list, int item, UINT command)
{
    switch (command) {
    case IDM_OPEN: ResultsList::OpenRow(list, item); break;
    case IDM_OPEN_FOLDER: OpenContainingFolder(list, item); break;
    case IDM_COPY_PATH: CopyFullPath(list, item); break;
    case IDM_COPY_NAME: CopyName(list, item); break;
    case IDM_SAVE_LIST: ListSaver::SaveListAs(GetParent(list), list); break;
    default: break;
    }
}

namespace {

// Puts the filled block of UTF-16 text on the clipboard, from which the
// system makes the other text formats. Once set, the block belongs to the
// clipboard; otherwise it is freed here.
bool PutOnClipboard(HWND owner, HGLOBAL wide, bool filled)
{
    // Another program may hold the clipboard for a moment.
    bool open = false;
    for (int attempt = 0; filled && !open && attempt < 5; ++attempt) {
        open = OpenClipboard(owner) != 0;
        if (!open)
            Sleep(20);
    }
    if (open) {
        EmptyClipboard();
        if (SetClipboardData(CF_UNICODETEXT, wide) != nullptr)
            wide = nullptr;
        CloseClipboard();
    }
    const bool done = open && wide == nullptr;
    if (wide != nullptr)
        GlobalFree(wide);
    return done;
}

}  // namespace

bool CopyUnicodeText(HWND owner, const WCHAR* text, size_t length)
{
    if (text == nullptr)
        return false;
    HGLOBAL wide = GlobalAlloc(GMEM_MOVEABLE, (length + 1) * sizeof(WCHAR));
    WCHAR* wideText = wide ? static_cast<WCHAR*>(GlobalLock(wide)) : nullptr;
    if (wideText != nullptr) {
        std::memcpy(wideText, text, length * sizeof(WCHAR));
        wideText[length] = 0;
        GlobalUnlock(wide);
    }
    return PutOnClipboard(owner, wide, wideText != nullptr);
}

}  // namespace ResultsMenu
