// The matcher table on one file's bytes: which matcher counts a text, and how often.
#include <gtest/gtest.h>

#include <string>

#include "search/ContentMatchers.h"
#include "tests/support/MatcherRun.h"

namespace {

int RunOne(ContentMatcher matcher, const std::string& content, const std::string& text)
{
    std::string buffer = content + std::string(3, '\0');
    std::basic_string<WCHAR> units = Widen(text);
    SearchRequest request = {};
    request.searchText = units.c_str();
    FoundFile record = {};
    matcher(reinterpret_cast<const unsigned char*>(buffer.data()), content.size(), &request, &record);
    EXPECT_EQ(record.matchCount, request.totalMatches);
    return record.matchCount;
}

}  // namespace

TEST(AnsiMatcher, CountsWithoutOverlap)
{
    EXPECT_EQ(RunOne(MatchAnsiText, "aaaa", "aa"), 2);
    EXPECT_EQ(RunOne(MatchAnsiText, "aaaaa", "aa"), 2);
    EXPECT_EQ(RunOne(MatchAnsiText, "abcabcab", "abc"), 2);
    EXPECT_EQ(RunOne(MatchAnsiText, "xabcx", "abc"), 1);
    EXPECT_EQ(RunOne(MatchAnsiText, "ab", "abc"), 0);
}

TEST(AnsiMatcher, IsCaseSensitive)
{
    EXPECT_EQ(RunOne(MatchAnsiText, "ABC", "abc"), 0);
    EXPECT_EQ(RunOne(MatchAnsiText, "aBc abc", "abc"), 1);
}

TEST(AnsiMatcher, StopsAtTheFirstZeroByte)
{
    EXPECT_EQ(RunOne(MatchAnsiText, std::string("xy\0abc", 6), "abc"), 0);
    EXPECT_EQ(RunOne(MatchAnsiText, std::string("abc\0abc", 7), "abc"), 1);
}

TEST(AnsiMatcher, MatchesHighBytesAsTheirOwnValues)
{
    EXPECT_EQ(RunOne(MatchAnsiText, "caf\xE9 caf\xE9", "caf\xE9"), 2);
    EXPECT_EQ(RunOne(MatchAnsiText, "\x80\x9F\xFF", "\x9F\xFF"), 1);
}

TEST(AnsiMatcher, TextStartingWithAWideUnitCountsNothing)
{
    std::basic_string<WCHAR> units;
    units.push_back(0x263A);
    units.push_back('a');
    SearchRequest request = {};
    request.searchText = units.c_str();
    FoundFile record = {};
    const unsigned char buffer[] = "aaaa\0\0\0";
    EXPECT_EQ(MatchAnsiText(buffer, 4, &request, &record), 1);
    EXPECT_EQ(record.matchCount, 0);
}

TEST(Utf16Matcher, FindsLittleEndianTextWithAndWithoutMark)
{
    EXPECT_EQ(RunOne(MatchUtf16Text, Utf16le("hi"), "hi"), 1);
    EXPECT_EQ(RunOne(MatchUtf16Text, Utf16le("hi", true), "hi"), 1);
    EXPECT_EQ(RunOne(MatchUtf16Text, Utf16le("aaaa"), "aa"), 2);
    EXPECT_EQ(RunOne(MatchUtf16Text, Utf16le("hello hello"), "hello"), 2);
}

TEST(Utf16Matcher, IgnoresBigEndianAndOddOffsets)
{
    EXPECT_EQ(RunOne(MatchUtf16Text, std::string("\0h\0i", 4), "hi"), 0);
    EXPECT_EQ(RunOne(MatchUtf16Text, "x" + Utf16le("hi"), "hi"), 0);
    EXPECT_EQ(RunOne(MatchUtf16Text, "hi hi", "hi"), 0);
}

TEST(Utf16Matcher, StopsAtTheFirstZeroUnit)
{
    std::string content = Utf16le("ab") + std::string(2, '\0') + Utf16le("hi");
    EXPECT_EQ(RunOne(MatchUtf16Text, content, "hi"), 0);
    // An odd-sized file still ends in a zero unit among the trailing zeros.
    EXPECT_EQ(RunOne(MatchUtf16Text, Utf16le("hi") + "h", "hi"), 1);
}

TEST(Utf16Matcher, WidensHighBytesOneToOne)
{
    // The typed byte 0xE9 is the unit 0x00E9; 0x80 stays 0x0080.
    EXPECT_EQ(RunOne(MatchUtf16Text, std::string("\xE9\0\x80\0", 4), "\xE9\x80"), 1);
    EXPECT_EQ(RunOne(MatchUtf16Text, std::string("\xAC\x20", 2), "\x80"), 0);
}

TEST(MatcherTable, FirstMatcherThatFindsTheTextDecides)
{
    TableRun utf16 = RunTable(Utf16le("hi there hi", true), "hi");
    EXPECT_EQ(utf16.decidedBy, 0);
    EXPECT_EQ(utf16.matches, 2);
    EXPECT_EQ(utf16.total, 2);

    TableRun bigEndian = RunTable(std::string("\0h\0i", 4), "hi");
    EXPECT_EQ(bigEndian.matches, 0);

    TableRun nowhere = RunTable("nothing here", "absent");
    EXPECT_EQ(nowhere.decidedBy, -1);
    EXPECT_EQ(nowhere.matches, 0);
    EXPECT_EQ(nowhere.total, 0);
}

TEST(NarrowText, CopiesUnitsBelow256AndReportsWhereItStopped)
{
    std::basic_string<WCHAR> text = Widen("abc");
    char out[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(NarrowText(out, text.c_str(), sizeof out), 3);
    EXPECT_STREQ(out, "abc");

    char tight[2] = {'x', 'x'};
    EXPECT_EQ(NarrowText(tight, text.c_str(), sizeof tight), 2);
    EXPECT_EQ(tight[0], 'a');
    EXPECT_EQ(tight[1], 'b');

    std::basic_string<WCHAR> wide = Widen("ab");
    wide.insert(wide.begin() + 1, static_cast<WCHAR>(0x100));
    char stopped[8] = {};
    EXPECT_EQ(NarrowText(stopped, wide.c_str(), sizeof stopped), -1);
    EXPECT_EQ(stopped[0], 'a');

    EXPECT_EQ(NarrowText(stopped, text.c_str(), 0), 0);
}
