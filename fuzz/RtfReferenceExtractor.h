// A literal, slow model of the extractor's rules with our fixes (parameter
// starts at 0, wraps modulo 2^32, names consumed whole, size_t slots): one
// allocation per group, one event per byte, one unit written at a time. The
// fuzzer and the tests compare the real extractor's whole output buffer
// against it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "search/RtfTextExtractor.h"

namespace rtfref {

struct State {
    bool silenced;
    std::int32_t fallbackCount;  // \ucN
    State* enclosing;
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
    const RtfCodePage* page;
    int lead;
    std::int32_t fallbackLeft;
    bool groupStart;
    bool ignorablePending;
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

inline void Byte(Reader* r, unsigned char byte)
{
    if (r->fallbackLeft > 0) {
        r->fallbackLeft -= 1;
        return;
    }
    if (r->lead != 0) {
        const std::uint16_t unit = r->page->pairs[r->lead * 256 + byte];
        r->lead = 0;
        if (unit != 0)
            Put(r, unit);
        return;
    }
    const std::uint16_t unit = r->page->units[byte];
    if (unit != 0)
        Put(r, unit);
    else if (r->page->pairs != nullptr)
        r->lead = byte;
}

inline void Char(Reader* r, unsigned char byte)
{
    if (r->current->silenced)
        return;
    r->groupStart = false;
    Byte(r, byte);
}

inline void Visible(Reader* r, std::uint16_t unit)
{
    if (!r->current->silenced)
        Put(r, unit);
}

// Codes of the table's rows by name; 0 for any other name.
inline int Lookup(const char* token)
{
    static const struct {
        const char* name;
        int code;
    } table[] = {
        {"'", 491}, {"*", 663}, {"-", 664}, {"_", 665}, {"~", 666}, {"{", 662}, {"}", 661},
        {"ansi", 2}, {"ansicpg", 3}, {"b", 411}, {"bin", 494}, {"blue", 36}, {"bullet", 487}, {"cell", 242},
        {"colorschememapping", 24}, {"colortbl", 33}, {"datastore", 26}, {"emdash", 482}, {"endash", 483},
        {"f", 420}, {"fi", 252}, {"fldinst", 21}, {"fldrslt", 28}, {"fnil", 8}, {"fonttbl", 7}, {"footnote", 27}, {"fs", 421},
        {"fswiss", 10}, {"green", 35}, {"i", 422}, {"info", 12}, {"latentstyles", 25}, {"ldblquote", 486},
        {"li", 253}, {"line", 239}, {"listoverridetable", 14}, {"listtable", 13}, {"lquote", 484},
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
    switch (code) {
    case 663:  // \*
        if (first) {
            state->silenced = true;
            r->ignorablePending = true;
        }
        break;
    case 27:  // footnote
    case 28:  // fldrslt
        if (ignorable && state->enclosing != nullptr)
            state->silenced = state->enclosing->silenced;
        break;
    case 7: case 33: case 11: case 12: case 13: case 14: case 15: case 16: case 17: case 18: case 19:
    case 20: case 21: case 22: case 23: case 24: case 25: case 26:
        state->silenced = true;
        break;
    case 237: case 239: case 240: case 241: case 474: Visible(r, '\n'); break;
    case 481: case 242: Visible(r, '\t'); break;
    case 666: Visible(r, ' '); break;
    case 665: case 483: case 482: Visible(r, '-'); break;
    case 484: case 485: Visible(r, '\''); break;
    case 486: case 490: Visible(r, '"'); break;
    case 491:
        if ((parameter & 0xFF) != 0 && !state->silenced)
            Byte(r, static_cast<unsigned char>(parameter & 0xFF));
        break;
    case 492:
        if (!state->silenced) {
            if ((parameter & 0xFFFF) != 0)
                Put(r, static_cast<std::uint16_t>(parameter & 0xFFFF));
            r->fallbackLeft = state->fallbackCount;
        }
        break;
    case 493:
        state->fallbackCount = parameter >= 0x80000000u ? 0 : static_cast<std::int32_t>(parameter);
        break;
    case 3: {
        const RtfCodePage* page = nullptr;
        if (parameter != 1252 && parameter > 0 && parameter < 0x80000000u && r->pages != nullptr)
            page = r->pages->Find(parameter);
        r->page = page != nullptr ? page : &RtfCodePage1252;
        r->lead = 0;
        break;
    }
    default:
        break;
    }
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
// after the token's delimiter.
inline int Scan(Reader* r, bool* hasNumber)
{
    char token[1024];
    std::size_t length = 0;
    *hasNumber = false;
    bool symbol = std::strchr("'*-:\\_{|}~", *r->cursor) != nullptr && *r->cursor != 0;
    if (symbol) {
        token[length++] = static_cast<char>(*r->cursor);
        Advance(r);
    } else {
        // The letters; a line break ends them.
        while (Letter(*r->cursor)) {
            if (length < 1023)
                token[length] = static_cast<char>(*r->cursor);
            ++length;
            r->cursor += 1;
        }
        SkipLineBreaks(r);
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
            // The run as it lies in memory, skipped line breaks included;
            // then read as sign and digits, stopping at the first other byte.
            const unsigned char* start = r->cursor;
            while (Digit(*r->cursor) || *r->cursor == '-')
                Advance(r);
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
    delete closing;
    r->groupStart = false;
    r->ignorablePending = false;
    r->fallbackLeft = 0;
}

// input: size bytes and three zero bytes. Returns false if a state could not
// be had; *maxDepth is the deepest nesting reached (the real extractor
// matches the model whenever it stays within RtfMaxGroupDepth).
inline bool Extract(const unsigned char* input, std::size_t size, std::uint16_t* output, std::size_t capacity,
                    RtfCodePages* pages, std::size_t* maxDepth)
{
    State outermost = {false, 1, nullptr};
    Reader r = {};
    r.cursor = input;
    r.end = input + size;
    r.current = &outermost;
    r.write = output;
    r.slots = capacity;
    r.pages = pages;
    r.page = &RtfCodePage1252;
    while (*r.cursor != 0 && !r.outOfMemory) {
        unsigned char c = *r.cursor;
        if (c == '\\') {
            Advance(&r);
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
    if (!r.current->silenced)
        Put(&r, 0);
    if (maxDepth != nullptr)
        *maxDepth = r.maxDepth;
    return !r.outOfMemory;
}

}  // namespace rtfref
