// The RTF reader core: a resumable state machine that splits its input into
// ordinary bytes, control words and symbols, and group braces, and sends
// each as an event to the handlers of the current group. Its input may
// arrive in pieces of any size; it stops between any two bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "search/rtf/RtfKeywords.h"

struct RtfGroupState;

// Each handler gets the current group state last. byte is 0 to 255; the
// terminator 0 is sent once more when the input has ended.
typedef void (*CharHandler)(int byte, RtfGroupState* state);
// code: an RtfKeywordCode, 0 for a name not in RtfKeywordTable.
typedef void (*ControlHandler)(int code, std::int32_t parameter, RtfGroupState* state);
// direction -1: a group opens inside state's group, other is the new state.
// direction 0: state's group closes, other is the enclosing state.
typedef void (*GroupHandler)(int direction, RtfGroupState* other, RtfGroupState* state);
// Takes the run of ordinary bytes that starts at p with the effect of one
// character event per byte, and returns where the run ends: at the first
// byte before end that is a zero, a backslash or a brace. Line breaks inside
// the run are skipped (they add no text); it may also stop at one.
typedef const unsigned char* (*RunHandler)(const unsigned char* p, const unsigned char* end, RtfGroupState* state);

// Accepts any of the three events and does nothing.
void IgnoreEvent(int byte, RtfGroupState* state);
void IgnoreEvent(int code, std::int32_t parameter, RtfGroupState* state);
void IgnoreEvent(int direction, RtfGroupState* other, RtfGroupState* state);

// One open group. A new group starts as a field-by-field copy of its parent.
struct RtfGroupState {
    CharHandler charHandler;
    void* charContext;
    ControlHandler controlHandler;
    void* controlContext;
    GroupHandler groupHandler;
    void* groupContext;
    RtfGroupState* enclosing;  // nullptr for the outermost state
    // The plain-text destination's fallback count (\ucN): how many characters
    // after a letter written by its number (\uN) stand in for it. 1 outside
    // any group.
    std::int32_t fallbackCount;
    // And its font: the number of the group's \fN (hasFont), else the
    // default font; whether the group is in the font table.
    std::int32_t font;
    bool hasFont;
    bool fontTable;
};

// Groups nested deeper than this share the deepest state (see PushGroup):
// memory stays bounded whatever the input.
const std::size_t RtfMaxGroupDepth = 4096;
const std::size_t RtfInlineGroups = 64;

// Where the reader stands between two input bytes.
enum RtfReadState {
    RtfReadText,        // ordinary bytes, braces, or a backslash starting a token
    RtfReadTokenStart,  // after a backslash: a control symbol, a name or neither
    RtfReadName,        // inside the letters of a control word's name
    RtfReadAfterName,   // the name is complete: a numeric parameter or a delimiter may follow
    RtfReadNumber,      // inside a control word's run of digits and '-'
    RtfReadHexHigh,     // after \' : the first of the escape's two bytes
    RtfReadHexLow,      // the second of them
    RtfReadBinary,      // inside the raw bytes of \binN, which are skipped whatever they hold
    RtfReadEnded,       // the input has ended: groups closed, terminator sent
};

// A control word's run of digits and '-': its value is an optional sign and
// the digits up to the first other byte, modulo 2^32.
struct RtfNumber {
    std::uint32_t value;
    bool negative;
    bool ended;    // a '-' after the run's first byte was seen
    bool started;  // the run's first byte has been read
};

// The state of one extraction. Set current (the outermost state) and leave
// the rest value-initialised (RtfReader reader = {}); set cursor only for
// RunRtfReader. The reader holds pointers into itself: do not copy or move
// it while it reads.
struct RtfReader {
    const unsigned char* cursor;  // RunRtfReader: where the zero-terminated input starts
    std::int32_t parameter;       // starts at 0; not reset between keywords
    RtfGroupState* current;
    // A character handler that can take whole runs of text, and its run handler.
    CharHandler runCharHandler;
    RunHandler runHandler;

    RtfReadState readState;
    bool started;                 // a byte has been read (only the first may be a line break)
    // The control token being read.
    RtfName name;                 // its bytes while they fit a row
    std::size_t nameLength;
    const RtfKeyword* keyword;    // its row, once the name is complete
    RtfNumber number;
    bool hasNumber;               // the control word has a numeric parameter of its own
    unsigned char escapeFirst;    // the first byte of \'xx
    std::uint32_t binaryLeft;     // raw bytes of \binN still to skip

    // Inner states by depth: the first RtfInlineGroups here, the rest in one
    // block allocated on first need and released when the input ends.
    std::size_t depth;
    RtfGroupState* deepStates;
    bool deepStatesUnavailable;
    // Groups beyond RtfMaxGroupDepth (or beyond a failed allocation) are only
    // counted; the deepest state is restored when the last of them closes.
    std::size_t excessDepth;
    RtfGroupState excessSnapshot;
    RtfGroupState inlineStates[RtfInlineGroups];
};

// Reads the next count input bytes, sending their events to the current
// state's handlers. The first zero byte that no escape swallows ends the
// input: the groups left open are closed, the terminator is sent, and the
// bytes after it are not read. Returns the number of bytes read.
size_t FeedRtfReader(RtfReader* reader, const unsigned char* bytes, size_t count);
// The input has no more bytes: reads the zero bytes that follow it (at most
// three), which ends it. Does nothing once it has ended.
void EndRtfInput(RtfReader* reader);
// Releases what the reader holds without reading on (a file left unfinished).
void ReleaseRtfReader(RtfReader* reader);

// Reads the size bytes at cursor, which three zero bytes follow, up to the
// zero byte that ends the input: closes the groups left open and sends the
// terminator.
void RunRtfReader(RtfReader* reader, size_t size);
void PushGroup(RtfReader* reader);
void PopGroup(RtfReader* reader);
