// Saves the results list as a CSV file: the save dialog, the text of the
// file, and a write that leaves either the whole file or none.
#pragma once

#include <windows.h>

#include <string>

namespace ListSaver {

// The list's rows in their current order: UTF-8 with a byte-order mark,
// a header row, one line per row ending in CR LF, cells quoted as RFC 4180
// asks. The cells are the list's own texts except Size (exact bytes) and
// Note (why a failed file could not be opened).
std::string ListAsCsv(HWND list);

// Writes the list to a temporary file beside path and renames it to path.
// Returns 0, or the system's error code with no file of its own left behind
// (a file that was at path before stays as it was).
DWORD WriteList(HWND list, const WCHAR* path);

// Asks for the file with the save dialog, then writes the list; a failure
// shows the error box.
void SaveListAs(HWND owner, HWND list);

}  // namespace ListSaver
