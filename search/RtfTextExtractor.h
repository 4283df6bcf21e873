// The RTF text extractor: an event-driven RTF reader whose plain-text
// destination turns any 8-bit bytes into the text a reader would see.
// The reader is a resumable state machine: its input may arrive in pieces of
// any size, and it stops between any two bytes. Pure: no window, no file, no
// global state.
#pragma once

#include <cstddef>
#include <cstdint>

struct CaseFolding;

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

// Where the reader stands between two input bytes.
enum RtfReadState {
    RtfReadText,        // ordinary bytes, braces, or a backslash starting a token
    RtfReadTokenStart,  // after a backslash: a control symbol, a name or neither
    RtfReadName,        // inside the letters of a control word's name
    RtfReadAfterName,   // the name is complete: a numeric parameter or a delimiter may follow
    RtfReadNumber,      // inside a control word's run of digits and '-'
    RtfReadHexHigh,     // after \' : the first of the escape's two bytes
    RtfReadHexLow,      // the second of them
    RtfReadEnded,       // the input has ended: groups closed, terminator sent
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
    bool started;               // a byte has been read (only the first may be a line break)
    // The control token being read.
    std::uint64_t name;         // its letters packed, while they fit a table row
    std::size_t nameLength;
    int code;
    std::uint32_t number;       // the numeric parameter, modulo 2^32
    bool negative;
    bool numberEnded;           // a byte after the sign that is not a digit, or a line break, was seen
    bool numberStarted;         // the run's first byte has been read
    int hexHigh;

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

// Reads the whole zero-terminated input at cursor (which ends in at least
// three zero bytes): closes the groups left open and sends the terminator.
void RunRtfReader(RtfReader* reader);
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

// --- Counting the plain text while it is produced ---

// Counts the non-overlapping occurrences of a byte pattern in a file's plain
// text, fed piece by piece: only a small window of the text is ever held.
// The text ends at its first zero byte (the input's end, or a zero escape).
class RtfTextCounter {
public:
    RtfTextCounter();
    ~RtfTextCounter();
    RtfTextCounter(const RtfTextCounter&) = delete;
    RtfTextCounter& operator=(const RtfTextCounter&) = delete;

    // pattern: patternLength bytes, no zero; it must outlive the count (an
    // empty one counts nothing). folding: the code page's case folding that
    // the text goes through before it is compared, nullptr to compare exactly.
    void Begin(const unsigned char* pattern, size_t patternLength, const CaseFolding* folding = nullptr);
    // Reads a piece of the file; does nothing once ended.
    void Feed(const unsigned char* bytes, size_t count);
    // The file has no more bytes.
    void End();
    // Whether nothing more can be counted: the input or the plain text has ended.
    bool Ended() const { return ended; }
    unsigned long long Count() const { return count; }

    struct Window {
        const unsigned char* pattern;
        size_t patternLength;
        size_t length;      // bytes of text in bytes
        size_t from;        // where the next occurrence may start (no overlap)
        unsigned long long count;
        bool ended;         // a zero byte ended the text: nothing after it counts
        const CaseFolding* folding;  // nullptr, or the folding the text goes through before it is compared
        size_t folded;      // bytes at the start already folded
        unsigned char bytes[64 * 1024];
    };

private:
    void Close();

    RtfReader reader;
    RtfGroupState outermost;
    Window window;
    unsigned long long count;
    bool ended;
};
