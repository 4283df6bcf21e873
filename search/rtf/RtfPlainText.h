// The plain-text destination: the handlers that turn a document's events
// into the UTF-16 text a reader would see, written as units, or as bytes into
// a counting window's free space.
#pragma once

#include <cstddef>
#include <cstdint>

#include "search/rtf/RtfCodePages.h"
#include "search/rtf/RtfFonts.h"
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
    // others (a lead byte, a byte that writes nothing), made in slot (below
    // RtfPageUses): valid until the slot is asked for again.
    const unsigned char* (*pageCodes)(void* owner, const RtfCodePage* page, unsigned slot);

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

// How many code pages the destination keeps ready to switch between: a
// document's fonts name few.
const unsigned RtfPageUses = 4;
// The units of a field's instruction read for a link's target.
const std::size_t RtfMaxInstruction = 2048;
// The units of the link targets kept for after the text, each with the line
// break before it.
const std::size_t RtfMaxLinkTargets = 64 * 1024;

// How the plain-text destination reads the document's text: its code pages
// and fonts, what the last tokens left pending, and the targets of its links.
// The character, control and group contexts of every state point to it.
struct RtfPlainText {
    UnitWriter write;
    void* output;
    RtfByteSpace* space;              // nullptr: all text goes to write as units
    const unsigned char* byteCodes;   // with space: the code page's bytes as the window's bytes
    RtfCodePages* codePages;          // nullptr: code page 1252 only
    const RtfCodePage* codePage;      // the one in force: the font's own, else the document's
    const RtfCodePage* documentPage;  // \ansicpgN, 1252 until named
    bool asciiSame;                   // the code page writes bytes below 128 as themselves
    unsigned char leadByte;           // a double-byte code page's lead byte waiting for its trail, or 0
    std::int32_t fallbackLeft;        // characters still to skip after \uN
    bool groupStart;                  // the current group has had no token yet
    bool ignorablePending;            // the group began with \*: the next control word may show it again

    RtfFonts fonts;
    int definingFont;                 // the index of the font table's font being defined, or -1
    std::int32_t defaultFont;         // \deffN, where hasDefaultFont
    bool hasDefaultFont;
    // The code pages switched to last, with what was made for each.
    struct PageUse {
        const RtfCodePage* page;      // nullptr: none yet
        bool asciiSame;
        const unsigned char* byteCodes;
    } pageUses[RtfPageUses];
    unsigned nextPageUse;

    std::uint16_t instruction[RtfMaxInstruction];  // the field instruction being read
    std::size_t instructionLength;
    std::uint16_t* targets;           // the link targets kept, each after a line break; allocated with the first
    std::size_t targetsLength;
    bool targetsFull;                 // a target did not fit: it and every later one are dropped
};

// Sets up the destination over an output; the outermost state's handlers and
// contexts are set to it.
void BeginPlainText(RtfPlainText* plain, UnitWriter write, void* output, RtfCodePages* codePages,
                    RtfGroupState* outermost);
// The input has ended: writes the link targets after the text, and the
// terminator, and releases what the destination holds.
void EndPlainText(RtfPlainText* plain);
// Releases what the destination holds without writing (an input left unfinished).
void ReleasePlainText(RtfPlainText* plain);

// Character handler: one byte of text in the code page in force; the
// terminator writes nothing (EndPlainText writes it).
void PlainTextChar(int byte, RtfGroupState* state);
// Character handler of a visible field's instruction, which is read for a
// link's target and writes no text.
void FieldInstructionChar(int byte, RtfGroupState* state);
// Control handler: the effect of the keyword's row (RtfEffect).
void PlainTextControl(int code, std::int32_t parameter, RtfGroupState* state);
// Group handler: a group's first token, the end of a letter's fallback, of a
// font and of a field's instruction.
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

