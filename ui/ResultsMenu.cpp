// The context menu of the results list and the keys that reach the same
// commands: open, open the containing folder, copy the path or the name,
// save the list.
#include "ui/ResultsMenu.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "res/resource.h"
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
    char path[260];
    if (!ResultsList::ItemPath(list, item, path))
        return;
    char parameters[300];
    std::snprintf(parameters, sizeof parameters, "/select,\"%s\"", path);
    ShellExecuteA(GetParent(list), "open", "explorer.exe", parameters, nullptr, SW_SHOWNORMAL);
}

void CopyFullPath(HWND list, int item)
{
    char path[260];
    if (ResultsList::ItemPath(list, item, path))
        CopyText(GetParent(list), path);
}

void CopyName(HWND list, int item)
{
    const FoundFile* record = ResultsList::RowRecord(list, item);
    if (record == nullptr)
        return;
    char name[sizeof record->name];
    std::memcpy(name, record->name, sizeof name);
    name[sizeof name - 1] = 0;
    CopyText(GetParent(list), name);
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
    case WM_GETDLGCODE: {
        const MSG* key = reinterpret_cast<const MSG*>(lParam);
        LRESULT code = DefSubclassProc(list, message, wParam, lParam);
        if (key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN)
            code |= DLGC_WANTMESSAGE;
        return code;
    }
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

bool CopyText(HWND owner, const char* text)
{
    if (text == nullptr)
        return false;
    const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    const size_t bytes = std::strlen(text) + 1;
    if (units <= 0)
        return false;
    HGLOBAL wide = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(units) * sizeof(WCHAR));
    HGLOBAL narrow = GlobalAlloc(GMEM_MOVEABLE, bytes);
    WCHAR* wideText = wide ? static_cast<WCHAR*>(GlobalLock(wide)) : nullptr;
    char* narrowText = narrow ? static_cast<char*>(GlobalLock(narrow)) : nullptr;
    bool filled = wideText != nullptr && narrowText != nullptr &&
                  MultiByteToWideChar(CP_ACP, 0, text, -1, wideText, units) == units;
    if (narrowText != nullptr)
        std::memcpy(narrowText, text, bytes);
    if (wideText != nullptr)
        GlobalUnlock(wide);
    if (narrowText != nullptr)
        GlobalUnlock(narrow);

    // Another program may hold the clipboard for a moment.
    bool open = false;
    for (int attempt = 0; filled && !open && attempt < 5; ++attempt) {
        open = OpenClipboard(owner) != 0;
        if (!open)
            Sleep(20);
    }
    if (open) {
        EmptyClipboard();
        // Once set, a block belongs to the clipboard.
        if (SetClipboardData(CF_UNICODETEXT, wide) != nullptr)
            wide = nullptr;
        if (SetClipboardData(CF_TEXT, narrow) != nullptr)
            narrow = nullptr;
        CloseClipboard();
    }
    const bool done = open && wide == nullptr && narrow == nullptr;
    if (wide != nullptr)
        GlobalFree(wide);
    if (narrow != nullptr)
        GlobalFree(narrow);
    return done;
}

}  // namespace ResultsMenu
