// The view table: one file's bytes read every way its kind allows (UTF-16
// text, RTF plain text, the code page's text, UTF-8, big-endian UTF-16), all
// in one pass over pieces of any size; the first view in table order that
// counts the text decides. Pure: no window, no file, no global state.
#pragma once

#include <cstddef>
#include <cstdint>

#include "search/ContentViews.h"
#include "search/PieceCounter.h"
#include "search/Readings.h"
#include "search/RtfTextExtractor.h"
#include "search/SearchRequest.h"
#include "search/SearchText.h"
#include "search/TextScan.h"

// Copies 16-bit units below 256 as bytes of the same value. Stops after the
// terminator (returns the length before it), at a unit of 256 or more
// (returns -1), or after room bytes (returns room, no terminator).
int NarrowText(char* destination, const WCHAR* source, size_t room);

// The rows of the reading table by their index: a file's reading is its
// view's index + 1.
enum ContentViewIndex {
    Utf16View = ReadingUtf16 - 1,
    RtfView = ReadingRtf - 1,
    AnsiView = ReadingAnsi - 1,
    TypedUtf16View = ReadingUtf16Text - 1,
    Utf8View = ReadingUtf8 - 1,
    Utf16BeView = ReadingUtf16Be - 1,
    ContentViewCount = ReadingCount
};
const unsigned AllContentViews = (1u << ContentViewCount) - 1;

// The view table over one file at a time: each piece goes through every view
// that may still decide the file, in table order. One scan serves a whole
// search; nothing is allocated per file.
class FileScan {
public:
    FileScan();
    ~FileScan();
    FileScan(const FileScan&) = delete;
    FileScan& operator=(const FileScan&) = delete;

    // Once per search. forms: the typed text's spellings (not empty);
    // folding: the case folding to compare through, nullptr for Match case.
    // viewMask: the views that may read (benchmarks time one alone); a view
    // also reads only the files whose kind its row names, and only where its
    // text runs (RunsInKind). codePages: the tables of the code pages RTF
    // documents may name besides 1252, or nullptr; it must outlive the
    // search. False when out of memory.
    bool Prepare(const SearchTextForms& forms, const CaseFolding* folding, unsigned viewMask = AllContentViews,
                 RtfCodePages* codePages = nullptr);
    // A text whose units are the code page's bytes, each widened to the unit
    // of the same value, read by the first three views alone, exactly.
    bool Prepare(const WCHAR* searchText, unsigned viewMask = AllContentViews, RtfCodePages* codePages = nullptr);
    void BeginFile();
    void Feed(const unsigned char* piece, size_t size);
    void EndFile();
    // Whether the rest of the file can change the result: false while a view
    // that may still decide the file has not ended.
    bool Decided() const;
    // Once decided or after EndFile: the count of the first view in table
    // order whose count is not zero (0 when none), and that view (-1 when none).
    unsigned long long Result(int* view = nullptr) const;

    // The size of the blocks in which pieces are scanned once for the
    // anchors of the views that share the scan.
    static const size_t ScanBlock = 128 * 1024;
    // More hits than this in one block: the views scan it on their own.
    static const size_t ScanRoom = 2048;

private:
    // The file's kind is known: the views it gets are live.
    void SetKind(FileKind kind);
    // A piece after the head that decided the kind.
    void FeedKnown(const unsigned char* piece, size_t size);
    // Looks for a zero byte in what of the piece lies in the zero window;
    // zero: the first zero byte of the piece when known, else kNotFound.
    void WatchZero(const unsigned char* piece, size_t size, size_t zero);
    bool Live(int view) const { return (live & (1u << view)) != 0; }
    // Feeds a block to the views in order; true once the rest of the file
    // can change nothing.
    bool FeedViews(const unsigned char* bytes, size_t size, const ScanHits* hits);

    ContentView* views[ContentViewCount];
    unsigned kindViews[FileKindCount];  // the views each kind of file gets
    unsigned zeroViews;                 // the views a plain file gets only with a zero byte
    unsigned usedViews;                 // the views any kind of file gets
    PieceCounter* sharedCounters[ContentViewCount];  // the counter of a view that shares the scan, or nullptr
    bool sharing;
    unsigned char anchorValues[8];  // what the shared scan looks for on their behalf
    unsigned anchorCount;

    // The file in progress: its first bytes until they decide its kind, the
    // views it gets, and how much of the zero window is still to be seen
    // (0: settled).
    unsigned char head[FileKindHead];
    size_t held;
    bool kindKnown;
    unsigned live;
    size_t zeroWindowLeft;
    // Blocks the views still scan on their own after a block had too many
    // hits, and how many the next such block earns.
    unsigned unsharedBlocks;
    unsigned unsharedRun;
    std::uint32_t positions[ScanRoom];
};
