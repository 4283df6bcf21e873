// The fast scans against plain loops, on random texts with patterns placed
// at block edges and at the very ends, where vector code goes wrong.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "search/TextScan.h"

namespace {

size_t PlainFindBytes(const std::vector<unsigned char>& text, size_t from, const std::vector<unsigned char>& pattern)
{
    for (size_t i = from; i + pattern.size() <= text.size(); ++i) {
        if (std::memcmp(&text[i], pattern.data(), pattern.size()) == 0)
            return i;
    }
    return kNotFound;
}

std::uint16_t Unit(const std::vector<unsigned char>& bytes, size_t i)
{
    return static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
}

size_t PlainFindUnits(const std::vector<unsigned char>& bytes, size_t units, size_t from,
                      const std::vector<std::uint16_t>& pattern)
{
    for (size_t i = from; i + pattern.size() <= units; ++i) {
        size_t k = 0;
        while (k < pattern.size() && Unit(bytes, i + k) == pattern[k])
            ++k;
        if (k == pattern.size())
            return i;
    }
    return kNotFound;
}

}  // namespace

TEST(TextScan, FindsBytesExactlyWherePlainSearchDoes)
{
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        // A small alphabet makes near misses common.
        size_t length = random() % 80;
        std::vector<unsigned char> text(length);
        for (unsigned char& byte : text)
            byte = static_cast<unsigned char>('a' + random() % 3);
        std::vector<unsigned char> pattern(1 + random() % 6);
        for (unsigned char& byte : pattern)
            byte = static_cast<unsigned char>('a' + random() % 3);
        size_t from = length ? random() % (length + 1) : 0;
        ASSERT_EQ(FindBytes(text.data(), text.size(), from, pattern.data(), pattern.size()),
                  PlainFindBytes(text, from, pattern))
            << "round " << round;
    }
}

TEST(TextScan, FindsUnitsExactlyWherePlainSearchDoes)
{
    std::mt19937 random(54321);
    for (int round = 0; round < 3000; ++round) {
        size_t units = random() % 60;
        std::vector<unsigned char> bytes(2 * units + 1);  // odd tail: never read as a unit
        for (unsigned char& byte : bytes)
            byte = static_cast<unsigned char>(random() % 4 == 0 ? 0 : 'a' + random() % 2);
        std::vector<std::uint16_t> pattern(1 + random() % 4);
        for (std::uint16_t& unit : pattern)
            unit = static_cast<std::uint16_t>(random() % 3 == 0 ? 'a' : (random() % 2 ? 'b' : 0x6100));
        size_t from = units ? random() % (units + 1) : 0;
        ASSERT_EQ(FindUnits(bytes.data(), units, from, pattern.data(), pattern.size()),
                  PlainFindUnits(bytes, units, from, pattern))
            << "round " << round;
    }
}

// Ignoring case: the vector scan for the first and last element's variants
// against comparing every element through the table. 'a', 'A' and 0xE1 fold
// together (three variants); 'b' has five (more than a scan takes: every
// position is a candidate then).
TEST(TextScan, FindsFoldedTextWherePlainFoldedSearchDoes)
{
    unsigned char byteFold[256];
    std::vector<std::uint16_t> unitFold(65536);
    for (unsigned v = 0; v < 65536; ++v)
        unitFold[v] = static_cast<std::uint16_t>(v);
    for (unsigned v = 0; v < 256; ++v)
        byteFold[v] = static_cast<unsigned char>(v);
    for (unsigned v : {unsigned('a'), unsigned('A'), 0xE1u}) {
        byteFold[v] = 'A';
        unitFold[v] = 'A';
    }
    for (unsigned v : {unsigned('b'), unsigned('B'), 0xE2u, 0xE3u, 0xE4u}) {
        byteFold[v] = 'B';
        unitFold[v] = 'B';
    }
    const unsigned char alphabet[] = {'a', 'A', 0xE1, 'b', 'B', 0xE2, 0xE4, 'c'};
    std::mt19937 random(777);
    for (int round = 0; round < 3000; ++round) {
        const size_t length = random() % 80;
        std::vector<unsigned char> text(length), units(2 * length);
        for (size_t i = 0; i < length; ++i) {
            text[i] = alphabet[random() % sizeof alphabet];
            units[2 * i] = text[i];
        }
        std::vector<unsigned char> pattern(1 + random() % 5);
        std::vector<std::uint16_t> unitPattern;
        for (unsigned char& byte : pattern) {
            byte = byteFold[alphabet[random() % sizeof alphabet]];
            unitPattern.push_back(byte);
        }
        const size_t from = length ? random() % (length + 1) : 0;
        std::vector<unsigned char> folded(length);
        for (size_t i = 0; i < length; ++i)
            folded[i] = byteFold[text[i]];
        const size_t expected = PlainFindBytes(folded, from, pattern);
        ASSERT_EQ(FindBytesFolded(text.data(), length, from, pattern.data(), pattern.size(), byteFold,
                                  BytesFoldingLike(byteFold, pattern.front()),
                                  BytesFoldingLike(byteFold, pattern.back())),
                  expected)
            << "round " << round;
        ASSERT_EQ(FindUnitsFolded(units.data(), length, from, unitPattern.data(), unitPattern.size(), unitFold.data(),
                                  UnitsFoldingLike(unitFold.data(), unitPattern.front()),
                                  UnitsFoldingLike(unitFold.data(), unitPattern.back())),
                  expected)
            << "round " << round;
    }
    EXPECT_EQ(BytesFoldingLike(byteFold, 'A').count, 3u);
    EXPECT_EQ(BytesFoldingLike(byteFold, 'B').count, 0u);
}

TEST(TextScan, FindsTheFirstZeroOnEveryOffset)
{
    for (size_t length = 0; length < 70; ++length) {
        for (size_t zeroAt = 0; zeroAt <= length; ++zeroAt) {
            std::vector<unsigned char> bytes(length + 2, 'x');
            bytes[zeroAt] = 0;
            ASSERT_EQ(FindZeroByte(bytes.data(), length + 1), zeroAt);
        }
        std::vector<unsigned char> none(length, 'x');
        ASSERT_EQ(FindZeroByte(none.data(), length), length);
    }
    // Zero units count only at even offsets: 'x' 0 0 'x' holds none.
    const unsigned char odd[] = {'x', 0, 0, 'x', 'y', 'y', 0, 0};
    EXPECT_EQ(FindZeroUnit(odd, 4), 3u);
    EXPECT_EQ(FindZeroUnit(odd, 3), 3u);
    std::vector<unsigned char> wide(2 * 40, 'z');
    wide[2 * 33] = wide[2 * 33 + 1] = 0;
    EXPECT_EQ(FindZeroUnit(wide.data(), 40), 33u);
}

// The shared scan's hits, first zero byte and ASCII flag against a plain
// loop: texts of every length up to a few blocks, one to eight values,
// zero and high bytes anywhere, and too many hits for the room.
TEST(TextScan, FindsAnyOfTheValuesWherePlainSearchDoes)
{
    std::mt19937 random(17);
    for (int round = 0; round < 3000; ++round) {
        const size_t length = random() % 150;
        std::vector<unsigned char> text(length);
        for (unsigned char& byte : text)
            byte = static_cast<unsigned char>("abcdef\0\x80"[random() % (round % 3 == 0 ? 8 : 6)]);
        unsigned char values[8];
        const unsigned valueCount = 1 + random() % 8;
        for (unsigned k = 0; k < valueCount; ++k)
            values[k] = static_cast<unsigned char>('a' + random() % 6);
        const size_t room = random() % 2 != 0 ? length : random() % 20;

        std::vector<std::uint32_t> expected;
        size_t expectedZero = length;
        bool expectedAscii = true;
        for (size_t i = 0; i < length; ++i) {
            if (std::memchr(values, text[i], valueCount) != nullptr)
                expected.push_back(static_cast<std::uint32_t>(i));
            if (text[i] == 0 && expectedZero == length)
                expectedZero = i;
            expectedAscii = expectedAscii && text[i] < 0x80;
        }
        std::vector<std::uint32_t> positions(room + 1);
        size_t zero = 0;
        bool ascii = false;
        const size_t found = FindAnyOf(text.data(), length, values, valueCount, positions.data(), room, &zero, &ascii);
        if (expected.size() > room) {
            ASSERT_EQ(found, kNotFound) << "round " << round;
            continue;
        }
        ASSERT_EQ(found, expected.size()) << "round " << round;
        positions.resize(found);
        ASSERT_EQ(positions, expected) << "round " << round;
        ASSERT_EQ(zero, expectedZero) << "round " << round;
        ASSERT_EQ(ascii, expectedAscii) << "round " << round;
    }
}
