// The matching lines of one found file, read a piece at a time so that the
// window's idle loop can show them while a search runs; the file side of
// the preview. No window.
#pragma once

#include <windows.h>

#include "search/CodePages.h"
#include "search/MatchingLines.h"
#include "search/SearchRequest.h"

// Opens a record's file for reading; everything that reads a found file
// opens it here. INVALID_HANDLE_VALUE, and the thread's last error, when it
// cannot.
HANDLE OpenFoundFile(const FoundFile& record);

class LinePreview {
public:
    LinePreview();
    ~LinePreview();
    LinePreview(const LinePreview&) = delete;
    LinePreview& operator=(const LinePreview&) = delete;

    // The search whose records are previewed: its text as typed and its
    // Match case, kept until the next call. False when out of memory.
    bool Prepare(const WCHAR* searchText, bool matchCase);
    // Begins the record's file, cancelling the file before; its lines go to
    // report as they are found, during Step. False when the record's reading
    // has nothing to look for, or when the file cannot be opened (the
    // thread's last error says why).
    bool Start(const FoundFile& record, LineReport report, void* context);
    // Reads and matches the next piece of at most FilePieceSize bytes; false
    // once the file is done (read to the size the search saw, to its end,
    // or to where its reading's text ends, or a read failed).
    bool Step();
    // Stops reading and closes the file: no more lines are reported.
    void Cancel();
    bool Reading() const { return file != INVALID_HANDLE_VALUE; }
    // Whether the last file was read to its end; false after a read failed
    // or a cancel.
    bool Complete() const { return complete; }
    // The occurrences found in the file so far.
    unsigned long long Count() const { return lines != nullptr ? lines->Count() : 0; }

private:
    SearchTextForms forms;
    const CaseFolding* folding;
    SystemCodePages codePages;
    MatchingLines* lines;
    unsigned char* piece;
    HANDLE file;
    unsigned long long left;  // bytes still to read of the size the search saw
    bool complete;
};
