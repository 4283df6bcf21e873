// A literal, slow model of the extractor's rules with our fixes (parameter
// starts at 0, wraps modulo 2^32, names consumed whole, size_t slots): one
// allocation per group, one event per byte. The fuzzer and the tests compare
// the real extractor's whole output buffer against it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

namespace rtfref {

struct State;
typedef void (*CharFn)(int, State*);
typedef void (*ControlFn)(int, std::uint32_t, State*);
typedef void (*GroupFn)(int, State*, State*);

struct State {
    CharFn charHandler;
    void* charContext;
    ControlFn controlHandler;
    void* controlContext;
    GroupFn groupHandler;
    void* groupContext;
    State* enclosing;
};

struct Sink {
    unsigned char* write;
    std::size_t slots;
};

inline void IgnoreChar(int, State*) {}
inline void IgnoreControl(int, std::uint32_t, State*) {}
inline void IgnoreGroup(int, State*, State*) {}

inline void SinkChar(int byte, State* state)
{
    Sink* sink = static_cast<Sink*>(state->charContext);
    if (sink->slots == 0)
        return;
    sink->slots -= 1;
    if (sink->slots == 0) {
        *sink->write = 0;
    } else {
        *sink->write = static_cast<unsigned char>(byte);
        sink->write += 1;
    }
}

inline void Control(int code, std::uint32_t parameter, State* state)
{
    switch (code) {
    case 7: case 33: state->charHandler = IgnoreChar; break;
    case 237: state->charHandler(10, state); break;
    case 481: state->charHandler(9, state); break;
    case 490: state->charHandler(34, state); break;
    case 491: state->charHandler(static_cast<int>(parameter & 0xFF), state); break;
    default: break;
    }
}

struct Keyword {
    const char* name;
    int code;
};

inline int Lookup(const char* token)
{
    static const Keyword table[28] = {
        {"'", 491}, {"ansi", 2}, {"b", 411}, {"blue", 36}, {"colortbl", 33}, {"endash", 483},
        {"f", 420}, {"fi", 252}, {"fnil", 8}, {"fonttbl", 7}, {"fs", 421}, {"fswiss", 10},
        {"green", 35}, {"i", 422}, {"li", 253}, {"page", 474}, {"par", 237}, {"pard", 238},
        {"plain", 410}, {"rdblquote", 490}, {"red", 34}, {"ri", 254}, {"rtf", 1}, {"super", 436},
        {"tab", 481}, {"tx", 262}, {"{", 662}, {"}", 661},
    };
    for (const Keyword& row : table) {
        if (std::strcmp(row.name, token) == 0)  // strcmp compares as unsigned char
            return row.code;
    }
    return 0;
}

struct Reader {
    const unsigned char* cursor;
    std::uint32_t parameter;
    State* current;
    std::size_t depth;
    std::size_t maxDepth;
    bool outOfMemory;
};

inline void Advance(Reader* r)
{
    r->cursor += 1;
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

inline int Scan(Reader* r)
{
    char token[1024];
    std::size_t length = 0;
    bool symbol = std::strchr("'*-:\\_{|}~", *r->cursor) != nullptr && *r->cursor != 0;
    if (symbol) {
        token[length++] = static_cast<char>(*r->cursor);
        Advance(r);
    } else {
        while (Letter(*r->cursor)) {
            if (length < 1023)
                token[length] = static_cast<char>(*r->cursor);
            ++length;
            Advance(r);
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
            Advance(r);
    }
    while (*r->cursor == 13 || *r->cursor == 10)
        r->cursor += 1;
    return code;
}

inline void Push(Reader* r)
{
    State* state = new (std::nothrow) State(*r->current);
    if (state == nullptr) {
        r->outOfMemory = true;
        return;
    }
    r->current->groupHandler(-1, state, r->current);
    state->enclosing = r->current;
    r->current = state;
    r->depth += 1;
    if (r->depth > r->maxDepth)
        r->maxDepth = r->depth;
}

inline void Pop(Reader* r)
{
    if (r->current->enclosing == nullptr)
        return;
    State* closing = r->current;
    closing->groupHandler(0, closing->enclosing, closing);
    r->current = closing->enclosing;
    r->depth -= 1;
    delete closing;
}

// Returns the deepest nesting reached (the real extractor matches the model
// whenever it stays within RtfMaxGroupDepth); false if a state could not be had.
inline bool Extract(const unsigned char* input, unsigned char* output, std::size_t capacity, std::size_t* maxDepth)
{
    Sink sink = {output, capacity};
    State outermost = {SinkChar, &sink, Control, &sink, IgnoreGroup, nullptr, nullptr};
    Reader r = {input, 0, &outermost, 0, 0, false};
    while (*r.cursor != 0 && !r.outOfMemory) {
        unsigned char c = *r.cursor;
        if (c == '\\') {
            Advance(&r);
            int code = Scan(&r);
            r.current->controlHandler(code, r.parameter, r.current);
        } else if (c == '{') {
            Advance(&r);
            Push(&r);
        } else if (c == '}') {
            Advance(&r);
            Pop(&r);
        } else {
            Advance(&r);
            r.current->charHandler(c, r.current);
        }
    }
    while (r.current->enclosing != nullptr)
        Pop(&r);
    r.current->charHandler(0, r.current);
    if (maxDepth != nullptr)
        *maxDepth = r.maxDepth;
    return !r.outOfMemory;
}

}  // namespace rtfref
