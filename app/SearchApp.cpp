// Start-up and teardown of the application, and the message loop that
// advances a search one step whenever the thread's queue is empty.
#include "app/SearchApp.h"

#include <commctrl.h>
#include <ole2.h>

#include <new>

#include "dragdrop/DragSource.h"
#include "res/resource.h"
#include "search/FileSearcher.h"

SearchApp* g_searchApp = nullptr;
SearchApp* g_dialogApp = nullptr;

void SearchApp::Reset()
{
    window = nullptr;
    expanded = 0;
    digitsBitmap = nullptr;
    searcher = nullptr;
}

// On failure everything acquired here is released again, so the caller can
// end at once without a teardown.
HRESULT SearchApp::Initialize(HINSTANCE moduleInstance)
{
    OleInitialize(nullptr);

    searcher = new (std::nothrow) FileSearcher;
    if (searcher == nullptr) {
        OleUninitialize();
        return E_OUTOFMEMORY;
    }

    RegisterDragFormats();

    request.stopRequested = 0;
    request.running = 0;
    instance = moduleInstance;

    if (!CreateSearchWindow()) {
        delete searcher;
        searcher = nullptr;
        OleUninitialize();
        return E_FAIL;
    }
    return S_OK;
}

int SearchApp::CreateSearchWindow()
{
    // The template holds a list view, whose window class must exist before
    // the dialog creates its controls.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);

    window = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_SEARCH), nullptr, StaticDialogProc,
                                reinterpret_cast<LPARAM>(this));
    if (window == nullptr)
        return 0;
    ShowWindow(window, SW_SHOW);
    return 1;
}

INT_PTR CALLBACK SearchApp::StaticDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        g_dialogApp = reinterpret_cast<SearchApp*>(lParam);
        g_dialogApp->window = dialog;
    }
    if (g_dialogApp == nullptr)
        return FALSE;
    INT_PTR result = g_dialogApp->DialogProc(message, wParam, lParam);
    // The window is gone: a later dialog must not reach this object before
    // its own initialisation.
    if (message == WM_NCDESTROY)
        g_dialogApp = nullptr;
    return result;
}

int SearchApp::RunMessageLoop()
{
    if (window == nullptr)
        return 0;
    for (;;) {
        MSG message;
        // The wide calls: a character typed into the Unicode text box reaches
        // it whole, where the ANSI ones would turn it into the code page's "?".
        if (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            const BOOL got = GetMessageW(&message, nullptr, 0, 0);
            if (got == 0)
                break;
            if (got == -1)  // nothing was taken; there is nothing to dispatch
                continue;
            if (IsDialogMessageW(window, &message))
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        } else if (!OnIdle()) {
            WaitMessage();
        }
    }
    return 0;
}

// A pending stop is carried out before any further step, so no step runs
// once the user has asked to stop.
int SearchApp::OnIdle()
{
    if (request.stopRequested) {
        SetRunning(0, &request);
        return 0;
    }
    if (request.running && searcher != nullptr)
        return searcher->Step();
    return 0;
}

int SearchApp::Shutdown()
{
    delete searcher;
    searcher = nullptr;
    OleUninitialize();
    return 0;
}
