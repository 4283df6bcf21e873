// Hostile folders and files through the real engine: locked files, a tree
// that changes between steps, paths at the length limit, names the code page
// cannot spell, odd contents, and a searched tree left exactly as it was.
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
#include "fuzz/WholeFileMatchers.h"
#include "search/ContentMatchers.h"

namespace {

bool WriteWide(const std::wstring& path, const std::string& content)
{
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(handle, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(handle);
    return ok && written == content.size();
}

std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

const FoundFile* FindRecord(const std::vector<FoundFile>& found, const std::string& name)
{
    for (const FoundFile& record : found) {
        if (name == record.name)
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
        EXPECT_NE(event.record.folder[0], 0) << event.record.name;
        // A full path that does not fit is refused, never cut.
        char path[260];
        if (!FullPath(event.record, path)) {
            EXPECT_EQ(path[0], 0);
        } else {
            EXPECT_EQ(std::string(path), std::string(event.record.folder) + "\\" + event.record.name);
        }
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

TEST(LongPaths, FoldersTooDeepForTheRecordAreNotEnteredAndNoPathIsCut)
{
    TempFolder root;
    // Levels of 40-character names until the platform refuses to go deeper;
    // each level holds a file with the text.
    const std::wstring level(40, L'd');
    std::wstring wide = L"\\\\?\\" + Widen(root.Path());
    std::vector<std::string> levels;
    std::string path = root.Path();
    for (int depth = 0; depth < 12; ++depth) {
        wide += L"\\" + level;
        path += "\\" + std::string(level.begin(), level.end());
        if (!CreateDirectoryW(wide.c_str(), nullptr))
            break;
        if (!WriteWide(wide + L"\\n.txt", "needle"))
            break;
        levels.push_back(path);
    }
    ASSERT_GE(levels.size(), 6u) << "the tree must reach past 260 bytes";
    ASSERT_GT(levels.back().size(), 260u);
    // A name of 255 characters in a folder near the limit.
    const std::string longName = std::string(251, 'n') + ".txt";
    const std::string nearLimit = levels[2];
    ASSERT_TRUE(WriteWide(L"\\\\?\\" + Widen(nearLimit + "\\" + longName), "needle"));

    EngineHarness engine;
    ASSERT_TRUE(engine.Start(root.Path(), "needle"));
    engine.RunToEnd();
    ExpectConsistentEnd(engine);

    size_t reachable = 0;
    for (const std::string& folder : levels)
        reachable += folder.size() < 260 ? 1 : 0;
    std::vector<std::string> folders;
    for (const FoundFile& record : engine.Found()) {
        if (std::string(record.name) == "n.txt") {
            EXPECT_EQ(record.matchCount, 1);
            folders.push_back(record.folder);
        }
    }
    ASSERT_EQ(folders.size(), reachable);
    for (size_t i = 0; i < folders.size(); ++i)
        EXPECT_EQ(folders[i], levels[i]);
    // The long name is reported with its own folder, whatever its full path.
    const FoundFile* named = FindRecord(engine.Found(), longName);
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(std::string(named->folder), nearLimit);
}

TEST(ForeignNames, NamesTheCodePageCannotSpellNeverReadAnotherFile)
{
    TempFolder root;
    const std::wstring base = Widen(root.Path()) + L"\\";
    // U+0100 is spelled "A" by the ANSI code page: the entry's name then
    // names the other file.
    ASSERT_TRUE(WriteWide(base + L"Ab.txt", "needle needle"));
    ASSERT_TRUE(WriteWide(base + L"\u0100b.txt", "needle"));
    ASSERT_TRUE(WriteWide(base + L"\u4e00.txt", "needle"));
    ASSERT_TRUE(WriteWide(base + L"\u4e00\u4e01.txt", "needle"));
    ASSERT_TRUE(CreateDirectoryW((base + L"\u4e02dir").c_str(), nullptr));
    ASSERT_TRUE(WriteWide(base + L"\u4e02dir\\inner.txt", "needle"));
    ASSERT_TRUE(WriteWide(base + L"plain.txt", "needle"));
    // A folder spelled like its neighbour must not lead into it a second time.
    ASSERT_TRUE(CreateDirectoryW((base + L"Adir").c_str(), nullptr));
    ASSERT_TRUE(WriteWide(base + L"Adir\\own.txt", "needle"));
    ASSERT_TRUE(CreateDirectoryW((base + L"\u0100dir").c_str(), nullptr));
    ASSERT_TRUE(WriteWide(base + L"\u0100dir\\foreign.txt", "needle"));

    EngineHarness engine;
    ASSERT_TRUE(engine.Start(root.Path(), "needle"));
    engine.RunToEnd();
    ExpectConsistentEnd(engine);

    int realAb = 0;
    int failed = 0;
    for (const FoundFile& record : engine.Found()) {
        if (record.openStatus == -1) {
            ++failed;
            EXPECT_EQ(record.matchCount, 0) << record.name;
        } else if (std::string(record.name) == "Ab.txt") {
            ++realAb;
            EXPECT_EQ(record.matchCount, 2);
        } else if (std::string(record.name) == "own.txt") {
            EXPECT_EQ(std::string(record.folder), root.Path() + "\\Adir");
            continue;
        } else {
            EXPECT_EQ(std::string(record.name), "plain.txt");
        }
        EXPECT_EQ(std::string(record.folder), root.Path()) << record.name;
    }
    EXPECT_EQ(realAb, 1);
    EXPECT_EQ(failed, 3);
    EXPECT_EQ(FindRecord(engine.Found(), "inner.txt"), nullptr);
    EXPECT_EQ(FindRecord(engine.Found(), "foreign.txt"), nullptr);
    EXPECT_EQ(engine.Request().filesSearched, 6);
    EXPECT_EQ(engine.Request().totalMatches, 4);
}

// The ANSI code page's own spelling of a wide name, and whether it is exact.
std::string SpellInCodePage(const std::wstring& name, bool* exact)
{
    char spelled[4 * MAX_PATH] = {};
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.c_str(), -1, spelled, sizeof spelled,
                                     nullptr, GetACP() == CP_UTF8 ? nullptr : &usedDefault);
    *exact = length > 0 && !usedDefault;
    if (!*exact)
        WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, spelled, sizeof spelled, nullptr, nullptr);
    return spelled;
}

// Whatever the code page, a name it spells exactly is read and its folder
// walked, and a name it cannot spell is failed (or its folder left out). Run
// once more under a double-byte code page, where CJK names are spelled.
TEST(ForeignNames, NamesTheCodePageSpellsAreReadAndWalked)
{
    if (std::getenv("TROVIK_EXPECT_DOUBLE_BYTE") != nullptr) {
        ASSERT_TRUE(IsDBCSLeadByte(0x88)) << "the locale did not give a double-byte code page";
    }
    TempFolder root;
    const std::wstring base = Widen(root.Path()) + L"\\";
    const std::wstring files[] = {L"\u4e00.txt", L"caf\u00e9.txt", L"\u0100b.txt", L"long name beyond eight.text"};
    for (const std::wstring& name : files)
        ASSERT_TRUE(WriteWide(base + name, "needle"));
    const std::wstring folder = L"\u65e5\u672cdir";
    ASSERT_TRUE(CreateDirectoryW((base + folder).c_str(), nullptr));
    ASSERT_TRUE(WriteWide(base + folder + L"\\inner.txt", "needle needle"));

    EngineHarness engine;
    ASSERT_TRUE(engine.Start(root.Path(), "needle"));
    engine.RunToEnd();
    ExpectConsistentEnd(engine);

    int spelledFiles = 0;
    for (const std::wstring& name : files) {
        bool exact = false;
        const std::string spelled = SpellInCodePage(name, &exact);
        const FoundFile* record = FindRecord(engine.Found(), spelled);
        ASSERT_NE(record, nullptr) << spelled;
        if (exact) {
            ++spelledFiles;
            EXPECT_EQ(record->matchCount, 1) << spelled;
            EXPECT_NE(record->openStatus, -1) << spelled;
        } else {
            EXPECT_EQ(record->matchCount, 0) << spelled;
            EXPECT_EQ(record->openStatus, -1) << spelled;
            EXPECT_EQ(record->openError, static_cast<DWORD>(FailureNameNotSpelled)) << spelled;
        }
    }
    bool folderExact = false;
    const std::string folderSpelled = SpellInCodePage(folder, &folderExact);
    const FoundFile* inner = FindRecord(engine.Found(), "inner.txt");
    if (folderExact) {
        ASSERT_NE(inner, nullptr);
        EXPECT_EQ(inner->matchCount, 2);
        EXPECT_EQ(std::string(inner->folder), root.Path() + "\\" + folderSpelled);
    } else {
        EXPECT_EQ(inner, nullptr);
    }
    EXPECT_EQ(engine.Request().filesSearched, 4 + (folderExact ? 1 : 0));
    EXPECT_EQ(engine.Request().totalMatches, spelledFiles + (folderExact ? 2 : 0));
    if (std::getenv("TROVIK_EXPECT_DOUBLE_BYTE") != nullptr) {
        EXPECT_TRUE(folderExact);
        EXPECT_GE(spelledFiles, 2);  // the CJK name and the plain one
    }
}

TEST(ForeignNames, FilesNamedLikeDevicesAreFailedNotReadFromTheDevice)
{
    TempFolder root;
    // Such files exist on disk but their plain names open a port, the
    // console or the null device; reading a port may never return.
    const std::wstring base = L"\\\\?\\" + Widen(root.Path()) + L"\\";
    const wchar_t* devices[] = {L"aux", L"com1.txt", L"nul", L"con", L"lpt1.log"};
    for (const wchar_t* name : devices)
        ASSERT_TRUE(WriteWide(base + name, "needle")) << root.Path();
    ASSERT_TRUE(WriteWide(base + L"auxiliary.txt", "needle"));

    EngineHarness engine;
    ASSERT_TRUE(engine.Start(root.Path(), "needle"));
    engine.RunToEnd();
    ExpectConsistentEnd(engine);

    int failed = 0;
    for (const FoundFile& record : engine.Found()) {
        if (std::string(record.name) == "auxiliary.txt") {
            EXPECT_EQ(record.matchCount, 1);
            continue;
        }
        ++failed;
        EXPECT_EQ(record.openStatus, -1) << record.name;
        EXPECT_EQ(record.openError, static_cast<DWORD>(FailureDeviceName)) << record.name;
        EXPECT_EQ(record.matchCount, 0) << record.name;
    }
    EXPECT_EQ(failed, 5);
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
