// Start-up and teardown of the application, and the message loop that
// advances a search by slices of steps whenever the thread's queue is empty.
#include "app/SearchApp.h"

#include <ole2.h>

#include <new>

#include "dragdrop/DragSource.h"
#include "search/FileSearcher.h"

HRESULT SearchApp::Initialize(HINSTANCE moduleInstance, const WCHAR* folder)
{
    OleInitialize(nullptr);

    searcher = new (std::nothrow) FileSearcher;
    if (searcher == nullptr) {
        OleUninitialize();
        return E_OUTOFMEMORY;
    }

    RegisterDragFormats();
    instance = moduleInstance;

    if (!window.Create(instance, searcher, folder)) {
        delete searcher;
        searcher = nullptr;
        OleUninitialize();
        return E_FAIL;
    }
    return S_OK;
}

int SearchApp::RunMessageLoop()
{
    if (window.Handle() == nullptr)
        return 0;
    RunStepLoop(*this, window.Handle());
    return 0;
}

int SearchApp::OnIdle()
{
    return window.IdleStep();
}

int SearchApp::Shutdown()
{
    delete searcher;
    searcher = nullptr;
    OleUninitialize();
    return 0;
}
