// The matching lines of one file: the reading's text element by element
// (units, bytes, or an RTF document's plain text), split into lines, each
// element folded as the reading's view folds it and matched without
// overlap across lines and pieces. What a line keeps, and how it is
// reported, is in MatchingLineText.cpp.
#include "search/MatchingLines.h"

#include <cstring>

#include "search/TextScan.h"

MatchingLines::MatchingLines() : pattern(), fallback(), groupStarts(), reader(), outermost(), plain(), line(), hits(), text(), shown()
{
}

MatchingLines::~MatchingLines()
{
    ReleaseRtfReader(&reader);
    ReleasePlainText(&plain);
}

bool MatchingLines::Prepare(int reading, const SearchTextForms& forms, const CaseFolding* foldingTables,
                            RtfCodePages* pages, unsigned ansiPage)
{
    patternLength = 0;
    const ReadingRow* row = FindReading(reading);
    if (row == nullptr)
        return false;
    decoding = row->decoding;
    bigEndian = row->bigEndian;
    folding = foldingTables;
    codePages = pages;
    ansiCodePage = ansiPage;
    shownAs = decoding == CodePageDecoding && ansiCodePage == 65001 ? Utf8Decoding : decoding;
    unitFold = nullptr;
    byteFold = nullptr;
    foldsGroups = false;
    std::size_t length = 0;
    if (row->width == 2) {
        if (row->spelling == WidenedAnsiSpelling && !forms.hasAnsi)
            return false;
        const std::u16string& units = UnitSpelling(*row, forms);
        if (units.size() > PatternLimit)
            return false;
        for (char16_t unit : units)
            pattern[length++] = folding != nullptr ? folding->unit[unit] : static_cast<std::uint16_t>(unit);
        unitFold = folding != nullptr ? folding->unit : nullptr;
    } else {
        const bool utf8 = decoding == Utf8Decoding;
        if (utf8 ? !forms.hasUtf8 : !forms.hasAnsi)
            return false;
        const std::string& bytes = ByteSpelling(*row, forms);
        // As the byte view: a single-byte code page folds byte for byte,
        // double-byte characters and UTF-8 are folded in groups first.
        const std::string folded = folding == nullptr ? bytes
                                   : utf8             ? FoldedUtf8(*folding, bytes)
                                                      : FoldedCodePageText(*folding, bytes);
        if (folded.size() > PatternLimit)
            return false;
        for (char byte : folded) {
            patternBytes[length] = static_cast<unsigned char>(byte);
            pattern[length++] = static_cast<unsigned char>(byte);
        }
        if (folding != nullptr) {
            bool doubleByte = false;
            for (bool lead : folding->lead)
                doubleByte = doubleByte || lead;
            foldsGroups = utf8 || doubleByte;
            byteFold = foldsGroups ? nullptr : folding->byte;
            if (utf8)
                utf8Folder.Prepare(*folding);
        }
    }
    if (length == 0)
        return false;
    // The bytes after which a run of plain text cannot go on as it is: they
    // may begin an occurrence, or end a line that a LF may end too.
    // Compared exactly, the text is searched for whole occurrences; a text
    // that begins with a line break goes byte by byte where one lies.
    plainSkips = byteFold == nullptr && decoding != UnitsDecoding && pattern[0] != '\n';
    stopCount = 0;
    for (unsigned value = 0; value < 256; ++value) {
        const unsigned folded = byteFold != nullptr ? byteFold[value] : value;
        runStops[value] = folded == pattern[0] || value == '\r';
        if (runStops[value] && stopCount < sizeof stopValues)
            stopValues[stopCount] = static_cast<unsigned char>(value);
        if (runStops[value])
            ++stopCount;
    }
    // fallback[j]: the longest proper prefix of pattern[0, j) that also ends it.
    fallback[0] = 0;
    fallback[1] = 0;
    std::size_t border = 0;
    for (std::size_t j = 1; j < length; ++j) {
        while (border > 0 && pattern[j] != pattern[border])
            border = fallback[border];
        if (pattern[j] == pattern[border])
            ++border;
        fallback[j + 1] = static_cast<std::uint16_t>(border);
    }
    patternLength = length;
    return true;
}

void MatchingLines::BeginFile(LineReport reportLine, void* reportContext)
{
    report = reportLine;
    context = reportContext;
    total = 0;
    hasOdd = false;
    position = 0;
    ringAt = 0;
    groupBegin = 0;
    matched = 0;
    number = 1;
    lineStart = 0;
    ClearLine();
    codePageFolder.Begin();
    utf8Folder.Begin();
    page = &RtfCodePage1252;
    if (decoding == CodePageDecoding && ansiCodePage != 1252 && codePages != nullptr) {
        const RtfCodePage* found = codePages->Find(ansiCodePage);
        if (found != nullptr)
            page = found;
    }
    if (decoding == RtfDecoding) {
        ReleaseRtfReader(&reader);
        ReleasePlainText(&plain);
        reader = RtfReader();
        outermost = RtfGroupState();
        BeginPlainText(&plain, TakeRtfUnits, this, codePages, &outermost);
        reader.current = &outermost;
        reader.runCharHandler = PlainTextChar;
        reader.runHandler = PlainTextRun;
    }
    ended = patternLength == 0;
}

void MatchingLines::Feed(const unsigned char* bytes, std::size_t count)
{
    if (ended || count == 0)
        return;
    switch (decoding) {
    case RtfDecoding:
        FeedRtfReader(&reader, bytes, count);
        if (reader.readState == RtfReadEnded) {
            EndPlainText(&plain);  // the link targets follow the text
            FinishText();
        }
        break;
    case UnitsDecoding:
        FeedUnits(bytes, count);
        break;
    case CodePageDecoding:
    case Utf8Decoding:
        FeedBytes(bytes, count);
        break;
    }
}

void MatchingLines::EndFile()
{
    if (ended)
        return;
    if (decoding == RtfDecoding) {
        EndRtfInput(&reader);
        EndPlainText(&plain);
    }
    // A last odd byte is the first byte of a unit whose other byte is zero.
    else if (decoding == UnitsDecoding && hasOdd && odd != 0)
        Take(bigEndian ? static_cast<unsigned>(odd) << 8 : odd);
    FinishText();
}

void MatchingLines::TakeRtfUnits(void* self, const std::uint16_t* units, std::size_t count)
{
    MatchingLines* lines = static_cast<MatchingLines*>(self);
    for (std::size_t i = 0; i < count; ++i) {
        if (units[i] == 0)
            return;  // the terminator: the reader has ended
        lines->Take(units[i]);
    }
}

// UTF-16 up to the first zero unit at an even offset, as the unit views read it.
void MatchingLines::FeedUnits(const unsigned char* bytes, std::size_t count)
{
    std::size_t skip = 0;
    if (hasOdd) {
        hasOdd = false;
        skip = 1;
        const unsigned unit = bigEndian ? (static_cast<unsigned>(odd) << 8) | bytes[0]
                                        : odd | (static_cast<unsigned>(bytes[0]) << 8);
        if (unit == 0) {
            FinishText();
            return;
        }
        Take(unit);
    }
    const std::size_t units = (count - skip) / 2;
    const std::size_t zero = FindZeroUnit(bytes + skip, units);
    const unsigned char* at = bytes + skip;
    for (std::size_t i = 0; i < zero; ++i, at += 2)
        Take(bigEndian ? (static_cast<unsigned>(at[0]) << 8) | at[1] : at[0] | (static_cast<unsigned>(at[1]) << 8));
    if (zero < units) {
        FinishText();
        return;
    }
    if ((count - skip) % 2 != 0) {
        hasOdd = true;
        odd = bytes[count - 1];
    }
}

void MatchingLines::FeedBytes(const unsigned char* bytes, std::size_t count)
{
    const std::size_t zero = FindZeroByte(bytes, count);
    if (foldsGroups) {
        FoldBytes(bytes, zero);
    } else {
        for (std::size_t i = 0; i < zero;) {
            // Between occurrences and line breaks the bytes only join their line.
            if (matched == 0 && !breakPending) {
                const std::size_t room = LineKeep - kept;
                const std::size_t end = zero - i < room ? zero : i + room;
                const std::size_t run = plainSkips ? PlainLength(bytes, i, end, zero) : RunLength(bytes + i, end - i);
                if (run != 0) {
                    TakeRun(bytes + i, run);
                    i += run;
                    continue;
                }
            }
            Take(bytes[i++]);
        }
    }
    if (zero < count)
        FinishText();
}

// Bytes through a folder: a run of ASCII bytes between characters folds one
// to one, the run at once; any other byte alone.
void MatchingLines::FoldBytes(const unsigned char* bytes, std::size_t count)
{
    unsigned char folded[256];
    for (std::size_t i = 0; i < count;) {
        std::size_t run = 0;
        if (groupBegin == position) {  // no byte waits for the rest of its character
            while (run < sizeof folded && i + run < count && bytes[i + run] < 0x80)
                ++run;
        }
        if (run == 0) {
            Enter(bytes[i]);
            FoldByte(bytes[i]);
            Leave(bytes[i]);
            ++i;
            continue;
        }
        if (decoding == Utf8Decoding)
            utf8Folder.Fold(*folding, bytes + i, run, folded);
        else
            codePageFolder.Fold(*folding, bytes + i, run, folded);
        for (std::size_t k = 0; k < run; ++k) {
            Enter(bytes[i + k]);
            Match(folded[k], position, position + 1);
            Leave(bytes[i + k]);
        }
        groupBegin = position;
        i += run;
    }
}

// An element enters its line; a line that a CR ended ends first unless this
// is its LF.
void MatchingLines::Enter(unsigned value)
{
    if (breakPending && value != '\n')
        EndLine();
    if (kept < LineKeep)
        line[kept++] = static_cast<std::uint16_t>(value);
    else
        KeepFull(value);
}

// The element has been matched: a line break ends its line after it, as an
// occurrence may hold one.
void MatchingLines::Leave(unsigned value)
{
    ++position;
    if (value == '\n')
        EndLine();
    else if (value == '\r')
        breakPending = true;
}

// An element that folds alone: a unit, or a byte of a single-byte code page.
void MatchingLines::Take(unsigned value)
{
    Enter(value);
    Match(unitFold != nullptr ? unitFold[value] : byteFold != nullptr ? byteFold[value] : value, position,
          position + 1);
    Leave(value);
}

// Compared exactly, the bytes from i on before the next occurrence (or
// before what may begin one that the next piece completes), the next CR and
// end: no occurrence begins among them.
std::size_t MatchingLines::PlainLength(const unsigned char* bytes, std::size_t i, std::size_t end,
                                       std::size_t count) const
{
    // Only occurrences that begin before end matter.
    const std::size_t limit = count - end > patternLength - 1 ? end + patternLength - 1 : count;
    std::size_t stop = FindBytes(bytes, limit, i, patternBytes, patternLength);
    if (stop == kNotFound && limit < count)
        stop = end;
    else if (stop == kNotFound)
        stop = count - i >= patternLength ? count - (patternLength - 1) : i;
    if (stop > end)
        stop = end;
    const void* cr = stop > i ? std::memchr(bytes + i, '\r', stop - i) : nullptr;
    if (cr != nullptr)
        stop = static_cast<std::size_t>(static_cast<const unsigned char*>(cr) - bytes);
    return stop - i;
}

// How many bytes from the first on are not stops.
std::size_t MatchingLines::RunLength(const unsigned char* bytes, std::size_t count) const
{
    std::size_t run = 0;
#ifdef TROVIK_SSE2
    if (stopCount <= sizeof stopValues) {
        __m128i values[sizeof stopValues];
        for (std::size_t k = 0; k < sizeof stopValues; ++k)
            values[k] = _mm_set1_epi8(static_cast<char>(stopValues[k < stopCount ? k : 0]));
        for (; run + 16 <= count; run += 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + run));
            __m128i hit = _mm_cmpeq_epi8(block, values[0]);
            for (std::size_t k = 1; k < stopCount; ++k)
                hit = _mm_or_si128(hit, _mm_cmpeq_epi8(block, values[k]));
            const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
            if (mask != 0)
                return run + LowestSetBit(mask);
        }
    }
#endif
    while (run < count && !runStops[bytes[run]])
        ++run;
    return run;
}

// As Take for each byte, for bytes where no occurrence begins and no CR
// lies, while no occurrence is under way and the line has room for them all:
// lines that LFs end inside the run hold no occurrence and only count.
void MatchingLines::TakeRun(const unsigned char* bytes, std::size_t run)
{
    const void* found = std::memchr(bytes, '\n', run);
    const std::size_t first = found != nullptr ? static_cast<const unsigned char*>(found) - bytes : run;
    KeepPlain(bytes, first);
    if (first == run)
        return;
    Take('\n');
    std::size_t last = first;
    unsigned long long lines = 0;
    for (const unsigned char* at = bytes + first + 1;
         (found = std::memchr(at, '\n', static_cast<std::size_t>(bytes + run - at))) != nullptr;) {
        last = static_cast<std::size_t>(static_cast<const unsigned char*>(found) - bytes);
        ++lines;
        at = bytes + last + 1;
    }
    if (lines != 0) {
        Advance(last - first);
        number += lines;
        lineStart = position;
    }
    KeepPlain(bytes + last + 1, run - last - 1);
}

// Bytes that join the current line as they are, each one element.
void MatchingLines::KeepPlain(const unsigned char* bytes, std::size_t count)
{
    for (std::size_t k = 0; k < count; ++k)
        line[kept + k] = bytes[k];
    kept += count;
    Advance(count);
}

// count elements of one position each went by: the ring keeps where the
// last ones began.
void MatchingLines::Advance(std::size_t count)
{
    const std::size_t last = count < patternLength ? count : patternLength;
    for (std::size_t k = count - last; k < count; ++k) {
        groupStarts[ringAt] = position + k;
        if (++ringAt == patternLength)
            ringAt = 0;
    }
    position += count;
}

// One folded element, which stands for the elements [begin, end) of the text.
void MatchingLines::Match(unsigned folded, unsigned long long begin, unsigned long long end)
{
    groupStarts[ringAt] = begin;
    if (++ringAt == patternLength)
        ringAt = 0;
    while (matched > 0 && pattern[matched] != folded)
        matched = fallback[matched];
    if (pattern[matched] != folded)
        return;
    if (++matched < patternLength)
        return;
    // The occurrence's first element was stored patternLength elements ago:
    // in the slot that is next in the ring.
    matched = 0;
    AddHit(groupStarts[ringAt], end);
}

// A byte through the folder: what it writes stands for the bytes since the
// last group, or for those before this byte when the byte itself waits for
// the rest of its character.
void MatchingLines::FoldByte(unsigned char byte)
{
    unsigned char out[8];
    const bool utf8 = decoding == Utf8Decoding;
    const std::size_t written =
        utf8 ? utf8Folder.Fold(*folding, &byte, 1, out) : codePageFolder.Fold(*folding, &byte, 1, out);
    if (written == 0)
        return;
    const unsigned long long end = utf8 && !utf8Folder.Idle() ? position : position + 1;
    for (std::size_t k = 0; k < written; ++k)
        Match(out[k], groupBegin, end);
    groupBegin = end;
}

// The text has ended: what the folder still holds is matched, and the last
// line is reported.
void MatchingLines::FinishText()
{
    if (foldsGroups) {
        unsigned char out[8];
        const std::size_t written =
            decoding == Utf8Decoding ? utf8Folder.Finish(out) : codePageFolder.Finish(out);
        for (std::size_t k = 0; k < written; ++k)
            Match(out[k], groupBegin, position);
        groupBegin = position;
    }
    if (lineCount != 0)
        Report();
    lineCount = 0;
    ended = true;
}
