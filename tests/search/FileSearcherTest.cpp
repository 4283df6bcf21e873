// The folder walk over real folders: order, what is taken up, what is
// reported, the summary, and stopping between any two steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "EngineHarness.h"
#include "fuzz/WholeFileMatchers.h"
#include "LockedFile.h"
#include "TempFolder.h"
#include "MatcherRun.h"
#include "search/SearchText.h"

namespace {

std::vector<std::string> Names(const std::vector<FoundFile>& found)
{
    std::vector<std::string> names;
    for (const FoundFile& record : found)
        names.push_back(Utf8(record.name));
    return names;
}

// The count the whole-file matchers give for a file's content.
long long WholeFileCount(const std::string& content, const std::string& text)
{
    const std::string buffer = content + std::string(3, '\0');
    const std::basic_string<WCHAR> units(text.begin(), text.end());
    return static_cast<long long>(
        wholefile::Run(reinterpret_cast<const unsigned char*>(buffer.data()), content.size(), units.c_str()).matches);
}

// content repeated to size bytes, with insert placed so that it begins at
// offset (across a piece boundary when offset is just before one).
std::string Filled(const std::string& content, size_t size, size_t offset, const std::string& insert)
{
    std::string text;
    while (text.size() < size)
        text += content;
    text.resize(size);
    return text.replace(offset, insert.size(), insert);
}

// The events as compact lines: "found NAME COUNT" and "status TEXT".
std::vector<std::string> Trace(const EngineHarness& engine)
{
    std::vector<std::string> lines;
    for (const EngineEvent& event : engine.Events()) {
        if (event.kind == EngineEvent::Found)
            lines.push_back("found " + Utf8(event.record.name) + " " + std::to_string(event.record.matchCount));
        else if (event.kind == EngineEvent::Status)
            lines.push_back("status " + event.text);
        else
            lines.push_back("ended");
    }
    return lines;
}

}  // namespace

TEST(FolderWalk, VisitsFilesBeforeSubfoldersDepthFirst)
{
    TempFolder root;
    root.Write("a.txt", "x");
    root.Write("b.txt", "x, x");
    root.Write("S\\e.txt", "x");
    root.Write("S\\T\\f.txt", "x");
    root.Write("U\\g.txt", "x");
    EngineHarness engine;
    ASSERT_TRUE(engine.Start(root.Path(), "x"));
    engine.RunToEnd();
    // The last step sends the summary and posts the end, which the window
    // handles afterwards by finishing the walk: the summary comes again.
    std::vector<std::string> expected = {
        "found a.txt 1",          "found b.txt 2", "status Searching S ...",
        "found e.txt 1",          "status Searching T ...", "found f.txt 1",
        "status Searching U ...", "found g.txt 1", "status Found 6 matches in 5 files",
        "ended",                  "status Found 6 matches in 5 files",
    };
    EXPECT_EQ(Trace(engine), expected);
    // At the natural end the starting folder is current again.
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    EXPECT_STRCASEEQ(current, root.Path().c_str());
}

TEST(FolderWalk, RecordsDescribeTheFileAndItsFolder)
{
    TempFolder root;
    root.Write("sub\\data.bin", "needle and needle");
    EngineHarness engine;
    ASSERT_TRUE(engine.Start(root.Path(), "needle"));
    engine.RunToEnd();
    std::vector<FoundFile> found = engine.Found();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(Utf8(found[0].name), "data.bin");
    EXPECT_STRCASEEQ(Utf8(found[0].folder).c_str(), (root.Path() + "\\sub").c_str());
    EXPECT_EQ(found[0].matchCount, 2);
    EXPECT_EQ(found[0].sizeLow, 17u);
    EXPECT_EQ(found[0].sizeHigh, 0u);
    EXPECT_EQ(found[0].openStatus, 0);
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    ASSERT_TRUE(GetFileAttributesExA((root.Path() + "\\sub\\data.bin").c_str(), GetFileExInfoStandard, &attributes));
    EXPECT_EQ(CompareFileTime(&found[0].lastWriteTime, &attributes.ftLastWriteTime), 0);
    // The window sees copies owned by the found-file list, newest first.
    const FoundFile* records = engine.Searcher().FoundFiles();
    ASSERT_NE(records, nullptr);
    EXPECT_EQ(Utf8(records->name), "data.bin");
    EXPECT_EQ(records->next, nullptr);
}

// Which files a walk takes up and reports, by the folders, the pattern and
// the subfolder flag.
TEST(FolderWalk, ReportsTheFilesThePatternAndTheFoldersSelect)
{
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;  // path, content
        const char* text;
        const char* pattern;
        bool subfolders;
        std::vector<std::string> names;   // as reported, or sorted when sorted is set
        bool sorted;
        long long searched;               // -1: not checked
        std::vector<std::string> statuses;  // empty: not checked
    } const cases[] = {
        {"dot folders are skipped",
         {{"top.txt", "x"}, {".cache\\hidden.txt", "x"}, {"sub\\deep.txt", "x"}}, "x", "*.*", true,
         {"top.txt", "deep.txt"}, false, -1, {}},
        {"without subfolders the walk stays put",
         {{"top.txt", "x"}, {".cache\\hidden.txt", "x"}, {"sub\\deep.txt", "x"}}, "x", "*.*", false,
         {"top.txt"}, false, -1, {"Found 1 matches", "Found 1 matches"}},
        {"a folder matching the pattern is walked, not searched",
         {{"notes.txt", "x"}, {"archive.txt\\inner.txt", "x"}, {"readme", "x"}}, "x", "*.txt", true,
         {"notes.txt", "inner.txt"}, false, 2, {}},
        {"the default pattern matches names without a dot",
         {{"Makefile", "x"}, {"x.c", "x"}}, "x", "", true, {"Makefile", "x.c"}, true, -1, {}},
        {"nothing matching gives an empty summary and no status",
         {{"a.doc", "needle"}}, "needle", "*.txt", true, {}, false, -1, {"Found 0 matches", "Found 0 matches"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder root;
        for (const auto& file : c.files)
            root.Write(file.first, file.second);
        EngineHarness engine;
        ASSERT_TRUE(engine.Start(root.Path(), c.text, c.pattern, c.subfolders));
        engine.RunToEnd();
        std::vector<std::string> names = Names(engine.Found());
        if (c.sorted)
            std::sort(names.begin(), names.end());
        EXPECT_EQ(names, c.names);
        if (c.searched >= 0) {
            EXPECT_EQ(engine.Request().filesSearched, c.searched);
        }
        if (!c.statuses.empty()) {
            EXPECT_EQ(engine.Statuses(), c.statuses);
        }
    }
}

TEST(FolderWalk, EmptyTextReportsEveryFileUnopened)
{
    TempFolder root;
    root.Write("a.txt", "anything");
    std::string locked = root.Write("b.txt", "anything");
    root.Write("c.log", "");
    LockedFile hold(locked);
    ASSERT_TRUE(hold.Held());
    EngineHarness engine;
    ASSERT_TRUE(engine.Start(root.Path(), ""));
    engine.RunToEnd();
    std::vector<FoundFile> found = engine.Found();
    ASSERT_EQ(found.size(), 3u);
    for (const FoundFile& record : found) {
        EXPECT_EQ(record.matchCount, 1) << Utf8(record.name);
        EXPECT_EQ(record.openStatus, 0) << Utf8(record.name);  // never opened, so never "Failed"
    }
    EXPECT_EQ(engine.Statuses().back(), "Found 3 matches");
}

TEST(FolderWalk, UnopenableFileIsReportedAsFailedAndCountedAsSearched)
{
    TempFolder root;
    std::string locked = root.Write("locked.txt", "needle");
    root.Write("open.txt", "needle needle");
    root.Write("empty.txt", "");
    LockedFile hold(locked);
    ASSERT_TRUE(hold.Held());
    EngineHarness engine;
    ASSERT_TRUE(engine.Start(root.Path(), "needle"));
    engine.RunToEnd();
    std::vector<FoundFile> found = engine.Found();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(Utf8(found[0].name), "locked.txt");
    EXPECT_EQ(found[0].matchCount, 0);
    EXPECT_EQ(found[0].openStatus, -1);
    EXPECT_EQ(found[0].openError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));  // why, for the list
    EXPECT_EQ(Utf8(found[1].name), "open.txt");
    EXPECT_EQ(found[1].openStatus, 0);
    EXPECT_EQ(found[1].openError, 0u);
    EXPECT_EQ(engine.Request().filesSearched, 3);
    EXPECT_EQ(engine.Request().filesWithMatches, 1);
    EXPECT_EQ(engine.Request().totalMatches, 2);
    EXPECT_EQ(engine.Statuses().back(), "Searched a total of 3 files, found 2 matches in 1 files");
}

TEST(Summary, PicksTheTextByTheCounters)
{
    struct Case {
        long long searched, matches, withMatches;
        const char* text;
    } cases[] = {
        {0, 0, 0, "Found 0 matches"},
        {12, 0, 0, "Found 0 matches"},
        {12, 3, 3, "Found 3 matches"},
        {12, 7, 3, "Searched a total of 12 files, found 7 matches in 3 files"},
        {3, 7, 3, "Found 7 matches in 3 files"},
        {5, 5, 5, "Found 5 matches"},
        // Counters past 31 and 32 bits show whole.
        {1, 3221225472ll, 1, "Found 3221225472 matches in 1 files"},
        {3000000000ll, 5000000000ll, 2, "Searched a total of 3000000000 files, found 5000000000 matches in 2 files"},
        {4294967297ll, 4294967297ll, 4294967297ll, "Found 4294967297 matches"},
    };
    EngineHarness engine;
    Notifier notifier;
    notifier.SetSink(&engine);
    for (const Case& c : cases) {
        engine.ClearEvents();
        SearchRequest& request = engine.MutableRequest();
        request.filesSearched = c.searched;
        request.totalMatches = c.matches;
        request.filesWithMatches = c.withMatches;
        EXPECT_EQ(notifier.SendSummary(request), 1);
        EXPECT_EQ(engine.Statuses(), std::vector<std::string>{c.text});
    }
}

TEST(Senders, AnswerStopWhenTheWindowAskedForIt)
{
    EngineHarness engine;
    Notifier notifier;
    notifier.SetSink(&engine);
    FoundFile record = {};
    record.name = L"kept.txt";
    notifier.RequestStop();
    EXPECT_EQ(notifier.SendFoundFile(record), 0);
    EXPECT_EQ(notifier.SendStatus(L"Searching %ls ...", L"x"), 0);
    notifier.ClearStop();
    EXPECT_EQ(notifier.SendStatus(L"Searching %ls ...", L"x"), 1);
    // The record sent while stopping is still kept for the window.
    ASSERT_NE(notifier.FoundFiles(), nullptr);
    EXPECT_EQ(Utf8(notifier.FoundFiles()->name), "kept.txt");
}

TEST(StopAndRestart, StopAfterAnyStepEndsCleanlyAndAFreshStartGivesTheFullResult)
{
    TempFolder root;
    root.Write("a.txt", "x");
    root.Write("S\\b.txt", "x");
    root.Write("S\\T\\c.txt", "x");
    root.Write("U\\d.txt", "x");
    std::vector<std::string> full;
    int totalSteps = 0;
    {
        EngineHarness engine;
        ASSERT_TRUE(engine.Start(root.Path(), "x"));
        totalSteps = engine.RunToEnd();
        full = Names(engine.Found());
    }
    ASSERT_EQ(full.size(), 4u);
    for (int stopAfter = 0; stopAfter < totalSteps; ++stopAfter) {
        EngineHarness engine;
        ASSERT_TRUE(engine.Start(root.Path(), "x"));
        for (int i = 0; i < stopAfter; ++i)
            engine.StepOnce();
        size_t foundBefore = engine.Found().size();
        engine.Stop();
        EXPECT_FALSE(engine.StepOnce()) << "a step ran after the stop";
        EXPECT_EQ(engine.Found().size(), foundBefore);
        // The summary of what was counted so far closes the stopped walk.
        const std::string summary = engine.Statuses().back();
        EXPECT_TRUE(summary.rfind("Found ", 0) == 0 || summary.rfind("Searched ", 0) == 0) << summary;
        EXPECT_NE(summary.find(std::to_string(engine.Request().totalMatches) + " matches"), std::string::npos);
        // The same searcher starts afresh from the starting folder.
        ASSERT_TRUE(engine.Start(root.Path(), "x"));
        EXPECT_EQ(engine.RunToEnd(), totalSteps) << "after a stop at step " << stopAfter;
        EXPECT_EQ(Names(engine.Found()), full);
    }
}

// Files larger than a piece are read one piece per step; what they report is
// exactly what the whole file gives, with occurrences, escapes and line breaks
// split across the pieces.
TEST(FilePieces, LargeFilesReportWhatTheWholeFileGives)
{
    const size_t piece = FilePieceSize;
    const size_t size = piece * 5 / 2;
    struct Row {
        const char* name;
        std::string content;
        long long matches;
    } rows[] = {
        {"8bit.txt", Filled("needle in a haystack ", size, piece - 3, "needle"), 0},
        {"joined.rtf", "{\\rtf1 " + Filled("need\r\nle and hay; ", size, 2 * piece - 4, "need\r\nle"), 0},
        {"escape.rtf", "{\\rtf1 " + Filled("{\\b n}\\'65edle\\par ", size, piece - 2, "\\'6eeedle"), 0},
        {"wide.txt", Filled(std::string("n\0e\0e\0d\0l\0e\0 \0", 14), size - 1, piece - 4,
                            std::string("n\0e\0e\0d", 7)), 0},
    };
    TempFolder root;
    long long total = 0;
    for (Row& row : rows) {
        row.matches = WholeFileCount(row.content, "needle");
        ASSERT_GT(row.matches, 2) << row.name;
        root.Write(row.name, row.content);
        total += row.matches;
    }
    EngineHarness engine;
    ASSERT_TRUE(engine.Start(root.Path(), "needle"));
    const int steps = engine.RunToEnd();
    std::vector<FoundFile> found = engine.Found();
    ASSERT_EQ(found.size(), 4u);
    for (const FoundFile& record : found) {
        const Row* row = nullptr;
        for (const Row& candidate : rows)
            row = candidate.name == Utf8(record.name) ? &candidate : row;
        ASSERT_NE(row, nullptr) << Utf8(record.name);
        EXPECT_EQ(record.matchCount, row->matches) << Utf8(record.name);
        EXPECT_EQ(FoundFileSize(record), row->content.size()) << Utf8(record.name);
    }
    EXPECT_EQ(engine.Request().totalMatches, total);
    // Each file takes three pieces: two steps more than a file read in one.
    EngineHarness small;
    TempFolder smallRoot;
    for (const Row& row : rows)
        smallRoot.Write(row.name, "needle");
    ASSERT_TRUE(small.Start(smallRoot.Path(), "needle"));
    EXPECT_EQ(steps, small.RunToEnd() + 4 * 2);
}

// A binary file is read only until every view has ended: one step, whatever
// its size.
TEST(FilePieces, BinaryFilesEndAfterTheirFirstPiece)
{
    TempFolder root;
    std::string binary(FilePieceSize * 3, 'x');
    binary.replace(40, 4, std::string(4, '\0'));
    binary.replace(FilePieceSize * 2, 6, "needle");
    root.Write("large.bin", binary);
    EngineHarness engine;
    ASSERT_TRUE(engine.Start(root.Path(), "needle"));
    const int steps = engine.RunToEnd();
    EXPECT_TRUE(engine.Found().empty());
    TempFolder smallRoot;
    smallRoot.Write("small.bin", std::string("xx\0\0", 4));
    EngineHarness small;
    ASSERT_TRUE(small.Start(smallRoot.Path(), "needle"));
    EXPECT_EQ(steps, small.RunToEnd());
}

// Stop between two pieces: the file in progress is not reported, no step
// runs after the stop, the file is released, and the summary has what was
// counted before it.
TEST(FilePieces, StopBetweenPiecesReleasesTheFileAndReportsItNot)
{
    TempFolder root;
    root.Write("a.txt", "needle");
    const std::string large = root.Write("sub\\b.txt", Filled("needle ", FilePieceSize * 3, 0, "needle"));
    EngineHarness engine;
    ASSERT_TRUE(engine.Start(root.Path(), "needle"));
    int steps = 0;
    while (engine.Request().filesSearched < 2) {
        ASSERT_TRUE(engine.StepOnce());
        ASSERT_LT(++steps, 100);
    }
    ASSERT_TRUE(engine.StepOnce());  // the second of b.txt's three pieces
    engine.Stop();
    EXPECT_FALSE(engine.StepOnce());
    EXPECT_EQ(Names(engine.Found()), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(engine.Request().totalMatches, 1);
    EXPECT_EQ(engine.Statuses().back(), "Found 1 matches");
    HANDLE exclusive = CreateFileA(large.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE) << "the stopped file is still open";
    if (exclusive != INVALID_HANDLE_VALUE)
        CloseHandle(exclusive);
}

namespace {


// The text in the code page, exactly, or false.
bool InCodePage(const std::u16string& text, std::string* bytes)
{
    char spelled[64];
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, reinterpret_cast<const WCHAR*>(text.c_str()),
                                           static_cast<int>(text.size()), spelled, sizeof spelled, nullptr, &usedDefault);
    if (length <= 0 || usedDefault)
        return false;
    bytes->assign(spelled, static_cast<size_t>(length));
    return true;
}

std::string RtfEscaped(const std::string& bytes)
{
    std::string escaped;
    for (unsigned char byte : bytes) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\'%02x", byte);
        escaped += byte >= 0x80 || byte == '\\' || byte == '{' || byte == '}' ? std::string(hex)
                                                                                : std::string(1, static_cast<char>(byte));
    }
    return escaped;
}

}  // namespace

// Each file holds the text once as typed and once in capitals, in one
// encoding; the walk must report it by the reading of that encoding, once
// with Match case and twice without. Runs under the default code page and,
// as FileSearcherTest.JapaneseLocale, under code page 932.
TEST(Readings, EveryEncodingIsFoundByItsReadingThroughTheWalk)
{
    const UINT codePage = GetACP();
    if (std::getenv("TROVIK_EXPECT_DOUBLE_BYTE") != nullptr) {
        ASSERT_EQ(codePage, 932u) << "the Japanese run must run under code page 932";
    }
    struct Text {
        const char* name;
        std::u16string typed, capitals;
    } const texts[] = {
        {"ASCII", u"Needle", u"NEEDLE"},
        {"Latin-1", u"Caf\u00E9", u"CAF\u00C9"},
        {"euro", u"\u20ACuro", u"\u20ACURO"},
        {"Cyrillic", u"\u0414\u043E\u043C", u"\u0414\u041E\u041C"},
        {"CJK", u"\u65E5\u672C", u"\u65E5\u672C"},
    };
    for (const Text& text : texts) {
        const bool ascii = std::all_of(text.typed.begin(), text.typed.end(), [](char16_t unit) { return unit < 0x80; });
        std::string ansi, ansiCapitals;
        const bool spelled = InCodePage(text.typed, &ansi) && InCodePage(text.capitals, &ansiCapitals);
        std::string utf8, utf8Capitals;
        EncodeUtf8(text.typed, &utf8);
        EncodeUtf8(text.capitals, &utf8Capitals);
        const std::u16string both = text.typed + u" and " + text.capitals;

        struct File {
            const char* name;
            std::string content;
            const char* reading;  // nullptr: not found at all
        };
        std::vector<File> files = {
            {"utf8.txt", "x " + utf8 + " and " + utf8Capitals, ascii ? "ANSI" : "UTF-8"},
            {"utf8bom.txt", "\xEF\xBB\xBF" + utf8 + " and " + utf8Capitals, "UTF-8"},
            {"le.txt", Utf16Bytes(both, false), "UTF-16"},
            {"lebom.txt", Utf16Bytes(u"\uFEFF" + both, false), "UTF-16"},
            {"be.txt", Utf16Bytes(both, true), "UTF-16 BE"},
            {"bebom.txt", Utf16Bytes(u"\uFEFF" + both, true), "UTF-16 BE"},
            {"binary.dat", std::string("\0\1\2", 3) + utf8 + " and " + utf8Capitals, nullptr},
        };
        if (spelled) {
            // Only a document is read as RTF: plain text is the code page's.
            files.push_back({"codepage.txt", "x " + ansi + " and " + ansiCapitals, "ANSI"});
            files.push_back({"doc.rtf",
                             "{\\rtf1\\ansi\\ansicpg" + std::to_string(codePage) + "{\\fonttbl{\\f0 Arial;}}\\f0 " +
                                 RtfEscaped(ansi) + "\\par " + RtfEscaped(ansiCapitals) + "}",
                             "RTF"});
        }
        TempFolder folder;
        for (const File& file : files)
            folder.Write(file.name, file.content);
        for (bool matchCase : {true, false}) {
            SCOPED_TRACE(std::string(text.name) + (matchCase ? ", Match case" : ", any case"));
            EngineHarness engine;
            ASSERT_TRUE(engine.StartTyped(folder.Path(), text.typed, "*.*", false, matchCase));
            engine.RunToEnd();
            std::map<std::string, const FoundFile*> found;
            const std::vector<FoundFile> records = engine.Found();
            for (const FoundFile& record : records)
                found[Utf8(record.name)] = &record;
            const long long expected = matchCase && text.capitals != text.typed ? 1 : 2;
            for (const File& file : files) {
                SCOPED_TRACE(file.name);
                if (file.reading == nullptr) {
                    EXPECT_EQ(found.count(file.name), 0u);
                    continue;
                }
                ASSERT_EQ(found.count(file.name), 1u);
                EXPECT_STREQ(ReadingName(found[file.name]->reading), file.reading);
                EXPECT_EQ(found[file.name]->matchCount, expected);
            }
        }
    }
}
