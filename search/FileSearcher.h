// The folder walk: a state machine that the message loop steps one small
// piece of work at a time (one entry, one file, one change of folder).
#pragma once

#include <windows.h>

#include "search/SearchRequest.h"

class HandleStack;

enum SearchState {
    Idle = 0,
    NextFile = 1,
    SearchFile = 2,
    NextSubfolder = 3,
    EnterFolder = 4,
    LeaveFolder = 5,
    Finishing = 6,
};

class FileSearcher {
public:
    FileSearcher();
    ~FileSearcher();
    FileSearcher(const FileSearcher&) = delete;
    FileSearcher& operator=(const FileSearcher&) = delete;

    // The window has filled the request and made the starting folder current.
    int Start(SearchRequest* request);
    // 1: more work is ready now; 0: nothing until the next window message.
    int Step();
    // Ends the walk without posting its end; sends the summary.
    int Finish();

    SearchState CurrentState() const { return state; }

private:
    int StepEnterFolder();
    int StepSearchFile();
    int StepNextFile();
    int StepNextSubfolder();
    int StepLeaveFolder();
    // Moves the pattern enumeration to its next file (or past its end).
    int SeekFile(bool haveFile);
    int EndWalk(int notify);
    void BuildRecord(FoundFile* record) const;

    WIN32_FIND_DATAA findData;
    bool nameExact;     // whether findData's name is the entry's own, not a substitute
    HANDLE findHandle;
    SearchState state;
    char pattern[260];
    SearchRequest* request;
    HandleStack* handles;
    char folder[260];   // the current folder, as the records of its files name it
};
