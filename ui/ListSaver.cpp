// The list as a CSV file that a spreadsheet opens safely: UTF-8 text, every
// cell quoted where needed, and no cell that a spreadsheet would run as a
// formula.
#include "ui/ListSaver.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "res/resource.h"
#include "search/SearchRequest.h"
#include "ui/ErrorBox.h"
#include "ui/FailureReason.h"
#include "ui/ResultsList.h"

namespace ListSaver {

namespace {

const char Header[] = "Name,Matches,Location,Size,Type,Modified,Note\r\n";
const WCHAR DefaultName[] = L"Trovik results.csv";
// The save dialog's filter: pairs of a description and a pattern, then an empty text.
const WCHAR Filter[] = L"CSV (*.csv)\0*.csv\0";
const int ListColumns = 6;
const int NameColumn = 0;
const int LocationColumn = 2;
const int SizeColumn = 3;

// A text of the window in UTF-8.
std::string Utf8(const WCHAR* text)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1)
        return std::string();
    std::string result(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &result[0], bytes, nullptr, nullptr);
    result.resize(static_cast<size_t>(bytes) - 1);
    return result;
}

// Appends one cell. A cell that a spreadsheet would take for a formula gets
// an apostrophe in front; a cell with a comma, quote or line break is quoted.
void AppendCell(std::string& line, const std::string& cell)
{
    std::string text;
    if (!cell.empty() && std::strchr("=+-@\t\r", cell[0]) != nullptr)
        text = "'";
    text += cell;
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        line += text;
        return;
    }
    line += '"';
    for (char c : text) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

// A cell's text as the list shows it; a name or a folder whole, however long.
std::string ShownText(const FoundFile& record, int column)
{
    if (column == NameColumn || column == LocationColumn) {
        const WCHAR* text = column == NameColumn ? record.name : record.folder;
        return Utf8(text != nullptr ? text : L"");
    }
    WCHAR text[1024] = L"";
    NMLVDISPINFOW info = {};
    info.item.mask = LVIF_TEXT;
    info.item.iSubItem = column;
    info.item.lParam = reinterpret_cast<LPARAM>(&record);
    info.item.pszText = text;
    info.item.cchTextMax = 1024;
    ResultsList::GetDisplayText(&info);
    text[1023] = 0;
    return Utf8(text);
}

// The folder part of a path, for the temporary file; "." for a bare name.
std::wstring FolderOf(const WCHAR* path)
{
    const WCHAR* last = nullptr;
    for (const WCHAR* at = path; *at != 0; ++at) {
        if (*at == L'\\' || *at == L'/')
            last = at;
    }
    if (last == nullptr)
        return L".";
    std::wstring folder(path, static_cast<size_t>(last - path));
    if (folder.empty() || folder.back() == L':')  // "\file" or "C:\file": the root itself
        folder += L'\\';
    return folder;
}

DWORD WriteAll(HANDLE file, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const size_t left = text.size() - done;
        const DWORD chunk = left > 0x10000000u ? 0x10000000u : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(file, text.data() + done, chunk, &written, nullptr))
            return GetLastError();
        if (written == 0)
            return ERROR_WRITE_FAULT;
        done += written;
    }
    return FlushFileBuffers(file) ? 0 : GetLastError();
}

}  // namespace

std::string ListAsCsv(HWND list)
{
    std::string csv = "\xEF\xBB\xBF";
    csv += Header;
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        const FoundFile* record = ResultsList::RowRecord(list, row);
        if (record == nullptr)
            continue;
        std::string line;
        for (int column = 0; column < ListColumns; ++column) {
            if (column == SizeColumn)
                AppendCell(line, std::to_string(FoundFileSize(*record)));
            else
                AppendCell(line, ShownText(*record, column));
            line += ',';
        }
        WCHAR reason[1024];
        FailureReason::Text(*record, reason, 1024);
        AppendCell(line, Utf8(reason));
        csv += line;
        csv += "\r\n";
    }
    return csv;
}

DWORD WriteList(HWND list, const WCHAR* path)
{
    if (path == nullptr || path[0] == 0)
        return ERROR_INVALID_NAME;
    std::string csv;
    try {
        csv = ListAsCsv(list);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    // The whole text goes to a new file beside the target first; only a
    // complete file takes the target's name.
    WCHAR temporary[MAX_PATH];
    if (!GetTempFileNameW(FolderOf(path).c_str(), L"trv", 0, temporary))
        return GetLastError();
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD error = file == INVALID_HANDLE_VALUE ? GetLastError() : WriteAll(file, csv);
    if (file != INVALID_HANDLE_VALUE && !CloseHandle(file) && error == 0)
        error = GetLastError();
    if (error == 0 && !MoveFileExW(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != 0)
        DeleteFileW(temporary);
    return error;
}

void SaveListAs(HWND owner, HWND list)
{
    WCHAR path[MAX_PATH];
    std::memcpy(path, DefaultName, sizeof DefaultName);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = Filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = L"csv";
    // The walk is positioned by the current directory: the dialog must not move it.
    dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&dialog))
        return;  // cancelled
    const DWORD error = WriteList(list, path);
    if (error != 0)
        ShowErrorBox(owner, IDS_SAVE_FAILED, MB_ICONERROR | MB_OK, error);
}

}  // namespace ListSaver
