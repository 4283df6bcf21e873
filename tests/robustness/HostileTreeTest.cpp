// Hostile folders and files through the real engine: locked files, a tree
// that changes between steps, paths far past the classic limit, names in any
// script or that the platform would read otherwise, odd contents, and a
// searched tree left exactly as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "EngineHarness.h"
#include "LockedFile.h"
#include "TempFolder.h"
#include "WideText.h"
#include "fuzz/WholeFileMatchers.h"
#include "search/ContentMatchers.h"
#include "search/LongPaths.h"

namespace {

const FoundFile* FindRecord(const std::vector<FoundFile>& found, const std::string& name)
{
    for (const FoundFile& record : found) {
        if (name == Utf8(record.name))
            return &record;
    }
    return nullptr;
}

// The walk ended by itself and its counters agree with what it reported.
void ExpectConsistentEnd(const EngineHarness& engine)
{
    ASSERT_FALSE(engine.Running());
    ASSERT_FALSE(engine.Events().empty());
    const SearchRequest& request = engine.Request();
    long long withMatches = 0;
    long long matches = 0;
    int reported = 0;
    bool ended = false;
    for (const EngineEvent& event : engine.Events()) {
        if (event.kind == EngineEvent::Ended)
            ended = true;
        if (event.kind != EngineEvent::Found)
            continue;
        ++reported;
        matches += event.record.matchCount;
        withMatches += event.record.matchCount != 0 ? 1 : 0;
        EXPECT_NE(event.record.folder[0], 0) << Utf8(event.record.name);
        // Whole, however long.
        EXPECT_EQ(Utf8(FullPath(event.record).c_str()), Utf8(event.record.folder) + "\\" + Utf8(event.record.name));
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(request.totalMatches, matches);
    EXPECT_EQ(request.filesWithMatches, withMatches);
    EXPECT_GE(request.filesSearched, reported);
    const std::vector<std::string> statuses = engine.Statuses();
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back().rfind("Found ", 0) == 0 || statuses.back().rfind("Searched ", 0) == 0, true)
        << statuses.back();
}

// Steps until a status text equal to text has been sent; false if the walk
// ended first.
bool StepUntilStatus(EngineHarness& engine, const std::string& text)
{
    for (int i = 0; i < 100000; ++i) {
        for (const std::string& status : engine.Statuses()) {
            if (status == text)
                return true;
        }
        if (!engine.StepOnce())
            return false;
    }
    return false;
}

}  // namespace

TEST(UnreadableEntries, LockedFileIsFailedAndCountedAsSearched)
{
    TempFolder root;
    root.Write("a.txt", "needle needle");
    const std::string locked = root.Write("locked.txt", "needle");
    LockedFile holder(locked);
    ASSERT_TRUE(holder.Held());

    EngineHarness engine;
    ASSERT_TRUE(engine.Start(root.Path(), "needle"));
    engine.RunToEnd();
    ExpectConsistentEnd(engine);

    const std::vector<FoundFile> found = engine.Found();
    const FoundFile* failed = FindRecord(found, "locked.txt");
    ASSERT_NE(failed, nullptr);
    EXPECT_EQ(failed->matchCount, 0);
    EXPECT_EQ(failed->openStatus, -1);
    EXPECT_EQ(engine.Request().filesSearched, 2);
    EXPECT_EQ(engine.Request().totalMatches, 2);
    EXPECT_EQ(engine.Request().filesWithMatches, 1);
    EXPECT_EQ(engine.Statuses().back(), "Searched a total of 2 files, found 2 matches in 1 files");
}

TEST(ChangingTree, FoldersDeletedUnderOrAheadOfTheWalkAreSkipped)
{
    TempFolder root;
    const std::string inside = root.Write("a\\x.txt", "needle");
    const std::string doomed = root.Write("b\\y.txt", "needle");
    root.Write("c\\z.txt", "needle");

    EngineHarness engine;
    ASSERT_TRUE(engine.Start(root.Path(), "needle"));
    // Inside a, not yet listed, with the root's listing open past it: a
    // vanishes under the walk and b before the walk reaches it.
    ASSERT_TRUE(StepUntilStatus(engine, "Searching a ..."));
    ASSERT_TRUE(DeleteFileA(inside.c_str()));
    // The platform may refuse to remove a process's current folder; then it
    // is merely empty when the walk lists it.
    RemoveDirectoryA((root.Path() + "\\a").c_str());
    ASSERT_TRUE(DeleteFileA(doomed.c_str()));
    ASSERT_TRUE(RemoveDirectoryA((root.Path() + "\\b").c_str()));
    engine.RunToEnd();
    ExpectConsistentEnd(engine);

    const std::vector<FoundFile> found = engine.Found();
    EXPECT_EQ(FindRecord(found, "x.txt"), nullptr);
    EXPECT_EQ(FindRecord(found, "y.txt"), nullptr);
    EXPECT_NE(FindRecord(found, "z.txt"), nullptr);
    // The walk came back to where it started.
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    EXPECT_STREQ(current, root.Path().c_str());
}

TEST(ChangingTree, FilesResizedOrDeletedBetweenStepsKeepTheCountsTrue)
{
    TempFolder root;
    root.Write("a.txt", "needle");
    const std::string shrinking = root.Write("b.txt", std::string(5000, 'x') + "needle");
    const std::string growing = root.Write("c.txt", "needle");
    const std::string gone = root.Write("d.txt", "needle");
    root.Write("sub\\e.txt", "needle");
    const std::string late = root.Write("sub\\f.txt", "needle");

    EngineHarness engine;
    ASSERT_TRUE(engine.Start(root.Path(), "needle"));
    // The listing of the root is open and positioned on a.txt.
    ASSERT_TRUE(engine.StepOnce());
    ASSERT_EQ(engine.Found().size(), 0u);
    {
        HANDLE file = CreateFileA(shrinking.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, "nee", 3, &written, nullptr);
        CloseHandle(file);
    }
    root.Write("c.txt", "needle needle needle needle");
    ASSERT_TRUE(DeleteFileA(gone.c_str()));
    ASSERT_TRUE(StepUntilStatus(engine, "Searching sub ..."));
    ASSERT_TRUE(DeleteFileA(late.c_str()));
    engine.RunToEnd();
    ExpectConsistentEnd(engine);

    const std::vector<FoundFile> found = engine.Found();
    // A shrunk file is searched on what is left: no stale bytes, no match.
    EXPECT_EQ(FindRecord(found, "b.txt"), nullptr);
    // A grown file is searched at least over the size it had when listed.
    const FoundFile* grown = FindRecord(found, "c.txt");
    ASSERT_NE(grown, nullptr);
    EXPECT_GE(grown->matchCount, 1);
    EXPECT_LE(grown->matchCount, 4);
    // A deleted file is either no longer listed or listed as failed.
    const FoundFile* deleted = FindRecord(found, "d.txt");
    if (deleted != nullptr) {
        EXPECT_EQ(deleted->openStatus, -1);
        EXPECT_EQ(deleted->matchCount, 0);
    }
    EXPECT_NE(FindRecord(found, "e.txt"), nullptr);
    const FoundFile* missing = FindRecord(found, "f.txt");
    if (missing != nullptr) {
        EXPECT_EQ(missing->openStatus, -1);
    }
}

TEST(LongPaths, EveryLevelOfAChainFarPastTheClassicLimitIsWalkedAndNamedWhole)
{
    TempFolder root;
    // Levels of 40-character names to 600 characters and beyond; level i
    // holds a file with the text i + 1 times.
    const std::string level(40, 'd');
    std::vector<std::string> levels;
    std::string path = root.Path();
    std::string relative;
    while (path.size() < 600 + level.size()) {
        relative += (relative.empty() ? "" : "\\") + level;
        path += "\\" + level;
        std::string content;
        for (size_t i = 0; i <= levels.size(); ++i)
            content += "needle ";
        root.Write(relative + "\\n.txt", content);
        levels.push_back(path);
    }
    ASSERT_GT(levels.back().size(), 600u);
    // A name of 255 characters in a folder past the limit.
    const std::string longName = std::string(251, 'n') + ".txt";
    root.Write(relative + "\\" + longName, "needle");

    EngineHarness engine;
    ASSERT_TRUE(engine.Start(root.Path(), "needle"));
    engine.RunToEnd();
    ExpectConsistentEnd(engine);

    std::vector<std::string> folders;
    for (const FoundFile& record : engine.Found()) {
        EXPECT_NE(record.openStatus, -1) << Utf8(record.folder);
        if (Utf8(record.name) == "n.txt") {
            EXPECT_EQ(record.matchCount, static_cast<long long>(folders.size()) + 1);
            folders.push_back(Utf8(record.folder));
        }
    }
    EXPECT_EQ(folders, levels);
    const FoundFile* named = FindRecord(engine.Found(), longName);
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(Utf8(named->folder), levels.back());
    EXPECT_EQ(engine.Request().filesSearched, static_cast<long long>(levels.size()) + 1);
}

// A tree of names in several scripts, names the platform would read as
// another entry or a device, each file with a count of its own: every file is
// read as itself, every folder walked once, and each name comes back exactly.
TEST(ForeignNames, EveryNameIsReadAsItselfWithItsOwnCount)
{
    const struct {
        const char* path;  // UTF-8
        int needles;
    } files[] = {
        {"\u65E5\u672C\u8A9E.txt", 1},                  // CJK
        {"\u0434\u043E\u043C.txt", 2},                  // Cyrillic
        {"\u03B1\u03B2\u03B3.txt", 3},                  // Greek
        {"snap \U0001F600.png", 4},                        // an emoji: a surrogate pair
        {"Ab.txt", 5},
        {"\u0100b.txt", 6},                               // spelled "Ab.txt" by a Western code page
        {"dot.txt", 7},
        {"dot.txt.", 8},                                   // ends in a dot: "dot.txt" to the plain call
        {"space.txt", 9},
        {"space.txt ", 10},                                // ends in a space
        {"CON", 11},                                       // the console to the plain call
        {"sub\\own.txt", 12},
        {"sub.\\dotted.txt", 13},
        {"sub \\spaced.txt", 14},
        {"\u4E02dir\\\U0001F4C1\\inner.txt", 15},
    };
    TempFolder root;
    long long total = 0;
    for (const auto& file : files) {
        std::string content;
        for (int i = 0; i < file.needles; ++i)
            content += "needle,";
        root.Write(file.path, content);
        total += file.needles;
    }

    EngineHarness engine;
    ASSERT_TRUE(engine.Start(root.Path(), "needle"));
    engine.RunToEnd();
    ExpectConsistentEnd(engine);

    const std::vector<FoundFile> found = engine.Found();
    ASSERT_EQ(found.size(), sizeof files / sizeof files[0]);
    for (const auto& file : files) {
        const std::string relative = file.path;
        const size_t slash = relative.rfind('\\');
        const std::string name = slash == std::string::npos ? relative : relative.substr(slash + 1);
        const std::string folder = root.Path() + (slash == std::string::npos ? "" : "\\" + relative.substr(0, slash));
        const FoundFile* record = nullptr;
        for (const FoundFile& candidate : found) {
            if (Utf8(candidate.name) == name && Utf8(candidate.folder) == folder)
                record = &candidate;
        }
        ASSERT_NE(record, nullptr) << relative;
        EXPECT_EQ(record->openStatus, 0) << relative;
        EXPECT_EQ(record->matchCount, file.needles) << relative;
    }
    EXPECT_EQ(engine.Request().filesSearched, static_cast<long long>(found.size()));
    EXPECT_EQ(engine.Request().totalMatches, total);
}

// Whatever the code page spells, names are read and folders walked: run once
// more under a double-byte code page, where CJK names have a spelling.
TEST(ForeignNames, NamesAreReadAndWalkedWhateverTheCodePageSpells)
{
    if (std::getenv("TROVIK_EXPECT_DOUBLE_BYTE") != nullptr) {
        ASSERT_TRUE(IsDBCSLeadByte(0x88)) << "the locale did not give a double-byte code page";
    }
    TempFolder root;
    const char* names[] = {"\u4e00.txt", "caf\u00e9.txt", "\u0100b.txt", "long name beyond eight.text",
                           "\u65e5\u672cdir\\inner.txt"};
    for (const char* name : names)
        root.Write(name, "needle");

    EngineHarness engine;
    ASSERT_TRUE(engine.Start(root.Path(), "needle"));
    engine.RunToEnd();
    ExpectConsistentEnd(engine);

    for (const char* name : {"\u4e00.txt", "caf\u00e9.txt", "\u0100b.txt", "long name beyond eight.text"}) {
        const FoundFile* record = FindRecord(engine.Found(), name);
        ASSERT_NE(record, nullptr) << name;
        EXPECT_EQ(record->matchCount, 1) << name;
        EXPECT_EQ(Utf8(record->folder), root.Path()) << name;
    }
    const FoundFile* inner = FindRecord(engine.Found(), "inner.txt");
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(Utf8(inner->folder), root.Path() + "\\\u65e5\u672cdir");
    EXPECT_EQ(engine.Statuses().front(), "Searching \u65e5\u672cdir ...");
    EXPECT_EQ(engine.Request().filesSearched, 5);
    EXPECT_EQ(engine.Request().totalMatches, 5);
}

TEST(ForeignNames, FilesNamedLikeDevicesAreReadAsTheFilesTheyAre)
{
    TempFolder root;
    // Their plain names open a port, the console or the null device, and
    // reading a port may never return; by the full path they are files.
    // Each holds the text once, and a size of its own.
    const char* devices[] = {"aux", "com1.txt", "nul", "con", "lpt1.log", "auxiliary.txt"};
    size_t needles = 0;
    for (const char* name : devices)
        root.Write(name, std::string(++needles * 7, 'x').replace(0, 6, "needle"));
    EngineHarness engine;
    ASSERT_TRUE(engine.Start(root.Path(), "needle"));
    engine.RunToEnd();
    ExpectConsistentEnd(engine);

    needles = 0;
    for (const char* name : devices) {
        const FoundFile* record = FindRecord(engine.Found(), name);
        ASSERT_NE(record, nullptr) << name;
        EXPECT_EQ(record->openStatus, 0) << name;
        EXPECT_EQ(record->matchCount, 1) << name;
        EXPECT_EQ(FoundFileSize(*record), ++needles * 7) << name;
    }
    EXPECT_EQ(engine.Request().filesSearched, 6);
}

namespace {

struct ContentCase {
    const char* name;
    std::string content;
    std::string text;
    int matches;  // 0: the file is not reported
};

long long SearchOne(const std::string& content, const std::string& text)
{
    TempFolder root;
    root.Write("f.bin", content);
    EngineHarness engine;
    if (!engine.Start(root.Path(), text))
        return -1;
    engine.RunToEnd();
    ExpectConsistentEnd(engine);
    const std::vector<FoundFile> found = engine.Found();
    EXPECT_EQ(engine.Request().filesSearched, 1);
    if (found.empty())
        return 0;
    EXPECT_EQ(found.size(), 1u);
    EXPECT_EQ(FoundFileSize(found[0]), content.size());
    return found[0].matchCount;
}

// What the whole-file reference counts, each view in table order until one
// counts: the count the walk must report for the file.
long long TableCount(const std::string& content, const std::string& text)
{
    std::basic_string<WCHAR> units;
    for (unsigned char byte : text)
        units.push_back(byte);
    const std::string buffer = content + std::string(3, '\0');
    return static_cast<long long>(
        wholefile::Run(reinterpret_cast<const unsigned char*>(buffer.data()), content.size(), units.c_str()).matches);
}

// High bytes only (no zero, no markup, no line break) with the text planted.
std::string NoiseWithText(size_t size, const std::string& text, int copies, unsigned start)
{
    std::mt19937 generator(start);
    std::string data(size, '\0');
    for (char& byte : data)
        byte = static_cast<char>(0x80 + generator() % 0x80);
    for (int i = 0; i < copies; ++i)
        data.replace((size / static_cast<size_t>(copies + 1)) * static_cast<size_t>(i + 1), text.size(), text);
    return data;
}

}  // namespace

TEST(HostileContent, CountsHoldForOddContents)
{
    const std::string braces(4 * 1024 * 1024, '{');
    const ContentCase cases[] = {
        {"empty file", "", "needle", 0},
        {"binary noise with the text three times", NoiseWithText(256 * 1024, "needle", 3, 7), "needle", 3},
        // Only group openings: no plain text, so the raw bytes decide.
        {"megabytes of opening braces", braces, "{{", static_cast<int>(braces.size() / 2)},
        {"megabytes of opening braces, other text", braces, "x", 0},
        {"UTF-16 byte-order mark alone", "\xFF\xFE", "needle", 0},
        // A mark names the file's encoding: its bytes are no text of the code page.
        {"UTF-16 byte-order mark, its own bytes", "\xFF\xFE", "\xFF\xFE", 0},
        {"UTF-8 byte-order mark alone", "\xEF\xBB\xBF", "\xBB", 0},
        {"end-of-file bytes are ordinary", "abc\x1A" "def\x1A" "abc\x1A", "abc", 2},
        {"end-of-file byte inside the text", "ab\x1A" "cd ab\x1A" "cd", "ab\x1A" "cd", 2},
        {"lone carriage returns", "foo\rbar\rfoo\r", "foo", 2},
    };
    for (const ContentCase& item : cases)
        EXPECT_EQ(SearchOne(item.content, item.text), item.matches) << item.name;

    // Random bytes of every value: the walk ends cleanly and reports what the
    // matcher table counts over the whole file.
    std::mt19937 generator(11);
    std::string noise(512 * 1024, '\0');
    for (char& byte : noise)
        byte = static_cast<char>(generator());
    // An RTF group and escape, a lone backslash, and the file's first bytes.
    long long counted = 0;
    for (const std::string& text : {std::string("\x7B\x5C"), std::string("\x5C"), noise.substr(0, 3)}) {
        const long long expected = TableCount(noise, text);
        counted += expected;
        EXPECT_EQ(SearchOne(noise, text), expected) << text;
    }
    EXPECT_GT(counted, 0) << "the noise holds none of the texts";
}

TEST(HostileContent, LineBreaksInsideTheTextCountThroughThePlainText)
{
    EXPECT_EQ(SearchOne("{\\rtf1 foo\rbar\rfoo}", "foobar"), 1);
    EXPECT_EQ(SearchOne("{\\rtf1 ab\r\rcd\n\nab\rcd}", "abcd"), 2);
    // Outside a document a line break is text.
    EXPECT_EQ(SearchOne("foo\rbar\rfoo", "foobar"), 0);
    // Opening braces with text between them: the groups vanish, the text stays.
    std::string nested = "{\\rtf1 ";
    for (int i = 0; i < 100000; ++i)
        nested += "{x";
    EXPECT_EQ(SearchOne(nested, "xx"), 50000);
}

namespace {

struct EntryState {
    DWORD attributes;
    unsigned long long size;
    FILETIME created;
    FILETIME written;
};

bool operator==(const EntryState& a, const EntryState& b)
{
    return a.attributes == b.attributes && a.size == b.size && CompareFileTime(&a.created, &b.created) == 0 &&
           CompareFileTime(&a.written, &b.written) == 0;
}

bool SetPastTimes(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    SYSTEMTIME past = {2001, 2, 0, 3, 4, 5, 6, 0};
    FILETIME time;
    BOOL ok = SystemTimeToFileTime(&past, &time) && SetFileTime(file, &time, &time, &time);
    CloseHandle(file);
    return ok != 0;
}

void ListTree(const std::string& folder, const std::string& relative, std::map<std::string, EntryState>* listing)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        EntryState state = {entry.dwFileAttributes,
                            (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow,
                            entry.ftCreationTime, entry.ftLastWriteTime};
        (*listing)[relative + name] = state;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListTree(folder + "\\" + name, relative + name + "\\", listing);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

}  // namespace

TEST(SearchedTree, IsLeftExactlyAsItWas)
{
    TempFolder root;
    root.Write("a.txt", "needle");
    root.Write("b.rtf", "{\\rtf1 nee\\par dle}");
    root.Write("empty.txt", "");
    root.Write(".hidden\\c.txt", "needle");
    root.Write("sub\\deeper\\d.bin", std::string(100000, '\x90') + "needle");
    const std::string locked = root.Write("sub\\locked.txt", "needle");
    // Times in the past, so that any write would show.
    for (const char* name : {"a.txt", "b.rtf", "empty.txt", ".hidden\\c.txt", "sub\\deeper\\d.bin", "sub\\locked.txt"})
        ASSERT_TRUE(SetPastTimes(root.Path() + "\\" + name)) << name;
    LockedFile holder(locked);
    ASSERT_TRUE(holder.Held());
    std::map<std::string, EntryState> before;
    ListTree(root.Path(), "", &before);
    ASSERT_EQ(before.size(), 9u);

    for (const char* text : {"needle", "", "absent"}) {
        EngineHarness engine;
        ASSERT_TRUE(engine.Start(root.Path(), text));
        engine.RunToEnd();
        ExpectConsistentEnd(engine);
    }

    std::map<std::string, EntryState> after;
    ListTree(root.Path(), "", &after);
    ASSERT_EQ(after.size(), before.size());
    for (const auto& item : before) {
        auto found = after.find(item.first);
        ASSERT_NE(found, after.end()) << item.first;
        EXPECT_TRUE(found->second == item.second) << item.first;
    }
}
