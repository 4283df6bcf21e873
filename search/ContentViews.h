// The views: one way each of reading a file's bytes, fed piece by piece and
// ending where its text ends. A view is made and prepared from its row of
// the reading table; nothing is allocated per file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "search/PieceCounter.h"
#include "search/SearchText.h"

class RtfCodePages;
struct ReadingRow;

// What a scan shared by several views found in a piece of size bytes: the
// offsets, ascending, of the bytes that equal an anchor value of any of
// them, the offset of the first zero byte (size when none), and whether
// every byte of the piece is below 128.
struct ScanHits {
    const std::uint32_t* positions;
    size_t found;
    size_t zero;
    size_t size;
    bool ascii;
};

// What every view of one search is prepared from.
struct ViewSetup {
    const SearchTextForms* forms;
    const CaseFolding* folding;  // nullptr: Match case
    RtfCodePages* codePages;     // the RTF reading's other code pages, or nullptr
};

class ContentView {
public:
    virtual ~ContentView() {}
    // Once per search, for its row; false when out of memory.
    virtual bool Prepare(const ReadingRow& row, const ViewSetup& setup) = 0;
    // Once per search, after Prepare: the counter that looks only around the
    // shared scan's hits, its anchor added to shared; nullptr when the view
    // scans on its own.
    virtual PieceCounter* ShareScan(bool shared[256]) = 0;
    // A new file.
    virtual void BeginFile() = 0;
    // The next piece of the file; called only while the view has not ended.
    // hits: what the shared scan found in the piece, for a view that shares
    // it; nullptr when the view scans the piece on its own.
    virtual void Feed(const unsigned char* bytes, size_t count, const ScanHits* hits) = 0;
    // The file has no more bytes: the view ends.
    virtual void EndFile() = 0;
    // Whether the rest of the file can add nothing to the count.
    virtual bool Ended() const = 0;
    virtual unsigned long long Count() const = 0;
};

// The makers the reading table names; each returns nullptr when out of memory.
ContentView* MakeUnitView(const ReadingRow& row);  // UTF-16 up to its first zero unit
ContentView* MakeByteView(const ReadingRow& row);  // bytes up to the first zero byte
ContentView* MakeRtfView(const ReadingRow& row);   // the RTF reader's plain text
