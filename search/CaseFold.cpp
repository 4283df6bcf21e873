// Case folding of pieces of text: UTF-16 units, the ANSI code page's
// characters and UTF-8 characters.
#include "search/CaseFold.h"

#include "search/TextScan.h"

namespace {

// One whole sequence, folded, or the bytes as they are when it is not well formed.
std::size_t FoldSequence(const CaseFolding& folding, const unsigned char* bytes, std::size_t length, unsigned char* out)
{
    std::uint32_t code = 0;
    if (!DecodeUtf8Sequence(bytes, length, &code)) {
        out[0] = bytes[0];
        return 0;  // only the first byte is taken; the caller goes on after it
    }
    if (code < 0x10000) {
        const std::uint32_t folded = folding.unit[code];
        // A fold into a surrogate would not be a character of its own.
        if (folded < 0xD800 || folded > 0xDFFF)
            code = folded;
    }
    return EncodeUtf8Character(code, out);
}

}  // namespace

void FoldUnits(const CaseFolding& folding, bool bigEndian, const unsigned char* bytes, std::size_t units,
               unsigned char* out)
{
    const int high = bigEndian ? 0 : 1;
    const int low = 1 - high;
    for (std::size_t i = 0; i < units; ++i) {
        const unsigned unit = (static_cast<unsigned>(bytes[2 * i + high]) << 8) | bytes[2 * i + low];
        const unsigned folded = folding.unit[unit];
        out[2 * i + high] = static_cast<unsigned char>(folded >> 8);
        out[2 * i + low] = static_cast<unsigned char>(folded);
    }
}

std::size_t CodePageFolder::Fold(const CaseFolding& folding, const unsigned char* bytes, std::size_t count,
                                 unsigned char* out)
{
    std::size_t written = 0;
    std::size_t i = 0;
    if (pendingLead >= 0 && count > 0) {
        const unsigned folded = folding.pair[(static_cast<unsigned>(pendingLead) << 8) | bytes[0]];
        out[written++] = static_cast<unsigned char>(folded >> 8);
        out[written++] = static_cast<unsigned char>(folded);
        pendingLead = -1;
        i = 1;
    }
    for (; i < count; ++i) {
        const unsigned char byte = bytes[i];
        if (!folding.lead[byte]) {
            out[written++] = folding.byte[byte];
            continue;
        }
        if (i + 1 == count) {
            pendingLead = byte;
            break;
        }
        const unsigned folded = folding.pair[(static_cast<unsigned>(byte) << 8) | bytes[i + 1]];
        out[written++] = static_cast<unsigned char>(folded >> 8);
        out[written++] = static_cast<unsigned char>(folded);
        ++i;
    }
    return written;
}

std::size_t CodePageFolder::Finish(unsigned char* out)
{
    if (pendingLead < 0)
        return 0;
    out[0] = static_cast<unsigned char>(pendingLead);
    pendingLead = -1;
    return 1;
}

void Utf8Folder::Prepare(const CaseFolding& folding)
{
    plainAscii = true;
    for (unsigned c = 0; c < 0x80; ++c) {
        const unsigned expected = c >= 'a' && c <= 'z' ? c - 32 : c;
        plainAscii = plainAscii && folding.unit[c] == expected;
    }
}

std::size_t Utf8Folder::Fold(const CaseFolding& folding, const unsigned char* bytes, std::size_t count,
                             unsigned char* out)
{
    std::size_t written = 0;
    std::size_t i = 0;
    // Complete the character that the last piece began.
    while (pending > 0 && i < count) {
        const std::size_t length = Utf8SequenceLength(held[0]);
        // A held character is still short of its length, which is at most
        // four bytes: the room in held.
        if (pending >= length || length > sizeof held)
            break;
        if ((bytes[i] & 0xC0) != 0x80) {
            // Cut short: the waiting bytes pass as they are, and so on.
            for (std::size_t k = 0; k < pending; ++k)
                out[written++] = held[k];
            pending = 0;
            break;
        }
        held[pending++] = bytes[i++];
        if (pending == length) {
            const std::size_t folded = FoldSequence(folding, held, length, out + written);
            if (folded == 0) {
                for (std::size_t k = 0; k < pending; ++k)
                    out[written++] = held[k];
            } else {
                written += folded;
            }
            pending = 0;
        }
    }
    while (i < count) {
#ifdef TROVIK_SSE2
        // Sixteen ASCII bytes at once: small letters lose the 0x20 bit.
        if (plainAscii && count - i >= 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
            if (_mm_movemask_epi8(block) == 0) {
                const __m128i small = _mm_and_si128(_mm_cmpgt_epi8(block, _mm_set1_epi8('a' - 1)),
                                                    _mm_cmplt_epi8(block, _mm_set1_epi8('z' + 1)));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + written),
                                 _mm_sub_epi8(block, _mm_and_si128(small, _mm_set1_epi8(0x20))));
                written += 16;
                i += 16;
                continue;
            }
        }
#endif
        const unsigned char byte = bytes[i];
        if (byte < 0x80) {
            out[written++] = static_cast<unsigned char>(folding.unit[byte] < 0x80 ? folding.unit[byte] : byte);
            ++i;
            continue;
        }
        const std::size_t length = Utf8SequenceLength(byte);
        if (length == 0) {
            out[written++] = byte;
            ++i;
            continue;
        }
        if (i + length > count) {
            // The rest of the piece may begin this character: keep it, if it
            // continues so far.
            bool continues = true;
            for (std::size_t k = i + 1; k < count; ++k)
                continues = continues && (bytes[k] & 0xC0) == 0x80;
            if (!continues) {
                out[written++] = byte;
                ++i;
                continue;
            }
            pending = 0;
            for (; i < count; ++i)
                held[pending++] = bytes[i];
            break;
        }
        const std::size_t folded = FoldSequence(folding, bytes + i, length, out + written);
        if (folded == 0) {
            out[written++] = byte;
            ++i;
        } else {
            written += folded;
            i += length;
        }
    }
    return written;
}

std::size_t Utf8Folder::Finish(unsigned char* out)
{
    const std::size_t written = pending;
    for (std::size_t k = 0; k < pending; ++k)
        out[k] = held[k];
    pending = 0;
    return written;
}

std::u16string FoldedUnits(const CaseFolding& folding, const std::u16string& units)
{
    std::u16string folded(units);
    for (char16_t& unit : folded)
        unit = static_cast<char16_t>(folding.unit[unit]);
    return folded;
}

namespace {

// A whole text through one folder; room: its largest possible output.
template <typename Folder>
std::string FoldedWhole(Folder folder, const CaseFolding& folding, const std::string& bytes, std::size_t room)
{
    std::string folded(room, '\0');
    folder.Begin();
    unsigned char* out = reinterpret_cast<unsigned char*>(&folded[0]);
    std::size_t length = folder.Fold(folding, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out);
    length += folder.Finish(out + length);
    folded.resize(length);
    return folded;
}

}  // namespace

std::string FoldedCodePageText(const CaseFolding& folding, const std::string& bytes)
{
    return FoldedWhole(CodePageFolder(), folding, bytes, bytes.size() + 1);
}

std::string FoldedUtf8(const CaseFolding& folding, const std::string& bytes)
{
    Utf8Folder folder;
    folder.Prepare(folding);
    return FoldedWhole(folder, folding, bytes, 2 * bytes.size() + 4);
}
