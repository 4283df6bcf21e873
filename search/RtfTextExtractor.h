// The RTF text extractor: an event-driven RTF reader whose plain-text
// destination turns any bytes into the UTF-16 text a reader would see.
// The reader is a resumable state machine: its input may arrive in pieces of
// any size, and it stops between any two bytes. Pure: no window, no file, no
// global state.
#pragma once

#include <cstddef>
#include <cstdint>

#include "search/TextScan.h"

// Code pages: how the bytes of a document's text become UTF-16 units.

// One code page's table. units[b] is the unit of byte b alone; 0 means that
// the byte writes nothing alone: in a double-byte code page (pairs set) it is
// a lead byte that forms one character with the byte after it.
struct RtfCodePage {
    std::uint16_t units[256];
    const std::uint16_t* pairs;  // double-byte code pages: 65,536 units, lead * 256 + trail; else nullptr
};

// Code page 1252, the default of every document.
extern const RtfCodePage RtfCodePage1252;

// The tables of the other code pages a document may name, supplied by the
// platform (the engine holds no table but 1252).
class RtfCodePages {
public:
    // The table of the code page, or nullptr when there is none. A table lives
    // as long as the object that returned it.
    virtual const RtfCodePage* Find(unsigned codePage) = 0;

protected:
    ~RtfCodePages() {}
};

// input: size bytes followed by at least three zero bytes; the first zero
// byte that no escape or binary data takes ends the text. output: zero-filled,
// capacity units (at least 1); receives at most capacity - 1 units of text
// and a terminator. The output never has more units than the input has bytes.
// codePages: the tables of code pages other than 1252, or nullptr.
void ExtractRtfText(const unsigned char* input, size_t size, std::uint16_t* output, size_t capacity,
                    RtfCodePages* codePages = nullptr);

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
    // The plain-text destination's fallback count (\ucN): how many characters
    // after a letter written by its number (\uN) stand in for it. 1 outside
    // any group.
    std::int32_t fallbackCount;
};

enum RtfKeywordCode {
    RtfUnknown = 0,  // a name not in the table, or an empty name
    RtfRtf = 1, RtfAnsi = 2, RtfAnsicpg = 3, RtfFonttbl = 7, RtfFnil = 8, RtfFswiss = 10,
    // Destinations whose text no reader sees, and the footnote, which one does.
    RtfStylesheet = 11, RtfInfo = 12, RtfListtable = 13, RtfListoverridetable = 14, RtfRevtbl = 15,
    RtfRsidtbl = 16, RtfPict = 17, RtfObjdata = 18, RtfSp = 19, RtfNonesttables = 20, RtfFldinst = 21,
    RtfXmlnstbl = 22, RtfThemedata = 23, RtfColorschememapping = 24, RtfLatentstyles = 25,
    RtfDatastore = 26, RtfFootnote = 27, RtfFldrslt = 28,
    RtfColortbl = 33, RtfRed = 34, RtfGreen = 35, RtfBlue = 36,
    RtfPar = 237, RtfPard = 238, RtfLine = 239, RtfRow = 240, RtfSect = 241, RtfCell = 242,
    RtfFi = 252, RtfLi = 253, RtfRi = 254, RtfTx = 262,
    RtfPlain = 410, RtfB = 411, RtfF = 420, RtfFs = 421, RtfI = 422, RtfSuper = 436,
    RtfPage = 474, RtfTab = 481, RtfEmdash = 482, RtfEndash = 483, RtfLquote = 484, RtfRquote = 485,
    RtfLdblquote = 486, RtfBullet = 487, RtfRdblquote = 490, RtfHexEscape = 491,
    RtfU = 492, RtfUc = 493, RtfBin = 494,
    RtfCloseBrace = 661, RtfOpenBrace = 662,
    RtfIgnorable = 663, RtfOptionalHyphen = 664, RtfNonBreakingHyphen = 665, RtfNonBreakingSpace = 666,
};

struct RtfKeyword {
    const char* name;
    int code;
};

// Rows in ascending order of the names compared as unsigned bytes.
const std::size_t RtfKeywordCount = 63;
extern const RtfKeyword RtfKeywordTable[RtfKeywordCount];

// Looks RtfKeywordTable up for the zero-terminated name; exact and
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
    RtfReadBinary,      // inside the raw bytes of \binN, which are skipped whatever they hold
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
    std::uint64_t name;         // its letters packed, while they fit a table row: the first nine
    std::uint64_t nameRest;     // and the nine after them
    std::size_t nameLength;
    int code;
    std::uint32_t number;       // the numeric parameter, modulo 2^32
    bool hasNumber;             // the control word has a numeric parameter of its own
    bool negative;
    bool numberEnded;           // a byte after the sign that is not a digit, or a line break, was seen
    bool numberStarted;         // the run's first byte has been read
    int hexHigh;
    std::uint32_t binaryLeft;   // raw bytes of \binN still to skip

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

// --- The plain-text destination ---

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
// Control handler: paragraph, line, cell and tab marks, the punctuation
// keywords, escapes, letters by number, code pages; silences the
// destinations no reader sees.
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
        unsigned char otherCodes[256];     // and those of the last other code page a document named
        std::uint16_t otherUnits[256];     // that code page's units, to know it again
        bool hasOther;
        FoldVariants firstVariants;  // the byte values that fold to the pattern's first byte
        FoldVariants lastVariants;   // and to its last
        // What the byte tables were made for, kept from one file to the next.
        bool prepared;
        const std::uint16_t* preparedFold;
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
