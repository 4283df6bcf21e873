// The line in progress of the matching lines: the text it keeps (a window
// around its first occurrence when it outgrows its room), its occurrences,
// and its report, decoded into UTF-16 when it ends.
#include "search/MatchingLines.h"

#include <cstring>

namespace {

const char16_t ReplacementCharacter = 0xFFFD;
const char16_t ByteOrderMark = 0xFEFF;

bool IsLowSurrogate(unsigned unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

// The line has outgrown its room. Without an occurrence yet its later half
// is kept; with its first occurrence far along, the text from a little
// before it; else the rest of the line is only matched.
void MatchingLines::KeepFull(unsigned value)
{
    std::size_t drop = 0;
    if (lineCount == 0)
        drop = LineKeep / 2;
    else if (hitsKept > 0 && hits[0].begin > LineKeep / 2)
        drop = hits[0].begin - LineKeep / 4;
    if (cutAfter || drop == 0) {
        cutAfter = true;
        return;
    }
    // Cut where a character begins: not inside a surrogate pair, and in
    // bytes after one below 0x40, which no double-byte character and no
    // UTF-8 sequence holds.
    if (decoding == UnitsDecoding || decoding == RtfDecoding) {
        if (IsLowSurrogate(line[drop]))
            ++drop;
    } else {
        for (std::size_t at = drop; at > 0 && at + 256 > drop; --at) {
            if (line[at - 1] < 0x40) {
                drop = at;
                break;
            }
        }
    }
    std::memmove(line, line + drop, (kept - drop) * sizeof line[0]);
    kept -= drop;
    lineStart += drop;
    for (std::size_t k = 0; k < hitsKept; ++k) {
        hits[k].begin -= static_cast<std::uint32_t>(drop);
        hits[k].end -= static_cast<std::uint32_t>(drop);
    }
    cutBefore = true;
    line[kept++] = static_cast<std::uint16_t>(value);
}

// An occurrence of the elements [begin, end) of the text, counted for the
// line where it ends; its place is kept where it lies in the kept text.
void MatchingLines::AddHit(unsigned long long begin, unsigned long long end)
{
    ++lineCount;
    ++total;
    if (hitsKept == HitKeep)
        return;
    const unsigned long long from = begin > lineStart ? begin - lineStart : 0;
    if (from >= kept)
        return;
    const unsigned long long to = end - lineStart < kept ? end - lineStart : kept;
    hits[hitsKept].begin = static_cast<std::uint32_t>(from);
    hits[hitsKept].end = static_cast<std::uint32_t>(to);
    ++hitsKept;
}

void MatchingLines::EndLine()
{
    if (lineCount != 0)
        Report();
    ++number;
    lineStart = position;
    ClearLine();
}

void MatchingLines::ClearLine()
{
    kept = 0;
    breakPending = false;
    cutBefore = false;
    cutAfter = false;
    lineCount = 0;
    hitsKept = 0;
}

std::size_t MatchingLines::DecodeAt(std::size_t at, std::size_t length, char16_t* out, std::size_t* units) const
{
    const unsigned value = line[at];
    *units = 1;
    switch (shownAs) {
    case UnitsDecoding:
    case RtfDecoding:
        out[0] = static_cast<char16_t>(value);
        return 1;
    case CodePageDecoding: {
        const std::uint16_t unit = page->units[value];
        if (unit != 0) {
            out[0] = unit;
            return 1;
        }
        if (page->pairs != nullptr && at + 1 < length) {
            const std::uint16_t pair = page->pairs[value * 256 + line[at + 1]];
            if (pair != 0) {
                out[0] = pair;
                return 2;
            }
        }
        out[0] = ReplacementCharacter;
        return 1;
    }
    case Utf8Decoding: {
        const std::size_t sequence = Utf8SequenceLength(static_cast<unsigned char>(value));
        unsigned char bytes[4];
        std::uint32_t code = 0;
        for (std::size_t k = 0; k < sequence && at + k < length; ++k)
            bytes[k] = static_cast<unsigned char>(line[at + k]);
        if (sequence == 0 || at + sequence > length || !DecodeUtf8Sequence(bytes, sequence, &code)) {
            out[0] = ReplacementCharacter;
            return 1;
        }
        if (code < 0x10000) {
            out[0] = static_cast<char16_t>(code);
        } else {
            out[0] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            out[1] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
            *units = 2;
        }
        return sequence;
    }
    }
    return 1;
}

// Decodes the kept text without its line break, and finds where each kept
// occurrence begins and ends in it: at the characters that hold its first
// and its last element.
void MatchingLines::Report()
{
    std::size_t length = kept;
    if (length > 0 && line[length - 1] == '\n')
        --length;
    if (length > 0 && line[length - 1] == '\r')
        --length;
    std::size_t out = 0;
    std::size_t begun = 0;
    std::size_t finished = 0;
    for (std::size_t at = 0; at < length;) {
        char16_t units[2];
        std::size_t count = 0;
        const std::size_t taken = DecodeAt(at, length, units, &count);
        // A byte-order mark opens the text; it is no character to read.
        if (at == 0 && lineStart == 0 && count == 1 && units[0] == ByteOrderMark)
            count = 0;
        while (begun < hitsKept && hits[begun].begin < at + taken)
            shown[begun++].begin = out;
        for (std::size_t k = 0; k < count; ++k)
            text[out++] = units[k];
        while (finished < hitsKept && hits[finished].end <= at + taken)
            shown[finished++].end = out;
        at += taken;
    }
    for (; begun < hitsKept; ++begun)
        shown[begun].begin = out;
    for (; finished < hitsKept; ++finished)
        shown[finished].end = out;
    // Occurrences of bytes may begin or end inside a character (a byte
    // search finds a text that starts at a trail byte): two may then hold
    // the same character, which the earlier one keeps.
    for (std::size_t k = 1; k < hitsKept; ++k) {
        if (shown[k].begin < shown[k - 1].end)
            shown[k].begin = shown[k - 1].end;
        if (shown[k].end < shown[k].begin)
            shown[k].end = shown[k].begin;
    }
    if (report == nullptr)
        return;
    const MatchingLine reported = {number, text, out, shown, hitsKept, lineCount, cutBefore, cutAfter};
    report(context, reported);
}
