// The readings in one table: how each one spells the text, which files it
// reads, the Type it gives a file and how its view is made. The view table
// runs the rows in this order; the first one that counts decides.
#pragma once

#include <cstddef>

#include "search/SearchText.h"

class ContentView;

// What a file's first bytes say it is. Each kind lets its own readings count.
enum FileKind {
    PlainFile = 0,     // no mark: every reading but RTF
    RtfFile = 1,       // begins "{\rtf": the RTF reading alone
    Utf8BomFile = 2,   // EF BB BF: UTF-8 alone
    Utf16LeBomFile = 3,  // FF FE: the little-endian UTF-16 readings
    Utf16BeBomFile = 4,  // FE FF: big-endian UTF-16
    FileKindCount = 5
};

// How many first bytes decide a file's kind; fewer when the file is shorter.
const std::size_t FileKindHead = 5;
// In a plain file, a reading marked needsZero counts only where one of the
// file's first this many bytes (all of them when it is shorter) is zero:
// UTF-16 text holds zero bytes in its spaces, digits and punctuation, text
// of one byte a character holds none.
const std::size_t ZeroWindow = 64 * 1024;

FileKind KindOfFile(const unsigned char* head, std::size_t size);

// How a reading's text is spelled from the typed text.
enum TextSpelling {
    WidenedAnsiSpelling,  // the code page's bytes, each widened to the unit of its value
    AnsiSpelling,         // the code page's bytes
    TypedSpelling,        // the typed units
    Utf8Spelling,         // the typed text in UTF-8
};

// How a reading's text becomes the UTF-16 a person reads.
enum TextDecoding {
    UnitsDecoding,     // UTF-16 units as they are
    CodePageDecoding,  // the ANSI code page's bytes
    Utf8Decoding,      // UTF-8 bytes
    RtfDecoding,       // an RTF document's plain text
};

struct ReadingRow {
    int reading;               // the ReadingKind the record keeps; the row's index + 1
    const char* type;          // the Type column's text
    TextSpelling spelling;
    unsigned width;            // bytes an element of the text: 1 or 2
    bool bigEndian;            // 16-bit units with their high byte first
    TextDecoding decoding;
    // Whether the search's text gives the reading anything to look for that
    // an earlier reading does not already look for in the same way.
    bool (*runsFor)(const SearchTextForms& forms);
    unsigned fileKinds;        // bit (1 << FileKind) for each kind of file it reads
    bool needsZero;            // see ZeroWindow
    ContentView* (*makeView)(const ReadingRow& row);  // nullptr when out of memory
};

const int ReadingCount = 6;
extern const ReadingRow ReadingTable[ReadingCount];

// The row of a reading number, nullptr for ReadingNone or out of range.
const ReadingRow* FindReading(int reading);

// The text spelled for a row: units for width 2, bytes for width 1.
const std::u16string& UnitSpelling(const ReadingRow& row, const SearchTextForms& forms);
const std::string& ByteSpelling(const ReadingRow& row, const SearchTextForms& forms);

// Whether the reading is tried in files of a kind: its text is spelled and
// no earlier reading that such files get looks for it in the same way.
bool RunsInKind(int reading, const SearchTextForms& forms, FileKind kind);
