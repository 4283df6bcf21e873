// Drives the real engine in a test: a real window receives its messages and
// the searcher is stepped by the program's own rule, one step at a time.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/SearchApp.h"
#include "search/FileSearcher.h"

struct EngineEvent {
    enum Kind { Status, Found, Ended } kind;
    std::string text;   // Status
    FoundFile record;   // Found
};

class EngineHarness {
public:
    EngineHarness();
    ~EngineHarness();
    EngineHarness(const EngineHarness&) = delete;
    EngineHarness& operator=(const EngineHarness&) = delete;

    // Makes folder current and starts a walk; text and pattern are typed bytes
    // of the code page, and the window reads the text as the characters they spell.
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
    const SearchRequest& Request() const { return app.request; }
    SearchRequest& MutableRequest() { return app.request; }
    bool Running() const { return app.request.running != 0; }
    void ClearEvents() { events.clear(); }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void PumpMessages();

    SearchApp app;
    FileSearcher searcher;
    HWND window;
    std::vector<EngineEvent> events;
    static EngineHarness* current;
};
