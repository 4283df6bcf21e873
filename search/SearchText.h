// The spellings of one search's text that the readings look for, and the
// case folding that a search without Match case compares through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "search/PlatformTypes.h"

// Which reading found a file; the record keeps it for the Type column.
enum ReadingKind {
    ReadingNone = 0,
    ReadingUtf16 = 1,       // the code page's bytes widened one to one, little-endian
    ReadingRtf = 2,         // RTF plain text
    ReadingAnsi = 3,        // the code page's bytes
    ReadingUtf16Text = 4,   // the typed text's own units, little-endian
    ReadingUtf8 = 5,
    ReadingUtf16Be = 6,     // the typed text's own units, big-endian
};

// The text the Type column shows for a reading; empty for ReadingNone.
// (The reading table holds it.)
const char* ReadingName(int reading);

struct SearchTextForms {
    std::u16string typed;        // T: the text as typed
    bool hasAnsi = false;        // the code page spells T exactly
    std::string ansi;            // A: that spelling (readings 2 and 3)
    std::u16string widenedAnsi;  // A's bytes widened one to one (reading 1)
    bool hasUtf8 = false;        // T holds no unpaired surrogate
    std::string utf8;            // T in UTF-8 (reading 5)

    // Whether each reading is tried in a file without a mark: a reading
    // whose text another, earlier reading already looks for in the same way
    // is skipped. (The reading table holds the rules.)
    bool Runs(int reading) const;
};

// The parts that need no code page: T, its UTF-8 form and the readings'
// choice. ansi (exact, or hasAnsi false) is filled in by the caller.
void SetTypedText(SearchTextForms* forms, const WCHAR* typed);
void SetAnsiText(SearchTextForms* forms, const char* bytes, std::size_t length);

// Length of the UTF-8 sequence that byte begins (1 to 4), 0 when it cannot begin one.
std::size_t Utf8SequenceLength(unsigned char byte);
// Decodes one whole sequence of length bytes (Utf8SequenceLength of its
// first); false when it is not well formed (overlong, a surrogate, beyond
// U+10FFFF, or a byte that does not continue it).
bool DecodeUtf8Sequence(const unsigned char* bytes, std::size_t length, std::uint32_t* code);
// T in UTF-8; false when T holds an unpaired surrogate, which UTF-8 cannot spell.
bool EncodeUtf8(const std::u16string& units, std::string* bytes);
// One character (below 0x110000) in UTF-8 at out; returns its 1 to 4 bytes.
std::size_t EncodeUtf8Character(std::uint32_t code, unsigned char* out);

// Simple one-to-one uppercase of every UTF-16 unit and of the characters of
// the ANSI code page (double-byte characters included), as the platform
// maps them. Built once per code page; about 256 KiB.
struct CaseFolding {
    std::uint16_t unit[65536];
    unsigned char byte[256];
    bool lead[256];              // lead bytes of a double-byte code page
    std::uint16_t pair[65536];   // (lead << 8 | trail) -> its uppercase pair
};

// Identity folding: every table maps a value to itself, no lead bytes.
void ResetCaseFolding(CaseFolding* folding);

#ifdef _WIN32
// T's exact spelling in the ANSI file code page (no best fit, no default
// character), or hasAnsi false.
void PrepareSearchText(SearchTextForms* forms, const WCHAR* typed);
// The tables of the ANSI code page; the same object for the whole process.
const CaseFolding* SystemCaseFolding();
#endif
