// The preview pane in the running window: the selected row's matching lines
// in each reading, the rows that show something else, cancelling, the
// marks, the keys and the split bar.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/AppDriver.h"
#include "support/KeysAndClipboard.h"
#include "support/LockedFile.h"
#include "support/TempFolder.h"
#include "ui/DpiScale.h"
#include "ui/SettingsStore.h"

namespace {

HWND Pane(const AppDriver& driver)
{
    return driver.Control(IDC_PREVIEW);
}

// Selects the results row of the file named so, as a click does.
bool Select(const AppDriver& driver, const std::string& name)
{
    HWND list = driver.Control(IDC_RESULTS);
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        if (name != Utf8(reinterpret_cast<const FoundFile*>(item.lParam)->name))
            continue;
        LVITEMA state = {};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
        return true;
    }
    return false;
}

std::wstring Cell(HWND list, int item, int column)
{
    WCHAR text[1024] = {};
    LVITEMW cell = {};
    cell.iSubItem = column;
    cell.pszText = text;
    cell.cchTextMax = 1024;
    SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&cell));
    return text;
}

// The pane's items as "NUMBER: TEXT", or the text alone for an item that is
// no line, in UTF-8.
std::vector<std::string> Items(const AppDriver& driver)
{
    std::vector<std::string> items;
    HWND list = Pane(driver);
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int item = 0; item < count; ++item) {
        const std::wstring number = Cell(list, item, 0);
        const std::wstring text = (number.empty() ? L"" : number + L": ") + Cell(list, item, 1);
        char utf8[4096] = {};
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
        items.push_back(utf8);
    }
    return items;
}

// Selects the row and lets the loop run until the pane has read its file.
std::vector<std::string> Preview(AppDriver& driver, const std::string& name)
{
    EXPECT_TRUE(Select(driver, name)) << name;
    driver.RunUntilWaiting();
    return Items(driver);
}

std::string Utf16Be(const std::wstring& text)
{
    std::string bytes;
    for (WCHAR unit : text) {
        bytes.push_back(static_cast<char>(unit >> 8));
        bytes.push_back(static_cast<char>(unit & 0xFF));
    }
    return bytes;
}

}  // namespace

// One file per reading, occurrences several to a line and lines ending in
// CR, LF and CR LF; a line too long to show whole is cut around its first
// occurrence. The text typed is "café".
TEST(PreviewPane, ShowsEachReadingsLinesWithTheirNumbers)
{
    TempFolder folder;
    const std::string longLine = std::string(1000, 'x') + "caf\xE9" + std::string(1000, 'y');
    struct Row {
        const char* name;
        std::string content;
        std::vector<std::string> items;
    } const rows[] = {
        {"u8.txt", "caf\xC3\xA9 caf\xC3\xA9\r\nx\rcaf\xC3\xA9\n", {"1: caf\xC3\xA9 caf\xC3\xA9", "3: caf\xC3\xA9"}},
        {"be.txt", "\xFE\xFF" + Utf16Be(L"caf\u00E9\ncaf\u00E9 x caf\u00E9"),
         {"1: caf\xC3\xA9", "2: caf\xC3\xA9 x caf\xC3\xA9"}},
        {"cp.txt", "caf\xE9\r\ncaf\xE9" "caf\xE9", {"1: caf\xC3\xA9", "2: caf\xC3\xA9" "caf\xC3\xA9"}},
        {"doc.rtf", "{\\rtf1\\ansi caf\\'e9\\par x\\line caf\\'e9 caf\\'e9}", {"1: caf\xC3\xA9", "3: caf\xC3\xA9 caf\xC3\xA9"}},
        {"long.txt", "no\n" + longLine,
         {"2: \xE2\x80\xA6" + std::string(100, 'x') + "caf\xC3\xA9" + std::string(196, 'y') + "\xE2\x80\xA6"}},
    };
    for (const Row& row : rows)
        folder.Write(row.name, row.content);
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    driver.Search(folder.Path(), "caf\xE9");
    driver.RunUntilWaiting();
    for (const Row& row : rows)
        EXPECT_EQ(Preview(driver, row.name), row.items) << row.name;
}

// A failed row shows why; a row of the empty text, and no row, show nothing;
// a file that lost the text since the search says so.
TEST(PreviewPane, OtherRowsShowTheirReasonOrNothing)
{
    TempFolder folder;
    folder.Write("kept.txt", "needle");
    const std::string changed = folder.Write("changed.txt", "a needle");
    LockedFile locked(folder.Write("locked.txt", "needle"));
    ASSERT_TRUE(locked.Held());
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    driver.Search(folder.Path(), "needle");
    driver.RunUntilWaiting();
    folder.Write("changed.txt", "a thread");

    const std::vector<std::string> failed = Preview(driver, "locked.txt");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_NE(failed[0].find("(error 32)"), std::string::npos) << failed[0];
    EXPECT_EQ(Preview(driver, "changed.txt"), std::vector<std::string>{"The text is no longer in this file."});
    EXPECT_EQ(Preview(driver, "kept.txt"), std::vector<std::string>{"1: needle"});
    LVITEMA none = {};
    none.stateMask = LVIS_SELECTED;
    SendMessageA(driver.Control(IDC_RESULTS), LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(&none));
    EXPECT_TRUE(Items(driver).empty());

    driver.Search(folder.Path(), "");
    driver.RunUntilWaiting();
    EXPECT_TRUE(Preview(driver, "kept.txt").empty());
}

// A large file is read a piece per turn, beside a running search; a new
// selection lets it go at once (no handle stays open), and so does a new
// search. Past the lines kept, the rest are counted.
TEST(PreviewPane, ReadsBesideTheSearchAndLetsGoAtOnce)
{
    TempFolder folder;
    std::string many;
    for (int line = 1; line <= 1500; ++line)
        many += "line " + std::to_string(line) + " needle\r\n";
    std::string large;
    while (large.size() < 48 * 1024 * 1024)
        large += many;
    const std::string largePath = folder.Write("a-large.txt", large);
    folder.Write("b-many.txt", many);
    // Files come before subfolders: the search is still busy with this one.
    folder.Write("sub\\slow.txt", std::string(32 * 1024 * 1024, 'x') + "needle");
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    auto paneItems = [&] { return static_cast<int>(SendMessageW(Pane(driver), LVM_GETITEMCOUNT, 0, 0)); };
    driver.Search(folder.Path(), "needle");
    ASSERT_TRUE(driver.RunUntil([&] { return Select(driver, "a-large.txt"); }));
    ASSERT_TRUE(driver.RunUntil([&] { return paneItems() > 0; }));
    EXPECT_TRUE(driver.Running()) << "lines show while the search runs";
    EXPECT_TRUE(driver.app->window.Preview().Reading());

    driver.RunUntil([&] { return !driver.Running(); });
    ASSERT_TRUE(Select(driver, "b-many.txt"));
    HANDLE alone = CreateFileA(largePath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(alone, INVALID_HANDLE_VALUE) << "the large file is still open";
    CloseHandle(alone);
    const std::vector<std::string> items = Preview(driver, "b-many.txt");
    ASSERT_EQ(items.size(), 1001u);
    EXPECT_EQ(items[0], "1: line 1 needle");
    EXPECT_EQ(items[999], "1000: line 1000 needle");
    EXPECT_EQ(items[1000], "... and 500 more lines");

    ASSERT_TRUE(Select(driver, "a-large.txt"));
    ASSERT_TRUE(driver.RunUntil([&] { return paneItems() > 1000; }));
    EXPECT_TRUE(driver.app->window.Preview().Reading());
    EXPECT_EQ(Items(driver).back(), "... more lines");
    driver.Search(folder.Path(), "needle");
    EXPECT_FALSE(driver.app->window.Preview().Reading());
    EXPECT_EQ(paneItems(), 0);
}

// The occurrences of a line are drawn on the highlight colour; an item that
// is no line is left to the list.
TEST(PreviewPane, MarksTheOccurrencesWhenItDrawsALine)
{
    TempFolder folder;
    folder.Write("a.txt", "needle and needle");
    LockedFile locked(folder.Write("b.txt", "needle"));
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    driver.Search(folder.Path(), "needle");
    driver.RunUntilWaiting();
    HWND list = Pane(driver);
    RECT cell = {};
    for (const char* name : {"a.txt", "b.txt"}) {
        ASSERT_EQ(Preview(driver, name).size(), 1u);
        cell.top = 1;
        cell.left = LVIR_BOUNDS;
        ASSERT_TRUE(SendMessageW(list, LVM_GETSUBITEMRECT, 0, reinterpret_cast<LPARAM>(&cell)));
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, cell.right, cell.bottom);
        ReleaseDC(nullptr, screen);
        HGDIOBJ previous = SelectObject(dc, bitmap);
        NMLVCUSTOMDRAW draw = {};
        draw.nmcd.hdr.hwndFrom = list;
        draw.nmcd.hdr.idFrom = IDC_PREVIEW;
        draw.nmcd.hdr.code = NM_CUSTOMDRAW;
        draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
        draw.nmcd.hdc = dc;
        draw.nmcd.rc = cell;
        draw.iSubItem = 1;
        SendMessageW(driver.Window(), WM_NOTIFY, IDC_PREVIEW, reinterpret_cast<LPARAM>(&draw));
        const LONG_PTR result = GetWindowLongPtrW(driver.Window(), DWLP_MSGRESULT);
        int marked = 0;
        for (int x = cell.left; x < cell.right; ++x)
            marked += GetPixel(dc, x, (cell.top + cell.bottom) / 2) == GetSysColor(COLOR_HIGHLIGHT) ? 1 : 0;
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
        if (std::string(name) == "a.txt") {
            EXPECT_EQ(result, CDRF_SKIPDEFAULT);
            EXPECT_GT(marked, 0) << "no occurrence drawn marked";
        } else {
            EXPECT_EQ(result, CDRF_DODEFAULT);
        }
    }
}

// Tab reaches the pane after the results list; Ctrl+C copies the selected
// lines as "NUMBER: TEXT", one a line.
TEST(PreviewPane, TabReachesItAndCtrlCCopiesTheSelectedLines)
{
    TempFolder folder;
    folder.Write("a.txt", "one needle\r\ntwo\r\nthree needle\tend\r\n");
    AppDriver driver;
    ASSERT_EQ(driver.started, S_OK);
    driver.Search(folder.Path(), "needle");
    driver.RunUntilWaiting();
    HWND list = Pane(driver);
    EXPECT_EQ(GetNextDlgTabItem(driver.Window(), driver.Control(IDC_RESULTS), FALSE), list);
    EXPECT_EQ(GetNextDlgTabItem(driver.Window(), list, TRUE), driver.Control(IDC_RESULTS));

    ASSERT_EQ(Preview(driver, "a.txt").size(), 2u);
    LVITEMW all = {};
    all.stateMask = LVIS_SELECTED;
    all.state = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&all));
    SetKey(VK_CONTROL, true);
    SendMessageW(list, WM_KEYDOWN, 'C', 0);
    SetKey(VK_CONTROL, false);
    EXPECT_EQ(ClipboardText<WCHAR>(CF_UNICODETEXT), L"1: one needle\r\n3: three needle end\r\n");
}

// The bar between the lists follows a drag and its place is stored; the
// next start takes it up. Escape puts a bar being dragged back.
TEST(PreviewPane, TheSplitFollowsADragAndIsRemembered)
{
    TempFolder folder;
    folder.Write("a.txt", "needle");
    int stored = 0;
    {
        AppDriver driver;
        ASSERT_EQ(driver.started, S_OK);
        driver.Search(folder.Path(), "needle");
        driver.RunUntilWaiting();
        HWND window = driver.Window();
        // Room for the bar to move in.
        const RECT grown = driver.WindowRect();
        SetWindowPos(window, nullptr, 0, 0, grown.right - grown.left, grown.bottom - grown.top + 200,
                     SWP_NOMOVE | SWP_NOZORDER);
        const RECT bar = driver.app->window.Layout().SplitterBar(window);
        ASSERT_GT(bar.bottom, bar.top);
        const int height = [&] {
            RECT rect = {};
            GetWindowRect(Pane(driver), &rect);
            return static_cast<int>(rect.bottom - rect.top);
        }();
        const int x = bar.right / 2;
        const int y = (bar.top + bar.bottom) / 2;
        const int up = ScaleToScreen(window, 20);
        SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y - 2 * up));
        SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(IsWindow(window)) << "Escape during a drag closed the window";
        RECT rect = {};
        GetWindowRect(Pane(driver), &rect);
        EXPECT_EQ(rect.bottom - rect.top, height);

        SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y - up));
        SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y - up));
        GetWindowRect(Pane(driver), &rect);
        EXPECT_NEAR(rect.bottom - rect.top, height + up, 1);
        stored = static_cast<int>(SettingsStore::ReadDword("PreviewHeight", 0));
        EXPECT_NEAR(ScaleToScreen(window, stored), height + up, 1);
    }
    AppDriver next;
    ASSERT_EQ(next.started, S_OK);
    SettingsStore::WriteDword(static_cast<DWORD>(stored), "PreviewHeight");
    next.Search(folder.Path(), "needle");
    next.RunUntilWaiting();
    const RECT grown = next.WindowRect();
    SetWindowPos(next.Window(), nullptr, 0, 0, grown.right - grown.left, grown.bottom - grown.top + 200,
                 SWP_NOMOVE | SWP_NOZORDER);
    RECT rect = {};
    GetWindowRect(Pane(next), &rect);
    EXPECT_EQ(rect.bottom - rect.top, ScaleToScreen(next.Window(), stored));
}
