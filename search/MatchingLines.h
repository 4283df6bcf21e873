// The lines of one file that hold the occurrences a search counted, read as
// the reading that found the file reads it: the file is fed piece by piece,
// and each line with an occurrence is reported with its number, its text in
// UTF-16 and where the occurrences lie. Pure: no window, no file, no global.
#pragma once

#include <cstddef>
#include <cstdint>

#include "search/CaseFold.h"
#include "search/RtfTextExtractor.h"
#include "search/Readings.h"
#include "search/SearchText.h"

struct LineHit {
    std::size_t begin;  // units of the line's text
    std::size_t end;
};

// One line as it is reported; the pointers are valid during the report only.
struct MatchingLine {
    unsigned long long number;   // 1-based; a line ends at LF, CR LF or CR
    const char16_t* text;        // without its line break
    std::size_t length;
    const LineHit* hits;         // ascending, never overlapping
    std::size_t hitCount;
    // The line's occurrences: hitCount, or more where a long line's text
    // was cut or it held more than MatchingLines::HitKeep of them.
    unsigned long long count;
    bool cutBefore;              // text before text[0] was left out
    bool cutAfter;               // text after its end was left out
};

typedef void (*LineReport)(void* context, const MatchingLine& line);

class MatchingLines {
public:
    MatchingLines();
    ~MatchingLines();
    MatchingLines(const MatchingLines&) = delete;
    MatchingLines& operator=(const MatchingLines&) = delete;

    // Once per search: the reading (a ReadingKind), the search's text forms
    // and folding (nullptr for Match case). codePages: the tables of code
    // pages the RTF reading may meet and of the ANSI code page (nullptr:
    // 1252 alone); ansiCodePage: the code page the ANSI reading decodes.
    // codePages and folding must outlive the reading. False when the reading
    // has no text to look for.
    bool Prepare(int reading, const SearchTextForms& forms, const CaseFolding* folding, RtfCodePages* codePages,
                 unsigned ansiCodePage);
    // A new file; report gets each line with an occurrence, in order.
    void BeginFile(LineReport report, void* context);
    // The next piece of the file; nothing is read once the text has ended.
    void Feed(const unsigned char* bytes, std::size_t count);
    // The file has no more bytes: the last line is reported.
    void EndFile();
    // Whether the reading's text has ended (a zero unit or byte, the end of
    // a document): the rest of the file adds nothing.
    bool Ended() const { return ended; }
    // The occurrences counted so far.
    unsigned long long Count() const { return total; }

    // Elements (bytes or units) of a line kept for its text: a longer line
    // is cut to a window of this size around its first occurrence.
    static constexpr std::size_t LineKeep = 32 * 1024;
    // Occurrences of a line whose places are kept; more are only counted.
    static constexpr std::size_t HitKeep = 1024;
    // The longest search text in elements, as the reading spells it folded.
    static constexpr std::size_t PatternLimit = 2048;

private:
    struct RawHit {
        std::uint32_t begin;  // elements from line[0]
        std::uint32_t end;
    };

    static void TakeRtfUnits(void* self, const std::uint16_t* units, std::size_t count);
    void FeedUnits(const unsigned char* bytes, std::size_t count);
    void FeedBytes(const unsigned char* bytes, std::size_t count);
    void FoldBytes(const unsigned char* bytes, std::size_t count);
    std::size_t PlainLength(const unsigned char* bytes, std::size_t i, std::size_t end, std::size_t count) const;
    std::size_t RunLength(const unsigned char* bytes, std::size_t count) const;
    void TakeRun(const unsigned char* bytes, std::size_t run);
    void KeepPlain(const unsigned char* bytes, std::size_t count);
    void Advance(std::size_t count);
    void Enter(unsigned value);
    void Leave(unsigned value);
    void Take(unsigned value);
    void Match(unsigned folded, unsigned long long groupBegin, unsigned long long groupEnd);
    void FoldByte(unsigned char byte);
    void KeepFull(unsigned value);
    void AddHit(unsigned long long begin, unsigned long long end);
    void EndLine();
    // A new line from lineStart on: nothing kept, nothing counted yet.
    void ClearLine();
    void Report();
    void FinishText();
    // The length in elements of the character at line[at] among line[0,
    // length), and its units in out (1 or 2).
    std::size_t DecodeAt(std::size_t at, std::size_t length, char16_t* out, std::size_t* units) const;

    // The search.
    TextDecoding decoding = UnitsDecoding;
    TextDecoding shownAs = UnitsDecoding;     // the code page's bytes are UTF-8 where it is 65001
    bool bigEndian = false;
    const CaseFolding* folding = nullptr;
    const std::uint16_t* unitFold = nullptr;  // units compared through it; nullptr: as they are
    const unsigned char* byteFold = nullptr;  // bytes of a single-byte code page, likewise
    bool foldsGroups = false;                 // bytes folded by the folders, several at a time
    Utf8Folder utf8Folder;
    CodePageFolder codePageFolder;
    RtfCodePages* codePages = nullptr;
    unsigned ansiCodePage = 1252;
    const RtfCodePage* page = nullptr;        // the ANSI reading's table, looked up per file
    std::uint16_t pattern[PatternLimit];      // folded where the search ignores case
    std::size_t patternLength = 0;
    std::uint16_t fallback[PatternLimit + 1];  // where a partial match goes on after a mismatch
    // Where each of the last folded elements began in the file: the folders
    // turn groups of bytes into groups of a different length.
    unsigned long long groupStarts[PatternLimit];  // a ring of patternLength slots

    // The file in progress.
    LineReport report = nullptr;
    void* context = nullptr;
    bool ended = true;
    unsigned long long total = 0;
    bool hasOdd = false;
    unsigned char odd = 0;
    RtfReader reader;
    RtfGroupState outermost;
    RtfPlainText plain;
    unsigned long long position = 0;  // elements of text taken so far
    std::size_t ringAt = 0;           // the next slot of groupStarts
    unsigned char patternBytes[PatternLimit] = {};  // a byte reading's pattern as bytes
    bool plainSkips = false;          // runs end at whole occurrences (PlainLength)
    bool runStops[256] = {};          // bytes that end a run TakeRun may take
    unsigned char stopValues[6] = {};  // the first of them, for the 16-byte scan
    std::size_t stopCount = 0;         // how many there are
    unsigned long long groupBegin = 0;
    std::size_t matched = 0;

    // The line in progress: line[0, kept) are its elements from lineStart on.
    unsigned long long number = 1;
    unsigned long long lineStart = 0;
    std::uint16_t line[LineKeep];
    std::size_t kept = 0;
    bool breakPending = false;  // a CR ended the line unless an LF follows
    bool cutBefore = false;
    bool cutAfter = false;
    unsigned long long lineCount = 0;
    RawHit hits[HitKeep];
    std::size_t hitsKept = 0;
    // What a report shows.
    char16_t text[LineKeep];
    LineHit shown[HitKeep];
};
