// The results list's row commands: the context menu (right click, the
// context-menu key, Shift+F10) and the keys Enter and Ctrl+C in the list.
#pragma once

#include <windows.h>

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

// Puts the text on the clipboard as CF_UNICODETEXT, from which the platform
// makes the other text formats; false when the clipboard could not be had
// or filled.
bool CopyText(HWND owner, const WCHAR* text);

}  // namespace ResultsMenu
