// The application object, which is also the search window's object: window
// handle, the request, layout measurements, text buffers and the searcher.
#pragma once

#include <windows.h>

#include "search/SearchRequest.h"

class FileSearcher;

enum { ANIMATION_TIMER_ID = 6348 };

class SearchApp {
public:
    // Start-up, loop and teardown.
    void Reset();
    HRESULT Initialize(HINSTANCE instance);
    int CreateSearchWindow();
    static INT_PTR CALLBACK StaticDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    int RunMessageLoop();
    int OnIdle();
    int Shutdown();

    // The search window.
    INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam);
    int OnInitDialog();
    void OnSearchButton();
    void ExpandWindow(int expand);
    void SetRunning(int on, SearchRequest* searchRequest);
    void EnableInputs(int enable);
    void SetStatusText(const char* text);
    int ShowErrorBox(UINT stringId, UINT boxType, DWORD errorCode);

    // Layout, size limits, animation and the folder browser.
    void LayoutControls(WPARAM sizeType, int width, int height);
    int OnGetMinMaxInfo(MINMAXINFO* info);
    void DrawAnimation(int draw);
    void BrowseForFolder();

    HWND window;
    SearchRequest request;
    HINSTANCE instance;
    int initialWidth;
    int initialHeight;
    int margin;
    int statusHeight;
    int expanded;
    HBITMAP digitsBitmap;
    WCHAR patternText[1024];
    WCHAR findText[1024];
    FileSearcher* searcher;
};

extern SearchApp* g_searchApp;
extern SearchApp* g_dialogApp;

// The module whose resources the window shows: the running application's,
// or the process's own where none runs (tests).
HINSTANCE AppInstance();

void ScreenRectToClient(HWND window, RECT* rect);
// A length in pixels at 96 DPI, scaled to the screen resolution of window.
int ScaleToScreen(HWND window, int pixels);
