// The results list of the search window: columns, rows that point at the
// found-file records, cell texts made on request, sorting, opening and the
// hand-over of a drag.
#include "ui/ResultsList.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "dragdrop/DragSource.h"
#include "res/resource.h"
#include "search/LongPaths.h"
#include "search/SearchText.h"
#include "ui/AppInstance.h"
#include "ui/DpiScale.h"
#include "ui/ErrorBox.h"
#include "ui/FailureReason.h"

namespace ResultsList {

int lastSortColumn = 0;

namespace {

enum Column { NameColumn, MatchesColumn, LocationColumn, SizeColumn, TypeColumn, ModifiedColumn, ColumnCount };

// Copies as much of text as fits, always terminated; nothing for no room.
void CopyText(char* buffer, size_t bufferSize, const char* text, size_t textLength)
{
    if (!buffer || bufferSize == 0)
        return;
    const size_t length = textLength < bufferSize - 1 ? textLength : bufferSize - 1;
    std::memcpy(buffer, text, length);
    buffer[length] = 0;
}

// The same for UTF-16, never cutting a surrogate pair in two.
void CopyText(WCHAR* buffer, size_t bufferSize, const WCHAR* text, size_t textLength)
{
    if (!buffer || bufferSize == 0)
        return;
    size_t length = textLength < bufferSize - 1 ? textLength : bufferSize - 1;
    if (length < textLength && length > 0 && IS_HIGH_SURROGATE(text[length - 1]))
        --length;
    std::memcpy(buffer, text, length * sizeof(WCHAR));
    buffer[length] = 0;
}

// A text of the code page's characters (a size, a time) as a cell's UTF-16.
void CopyNarrow(WCHAR* buffer, size_t bufferSize, const char* text)
{
    WCHAR wide[256];
    const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 256);
    CopyText(buffer, bufferSize, wide, units > 0 ? static_cast<size_t>(units) - 1 : 0);
}

// One character of a name for comparing: a surrogate pair counts as one, by
// its code point, and ASCII capitals fold to lower case.
unsigned NextCharacter(const WCHAR* text, size_t& at)
{
    const unsigned unit = text[at];
    if (unit == 0)
        return 0;
    ++at;
    if (IS_HIGH_SURROGATE(unit) && IS_LOW_SURROGATE(text[at]))
        return 0x10000 + ((unit - 0xD800) << 10) + (static_cast<unsigned>(text[at++]) - 0xDC00);
    if (unit >= 'A' && unit <= 'Z')
        return unit + ('a' - 'A');
    return unit;
}

int CompareNoCase(const WCHAR* first, const WCHAR* second)
{
    const WCHAR* a = first != nullptr ? first : L"";
    const WCHAR* b = second != nullptr ? second : L"";
    size_t i = 0;
    size_t j = 0;
    for (;;) {
        const unsigned x = NextCharacter(a, i);
        const unsigned y = NextCharacter(b, j);
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
}

template <typename T>
int CompareNumbers(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// floor(value * multiplier / 2^shift) for value < 2^shift, shift <= 60 and
// multiplier <= 100, exact and without overflow.
unsigned long long ScaleDown(unsigned long long value, unsigned multiplier, unsigned shift)
{
    const unsigned long long high = (value >> 32) * multiplier;
    const unsigned long long low = (value & 0xFFFFFFFFull) * multiplier;
    if (shift >= 32)
        return (high + (low >> 32)) >> (shift - 32);
    // value < 2^shift < 2^32 here, so the product fits.
    return (value * multiplier) >> shift;
}

// A column's width: its width at 96 DPI scaled to the screen, or more where
// the header or, for Modified, a time would not show whole in the list's font.
int ColumnWidth(HWND list, int column, const char* header)
{
    const int margins = ScaleToScreen(list, 12);
    int width = ScaleToScreen(list, column == NameColumn || column == LocationColumn ? 200 : 80);
    auto widen = [&](const char* text) {
        const int needed = static_cast<int>(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(text)));
        if (needed + margins > width)
            width = needed + margins;
    };
    widen(header);
    if (column == ModifiedColumn) {
        char time[256];
        FormatTimestamp(time, sizeof time, 2000, 12, 31, 23, 59);
        widen(time);
    }
    return width;
}

}  // namespace

int InitColumns(HWND list)
{
    // A click anywhere on a row selects it, and a row can show a tooltip.
    const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    // Names and folders in any script: the cell texts are asked for in UTF-16.
    SendMessageW(list, LVM_SETUNICODEFORMAT, TRUE, 0);
    for (int i = 0; i < ColumnCount; ++i) {
        char header[256] = "";
        LoadStringA(AppInstance(), IDS_COLUMN_NAME + i, header, sizeof header);
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = i == SizeColumn ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = ColumnWidth(list, i, header);
        column.pszText = header;
        column.iSubItem = i;
        if (SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column)) == -1)
            return 0;
    }
    return 1;
}

void AddFoundFile(HWND list, FoundFile* record)
{
    if (!record || !list)
        return;
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
    item.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = LPSTR_TEXTCALLBACKA;
    item.lParam = reinterpret_cast<LPARAM>(record);
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void OnNotify(NMHDR* header)
{
    if (!header)
        return;
    switch (header->code) {
    case LVN_GETDISPINFOW: GetDisplayText(reinterpret_cast<NMLVDISPINFOW*>(header)); break;
    case LVN_COLUMNCLICK: SortByColumn(header->hwndFrom, reinterpret_cast<NMLISTVIEW*>(header)->iSubItem); break;
    case NM_DBLCLK: OpenItem(reinterpret_cast<NMITEMACTIVATE*>(header)); break;
    case LVN_BEGINDRAG: BeginFileDrag(reinterpret_cast<NMLISTVIEW*>(header)); break;
    case LVN_GETINFOTIPW: GetInfoTip(reinterpret_cast<NMLVGETINFOTIPW*>(header)); break;
    default: break;
    }
}

void GetDisplayText(NMLVDISPINFOW* info)
{
    if (!info || !(info->item.mask & LVIF_TEXT))
        return;
    WCHAR* text = info->item.pszText;
    if (!text || text == LPSTR_TEXTCALLBACKW || info->item.cchTextMax <= 0)
        return;
    const size_t room = static_cast<size_t>(info->item.cchTextMax);
    const FoundFile* record = reinterpret_cast<const FoundFile*>(info->item.lParam);
    if (!record)
        return;
    char narrow[256] = "";
    switch (info->item.iSubItem) {
    case NameColumn:
        CopyText(text, room, record->name ? record->name : L"", record->name ? std::wcslen(record->name) : 0);
        break;
    case MatchesColumn:
        std::snprintf(narrow, sizeof narrow, "%lld", record->matchCount);
        CopyNarrow(text, room, narrow);
        break;
    case LocationColumn:
        CopyText(text, room, record->folder ? record->folder : L"", record->folder ? std::wcslen(record->folder) : 0);
        break;
    case SizeColumn:
        FormatByteSize(narrow, record->sizeLow, record->sizeHigh, sizeof narrow);
        CopyNarrow(text, room, narrow);
        break;
    case TypeColumn:
        text[0] = 0;
        if (record->openStatus == -1) {
            const int limit = room < 256 ? static_cast<int>(room) : 256;
            if (LoadStringW(AppInstance(), IDS_FAILED, text, limit) <= 0)
                text[0] = 0;
        } else {
            // The reading that found the file; none for an unread file.
            CopyNarrow(text, room, ReadingName(record->reading));
        }
        break;
    case ModifiedColumn: {
        text[0] = 0;
        SYSTEMTIME time;
        // Shown as UTC: the record's time is not converted to local time.
        if (FileTimeToSystemTime(&record->lastWriteTime, &time)) {
            FormatTimestamp(narrow, sizeof narrow, time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute);
            CopyNarrow(text, room, narrow);
        }
        break;
    }
    default:
        break;
    }
}

void SortByColumn(HWND list, int column)
{
    SortParams params = {};
    params.column = column;
    if (column == lastSortColumn) {
        params.ascending = 1;
        lastSortColumn = -1;
    } else {
        params.ascending = 0;
        lastSortColumn = column;
    }
    SendMessageA(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&params),
                 reinterpret_cast<LPARAM>(&CompareFoundFiles));
}

int CALLBACK CompareFoundFiles(LPARAM first, LPARAM second, LPARAM params)
{
    const SortParams* sort = reinterpret_cast<const SortParams*>(params);
    const FoundFile* a = reinterpret_cast<const FoundFile*>(first);
    const FoundFile* b = reinterpret_cast<const FoundFile*>(second);
    if (!sort || !a || !b)
        return 0;
    if (!sort->ascending) {
        const FoundFile* swap = a;
        a = b;
        b = swap;
    }
    switch (sort->column) {
    case NameColumn: return CompareNoCase(a->name, b->name);
    case MatchesColumn: return CompareNumbers(a->matchCount, b->matchCount);
    case LocationColumn: return CompareNoCase(a->folder, b->folder);
    case SizeColumn: return CompareNumbers(FoundFileSize(*a), FoundFileSize(*b));
    // Files that could not be opened sort as the greater: descending puts them
    // first; the others by the name of the reading that found them.
    case TypeColumn: {
        const int failed = CompareNumbers(a->openStatus == -1 ? 1 : 0, b->openStatus == -1 ? 1 : 0);
        if (failed != 0 || a->openStatus == -1)
            return failed;
        return std::strcmp(ReadingName(a->reading), ReadingName(b->reading));
    }
    case ModifiedColumn: return CompareFileTime(&a->lastWriteTime, &b->lastWriteTime);
    default: return 0;
    }
}

const FoundFile* RowRecord(HWND list, int item)
{
    if (item < 0)
        return nullptr;
    LVITEMA row = {};
    row.mask = LVIF_PARAM;
    row.iItem = item;
    if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&row)))
        return nullptr;
    return reinterpret_cast<const FoundFile*>(row.lParam);
}

int SelectedRow(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

bool ItemPath(HWND list, int item, std::wstring* path)
{
    path->clear();
    const FoundFile* record = RowRecord(list, item);
    if (record == nullptr)
        return false;
    *path = FullPath(*record);
    return true;
}

void OpenItem(const NMITEMACTIVATE* activate)
{
    if (activate)
        OpenRow(activate->hdr.hwndFrom, activate->iItem);
}

void OpenRow(HWND list, int item)
{
    const FoundFile* record = RowRecord(list, item);
    if (record == nullptr)
        return;
    const std::wstring path = ShellPath(*record);
    // A program that cannot be started shows what the shell decides; a path
    // past the classic limit, which the shell may not take at all, shows the
    // error box instead.
    const bool longPath = FullPath(*record).size() >= MAX_PATH;
    SHELLEXECUTEINFOW open = {};
    open.cbSize = sizeof open;
    open.fMask = longPath ? SEE_MASK_FLAG_NO_UI : 0;
    open.hwnd = GetParent(list);
    open.lpVerb = L"open";
    open.lpFile = path.c_str();
    open.lpDirectory = L".";
    open.nShow = SW_SHOWDEFAULT;
    if (!ShellExecuteExW(&open) && longPath)
        ShowErrorBox(GetParent(list), IDS_OPEN_LONG_PATH, MB_ICONERROR | MB_OK, GetLastError());
}

void GetInfoTip(NMLVGETINFOTIPW* tip)
{
    if (!tip || !tip->pszText || tip->cchTextMax <= 0)
        return;
    const FoundFile* record = RowRecord(tip->hdr.hwndFrom, tip->iItem);
    if (!record || record->openStatus != -1)
        return;  // the list's own tip (a cut-off name in full) stays
    WCHAR reason[1024];
    FailureReason::Text(*record, reason, 1024);
    if (reason[0] != 0)
        CopyText(tip->pszText, static_cast<size_t>(tip->cchTextMax), reason, std::wcslen(reason));
}

void FormatByteSize(char* buffer, DWORD sizeLow, DWORD sizeHigh, UINT bufferSize)
{
    if (!buffer || bufferSize == 0)
        return;
    const unsigned long long size = (static_cast<unsigned long long>(sizeHigh) << 32) | sizeLow;
    char text[64];
    if (size < 1024) {
        std::snprintf(text, sizeof text, "%u bytes", static_cast<unsigned>(size));
        CopyText(buffer, bufferSize, text, std::strlen(text));
        return;
    }
    // The smallest unit that keeps the number below 1000, three significant
    // digits, cut off rather than rounded: 1023999 bytes is "999 KB".
    static const char* const units[] = { "KB", "MB", "GB", "TB", "PB", "EB" };
    unsigned unit = 1;
    while (unit < 6 && (size >> (10 * unit)) >= 1000)
        ++unit;
    const unsigned shift = 10 * unit;
    const unsigned long long whole = size >> shift;
    const unsigned decimals = whole < 10 ? 2 : (whole < 100 ? 1 : 0);
    const unsigned scale = decimals == 2 ? 100 : (decimals == 1 ? 10 : 1);
    const unsigned long long fraction = ScaleDown(size & ((1ull << shift) - 1), scale, shift);

    char separator[8] = ".";
    if (decimals && GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, sizeof separator) <= 0)
        std::strcpy(separator, ".");
    if (decimals)
        std::snprintf(text, sizeof text, "%u%s%0*u %s", static_cast<unsigned>(whole), separator,
                      static_cast<int>(decimals), static_cast<unsigned>(fraction), units[unit - 1]);
    else
        std::snprintf(text, sizeof text, "%u %s", static_cast<unsigned>(whole), units[unit - 1]);
    CopyText(buffer, bufferSize, text, std::strlen(text));
}

void FormatTimestamp(char* buffer, UINT bufferSize, int year, int month, int day, int hour, int minute)
{
    if (!buffer || bufferSize == 0)
        return;
    // FormatMessageA reads every argument as a pointer-sized slot.
    DWORD_PTR arguments[5] = {
        static_cast<DWORD_PTR>(year), static_cast<DWORD_PTR>(month), static_cast<DWORD_PTR>(day),
        static_cast<DWORD_PTR>(hour), static_cast<DWORD_PTR>(minute),
    };
    char text[256];
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                        "%1!d!-%2!02d!-%3!02d! %4!02d!:%5!02d!", 0, 0, text, sizeof text,
                                        reinterpret_cast<va_list*>(arguments));
    if (length == 0) {
        buffer[0] = 0;
        return;
    }
    CopyText(buffer, bufferSize, text, length);
}

}  // namespace ResultsList
