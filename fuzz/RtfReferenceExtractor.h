// A literal, slow model of the extractor's rules with our fixes (parameter
// starts at 0, wraps modulo 2^32, names consumed whole, size_t slots), and
// the reading as RTF's readers take it (escaped braces and backslash, line
// breaks that end control words, the backslash paragraph mark, nested
// tables, font code pages, link targets): one allocation per group, one
// event per byte, one unit written at a time. The fuzzer and the tests
// compare the real extractor's whole output buffer against it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "search/RtfTextExtractor.h"

namespace rtfref {

// Where a group's text goes.
enum Mode { Shown, Silenced, Instruction };

struct State {
    Mode mode;
    std::int32_t fallbackCount;  // \ucN
    State* enclosing;
    bool hasFont;                // \fN in the group, else the default font
    std::int32_t font;
    bool fontTable;
};

struct Font {
    std::int32_t number;
    const RtfCodePage* page;  // nullptr: none of its own
    bool byCpg;               // named by \cpgN
};

struct Reader {
    const unsigned char* cursor;
    const unsigned char* end;  // the first of the zero bytes after the input
    std::uint32_t parameter;
    State* current;
    std::size_t depth;
    std::size_t maxDepth;
    bool outOfMemory;
    // The destination.
    std::uint16_t* write;
    std::size_t slots;
    RtfCodePages* pages;
    const RtfCodePage* page;      // in force
    const RtfCodePage* document;  // \ansicpgN
    int lead;
    std::int32_t fallbackLeft;
    bool groupStart;
    bool ignorablePending;
    // Fonts: the first 1,024 the font table defines.
    std::vector<Font> fonts;
    int defining;
    bool hasDefault;
    std::int32_t defaultFont;
    // Links: the instruction read, the targets kept.
    std::vector<std::uint16_t> instruction;
    std::vector<std::uint16_t> targets;
    bool targetsFull;
};

inline void Put(Reader* r, std::uint16_t unit)
{
    if (r->slots == 0)
        return;
    r->slots -= 1;
    if (r->slots == 0) {
        *r->write = 0;
    } else {
        *r->write = unit;
        r->write += 1;
    }
}

// The unit of one byte of text in the code page in force, or 0: a fallback
// skipped, a lead byte kept waiting, a pair, a byte alone.
inline std::uint16_t Decode(Reader* r, unsigned char byte)
{
    if (r->fallbackLeft > 0) {
        r->fallbackLeft -= 1;
        return 0;
    }
    if (r->lead != 0) {
        const std::uint16_t unit = r->page->pairs[r->lead * 256 + byte];
        r->lead = 0;
        return unit;
    }
    const std::uint16_t unit = r->page->units[byte];
    if (unit == 0 && r->page->pairs != nullptr)
        r->lead = byte;
    return unit;
}

inline void Instruct(Reader* r, std::uint16_t unit)
{
    if (r->instruction.size() < 2048)
        r->instruction.push_back(unit);
}

// A byte of text where the current group's text goes.
inline void Byte(Reader* r, unsigned char byte)
{
    const Mode mode = r->current->mode;
    if (mode == Silenced)
        return;
    const std::uint16_t unit = Decode(r, byte);
    if (unit == 0)
        return;
    if (mode == Shown)
        Put(r, unit);
    else
        Instruct(r, unit);
}

inline void Char(Reader* r, unsigned char byte)
{
    if (r->current->mode == Silenced)
        return;
    r->groupStart = false;
    Byte(r, byte);
}

// A unit that a keyword writes where the current group's text goes.
inline void Visible(Reader* r, std::uint16_t unit)
{
    if (r->current->mode == Shown)
        Put(r, unit);
    else if (r->current->mode == Instruction)
        Instruct(r, unit);
}

// Codes of the table's rows by name; 0 for any other name.
inline int Lookup(const char* token)
{
    static const struct {
        const char* name;
        int code;
    } table[] = {
        {"'", 491}, {"*", 663}, {"-", 664}, {"_", 665}, {"~", 666}, {"{", 662}, {"}", 661}, {"\\", 660},
        {"\n", 667}, {"\r", 668},
        {"ansi", 2}, {"ansicpg", 3}, {"b", 411}, {"bin", 494}, {"blue", 36}, {"bullet", 487}, {"cell", 242},
        {"colorschememapping", 24}, {"colortbl", 33}, {"cpg", 424}, {"datastore", 26}, {"deff", 425},
        {"emdash", 482}, {"endash", 483}, {"f", 420}, {"fcharset", 423}, {"fi", 252}, {"fldinst", 21},
        {"fldrslt", 28}, {"fnil", 8}, {"fonttbl", 7}, {"footnote", 27}, {"fs", 421},
        {"fswiss", 10}, {"green", 35}, {"i", 422}, {"info", 12}, {"latentstyles", 25}, {"ldblquote", 486},
        {"li", 253}, {"line", 239}, {"listoverridetable", 14}, {"listtable", 13}, {"lquote", 484},
        {"nestcell", 243}, {"nestrow", 244}, {"nesttableprops", 29},
        {"nonesttables", 20}, {"objdata", 18}, {"page", 474}, {"par", 237}, {"pard", 238}, {"pict", 17},
        {"plain", 410}, {"rdblquote", 490}, {"red", 34}, {"revtbl", 15}, {"ri", 254}, {"row", 240},
        {"rquote", 485}, {"rsidtbl", 16}, {"rtf", 1}, {"sect", 241}, {"sp", 19}, {"stylesheet", 11},
        {"super", 436}, {"tab", 481}, {"themedata", 23}, {"tx", 262}, {"u", 492}, {"uc", 493},
        {"xmlnstbl", 22},
    };
    for (const auto& row : table) {
        if (std::strcmp(row.name, token) == 0)
            return row.code;
    }
    return 0;
}

// The table of a code page, or nullptr.
inline const RtfCodePage* Table(Reader* r, std::uint32_t codePage)
{
    if (codePage == 1252)
        return &RtfCodePage1252;
    if (codePage == 0 || codePage >= 0x80000000u || r->pages == nullptr)
        return nullptr;
    return r->pages->Find(codePage);
}

inline Font* FindFont(Reader* r, std::int32_t number)
{
    for (Font& font : r->fonts) {
        if (font.number == number)
            return &font;
    }
    return nullptr;
}

// The code page in force: the current font's own (its \fN, else \deffN),
// else the document's; a lead byte waiting is dropped when it changes.
inline void UpdatePage(Reader* r)
{
    const RtfCodePage* page = nullptr;
    if (r->current->hasFont || r->hasDefault) {
        const Font* font = FindFont(r, r->current->hasFont ? r->current->font : r->defaultFont);
        if (font != nullptr)
            page = font->page;
    }
    if (page == nullptr)
        page = r->document;
    if (page != r->page) {
        r->page = page;
        r->lead = 0;
    }
}

inline unsigned CharsetPage(std::int32_t charset)
{
    switch (charset) {
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    default: return 0;
    }
}

// A finished field instruction: the first argument of HYPERLINK, kept after
// a line break while all the targets fit in 64 Ki units.
inline void KeepTarget(Reader* r)
{
    const std::vector<std::uint16_t>& text = r->instruction;
    std::size_t at = 0;
    while (at < text.size() && text[at] == ' ')
        ++at;
    const char* word = "HYPERLINK";
    for (std::size_t k = 0; k < 9; ++k, ++at) {
        if (at == text.size())
            return;
        std::uint16_t unit = text[at];
        if (unit >= 'a' && unit <= 'z')
            unit = static_cast<std::uint16_t>(unit - 32);
        if (unit != static_cast<unsigned char>(word[k]))
            return;
    }
    if (at == text.size() || text[at] != ' ')
        return;
    while (at < text.size() && text[at] == ' ')
        ++at;
    if (at == text.size() || text[at] == '\\')
        return;
    std::vector<std::uint16_t> target;
    if (text[at] == '"') {
        for (++at; at < text.size() && text[at] != '"'; ++at)
            target.push_back(text[at]);
    } else {
        for (; at < text.size() && text[at] != ' '; ++at)
            target.push_back(text[at]);
    }
    if (target.empty() || r->targetsFull)
        return;
    if (r->targets.size() + 1 + target.size() > 65536) {
        r->targetsFull = true;
        return;
    }
    r->targets.push_back('\n');
    r->targets.insert(r->targets.end(), target.begin(), target.end());
}

inline void Control(Reader* r, int code)
{
    State* state = r->current;
    const bool first = r->groupStart;
    const bool ignorable = r->ignorablePending;
    r->groupStart = false;
    r->ignorablePending = false;
    if (r->fallbackLeft > 0) {
        r->fallbackLeft -= 1;
        return;
    }
    const std::uint32_t parameter = r->parameter;
    const std::int32_t value = static_cast<std::int32_t>(parameter);
    switch (code) {
    case 663:  // \*
        if (first) {
            state->mode = Silenced;
            r->ignorablePending = true;
        }
        break;
    case 27:  // footnote
    case 28:  // fldrslt
    case 29:  // nesttableprops
        if (ignorable && state->enclosing != nullptr)
            state->mode = state->enclosing->mode;
        break;
    case 33: case 11: case 12: case 13: case 14: case 15: case 16: case 17: case 18: case 19:
    case 20: case 22: case 23: case 24: case 25: case 26:
        state->mode = Silenced;
        break;
    case 7:  // fonttbl
        state->mode = Silenced;
        state->fontTable = true;
        break;
    case 21: {  // fldinst: read where the field is visible
        const State* around = ignorable ? state->enclosing : state;
        if (state->enclosing != nullptr && around->mode == Shown) {
            state->mode = Instruction;
            r->instruction.clear();
        } else {
            state->mode = Silenced;
        }
        break;
    }
    case 237: case 239: case 240: case 241: case 474: case 244: case 667: case 668: Visible(r, '\n'); break;
    case 481: case 242: case 243: Visible(r, '\t'); break;
    case 666: Visible(r, ' '); break;
    case 665: case 483: case 482: Visible(r, '-'); break;
    case 484: case 485: Visible(r, '\''); break;
    case 486: case 490: Visible(r, '"'); break;
    case 662: Visible(r, '{'); break;
    case 661: Visible(r, '}'); break;
    case 660: Visible(r, '\\'); break;
    case 491:
        if ((parameter & 0xFF) != 0)
            Byte(r, static_cast<unsigned char>(parameter & 0xFF));
        break;
    case 492:
        if (state->mode != Silenced) {
            if ((parameter & 0xFFFF) != 0)
                Visible(r, static_cast<std::uint16_t>(parameter & 0xFFFF));
            r->fallbackLeft = state->fallbackCount;
        }
        break;
    case 493:
        state->fallbackCount = parameter >= 0x80000000u ? 0 : static_cast<std::int32_t>(parameter);
        break;
    case 3: {
        const RtfCodePage* page = parameter < 0x80000000u ? Table(r, parameter) : nullptr;
        r->document = page != nullptr ? page : &RtfCodePage1252;
        r->lead = 0;
        break;
    }
    case 420:  // f
        if (state->fontTable) {
            Font* font = FindFont(r, value);
            if (font == nullptr && r->fonts.size() < 1024) {
                r->fonts.push_back(Font{value, nullptr, false});
                font = &r->fonts.back();
            }
            r->defining = font != nullptr ? static_cast<int>(font - r->fonts.data()) : -1;
        } else {
            state->hasFont = true;
            state->font = value;
        }
        break;
    case 423:  // fcharset
        if (state->fontTable && r->defining >= 0 && !r->fonts[r->defining].byCpg) {
            const unsigned page = CharsetPage(value);
            r->fonts[r->defining].page = page != 0 ? Table(r, page) : nullptr;
        }
        break;
    case 424:  // cpg
        if (state->fontTable && r->defining >= 0) {
            r->fonts[r->defining].page = Table(r, parameter);
            r->fonts[r->defining].byCpg = true;
        }
        break;
    case 425:  // deff
        r->hasDefault = true;
        r->defaultFont = value;
        break;
    case 410:  // plain
        state->hasFont = false;
        break;
    default:
        break;
    }
    UpdatePage(r);
}

// Moves past a byte and every line break after it.
inline void Advance(Reader* r)
{
    r->cursor += 1;
    while (*r->cursor == 13 || *r->cursor == 10)
        r->cursor += 1;
}

inline void SkipLineBreaks(Reader* r)
{
    while (*r->cursor == 13 || *r->cursor == 10)
        r->cursor += 1;
}

inline bool Letter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline bool Digit(unsigned char c) { return c >= '0' && c <= '9'; }
inline int Hex(unsigned char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// One control token, the cursor just past its backslash; sets *hasNumber
// when a control word has a numeric parameter. Leaves the cursor on the byte
// after the token's delimiter. A line break is a symbol (the paragraph mark)
// right after the backslash, and ends a word anywhere else.
inline int Scan(Reader* r, bool* hasNumber)
{
    char token[1024];
    std::size_t length = 0;
    *hasNumber = false;
    bool symbol = std::strchr("'*-:\\_{|}~\r\n", *r->cursor) != nullptr && *r->cursor != 0;
    if (symbol) {
        token[length++] = static_cast<char>(*r->cursor);
        Advance(r);
    } else {
        while (Letter(*r->cursor)) {
            if (length < 1023)
                token[length] = static_cast<char>(*r->cursor);
            ++length;
            r->cursor += 1;
        }
    }
    int code = 0;
    if (length > 0 && length <= 1023) {
        token[length] = 0;
        code = Lookup(token);
    }
    if (code == 411 || code == 422)
        r->parameter = 1;
    if (code == 491) {
        int high = Hex(*r->cursor);
        Advance(r);
        int low = Hex(*r->cursor);
        Advance(r);
        if (high >= 0)
            r->parameter = static_cast<std::uint32_t>(low >= 0 ? high * 16 + low : high);
    }
    if (!symbol) {
        if (Digit(*r->cursor) || *r->cursor == '-') {
            *hasNumber = true;
            // The run as it lies in memory; then read as sign and digits,
            // stopping at the first other byte.
            const unsigned char* start = r->cursor;
            while (Digit(*r->cursor) || *r->cursor == '-')
                r->cursor += 1;
            const unsigned char* p = start;
            bool negative = false;
            if (*p == '-') {
                negative = true;
                ++p;
            }
            std::uint32_t value = 0;
            while (p < r->cursor && Digit(*p)) {
                value = value * 10u + static_cast<std::uint32_t>(*p - '0');
                ++p;
            }
            r->parameter = negative ? 0u - value : value;
        }
        unsigned char c = *r->cursor;
        if ((c >= 9 && c <= 13) || c == ' ')
            r->cursor += 1;
    }
    return code;
}

inline void Push(Reader* r)
{
    State* state = new (std::nothrow) State(*r->current);
    if (state == nullptr) {
        r->outOfMemory = true;
        return;
    }
    state->enclosing = r->current;
    r->current = state;
    r->depth += 1;
    if (r->depth > r->maxDepth)
        r->maxDepth = r->depth;
    r->groupStart = true;
    r->ignorablePending = false;
    r->fallbackLeft = 0;
}

inline void Pop(Reader* r)
{
    if (r->current->enclosing == nullptr)
        return;
    State* closing = r->current;
    r->current = closing->enclosing;
    r->depth -= 1;
    if (closing->mode == Instruction && r->current->mode != Instruction)
        KeepTarget(r);
    delete closing;
    r->groupStart = false;
    r->ignorablePending = false;
    r->fallbackLeft = 0;
    UpdatePage(r);
}

// input: size bytes and three zero bytes. Returns false if a state could not
// be had; *maxDepth is the deepest nesting reached (the real extractor
// matches the model whenever it stays within RtfMaxGroupDepth).
inline bool Extract(const unsigned char* input, std::size_t size, std::uint16_t* output, std::size_t capacity,
                    RtfCodePages* pages, std::size_t* maxDepth)
{
    State outermost = {Shown, 1, nullptr, false, 0, false};
    Reader r = {};
    r.cursor = input;
    r.end = input + size;
    r.current = &outermost;
    r.write = output;
    r.slots = capacity;
    r.pages = pages;
    r.page = &RtfCodePage1252;
    r.document = &RtfCodePage1252;
    r.defining = -1;
    while (*r.cursor != 0 && !r.outOfMemory) {
        unsigned char c = *r.cursor;
        if (c == '\\') {
            r.cursor += 1;
            bool hasNumber = false;
            const int code = Scan(&r, &hasNumber);
            Control(&r, code);
            if (code == 494 && hasNumber && r.parameter > 0 && r.parameter < 0x80000000u) {
                // Raw bytes, whatever they hold; past the input's end they end it.
                const std::size_t left = r.cursor < r.end ? static_cast<std::size_t>(r.end - r.cursor) : 0;
                r.cursor += r.parameter < left ? r.parameter : left;
                if (r.parameter >= left)
                    break;
            }
            SkipLineBreaks(&r);
        } else if (c == '{') {
            Advance(&r);
            Push(&r);
        } else if (c == '}') {
            Advance(&r);
            Pop(&r);
        } else {
            Advance(&r);
            Char(&r, c);
        }
    }
    while (r.current->enclosing != nullptr)
        Pop(&r);
    // The link targets after the text, then the terminator.
    for (std::uint16_t unit : r.targets)
        Put(&r, unit);
    Put(&r, 0);
    if (maxDepth != nullptr)
        *maxDepth = r.maxDepth;
    return !r.outOfMemory;
}

}  // namespace rtfref
