// The folder walk: a state machine that the message loop steps one small
// piece of work at a time (one entry, one piece of a file, one change of folder).
#pragma once

#include <windows.h>

#include <string>

#include "search/CodePages.h"
#include "search/ContentMatchers.h"
#include "search/Notifications.h"
#include "search/SearchRequest.h"

// Files are read and searched this many bytes per step, into one buffer taken
// once per search: a step stays short whatever a file's size.
const DWORD FilePieceSize = 256 * 1024;

// Whether a walk can start in folder (a path, relative ones to the current
// directory): 0 when it can, with its full path in full; else why not, a
// system error code (no such folder, not a folder, it cannot be listed).
DWORD CheckStartFolder(const WCHAR* folder, std::wstring* full);

class HandleStack;

enum SearchState {
    Idle = 0,
    NextFile = 1,
    SearchFile = 2,
    NextSubfolder = 3,
    EnterFolder = 4,
    LeaveFolder = 5,
    Finishing = 6,
    ReadPiece = 7,      // the next piece of the file in progress
};

class FileSearcher {
public:
    FileSearcher();
    ~FileSearcher();
    FileSearcher(const FileSearcher&) = delete;
    FileSearcher& operator=(const FileSearcher&) = delete;

    // The caller has filled the request. The walk reports to sink; the
    // records of the previous walk are freed.
    int Start(SearchRequest* request, SearchSink* sink);
    // 1: more work is ready now; 0: nothing until the next window message.
    int Step();
    // Ends the walk without reporting its end; sends the summary.
    int Finish();

    // Asks the walk to stop: each report answers 0 from now on. The caller
    // ends the walk with Finish before any further step; a start or an end
    // clears the request.
    void RequestStop() { reports.RequestStop(); }
    bool StopRequested() const { return reports.StopRequested(); }
    // The records reported since the last start, newest first.
    const FoundFile* FoundFiles() const { return reports.FoundFiles(); }

    SearchState CurrentState() const { return state; }

private:
    int StepEnterFolder();
    int StepSearchFile();
    int StepNextFile();
    int StepNextSubfolder();
    int StepLeaveFolder();
    // Reads and searches the next piece of the file in progress; reports the
    // file when it is done.
    int StepReadPiece();
    int FinishFile();
    void CloseFile();
    // Moves the pattern enumeration to its next file (or past its end).
    int SeekFile(bool haveFile);
    int EndWalk(int notify);
    void BuildRecord(FoundFile* record) const;
    // Lists the entries of the current folder that match name.
    HANDLE FindHere(const WCHAR* name, WIN32_FIND_DATAW* entry);
    // Opens the file of findData for reading; on failure the thread's last
    // error says why (a system code or an OpenFailure).
    HANDLE OpenFound();
    // The current folder's path followed by a backslash and name, in path;
    // its length, or 0 (path unchanged) when it would be too long. Until the
    // next call of CutTail the tail is in path after pathLength.
    size_t AddTail(const WCHAR* name);
    void CutTail() { path[pathLength] = 0; }
    // Makes the parent of the current folder current.
    void LeaveToParent();
    // The current folder as records name it, from path.
    void NameFolder();
    // Reports a subfolder that cannot be entered as a failed row.
    int ReportFolder(const WCHAR* name, DWORD error);

    WIN32_FIND_DATAW findData;
    HANDLE findHandle;
    SearchState state;
    SearchRequest* request;
    HandleStack* handles;
    WCHAR* path;        // the walk's position: the current folder in "\\?\" form
    size_t pathLength;
    WCHAR* folder;      // the current folder, as the records of its files name it
    FILETIME subfolderTime;       // of the subfolder being entered, for its row
    FINDEX_INFO_LEVELS findLevel;  // lowered, with findFlags, where the platform refuses them
    DWORD findFlags;

    // The file in progress, between the steps that read its pieces.
    HANDLE file;
    FoundFile record;
    unsigned long long fileSize;    // as the enumeration gave it: no more is read
    unsigned long long fileRead;
    unsigned char* pieces;          // FilePieceSize bytes, for the whole search
    bool buffersMissing;            // the search could not have its buffers
    FileScan scan;
    SystemCodePages codePages;      // kept across searches: each table is built once
    Notifier reports;
};
