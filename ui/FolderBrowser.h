// The shell's folder browser behind the window's Browse button: the browser
// callback, the step that puts a chosen folder into the box, and the browse.
#pragma once

#include <windows.h>
#include <shlobj.h>

// Called by SHBrowseForFolderW; data is the folder text (UTF-16) to open at.
// On BFFM_INITIALIZED it selects that folder. Returns 0 for every message.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data);

// Makes the file-system path of item, however long, the text of
// IDC_LOCATION in window. An item without such a path leaves the box as it
// was and answers false. The item stays the caller's.
bool PutBrowsedFolder(HWND window, PCIDLIST_ABSOLUTE item);

// Opens the browser, owned by window, at the folder named in its
// IDC_LOCATION. A chosen folder becomes the box's text; the recent list is
// left to the next search. Cancelling changes nothing.
void BrowseForFolder(HWND window);
