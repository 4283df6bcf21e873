// The RTF keywords the reader knows, one row each: how the reader reads the
// token, and what the plain-text destination does with it. The general
// reader and the plain-text loop both take what they need from these rows
// through one hash; a new keyword is one row.
#pragma once

#include <cstddef>
#include <cstdint>

enum RtfKeywordCode {
    RtfUnknown = 0,  // a name not in the table, or an empty name
    RtfRtf = 1, RtfAnsi = 2, RtfAnsicpg = 3, RtfFonttbl = 7, RtfFnil = 8, RtfFswiss = 10,
    // Destinations whose text no reader sees, and the footnote, which one does.
    RtfStylesheet = 11, RtfInfo = 12, RtfListtable = 13, RtfListoverridetable = 14, RtfRevtbl = 15,
    RtfRsidtbl = 16, RtfPict = 17, RtfObjdata = 18, RtfSp = 19, RtfNonesttables = 20, RtfFldinst = 21,
    RtfXmlnstbl = 22, RtfThemedata = 23, RtfColorschememapping = 24, RtfLatentstyles = 25,
    RtfDatastore = 26, RtfFootnote = 27, RtfFldrslt = 28, RtfNesttableprops = 29,
    RtfColortbl = 33, RtfRed = 34, RtfGreen = 35, RtfBlue = 36,
    RtfPar = 237, RtfPard = 238, RtfLine = 239, RtfRow = 240, RtfSect = 241, RtfCell = 242, RtfNestcell = 243,
    RtfNestrow = 244,
    RtfFi = 252, RtfLi = 253, RtfRi = 254, RtfTx = 262,
    RtfPlain = 410, RtfB = 411, RtfF = 420, RtfFs = 421, RtfI = 422, RtfFcharset = 423, RtfCpg = 424, RtfDeff = 425,
    RtfSuper = 436,
    RtfPage = 474, RtfTab = 481, RtfEmdash = 482, RtfEndash = 483, RtfLquote = 484, RtfRquote = 485,
    RtfLdblquote = 486, RtfBullet = 487, RtfRdblquote = 490, RtfHexEscape = 491,
    RtfU = 492, RtfUc = 493, RtfBin = 494,
    RtfBackslash = 660, RtfCloseBrace = 661, RtfOpenBrace = 662,
    RtfIgnorable = 663, RtfOptionalHyphen = 664, RtfNonBreakingHyphen = 665, RtfNonBreakingSpace = 666,
    // A backslash right before a line break: a paragraph mark.
    RtfLineFeedMark = 667, RtfReturnMark = 668,
};

// How the reader reads a keyword's token, besides its name, its number and
// its delimiter.
enum RtfTokenKind : unsigned char {
    RtfPlainToken,
    RtfToggleWord,    // without a number of its own its parameter is 1
    RtfBinaryWord,    // with a number N > 0, N raw bytes follow: skipped whatever they hold
    RtfEscapeSymbol,  // the next two bytes are a hexadecimal number, its parameter
};

// What the plain-text destination does with a keyword. Every keyword also
// ends a group's start and a pending \*, and may be one of the characters
// that stand in for a letter written by its number (then it does nothing
// else).
enum RtfEffect : unsigned char {
    RtfNoEffect,
    RtfWrites,            // writes the row's unit where the text is visible
    RtfSilences,          // a destination no reader sees: its group writes no text
    RtfMarksIgnorable,    // \* at a group's start: the group is silenced unless its next word is shown
    RtfShownAfterMark,    // a destination a reader shows even after \* (footnote, field result, nested table)
    RtfEscapedByte,       // writes the low 8 bits of the parameter as a byte of text, unless 0
    RtfLetterByNumber,    // writes the parameter's low 16 bits (unless 0); its fallbacks follow
    RtfFallbackCount,     // sets how many characters stand in for a letter by number (\ucN)
    RtfDocumentCodePage,  // names the document's code page
    // Fonts: text and escapes are read in the code page of the font in
    // force where the font table gives that font one of its own.
    RtfFontTable,         // silences its group, whose \fN define fonts
    RtfFontNumber,        // \fN: in the font table the font defined next, elsewhere the group's font
    RtfFontCharset,       // the character set of the font being defined
    RtfFontCodePage,      // the code page of the font being defined (before its character set)
    RtfDefaultFont,       // \deffN: the font of groups that name none
    RtfDefaultFormatting, // \plain: the group's font becomes the default font
    RtfFieldInstruction,  // silences its group; where the field is visible, a link's target is kept
};

struct RtfKeyword {
    const char* name;
    int code;
    RtfTokenKind kind;
    RtfEffect effect;
    std::uint16_t unit;  // what RtfWrites writes
};

// Rows in ascending order of the names compared as unsigned bytes.
inline constexpr RtfKeyword RtfKeywordTable[] = {
    // name          code                   kind             effect               unit
    {"\n",           RtfLineFeedMark,       RtfPlainToken,   RtfWrites,           '\n'},
    {"\r",           RtfReturnMark,         RtfPlainToken,   RtfWrites,           '\n'},
    {"'",            RtfHexEscape,          RtfEscapeSymbol, RtfEscapedByte,      0},
    {"*",            RtfIgnorable,          RtfPlainToken,   RtfMarksIgnorable,   0},
    {"-",            RtfOptionalHyphen,     RtfPlainToken,   RtfNoEffect,         0},
    {"\\",           RtfBackslash,          RtfPlainToken,   RtfWrites,           '\\'},
    {"_",            RtfNonBreakingHyphen,  RtfPlainToken,   RtfWrites,           '-'},
    {"ansi",         RtfAnsi,               RtfPlainToken,   RtfNoEffect,         0},
    {"ansicpg",      RtfAnsicpg,            RtfPlainToken,   RtfDocumentCodePage, 0},
    {"b",            RtfB,                  RtfToggleWord,   RtfNoEffect,         0},
    {"bin",          RtfBin,                RtfBinaryWord,   RtfNoEffect,         0},
    {"blue",         RtfBlue,               RtfPlainToken,   RtfNoEffect,         0},
    {"bullet",       RtfBullet,             RtfPlainToken,   RtfNoEffect,         0},
    {"cell",         RtfCell,               RtfPlainToken,   RtfWrites,           '\t'},
    {"colorschememapping", RtfColorschememapping, RtfPlainToken, RtfSilences,     0},
    {"colortbl",     RtfColortbl,           RtfPlainToken,   RtfSilences,         0},
    {"cpg",          RtfCpg,                RtfPlainToken,   RtfFontCodePage,     0},
    {"datastore",    RtfDatastore,          RtfPlainToken,   RtfSilences,         0},
    {"deff",         RtfDeff,               RtfPlainToken,   RtfDefaultFont,      0},
    {"emdash",       RtfEmdash,             RtfPlainToken,   RtfWrites,           '-'},
    {"endash",       RtfEndash,             RtfPlainToken,   RtfWrites,           '-'},
    {"f",            RtfF,                  RtfPlainToken,   RtfFontNumber,       0},
    {"fcharset",     RtfFcharset,           RtfPlainToken,   RtfFontCharset,      0},
    {"fi",           RtfFi,                 RtfPlainToken,   RtfNoEffect,         0},
    {"fldinst",      RtfFldinst,            RtfPlainToken,   RtfFieldInstruction, 0},
    {"fldrslt",      RtfFldrslt,            RtfPlainToken,   RtfShownAfterMark,   0},
    {"fnil",         RtfFnil,               RtfPlainToken,   RtfNoEffect,         0},
    {"fonttbl",      RtfFonttbl,            RtfPlainToken,   RtfFontTable,        0},
    {"footnote",     RtfFootnote,           RtfPlainToken,   RtfShownAfterMark,   0},
    {"fs",           RtfFs,                 RtfPlainToken,   RtfNoEffect,         0},
    {"fswiss",       RtfFswiss,             RtfPlainToken,   RtfNoEffect,         0},
    {"green",        RtfGreen,              RtfPlainToken,   RtfNoEffect,         0},
    {"i",            RtfI,                  RtfToggleWord,   RtfNoEffect,         0},
    {"info",         RtfInfo,               RtfPlainToken,   RtfSilences,         0},
    {"latentstyles", RtfLatentstyles,       RtfPlainToken,   RtfSilences,         0},
    {"ldblquote",    RtfLdblquote,          RtfPlainToken,   RtfWrites,           '"'},
    {"li",           RtfLi,                 RtfPlainToken,   RtfNoEffect,         0},
    {"line",         RtfLine,               RtfPlainToken,   RtfWrites,           '\n'},
    {"listoverridetable", RtfListoverridetable, RtfPlainToken, RtfSilences,       0},
    {"listtable",    RtfListtable,          RtfPlainToken,   RtfSilences,         0},
    {"lquote",       RtfLquote,             RtfPlainToken,   RtfWrites,           '\''},
    {"nestcell",     RtfNestcell,           RtfPlainToken,   RtfWrites,           '\t'},
    {"nestrow",      RtfNestrow,            RtfPlainToken,   RtfWrites,           '\n'},
    {"nesttableprops", RtfNesttableprops,   RtfPlainToken,   RtfShownAfterMark,   0},
    {"nonesttables", RtfNonesttables,       RtfPlainToken,   RtfSilences,         0},
    {"objdata",      RtfObjdata,            RtfPlainToken,   RtfSilences,         0},
    {"page",         RtfPage,               RtfPlainToken,   RtfWrites,           '\n'},
    {"par",          RtfPar,                RtfPlainToken,   RtfWrites,           '\n'},
    {"pard",         RtfPard,               RtfPlainToken,   RtfNoEffect,         0},
    {"pict",         RtfPict,               RtfPlainToken,   RtfSilences,         0},
    {"plain",        RtfPlain,              RtfPlainToken,   RtfDefaultFormatting, 0},
    {"rdblquote",    RtfRdblquote,          RtfPlainToken,   RtfWrites,           '"'},
    {"red",          RtfRed,                RtfPlainToken,   RtfNoEffect,         0},
    {"revtbl",       RtfRevtbl,             RtfPlainToken,   RtfSilences,         0},
    {"ri",           RtfRi,                 RtfPlainToken,   RtfNoEffect,         0},
    {"row",          RtfRow,                RtfPlainToken,   RtfWrites,           '\n'},
    {"rquote",       RtfRquote,             RtfPlainToken,   RtfWrites,           '\''},
    {"rsidtbl",      RtfRsidtbl,            RtfPlainToken,   RtfSilences,         0},
    {"rtf",          RtfRtf,                RtfPlainToken,   RtfNoEffect,         0},
    {"sect",         RtfSect,               RtfPlainToken,   RtfWrites,           '\n'},
    {"sp",           RtfSp,                 RtfPlainToken,   RtfSilences,         0},
    {"stylesheet",   RtfStylesheet,         RtfPlainToken,   RtfSilences,         0},
    {"super",        RtfSuper,              RtfPlainToken,   RtfNoEffect,         0},
    {"tab",          RtfTab,                RtfPlainToken,   RtfWrites,           '\t'},
    {"themedata",    RtfThemedata,          RtfPlainToken,   RtfSilences,         0},
    {"tx",           RtfTx,                 RtfPlainToken,   RtfNoEffect,         0},
    {"u",            RtfU,                  RtfPlainToken,   RtfLetterByNumber,   0},
    {"uc",           RtfUc,                 RtfPlainToken,   RtfFallbackCount,    0},
    {"xmlnstbl",     RtfXmlnstbl,           RtfPlainToken,   RtfSilences,         0},
    {"{",            RtfOpenBrace,          RtfPlainToken,   RtfWrites,           '{'},
    {"}",            RtfCloseBrace,         RtfPlainToken,   RtfWrites,           '}'},
    {"~",            RtfNonBreakingSpace,   RtfPlainToken,   RtfWrites,           ' '},
};

const std::size_t RtfKeywordCount = sizeof RtfKeywordTable / sizeof RtfKeywordTable[0];
static_assert(RtfKeywordCount < 255, "rows are indexed by bytes");

// What a name not in the table reads as.
inline constexpr RtfKeyword RtfUnknownKeyword = {"", RtfUnknown, RtfPlainToken, RtfNoEffect, 0};

// Looks RtfKeywordTable up for the zero-terminated name; exact and
// case-sensitive. Returns true and sets *code when found.
bool LookupRtfKeyword(const char* name, int* code);

// --- Lookups for the reading loops ---

constexpr std::size_t NameLength(const char* name)
{
    std::size_t length = 0;
    while (name[length] != 0)
        ++length;
    return length;
}

constexpr std::size_t LongestKeyword()
{
    std::size_t longest = 0;
    for (const RtfKeyword& row : RtfKeywordTable)
        longest = NameLength(row.name) > longest ? NameLength(row.name) : longest;
    return longest;
}

// A longer name is never looked up, only counted (any length is consumed
// whole).
const std::size_t RtfLongestKeyword = LongestKeyword();
static_assert(RtfLongestKeyword <= 24, "a name is held in three words");

// A name as it lies in the input, zero-padded: its first eight bytes, the
// next eight and the rest as numbers, byte k of each in bits 8k to 8k + 7
// (the machine's order: little-endian on every target).
struct RtfName {
    std::uint64_t first;
    std::uint64_t second;
    std::uint64_t rest;
};

// Adds the byte at index (below RtfLongestKeyword) of a name.
inline void AddToName(RtfName* name, std::size_t index, unsigned char byte)
{
    const std::uint64_t bits = static_cast<std::uint64_t>(byte) << (8 * (index % 8));
    if (index < 8)
        name->first |= bits;
    else if (index < 16)
        name->second |= bits;
    else
        name->rest |= bits;
}

// The rows by a perfect hash of the first sixteen bytes of their names: the
// first multiplier (tried in a fixed order when the program starts) under
// which no two rows share a slot.
struct RtfKeywordHash {
    static const unsigned SlotBits = 10;
    std::uint64_t multiplier;
    unsigned char slots[1u << SlotBits];  // row + 1, 0 for none
    RtfName names[RtfKeywordCount];

    static unsigned Slot(std::uint64_t first, std::uint64_t second, std::uint64_t multiplier)
    {
        return static_cast<unsigned>(((first ^ second * 0x9E3779B97F4A7C15ull) * multiplier) >> (64 - SlotBits));
    }

    RtfKeywordHash();
};

extern const RtfKeywordHash RtfKeywordNames;

// The row of a name, or RtfUnknownKeyword.
inline const RtfKeyword& FindRtfKeyword(std::uint64_t first, std::uint64_t second, std::uint64_t rest)
{
    const unsigned slot = RtfKeywordNames.slots[RtfKeywordHash::Slot(first, second, RtfKeywordNames.multiplier)];
    if (slot != 0) {
        const RtfName& name = RtfKeywordNames.names[slot - 1];
        if (name.first == first && name.second == second && name.rest == rest)
            return RtfKeywordTable[slot - 1];
    }
    return RtfUnknownKeyword;
}

// The row of a complete name of length bytes (added while they fitted).
inline const RtfKeyword& FindRtfKeyword(const RtfName& name, std::size_t length)
{
    if (length == 0 || length > RtfLongestKeyword)
        return RtfUnknownKeyword;
    return FindRtfKeyword(name.first, name.second, name.rest);
}

// The rows by the byte of a one-byte name, and by code.
struct RtfKeywordIndex {
    static const int CodeCount = 1024;
    unsigned char byByte[256];      // row + 1, 0 for none
    unsigned char byCode[CodeCount];  // row + 1, 0 for none

    constexpr RtfKeywordIndex() : byByte(), byCode()
    {
        for (std::size_t row = 0; row < RtfKeywordCount; ++row) {
            const RtfKeyword& keyword = RtfKeywordTable[row];
            if (NameLength(keyword.name) == 1)
                byByte[static_cast<unsigned char>(keyword.name[0])] = static_cast<unsigned char>(row + 1);
            byCode[keyword.code] = static_cast<unsigned char>(row + 1);
        }
    }
};

inline constexpr RtfKeywordIndex RtfKeywordRows = RtfKeywordIndex();

// The row of a control symbol (or of any one-byte name), or RtfUnknownKeyword.
inline const RtfKeyword& RtfSymbolKeyword(unsigned char byte)
{
    const unsigned row = RtfKeywordRows.byByte[byte];
    return row != 0 ? RtfKeywordTable[row - 1] : RtfUnknownKeyword;
}

// The row of a code, or RtfUnknownKeyword.
inline const RtfKeyword& RtfKeywordOfCode(int code)
{
    const unsigned row = code > 0 && code < RtfKeywordIndex::CodeCount ? RtfKeywordRows.byCode[code] : 0;
    return row != 0 ? RtfKeywordTable[row - 1] : RtfUnknownKeyword;
}
