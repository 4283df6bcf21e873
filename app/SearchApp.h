// The application: OLE, the searcher and the search window for the whole
// run, and the message loop that steps a search between messages.
#pragma once

#include <windows.h>

#include "search/StepLoop.h"
#include "ui/SearchWindow.h"

class FileSearcher;

class SearchApp final : public IdleWork {
public:
    SearchApp() = default;
    SearchApp(const SearchApp&) = delete;
    SearchApp& operator=(const SearchApp&) = delete;

    // Starts with folder (if any) in the Search in box. On failure everything
    // acquired here is released again, so the caller can end at once without
    // a teardown.
    HRESULT Initialize(HINSTANCE instance, const WCHAR* folder = nullptr);
    // Until the window is gone; 0.
    int RunMessageLoop();
    // The loop's idle step: the window's.
    int OnIdle() override;
    int Shutdown();

    HINSTANCE instance = nullptr;
    FileSearcher* searcher = nullptr;  // owned, from start-up to teardown
    SearchWindow window;
};
