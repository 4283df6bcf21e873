// The RTF reader and its plain-text destination, rule by rule, and the RTF
// matcher in the whole matcher table. Runs natively under ASan and UBSan and
// under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "fuzz/RtfReferenceExtractor.h"
#include "fuzz/TestCodePages.h"
#include "fuzz/WholeFileMatchers.h"
#include "search/ContentMatchers.h"
#include "search/RtfTextExtractor.h"
#include "tests/search/RtfDocuments.h"
#include "tests/support/MatcherRun.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TROVIK_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TROVIK_TEST_ASAN 1
#endif
#ifdef TROVIK_TEST_ASAN
// The allocation-failure tests need a null from a huge calloc, not a report.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1";
}
#endif

namespace {

// The input in a heap block of exactly its size plus three zero bytes, so
// that a read past them is caught by AddressSanitizer.
std::vector<unsigned char> WithZeros(const std::string& input)
{
    std::vector<unsigned char> bytes(input.size() + 3, 0);  // no spare capacity
    std::copy(input.begin(), input.end(), bytes.begin());
    return bytes;
}

testpages::TestCodePages& Pages()
{
    static testpages::TestCodePages pages;
    return pages;
}

// Units as text for comparisons: a unit that code page 1252 spells becomes
// its byte, any other <U+XXXX>.
std::string Spelled(const std::u16string& units)
{
    std::string text;
    for (char16_t unit : units) {
        int byte = -1;
        for (int b = 0; b < 256 && byte < 0; ++b) {
            if (RtfCodePage1252.units[b] == unit)
                byte = b;
        }
        if (byte >= 0) {
            text += static_cast<char>(byte);
        } else {
            char name[16];
            std::snprintf(name, sizeof name, "<U+%04X>", static_cast<unsigned>(unit));
            text += name;
        }
    }
    return text;
}

// The whole output buffer of capacity units.
std::u16string OutputUnits(const std::string& input, size_t capacity)
{
    std::vector<unsigned char> in = WithZeros(input);
    std::vector<std::uint16_t> out(capacity, 0);
    ExtractRtfText(in.data(), input.size(), out.data(), capacity, &Pages());
    return std::u16string(out.begin(), out.end());
}

std::string OutputBuffer(const std::string& input, size_t capacity)
{
    return Spelled(OutputUnits(input, capacity));
}

// The whole output buffer when the input (without its trailing zeros) reaches
// the reader in pieces of the given sizes, repeated, each in a block of its
// own exact size, and then ends.
std::string OutputBufferInPieces(const std::string& input, size_t capacity, const std::vector<size_t>& sizes)
{
    std::vector<std::uint16_t> out(capacity, 0);
    TextSink sink = {out.data(), capacity};
    RtfPlainText plain;
    RtfGroupState outermost = {};
    BeginPlainText(&plain, WriteSinkUnits, &sink, &Pages(), &outermost);
    RtfReader reader = {};
    reader.current = &outermost;
    size_t at = 0;
    for (size_t i = 0; at < input.size() && reader.readState != RtfReadEnded; ++i) {
        const size_t size = std::min(sizes[i % sizes.size()], input.size() - at);
        std::vector<unsigned char> piece(input.begin() + static_cast<std::ptrdiff_t>(at),
                                         input.begin() + static_cast<std::ptrdiff_t>(at + size));
        const size_t read = FeedRtfReader(&reader, piece.data(), piece.size());
        EXPECT_TRUE(read == size || reader.readState == RtfReadEnded);
        at += size;
    }
    EndRtfInput(&reader);
    EndPlainText(&plain);
    EXPECT_EQ(reader.readState, RtfReadEnded);
    EXPECT_EQ(reader.current, &outermost);
    return Spelled(std::u16string(out.begin(), out.end()));
}

// The plain text as the matchers read it: up to the first zero unit.
std::string Plain(const std::string& input, size_t capacity = 0)
{
    std::u16string buffer = OutputUnits(input, capacity != 0 ? capacity : input.size() + 1);
    return Spelled(buffer.substr(0, buffer.find(u'\0')));
}

// The output buffer of the literal model of the rules.
std::string ReferenceBuffer(const std::string& input, size_t capacity, size_t* maxDepth = nullptr)
{
    std::vector<unsigned char> in = WithZeros(input);
    std::vector<std::uint16_t> out(capacity, 0);
    rtfref::Extract(in.data(), input.size(), out.data(), capacity, &Pages(), maxDepth);
    return Spelled(std::u16string(out.begin(), out.end()));
}

std::string Bytes(const char* text, size_t length)
{
    return std::string(text, length);
}

// Records every event of a reader as text: "(" and ")" for groups opening
// and closing, "\code:parameter" for control events, the byte otherwise.
struct EventLog {
    std::string text;
};

void LogChar(int byte, RtfGroupState* state)
{
    EventLog* log = static_cast<EventLog*>(state->charContext);
    if (byte == 0)
        log->text += "<end>";
    else
        log->text += static_cast<char>(byte);
}

void LogControl(int code, std::int32_t parameter, RtfGroupState* state)
{
    EventLog* log = static_cast<EventLog*>(state->controlContext);
    log->text += "\\" + std::to_string(code) + ":" + std::to_string(parameter) + " ";
}

void LogGroup(int direction, RtfGroupState* other, RtfGroupState* state)
{
    EventLog* log = static_cast<EventLog*>(state->groupContext);
    if (direction == -1) {
        // The new state is already a copy of the current one, not yet linked.
        EXPECT_EQ(other->charHandler, state->charHandler);
        EXPECT_EQ(other->enclosing, state->enclosing);
        log->text += "(";
    } else {
        EXPECT_EQ(direction, 0);
        EXPECT_EQ(other, state->enclosing);
        log->text += ")";
    }
}

std::string Events(const std::string& input)
{
    std::vector<unsigned char> in = WithZeros(input);
    EventLog log;
    RtfGroupState outermost = {LogChar, &log, LogControl, &log, LogGroup, &log, nullptr, 1, 0, false, false};
    RtfReader reader = {};
    reader.cursor = in.data();
    reader.current = &outermost;
    RunRtfReader(&reader, input.size());
    EXPECT_EQ(reader.current, &outermost);
    EXPECT_EQ(reader.depth, 0u);
    return log.text;
}

// UTF-8 (well formed) as UTF-16 units.
std::basic_string<WCHAR> FromUtf8(const std::string& text)
{
    std::basic_string<WCHAR> units;
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        std::uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k)
            c = c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        if (c >= 0x10000) {
            units.push_back(static_cast<WCHAR>(0xD800 + ((c - 0x10000) >> 10)));
            units.push_back(static_cast<WCHAR>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<WCHAR>(c));
        }
        i += length;
    }
    return units;
}

std::vector<std::string> SplitTexts(const char* list)
{
    std::vector<std::string> texts;
    std::string rest = list;
    for (size_t bar; (bar = rest.find('|')) != std::string::npos; rest.erase(0, bar + 1))
        texts.push_back(rest.substr(0, bar));
    texts.push_back(rest);
    return texts;
}

std::string Utf16be(const std::string& text)
{
    std::string bytes;
    for (char c : text) {
        bytes.push_back('\0');
        bytes.push_back(c);
    }
    return bytes;
}


// The plain text's units, up to the first zero unit.
std::vector<std::uint16_t> PlainUnits(const std::string& input)
{
    const std::u16string buffer = OutputUnits(input, input.size() + 1);
    return std::vector<std::uint16_t>(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(buffer.find(u'\0')));
}

// The occurrences of pattern that a counting window counts in the input's
// plain text, fed whole (pieceSize 0) or in pieces, each in a block of its
// exact size so that a read past it is caught.
unsigned long long WindowCount(RtfTextCounter* counter, const std::string& input,
                               const std::vector<std::uint16_t>& pattern, size_t pieceSize)
{
    counter->Begin(pattern.data(), pattern.size(), nullptr, &Pages());
    const size_t step = pieceSize == 0 ? std::max<size_t>(input.size(), 1) : pieceSize;
    std::vector<unsigned char> piece;
    for (size_t at = 0; at < input.size(); at += step) {
        const size_t size = std::min(step, input.size() - at);
        if (piece.size() != size)
            piece = std::vector<unsigned char>(size);
        std::copy(input.begin() + static_cast<std::ptrdiff_t>(at),
                  input.begin() + static_cast<std::ptrdiff_t>(at + size), piece.begin());
        counter->Feed(piece.data(), size);
    }
    counter->End();
    return counter->Count();
}

// Every path an input's text may take reads it alike: the general reader
// whole (ExtractRtfText) and in pieces, and the counting window whole and in
// pieces, on bytes (where the plain-text loop reads) for short patterns and
// on units for long ones. The window counts every unit of the text, every
// word of the input and the whole text as often as the text holds them.
void ExpectEveryPathReadsAlike(const std::string& input, const std::string& what)
{
    const std::string whole = OutputBuffer(input, input.size() + 1);
    for (size_t size : {1, 2, 3, 7, 16})
        EXPECT_EQ(OutputBufferInPieces(input, input.size() + 1, {size}), whole) << what << " in pieces of " << size;
    const std::vector<std::uint16_t> text = PlainUnits(input);
    std::set<std::vector<std::uint16_t>> patterns;
    for (std::uint16_t unit : text)
        patterns.insert({unit});
    for (size_t at = 0; at < input.size();) {
        size_t length = 0;
        while (at + length < input.size() && std::isalpha(static_cast<unsigned char>(input[at + length])))
            ++length;
        if (length != 0)
            patterns.insert(std::vector<std::uint16_t>(input.begin() + static_cast<std::ptrdiff_t>(at),
                                                       input.begin() + static_cast<std::ptrdiff_t>(at + length)));
        at += length + 1;
    }
    if (!text.empty())
        patterns.insert(text);
    // One counter for every pattern, as a search keeps one for all its files.
    static RtfTextCounter counter;
    for (const std::vector<std::uint16_t>& pattern : patterns) {
        const unsigned long long expected = wholefile::CountIn(text.data(), text.size(), pattern.data(), pattern.size());
        for (size_t pieceSize : {0, 1, 5, 32}) {
            EXPECT_EQ(WindowCount(&counter, input, pattern, pieceSize), expected)
                << what << ": \"" << Spelled(std::u16string(pattern.begin(), pattern.end())) << "\" in pieces of "
                << pieceSize;
        }
    }
}

// Input bytes for a failure message: line breaks and other controls escaped.
std::string Shown(const std::string& input)
{
    std::string shown;
    for (char c : input.size() > 200 ? input.substr(0, 200) + "..." : input) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20) {
            char name[8];
            std::snprintf(name, sizeof name, "<%02X>", byte);
            shown += name;
        } else {
            shown += c;
        }
    }
    return shown;
}

// A font table of count fonts, the last two with character set 204.
std::string ManyFonts(int count)
{
    std::string table = "{\\fonttbl";
    for (int font = 0; font < count; ++font)
        table += "{\\f" + std::to_string(font) + (font >= count - 2 ? "\\fcharset204" : "") + " F;}";
    return table + "}";
}

// --- What a reader sees: the plain text of each input ---

struct PlainRow {
    const char* rule;
    std::string input;
    std::string plain;  // as Spelled spells it
};

const std::vector<PlainRow>& PlainRows()
{
    static const std::string run = [] {
        std::string letters;
        for (int i = 0; i < 1000; ++i)
            letters += static_cast<char>('a' + i % 26);
        return letters;
    }();
    static const std::vector<PlainRow> rows = {
        // Ordinary bytes and line breaks.
        {"line breaks are no text", "abc\r\ndef", "abcdef"},
        {"line breaks are no text", "one\ntwo\rthree\r\n\r\nfour", "onetwothreefour"},
        {"other bytes are text", "caf\xE9 \x80\xFF", "caf\xE9 \x80\xFF"},
        {"other bytes are text", "tab\there", "tab\there"},
        {"only the very first byte can be a line break", "\r\nabc", "\rabc"},
        {"only the very first byte can be a line break", "\n\nabc", "\nabc"},
        {"only the very first byte can be a line break", "a\r\n", "a"},
        {"only the very first byte can be a line break", "{\r\nx}", "x"},
        {"long runs are copied whole", run, run},
        {"long runs are copied whole", run + "\r\n" + run, run + run},
        {"long runs are copied whole", run + "\\par " + run, run + "\n" + run},
        {"long runs are copied whole", "{\\fonttbl " + run + "}" + run, run},

        // Control words: what a reader sees between words and in punctuation.
        {"paragraph, tab and quote", "{\\rtf1\\ansi Hello\\par World}", "Hello\nWorld"},
        {"paragraph, tab and quote", "A\\tab B", "A\tB"},
        {"paragraph, tab and quote", "\\rdblquote", "\""},
        {"marks", "a\\line b\\row c\\sect d\\page e", "a\nb\nc\nd\ne"},
        {"marks", "Kelp\\cell Oyster\\cell\\row", "Kelp\tOyster\t\n"},
        {"punctuation", "12\\~km north\\_east co\\-op", "12 km north-east coop"},
        {"punctuation", "Don\\rquote t \\lquote x\\rquote  \\ldblquote y\\rdblquote", "Don't 'x' \"y\""},
        {"punctuation", "a\\endash b\\emdash c\\bullet d", "a-b-cd"},
        {"silenced groups write no marks", "{\\stylesheet\\line\\cell\\~\\_\\rquote\\emdash}x", "x"},
        {"other keywords write nothing", "\\pard\\plain\\b\\i\\fs24\\li720\\fi-360\\ri0\\tx720\\super x", "x"},
        {"other keywords write nothing", "\\unknownword x", "x"},
        {"names are exact and case-sensitive", "\\PAR x", "x"},
        {"names are exact and case-sensitive", "\\parx y", "y"},
        {"names are exact and case-sensitive", "\\Tab x", "x"},
        {"names are exact and case-sensitive", "\\par1 x", "\nx"},
        {"a line break ends a name; the letters after it are text", "\\pa\r\nr", "r"},
        {"a line break ends a name; the letters after it are text", "{\\loch\nJuniper}", "Juniper"},
        {"a line break ends a name; the letters after it are text", "\\t\na\rb x", "ab x"},
        {"a line break ends a name; the letters after it are text", "\\par\r\nx", "\nx"},
        {"a line break ends a control word's letters: the digits after it are text", "{\\loch\n210}", "210"},
        {"a line break ends a control word's number: the digits after it are text", "\\fs24\r\n36 pt", "36 pt"},
        {"a backslash before a line break is a paragraph mark; the bytes after it are text", "\\\r\npar x",
         "\npar x"},
        {"a backslash before a line break is a paragraph mark", "one\\\ntwo\\\r\nthree\\\rfour",
         "one\ntwo\nthree\nfour"},
        {"a backslash before a line break is a paragraph mark", "a\\\r\n12 b{\\b\\\n}c", "a\n12 b\nc"},
        {"one white-space byte delimits a control word", "\\par  x", "\n x"},
        {"one white-space byte delimits a control word", "\\par\tx", "\nx"},
        {"one white-space byte delimits a control word", "\\par\x0Bx", "\nx"},
        {"one white-space byte delimits a control word", "\\par\x0Cx", "\nx"},
        {"160 is no white space", "\\par\xA0x", "\n\xA0x"},
        {"a line break is a control word's delimiter; a space after it is text", "\\par\r\n x", "\n x"},
        {"one white-space byte delimits a control word", "\\li720 x", "x"},
        {"one white-space byte delimits a control word", "\\li720  x", " x"},
        {"an empty control word takes only its delimiter", "\\;", ";"},
        {"an empty control word takes only its delimiter", "a\\ b", "ab"},
        {"an empty control word takes only its delimiter", "a\\  b", "a b"},
        {"an empty control word takes only its delimiter", "abc\\", "abc"},
        {"an empty control word takes only its delimiter", "a\\\xE9", "a\xE9"},
        {"an empty control word still takes a numeric parameter", "\\5x", "x"},
        {"an empty control word still takes a numeric parameter", "\\5 \\'zz", "\x05"},
        {"escaped braces and backslash write themselves", "a\\{b\\}c\\\\d", "a{b}c\\d"},
        {"escaped braces and backslash write themselves", "\\{x\\}", "{x}"},
        {"escaped braces and backslash write themselves", "C:\\\\Users\\\\x and \\{y\\}", "C:\\Users\\x and {y}"},
        {"silenced groups write no escaped markup", "{\\fonttbl\\{\\}\\\\}z", "z"},
        {"control symbols take no parameter and no delimiter", "\\*5", "5"},
        {"control symbols take no parameter and no delimiter", "\\~ x", "  x"},
        {"control symbols take no parameter and no delimiter", "\\-3 x", "3 x"},
        {"control symbols take no parameter and no delimiter", "\\:\\_\\|a", "-a"},

        // Numeric parameters.
        {"the parameter is kept until set again", "\\fs24\\'zzQ", "\x18Q"},
        {"the parameter is kept until set again (-720 ends in 0x30)", "\\li-720\\'zz", "0"},
        {"bold and italic default the parameter to one", "\\b\\'zz", "\x01"},
        {"parameters wrap modulo 2^32", "\\li-2147483649\\'zz", "\xFF"},
        {"long names and numbers are consumed whole", "\\" + std::string(5000, 'q') + " x", "x"},
        {"long names and numbers are consumed whole", "\\par" + std::string(2000, 'x') + " y", "y"},
        {"long names and numbers are consumed whole",
         "\\" + std::string(1023, 'a') + " x\\" + std::string(1024, 'b') + " y", "xy"},
        {"long names and numbers are consumed whole", "\\li" + std::string(5000, '7') + " x", "x"},
        {"long names and numbers are consumed whole", "\\li" + std::string(3000, '-') + "x", "x"},

        // Hexadecimal escapes.
        {"an escape writes one byte", "\\'e9", "\xE9"},
        {"an escape writes one byte", "\\'E9\\'41", "\xE9" "A"},
        {"one digit, the space taken as the second byte", "\\'4 x", "\x04x"},
        {"no delimiter after a control symbol", "\\'41 x", "A x"},
        {"line breaks inside an escape are skipped", "\\'\r\n4\r\n1\r\nB", "AB"},
        {"an escape of zero writes nothing: the text goes on", "a\\'00b", "ab"},
        {"an escape takes a closing brace: the group stays open, silenced", "{\\fonttbl\\'4}x}y", "y"},
        {"an escape takes the next two bytes whatever they are", "\\'4\\par", "\x04par"},

        // Groups.
        {"font and colour tables are silenced", "{\\fonttbl{\\f0\\fswiss Arial;}}Text", "Text"},
        {"font and colour tables are silenced", "{\\colortbl;\\red255\\green0\\blue0;}X", "X"},
        {"font and colour tables are silenced", "{a\\fonttbl b{c}d}e", "ae"},
        {"font and colour tables are silenced", "{\\fonttbl\\par\\tab\\'41\\rdblquote}", ""},
        {"silencing ends with its group, inner groups inherit it", "{{\\colortbl x}y}z", "yz"},
        {"silencing ends with its group, inner groups inherit it", "{\\fonttbl{{{x}}}y}z", "z"},
        {"a font table outside any group silences the rest", "ab\\fonttbl cd{ef}\\par", "ab"},
        {"destinations no reader sees", "{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}}x", "x"},
        {"destinations no reader sees",
         "{\\listtable a}{\\listoverridetable b}{\\revtbl c}{\\rsidtbl d}{\\pict e}{\\objdata f}x", "x"},
        {"destinations no reader sees", "{\\sp g}{\\nonesttables h}{\\fldinst i}{\\xmlnstbl j}{\\themedata k}x", "x"},
        {"destinations no reader sees", "{\\colorschememapping l}{\\latentstyles m}{\\datastore n}x", "x"},
        {"a group that begins with \\* is silenced", "{\\*\\generator Foo;}{\\*\\unknown{x}y}{\\* z}v", "v"},
        {"a field result is shown after \\*; a link's target follows the text",
         "{\\field{\\*\\fldinst HYPERLINK \"u\"}{\\fldrslt link}}", "link\nu"},
        {"a field result is shown after \\*", "{\\field{\\*\\fldinst PAGE}{\\*\\fldrslt{\\*\\listtag0}7}}", "7"},
        {"headers, footers and footnotes are shown",
         "{\\header Top}{\\footer Bottom}{\\*\\footnote Note{\\b !}}", "TopBottomNote!"},
        {"only a group's first token, and only the word right after \\*, count",
         "{a\\*\\generator b}{\\b\\* c}{\\*\\b\\footnote d}", "ab c"},
        {"a footnote inside a silenced group stays silent", "{\\info{\\*\\footnote e}}f", "f"},
        {"\\* outside any group", "\\*\\generator g", "g"},
        {"unbalanced braces are tolerated", "a}b", "ab"},
        {"unbalanced braces are tolerated", "{a", "a"},
        {"unbalanced braces are tolerated", "}}{{x", "x"},

        // Letters by number: the fallbacks after them (\ucN, kept per group)
        // are skipped, each a byte of text, an escape, or a control word or
        // symbol; a brace ends them.
        {"letters by number", "\\u1055?\\u1088?x", "<U+041F><U+0440>x"},
        {"letters by number", "\\uc0\\u1084\\u1080 x", "<U+043C><U+0438>x"},
        {"letters by number", "\\uc2\\u963\\'3f\\'3fa\\u945??b", "<U+03C3>a<U+03B1>b"},
        {"letters by number", "\\u-30050?\\u-1?", "<U+8A9E><U+FFFF>"},
        {"letters by number (as 1252 spells U+201C and U+201D)", "\\u8220\\ldblquote x\\u8221\\par y", "\x93x\x94y"},
        {"\\ucN ends with its group", "{\\uc3 a}\\u233??", "a\xE9?"},
        {"a brace ends the fallbacks", "{\\uc2\\u233?}bc", "\xE9" "bc"},
        {"line breaks are no fallback", "\\u233\r\n?", "\xE9"},
        {"U+0000 is not written; \\uc below 0 is 0", "\\u0?x\\uc-1\\u97b", "xab"},
        {"silenced; 65536 is U+0000", "{\\fonttbl\\u233?}\\u65536?", ""},

        // \binN is followed by N raw bytes, skipped whatever they hold.
        {"binary data is skipped", Bytes("a{\\pict\\bin6 \0}{\\\r\n}b", 21), "ab"},
        {"binary data is skipped", Bytes("a\\bin3 \r\n\0b", 11), "ab"},
        {"a line break is the number's delimiter: the bytes after it are data", "a\\bin3\r\nxyzb", "azb"},
        {"binary data is skipped", "a\\bin0 b\\bin-2 c\\bin d", "abcd"},
        {"without a parameter of its own nothing is skipped", "\\li2\\bin x", "x"},
        {"binary data is skipped", "a\\bin2147483647 b", "a"},
        {"a count that wraps to a negative one skips nothing", "a\\bin2147483648 b", "ab"},

        // \'xx and plain bytes are in the document's code page; a double-byte
        // code page joins a lead and a trail byte, escaped or not.
        {"code pages", "\\'e9\\'80", "\xE9\x80"},
        {"code pages", "\\ansicpg1251 \\'cf\\'f0\xE8", "<U+041F><U+0440><U+0438>"},
        {"code pages", "\\ansicpg1252 \\'cf", "\xCF"},
        {"a code page without a table is 1252", "\\ansicpg437 \\'cf", "\xCF"},
        {"code pages", "\\ansicpg932 \\'93\\'fa\x96\\'7b\\'8c\xEA", "<U+65E5><U+672C><U+8A9E>"},
        {"code pages", "\\ansicpg932 a\\'82\\'a0b\xB1", "a<U+3042>b<U+FF71>"},
        {"code pages", "\\ansicpg932\\uc2\\u26085\\'93\\'fa!", "<U+65E5>!"},
        {"a new code page drops a waiting lead byte", "\\ansicpg932 \\'93\\ansicpg1251 \\'cf", "<U+041F>"},

        // Nested tables read like the outer ones.
        {"nested cells and rows write what cells and rows write",
         "\\pard\\intbl A\\nestcell Deep\\nestcell{\\*\\nesttableprops\\trowd\\nestrow}after\\cell Outer\\cell\\row",
         "A\tDeep\t\nafter\tOuter\t\n"},
        {"nested table properties are read like the body after \\*", "{\\*\\nesttableprops Cell text\\nestcell}x",
         "Cell text\tx"},

        // Text and escapes are read in the code page of the font in force
        // where the font table gives the font one of its own.
        {"a font's character set names its code page",
         "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fnil\\fcharset128 MS Mincho;}}"
         "\\f0 caf\\'e9 {\\f1 \\'93\\'fa\x96\\'7b}\\'e9}",
         "caf\xE9 <U+65E5><U+672C>\xE9"},
        {"a font's character set names its code page",
         "{\\fonttbl{\\f0\\fcharset238 Arial CE;}}\\f0 \\'e1rv\\'edzt\\'fbr\\'f5 \xFB", "\xE1rv\xEDzt<U+0171>r<U+0151> <U+0171>"},
        {"raw bytes are read in the font's code page too", "{\\fonttbl{\\f0\\fcharset204 R;}}{\\f0 \xCF\xF0\xE8}\xCF",
         "<U+041F><U+0440><U+0438>\xCF"},
        {"without \\fN the default font is in force; \\plain returns to it",
         "\\deff1{\\fonttbl{\\f0 A;}{\\f1\\fcharset204 B;}}\\'cf{\\f0 \\'cf}{\\f0\\plain\\'cf}\\f0\\'cf\\plain\\'cf",
         "<U+041F>\xCF<U+041F>\xCF<U+041F>"},
        {"\\cpgN names a font's code page, whatever its character set",
         "{\\fonttbl{\\f0\\cpg1251\\fcharset0 A;}{\\f1\\fcharset0\\cpg1251 B;}}\\f0\\'cf\\f1\\'cf", "<U+041F><U+041F>"},
        {"character sets 0, 1 and 2 leave the document's code page in force",
         "\\ansicpg1251{\\fonttbl{\\f0\\fcharset0 A;}{\\f1\\fcharset1 B;}{\\f2\\fcharset2 Symbol;}}\\f0\\'cf\\f1\\'cf\\f2\\'cf",
         "<U+041F><U+041F><U+041F>"},
        {"a font whose code page has no table reads in the document's", "{\\fonttbl{\\f0\\fcharset77 Mac;}}\\f0\\'e9",
         "\xE9"},
        {"a group's end returns to the font around it", "{\\fonttbl{\\f1\\fcharset204 B;}}{\\f1\\'cf}\\'cf",
         "<U+041F>\xCF"},
        {"a change of code page drops a waiting lead byte",
         "{\\fonttbl{\\f1\\fcharset128 M;}}\\f1\\'93{\\f0\\'fa}\\'93\\'fa", "\xFA<U+65E5>"},
        {"only the font table gives fonts a code page", "\\f1\\fcharset204\\'cf", "\xCF"},
        {"the font table keeps the first 1,024 fonts", ManyFonts(1025) + "\\f1023\\'cf\\f1024\\'cf", "<U+041F>\xCF"},

        // A link's target is appended after the text, each after a line break.
        {"a link's target follows the text",
         "See {\\field{\\*\\fldinst HYPERLINK \"https://example.org/tides\"}{\\fldrslt tide tables}} now",
         "See tide tables now\nhttps://example.org/tides"},
        {"an unquoted target ends at a space", "{\\field{\\*\\fldinst{ HYPERLINK http://a.example/x \\\\o \"tip\"}}"
         "{\\fldrslt a}}b", "ab\nhttp://a.example/x"},
        {"HYPERLINK \\l names no target", "{\\field{\\*\\fldinst HYPERLINK \\\\l \"mark\"}{\\fldrslt go}}", "go"},
        {"targets follow in document order; a field's name is read in any case",
         "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt A}}{\\field{\\*\\fldinst hyperlink \"y\"}{\\fldrslt B}}",
         "AB\nx\ny"},
        {"other fields name no target",
         "{\\field{\\*\\fldinst HYPERLINKS \"x\"}{\\fldrslt A}}{\\field{\\*\\fldinst PAGE \"y\"}{\\fldrslt B}}", "AB"},
        {"a field no reader sees keeps no target", "{\\info{\\field{\\*\\fldinst HYPERLINK \"hidden\"}}}x", "x"},
        {"a target is read in the code page in force, with escapes and letters by number",
         "{\\field{\\*\\fldinst HYPERLINK \"caf\\'e9\\u233?\xE9\"}{\\fldrslt c}}", "c\ncaf\xE9\xE9\xE9"},
        {"an instruction without \\* is read too", "{\\field{\\fldinst HYPERLINK z}{\\fldrslt c}}", "c\nz"},
        {"an instruction outside any group silences the rest", "a\\fldinst HYPERLINK x", "a"},
    };
    return rows;
}

// --- The reader's events for each input ---

struct EventRow {
    const char* rule;
    std::string input;
    const char* events;  // as Events writes them
};

const EventRow kEventRows[] = {
    {"a line break ends a control word: the digits after it are text", "\\li\r\n720 x", "\\253:0 720 x<end>"},
    {"a parameter is a sign and digits", "\\li-720", "\\253:-720 <end>"},
    {"a parameter is a sign and digits", "\\li1-2", "\\253:1 <end>"},
    {"a parameter is a sign and digits", "\\li-", "\\253:0 <end>"},
    {"a parameter is a sign and digits", "\\li--5x", "\\253:0 x<end>"},
    {"a parameter is a sign and digits", "\\li5-x", "\\253:5 x<end>"},
    {"a parameter is a sign and digits", "\\li007 x", "\\253:7 x<end>"},
    {"a parameter is a sign and digits", "\\u233?", "\\492:233 ?<end>"},
    {"a line break inside a number ends the word", "\\li12\r\n34 x", "\\253:12 34 x<end>"},
    {"a line break inside a number ends the word", "\\li-\n5 x", "\\253:0 5 x<end>"},
    {"a line break inside a number ends the word", "\\li5\r\n-3x", "\\253:5 -3x<end>"},
    {"a backslash before a line break is a paragraph mark", "a\\\r\nb\\\n", "a\\668:0 b\\667:0 <end>"},
    {"the parameter is kept until set again", "\\fs24\\par\\'zzQ", "\\421:24 \\237:24 \\491:24 Q<end>"},
    {"bold and italic default the parameter to one", "\\fs24\\b\\i0\\i\\b3",
     "\\421:24 \\411:1 \\422:0 \\422:1 \\411:3 <end>"},
    {"the parameter starts at zero", "\\'zz", "\\491:0 <end>"},
    {"parameters wrap modulo 2^32", "\\li4294967297", "\\253:1 <end>"},
    {"parameters wrap modulo 2^32", "\\li2147483648", "\\253:-2147483648 <end>"},
    {"parameters wrap modulo 2^32", "\\li-2147483649", "\\253:2147483647 <end>"},
    {"parameters wrap modulo 2^32", "\\li99999999999999999999", "\\253:1661992959 <end>"},
    {"parameters wrap modulo 2^32", "\\li-99999999999999999999", "\\253:-1661992959 <end>"},
    {"an escape takes the next two bytes whatever they are", "\\'{{{x", "\\491:0 (x)<end>"},
    {"an escape at the end reads the trailing zeros", "\\li7\\'", "\\253:7 \\491:7 <end>"},
    {"unbalanced braces are tolerated", "}}{{x", "((x))<end>"},
    {"group events reach the current group handler", "{\\b x}{y", "(\\411:1 x)(y)<end>"},
    {"group events reach the current group handler", "{{a}b", "((a)b)<end>"},
    {"a token takes its name and one delimiter only", "\\par  x", "\\237:0  x<end>"},
    {"a token takes its name and one delimiter only", "\\par;x", "\\237:0 ;x<end>"},
};

// --- The whole output buffer for a capacity ---

struct BufferRow {
    const char* rule;
    std::string input;
    size_t capacity;
    std::string buffer;  // as Spelled spells it, zeros included
};

const BufferRow kBufferRows[] = {
    {"the parameter starts at zero", "\\'zzA", 3, Bytes("A\0\0", 3)},
    {"an escape of zero writes nothing: the text goes on", "a\\'00b", 4, Bytes("ab\0\0", 4)},
    {"an escape at the end reads the trailing zeros", "ab\\'", 4, Bytes("ab\0\0", 4)},
    {"an escape at the end reads the trailing zeros", "ab\\'4", 4, Bytes("ab\x04\0", 4)},
    {"a silenced outermost group drops the terminator: the zero fill ends the text", "ab\\fonttbl cd", 6,
     Bytes("ab\0\0\0\0", 6)},
    {"the sink cuts at capacity - 1", "abcdef", 4, Bytes("abc\0", 4)},
    {"the sink cuts at capacity - 1", "abcdef", 1, Bytes("\0", 1)},
    {"the sink cuts at capacity - 1", "abcdef", 7, Bytes("abcdef\0", 7)},
    {"the sink cuts at capacity - 1", "ab\\par", 3, Bytes("ab\0", 3)},
    {"the sink cuts at capacity - 1", "ab\\par cd", 4, Bytes("ab\n\0", 4)},
};

}  // namespace

TEST(RtfText, ReadsWhatAReaderSeesOnEveryPath)
{
    for (const PlainRow& row : PlainRows()) {
        EXPECT_EQ(Plain(row.input), row.plain) << row.rule << ": " << Shown(row.input);
        ExpectEveryPathReadsAlike(row.input, std::string(row.rule) + ": " + Shown(row.input));
    }
}

TEST(RtfReader, SendsTheEventsOfEachToken)
{
    for (const EventRow& row : kEventRows)
        EXPECT_EQ(Events(row.input), row.events) << row.rule << ": " << Shown(row.input);
    EXPECT_EQ(Events("\\li" + std::string(5000, '9') + " x").substr(0, 5), "\\253:");
}

TEST(RtfText, OutputBufferHoldsTheTextAndTheTerminator)
{
    for (const BufferRow& row : kBufferRows) {
        EXPECT_EQ(OutputBuffer(row.input, row.capacity), row.buffer)
            << row.rule << ": " << Shown(row.input) << " in " << row.capacity;
    }
    std::string run(100, 'r');
    for (size_t capacity = 1; capacity < 60; ++capacity)
        EXPECT_EQ(OutputBuffer(run + "{x}" + run, capacity), ReferenceBuffer(run + "{x}" + run, capacity));
}

// Every row of the keyword table, where a keyword may stand (with and without
// a number, at a group's start, after \*, in a silenced group, as a fallback,
// before a line break, after a long run), reads as the literal model reads it
// and alike on every path.
TEST(RtfKeywords, EveryRowReadsAlikeOnEveryPath)
{
    const std::string tail = " and then the text of a paragraph, long enough to be read in blocks";
    const std::string longRun(300, 'q');
    for (const RtfKeyword& row : RtfKeywordTable) {
        const std::string token = std::string("\\") + row.name;
        const std::string documents[] = {
            "{\\rtf1 one" + token + " two" + token + "1 three" + token + "-2four" + token + "\r\nfive}" + tail,
            "{" + token + " inner words}outer" + tail,
            "{\\*" + token + " marked words}after" + tail,
            "{\\fonttbl" + token + " hidden}shown" + tail,
            "\\uc2\\u233" + token + token + " fallback" + tail,
            "{" + longRun + token + " x}" + tail,
        };
        for (const std::string& document : documents) {
            EXPECT_EQ(OutputBuffer(document, document.size() + 1), ReferenceBuffer(document, document.size() + 1))
                << Shown(document);
            ExpectEveryPathReadsAlike(document, Shown(document));
        }
    }
}

TEST(RtfText, HexEscapeSwallowsAZeroByteAndReadingGoesOn)
{
    const std::string tail(40, 'z');
    const std::string input = Bytes("a\\'\0" "4", 5) + "1b" + tail;
    const std::string expected = "a1b" + tail + std::string(1, '\0');
    EXPECT_EQ(OutputBuffer(input, input.size() + 1).substr(0, expected.size()), expected);
    EXPECT_EQ(OutputBuffer(input, input.size() + 1), ReferenceBuffer(input, input.size() + 1));
    const std::string twoZeros = Bytes("\\'\0\0", 4) + tail + "\\par" + tail;
    EXPECT_EQ(OutputBuffer(twoZeros, 100), ReferenceBuffer(twoZeros, 100));
}

// Link targets are kept up to RtfMaxLinkTargets units with their line
// breaks: the first that does not fit is dropped, and every one after it.
TEST(RtfText, LinkTargetsAreKeptUpToTheirBound)
{
    // Targets of 1,000 units, each named by its number.
    const auto name = [](size_t link) {
        char number[8];
        std::snprintf(number, sizeof number, "%03u", static_cast<unsigned>(link));
        return number + std::string(997, 't');
    };
    const size_t kept = RtfMaxLinkTargets / (1 + name(0).size());
    std::string input;
    std::string expected;
    std::string targets;
    for (size_t link = 0; link < kept + 5; ++link) {
        input += "{\\field{\\*\\fldinst HYPERLINK " + name(link) + "}{\\fldrslt x}}";
        expected += "x";
        if (link < kept)
            targets += "\n" + name(link);
    }
    input += "{\\field{\\*\\fldinst HYPERLINK short}{\\fldrslt y}}";
    expected += "y" + targets;
    EXPECT_EQ(Plain(input), expected);
    EXPECT_EQ(OutputBuffer(input, input.size() + 1), ReferenceBuffer(input, input.size() + 1));
    static RtfTextCounter counter;
    const std::string last = "\n" + name(kept - 1);
    const std::string dropped = "\n" + name(kept);
    for (size_t pieceSize : {0, 7}) {
        EXPECT_EQ(WindowCount(&counter, input, std::vector<std::uint16_t>(last.begin(), last.end()), pieceSize), 1u);
        EXPECT_EQ(WindowCount(&counter, input, std::vector<std::uint16_t>(dropped.begin(), dropped.end()), pieceSize),
                  0u);
        EXPECT_EQ(WindowCount(&counter, input, {'\n', 's', 'h'}, pieceSize), 0u);
    }
}

// Memory is bounded whatever the nesting; within the cap the output is exact.
TEST(RtfText, DeepNestingWithinTheCapIsExact)
{
    const size_t depth = RtfMaxGroupDepth;
    std::string input = std::string(depth - 1, '{') + "{\\fonttbl x}y" + std::string(depth - 1, '}') + "z";
    size_t maxDepth = 0;
    std::string reference = ReferenceBuffer(input, input.size() + 1, &maxDepth);
    EXPECT_EQ(maxDepth, depth);
    EXPECT_EQ(OutputBuffer(input, input.size() + 1), reference);
    EXPECT_EQ(Plain(input), "yz");

    std::string exact = std::string(depth - 1, '{') + "a{\\colortbl b}c" + std::string(depth - 2, '}') + "d";
    EXPECT_EQ(OutputBuffer(exact, exact.size() + 1), ReferenceBuffer(exact, exact.size() + 1));
    EXPECT_EQ(Plain(exact), "acd");
}

TEST(RtfText, GroupsBeyondTheCapAreCountedSoBracesBalance)
{
    const size_t depth = RtfMaxGroupDepth + 1000;
    EXPECT_EQ(Plain(std::string(depth, '{') + "abc" + std::string(depth, '}') + "def"), "abcdef");
    // Groups beyond the cap share the deepest state: a table silenced there
    // silences its siblings beyond the cap too (an unbounded reader would give "yvw"),
    // but the deepest real group is whole again once they have all closed.
    std::string input = std::string(RtfMaxGroupDepth, '{') + "{{\\fonttbl x}y}v" +
                        std::string(RtfMaxGroupDepth, '}') + "w";
    EXPECT_EQ(Plain(input), "vw");
    // Unclosed groups beyond the cap are closed at the end.
    EXPECT_EQ(Plain(std::string(depth, '{') + "x"), "x");
    EXPECT_EQ(Plain(std::string(1 << 20, '{') + "deep" + std::string(1 << 19, '}') + "er"), "deeper");
}

// --- The sink ---

TEST(RtfText, SinkSlotsAreNotLimitedTo32Bits)
{
    std::uint16_t out[8] = {};
    TextSink sink = {out, (static_cast<size_t>(1) << 32) + 5};
    if (sizeof(size_t) < 8)
        sink.slotsLeft = 0xFFFFFFF0u;
    const size_t before = sink.slotsLeft;
    RtfPlainText plain;
    RtfGroupState state = {};
    BeginPlainText(&plain, WriteSinkUnits, &sink, nullptr, &state);
    PlainTextChar('a', &state);
    PlainTextControl(RtfPar, 0, &state);
    EXPECT_EQ(sink.slotsLeft, before - 2);
    EXPECT_EQ(sink.writePosition, out + 2);
    EXPECT_EQ(out[0], 'a');
    EXPECT_EQ(out[1], '\n');
}

// --- The keyword table ---

TEST(RtfKeywords, TableIsSortedByUnsignedBytes)
{
    for (size_t i = 1; i < RtfKeywordCount; ++i) {
        std::string previous = RtfKeywordTable[i - 1].name;
        std::string name = RtfKeywordTable[i].name;
        EXPECT_TRUE(std::lexicographical_compare(previous.begin(), previous.end(), name.begin(), name.end(),
                                                 [](char a, char b) {
                                                     return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
                                                 }))
            << previous << " before " << name;
    }
}

TEST(RtfKeywords, EveryRowIsFoundWithItsCode)
{
    for (const RtfKeyword& row : RtfKeywordTable) {
        int code = -1;
        EXPECT_TRUE(LookupRtfKeyword(row.name, &code)) << row.name;
        EXPECT_EQ(code, row.code) << row.name;
    }
    // The codes other readers of the table rely on, names up to 18 letters.
    const struct {
        const char* name;
        int code;
    } rows[] = {
        {"'", 491}, {"ansi", 2}, {"b", 411}, {"colortbl", 33}, {"fonttbl", 7}, {"i", 422}, {"par", 237},
        {"rdblquote", 490}, {"tab", 481}, {"{", 662}, {"}", 661}, {"colorschememapping", RtfColorschememapping},
        {"listoverridetable", RtfListoverridetable}, {"latentstyles", RtfLatentstyles}, {"*", RtfIgnorable},
        {"~", RtfNonBreakingSpace}, {"u", RtfU}, {"uc", RtfUc}, {"bin", RtfBin},
    };
    for (const auto& row : rows) {
        int code = -1;
        EXPECT_TRUE(LookupRtfKeyword(row.name, &code)) << row.name;
        EXPECT_EQ(code, row.code) << row.name;
    }
}

TEST(RtfKeywords, OtherNamesAreNotFound)
{
    int code = -1;
    for (const char* name : {"", "PAR", "pa", "parx", "a", "zz", ":", "\xE9", "rdblquotes", "colorschememappin",
                             "colorschememappings", "listoverridetablex", "ub", "bi"})
        EXPECT_FALSE(LookupRtfKeyword(name, &code)) << name;
    EXPECT_EQ(code, -1);
    EXPECT_EQ(Events("\\{\\}\\\\\\:\\~"), "\\662:0 \\661:0 \\660:0 \\0:0 \\666:0 <end>");
    EXPECT_EQ(Plain("{\\colorschememapping x}{\\colorschememappingx y}z"), "yz");
}

// --- The same extraction as the literal model, on generated documents ---

namespace {

// Documents of up to 40 pieces, drawn from pieces, bytes and runs of
// letters, read whole and in pieces with several capacities as the literal
// model reads them.
void ExpectGeneratedDocumentsReadAsTheReferenceReader(const std::vector<std::string>& pieces, unsigned start, int rounds)
{
    const unsigned pieceCount = static_cast<unsigned>(pieces.size());
    std::mt19937 random(start);
    for (int round = 0; round < rounds; ++round) {
        std::string input;
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) {
            const unsigned pick = random() % (pieceCount + 12);
            if (pick < pieceCount)
                input += pieces[pick];
            else if (pick < pieceCount + 10)
                input += static_cast<char>(random() % 256);
            else
                input += std::string(random() % 70, static_cast<char>('a' + random() % 26));
        }
        const size_t capacities[] = {1, 2, 1 + random() % 40, input.size() + 1, input.size() + 16};
        for (size_t capacity : capacities) {
            const std::string reference = ReferenceBuffer(input, capacity);
            ASSERT_EQ(OutputBuffer(input, capacity), reference) << "round " << round << " capacity " << capacity;
            // The same input fed in pieces: one byte, a few bytes, uneven sizes.
            const std::vector<size_t> sizes[] = {{1}, {2}, {3, 1, 7}, {1 + random() % 13, 1 + random() % 5}};
            for (const std::vector<size_t>& pieceSizes : sizes) {
                ASSERT_EQ(OutputBufferInPieces(input, capacity, pieceSizes), reference)
                    << "round " << round << " capacity " << capacity << " pieces of " << pieceSizes[0];
            }
        }
    }
}

}  // namespace

TEST(RtfText, MatchesTheLiteralModelOnGeneratedDocuments)
{
    ExpectGeneratedDocumentsReadAsTheReferenceReader(
        {
            "\\", "{", "}", "\r", "\n", "\r\n", "'", "-", " ", "\t", "0", "7", "a", "Z", "\xE9", ";",
            "\\par", "\\par ", "\\tab", "\\rdblquote", "\\'", "\\'4", "\\'e9", "\\fonttbl", "\\colortbl",
            "\\b", "\\i", "\\fs", "\\li-", "\\*", "\\~", "\\{", "\\}", "\\\\", "{\\fonttbl ", "}}",
            "abcdefghijklmnopqrstuvwxyz", "The quick brown fox jumps over the lazy dog. ",
            "\\u", "\\u1055?", "\\u-3", "\\uc0 ", "\\uc2", "\\bin", "\\bin3 ", "\\bin1", "\\ansicpg1251 ",
            "\\ansicpg932", "\\'82", "\\'a0", "\x93", "{\\*", "\\footnote", "\\stylesheet", "\\line", "\\cell",
            "\\_", "\\-", "\\lquote", "\\emdash", "{\\pict ", "{\\*\\footnote ", "\\'00",
        },
        20240611, 5000);
    // Fonts with code pages of their own, nested tables and link targets.
    ExpectGeneratedDocumentsReadAsTheReferenceReader(
        {
            "\\", "{", "}", "\r", "\n", " ", "\"", "7", "a", "\xE9", "\xCF", "\x93", "\xFA", ";",
            "{\\fonttbl", "{\\f1\\fcharset204 ", "{\\f2\\fcharset128 ", "{\\f3\\fcharset238 ", "\\fcharset0",
            "\\cpg1251", "\\cpg932", "\\f", "\\f0", "\\f1", "\\f2 ", "\\f3", "\\deff1", "\\deff2 ", "\\plain",
            "\\ansicpg1251 ", "\\'cf", "\\'93", "\\'fa", "\\u233?", "\\uc2", "\\par", "\\nestcell", "\\nestrow",
            "{\\*\\nesttableprops ", "{\\field", "{\\*\\fldinst ", "{\\fldinst ", "HYPERLINK ", "hyperlink \"",
            "\\\\l ", "{\\fldrslt ", "\\\r", "\\\n", "\\\\", "\\{", "\\li\r\n7", "\\fs1\n2",
        },
        20260101, 3000);
}

// --- The RTF matcher in the matcher table ---

// Which reading decides and how often it counts, for plain text and RTF
// documents through the whole table.
TEST(RtfMatcher, DecidesAndCountsAsTheReadingsSee)
{
    const std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Hello\\par World}";
    const struct {
        const char* rule;
        std::string content;
        const char* text;
        int decidedBy;
        int matches;
    } rows[] = {
        {"plain text is never cut", "{\\rtf1 abcabc}", "abc", 1, 2},
        {"the last unit counts", "{\\rtf1 yx}", "x", 1, 1},
        {"an empty file ends the trial without matches", "", "abc", -1, 0},
        {"line breaks no longer split words", "{\\rtf1 foo\r\nbar}", "foobar", 1, 1},
        {"a file that is no document is its bytes", "C:\\temp", "C:\\temp", 2, 1},
        {"RTF documents are searched on their plain text", rtf, "Hello", 1, 1},
        {"the markup is no text: a document is read as RTF alone", rtf, "Arial", -1, 0},
        {"a paragraph mark is no space", rtf, "Hello World", -1, 0},
    };
    for (const auto& row : rows) {
        TableRun run = RunTable(row.content, row.text);
        EXPECT_EQ(run.decidedBy, row.decidedBy) << row.rule;
        EXPECT_EQ(run.matches, row.matches) << row.rule;
    }
}

// it and how often.
TEST(RtfMatcher, SameTextInEveryForm)
{
    const std::string word = "caf\xE9";
    struct Form {
        const char* name;
        std::string content;
        int decidedBy;
        int matches;
    } forms[] = {
        {"UTF-16LE", Utf16le("a caf\xE9, two caf\xE9s"), 0, 2},
        {"UTF-16LE with mark", Utf16le("a caf\xE9, two caf\xE9s", true), 0, 2},
        {"UTF-16BE", Utf16be("a caf\xE9, two caf\xE9s"), -1, 0},
        {"RTF with escapes", "{\\rtf1\\ansi a caf\\'e9, two c{\\b af}\\'e9s\\par}", 1, 2},
        // (A backslash right before a line break is a paragraph mark.)
        {"RTF with line breaks", "{\\rtf1 a ca\r\nf\\'e9,\r\n two caf\\\r\n'e9 caf\\'\r\ne9}", 1, 2},
        {"RTF with the word in the font table", "{\\rtf1{\\fonttbl caf\xE9;}x}", -1, 0},
        {"8-bit with CR LF", "a caf\r\n\xE9, two caf\xE9s\r\n", 2, 1},
        {"C source", "char* s = \"caf\xE9\\n\"; { return caf\xE9; }\r\n", 2, 2},
        {"C source with the word after a backslash", "s = \"\\caf\xE9\"; t = \"\\caf\xE9\";", 2, 2},
    };
    for (const Form& form : forms) {
        TableRun run = RunTable(form.content, word);
        EXPECT_EQ(run.decidedBy, form.decidedBy) << form.name;
        EXPECT_EQ(run.matches, form.matches) << form.name;
    }
}

// The matcher counts the plain text while it is produced, in a window far
// smaller than large files: occurrences across the window's edges, text cut
// after a zero escape and silenced groups must count exactly as in the whole
// plain text.
TEST(RtfMatcher, CountsLargeFilesExactlyAsTheWholePlainText)
{
    std::mt19937 random(777);
    const char* pieces[] = {"ab", "a", "b", "\\par ", "\r\nab", "{\\b a}", "\\'61", "\\tab ", "{\\fonttbl ab}",
                            "ba", "\\rdblquote ", "}", "{", "abab",
                            // Long runs, and runs that only line breaks separate.
                            "abbabababaabbababbbaabababbaabab", "ab\r\nbaabababab\nabab\r\n\r\nbbaabababaabab\n",
                            // Words with line breaks after the name or in the number, signs, long numbers and
                            // names, letters by number and their fallbacks, binary data, a field result,
                            // line breaks right after the backslash.
                            "\\par\r\n\r\n b", "\\li72\r\n5-1 a", "\\fi-3-6 b", "\\par\n7a", "\\b123456789012 a",
                            "\\abcdefghijklmnop a", "\\abcdefghijklmno b", "\\uc2\\u-3 ??ab", "\\u98 a", "\\bin3 \\{}b",
                            "{\\*\\fldrslt ab}", "\\\r\npar b", "\\\n\n'61b"};
    for (int round = 0; round < 12; ++round) {
        std::string text = "{\\rtf1 ";
        const size_t target = 20000 + random() % 300000;
        while (text.size() < target)
            text += pieces[random() % (sizeof pieces / sizeof pieces[0])];
        if (round == 5)
            text.insert(text.size() / 2, "\\'00\\u-1?\\'e9");  // no end there; units above 255
        std::string buffer = text + std::string(3, '\0');
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
        std::vector<std::uint16_t> plain(text.size() + 1, 0);
        ExtractRtfText(bytes, text.size(), plain.data(), plain.size());
        size_t plainLength = 0;
        while (plain[plainLength] != 0)
            ++plainLength;
        for (const char* pattern : {"a", "ab", "aba", "abab\n", "b\ta"}) {
            const std::vector<std::uint16_t> units(pattern, pattern + std::strlen(pattern));
            const unsigned long long whole = wholefile::CountIn(plain.data(), plainLength, units.data(), units.size());
            const size_t pieceSize = round % 3 == 0 ? 0 : 1 + random() % 70000;
            ASSERT_EQ(RunViews(text, pattern, 1u << RtfView, pieceSize).matches, static_cast<long long>(whole))
                << "round " << round << ", text " << pattern << ", pieces of " << pieceSize;
        }
    }
}

// Documents in the forms real writers use, through the whole table in pieces
// of several sizes: every text a reader sees is counted by the RTF reading,
// no text of the markup is.
TEST(RtfMatcher, DocumentsAreSearchedAsTheirReadersSeeThem)
{
    for (const RtfDocument& document : kRtfDocuments) {
        const std::string content(document.bytes, document.length);
        for (size_t pieceSize : {0, 1, 7, 64}) {
            for (const std::string& text : SplitTexts(document.visible)) {
                TableRun run = RunUnits(content, FromUtf8(text), AllContentViews, pieceSize, &Pages());
                EXPECT_EQ(run.decidedBy, RtfView) << document.name << ": \"" << text << "\" in pieces of " << pieceSize;
                EXPECT_GE(run.matches, 1) << document.name << ": \"" << text << "\"";
            }
            for (const std::string& text : SplitTexts(document.invisible)) {
                TableRun run = RunUnits(content, FromUtf8(text), 1u << RtfView, pieceSize, &Pages());
                EXPECT_EQ(run.matches, 0) << document.name << ": \"" << text << "\" in pieces of " << pieceSize;
            }
        }
    }
}

// The counter compares short patterns on bytes, each unit of 128 or more of
// the pattern by a code of its own: every unit must match only through what
// it folds to, whether written as a byte, an escape, a number or a
// double-byte pair, across line breaks, pieces and code pages; long stretches
// with no byte that begins the pattern are left out. Patterns with more
// distinct units than codes compare units.
TEST(RtfMatcher, CountsThroughAFoldTableAsOnUnits)
{
    std::vector<std::uint16_t> fold(65536);
    for (size_t unit = 0; unit < fold.size(); ++unit)
        fold[unit] = static_cast<std::uint16_t>(unit >= 'a' && unit <= 'z' ? unit - 32 : unit);
    fold[0x212A] = 'K';   // Kelvin sign
    fold[0x017F] = 'S';   // long s
    fold[0x0100] = '~';
    fold[0x0101] = 0x7F;
    fold[0x00E9] = 0x00C9;
    fold['#'] = 0x0102;
    fold[0x0430] = 0x0410;
    const std::string letters(40, 'y');
    std::vector<std::uint16_t> manyUnits;  // 128 distinct units, more than there are codes
    std::string manyText;
    for (std::uint16_t unit = 0x100; unit < 0x180; ++unit) {
        manyUnits.push_back(unit);
        manyText += "\\u" + std::to_string(unit) + "?";
    }
    struct Case {
        std::string text;
        std::vector<std::uint16_t> pattern;  // folded already when folding
        bool folding;
        unsigned long long count;
    } cases[] = {
        {"ask \\u8490?\\u383?", {'K', 'S'}, true, 1},
        {"ask \\u8490?\\u383?", {'K', 'S'}, false, 0},
        {"\\u8490?\\u383?ks", {'k', 's'}, false, 1},
        {"\\u256?~\\u257?\x7F", {'~'}, true, 2},
        {"\\u256?~\\u257?\x7F", {'~'}, false, 1},
        {"\\u257?\x7F", {0x7F}, true, 2},
        {"\\u128?\x80\\u255?\xFF" "A", {'A'}, false, 1},
        {"caf\xE9\r\n caf\r\n\xC9 CAF\\'c9", {'C', 'A', 'F', 0xC9}, true, 3},
        {"caf\xE9\r\n caf\r\n\xC9 CAF\\'c9", {'c', 'a', 'f', 0xE9}, false, 1},
        {"x\r\ny\rz\n\r\nxyz{\\b x}y\\par z", {'X', 'Y', 'Z'}, true, 2},
        // Blocks of text with no, one, two and more line breaks.
        {"AbC\nabc\r\nab\nc\n\r\n\r\nABC abc\rabcabcab\r\n\r\nc xx abcabcabcabcabc\n\nab\ncabc\r\nabc\nab\r\nc\n",
         {'A', 'B', 'C'}, true, 17},
        {"AbC\nabc\r\nab\nc\n\r\n\r\nABC abc\rabcabcab\r\n\r\nc xx abcabcabcabcabc\n\nab\ncabc\r\nabc\nab\r\nc\n",
         {'a', 'b', 'c'}, false, 15},
        {"{\\rtf1\\ansicpg1251 \xC0\xE0 ab\xE0}", {'A', 'B'}, true, 1},
        // Units beyond ASCII on bytes: 1252's bytes raw and escaped, numbers
        // (their fallback skipped), double-byte pairs and another code page.
        {"\\u8364?x \\'80x \x80x\\u8364 x", {0x20AC, 'x'}, false, 3},
        {"\\u8364?x \\'80X \x80x\\u8364 x", {0x20AC, 'X'}, true, 3},
        {"{\\rtf1\\ansicpg932 \x82\xa0\x93\xfa x\\'82\\'a0\\'93\\'fa\\u12354?\\u26085?}", {0x3042, 0x65E5}, false, 3},
        {"{\\rtf1\\ansicpg1251 \xC0\xE0 \\'c0\\u1072?}", {0x410, 0x410}, true, 2},
        {"{\\rtf1\\ansicpg1251 \xC0\xE0 \\'c0\\u1072?}", {0x410, 0x430}, false, 2},
        {"\\u8490?\\'e9 k\xC9 K\\u233?", {'K', 0xC9}, true, 3},
        {"\\u8490?\\'e9 k\xC9 K\\u233?", {0x212A, 0xE9}, false, 1},
        {"#\\u258?x#", {0x0102}, false, 1},
        {"#\\u258?x#", {0x0102}, true, 3},
        // Long stretches without the pattern's first byte, and occurrences
        // right after them, across line breaks and markup.
        {(letters + "zq" + letters + "z\r\nq" + letters + "{z}q" + letters + "Zq"), {'Z', 'Q'}, true, 4},
        {(letters + "zq" + letters + "z\r\nq" + letters + "{z}q" + letters + "Zq"), {'z', 'q'}, false, 3},
        {(letters + "\\'80" + letters + "\x80y" + letters + "\x80\r\ny"), {0x20AC, 'y'}, false, 3},
        {(letters + "\\par y\r\n" + letters + "\r\n" + letters), {'\n', 'y'}, false, 1},
        {(manyText + "x" + manyText), manyUnits, false, 2},
        // A pattern whose first units a shorter one prepared later repeats
        // is prepared again, not counted with the shorter one's tables.
        {"xbc abc", {'x', 'b', 'c'}, false, 1},
        {"a", {'a'}, false, 1},
        {"xabcx abc", {'a', 'b', 'c'}, false, 2},
    };
    // One counter for every row, as a search keeps one for all its files:
    // nothing it keeps from one pattern, fold table or code page may leak
    // into the next.
    RtfTextCounter counter;
    for (const Case& c : cases) {
        const std::string& text = c.text;
        for (size_t pieceSize : {size_t(1), size_t(3), text.size()}) {
            counter.Begin(c.pattern.data(), c.pattern.size(), c.folding ? fold.data() : nullptr, &Pages());
            for (size_t at = 0; at < text.size(); at += pieceSize) {
                const size_t take = std::min(pieceSize, text.size() - at);
                counter.Feed(reinterpret_cast<const unsigned char*>(text.data()) + at, take);
            }
            counter.End();
            EXPECT_EQ(counter.Count(), c.count) << c.text << " in pieces of " << pieceSize;
        }
    }
}
