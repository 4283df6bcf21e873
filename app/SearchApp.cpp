// Start-up and teardown of the application, and the message loop that
// advances a search by slices of steps whenever the thread's queue is empty.
#include "app/SearchApp.h"

#include <commctrl.h>
#include <ole2.h>

#include <new>

#include "dragdrop/DragSource.h"
#include "res/resource.h"
#include "search/FileSearcher.h"

SearchApp* g_searchApp = nullptr;

HINSTANCE AppInstance()
{
    return g_searchApp && g_searchApp->instance ? g_searchApp->instance : GetModuleHandleA(nullptr);
}
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

namespace {

// Steps run back to back for about this long before the queue is looked at
// again: under Wine each look is a round trip to the server, which would cost
// more than a small step itself, while a message still waits at most a slice.
const LONGLONG kSliceMicroseconds = 1000;

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

LONGLONG SliceTicks()
{
    static LONGLONG ticks = 0;
    if (ticks == 0) {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        ticks = frequency.QuadPart * kSliceMicroseconds / 1000000;
        if (ticks < 1)
            ticks = 1;
    }
    return ticks;
}

}  // namespace

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
            continue;
        }
        // A slice: idle steps until one reports nothing to do or the slice is
        // used up. Each idle step looks at the stop first, so a pending stop
        // is carried out before any further step.
        const LONGLONG sliceEnd = Now() + SliceTicks();
        int more;
        do
            more = OnIdle();
        while (more && Now() < sliceEnd);
        if (!more)
            WaitMessage();
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
