// The plain-text destination: the handlers that turn a document's events
// into the UTF-16 text a reader would see, written as units, or as bytes into
// a counting window's free space.
#pragma once

#include <cstddef>
#include <cstdint>

#include "search/rtf/RtfCodePages.h"
#include "search/rtf/RtfReader.h"

// Receives the units of the plain text, count at least 1.
typedef void (*UnitWriter)(void* output, const std::uint16_t* units, size_t count);

// A byte window's free space (see RtfTextCounter::Window), which the
// plain-text destination fills with the bytes of the text directly, and what
// it may leave out: text that no occurrence can touch.
struct RtfByteSpace {
    unsigned char* next;   // where the next byte of text goes
    unsigned char* limit;  // where the space ends
    void* owner;
    // Counts what the window holds and keeps only the tail that may still
    // begin an occurrence (under 256 bytes): then most of the space is free.
    void (*makeRoom)(void* owner);
    // The bytes of a code page's bytes that write one unit alone, 0 for the
    // others (a lead byte, a byte that writes nothing); valid until the next call.
    const unsigned char* (*pageCodes)(void* owner, const RtfCodePage* page);

    // An occurrence begins with one of startBytes; those below 128 are
    // starts (repeated to fill them, 0x80 when none). Text more than span - 1
    // bytes after the last such byte may be left out, and gap, which no
    // pattern byte equals, written in its place. keep: how many bytes of text
    // must still be written before text may be left out.
    unsigned char starts[4];
    unsigned startCount;   // how many of starts differ (1 to 4)
    bool startBytes[256];  // every byte that may begin an occurrence
    bool filtering;        // false: every byte is written
    unsigned char gap;
    size_t span;
    size_t keep;
};

// How the plain-text destination reads the document's text: its code page,
// and what the last tokens left pending. The character, control and group
// contexts of every state point to it.
struct RtfPlainText {
    UnitWriter write;
    void* output;
    RtfByteSpace* space;              // nullptr: all text goes to write as units
    const unsigned char* byteCodes;   // with space: the code page's bytes as the window's bytes
    RtfCodePages* codePages;          // nullptr: code page 1252 only
    const RtfCodePage* codePage;      // the document's (\ansicpgN), 1252 until named
    bool asciiSame;                   // the code page writes bytes below 128 as themselves
    unsigned char leadByte;           // a double-byte code page's lead byte waiting for its trail, or 0
    std::int32_t fallbackLeft;        // characters still to skip after \uN
    bool groupStart;                  // the current group has had no token yet
    bool ignorablePending;            // the group began with \*: the next control word may show it again
};

// Sets up the destination over an output; the outermost state's handlers and
// contexts are set to it.
void BeginPlainText(RtfPlainText* plain, UnitWriter write, void* output, RtfCodePages* codePages,
                    RtfGroupState* outermost);

// Character handler: one byte of text in the document's code page.
void PlainTextChar(int byte, RtfGroupState* state);
// Control handler: the effect of the keyword's row (RtfEffect).
void PlainTextControl(int code, std::int32_t parameter, RtfGroupState* state);
// Group handler: a group's first token, and the end of a letter's fallback.
void PlainTextGroup(int direction, RtfGroupState* other, RtfGroupState* state);
// Run handler for PlainTextChar.
const unsigned char* PlainTextRun(const unsigned char* p, const unsigned char* end, RtfGroupState* state);

// An output buffer of units, cut at capacity - 1 units and a terminator.
struct TextSink {
    std::uint16_t* writePosition;
    std::size_t slotsLeft;      // size_t: output blocks may exceed 2 GiB
};

// UnitWriter over a TextSink: the unit that takes the last slot becomes the
// terminator, and every later unit is dropped.
void WriteSinkUnits(void* sink, const std::uint16_t* units, size_t count);

