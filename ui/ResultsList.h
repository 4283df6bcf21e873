// The results list: one row per found file, texts made on demand from the
// record, sorting by a clicked column, opening by double-click.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "search/SearchRequest.h"

namespace ResultsList {

// The column of the last click that sorted descending, -1 for none. Starts
// at Name and is changed only by column clicks, never by a new search.
extern int lastSortColumn;

// Handed to the comparison for the length of one LVM_SORTITEMS.
struct SortParams {
    int column;
    int ascending;  // 1 ascending, 0 descending
};

// Inserts the six columns; 1 when all were inserted, 0 at the first failure.
// Also sets the list's full-row selection and its tooltips, and has it ask
// for texts in UTF-16, whatever its parent.
int InitColumns(HWND list);
// Appends a row to list whose item data is the record (owned by the
// searcher's found-file list).
void AddFoundFile(HWND list, FoundFile* record);
// Every WM_NOTIFY of the list.
void OnNotify(NMHDR* header);

// Writes one cell's text, never more than the request's cchTextMax.
void GetDisplayText(NMLVDISPINFOW* info);
// Sorts the rows by a clicked column; the direction follows lastSortColumn.
void SortByColumn(HWND list, int column);
// The LVM_SORTITEMS comparison: lParam of two rows and a SortParams*.
int CALLBACK CompareFoundFiles(LPARAM first, LPARAM second, LPARAM params);
// Opens the double-clicked row's file with its associated program.
void OpenItem(const NMITEMACTIVATE* activate);
// Opens a row's file as a double-click does; nothing for no row. Where the
// shell cannot open a path that long, the error box says so.
void OpenRow(HWND list, int item);
// A failed row's tooltip says why the file could not be opened.
void GetInfoTip(NMLVGETINFOTIPW* tip);
// The row's record, or null for no row.
const FoundFile* RowRecord(HWND list, int item);
// The selected row (the list keeps at most one), or -1.
int SelectedRow(HWND list);
// The full path of a row's file as the user reads it (FullPath); false,
// leaving path empty, for no row or no record.
bool ItemPath(HWND list, int item, std::wstring* path);

// The size as "532 bytes", "1.17 KB", "4.65 GB" ..., over all 64 bits.
void FormatByteSize(char* buffer, DWORD sizeLow, DWORD sizeHigh, UINT bufferSize);
// "2005-03-01 09:05": year, then month, day, hour and minute in two digits.
void FormatTimestamp(char* buffer, UINT bufferSize, int year, int month, int day, int hour, int minute);

}  // namespace ResultsList
