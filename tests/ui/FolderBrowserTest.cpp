// The folder browser's steps on a real dialog, and the shell's browser itself.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "SearchDialogFixture.h"
#include "res/resource.h"
#include "support/ModalWatchdog.h"
#include "support/TempFolder.h"
#include "support/WideText.h"
#include "ui/FolderBrowser.h"

namespace {

struct SelectionRecord {
    int calls = 0;
    WPARAM isPath = 0;
    std::wstring path;
};
SelectionRecord g_selection;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == BFFM_SETSELECTIONW) {
        ++g_selection.calls;
        g_selection.isPath = wParam;
        g_selection.path = reinterpret_cast<const WCHAR*>(lParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

using FolderBrowserTest = SearchWindowTest;

std::vector<std::string> FolderEntries(HWND window)
{
    std::vector<std::string> entries;
    LRESULT count = SendDlgItemMessageA(window, IDC_LOCATION, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char text[260] = "";
        SendDlgItemMessageA(window, IDC_LOCATION, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

// The box's text in UTF-8, however long.
std::string FolderText(HWND window)
{
    std::wstring text(40000, L'\0');
    GetDlgItemTextW(window, IDC_LOCATION, &text[0], static_cast<int>(text.size()));
    return Utf8(text.c_str());
}

// Answers the folder browser as a user would, once it shows: OK or Cancel.
HHOOK g_browserHook = nullptr;
WPARAM g_browserAnswer = IDCANCEL;
int g_browsersSeen = 0;
HWND g_lastBrowser = nullptr;  // a browser activated again (focus lost and won back) counts once

// The shell may fill its folder tree a while after the browser shows, so
// OK waits, as a user would, until the tree has a selection (15 s at most).
DWORD g_browserShownAt = 0;  // by the clock: a busy machine delays timer ticks
bool g_treeHadSelection = false;

void CALLBACK AnswerBrowser(HWND browser, UINT, UINT_PTR timer, DWORD)
{
    HWND tree = FindWindowExA(browser, nullptr, "SysTreeView32", nullptr);
    bool selected = tree && SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0) != 0;
    if (g_browserAnswer == IDOK && !selected && GetTickCount() - g_browserShownAt < 15000)
        return;
    KillTimer(browser, timer);
    g_treeHadSelection = selected;
    PostMessageA(browser, WM_COMMAND, g_browserAnswer, 0);
}

LRESULT CALLBACK BrowserHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        char className[64] = "";
        HWND activated = reinterpret_cast<HWND>(wParam);
        GetClassNameA(activated, className, sizeof className);
        if (strcmp(className, "#32770") == 0 && GetWindow(activated, GW_OWNER) != nullptr &&
            activated != g_lastBrowser) {
            g_lastBrowser = activated;
            ++g_browsersSeen;
            g_browserShownAt = GetTickCount();
            SetTimer(activated, 1, 100, AnswerBrowser);
        }
    }
    return CallNextHookEx(g_browserHook, code, wParam, lParam);
}

}  // namespace

TEST_F(FolderBrowserTest, CallbackSelectsTheBoxFolderOnlyWhenInitialised)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TrovikBrowserStandIn";
    RegisterClassA(&windowClass);
    HWND browser = CreateWindowA("TrovikBrowserStandIn", "", 0, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(browser, nullptr);
    g_selection = SelectionRecord();

    WCHAR folder[] = L"C:\\windows\\\u65E5\u672C";
    EXPECT_EQ(BrowseCallback(browser, BFFM_SELCHANGED, 0, reinterpret_cast<LPARAM>(folder)), 0);
    EXPECT_EQ(g_selection.calls, 0);
    EXPECT_EQ(BrowseCallback(browser, BFFM_INITIALIZED, 0, reinterpret_cast<LPARAM>(folder)), 0);
    EXPECT_EQ(g_selection.calls, 1);
    EXPECT_EQ(g_selection.isPath, static_cast<WPARAM>(TRUE));
    EXPECT_EQ(g_selection.path, folder);
    DestroyWindow(browser);
}

TEST_F(FolderBrowserTest, ChosenFolderLandsInTheBoxAndNotInTheList)
{
    SendDlgItemMessageA(window, IDC_LOCATION, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("C:\\recent"));
    SendDlgItemMessageA(window, IDC_LOCATION, CB_SETCURSEL, 0, 0);
    TempFolder folder;
    // Any script; and a name that a code page would spell as its look-alike
    // (U+0101 as "a"), naming the folder beside it, comes back as it is.
    folder.MakeFolder("a");
    for (const std::string& path :
         {folder.Path(), folder.MakeFolder("\u65E5\u672C \U0001F4C1"), folder.MakeFolder("\u0101")}) {
        SCOPED_TRACE(path);
        PIDLIST_ABSOLUTE item = nullptr;
        ASSERT_HRESULT_SUCCEEDED(SHParseDisplayName(Wide(path).c_str(), nullptr, &item, 0, nullptr));
        EXPECT_TRUE(PutBrowsedFolder(window, item));
        EXPECT_EQ(FolderText(window), path);
        EXPECT_EQ(FolderEntries(window), std::vector<std::string>{"C:\\recent"});
        CoTaskMemFree(item);
    }
}

TEST_F(FolderBrowserTest, ChosenFolderPastTheClassicLimitLandsInTheBoxWhole)
{
    TempFolder folder;
    const std::string path = folder.MakeFolder(std::string(200, 'a') + "\\" + std::string(100, 'b'));
    PIDLIST_ABSOLUTE item = nullptr;
    if (FAILED(SHParseDisplayName(Wide(path).c_str(), nullptr, &item, 0, nullptr)))
        GTEST_SKIP() << "this shell names no folder past 259 characters, so its browser cannot offer one";
    EXPECT_TRUE(PutBrowsedFolder(window, item));
    EXPECT_EQ(FolderText(window), path);
    CoTaskMemFree(item);
}

TEST_F(FolderBrowserTest, ItemWithoutAFolderPathLeavesTheBox)
{
    SetDlgItemTextA(window, IDC_LOCATION, "C:\\before");
    for (int special : {CSIDL_DRIVES, CSIDL_CONTROLS, CSIDL_PRINTERS}) {
        PIDLIST_ABSOLUTE item = nullptr;
        ASSERT_HRESULT_SUCCEEDED(SHGetSpecialFolderLocation(nullptr, special, &item)) << special;
        ASSERT_NE(item, nullptr) << special;
        EXPECT_FALSE(PutBrowsedFolder(window, item)) << special;
        EXPECT_EQ(FolderText(window), "C:\\before") << special;
        CoTaskMemFree(item);
    }
    EXPECT_FALSE(PutBrowsedFolder(window, nullptr));
    EXPECT_EQ(FolderText(window), "C:\\before");
}

TEST_F(FolderBrowserTest, BrowserOpensAtTheBoxFolderAndCancelChangesNothing)
{
    // A browser the hook does not answer ends the test, not the run's limit;
    // OK may wait 15 s for the tree's selection.
    ModalWatchdog watchdog(20000);
    ASSERT_HRESULT_SUCCEEDED(CoInitialize(nullptr));
    TempFolder folder;
    std::string chosen = folder.MakeFolder("chosen");
    std::string other = folder.MakeFolder("other");
    g_browserHook = SetWindowsHookExA(WH_CBT, BrowserHook, nullptr, GetCurrentThreadId());
    ASSERT_NE(g_browserHook, nullptr);

    g_browsersSeen = 0;
    g_lastBrowser = nullptr;
    g_browserAnswer = IDCANCEL;
    SetDlgItemTextA(window, IDC_LOCATION, "C:\\not\\a\\folder\\here");
    BrowseForFolder(window);
    EXPECT_EQ(g_browsersSeen, 1);
    EXPECT_EQ(FolderText(window), "C:\\not\\a\\folder\\here");
    EXPECT_TRUE(FolderEntries(window).empty());

    // OK: the browser hands back the folder it opened at. Wine's browser
    // now and then fails to select any folder when it first opens; such a
    // browse ends without a selection and is repeated.
    g_browserAnswer = IDOK;
    for (const std::string& path : {chosen, other}) {
        int attempts = 0;
        do {
            g_browsersSeen = 0;
            g_lastBrowser = nullptr;
            SetDlgItemTextA(window, IDC_LOCATION, path.c_str());
            BrowseForFolder(window);
            EXPECT_EQ(g_browsersSeen, 1);
        } while (g_browsersSeen == 1 && !g_treeHadSelection && ++attempts < 5);
        if (g_browsersSeen != 1)
            break;  // failed above: no browser was answered
        EXPECT_TRUE(g_treeHadSelection);
        EXPECT_EQ(FolderText(window), path);
    }

    UnhookWindowsHookEx(g_browserHook);
    g_browserHook = nullptr;
    CoUninitialize();
}
