// The results list: one row per found file, texts made on demand from the
// record, sorting by a clicked column, opening by double-click.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "search/SearchRequest.h"

namespace ResultsList {

// Inserts the six columns; 1 when all were inserted.
int InitColumns(HWND list);
// Appends a row whose item data is the record (owned by the found-file list).
void AddFoundFile(FoundFile* record);
// Every WM_NOTIFY of the list.
void OnNotify(NMHDR* header);

}  // namespace ResultsList
