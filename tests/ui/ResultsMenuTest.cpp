// The results list's row commands on the real dialog and list view: the
// context menu's items and states, the clipboard, and failed rows' tooltips.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ResultsListFixture.h"
#include "search/SearchRequest.h"
#include "support/KeysAndClipboard.h"
#include "ui/FailureReason.h"

namespace {

class ResultsMenuTest : public ResultsListTest {
protected:
    // The menu's items as "text|state" lines, state one of on, off, default,
    // default-off; a separator reads "-".
    static std::vector<std::string> Items(HMENU menu)
    {
        std::vector<std::string> items;
        const UINT defaultId = GetMenuDefaultItem(menu, FALSE, GMDI_USEDISABLED);
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            char text[128] = "";
            MENUITEMINFOA info = {};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
            info.dwTypeData = text;
            info.cch = sizeof text;
            if (!GetMenuItemInfoA(menu, i, TRUE, &info)) {
                items.push_back("?");
                continue;
            }
            if (info.fType & MFT_SEPARATOR) {
                items.push_back("-");
                continue;
            }
            const bool off = (info.fState & MFS_DISABLED) != 0;
            const bool isDefault = info.wID == defaultId;
            items.push_back(std::string(text) + "|" + (isDefault ? "default" : "") + (isDefault && off ? "-" : "") +
                            (off ? "off" : (isDefault ? "" : "on")));
        }
        return items;
    }

    // The menu that the list opens for a message, read while it is shown
    // and then closed without a command.
    std::vector<std::string> MenuFor(UINT message, WPARAM wParam, LPARAM lParam)
    {
        shown.clear();
        current = this;
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, ReadOpenMenu);
        SendMessageA(list, message, wParam, lParam);
        KillTimer(nullptr, timer);
        current = nullptr;
        return shown;
    }

    static void CALLBACK ReadOpenMenu(HWND, UINT, UINT_PTR, DWORD)
    {
        HWND popup = nullptr;
        do
            popup = FindWindowExA(nullptr, popup, "#32768", nullptr);
        while (popup != nullptr && (GetWindowThreadProcessId(popup, nullptr) != GetCurrentThreadId() ||
                                    !IsWindowVisible(popup)));
        if (popup == nullptr || current == nullptr)
            return;
        HMENU menu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
        current->shown = menu != nullptr ? Items(menu) : std::vector<std::string>{"no menu"};
        EndMenu();
    }

    POINT RowPoint(int row)
    {
        RECT rect = {};
        rect.left = LVIR_BOUNDS;
        SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
        POINT point = {rect.left + 300, (rect.top + rect.bottom) / 2};  // in the Location column
        ClientToScreen(list, &point);
        return point;
    }

    // Selects one row, or none for -1.
    void Select(int row)
    {
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        if (row >= 0)
            SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }

    static inline ResultsMenuTest* current = nullptr;
    std::vector<std::string> shown;
};

TEST_F(ResultsMenuTest, MenuOffersTheRowCommandsAndDisablesWhatTheRowCannotDo)
{
    Add("report.txt");
    Add("locked.doc", 0, 0, {}, true, "C:\\data", ERROR_SHARING_VIOLATION);
    const std::vector<std::string> normal = {"&Open|default", "Open containing &folder|on", "&Copy full path|on",
                                             "Copy &name|on", "-", "&Save list as...|on"};
    const std::vector<std::string> failed = {"&Open|default-off", "Open containing &folder|on", "&Copy full path|on",
                                             "Copy &name|on", "-", "&Save list as...|on"};
    const std::vector<std::string> empty = {"&Open|off", "Open containing &folder|off", "&Copy full path|off",
                                            "Copy &name|off", "-", "&Save list as...|on"};
    struct Case {
        const char* how;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        int selected;
        const std::vector<std::string>& items;
    };
    const POINT first = RowPoint(0), second = RowPoint(1);
    POINT below = RowPoint(1);
    below.y += 120;
    const Case cases[] = {
        {"click on a row", WM_CONTEXTMENU, 0, MAKELPARAM(first.x, first.y), -1, normal},
        {"click on a failed row", WM_CONTEXTMENU, 0, MAKELPARAM(second.x, second.y), -1, failed},
        {"click below the rows", WM_CONTEXTMENU, 0, MAKELPARAM(below.x, below.y), 0, empty},
        {"context-menu key", WM_KEYDOWN, VK_APPS, 0, 0, normal},
        {"context-menu key, failed row", WM_KEYDOWN, VK_APPS, 0, 1, failed},
        {"Shift+F10 with nothing selected", WM_SYSKEYDOWN, VK_F10, 0, -1, empty},
    };
    for (const Case& each : cases) {
        Select(each.selected);
        SetKey(VK_SHIFT, each.message == WM_SYSKEYDOWN);
        EXPECT_EQ(MenuFor(each.message, each.wParam, each.lParam), each.items) << each.how;
    }
    SetKey(VK_SHIFT, false);
}

// The only test that touches the clipboard, so that runs side by side
// cannot mix their texts.
TEST_F(ResultsMenuTest, CopyCommandsAndCtrlCPutThePathOrNameOnTheClipboard)
{
    // Any script and a character of two units: the clipboard carries them
    // exactly; the platform makes the 8-bit text from it.
    const std::string name = "caf\u00e9 \u65E5\u672C \U0001F600.txt";
    const std::string folder = "C:\\\u0434\u043E\u043C " + std::string(300, 'f');
    Add("plain.txt", 1, 0, {}, false, "C:\\docs");
    Add(name, 0, 0, {}, true, folder, ERROR_ACCESS_DENIED);

    ResultsMenu::Run(list, 1, IDM_COPY_PATH);
    EXPECT_EQ(Utf8(ClipboardText<WCHAR>(CF_UNICODETEXT).c_str()), folder + "\\" + name);
    ResultsMenu::Run(list, 1, IDM_COPY_NAME);
    EXPECT_EQ(Utf8(ClipboardText<WCHAR>(CF_UNICODETEXT).c_str()), name);
    ResultsMenu::Run(list, 0, IDM_COPY_NAME);
    EXPECT_EQ(ClipboardText<WCHAR>(CF_UNICODETEXT), L"plain.txt");
    EXPECT_EQ(ClipboardText<char>(CF_TEXT), "plain.txt");

    Select(0);
    SetKey(VK_CONTROL, true);
    SendMessageA(list, WM_KEYDOWN, 'C', 0);
    SetKey(VK_CONTROL, false);
    EXPECT_EQ(ClipboardText<WCHAR>(CF_UNICODETEXT), L"C:\\docs\\plain.txt");
    EXPECT_EQ(ClipboardText<char>(CF_TEXT), "C:\\docs\\plain.txt");
    // Without Ctrl the key is the list's own (a jump to a name), not a copy.
    Select(1);
    SendMessageA(list, WM_KEYDOWN, 'C', 0);
    EXPECT_EQ(ClipboardText<WCHAR>(CF_UNICODETEXT), L"C:\\docs\\plain.txt");
}

TEST_F(ResultsMenuTest, FailedRowsTellWhyInTheirTooltipAndOtherRowsKeepTheListsOwn)
{
    const struct {
        DWORD error;
        const char* reason;  // a system text is the platform's; its code ends it
    } cases[] = {
        {FailureNotDiskFile, "The name does not lead to a file on disk."},
        {ERROR_SHARING_VIOLATION, " (error 32)"},
        {ERROR_ACCESS_DENIED, " (error 5)"},  // a folder that cannot be listed, too
        {ERROR_FILENAME_EXCED_RANGE, " (error 206)"},
        {ERROR_DIRECTORY, " (error 267)"},
        {0x20000001, "(error 536870913)"},  // of the program's range but not its own: the number alone
        {0x2000ABCD, "(error 536914893)"},  // no text anywhere: the number alone
    };
    Add("fine.txt");
    for (const auto& each : cases)
        Add("failed.txt", 0, 0, {}, true, "C:\\data", each.error);
    for (int row = 0; row <= 7; ++row) {
        WCHAR text[300] = L"the list's own";
        NMLVGETINFOTIPW tip = {};
        tip.hdr = {list, IDC_RESULTS, static_cast<UINT>(LVN_GETINFOTIPW)};
        tip.pszText = text;
        tip.cchTextMax = 300;
        tip.iItem = row;
        SendMessageA(dialog, WM_NOTIFY, IDC_RESULTS, reinterpret_cast<LPARAM>(&tip));
        const std::string shown = Utf8(text);
        if (row == 0) {
            EXPECT_EQ(shown, "the list's own");
            continue;
        }
        const std::string expected = cases[row - 1].reason;
        if (expected[0] == ' ') {  // the system's text, then the code
            ASSERT_GT(shown.size(), expected.size()) << shown;
            EXPECT_EQ(shown.substr(shown.size() - expected.size()), expected);
            EXPECT_EQ(shown.find_first_of("\r\n"), std::string::npos) << shown;
        } else {
            EXPECT_EQ(shown, expected);
        }
    }
}

}  // namespace
