// The search window's layout and size limits on a real dialog.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "SearchDialogFixture.h"
#include "ui/DpiScale.h"

namespace {

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

// The results list and the preview pane share the room above the status
// line: the pane takes its stored height (a third without one), the bar
// lies between them, and each keeps its least height where the room allows.
TEST_F(WindowLayoutTest, AfterTheFirstSearchListAndStatusFollowTheWindow)
{
    layout.expanded = 1;
    HWND results = GetDlgItem(window, IDC_RESULTS);
    SetWindowPos(results, nullptr, 0, layout.initialHeight, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_SHOWWINDOW);
    const int top = ClientRectOf(window, IDC_RESULTS).top;
    const int bar = ScaleToScreen(window, 5);
    const int least = ScaleToScreen(window, 40);
    struct Row {
        int stored;   // previewHeight at 96 DPI
        int extra;    // pixels added to the starting size
        int preview;  // the pane's height; 0: a third of the room, or the least
    } const rows[] = {
        {-1, 180, 0}, {-1, 400, 0}, {100, 400, ScaleToScreen(window, 100)}, {10, 400, least},
        {5000, 400, -least},  // all but the results list's least height
    };
    for (const Row& row : rows) {
        layout.previewHeight = row.stored;
        Resize(window, layout.initialWidth + row.extra, layout.initialHeight + row.extra);
        layout.LayoutControls(window, SIZE_RESTORED);
        RECT client;
        GetClientRect(window, &client);
        const int W = client.right;
        const int H = client.bottom;
        const int S = layout.statusHeight;
        const int room = H - S - 4 - top - bar;
        SCOPED_TRACE(std::to_string(row.stored) + " " + std::to_string(row.extra));

        RECT list = ClientRectOf(window, IDC_RESULTS);
        RECT preview = ClientRectOf(window, IDC_PREVIEW);
        EXPECT_EQ(list.left, 0);
        EXPECT_EQ(list.top, top);
        EXPECT_EQ(list.right, W);
        EXPECT_EQ(preview.left, 0);
        EXPECT_EQ(preview.right, W);
        EXPECT_EQ(preview.bottom, H - S - 4);
        EXPECT_EQ(preview.top - list.bottom, bar);
        const int third = room / 3 > least ? room / 3 : least;
        const int expected = row.preview == 0 ? third : row.preview < 0 ? room + row.preview : row.preview;
        EXPECT_EQ(preview.bottom - preview.top, expected);
        const RECT splitter = layout.SplitterBar(window);
        EXPECT_EQ(splitter.top, list.bottom);
        EXPECT_EQ(splitter.bottom, preview.top);
        EXPECT_EQ(splitter.right, W);
        // The bar's place gives the height back, at 96 DPI.
        EXPECT_NEAR(ScaleToScreen(window, layout.PreviewHeightForBar(window, splitter.top)), expected, 1);
        RECT status = ClientRectOf(window, IDC_STATUS);
        EXPECT_EQ(status.left, 4);
        EXPECT_EQ(status.top, H - S - 2);
        EXPECT_EQ(status.right, W);
        EXPECT_EQ(status.bottom, H - 2);
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(window, IDC_STATUS), GWL_STYLE) & WS_VISIBLE);
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(window, IDC_PREVIEW), GWL_STYLE) & WS_VISIBLE);
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
