// The plain-text loop: the reader in the text state while the current group
// belongs to the plain-text destination over a byte window. Text, braces and
// whole tokens are read in one loop without the handlers' indirect calls,
// with the effects of RtfReading.h that the handlers apply too.
#include <cstdint>

#include "search/TextScan.h"
#include "search/rtf/RtfReading.h"

namespace {

// What the loop does with a byte in the text state.
enum ByteKind : unsigned char { kTextByte, kLineBreakByte, kOpenByte, kCloseByte, kBackslashByte, kZeroByte };
struct ByteKinds {
    unsigned char kinds[256];
    constexpr ByteKinds() : kinds()
    {
        kinds[0] = kZeroByte;
        kinds[static_cast<unsigned char>('\r')] = kinds[static_cast<unsigned char>('\n')] = kLineBreakByte;
        kinds[static_cast<unsigned char>('{')] = kOpenByte;
        kinds[static_cast<unsigned char>('}')] = kCloseByte;
        kinds[static_cast<unsigned char>('\\')] = kBackslashByte;
    }
};
constexpr ByteKinds kByteKinds;

// Writes the gap byte that stands for text left out.
inline void WriteGap(RtfByteSpace* space)
{
    if (space->next == space->limit)
        space->makeRoom(space->owner);
    *space->next++ = space->gap;
}

// Whether text may be left out where it lies: no occurrence can begin in
// the bytes before it, and each of its bytes is its own character.
inline bool MayLeaveOut(const RtfPlainText* plain)
{
    const RtfByteSpace* space = plain->space;
    return space->keep == 0 && space->filtering && plain->asciiSame && plain->fallbackLeft == 0 &&
           plain->leadByte == 0;
}

#ifdef TROVIK_SSE2
// The longest name read from the 16 bytes it lies in: one more letter shows
// where it ends.
const size_t kBlockNameLimit = 15;

// Reads a control word whose name is 1 to 15 letters, with 32 bytes
// readable at p (just past the backslash; block holds the first 16), exactly
// as ReadWholeToken does, and applies it to the plain-text destination.
// Returns where it ends, or nullptr (nothing read) for every other token.
const unsigned char* ReadPlainWord(RtfReader* reader, RtfPlainText* plain, const unsigned char* p,
                                   const __m128i& block)
{
    const unsigned letters = RangeMask(_mm_or_si128(block, _mm_set1_epi8(0x20)), 'a', 26);
    const size_t length = LowestSetBit(~letters);  // 16: the name may go on
    if (length == 0 || length > kBlockNameLimit)
        return nullptr;
    const std::uint64_t first = length <= 8 ? FirstBytes(p, length) : FirstBytes(p, 8);
    const std::uint64_t second = length <= 8 ? 0 : FirstBytes(p + 8, length - 8);
    const RtfKeyword& keyword = FindRtfKeyword(first, second, 0);

    const unsigned char* q = p + length;
    std::int32_t parameter = keyword.kind == RtfToggleWord ? 1 : reader->parameter;
    const bool hasNumber = IsDigit(*q) || *q == '-';
    if (hasNumber) {
        // The run of digits and '-': a sign only at its start, else the
        // states read it.
        const __m128i run = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
        const unsigned minus = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(run, _mm_set1_epi8('-'))));
        const unsigned runMask = RangeMask(run, '0', 10) | minus;
        const size_t runLength = LowestSetBit(~runMask);
        if (runLength == 16 || (minus & ~1u & ((1u << runLength) - 1)) != 0)
            return nullptr;
        const bool negative = (minus & 1u) != 0;
        const unsigned char* digits = q + (negative ? 1 : 0);
        const size_t count = runLength - (negative ? 1 : 0);
        std::uint32_t value = 0;
        if (count <= 8) {
            if (count != 0)
                value = EightDigits(digits, count);
        } else {
            for (size_t i = 0; i < count; ++i)
                value = value * 10u + static_cast<std::uint32_t>(digits[i] - '0');
        }
        parameter = WrapToInt32(negative ? 0u - value : value);
        q += runLength;
    }
    if (IsWhiteSpace(*q))
        ++q;
    reader->parameter = parameter;
    ApplyKeyword(plain, reader->current, keyword, parameter);
    EndControlWord(reader, keyword, hasNumber);
    return q;
}
#endif

}  // namespace

const unsigned char* ReadPlainText(RtfReader* reader, RtfPlainText* const plain, const unsigned char* p,
                                   const unsigned char* end)
{
    RtfGroupState* state = reader->current;
    RtfByteSpace* const space = plain->space;
#ifdef TROVIK_SSE2
    const RtfTextStops textStops(space->starts, space->startCount);
#endif
    while (p < end) {
        const unsigned char byte = *p;
        switch (kByteKinds.kinds[byte]) {
        case kTextByte: {
            if (state->charHandler != PlainTextChar) {
                if (state->charHandler != static_cast<CharHandler>(IgnoreEvent))
                    return p;
                p = FindRtfRunEnd(p, end);
                continue;
            }
            if (!MayLeaveOut(plain)) {
                p = PlainTextRun(p, end, state);
                continue;
            }
            // Text no occurrence can touch, left out where it lies: a gap
            // byte in its place. Runs are short in documents: the first 16
            // bytes are looked at here.
            const unsigned char* after;
#ifdef TROVIK_SSE2
            if (end - p >= 16) {
                unsigned markup;
                const unsigned stops = textStops.Find(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), &markup);
                after = stops != 0 ? p + LowestSetBit(stops) : SkipRtfText(p + 16, end, space->starts, space->startCount);
            } else
#endif
                after = SkipRtfText(p, end, space->starts, space->startCount);
            if (after == p) {
                p = PlainTextRun(p, end, state);
                continue;
            }
            WriteGap(space);
            plain->groupStart = false;
            p = after;
            continue;
        }
        case kLineBreakByte:
            ++p;
            continue;
        case kOpenByte:
            if (reader->excessDepth != 0 || reader->depth >= RtfInlineGroups) {
                PushGroup(reader);
                state = reader->current;
            } else {
                RtfGroupState* inner = &reader->inlineStates[reader->depth];
                *inner = *state;
                inner->enclosing = state;
                PlainGroupEdge(plain, true);
                reader->current = state = inner;
                reader->depth += 1;
            }
            ++p;
            continue;
        case kCloseByte:
            if (reader->excessDepth == 0 && reader->depth != 0) {
                // The group's handler is the destination's: its effect
                // without the call.
                RtfGroupState* enclosing = state->enclosing;
                ClosePlainGroup(plain, state, enclosing);
                reader->current = state = enclosing;
                reader->depth -= 1;
            } else {
                PopGroup(reader);
                state = reader->current;
            }
            ++p;
            if (FastPlainText(state) != plain)
                return p;
            continue;
        case kBackslashByte:
            break;
        default:
            return p;  // the zero byte that ends the input
        }
        const unsigned char* const token = p + 1;
        const unsigned char* after = nullptr;
#ifdef TROVIK_SSE2
        if (end - token >= 32) {
            const unsigned char first = *token;
            if (IsLetter(first)) {
                const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(token));
                unsigned markup;
                const unsigned stops = textStops.Find(block, &markup);
                after = ReadPlainWord(reader, plain, token, block);
                // The run of text after the word, up to the next markup,
                // when it lies in the 16 bytes: its end does not wait for
                // where the word ends (no byte of a word is markup).
                if (after != nullptr && markup != 0 && reader->readState == RtfReadText) {
                    const unsigned next = LowestSetBit(markup);
                    const unsigned from = static_cast<unsigned>(after - token);
                    if (from <= next && (stops & ~markup & ((1u << next) - 1) & ~((1u << from) - 1)) == 0) {
                        if (state->charHandler == static_cast<CharHandler>(IgnoreEvent)) {
                            after = token + next;
                        } else if (state->charHandler == PlainTextChar && MayLeaveOut(plain)) {
                            // Text or line breaks only; the word has already
                            // ended the group's start.
                            if (from != next)
                                WriteGap(space);
                            after = token + next;
                        }
                    }
                }
            } else if (IsControlSymbol(first)) {
                const RtfKeyword* symbol;
                after = ReadSymbol(reader, token, end, &symbol);
                if (after != nullptr)
                    ApplyKeyword(plain, state, *symbol, reader->parameter);
            }
        }
#endif
        if (after == nullptr) {
            after = ReadWholeToken(reader, token, end);
            if (after == nullptr) {
                // The states read the token on (as the general loop would).
                reader->readState = RtfReadTokenStart;
                return token;
            }
        }
        p = after;
        // The token may begin binary data; it may have changed where the
        // state's characters go, which the next run looks at.
        if (reader->readState != RtfReadText)
            return p;
    }
    return p;
}

