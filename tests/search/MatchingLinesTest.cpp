// The matching lines of a file: which lines hold the occurrences, their
// text as each reading decodes it, where the occurrences lie, and counts
// that add up to the search's count.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fuzz/TestCodePages.h"
#include "search/MatchingLines.h"
#include "tests/support/MatcherRun.h"
#include "tests/support/TestFolding.h"

namespace {

// The reported lines as "NUMBER:TEXT|" with each occurrence in brackets,
// "..." where text was cut, and the line's count in parentheses where it
// is more than the places shown.
struct Seen {
    std::string lines;
    unsigned long long counted = 0;
    unsigned long long lastNumber = 0;
    // When set: every occurrence marked reads as this text, folded so.
    const std::u16string* marks = nullptr;
    const CaseFolding* marksFolding = nullptr;
};

std::string Utf8(const std::u16string& units)
{
    std::string bytes;
    return EncodeUtf8(units, &bytes) ? bytes : std::string("(unpaired surrogate)");
}

void Collect(void* context, const MatchingLine& line)
{
    Seen* seen = static_cast<Seen*>(context);
    EXPECT_GT(line.number, seen->lastNumber) << "lines come in order";
    seen->lastNumber = line.number;
    std::u16string marked = line.cutBefore ? u"..." : u"";
    std::size_t at = 0;
    for (std::size_t k = 0; k < line.hitCount; ++k) {
        const LineHit& hit = line.hits[k];
        EXPECT_TRUE(at <= hit.begin && hit.begin <= hit.end && hit.end <= line.length) << "line " << line.number;
        if (!(at <= hit.begin && hit.begin <= hit.end && hit.end <= line.length))
            return;
        marked.append(line.text + at, hit.begin - at);
        marked += u"[";
        std::u16string occurrence(line.text + hit.begin, hit.end - hit.begin);
        if (seen->marks != nullptr) {
            std::u16string folded = occurrence;
            for (char16_t& unit : folded)
                unit = seen->marksFolding != nullptr ? seen->marksFolding->unit[unit] : unit;
            EXPECT_EQ(Utf8(folded), Utf8(*seen->marks)) << "line " << line.number;
        }
        marked += occurrence;
        marked += u"]";
        at = hit.end;
    }
    marked.append(line.text + at, line.length - at);
    if (line.cutAfter)
        marked += u"...";
    seen->lines += std::to_string(line.number) + ":" + Utf8(marked);
    if (line.count != line.hitCount)
        seen->lines += "(" + std::to_string(line.count) + ")";
    seen->lines += "|";
    seen->counted += line.count;
}

// The file in pieces of pieceSize bytes (0: whole), each in a block of its
// exact size so that AddressSanitizer catches a read past it.
Seen RunLines(int reading, const std::string& content, const SearchTextForms& forms, const CaseFolding* folding,
              std::size_t pieceSize, RtfCodePages* codePages = nullptr, unsigned ansiCodePage = 1252,
              const std::u16string* marks = nullptr)
{
    std::unique_ptr<MatchingLines> lines(new MatchingLines);
    Seen seen;
    seen.marks = marks;
    seen.marksFolding = folding;
    if (!lines->Prepare(reading, forms, folding, codePages, ansiCodePage)) {
        seen.lines = "(nothing to look for)";
        return seen;
    }
    lines->BeginFile(Collect, &seen);
    const std::size_t step = pieceSize == 0 ? content.size() + 1 : pieceSize;
    for (std::size_t at = 0; at < content.size() && !lines->Ended(); at += step) {
        const std::size_t size = content.size() - at < step ? content.size() - at : step;
        std::vector<unsigned char> piece(content.begin() + static_cast<std::ptrdiff_t>(at),
                                         content.begin() + static_cast<std::ptrdiff_t>(at + size));
        lines->Feed(piece.data(), piece.size());
    }
    lines->EndFile();
    EXPECT_EQ(lines->Count(), seen.counted) << "the lines' counts add up to the file's";
    return seen;
}

}  // namespace

// Each reading's lines: breaks of every kind, several occurrences on a
// line, decoding, folding, and where the reading's text ends. Whole and in
// pieces of one to three bytes.
TEST(MatchingLines, EachReadingShowsItsLinesWithTheOccurrencesMarked)
{
    const std::unique_ptr<CaseFolding> folding = TestFolding();
    testpages::TestCodePages pages;
    const std::string nul(1, '\0');
    struct Row {
        const char* name;
        int reading;
        std::string content;
        std::u16string typed;
        const char* ansi;
        bool anyCase;
        const char* expected;
        unsigned ansiCodePage;
    } const rows[] = {
        {"UTF-8, two on a line, CR LF", ReadingUtf8, "caf\xC3\xA9 x caf\xC3\xA9\r\nnone\r\ncaf\xC3\xA9", u"caf\u00E9",
         "caf\xE9", false, "1:[caf\xC3\xA9] x [caf\xC3\xA9]|3:[caf\xC3\xA9]|", 1252},
        {"UTF-8 with its mark, CR alone", ReadingUtf8, "\xEF\xBB\xBF\xC3\xA9t\xC3\xA9\rx\r\xC3\xA9", u"\u00E9", "\xE9",
         false, "1:[\xC3\xA9]t[\xC3\xA9]|3:[\xC3\xA9]|", 1252},
        {"UTF-8, a capital with more bytes", ReadingUtf8, "\xC9\x90 x\n\xE2\xB1\xAF", u"\u0250", nullptr, true,
         "1:[\xC9\x90] x|2:[\xE2\xB1\xAF]|", 1252},
        {"UTF-8, a small letter whose capital is ASCII", ReadingUtf8, "S \xC5\xBF s", u"\u017F", nullptr, true,
         "1:[S] [\xC5\xBF] [s]|", 1252},
        {"UTF-8, broken bytes shown as replacements", ReadingUtf8, "\xC3x\xC3\xA9\xFF", u"\u00E9", "\xE9", false,
         "1:\xEF\xBF\xBDx[\xC3\xA9]\xEF\xBF\xBD|", 1252},
        {"UTF-16 with its mark, LF", ReadingUtf16, Utf16Bytes(u"\uFEFFab\nxx ab ab\n", false), u"ab", "ab", false,
         "1:[ab]|2:xx [ab] [ab]|", 1252},
        {"UTF-16 ends at a zero unit", ReadingUtf16, Utf16Bytes(u"ab\rab", false) + nul + nul + Utf16Bytes(u"ab", false),
         u"ab", "ab", false, "1:[ab]|2:[ab]|", 1252},
        {"UTF-16, a last odd byte", ReadingUtf16, Utf16Bytes(u"x\na", false) + "b", u"ab", "ab", false, "2:[ab]|", 1252},
        {"UTF-16 BE, CR LF", ReadingUtf16Be, Utf16Bytes(u"\uFEFF\u03B1\u03B2\r\n\u03B1\u03B2\u03B1\u03B2", true),
         u"\u03B1\u03B2", nullptr, false, "1:[\xCE\xB1\xCE\xB2]|2:[\xCE\xB1\xCE\xB2][\xCE\xB1\xCE\xB2]|", 1252},
        {"UTF-16 BE, any case", ReadingUtf16Be, Utf16Bytes(u"\u0391\u03B2\n\u03B1\u03B2", true), u"\u03B1\u03B2",
         nullptr, true, "1:[\xCE\x91\xCE\xB2]|2:[\xCE\xB1\xCE\xB2]|", 1252},
        {"code page 1252", ReadingAnsi, "caf\xE9\r\ncaf\xE9" "caf\xE9\r\n", u"caf\u00E9", "caf\xE9", false,
         "1:[caf\xC3\xA9]|2:[caf\xC3\xA9][caf\xC3\xA9]|", 1252},
        {"code page, any case", ReadingAnsi, "CAF\xC9 Caf\xE9", u"caf\u00E9", "caf\xE9", true,
         "1:[CAF\xC3\x89] [Caf\xC3\xA9]|", 1252},
        {"double-byte code page", ReadingAnsi, "\x82\xA0\x82\xA2\r\n\x82\xA2", u"\u3044", "\x82\xA2", false,
         "1:\xE3\x81\x82[\xE3\x81\x84]|2:[\xE3\x81\x84]|", 932},
        {"double-byte text found from a trail byte: the marks stay apart", ReadingAnsi, "\x97\x97\x97\x97\x97\x97",
         u"x", "\x97\x97\x97", false, "1:[\xE6\x9E\x97\xE6\x9E\x97][\xE6\x9E\x97]|", 932},
        {"no overlap, a run of one letter", ReadingAnsi, "aaaaa\naaa", u"aa", "aa", false, "1:[aa][aa]a|2:[aa]a|", 1252},
        {"a text with a line break counts where it ends", ReadingAnsi, "xb\nay\nb\na", u"b\na", "b\na", false,
         "2:[a]y|4:[a]|", 1252},
        {"a zero byte ends the text", ReadingAnsi, "ab\nab" + nul + "ab", u"ab", "ab", false, "1:[ab]|2:[ab]|", 1252},
        {"RTF: paragraphs and lines, silenced groups", ReadingRtf,
         "{\\rtf1\\ansi tide\\par high tide\\line low\r\n tide{\\fonttbl tide}\\par caf\\'e9}", u"tide", "tide", false,
         "1:[tide]|2:high [tide]|3:low [tide]|", 1252},
        {"RTF, any case and escapes", ReadingRtf, "{\\rtf1 CAF\\'c9\\par caf\\'e9 x}", u"caf\u00E9", "caf\xE9", true,
         "1:[CAF\xC3\x89]|2:[caf\xC3\xA9] x|", 1252},
        {"RTF: a link's target is a line after the text", ReadingRtf,
         "{\\rtf1 see {\\field{\\*\\fldinst HYPERLINK \"http://tide.example\"}{\\fldrslt the tide}}\\par end}", u"tide",
         "tide", false, "1:see the [tide]|3:http://[tide].example|", 1252},
    };
    for (const Row& row : rows) {
        const SearchTextForms forms = Forms(row.typed, row.ansi);
        const CaseFolding* fold = row.anyCase ? folding.get() : nullptr;
        const Seen whole = RunLines(row.reading, row.content, forms, fold, 0, &pages, row.ansiCodePage);
        EXPECT_EQ(whole.lines, row.expected) << row.name;
        for (std::size_t piece = 1; piece <= 3; ++piece)
            EXPECT_EQ(RunLines(row.reading, row.content, forms, fold, piece, &pages, row.ansiCodePage).lines,
                      whole.lines)
                << row.name << ", pieces of " << piece;
    }
}

// Lines longer than the room for one: the text kept is a window around the
// first occurrence, and every occurrence still counts.
TEST(MatchingLines, LongLinesKeepAWindowAroundTheFirstOccurrence)
{
    const SearchTextForms forms = Forms(u"needle", "needle");
    const std::size_t keep = MatchingLines::LineKeep;
    struct Row {
        const char* name;
        std::string content;
        unsigned long long count;  // of line 1
        bool cutBefore, cutAfter;
    } const rows[] = {
        {"first occurrence far along", std::string(3 * keep, 'x') + "needle" + std::string(100, 'y') + "\nneedle", 1,
         true, false},
        {"occurrences all along", std::string() + [] {
             std::string many;
             for (int i = 0; i < 20000; ++i)
                 many += "needle ";
             return many;
         }() + "\nneedle", 20000, false, true},
        {"one at each end", "needle" + std::string(3 * keep, 'x') + "needle\rneedle", 2, false, true},
        {"one past the middle of the room", std::string(keep - keep / 8, 'x') + "needle" + std::string(keep, 'y'), 1,
         true, true},
    };
    for (const Row& row : rows) {
        struct Lines {
            std::vector<MatchingLine> reported;
            std::vector<std::u16string> texts;
            std::vector<std::vector<LineHit>> hits;
        } seen;
        std::unique_ptr<MatchingLines> lines(new MatchingLines);
        ASSERT_TRUE(lines->Prepare(ReadingAnsi, forms, nullptr, nullptr, 1252));
        lines->BeginFile(
            [](void* context, const MatchingLine& line) {
                Lines* into = static_cast<Lines*>(context);
                into->reported.push_back(line);
                into->texts.emplace_back(line.text, line.length);
                into->hits.emplace_back(line.hits, line.hits + line.hitCount);
            },
            &seen);
        for (std::size_t at = 0; at < row.content.size(); at += 4099)
            lines->Feed(reinterpret_cast<const unsigned char*>(row.content.data()) + at,
                        std::min<std::size_t>(4099, row.content.size() - at));
        lines->EndFile();
        ASSERT_FALSE(seen.reported.empty()) << row.name;
        const MatchingLine& first = seen.reported[0];
        EXPECT_EQ(first.number, 1u) << row.name;
        EXPECT_EQ(first.count, row.count) << row.name;
        EXPECT_EQ(first.cutBefore, row.cutBefore) << row.name;
        EXPECT_EQ(first.cutAfter, row.cutAfter) << row.name;
        EXPECT_LE(first.length, keep) << row.name;
        EXPECT_LE(first.hitCount, MatchingLines::HitKeep) << row.name;
        ASSERT_GE(first.hitCount, 1u) << row.name;
        const LineHit hit = seen.hits[0][0];
        EXPECT_EQ(seen.texts[0].substr(hit.begin, hit.end - hit.begin), u"needle") << row.name;
        // Text on both sides of the first occurrence where the line has it.
        EXPECT_GE(hit.begin, std::min<std::size_t>(keep / 8, row.content.find("needle"))) << row.name;
        EXPECT_EQ(lines->Count(), row.count + (seen.reported.size() - 1)) << row.name;
    }
}

// Generated files in every encoding, breaks of every kind, the text and its
// capitals: the lines of the reading that decided the file count exactly
// what the view table counts, in pieces of any size, and show the same
// lines whatever the pieces.
TEST(MatchingLines, CountsAddUpToTheSearchCountOnGeneratedFiles)
{
    const std::unique_ptr<CaseFolding> folding = TestFolding();
    struct Text {
        std::u16string typed;
        const char* ansi;
        std::u16string upper;
    } const texts[] = {
        {u"ab", "ab", u"AB"}, {u"aba", "aba", u"ABA"}, {u"aa", "aa", u"AA"}, {u"caf\u00E9", "caf\xE9", u"CAF\u00C9"},
        {u"\u03B1\u03B2", nullptr, u"\u0391\u03B2"}, {u"\u0250x", nullptr, u"\u2C6FX"}, {u"b\na", "b\na", u"B\nA"},
    };
    static const char16_t* const others[] = {u"a", u"b", u" ", u"\r", u"\n", u"\r\n", u"\u00E9", u"\u017F",
                                             u"\n\r", u"\u03B1"};
    int compared[ReadingCount + 1] = {};
    std::mt19937 random(25);
    for (int round = 0; round < 1500; ++round) {
        const Text& text = texts[random() % (sizeof texts / sizeof texts[0])];
        std::u16string body;
        const int parts = static_cast<int>(random() % 40);
        for (int i = 0; i < parts; ++i) {
            const unsigned pick = random() % 10;
            body += pick < 3 ? text.typed : pick < 4 ? text.upper : others[random() % (sizeof others / sizeof others[0])];
        }
        // The encodings the readings decode; the code page and RTF only
        // where 1252 spells the text.
        const int encoding = static_cast<int>(random() % 6);
        std::string content;
        if (encoding == 0) {
            EncodeUtf8(body, &content);
        } else if (encoding == 1 || encoding == 2) {
            content = Utf16Bytes((encoding == 1 ? u"\uFEFF" : u"") + body, false);
        } else if (encoding == 3) {
            content = Utf16Bytes(u"\uFEFF" + body, true);
        } else {
            // Characters beyond 1252's first 256 stand as question marks.
            std::string bytes;
            for (char16_t unit : body) {
                if (unit >= 256)
                    unit = u'?';
                if (encoding == 5 && unit == '\n')
                    bytes += "\\line ";
                else if (encoding == 5 && unit == '\r')
                    bytes += "\\par\r\n";
                else if (encoding == 5 && unit >= 128)
                    bytes += "\\'" + std::string(1, "0123456789abcdef"[unit >> 4]) + "0123456789abcdef"[unit & 15];
                else
                    bytes.push_back(static_cast<char>(unit));
            }
            content = encoding == 5 ? "{\\rtf1\\ansi " + bytes + "}" : bytes;
        }
        const SearchTextForms forms = Forms(text.typed, text.ansi);
        const CaseFolding* const folds[2] = {nullptr, folding.get()};
        for (const CaseFolding* fold : folds) {
            const TableRun search = RunReadings(content, forms, fold, 1 + random() % 64);
            if (search.decidedBy < 0)
                continue;
            const int reading = search.decidedBy + 1;
            // An occurrence within one line reads as the text.
            std::u16string marks;
            for (char16_t unit : text.typed)
                marks.push_back(fold != nullptr ? static_cast<char16_t>(fold->unit[unit]) : unit);
            const bool oneLine = text.typed.find(u'\n') == std::u16string::npos;
            const Seen whole = RunLines(reading, content, forms, fold, 0, nullptr, 1252, oneLine ? &marks : nullptr);
            ASSERT_EQ(whole.counted, static_cast<unsigned long long>(search.matches))
                << "round " << round << ", reading " << reading << (fold ? ", any case" : "") << "\n" << whole.lines;
            const std::size_t piece = 1 + random() % (content.size() + 1);
            ASSERT_EQ(RunLines(reading, content, forms, fold, piece).lines, whole.lines)
                << "round " << round << ", reading " << reading << ", pieces of " << piece;
            compared[reading] += 1;
        }
    }
    for (int reading = 1; reading <= ReadingCount; ++reading)
        EXPECT_GT(compared[reading], 20) << "reading " << reading << " (" << ReadingName(reading) << ") compared";
}
