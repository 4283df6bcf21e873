// The real search dialog with its results list, for the list's tests: rows
// added from records the test owns, cells read back through the control.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <deque>
#include <string>

#include "res/resource.h"
#include "support/WideText.h"
#include "ui/ResultsList.h"
#include "ui/ResultsMenu.h"

inline int g_lastDoubleClickItem = -2;

inline INT_PTR CALLBACK TestDialogProc(HWND, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY && wParam == IDC_RESULTS) {
        NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code == NM_DBLCLK)
            g_lastDoubleClickItem = reinterpret_cast<NMITEMACTIVATE*>(lParam)->iItem;
        ResultsList::OnNotify(header);
    }
    return message == WM_INITDIALOG;
}

inline FILETIME Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute)
{
    SYSTEMTIME time = {};
    time.wYear = year; time.wMonth = month; time.wDay = day; time.wHour = hour; time.wMinute = minute;
    FILETIME result = {};
    SystemTimeToFileTime(&time, &result);
    return result;
}

class ResultsListTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_LISTVIEW_CLASSES };
        ASSERT_TRUE(InitCommonControlsEx(&controls));
    }

    void SetUp() override
    {
        dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SEARCH), nullptr, TestDialogProc, 0);
        ASSERT_NE(dialog, nullptr);
        list = GetDlgItem(dialog, IDC_RESULTS);
        SetWindowPos(list, nullptr, 0, 0, 700, 300, SWP_NOZORDER | SWP_NOMOVE);
        ASSERT_EQ(ResultsList::InitColumns(list), 1);
        ASSERT_TRUE(ResultsMenu::Attach(list));
        ResultsList::lastSortColumn = 0;  // as at process start
    }

    void TearDown() override
    {
        DestroyWindow(dialog);
    }

    // name and folder in UTF-8.
    FoundFile* Add(const std::string& name, long long matches = 1, unsigned long long size = 0,
                   FILETIME time = {}, bool failed = false, const std::string& folder = "C:\\data",
                   DWORD openError = 0)
    {
        texts.push_back(Wide(name));
        texts.push_back(Wide(folder));
        records.emplace_back();
        FoundFile& record = records.back();
        record.name = texts[texts.size() - 2].c_str();
        record.folder = texts.back().c_str();
        record.matchCount = matches;
        record.sizeLow = static_cast<DWORD>(size);
        record.sizeHigh = static_cast<DWORD>(size >> 32);
        record.lastWriteTime = time;
        record.openStatus = failed ? -1 : 0;
        record.openError = openError;
        ResultsList::AddFoundFile(list, &record);
        return &record;
    }

    // A cell's text (UTF-8) as the list gives it.
    std::string Cell(int row, int column)
    {
        WCHAR text[300] = L"?";
        LVITEMW item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = 300;
        SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        return Utf8(text);
    }

    // The rows' names from top to bottom, read through each row's record.
    std::string Order()
    {
        std::string names;
        const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            LVITEMA item = {};
            item.mask = LVIF_PARAM;
            item.iItem = i;
            SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
            names += (i ? " " : "") + Utf8(reinterpret_cast<FoundFile*>(item.lParam)->name);
        }
        return names;
    }

    std::string Click(int column)
    {
        NMLISTVIEW click = {};
        click.hdr = { list, IDC_RESULTS, static_cast<UINT>(LVN_COLUMNCLICK) };
        click.iItem = -1;
        click.iSubItem = column;
        SendMessageA(dialog, WM_NOTIFY, IDC_RESULTS, reinterpret_cast<LPARAM>(&click));
        return Order();
    }

    HWND dialog = nullptr;
    HWND list = nullptr;
    std::deque<FoundFile> records;  // stable addresses, as the found-file list gives
    std::deque<std::wstring> texts;  // the records' names and folders
};
