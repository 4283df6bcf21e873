// A real search dialog with the layout's measurements taken as the window
// takes them while it initialises, for the tests of the window's parts:
// layout, busy animation and folder browser.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "res/resource.h"
#include "ui/ControlRect.h"
#include "ui/WindowLayout.h"

inline WindowLayout* g_layout = nullptr;

// Hands size messages to the layout once it has measured the window, as the
// search window's own procedure does.
inline INT_PTR CALLBACK LayoutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
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

inline RECT ClientRectOf(HWND window, int id)
{
    RECT rect = {};
    GetWindowRect(GetDlgItem(window, id), &rect);
    ScreenRectToClient(window, &rect);
    return rect;
}

inline bool SameRect(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}

inline SIZE WindowSize(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

inline void Resize(HWND window, int width, int height)
{
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

class SearchWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        // Unicode, as the search window makes it.
        window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SEARCH), nullptr,
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
