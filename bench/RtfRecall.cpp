// Recall of the RTF reading on real documents: for each NAME.rtf with a
// NAME.txt beside it (the words its reader sees, UTF-8, as the writer exports
// them), how many of those words the plain text of the RTF reading holds, and
// how many words it holds that no reader sees.
//   trovik-rtfrecall FOLDER [--words]
//   trovik-rtfrecall --patterns
// --words also lists, per document, the visible words not found;
// --patterns runs the small hand-made documents of tests/search instead.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

#include "fuzz/TestCodePages.h"
#include "search/RtfTextExtractor.h"
#include "tests/search/RtfDocuments.h"

namespace {

// Code page 1252's bytes 0x80 to 0x9F; the five it leaves undefined keep
// their C1 code points.
const char32_t kHigh1252[32] = {
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
    0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178,
};

bool SpellableIn1252(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return true;
    return std::find(kHigh1252, kHigh1252 + 32, c) != kHigh1252 + 32 && c > 0xFF;
}

// Letters, digits and combining marks of the scripts the corpus holds
// (Latin, Greek, Cyrillic, CJK); a word is a run of them.
bool IsWordChar(char32_t c)
{
    if (c < 0x80)
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (c <= 0xFF)
        return c == 0xAA || c == 0xB5 || c == 0xBA || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
    if (c <= 0x24F || (c >= 0x1E00 && c <= 0x1EFF))
        return true;  // Latin extended: letters only
    if (c >= 0x300 && c <= 0x36F)
        return true;  // combining marks
    if (c >= 0x370 && c <= 0x3FF)
        return c != 0x375 && c != 0x37E && c != 0x384 && c != 0x385 && c != 0x387 && c != 0x3F6;
    if (c >= 0x400 && c <= 0x52F)
        return c != 0x482;
    return (c >= 0x3041 && c <= 0x3096) || (c >= 0x30A1 && c <= 0x30FA) || (c >= 0x3005 && c <= 0x3007) ||
           c == 0x30FC || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF10 && c <= 0xFF19) ||
           (c >= 0xFF21 && c <= 0xFF3A) || (c >= 0xFF41 && c <= 0xFF5A);
}

// Malformed sequences become U+FFFD, which is no word character.
std::u32string DecodeUtf8(const std::string& bytes)
{
    std::u32string out;
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        if (length == 0 || i + length > bytes.size()) {
            out += U'\uFFFD';
            ++i;
            continue;
        }
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k)
            c = c << 6 | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
        out += c;
        i += length;
    }
    if (!out.empty() && out[0] == 0xFEFF)
        out.erase(0, 1);
    return out;
}

std::string EncodeUtf8(const std::u32string& text)
{
    std::string out;
    for (char32_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::set<std::u32string> Words(const std::u32string& text)
{
    std::set<std::u32string> words;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && IsWordChar(text[i]))
            continue;
        if (i > start)
            words.insert(text.substr(start, i - start));
        start = i + 1;
    }
    return words;
}

// The one call into the product's RTF reading: UTF-16 text, with the code
// page tables the native tests use (1251 besides the built-in 1252). Pairs of
// surrogates become one code point.
std::u32string ReadRtfPlainText(const std::string& rtf)
{
    static testpages::TestCodePages pages;
    std::vector<unsigned char> input(rtf.begin(), rtf.end());
    input.insert(input.end(), 3, 0);
    // The plain text never has more units than the input has bytes.
    std::vector<std::uint16_t> output(rtf.size() + 1, 0);
    ExtractRtfText(input.data(), rtf.size(), output.data(), output.size(), &pages);
    std::u32string text;
    for (size_t i = 0; i < output.size() && output[i] != 0; ++i) {
        const char32_t unit = output[i];
        if (unit >= 0xD800 && unit < 0xDC00 && output[i + 1] >= 0xDC00 && output[i + 1] < 0xE000) {
            text += 0x10000 + ((unit - 0xD800) << 10) + (output[i + 1] - 0xDC00);
            ++i;
        } else {
            text += unit;
        }
    }
    return text;
}

bool ReadFile(const std::string& path, std::string* content)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        content->append(chunk, got);
    std::fclose(file);
    return true;
}

// Every NAME.rtf under the folder, as paths relative to it.
void FindDocuments(const std::string& folder, const std::string& relative, std::vector<std::string>* found)
{
    DIR* directory = opendir((folder + relative).c_str());
    if (directory == nullptr)
        return;
    while (dirent* entry = readdir(directory)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = relative + "/" + name;
        struct stat status;
        if (stat((folder + path).c_str(), &status) != 0)
            continue;
        if (S_ISDIR(status.st_mode))
            FindDocuments(folder, path, found);
        else if (name.size() > 4 && name.compare(name.size() - 4, 4, ".rtf") == 0)
            found->push_back(path.substr(1));
    }
    closedir(directory);
}

size_t CountOf(const std::string& haystack, const char* needle)
{
    size_t count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1))
        ++count;
    return count;
}

// \u followed by a digit or a minus: a letter written by its number.
size_t CountUnicodeEscapes(const std::string& rtf)
{
    size_t count = 0;
    for (size_t at = rtf.find("\\u"); at != std::string::npos; at = rtf.find("\\u", at + 1)) {
        const char next = at + 2 < rtf.size() ? rtf[at + 2] : 0;
        if ((next >= '0' && next <= '9') || next == '-')
            ++count;
    }
    return count;
}

// A control word whose letters go on after a line break: the reader skips
// line breaks inside a name, so the word after them joins the name.
size_t CountJoinedNames(const std::string& rtf)
{
    size_t count = 0;
    for (size_t at = rtf.find('\\'); at != std::string::npos; at = rtf.find('\\', at + 1)) {
        size_t i = at + 1;
        while (i < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[i])))
            ++i;
        if (i == at + 1 || i >= rtf.size() || (rtf[i] != '\r' && rtf[i] != '\n'))
            continue;
        while (i < rtf.size() && (rtf[i] == '\r' || rtf[i] == '\n'))
            ++i;
        if (i < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[i])))
            ++count;
    }
    return count;
}

// Picture data read as text: a long run of hexadecimal digits.
bool LooksHex(const std::u32string& word)
{
    if (word.size() < 8)
        return false;
    for (char32_t c : word) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

struct Figures {
    size_t documents = 0;
    size_t visible = 0;      // distinct visible words spellable in code page 1252
    size_t found = 0;        // of those, found by a search of the plain text
    size_t whole = 0;        // of those, a whole word of the plain text
    size_t uncut = 0;        // found if the text went on past an escaped zero
    size_t otherVisible = 0; // distinct visible words code page 1252 cannot spell
    size_t otherFound = 0;
    size_t extra = 0;        // distinct words of the plain text no reader sees
    size_t extraHex = 0;
    size_t cutDocuments = 0; // plain text ended by an escaped zero
    size_t zeroEscapes = 0, binWords = 0, ignorable = 0, unicode = 0, joined = 0, rawZeros = 0;

    void Add(const Figures& other)
    {
        documents += other.documents;
        visible += other.visible;
        found += other.found;
        whole += other.whole;
        uncut += other.uncut;
        otherVisible += other.otherVisible;
        otherFound += other.otherFound;
        extra += other.extra;
        extraHex += other.extraHex;
        cutDocuments += other.cutDocuments;
        zeroEscapes += other.zeroEscapes;
        binWords += other.binWords;
        ignorable += other.ignorable;
        unicode += other.unicode;
        joined += other.joined;
        rawZeros += other.rawZeros;
    }
};

double Percent(size_t part, size_t whole)
{
    return whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

void PrintHeader()
{
    std::printf("%-28s %6s %6s %6s %6s %6s %9s %6s %5s | %4s %5s %5s %5s %6s\n", "document", "KB", "words", "found",
                "whole", "uncut", "other", "extra", "hex", "\\'00", "\\bin", "{\\*", "\\uN", "joined");
}

void PrintRow(const char* name, double kilobytes, const Figures& f)
{
    char other[32];
    std::snprintf(other, sizeof other, "%zu/%zu", f.otherFound, f.otherVisible);
    std::printf("%-28s %6.0f %6zu %5.1f%% %5.1f%% %5.1f%% %9s %6zu %5zu | %4zu %5zu %5zu %5zu %6zu%s\n", name, kilobytes,
                f.visible, Percent(f.found, f.visible), Percent(f.whole, f.visible), Percent(f.uncut, f.visible),
                other, f.extra, f.extraHex, f.zeroEscapes, f.binWords, f.ignorable, f.unicode, f.joined,
                f.cutDocuments != 0 ? "  cut" : "");
}

// Each hand-made document: which of its visible texts a search of the plain
// text finds, and which of its invisible texts it wrongly finds.
int RunPatterns()
{
    size_t good = 0, checks = 0;
    for (const RtfDocument& document : kRtfDocuments) {
        const std::u32string text = ReadRtfPlainText(std::string(document.bytes, document.length));
        const std::string seen = EncodeUtf8(text.substr(0, text.find(U'\0')));
        std::string report;
        for (int wanted = 1; wanted >= 0; --wanted) {
            const std::string list = wanted ? document.visible : document.invisible;
            size_t start = 0;
            while (start <= list.size()) {
                size_t end = list.find('|', start);
                if (end == std::string::npos)
                    end = list.size();
                const std::string item = list.substr(start, end - start);
                start = end + 1;
                if (item.empty())
                    continue;
                const bool found = seen.find(item) != std::string::npos;
                checks += 1;
                if (found == (wanted == 1))
                    good += 1;
                else
                    report += std::string(wanted ? " missed \"" : " counted \"") + item + "\"";
            }
        }
        std::printf("%-42s %s\n", document.name, report.empty() ? "as a reader sees it" : report.c_str());
    }
    std::printf("%zu of %zu checks as a reader sees them\n", good, checks);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--patterns") == 0)
        return RunPatterns();
    if (argc < 2) {
        std::fprintf(stderr, "usage: trovik-rtfrecall FOLDER [--words]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const bool listWords = argc > 2 && std::strcmp(argv[2], "--words") == 0;
    std::vector<std::string> documents;
    FindDocuments(folder, "", &documents);
    std::sort(documents.begin(), documents.end());
    if (documents.empty()) {
        std::fprintf(stderr, "no .rtf documents under %s\n", folder.c_str());
        return 1;
    }

    std::map<std::string, Figures> byGroup;
    Figures total;
    std::map<std::u32string, size_t> extraDocuments;  // in how many documents
    PrintHeader();
    for (const std::string& document : documents) {
        std::string rtf, truthBytes;
        const std::string base = folder + "/" + document.substr(0, document.size() - 4);
        if (!ReadFile(base + ".rtf", &rtf) || !ReadFile(base + ".txt", &truthBytes)) {
            std::fprintf(stderr, "%s: no .txt beside it, skipped\n", document.c_str());
            continue;
        }
        const std::set<std::u32string> truth = Words(DecodeUtf8(truthBytes));
        const std::u32string whole = ReadRtfPlainText(rtf);
        // The matchers read the text up to its first zero.
        const std::u32string seen = whole.substr(0, whole.find(U'\0'));
        const std::set<std::u32string> seenWords = Words(seen);

        Figures f;
        f.documents = 1;
        f.cutDocuments = seen.size() != whole.size() ? 1 : 0;
        std::vector<std::u32string> missed;
        for (const std::u32string& word : truth) {
            const bool spellable = std::all_of(word.begin(), word.end(), SpellableIn1252);
            const bool found = seen.find(word) != std::u32string::npos;
            if (!spellable) {
                f.otherVisible += 1;
                f.otherFound += found ? 1 : 0;
                continue;
            }
            f.visible += 1;
            f.found += found ? 1 : 0;
            f.whole += seenWords.count(word);
            f.uncut += whole.find(word) != std::u32string::npos ? 1 : 0;
            if (!found)
                missed.push_back(word);
        }
        for (const std::u32string& word : seenWords) {
            if (truth.count(word) != 0)
                continue;
            f.extra += 1;
            if (LooksHex(word))
                f.extraHex += 1;
            else
                extraDocuments[word] += 1;
        }
        f.zeroEscapes = CountOf(rtf, "\\'00");
        f.binWords = CountOf(rtf, "\\bin");
        f.ignorable = CountOf(rtf, "{\\*\\");
        f.unicode = CountUnicodeEscapes(rtf);
        f.joined = CountJoinedNames(rtf);
        f.rawZeros = static_cast<size_t>(std::count(rtf.begin(), rtf.end(), '\0'));

        PrintRow(document.c_str(), static_cast<double>(rtf.size()) / 1024.0, f);
        if (listWords && !missed.empty()) {
            std::string list;
            for (const std::u32string& word : missed)
                list += " " + EncodeUtf8(word);
            std::printf("    not found:%s\n", list.c_str());
        }
        const size_t slash = document.find('/');
        byGroup[slash == std::string::npos ? "." : document.substr(0, slash)].Add(f);
        total.Add(f);
    }

    std::printf("\n");
    PrintHeader();
    for (const auto& group : byGroup)
        PrintRow((group.first + " (" + std::to_string(group.second.documents) + ")").c_str(), 0, group.second);
    PrintRow(("total (" + std::to_string(total.documents) + ")").c_str(), 0, total);
    std::printf("\nfound: visible words (code page 1252) a search of the plain text finds, %zu of %zu\n",
                total.found, total.visible);
    std::printf("whole: found as whole words; uncut: found if escaped zeros did not end the text\n");
    std::printf("other: visible words code page 1252 cannot spell, found/all\n");
    std::printf("extra: %zu distinct words in the plain text that no reader sees, %zu of them hex data\n",
                total.extra, total.extraHex);
    std::printf("\\'00: zero escapes, \\bin: raw data, {\\*: ignorable destinations, \\uN: letters by number,\n"
                "joined: control words whose name runs on across a line break into the next word\n");
    std::printf("documents cut by an escaped zero: %zu; raw zero bytes in the files: %zu\n", total.cutDocuments,
                total.rawZeros);

    std::vector<std::pair<size_t, std::u32string>> common;
    for (const auto& entry : extraDocuments)
        common.push_back(std::make_pair(entry.second, entry.first));
    std::sort(common.begin(), common.end(), [](const std::pair<size_t, std::u32string>& a,
                                               const std::pair<size_t, std::u32string>& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    std::printf("commonest extra words (documents):");
    for (size_t i = 0; i < common.size() && i < 30; ++i)
        std::printf(" %s(%zu)", EncodeUtf8(common[i].second).c_str(), common[i].first);
    std::printf("\n");
    return 0;
}
