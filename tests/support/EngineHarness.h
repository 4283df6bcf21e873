// Drives the real engine in a test: the harness receives its reports, a real
// window takes the walk's end as the search window does, and the searcher is
// stepped by the program's own rule, one step at a time.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "search/FileSearcher.h"
#include "search/Notifications.h"
#include "WideText.h"

struct EngineEvent {
    enum Kind { Status, Found, Ended } kind;
    std::string text;   // Status, in UTF-8
    FoundFile record;   // Found: its texts are the searcher's until its next start
};

class EngineHarness final : public SearchSink {
public:
    EngineHarness();
    ~EngineHarness();
    EngineHarness(const EngineHarness&) = delete;
    EngineHarness& operator=(const EngineHarness&) = delete;

    // Starts a walk in folder (UTF-8), as the window does: the folder made
    // current where the platform allows it, and named in the request. text
    // holds typed bytes of the code page, and the window reads it as the
    // characters they spell; the pattern is UTF-8. False when the walk could
    // not start there.
    bool Start(const std::string& folder, const std::string& text, const std::string& pattern = "*.*",
               bool subfolders = true, bool matchCase = true);
    // The same with the text as UTF-16 units, as typed.
    bool StartTyped(const std::string& folder, const std::u16string& text, const std::string& pattern = "*.*",
                    bool subfolders = true, bool matchCase = true);
    // One idle pass of the program's loop: the waiting messages, then one step.
    // Returns the step's result; false once the search is no longer running.
    bool StepOnce();
    // Steps until the walk has ended; returns the number of steps made.
    int RunToEnd(int maxSteps = 10000000);
    // What the window does when the user presses Stop and the loop notices.
    void Stop();

    const std::vector<EngineEvent>& Events() const { return events; }
    std::vector<FoundFile> Found() const;
    std::vector<std::string> Statuses() const;
    const SearchRequest& Request() const { return request; }
    SearchRequest& MutableRequest() { return request; }
    bool Running() const { return running; }
    void ClearEvents() { events.clear(); }
    FileSearcher& Searcher() { return searcher; }

    void OnStatus(const WCHAR* text) override;
    void OnFoundFile(FoundFile* record) override;
    void OnWalkEnded() override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void PumpMessages();

    SearchRequest request = {};
    WCHAR findText[1024] = {};
    WCHAR patternText[1024] = {};
    std::wstring folderText;
    bool running = false;
    FileSearcher searcher;
    HWND window;
    std::vector<EngineEvent> events;
    static EngineHarness* current;
};
