// The RTF text extractor: an event-driven RTF reader whose plain-text
// destination turns any 8-bit bytes into the text a reader would see
// Pure: no window, no file, no global state.
#pragma once

#include <cstddef>
#include <cstdint>

// input: bytes ending in at least three zero bytes (the first zero ends the
// text; the reader may look up to two bytes past it). output: zero-filled,
// capacity bytes (at least 1); receives at most capacity - 1 bytes of text
// and a terminator. The output is never longer than the text of the input.
void ExtractRtfText(const unsigned char* input, unsigned char* output, size_t capacity);

// --- The reader and its handlers, for destinations other than plain text ---

struct RtfGroupState;

// Each handler gets the current group state last. byte is 0 to 255; the
// terminator 0 is sent once more when the input has ended.
typedef void (*CharHandler)(int byte, RtfGroupState* state);
// code: an RtfKeywordCode, 0 for a name not in RtfKeywordTable.
typedef void (*ControlHandler)(int code, std::int32_t parameter, RtfGroupState* state);
// direction -1: a group opens inside state's group, other is the new state.
// direction 0: state's group closes, other is the enclosing state.
typedef void (*GroupHandler)(int direction, RtfGroupState* other, RtfGroupState* state);

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
};

enum RtfKeywordCode {
    RtfUnknown = 0,  // a name not in the table, or an empty name
    RtfRtf = 1, RtfAnsi = 2, RtfFonttbl = 7, RtfFnil = 8, RtfFswiss = 10,
    RtfColortbl = 33, RtfRed = 34, RtfGreen = 35, RtfBlue = 36,
    RtfPar = 237, RtfPard = 238, RtfFi = 252, RtfLi = 253, RtfRi = 254, RtfTx = 262,
    RtfPlain = 410, RtfB = 411, RtfF = 420, RtfFs = 421, RtfI = 422, RtfSuper = 436,
    RtfPage = 474, RtfTab = 481, RtfEndash = 483, RtfRdblquote = 490, RtfHexEscape = 491,
    RtfCloseBrace = 661, RtfOpenBrace = 662,
};

struct RtfKeyword {
    const char* name;
    int code;
};

// 28 rows in ascending order of the names compared as unsigned bytes.
extern const RtfKeyword RtfKeywordTable[28];

// Binary search of RtfKeywordTable for the zero-terminated name; exact and
// case-sensitive. Returns true and sets *code when found.
bool LookupRtfKeyword(const char* name, int* code);

// Groups nested deeper than this share the deepest state (see PushGroup):
// memory stays bounded whatever the input.
const std::size_t RtfMaxGroupDepth = 4096;
const std::size_t RtfInlineGroups = 64;

// The state of one extraction. Set cursor and current (the outermost state)
// and leave the rest as value-initialised (RtfReader reader = {}).
struct RtfReader {
    const unsigned char* cursor;
    std::int32_t parameter;     // starts at 0; not reset between keywords
    RtfGroupState* current;
    // One past the last byte known readable, nullptr when not yet known; lets
    // runs of text be scanned in blocks without reading past the buffer.
    const unsigned char* readEnd;
    // Inner states by depth: the first RtfInlineGroups here, the rest in one
    // block allocated on first need and released by RunRtfReader.
    std::size_t depth;
    RtfGroupState* deepStates;
    bool deepStatesUnavailable;
    // Groups beyond RtfMaxGroupDepth (or beyond a failed allocation) are only
    // counted; the deepest state is restored when the last of them closes.
    std::size_t excessDepth;
    RtfGroupState excessSnapshot;
    RtfGroupState inlineStates[RtfInlineGroups];
};

// Reads the whole input, sending its events to the current state's handlers;
// closes the groups left open and sends the terminator.
void RunRtfReader(RtfReader* reader);
// Called with the cursor just past a backslash; consumes one control word or
// control symbol, may set the parameter, and returns its code (0 if unknown).
RtfKeywordCode ScanControlToken(RtfReader* reader);
void PushGroup(RtfReader* reader);
void PopGroup(RtfReader* reader);

// --- The plain-text destination ---

struct TextSink {
    unsigned char* writePosition;
    std::size_t slotsLeft;      // size_t: output blocks may exceed 2 GiB
};

// Character handler: writes into the TextSink of the state's character
// context, cutting the text at capacity - 1 bytes and a terminator.
void WriteSinkChar(int byte, RtfGroupState* state);
// Control handler: \par, \tab, \rdblquote and \' emit their byte; \fonttbl
// and \colortbl silence the current group and the groups inside it.
void PlainTextControl(int code, std::int32_t parameter, RtfGroupState* state);
