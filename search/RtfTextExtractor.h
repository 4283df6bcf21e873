// The RTF text extractor: an event-driven RTF reader whose plain-text
// destination turns any bytes into the UTF-16 text a reader would see, and
// the counting of that text while it is produced. The reader is a resumable
// state machine: its input may arrive in pieces of any size, and it stops
// between any two bytes. Pure: no window, no file, no global state.
#pragma once

#include <cstddef>
#include <cstdint>

#include "search/TextScan.h"
#include "search/rtf/RtfCodePages.h"
#include "search/rtf/RtfKeywords.h"
#include "search/rtf/RtfPlainText.h"
#include "search/rtf/RtfReader.h"

// input: size bytes followed by at least three zero bytes; the first zero
// byte that no escape or binary data takes ends the text. output: zero-filled,
// capacity units (at least 1); receives at most capacity - 1 units of text
// and a terminator. The output never has more units than the input has bytes.
// codePages: the tables of code pages other than 1252, or nullptr.
void ExtractRtfText(const unsigned char* input, size_t size, std::uint16_t* output, size_t capacity,
                    RtfCodePages* codePages = nullptr);

// --- Counting the plain text while it is produced ---

// Counts the non-overlapping occurrences of a pattern of UTF-16 units in a
// file's plain text, fed piece by piece: only a small window of the text is
// ever held.
class RtfTextCounter {
public:
    RtfTextCounter();
    ~RtfTextCounter();
    RtfTextCounter(const RtfTextCounter&) = delete;
    RtfTextCounter& operator=(const RtfTextCounter&) = delete;

    // pattern: patternLength units (none counts nothing); fold: nullptr to
    // compare units exactly, else a table of 65,536 units through which every
    // unit of the text is folded before it is compared (the pattern must be
    // folded already). codePages: as for ExtractRtfText. All must outlive the
    // count, and a fold table must not change while it is in use: what the
    // counter derives from the pattern and the table is kept from one Begin to
    // the next while they are the same.
    void Begin(const std::uint16_t* pattern, size_t patternLength, const std::uint16_t* fold = nullptr,
               RtfCodePages* codePages = nullptr);
    // Reads a piece of the file; does nothing once ended.
    void Feed(const unsigned char* bytes, size_t count);
    // The file has no more bytes.
    void End();
    // Whether nothing more can be counted: the input has ended.
    bool Ended() const { return ended; }
    unsigned long long Count() const { return count; }

    // The longest pattern counted on bytes.
    static const size_t BytePatternLimit = 256;

    // The text held while it is counted: UTF-16 units, or one byte for each
    // unit when the pattern is short enough and has few enough distinct units
    // of 128 or more. Then a unit below 128 is its own byte; each distinct
    // pattern unit of 128 or more has a code of its own (0x80 + k), and with
    // a fold table so does each distinct pattern unit below 128, for the
    // units of 128 or more that fold to it; every other unit is 0xFF, which
    // no pattern byte equals. byteFold maps each byte to the pattern byte it
    // matches through the fold table (0xFF, or another value no pattern byte
    // holds, for none).
    struct Window {
        const std::uint16_t* pattern;
        size_t patternLength;
        const std::uint16_t* fold;
        bool bytes;
        unsigned char bytePattern[BytePatternLimit];
        unsigned char byteFold[256];
        unsigned char asciiCodes[128];     // with a fold table: the byte of a unit folding to this value
        std::uint16_t codedUnits[256];     // the pattern's (folded) units of 128 or more, hashed
        unsigned char unitCodes[256];      // and their codes; 0: an empty slot
        unsigned char codes1252[256];      // code page 1252's bytes as window bytes (see RtfByteSpace)
        unsigned char pageCodes[RtfPageUses][256];  // and those of the other code pages in use
        FoldVariants firstVariants;  // the byte values that fold to the pattern's first byte
        FoldVariants lastVariants;   // and to its last
        // What the byte tables were made for, kept from one file to the next.
        bool prepared;
        const std::uint16_t* preparedFold;
        size_t preparedLength;
        std::uint16_t preparedPattern[BytePatternLimit];
        RtfByteSpace space;
        size_t length;      // elements of text in units (bytes when bytes is set)
        size_t from;        // where the next occurrence may start (no overlap)
        unsigned long long count;
        std::uint16_t units[32 * 1024];
    };

private:
    void Close();

    RtfReader reader;
    RtfGroupState outermost;
    RtfPlainText plain;
    Window window;
    unsigned long long count;
    bool ended;
};
