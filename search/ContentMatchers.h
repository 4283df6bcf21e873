// The content views: one file's bytes read as UTF-16 text, as RTF plain text,
// as the code page's text, as UTF-8 and as big-endian UTF-16, all in one pass
// over pieces of any size; the first view in table order that counts the text
// decides. Pure: no window, no file, no
// global state.
#pragma once

#include <cstddef>
#include <cstdint>

#include "search/RtfTextExtractor.h"
#include "search/SearchRequest.h"
#include "search/SearchText.h"
#include "search/TextScan.h"

// Copies 16-bit units below 256 as bytes of the same value. Stops after the
// terminator (returns the length before it), at a unit of 256 or more
// (returns -1), or after room bytes (returns room, no terminator).
int NarrowText(char* destination, const WCHAR* source, size_t room);

// Counts the non-overlapping occurrences of a pattern of elements (bytes, or
// little-endian 16-bit units) in a text that arrives in pieces, exactly as a
// search of the whole text from its start would: an occurrence may straddle
// any number of pieces.
class PieceCounter {
public:
    // width: 1 or 2 bytes an element. The pattern (length elements) and the
    // scratch (3 * (length - 1) * width bytes) must outlive the counting.
    void Prepare(size_t width, const unsigned char* bytePattern, const std::uint16_t* unitPattern, size_t length,
                 unsigned char* scratch);
    // After Prepare, for a count that ignores case: each element of the text
    // is compared through the table of its width (the pattern is folded already).
    void Fold(const unsigned char* byteFold, const std::uint16_t* unitFold);
    void Begin();
    // count elements at bytes (count * width bytes).
    void Feed(const unsigned char* bytes, size_t count);
    unsigned long long Count() const { return count; }

    // A scan shared by several counters looks for one byte of each pattern,
    // its anchor, and the counters look for occurrences only around the
    // bytes it found. Picks the anchor: the byte of the pattern, with all the
    // values that fold alike, that is likely rarest in files, where the
    // values already set in shared cost nothing; sets its values in shared.
    // False (no anchor) when every byte of the pattern is zero or has too
    // many variants.
    bool ChooseAnchor(bool shared[256]);
    // As Feed, where the shared scan has found, at positions[0, found)
    // (ascending offsets from bytes - skip), every byte of bytes[0, count *
    // width) that equals one of the anchor's values, and maybe others.
    void FeedAround(const unsigned char* bytes, size_t count, const std::uint32_t* positions, size_t found,
                    size_t skip);

private:
    size_t Find(const unsigned char* text, size_t elements, size_t from) const;
    // Settles the occurrences that begin in the carry; returns where the
    // next one may begin in the piece, or kNotFound when the whole piece
    // went into the carry.
    size_t SettleCarry(const unsigned char* bytes, size_t elements);
    void KeepTail(const unsigned char* bytes, size_t elements, size_t from);
    bool FitsAt(const unsigned char* text, size_t at) const;

    size_t width = 1;
    const unsigned char* bytePattern = nullptr;
    const std::uint16_t* unitPattern = nullptr;
    size_t length = 0;
    unsigned char* carry = nullptr;  // the last elements seen that may begin an occurrence
    unsigned char* joint = nullptr;  // the carry and the start of the next piece
    size_t carried = 0;
    unsigned long long count = 0;
    const unsigned char* byteFold = nullptr;
    const std::uint16_t* unitFold = nullptr;
    FoldVariants first = {}, last = {};
    size_t anchorElement = 0;  // the anchor: byte anchorOffset of this element of the pattern
    size_t anchorOffset = 0;
    unsigned anchorCount = 0;
    unsigned char anchorValues[4] = {};
    bool anchorValue[256] = {};
};

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

// One way of reading a file's bytes: a row of the view table.
class ContentView {
public:
    virtual ~ContentView() {}
    // A new file.
    virtual void BeginFile() = 0;
    // The next piece of the file; called only while the view has not ended.
    // hits: for a view that takes part in the shared scan, what the scan
    // found in the piece (every byte equal to one of its anchor's values);
    // nullptr when the view scans the piece on its own.
    virtual void Feed(const unsigned char* bytes, size_t count, const ScanHits* hits) = 0;
    // The file has no more bytes: the view ends.
    virtual void EndFile() = 0;
    // Whether the rest of the file can add nothing to the count.
    virtual bool Ended() const = 0;
    virtual unsigned long long Count() const = 0;
};

// The readings in their order of trial; a file's reading is its index + 1.
enum ContentViewIndex {
    Utf16View = 0,       // the code page's bytes widened one to one, little-endian
    RtfView = 1,         // RTF plain text, the code page's bytes
    AnsiView = 2,        // the code page's bytes
    TypedUtf16View = 3,  // the typed text's own units, little-endian
    Utf8View = 4,        // the typed text in UTF-8
    Utf16BeView = 5,     // the typed text's own units, big-endian
    ContentViewCount = 6
};
extern const char* const ContentViewNames[ContentViewCount];
const unsigned AllContentViews = (1u << ContentViewCount) - 1;

class Utf16TextView;
class RtfTextView;
class ByteTextView;

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
    // also reads only where forms.Runs says so. codePages: the tables of the
    // code pages RTF documents may name besides 1252, or nullptr; it must
    // outlive the search. False when out of memory.
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
    void Release();
    // Feeds a block to the views in order; true once the rest of the file
    // can change nothing.
    bool FeedViews(const unsigned char* bytes, size_t size, const ScanHits* hits);

    unsigned char* block;  // the patterns, the counters' scratch and the folding scratch
    unsigned viewMask;
    Utf16TextView* utf16[3];
    RtfTextView* rtf;
    ByteTextView* bytes[2];
    ContentView* views[ContentViewCount];
    PieceCounter* sharedCounters[ContentViewCount];  // the counter of a view that shares the scan, or nullptr
    bool sharing;
    unsigned char anchorValues[8];  // what the shared scan looks for on their behalf
    unsigned anchorCount;
    // Blocks the views still scan on their own after a block had too many
    // hits, and how many the next such block earns.
    unsigned unsharedBlocks;
    unsigned unsharedRun;
    std::uint32_t positions[ScanRoom];
};
