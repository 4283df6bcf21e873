// The engine harness: a sink that records the reports, and a message-only
// window that takes the walk's end after the step that reported it.
#include "EngineHarness.h"

#include <cstring>

namespace {

const UINT kWalkEnded = WM_APP + 1;

}  // namespace

EngineHarness* EngineHarness::current = nullptr;

EngineHarness::EngineHarness() : window(nullptr)
{
    current = this;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TrovikEngineHarness";
    RegisterClassA(&windowClass);
    window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             windowClass.hInstance, nullptr);
}

EngineHarness::~EngineHarness()
{
    if (running)
        Stop();
    DestroyWindow(window);
    current = nullptr;
    // The walk leaves the current directory in the searched tree.
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    SetCurrentDirectoryA(temp);
}

void EngineHarness::OnStatus(const WCHAR* text)
{
    events.push_back({EngineEvent::Status, Utf8(text), FoundFile()});
}

void EngineHarness::OnFoundFile(FoundFile* record)
{
    events.push_back({EngineEvent::Found, std::string(), *record});
}

void EngineHarness::OnWalkEnded()
{
    PostMessageA(window, kWalkEnded, 0, 0);
}

LRESULT CALLBACK EngineHarness::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    EngineHarness* self = current;
    if (self == nullptr || message != kWalkEnded)
        return DefWindowProcA(window, message, wParam, lParam);
    // As the search window does: back to idle, the walk finished.
    self->events.push_back({EngineEvent::Ended, std::string(), FoundFile()});
    self->running = false;
    self->searcher.Finish();
    return 0;
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
    if (CheckStartFolder(Wide(folder).c_str(), &folderText) != 0)
        return false;
    SetCurrentDirectoryW(folderText.c_str());
    size_t i = 0;
    for (; i < text.size() && i < 1023 && text[i] != 0; ++i)
        findText[i] = static_cast<WCHAR>(text[i]);
    findText[i] = 0;
    const std::wstring usedPattern = Wide(pattern.empty() ? "*.*" : pattern);
    lstrcpynW(patternText, usedPattern.c_str(), 1024);
    request.searchText = findText;
    request.filePattern = patternText;
    request.folder = folderText.c_str();
    request.includeSubfolders = subfolders ? 1 : 0;
    request.matchCase = matchCase ? 1 : 0;
    events.clear();
    running = true;
    searcher.Start(&request, this);
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
    if (!running || searcher.StopRequested())
        return false;
    searcher.Step();
    PumpMessages();
    return running;
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
    searcher.RequestStop();
    // The idle pass that notices the stop: back to idle, the walk finished.
    running = false;
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
