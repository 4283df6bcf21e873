// The matcher table on one file's bytes: which matcher counts a text, and how often.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "fuzz/WholeFileMatchers.h"
#include "search/ContentMatchers.h"
#include "tests/support/MatcherRun.h"
#include "tests/support/TestFolding.h"

namespace {

// One view alone on the whole file, checked against the same view fed in
// pieces of one, two and three bytes.
long long RunOne(ContentViewIndex view, const std::string& content, const std::string& text)
{
    const long long whole = RunViews(content, text, 1u << view).matches;
    for (size_t piece = 1; piece <= 3; ++piece)
        EXPECT_EQ(RunViews(content, text, 1u << view, piece).matches, whole) << "pieces of " << piece;
    return whole;
}

std::u16string Folded(std::u16string units, const CaseFolding& folding)
{
    for (char16_t& unit : units)
        unit = static_cast<char16_t>(folding.unit[unit]);
    return units;
}

}  // namespace

TEST(AnsiMatcher, CountsWithoutOverlap)
{
    EXPECT_EQ(RunOne(AnsiView, "aaaa", "aa"), 2);
    EXPECT_EQ(RunOne(AnsiView, "aaaaa", "aa"), 2);
    EXPECT_EQ(RunOne(AnsiView, "abcabcab", "abc"), 2);
    EXPECT_EQ(RunOne(AnsiView, "xabcx", "abc"), 1);
    EXPECT_EQ(RunOne(AnsiView, "ab", "abc"), 0);
}

TEST(AnsiMatcher, IsCaseSensitive)
{
    EXPECT_EQ(RunOne(AnsiView, "ABC", "abc"), 0);
    EXPECT_EQ(RunOne(AnsiView, "aBc abc", "abc"), 1);
}

TEST(AnsiMatcher, StopsAtTheFirstZeroByte)
{
    EXPECT_EQ(RunOne(AnsiView, std::string("xy\0abc", 6), "abc"), 0);
    EXPECT_EQ(RunOne(AnsiView, std::string("abc\0abc", 7), "abc"), 1);
}

TEST(AnsiMatcher, MatchesHighBytesAsTheirOwnValues)
{
    EXPECT_EQ(RunOne(AnsiView, "caf\xE9 caf\xE9", "caf\xE9"), 2);
    EXPECT_EQ(RunOne(AnsiView, "\x80\x9F\xFF", "\x9F\xFF"), 1);
}

TEST(AnsiMatcher, TextStartingWithAWideUnitCountsNothing)
{
    std::basic_string<WCHAR> units;
    units.push_back(0x263A);
    units.push_back('a');
    FileScan scan;
    ASSERT_TRUE(scan.Prepare(units.c_str(), 1u << AnsiView));
    scan.BeginFile();
    EXPECT_TRUE(scan.Decided());
    const unsigned char bytes[] = {'a', 'a', 'a', 'a'};
    scan.Feed(bytes, sizeof bytes);
    scan.EndFile();
    EXPECT_EQ(scan.Result(), 0u);
}

TEST(Utf16Matcher, FindsLittleEndianTextWithAndWithoutMark)
{
    EXPECT_EQ(RunOne(Utf16View, Utf16le("hi"), "hi"), 1);
    EXPECT_EQ(RunOne(Utf16View, Utf16le("hi", true), "hi"), 1);
    EXPECT_EQ(RunOne(Utf16View, Utf16le("aaaa"), "aa"), 2);
    EXPECT_EQ(RunOne(Utf16View, Utf16le("hello hello"), "hello"), 2);
}

TEST(Utf16Matcher, IgnoresBigEndianAndOddOffsets)
{
    EXPECT_EQ(RunOne(Utf16View, std::string("\0h\0i", 4), "hi"), 0);
    EXPECT_EQ(RunOne(Utf16View, "x" + Utf16le("hi"), "hi"), 0);
    EXPECT_EQ(RunOne(Utf16View, "hi hi", "hi"), 0);
}

TEST(Utf16Matcher, StopsAtTheFirstZeroUnit)
{
    std::string content = Utf16le("ab") + std::string(2, '\0') + Utf16le("hi");
    EXPECT_EQ(RunOne(Utf16View, content, "hi"), 0);
    // An odd-sized file still ends in a zero unit among the trailing zeros.
    EXPECT_EQ(RunOne(Utf16View, Utf16le("hi") + "h", "hi"), 1);
}

TEST(Utf16Matcher, WidensHighBytesOneToOne)
{
    // The typed byte 0xE9 is the unit 0x00E9; 0x80 stays 0x0080.
    EXPECT_EQ(RunOne(Utf16View, std::string("\xE9\0\x80\0", 4), "\xE9\x80"), 1);
    EXPECT_EQ(RunOne(Utf16View, std::string("\xAC\x20", 2), "\x80"), 0);
}

TEST(MatcherTable, FirstMatcherThatFindsTheTextDecides)
{
    TableRun utf16 = RunTable(Utf16le("hi there hi", true), "hi");
    EXPECT_EQ(utf16.decidedBy, 0);
    EXPECT_EQ(utf16.matches, 2);

    TableRun bigEndian = RunTable(std::string("\0h\0i", 4), "hi");
    EXPECT_EQ(bigEndian.matches, 0);

    TableRun nowhere = RunTable("nothing here", "absent");
    EXPECT_EQ(nowhere.decidedBy, -1);
    EXPECT_EQ(nowhere.matches, 0);
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

// --- Pieces give exactly the whole file's counts ---

namespace {

// The whole-file reference: the file's bytes and three zero bytes.
wholefile::Result WholeFile(const std::string& content, const std::string& text)
{
    const std::string buffer = content + std::string(3, '\0');
    const std::basic_string<WCHAR> units = Widen(text);
    return wholefile::Run(reinterpret_cast<const unsigned char*>(buffer.data()), content.size(), units.c_str());
}

// The file in two pieces split at offset, each in a block of its exact size.
TableRun RunSplit(const std::string& content, const std::string& text, size_t offset)
{
    std::basic_string<WCHAR> units = Widen(text);
    FileScan scan;
    TableRun run;
    if (!scan.Prepare(units.c_str())) {
        ADD_FAILURE() << "no memory for the scan";
        return run;
    }
    scan.BeginFile();
    std::vector<unsigned char> first(content.begin(), content.begin() + static_cast<std::ptrdiff_t>(offset));
    std::vector<unsigned char> second(content.begin() + static_cast<std::ptrdiff_t>(offset), content.end());
    scan.Feed(first.data(), first.size());
    if (!scan.Decided())
        scan.Feed(second.data(), second.size());
    scan.EndFile();
    run.matches = static_cast<long long>(scan.Result(&run.decidedBy));
    return run;
}

}  // namespace

// Every row is searched in pieces of every size from one byte to the whole
// file, and split in two at every offset: the counts and the deciding view
// are those of the whole file.
TEST(FilePieces, EverySplitGivesTheWholeFileCounts)
{
    const std::string nul(1, '\0');
    struct Row {
        const char* name;
        std::string content;
        std::string text;
        int decidedBy;
        long long matches;
    } rows[] = {
        {"8-bit, overlapping candidates", "aaaaaaaaaaaaaaaaaaaaaaaaab", "aaab", 2, 1},
        {"8-bit, a run of one letter", "aaaaaaaaaaa", "aaaa", 2, 2},
        {"UTF-16, a run of one letter", Utf16le("aaaaaaaaaaa"), "aaaa", 0, 2},
        {"8-bit, many short hits", "abababababababababababab", "aba", 2, 6},
        {"8-bit, zero byte ends the text", "abcabc" + nul + "abcabc", "abc", 2, 2},
        {"8-bit, raw path after a backslash", "x\\abc y\\abc \\abc", "\\abc", 2, 3},
        {"UTF-16 even size", Utf16le("hello hello hello", true), "hello", 0, 3},
        {"UTF-16 odd size, last unit from the odd byte", Utf16le("xyxy") + "y", "xyy", 0, 1},
        {"UTF-16 odd size, hit ends on the odd byte", Utf16le("ab ab a") + "b", "ab", 0, 3},
        {"UTF-16 odd size, zero unit at an odd place", "a" + Utf16le("bcbc"), "bc", -1, 0},
        {"UTF-16 zero unit ends it", Utf16le("hi") + nul + nul + Utf16le("hi hi"), "hi", 0, 1},
        {"RTF escapes", "{\\rtf1 caf\\'e9 caf\\'e9 c\\'61f\\'e9}", "caf\xE9", 1, 3},
        {"RTF escape swallowing a zero", "{\\rtf1 \\b ab\\'" + nul + "1ab", "ab", 1, 2},
        {"RTF escape at the end", "{\\rtf1 abab\\'4", "ab\x04", 1, 1},
        {"RTF zero escape writes nothing", "{\\rtf1 ab\\'00ab", "ab", 1, 2},
        {"RTF binary data", "{\\rtf1 a\\bin4 " + nul + "{}\\b{\\bin2 }\\}c", "abc", 1, 1},
        {"RTF control word at the end", "{\\rtf1 ab ab\\par", "ab\n", 1, 1},
        {"RTF control words end at a line break", "{\\rtf1 x\\pa\r\nr y\\li-72\r\n0 z\\tab w", "xr y0 z\tw", 1, 1},
        {"RTF silenced groups", "{\\rtf1 {\\fonttbl{\\f0 ab;}}ab{ab}{\\colortbl ab}", "ab", 1, 2},
        {"RTF line break after the header", "{\\rtf1\r\nab", "ab", 1, 1},
        {"RTF lines joined", "{\\rtf1 foo\r\nbar foo\nbar", "foobar", 1, 2},
        {"plain lines stay apart", "foo\r\nbar foo\nbar", "foobar", -1, 0},
        {"nothing anywhere", "some text, no hit", "zq", -1, 0},
    };
    for (const Row& row : rows) {
        const wholefile::Result whole = WholeFile(row.content, row.text);
        EXPECT_EQ(whole.decidedBy, row.decidedBy) << row.name;
        EXPECT_EQ(static_cast<long long>(whole.matches), row.matches) << row.name;
        for (size_t piece = 1; piece <= row.content.size(); ++piece) {
            const TableRun run = RunTable(row.content, row.text, piece);
            EXPECT_EQ(run.decidedBy, whole.decidedBy) << row.name << ", pieces of " << piece;
            EXPECT_EQ(run.matches, static_cast<long long>(whole.matches)) << row.name << ", pieces of " << piece;
        }
        for (size_t offset = 0; offset <= row.content.size(); ++offset) {
            const TableRun run = RunSplit(row.content, row.text, offset);
            EXPECT_EQ(run.decidedBy, whole.decidedBy) << row.name << ", split at " << offset;
            EXPECT_EQ(run.matches, static_cast<long long>(whole.matches)) << row.name << ", split at " << offset;
        }
    }
}

// Generated files of RTF markup, UTF-16 fragments, zero bytes and plain
// runs, in pieces of random sizes, against the whole-file reference, view by
// view and as a table.
TEST(FilePieces, GeneratedFilesCountAsWholeFiles)
{
    static const char* const parts[] = {
        "ab", "ba", "a", "aaaa", "\\", "{", "}", "\r\n", "\n", "\\par ", "\\'61", "\\'6", "\\'", "\\tab", "\\b0 ",
        "{\\fonttbl ab}", "\\li-12", "\\rdblquote ", " ", "a\0b\0", "\0", "\xE9", "\\'e9",
    };
    static const size_t partLengths[] = {2, 2, 1, 4, 1, 1, 1, 2, 1, 5, 4, 3, 2, 4, 4, 13, 6, 11, 1, 4, 1, 1, 4};
    std::mt19937 random(15);
    const char* texts[] = {"ab", "a", "aba", "aaa", "b\na", "a\tb", "\xE9", "ab\\"};
    for (int round = 0; round < 3000; ++round) {
        std::string content;
        const int count = static_cast<int>(random() % 60);
        for (int i = 0; i < count; ++i) {
            const size_t pick = random() % (sizeof parts / sizeof parts[0]);
            content.append(parts[pick], partLengths[pick]);
        }
        if (round % 4 == 0)
            content = Utf16le(content);
        const std::string text = texts[random() % (sizeof texts / sizeof texts[0])];
        const wholefile::Result whole = WholeFile(content, text);
        const size_t piece = 1 + random() % (content.size() + 1);
        // Texts of the code page's bytes are read by the first three views.
        for (int view = Utf16View; view <= AnsiView; ++view) {
            ASSERT_EQ(RunViews(content, text, 1u << view, piece).matches, static_cast<long long>(whole.counts[view]))
                << "round " << round << ", reading " << view + 1 << " (" << ReadingTable[view].type << ")" << ", pieces of " << piece;
        }
        const TableRun run = RunTable(content, text, piece);
        ASSERT_EQ(run.decidedBy, whole.decidedBy) << "round " << round;
        ASSERT_EQ(run.matches, static_cast<long long>(whole.matches)) << "round " << round;
    }
}

// Once every view that could decide has ended, the rest of the file is not
// needed: a zero byte and a zero unit near the start end a binary file.
TEST(FilePieces, BinaryFilesAreDecidedEarly)
{
    const std::basic_string<WCHAR> text = Widen("needle");
    FileScan scan;
    ASSERT_TRUE(scan.Prepare(text.c_str()));
    struct Case {
        const char* name;
        std::string head;
        bool decided;
        long long matches;
    } cases[] = {
        {"zero unit and zero byte", std::string("MZ\x90\0\0\0needle", 12), true, 0},
        {"hit before the zero byte", std::string("needle\0\0", 8), true, 1},
        {"zero byte only at an odd offset", std::string("a\0needle", 8), false, 0},
        {"escape swallows the zero", std::string("{\\rtf1\\'\0\0", 10), false, 0},
        {"no escape outside RTF", std::string("\\b\\'\0\0", 6), true, 0},
        {"plain text", "needle and more", false, 1},
    };
    for (const Case& c : cases) {
        scan.BeginFile();
        scan.Feed(reinterpret_cast<const unsigned char*>(c.head.data()), c.head.size());
        EXPECT_EQ(scan.Decided(), c.decided) << c.name;
        scan.EndFile();
        EXPECT_TRUE(scan.Decided()) << c.name;
        EXPECT_EQ(static_cast<long long>(scan.Result()), c.matches) << c.name;
    }
}

// Every reading of a typed text, in pieces of every size, exactly and
// through folding, against the whole-file reference; and which reading
// decides a file in each encoding.
TEST(Readings, EachEncodingIsFoundByItsReadingInPiecesAsInTheWholeFile)
{
    const std::unique_ptr<CaseFolding> folding = TestFolding();
    struct Text {
        const char* name;
        std::u16string typed;
        const char* ansi;  // the code page's spelling; nullptr for none
    } const texts[] = {
        {"ASCII", u"needle", "needle"},
        {"Latin-1", u"caf\u00E9", "caf\xE9"},
        {"euro", u"\u20AC5", "\x80" "5"},
        {"Greek outside the code page", u"\u03B1\u03B2", nullptr},
        {"double-byte", u"\uFF41x", "\x82\x81x"},
        {"emoji", u"\U0001F600!", nullptr},
    };
    for (const Text& text : texts) {
        const SearchTextForms forms = Forms(text.typed, text.ansi);
        const std::u16string upper = Folded(text.typed, *folding);
        std::string upperUtf8;
        EncodeUtf8(upper, &upperUtf8);
        std::string upperAnsi = text.ansi != nullptr ? wholefile::FoldCodePage(text.ansi, folding.get()) : "";

        // Each file holds the text twice in one encoding, once in its
        // capitals; the reading that must find it, exactly and ignoring case.
        struct File {
            const char* encoding;
            std::string content;
            int exactReading, anyCaseReading;
            long long exact, anyCase;
        };
        const bool hasAnsi = text.ansi != nullptr;
        const bool latin = hasAnsi && forms.typed == forms.widenedAnsi;
        const int littleEndian = latin ? ReadingUtf16 : ReadingUtf16Text;
        std::vector<File> files = {
            {"UTF-8", "x " + forms.utf8 + " " + upperUtf8 + " " + forms.utf8, ReadingUtf8, ReadingUtf8, 2, 3},
            // A mark names the reading, ASCII text included.
            {"UTF-8 with mark", "\xEF\xBB\xBFx " + forms.utf8 + " " + upperUtf8 + " " + forms.utf8, ReadingUtf8,
             ReadingUtf8, 2, 3},
            {"UTF-16 LE", Utf16Bytes(u"\uFEFFx " + text.typed + u" " + upper + u" " + text.typed, false), littleEndian,
             littleEndian, 2, 3},
            {"UTF-16 LE without mark", Utf16Bytes(u"x " + text.typed + u" " + upper + u" " + text.typed, false),
             littleEndian, littleEndian, 2, 3},
            {"UTF-16 BE", Utf16Bytes(u"\uFEFFx " + text.typed + u" " + upper + u" " + text.typed, true), ReadingUtf16Be,
             ReadingUtf16Be, 2, 3},
        };
        if (hasAnsi) {
            // The RTF reading takes a document's bytes in code page 1252 when
            // it names none: it finds the text only where 1252 spells it so,
            // and no other reading looks into a document.
            std::u16string in1252;
            for (unsigned char byte : std::string(text.ansi))
                in1252.push_back(static_cast<char16_t>(RtfCodePage1252.units[byte]));
            const bool byRtf = in1252 == text.typed;
            files.push_back({"code page", std::string("x ") + text.ansi + " " + upperAnsi + " " + text.ansi,
                             ReadingAnsi, ReadingAnsi, 2, 3});
            files.push_back({"RTF", std::string("{\\rtf1 x ") + text.ansi + "\\par " + text.ansi + "}",
                             byRtf ? ReadingRtf : ReadingNone, byRtf ? ReadingRtf : ReadingNone, byRtf ? 2 : 0,
                             byRtf ? 2 : 0});
        }
        for (const File& file : files) {
            SCOPED_TRACE(std::string(text.name) + " in " + file.encoding);
            // An ASCII text in UTF-8 is the code page's text again.
            const bool asAnsi = std::string(file.encoding) == "UTF-8" && !forms.Runs(ReadingUtf8);
            const std::string buffer = file.content + std::string(3, '\0');
            const CaseFolding* const folds[2] = {nullptr, folding.get()};
            for (const CaseFolding* fold : folds) {
                const wholefile::Readings whole = wholefile::RunReadings(
                    reinterpret_cast<const unsigned char*>(buffer.data()), file.content.size(), forms, fold);
                const int reading = fold == nullptr ? file.exactReading : file.anyCaseReading;
                // A text without letters is its own capitals.
                const long long count = fold != nullptr || upper == text.typed ? file.anyCase : file.exact;
                if (!asAnsi) {
                    EXPECT_EQ(whole.decidedBy + 1, reading) << (fold ? "any case" : "exact");
                    EXPECT_EQ(static_cast<long long>(whole.matches), count)
                        << (fold ? "any case" : "exact");
                }
                for (size_t piece = 1; piece <= file.content.size(); ++piece) {
                    const TableRun run = RunReadings(file.content, forms, fold, piece);
                    ASSERT_EQ(run.decidedBy, whole.decidedBy) << "pieces of " << piece;
                    ASSERT_EQ(run.matches, static_cast<long long>(whole.matches)) << "pieces of " << piece;
                }
            }
        }
    }
}

// Which readings a file gets from its first bytes: a document is read as RTF
// alone and nothing else is, a mark names its encoding, and UTF-16 counts
// only in a file with a zero byte in its first 64 KiB. Whole and in pieces.
TEST(Readings, EachFileGetsTheReadingsItsFirstBytesAllow)
{
    const std::string styled = "{\\rtf1{\\stylesheet{\\s1 heading 1;}}\\s1 Intro\\par}";
    struct Row {
        const char* name;
        std::string content;
        std::u16string typed;
        const char* ansi;
        int reading;
        long long count;
    } const rows[] = {
        {"a style sheet's word in a document", styled, u"heading", "heading", ReadingNone, 0},
        {"a document's text", styled, u"Intro", "Intro", ReadingRtf, 1},
        {"C source with a word after a backslash", "printf(\"\\name %s\\n\", name); /* \\name */", u"name", "name",
         ReadingAnsi, 3},
        {"a unit that is two ASCII letters, in ASCII text", "int x; // in in main", u"\u6E69", nullptr, ReadingNone, 0},
        {"that unit in UTF-16 text", Utf16Bytes(u"x \u6E69", false), u"\u6E69", nullptr, ReadingUtf16Text, 1},
        {"UTF-16 whose only zero byte lies past 64 KiB", Utf16Bytes(std::u16string(33000, u'\u4E2D') + u" ", false),
         u"\u4E2D", nullptr, ReadingNone, 0},
        {"UTF-16 with a zero byte within 64 KiB", Utf16Bytes(std::u16string(30000, u'\u4E2D') + u" ", false),
         u"\u4E2D", nullptr, ReadingUtf16Text, 30000},
        {"a little-endian mark and ASCII text", "\xFF\xFEneedle", u"needle", "needle", ReadingNone, 0},
        {"a big-endian mark", "\xFE\xFF" + Utf16Bytes(u"needle", true), u"needle", "needle", ReadingUtf16Be, 1},
        {"a UTF-8 mark and ASCII text", "\xEF\xBB\xBFneedle", u"needle", "needle", ReadingUtf8, 1},
        {"a UTF-8 mark and a character beyond ASCII", "\xEF\xBB\xBF\xC3\xA9t\xC3\xA9", u"\u00E9", "\xE9", ReadingUtf8,
         2},
        {"shorter than a document's mark", "{\\rt", u"rt", "rt", ReadingAnsi, 1},
    };
    for (const Row& row : rows) {
        const SearchTextForms forms = Forms(row.typed, row.ansi);
        const std::string buffer = row.content + std::string(3, '\0');
        const wholefile::Readings whole = wholefile::RunReadings(
            reinterpret_cast<const unsigned char*>(buffer.data()), row.content.size(), forms, nullptr);
        EXPECT_EQ(whole.decidedBy + 1, row.reading) << row.name;
        EXPECT_EQ(static_cast<long long>(whole.matches), row.count) << row.name;
        for (size_t piece : {size_t{1}, size_t{2}, size_t{4}, size_t{4099}, size_t{0}}) {
            const TableRun run = RunReadings(row.content, forms, nullptr, piece);
            EXPECT_EQ(run.decidedBy + 1, row.reading) << row.name << ", pieces of " << piece;
            EXPECT_EQ(run.matches, row.count) << row.name << ", pieces of " << piece;
        }
    }
}

// Files of several scan blocks: stretches so dense with the text that the
// views scan them on their own, sparse stretches where they look only
// around the shared scan's hits, occurrences across block and piece ends,
// zero bytes now and then, characters beyond ASCII here and there (a folded
// UTF-8 view folds such blocks first). Every view alone counts as in the
// whole file.
TEST(Readings, LongFilesCountAsWholeFilesWhereverTheSharedScanHelps)
{
    const std::unique_ptr<CaseFolding> folding = TestFolding();
    struct Text {
        std::u16string typed;
        const char* ansi;
    } const texts[] = {{u"needle", "needle"}, {u"ss", "ss"}, {u"\u00E9ab", "\xE9" "ab"}, {u"\u20AC5", "\x80" "5"},
                       {u"\u03B1\u03B2", nullptr}};
    std::mt19937 random(16);
    for (const Text& text : texts) {
        const SearchTextForms forms = Forms(text.typed, text.ansi);
        const std::u16string upper = Folded(text.typed, *folding);
        for (int encoding = 0; encoding < 4; ++encoding) {
            if (encoding == 3 && text.ansi == nullptr)
                continue;
            const auto encode = [&](const std::u16string& units) {
                std::string bytes;
                if (encoding == 0)
                    EncodeUtf8(units, &bytes);
                else if (encoding < 3)
                    bytes = Utf16Bytes(units, encoding == 2);
                else
                    bytes = units == text.typed ? text.ansi : wholefile::FoldCodePage(text.ansi, folding.get());
                return bytes;
            };
            std::string content;
            // A character cut short at the end of the first block, which
            // ends nothing the next block may continue.
            if (encoding == 0)
                content = std::string(FileScan::ScanBlock - 3, 'x') + "\xC3\xA9\xC3" + "ab";
            while (content.size() < 3 * FileScan::ScanBlock) {
                const unsigned pick = random() % 40;
                if (pick < 14)
                    content += encode(text.typed);
                else if (pick < 20)
                    content += encode(upper);
                else if (pick < 21)
                    for (int i = 0; i < 2100; ++i)
                        content += encode(text.typed);
                else if (pick < 22 && content.size() > 2 * FileScan::ScanBlock)
                    content.push_back('\0');
                else if (pick < 23 && encoding != 3 && content.size() > 2 * FileScan::ScanBlock)
                    content += encode(random() % 2 ? u"\u00E9" : u"\u017F");
                else
                    content += encode(u"x ");
            }
            const std::string buffer = content + std::string(3, '\0');
            const size_t pieces[] = {5, FileScan::ScanBlock - 1, FileScan::ScanBlock + 3, content.size()};
            const CaseFolding* const folds[2] = {nullptr, folding.get()};
            for (const CaseFolding* fold : folds) {
                const wholefile::Readings whole = wholefile::RunReadings(
                    reinterpret_cast<const unsigned char*>(buffer.data()), content.size(), forms, fold);
                for (int view = 0; view < ContentViewCount; ++view) {
                    if (view == RtfView)
                        continue;
                    FileScan scan;
                    ASSERT_TRUE(scan.Prepare(forms, fold, 1u << view));
                    for (size_t piece : pieces) {
                        ASSERT_EQ(FeedInPieces(&scan, content, piece).matches,
                                  static_cast<long long>(whole.counts[view]))
                            << "reading " << view + 1 << " (" << ReadingTable[view].type << "), encoding " << encoding << (fold ? ", any case" : "")
                            << ", pieces of " << piece;
                    }
                }
            }
        }
    }
}
