// The results list's row commands: the context menu (right click, the
// context-menu key, Shift+F10) and the keys Enter and Ctrl+C in the list.
#pragma once

#include <windows.h>

#include <cstddef>

namespace ResultsMenu {

// Makes the list answer the keys and the context menu itself. Called once,
// when the list is set up.
bool Attach(HWND list);

// The popup menu for a row (-1: the list's empty area). The caller destroys it.
HMENU Build(HWND list, int item);
// Shows the menu at a screen point and carries out the command chosen.
void Show(HWND list, int item, POINT screen);
// WM_CONTEXTMENU of the list: the row under the pointer, or the selected
// row when the position is -1 (from the keyboard).
void OnContextMenu(HWND list, LPARAM position);
// Carries out one of the menu's commands (IDM_...) on a row.
void Run(HWND list, int item, UINT command);

// WM_GETDLGCODE of a list that takes Enter itself rather than leaving it to
// the dialog manager for the default button: the list's answer, Enter added.
LRESULT WantEnter(HWND list, WPARAM wParam, LPARAM lParam);

// Puts length units of UTF-16 text on the clipboard as CF_UNICODETEXT (the
// system offers it as CF_TEXT too); false when the clipboard could not be
// had or filled.
bool CopyUnicodeText(HWND owner, const WCHAR* text, size_t length);

}  // namespace ResultsMenu
