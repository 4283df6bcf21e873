// How the walk reports: the sink its caller implements, and the notifier
// that writes the texts, keeps the reported records and carries a stop.
#pragma once

#include "search/SearchRequest.h"

// What a walk's caller receives, on the walk's own thread, inside its steps.
class SearchSink {
public:
    // A status text (a folder entered, the summary); valid during the call.
    virtual void OnStatus(const WCHAR* text) = 0;
    // A reported file. The record stays the searcher's until its next start.
    virtual void OnFoundFile(FoundFile* record) = 0;
    // The walk has ended by itself. Called inside its last step, before the
    // summary: a caller that finishes the walk in answer does so once the
    // step has returned (a posted message), as the summary then comes again.
    virtual void OnWalkEnded() = 0;

protected:
    ~SearchSink() = default;
};

class Notifier {
public:
    Notifier() = default;
    ~Notifier();
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;

    // Where the reports go from now on; null sends them nowhere.
    void SetSink(SearchSink* target) { sink = target; }

    // Each returns 1 when the walk may go on (no stop pending after the
    // report), else 0. A format takes wide texts as %ls.
    int SendStatus(const WCHAR* format, ...);
    // Reports a copy of the record, kept in the found-file list; without
    // memory for the copy nothing is reported and the walk goes on.
    int SendFoundFile(const FoundFile& record);
    int SendSearchEnded();
    int SendSummary(const SearchRequest& request);

    // A stop asked for by the caller: every report answers 0 until it is cleared.
    void RequestStop() { stopRequested = true; }
    void ClearStop() { stopRequested = false; }
    bool StopRequested() const { return stopRequested; }

    // The reported records, newest first.
    const FoundFile* FoundFiles() const { return foundFiles; }
    void FreeFoundFiles();

private:
    int GoOn() const { return stopRequested ? 0 : 1; }

    SearchSink* sink = nullptr;
    FoundFile* foundFiles = nullptr;
    bool stopRequested = false;
};
