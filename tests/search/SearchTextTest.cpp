// The typed text's forms for each reading, and case folding of text that
// arrives in pieces.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "search/CaseFold.h"
#include "search/SearchText.h"
#include "tests/support/MatcherRun.h"
#include "tests/support/TestFolding.h"

namespace {

struct ReadingCase {
    const char* name;
    std::u16string typed;
    const char* ansi;      // the code page's spelling, nullptr for none
    const char* runs;      // the readings tried, in order: "123456"
    const char* utf8;      // reading 5's bytes, when it runs
};

TEST(SearchText, EachReadingRunsOnlyWhereItCanFindSomethingNew)
{
    const ReadingCase cases[] = {
        {"ASCII", u"needle", "needle", "1236", nullptr},
        {"Latin-1 in 1252", u"caf\u00E9", "caf\xE9", "12356", "caf\xC3\xA9"},
        {"euro in 1252", u"\u20AC5", "\x80" "5", "123456", "\xE2\x82\xAC" "5"},
        {"Cyrillic in 1251", u"\u0434\u0430", "\xE4\xE0", "123456", "\xD0\xB4\xD0\xB0"},
        {"Cyrillic in 1252", u"\u0434\u0430", nullptr, "2456", "\xD0\xB4\xD0\xB0"},
        {"Japanese in 932", u"\u65E5\u672C", "\x93\xFA\x96\x7B", "123456", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"emoji", u"\U0001F600", nullptr, "2456", "\xF0\x9F\x98\x80"},
        {"unpaired surrogate", u"a\xD800", nullptr, "246", nullptr},
        {"empty", u"", "", "", nullptr},
    };
    for (const ReadingCase& c : cases) {
        SCOPED_TRACE(c.name);
        const SearchTextForms forms = Forms(c.typed, c.ansi);
        std::string runs;
        for (int reading = ReadingUtf16; reading <= ReadingUtf16Be; ++reading) {
            if (forms.Runs(reading))
                runs += static_cast<char>('0' + reading);
        }
        EXPECT_EQ(runs, c.runs);
        if (c.utf8 != nullptr) {
            EXPECT_EQ(forms.utf8, c.utf8);
        }
        if (c.ansi != nullptr) {
            ASSERT_EQ(forms.widenedAnsi.size(), std::string(c.ansi).size());
            for (size_t i = 0; i < forms.widenedAnsi.size(); ++i)
                EXPECT_EQ(forms.widenedAnsi[i], static_cast<unsigned char>(c.ansi[i]));
        }
    }
}

TEST(SearchText, EveryReadingHasTheTypeColumnsName)
{
    EXPECT_STREQ(ReadingName(ReadingNone), "");
    EXPECT_STREQ(ReadingName(ReadingUtf16), "UTF-16");
    EXPECT_STREQ(ReadingName(ReadingRtf), "RTF");
    EXPECT_STREQ(ReadingName(ReadingAnsi), "ANSI");
    EXPECT_STREQ(ReadingName(ReadingUtf16Text), "UTF-16");
    EXPECT_STREQ(ReadingName(ReadingUtf8), "UTF-8");
    EXPECT_STREQ(ReadingName(ReadingUtf16Be), "UTF-16 BE");
}

TEST(CaseFold, PiecesFoldExactlyAsTheWholeText)
{
    std::unique_ptr<CaseFolding> folding = TestFolding();
    const std::string utf8Texts[] = {
        "Caf\xC3\xA9 \xC9\x90 \xCE\xB1 \xF0\x9F\x98\x80 x",  // é, ɐ, α, an emoji
        "\xC3\xC3\xA9\xE0\x80\x80\xED\xA0\x80\xFF\xC3",       // cut short, overlong, surrogate, stray, cut at the end
    };
    EXPECT_EQ(FoldedUtf8(*folding, utf8Texts[0]), "CAF\xC3\x89 \xE2\xB1\xAF \xCE\x91 \xF0\x9F\x98\x80 X");
    EXPECT_EQ(FoldedUtf8(*folding, utf8Texts[1]), utf8Texts[1].substr(0, 1) + "\xC3\x89" + utf8Texts[1].substr(3));
    const std::string codePageText = "a\x82\x81\xE9\x82";  // ends on a lead byte
    EXPECT_EQ(FoldedCodePageText(*folding, codePageText), "A\x82\x60\xC9\x82");

    for (const std::string& text : utf8Texts) {
        const std::string whole = FoldedUtf8(*folding, text);
        for (size_t cut = 0; cut <= text.size(); ++cut) {
            SCOPED_TRACE(cut);
            Utf8Folder folder;
            folder.Begin();
            unsigned char out[256];
            size_t length = folder.Fold(*folding, reinterpret_cast<const unsigned char*>(text.data()), cut, out);
            length += folder.Fold(*folding, reinterpret_cast<const unsigned char*>(text.data()) + cut,
                                  text.size() - cut, out + length);
            length += folder.Finish(out + length);
            EXPECT_EQ(std::string(reinterpret_cast<char*>(out), length), whole);
        }
    }
    const std::string whole = FoldedCodePageText(*folding, codePageText);
    for (size_t cut = 0; cut <= codePageText.size(); ++cut) {
        CodePageFolder folder;
        folder.Begin();
        unsigned char out[64];
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(codePageText.data());
        size_t length = folder.Fold(*folding, bytes, cut, out);
        length += folder.Fold(*folding, bytes + cut, codePageText.size() - cut, out + length);
        length += folder.Finish(out + length);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(out), length), whole) << cut;
    }

    const unsigned char units[] = {0xFF, 0x00, 0x03, 0xB1};  // ÿ little-endian, α big-endian
    unsigned char folded[4];
    FoldUnits(*folding, false, units, 1, folded);
    FoldUnits(*folding, true, units + 2, 1, folded + 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(folded), 4), std::string("\x78\x01\x03\x91", 4));
}

}  // namespace
