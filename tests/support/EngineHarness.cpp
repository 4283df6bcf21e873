// The engine harness: a message-only window standing in for the search window.
#include "EngineHarness.h"

#include <cstring>

EngineHarness* EngineHarness::current = nullptr;

EngineHarness::EngineHarness() : app(), window(nullptr)
{
    app.Reset();
    g_searchApp = &app;
    current = this;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TrovikEngineHarness";
    RegisterClassA(&windowClass);
    window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             windowClass.hInstance, nullptr);
    app.request.notifyWindow = window;
}

EngineHarness::~EngineHarness()
{
    if (app.request.running)
        Stop();
    DestroyWindow(window);
    FreeFoundFiles(FoundFileList);
    FoundFileList = nullptr;
    g_searchApp = nullptr;
    current = nullptr;
    // The walk leaves the current directory in the searched tree.
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    SetCurrentDirectoryA(temp);
}

LRESULT CALLBACK EngineHarness::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    EngineHarness* self = current;
    if (self == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case UM_STATUS: {
        EngineEvent event = {EngineEvent::Status, reinterpret_cast<const char*>(lParam), FoundFile()};
        self->events.push_back(event);
        return 1;
    }
    case UM_FOUNDFILE: {
        EngineEvent event = {EngineEvent::Found, std::string(), *reinterpret_cast<const FoundFile*>(lParam)};
        self->events.push_back(event);
        return 1;
    }
    case UM_RUNNING:
        if (wParam == 0) {
            EngineEvent event = {EngineEvent::Ended, std::string(), FoundFile()};
            self->events.push_back(event);
        }
        self->app.request.running = static_cast<int>(wParam);
        self->app.request.stopRequested = 0;
        if (wParam == 0)
            self->searcher.Finish();
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool EngineHarness::Start(const std::string& folder, const std::string& text, const std::string& pattern,
                          bool subfolders, bool matchCase)
{
    std::u16string units;
    if (!text.empty()) {
        WCHAR decoded[1024];
        const int count = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), decoded, 1023);
        for (int k = 0; k < count; ++k)
            units.push_back(static_cast<char16_t>(decoded[k]));
    }
    return StartTyped(folder, units, pattern, subfolders, matchCase);
}

bool EngineHarness::StartTyped(const std::string& folder, const std::u16string& text, const std::string& pattern,
                               bool subfolders, bool matchCase)
{
    if (!SetCurrentDirectoryA(folder.c_str()))
        return false;
    size_t i = 0;
    for (; i < text.size() && i < 1023 && text[i] != 0; ++i)
        app.findText[i] = static_cast<WCHAR>(text[i]);
    app.findText[i] = 0;
    std::string usedPattern = pattern.empty() ? "*.*" : pattern;
    for (i = 0; i < usedPattern.size() && i < 1023; ++i)
        app.patternText[i] = static_cast<unsigned char>(usedPattern[i]);
    app.patternText[i] = 0;
    app.request.searchText = app.findText;
    app.request.filePattern = app.patternText;
    app.request.includeSubfolders = subfolders ? 1 : 0;
    app.request.matchCase = matchCase ? 1 : 0;
    FreeFoundFiles(FoundFileList);
    FoundFileList = nullptr;
    events.clear();
    SendMessageA(window, UM_RUNNING, 1, 0);
    searcher.Start(&app.request);
    return true;
}

void EngineHarness::PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

bool EngineHarness::StepOnce()
{
    PumpMessages();
    if (!app.request.running || app.request.stopRequested)
        return false;
    searcher.Step();
    PumpMessages();
    return app.request.running != 0;
}

int EngineHarness::RunToEnd(int maxSteps)
{
    int steps = 0;
    while (steps < maxSteps && StepOnce())
        ++steps;
    return steps;
}

void EngineHarness::Stop()
{
    app.request.stopRequested = 1;
    // The idle pass that notices the stop: back to idle, the walk finished.
    app.request.running = 0;
    app.request.stopRequested = 0;
    searcher.Finish();
}

std::vector<FoundFile> EngineHarness::Found() const
{
    std::vector<FoundFile> found;
    for (const EngineEvent& event : events) {
        if (event.kind == EngineEvent::Found)
            found.push_back(event.record);
    }
    return found;
}

std::vector<std::string> EngineHarness::Statuses() const
{
    std::vector<std::string> statuses;
    for (const EngineEvent& event : events) {
        if (event.kind == EngineEvent::Status)
            statuses.push_back(event.text);
    }
    return statuses;
}
