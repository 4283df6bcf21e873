// The search window's layout and size limits on a real dialog, the busy
// animation read back from the control, and the folder browser's steps.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/ModalWatchdog.h"
#include "support/TempFolder.h"
#include "res/resource.h"
#include "ui/BusyAnimation.h"
#include "ui/ControlRect.h"
#include "ui/FolderBrowser.h"
#include "ui/WindowLayout.h"

namespace {

WindowLayout* g_layout = nullptr;

// Hands size messages to the layout once it has measured the window, as the
// search window's own procedure does.
INT_PTR CALLBACK LayoutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_SIZE:
        if (g_layout)
            g_layout->LayoutControls(window, wParam);
        return TRUE;
    case WM_GETMINMAXINFO:
        if (g_layout)
            g_layout->OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
        return TRUE;
    }
    return FALSE;
}

RECT ClientRectOf(HWND window, int id)
{
    RECT rect = {};
    GetWindowRect(GetDlgItem(window, id), &rect);
    ScreenRectToClient(window, &rect);
    return rect;
}

bool SameRect(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}

SIZE WindowSize(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

void Resize(HWND window, int width, int height)
{
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

// A real search dialog with the layout's measurements taken as the window
// takes them while it initialises.
class SearchWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SEARCH), nullptr,
                                    LayoutDialogProc, 0);
        ASSERT_NE(window, nullptr);
        layout.margin = ClientRectOf(window, IDC_FILESPEC_LABEL).left;
        RECT status = ClientRectOf(window, IDC_STATUS);
        layout.statusHeight = status.bottom - status.top;
        SIZE size = WindowSize(window);
        layout.initialWidth = size.cx;
        layout.initialHeight = size.cy;
        g_layout = &layout;
    }
    void TearDown() override
    {
        g_layout = nullptr;
        if (window)
            DestroyWindow(window);
    }

    WindowLayout layout;
    HWND window = nullptr;
};

using WindowLayoutTest = SearchWindowTest;

}  // namespace

TEST_F(WindowLayoutTest, WideningMovesTheButtonColumnAndStretchesTheFields)
{
    const RECT labelBefore = ClientRectOf(window, IDC_FILESPEC_LABEL);
    const RECT checkBefore = ClientRectOf(window, IDC_SUBFOLDERS);
    const RECT resultsBefore = ClientRectOf(window, IDC_RESULTS);
    for (int extra : {150, 400, 0}) {
        Resize(window, layout.initialWidth + extra, layout.initialHeight);
        RECT client;
        GetClientRect(window, &client);
        const int W = client.right;
        const int M = layout.margin;
        const RECT search = ClientRectOf(window, IDOK);
        const int B = search.right - search.left;
        SCOPED_TRACE(extra);

        EXPECT_EQ(search.right, W - M);
        for (int id : {IDCANCEL, IDC_ANIMATION}) {
            RECT rect = ClientRectOf(window, id);
            EXPECT_EQ(rect.left, W - M - B) << id;
        }
        for (int id : {IDC_FILESPEC, IDC_TEXT, IDC_LOCATION}) {
            RECT rect = ClientRectOf(window, id);
            EXPECT_EQ(rect.right, W - 2 * M - B) << id;
        }
        const RECT browse = ClientRectOf(window, IDC_BROWSE);
        EXPECT_EQ(browse.left, W - 2 * M - 2 * B);
        EXPECT_EQ(browse.right, W - 2 * M - B);

        EXPECT_TRUE(SameRect(labelBefore, ClientRectOf(window, IDC_FILESPEC_LABEL)));
        EXPECT_TRUE(SameRect(checkBefore, ClientRectOf(window, IDC_SUBFOLDERS)));
        EXPECT_TRUE(SameRect(resultsBefore, ClientRectOf(window, IDC_RESULTS)));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_STATUS)));
    }
}

// A moved control is drawn anew where it lands: pixels copied along from its
// old place would be erased by the background of the grown window.
TEST_F(WindowLayoutTest, MovedControlsAreDrawnAnewWhereTheyLand)
{
    layout.expanded = 1;
    SetWindowPos(GetDlgItem(window, IDC_RESULTS), nullptr, 0, layout.initialHeight, 0, 0,
                 SWP_NOZORDER | SWP_NOSIZE | SWP_SHOWWINDOW);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    for (int extra : {120, 300}) {
        UpdateWindow(window);
        Resize(window, layout.initialWidth + extra, layout.initialHeight + extra);
        for (int id : {IDOK, IDCANCEL, IDC_ANIMATION, IDC_BROWSE, IDC_STATUS}) {
            HWND control = GetDlgItem(window, id);
            RECT inside = {};
            GetClientRect(control, &inside);
            RECT pending = {};
            GetUpdateRect(control, &pending, FALSE);
            EXPECT_TRUE(SameRect(pending, inside)) << extra << " " << id;
        }
    }
}

TEST_F(WindowLayoutTest, ComboBoxesKeepTheirClosedHeight)
{
    RECT before = ClientRectOf(window, IDC_LOCATION);
    Resize(window, layout.initialWidth + 100, layout.initialHeight);
    RECT after = ClientRectOf(window, IDC_LOCATION);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
    EXPECT_EQ(after.top, before.top);
}

TEST_F(WindowLayoutTest, HeightIsFixedUntilTheFirstSearch)
{
    MINMAXINFO info = {};
    info.ptMaxPosition = {-7, -9};
    EXPECT_EQ(layout.OnGetMinMaxInfo(&info), 0);
    EXPECT_EQ(info.ptMinTrackSize.x, layout.initialWidth);
    EXPECT_EQ(info.ptMinTrackSize.y, layout.initialHeight);
    EXPECT_EQ(info.ptMaxTrackSize.x, GetSystemMetrics(SM_CXMAXTRACK));
    EXPECT_EQ(info.ptMaxTrackSize.y, layout.initialHeight);
    EXPECT_EQ(info.ptMaxPosition.x, -7);

    Resize(window, layout.initialWidth + 80, layout.initialHeight + 200);
    EXPECT_EQ(WindowSize(window).cx, layout.initialWidth + 80);
    EXPECT_EQ(WindowSize(window).cy, layout.initialHeight);
    Resize(window, layout.initialWidth - 50, layout.initialHeight - 30);
    EXPECT_EQ(WindowSize(window).cx, layout.initialWidth);
    EXPECT_EQ(WindowSize(window).cy, layout.initialHeight);

    layout.expanded = 1;
    layout.OnGetMinMaxInfo(&info);
    EXPECT_EQ(info.ptMaxTrackSize.y, GetSystemMetrics(SM_CYMAXTRACK));
    Resize(window, layout.initialWidth, layout.initialHeight + 200);
    EXPECT_EQ(WindowSize(window).cy, layout.initialHeight + 200);
    Resize(window, layout.initialWidth - 50, layout.initialHeight - 30);
    EXPECT_EQ(WindowSize(window).cx, layout.initialWidth);
    EXPECT_EQ(WindowSize(window).cy, layout.initialHeight);
}

TEST_F(WindowLayoutTest, AfterTheFirstSearchListAndStatusFollowTheWindow)
{
    layout.expanded = 1;
    HWND results = GetDlgItem(window, IDC_RESULTS);
    SetWindowPos(results, nullptr, 0, layout.initialHeight, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_SHOWWINDOW);
    const int top = ClientRectOf(window, IDC_RESULTS).top;
    for (int extra : {180, 400}) {
        Resize(window, layout.initialWidth + extra, layout.initialHeight + extra);
        RECT client;
        GetClientRect(window, &client);
        const int W = client.right;
        const int H = client.bottom;
        const int S = layout.statusHeight;
        SCOPED_TRACE(extra);

        RECT list = ClientRectOf(window, IDC_RESULTS);
        EXPECT_EQ(list.left, 0);
        EXPECT_EQ(list.top, top);
        EXPECT_EQ(list.right, W);
        EXPECT_EQ(list.bottom, H - S - 4);
        RECT status = ClientRectOf(window, IDC_STATUS);
        EXPECT_EQ(status.left, 4);
        EXPECT_EQ(status.top, H - S - 2);
        EXPECT_EQ(status.right, W);
        EXPECT_EQ(status.bottom, H - 2);
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(window, IDC_STATUS), GWL_STYLE) & WS_VISIBLE);
    }
}

TEST_F(WindowLayoutTest, OnlyRestoredAndMaximisedSizesLayOut)
{
    HWND search = GetDlgItem(window, IDOK);
    SetWindowPos(search, nullptr, 3, 3, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    for (WPARAM type : {static_cast<WPARAM>(SIZE_MINIMIZED), static_cast<WPARAM>(SIZE_MAXSHOW),
                        static_cast<WPARAM>(SIZE_MAXHIDE)}) {
        layout.LayoutControls(window, type);
        EXPECT_EQ(ClientRectOf(window, IDOK).left, 3) << type;
    }
    layout.LayoutControls(window, SIZE_MAXIMIZED);
    EXPECT_NE(ClientRectOf(window, IDOK).left, 3);
}

namespace {

const int kStripRows = 160;

COLORREF RowColour(int row)
{
    return RGB(row, 255 - row, 0x80);
}

// The source row a control pixel shows, or -1 when it is no row of the strip.
int RowOf(COLORREF colour)
{
    int row = GetRValue(colour);
    if (row >= kStripRows || colour != RowColour(row))
        return -1;
    return row;
}

// A strip of the digits bitmap's size whose every row has a colour of its own.
HBITMAP MakeRowStrip()
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 70;
    info.bmiHeader.biHeight = -kStripRows;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return nullptr;
    DWORD* pixels = static_cast<DWORD*>(bits);
    for (int row = 0; row < kStripRows; ++row) {
        COLORREF colour = RowColour(row);
        DWORD pixel = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
        for (int x = 0; x < 70; ++x)
            pixels[row * 70 + x] = pixel;
    }
    GdiFlush();
    return bitmap;
}

using Pixels = std::vector<std::vector<COLORREF>>;

Pixels ReadPixels(HDC dc, int width, int height)
{
    Pixels rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            rows[y].push_back(GetPixel(dc, x, y));
    return rows;
}

// The control's client pixels as drawn on screen.
Pixels ReadControl(HWND control)
{
    RECT client;
    GetClientRect(control, &client);
    HDC dc = GetDC(control);
    Pixels rows = ReadPixels(dc, client.right, client.bottom);
    ReleaseDC(control, dc);
    return rows;
}

// Rows first to first + 56 of the strip stretched to width x height, drawn
// off screen: what one frame should look like.
Pixels StripWindow(HBITMAP strip, int first, int width, int height)
{
    HDC screen = GetDC(nullptr);
    HDC source = CreateCompatibleDC(screen);
    HDC target = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ oldSource = SelectObject(source, strip);
    HGDIOBJ oldTarget = SelectObject(target, canvas);
    StretchBlt(target, 0, 0, width, height, source, 0, first, 70, 57, SRCCOPY);
    Pixels pixels = ReadPixels(target, width, height);
    SelectObject(source, oldSource);
    SelectObject(target, oldTarget);
    DeleteObject(canvas);
    DeleteDC(target);
    DeleteDC(source);
    ReleaseDC(nullptr, screen);
    return pixels;
}

class AnimationTest : public SearchWindowTest {
protected:
    void SetUp() override
    {
        SearchWindowTest::SetUp();
        ShowWindow(window, SW_SHOWNOACTIVATE);
        UpdateWindow(window);
        control = GetDlgItem(window, IDC_ANIMATION);
        animation.SetStrip(MakeRowStrip());
        ASSERT_NE(animation.Strip(), nullptr);
    }
    // Whether drawing into a window can be read back on this display.
    bool CanReadBack()
    {
        HDC dc = GetDC(control);
        COLORREF probe = RGB(12, 34, 56);
        SetPixel(dc, 1, 1, probe);
        bool readable = GetPixel(dc, 1, 1) == probe;
        ReleaseDC(control, dc);
        InvalidateRect(control, nullptr, TRUE);
        UpdateWindow(control);
        return readable;
    }

    BusyAnimation animation;
    HWND control = nullptr;
};

}  // namespace

TEST_F(AnimationTest, EachTickShowsAWholeWindowOfTheStripFromABandBoundary)
{
    if (!CanReadBack())
        GTEST_SKIP() << "window pixels cannot be read back on this display";
    RECT client;
    GetClientRect(control, &client);
    ASSERT_GT(client.bottom, 0);

    // The unseeded generator's sequence: the same in every run.
    srand(1);
    std::vector<int> bands;
    for (int i = 0; i < 64; ++i)
        bands.push_back(rand() % 16);
    srand(1);

    std::vector<Pixels> frames;
    for (int first = 0; first <= 100; first += 10)
        frames.push_back(StripWindow(animation.Strip(), first, client.right, client.bottom));
    for (size_t i = 1; i < frames.size(); ++i)
        ASSERT_FALSE(frames[i] == frames[i - 1]) << "frames tell the bands apart";

    bool sawLateBand = false;
    for (int band : bands) {
        animation.DrawFrame(window);
        sawLateBand = sawLateBand || band > 10;
        // From band 11 on the frame starts 10 bands up, on the same digits.
        const int expected = band > 10 ? band - 10 : band;
        Pixels pixels = ReadControl(control);
        EXPECT_TRUE(pixels == frames[expected]) << "band " << band;
        EXPECT_EQ(RowOf(pixels[0][0]), expected * 10) << "band " << band;
    }
    EXPECT_TRUE(sawLateBand);
}

TEST_F(AnimationTest, ControlIsBlankOnceTheSearchEnds)
{
    if (!CanReadBack())
        GTEST_SKIP() << "window pixels cannot be read back on this display";
    animation.DrawFrame(window);
    animation.Stop(window);
    UpdateWindow(control);
    Pixels pixels = ReadControl(control);
    ASSERT_FALSE(pixels.empty());
    const COLORREF background = pixels[0][0];
    EXPECT_EQ(RowOf(background), -1);
    for (const std::vector<COLORREF>& row : pixels)
        for (COLORREF pixel : row)
            ASSERT_EQ(pixel, background);
}

TEST_F(AnimationTest, DigitStripFramesAreBlackDigitsOnWhiteFromABandBoundary)
{
    if (!CanReadBack())
        GTEST_SKIP() << "window pixels cannot be read back on this display";
    HBITMAP digits = static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_DIGITS), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    ASSERT_NE(digits, nullptr);
    animation.SetStrip(digits);
    RECT client;
    GetClientRect(control, &client);

    srand(1);
    for (int tick = 0; tick < 48; ++tick) {
        animation.DrawFrame(window);
        Pixels pixels = ReadControl(control);
        SCOPED_TRACE(tick);
        int black = 0;
        for (const std::vector<COLORREF>& row : pixels)
            for (COLORREF pixel : row) {
                ASSERT_TRUE(pixel == RGB(0, 0, 0) || pixel == RGB(255, 255, 255)) << std::hex << pixel;
                black += pixel == RGB(0, 0, 0);
            }
        EXPECT_GT(black, 0);
        // A band starts with two white rows above its digits.
        for (int y = 0; y < 2; ++y)
            for (COLORREF pixel : pixels[y])
                ASSERT_EQ(pixel, RGB(255, 255, 255)) << "row " << y;
    }
}

namespace {

struct SelectionRecord {
    int calls = 0;
    WPARAM isPath = 0;
    std::string path;
};
SelectionRecord g_selection;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == BFFM_SETSELECTIONA) {
        ++g_selection.calls;
        g_selection.isPath = wParam;
        g_selection.path = reinterpret_cast<const char*>(lParam);
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

std::string FolderText(HWND window)
{
    char text[260] = "";
    GetDlgItemTextA(window, IDC_LOCATION, text, sizeof text);
    return text;
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

    char folder[] = "C:\\windows\\system32";
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
    std::wstring widePath(folder.Path().begin(), folder.Path().end());
    PIDLIST_ABSOLUTE item = nullptr;
    ASSERT_HRESULT_SUCCEEDED(SHParseDisplayName(widePath.c_str(), nullptr, &item, 0, nullptr));

    EXPECT_TRUE(PutBrowsedFolder(window, item));
    EXPECT_EQ(FolderText(window), folder.Path());
    EXPECT_EQ(FolderEntries(window), std::vector<std::string>{"C:\\recent"});
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
