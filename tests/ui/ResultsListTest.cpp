// The results list on the real dialog and list view: columns, cell texts,
// sorting by clicks, and the path a double-click opens.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "ResultsListFixture.h"
#include "search/SearchText.h"

namespace {

TEST_F(ResultsListTest, ColumnsHaveTheirHeadersWidthsAndOnlySizeRightAligned)
{
    const char* headers[] = { "Name", "Matches", "Location", "Size", "Type", "Modified" };
    // At 96 DPI; Modified is made wide enough to show a whole time.
    const int widths[] = { 200, 80, 200, 80, 80, 80 };
    for (int i = 0; i < 6; ++i) {
        char text[64] = "";
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.pszText = text;
        column.cchTextMax = sizeof text;
        ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(text, headers[i]);
        if (i == 5) {
            EXPECT_GE(column.cx, widths[i]);
            const char time[] = "2005-03-01 09:05";
            EXPECT_GE(column.cx, SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(time)) + 12);
        } else {
            EXPECT_EQ(column.cx, widths[i]);
        }
        EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, i == 3 ? LVCFMT_RIGHT : LVCFMT_LEFT);
    }
    LVCOLUMNA seventh = {};
    seventh.mask = LVCF_WIDTH;
    EXPECT_FALSE(SendMessageA(list, LVM_GETCOLUMNA, 6, reinterpret_cast<LPARAM>(&seventh)));
}

TEST_F(ResultsListTest, CellsShowTheRecordForNormalAndFailedFiles)
{
    Add("report.txt", 7, 1234567, Utc(2005, 3, 1, 9, 5));
    Add("locked.doc", 0, 1023, Utc(1999, 12, 31, 23, 59), true);
    Add("huge.log", 3221225472ll, 3221225472ull, Utc(2005, 3, 1, 9, 5))->reading = ReadingUtf16Be;
    Add("\u65E5\u672C \U0001F600.txt", 2, 10, Utc(2005, 3, 1, 9, 5), false, "C:\\\u0434\u043E\u043C")->reading =
        ReadingUtf16;
    records[0].reading = ReadingUtf8;
    const char* normal[] = { "report.txt", "7", "C:\\data", "1.17 MB", "UTF-8", "2005-03-01 09:05" };
    const char* failed[] = { "locked.doc", "0", "C:\\data", "1023 bytes", "Failed", "1999-12-31 23:59" };
    const char* huge[] = { "huge.log", "3221225472", "C:\\data", "3.00 GB", "UTF-16 BE", "2005-03-01 09:05" };
    const char* foreign[] = { "\u65E5\u672C \U0001F600.txt", "2", "C:\\\u0434\u043E\u043C", "10 bytes", "UTF-16",
                              "2005-03-01 09:05" };
    for (int column = 0; column < 6; ++column) {
        EXPECT_EQ(Cell(0, column), normal[column]) << column;
        EXPECT_EQ(Cell(1, column), failed[column]) << column;
        EXPECT_EQ(Cell(2, column), huge[column]) << column;
        EXPECT_EQ(Cell(3, column), foreign[column]) << column;
    }
}

TEST_F(ResultsListTest, CellTextsNeverExceedTheRoomGiven)
{
    FoundFile* record = Add("a-rather-long-name.txt", 123456, 5000000000ull, Utc(2005, 3, 1, 9, 5), true);
    for (int column = 0; column < 7; ++column) {
        for (int room : { 0, 1, 2, 4 }) {
            WCHAR text[16];
            std::wmemset(text, L'X', 16);
            NMLVDISPINFOW info = {};
            info.hdr = { list, IDC_RESULTS, static_cast<UINT>(LVN_GETDISPINFOW) };
            info.item.mask = LVIF_TEXT;
            info.item.iSubItem = column;
            info.item.lParam = reinterpret_cast<LPARAM>(record);
            info.item.pszText = text;
            info.item.cchTextMax = room;
            ResultsList::OnNotify(&info.hdr);
            for (int i = room; i < 16; ++i)
                ASSERT_EQ(text[i], L'X') << "column " << column << " room " << room;
            if (room > 0 && column < 6) {
                EXPECT_NE(std::wmemchr(text, 0, room), nullptr) << "column " << column << " room " << room;
            }
        }
    }
    // A character of two units is shown whole or not at all.
    record = Add("a\U0001F600b");
    for (int room : { 2, 3, 4 }) {
        WCHAR text[8] = {};
        NMLVDISPINFOW info = {};
        info.hdr = { list, IDC_RESULTS, static_cast<UINT>(LVN_GETDISPINFOW) };
        info.item.mask = LVIF_TEXT;
        info.item.lParam = reinterpret_cast<LPARAM>(record);
        info.item.pszText = text;
        info.item.cchTextMax = room;
        ResultsList::OnNotify(&info.hdr);
        EXPECT_EQ(Utf8(text), room < 4 ? "a" : "a\U0001F600") << room;
    }
}

TEST_F(ResultsListTest, ModifiedIsUtcWithTwoDigitFieldsAndUnreadableTimesAreBlank)
{
    char text[64];
    ResultsList::FormatTimestamp(text, sizeof text, 2005, 3, 1, 9, 5);
    EXPECT_STREQ(text, "2005-03-01 09:05");
    ResultsList::FormatTimestamp(text, sizeof text, 30827, 12, 31, 23, 59);
    EXPECT_STREQ(text, "30827-12-31 23:59");
    FILETIME beyond = { 0, 0x80000000u };  // FileTimeToSystemTime refuses it
    Add("a", 1, 0, Utc(1601, 1, 1, 0, 0));
    Add("b", 1, 0, beyond);
    EXPECT_EQ(Cell(0, 5), "1601-01-01 00:00");
    EXPECT_EQ(Cell(1, 5), "");
}

TEST_F(ResultsListTest, SizesMatchTheShellBelowFourGigabytesAndUseAll64Bits)
{
    std::vector<unsigned long long> sizes = { 0, 1, 999, 1000, 1023, 1024, 1075, 1076, 10239, 10240,
                                              102399, 102400, 1023999, 1024000, 1048575, 0xFFFFFFFFull };
    for (double size = 1; size < 4294967295.0; size = size * 1.013 + 7)
        sizes.push_back(static_cast<unsigned long long>(size));
    for (unsigned long long size : sizes) {
        char shell[64], ours[64];
        ASSERT_TRUE(StrFormatByteSizeA(static_cast<DWORD>(size), shell, sizeof shell));
        ResultsList::FormatByteSize(ours, static_cast<DWORD>(size), 0, sizeof ours);
        ASSERT_STREQ(ours, shell) << size;
    }
    struct { unsigned long long size; const char* text; } large[] = {
        { 5000000000ull, "4.65 GB" }, { 1ull << 32, "4.00 GB" }, { 1023999ull << 20, "999 GB" },
        { 1ull << 40, "1.00 TB" }, { 1ull << 50, "1.00 PB" }, { ~0ull, "15.9 EB" },
    };
    for (const auto& each : large) {
        char text[64];
        ResultsList::FormatByteSize(text, static_cast<DWORD>(each.size), static_cast<DWORD>(each.size >> 32), sizeof text);
        EXPECT_STREQ(text, each.text);
    }
}

TEST_F(ResultsListTest, NameSortsAToZFirstThenFlipsCaseInsensitively)
{
    Add("beta"); Add("Alpha"); Add("_under"); Add("gamma"); Add("ALP");
    EXPECT_EQ(Click(0), "_under ALP Alpha beta gamma");
    EXPECT_EQ(Click(0), "gamma beta Alpha ALP _under");
    EXPECT_EQ(Click(0), "_under ALP Alpha beta gamma");
}

TEST_F(ResultsListTest, OtherColumnsStartDescendingAndADifferentColumnRestartsDescending)
{
    Add("a", 3, 0, Utc(2001, 1, 1, 0, 0)); Add("c", 9, 0, Utc(2003, 1, 1, 0, 0)); Add("b", 1, 0, Utc(2002, 1, 1, 0, 0));
    Add("d", 3221225472ll, 0, Utc(2000, 1, 1, 0, 0));  // more matches than 31 bits hold
    EXPECT_EQ(Click(1), "d c a b");
    EXPECT_EQ(Click(1), "b a c d");
    EXPECT_EQ(Click(1), "d c a b");
    EXPECT_EQ(Click(0), "d c b a");  // Name after Matches: Z to A
    EXPECT_EQ(Click(5), "c b a d");  // newest first
    EXPECT_EQ(Click(5), "d a b c");
}

TEST_F(ResultsListTest, SizeSortsByTheWholeSizeAndTypeGroupsFailedRows)
{
    Add("small", 1, 1 << 20); Add("huge", 1, 5000000000ull, {}, true); Add("big", 1, 800000000); Add("bad", 0, 0, {}, true);
    EXPECT_EQ(Click(3), "huge big small bad");
    // Failed rows come first, then last; within each group any order.
    const std::string failedFirst = Click(4).substr(0, 8);
    EXPECT_TRUE(failedFirst == "huge bad" || failedFirst == "bad huge") << failedFirst;
    const std::string failedLast = Click(4).substr(10);
    EXPECT_TRUE(failedLast == "huge bad" || failedLast == "bad huge") << failedLast;
    // The others by the name of their reading.
    records[0].reading = ReadingUtf8;
    records[2].reading = ReadingAnsi;
    Click(0);
    EXPECT_EQ(Click(4).substr(9), "small big");
    EXPECT_EQ(Click(4).substr(0, 9), "big small");

    // Every column gives an order: swapping the rows negates the answer.
    for (int column = 0; column < 6; ++column)
        for (const FoundFile& a : records)
            for (const FoundFile& b : records) {
                ResultsList::SortParams params = { column, 1 };
                const LPARAM p = reinterpret_cast<LPARAM>(&params);
                EXPECT_EQ(ResultsList::CompareFoundFiles(reinterpret_cast<LPARAM>(&a), reinterpret_cast<LPARAM>(&b), p),
                          -ResultsList::CompareFoundFiles(reinterpret_cast<LPARAM>(&b), reinterpret_cast<LPARAM>(&a), p));
            }
}

// Names compare by character whatever the code page: a character beyond
// U+FFFF (two units) by its code point, above every other; only ASCII
// letters fold. Run again under a double-byte code page.
TEST(ResultsListNames, CharactersCompareWholeAndOnlyAsciiLettersFold)
{
    if (std::getenv("TROVIK_EXPECT_DOUBLE_BYTE") != nullptr) {
        ASSERT_TRUE(IsDBCSLeadByte(0x83)) << "the locale did not give a double-byte code page";
    }
    auto compare = [](const WCHAR* first, const WCHAR* second) {
        FoundFile a = {}, b = {};
        a.name = first;
        b.name = second;
        ResultsList::SortParams params = { 0, 1 };
        return ResultsList::CompareFoundFiles(reinterpret_cast<LPARAM>(&a), reinterpret_cast<LPARAM>(&b),
                                              reinterpret_cast<LPARAM>(&params));
    };
    EXPECT_LT(compare(L"\u30BB", L"\u30C1"), 0);   // katakana se and chi, as cp932's 0x83 0x5A and 0x83 0x61
    EXPECT_NE(compare(L"\u00C9", L"\u00E9"), 0);   // beyond ASCII nothing folds
    EXPECT_EQ(compare(L"ABC", L"abc"), 0);
    EXPECT_GT(compare(L"\u30A2", L"z"), 0);
    EXPECT_LT(compare(L"\u30A2", L"\u30A2b"), 0);
    EXPECT_GT(compare(L"\U0001F600", L"\uFF5A"), 0);  // by code point, not by its first unit
    EXPECT_LT(compare(L"\U0001F600", L"\U0001F601"), 0);
}

TEST_F(ResultsListTest, ARowArrivingAfterASortGoesToTheBottomAndTheSortStateOutlivesASearch)
{
    Add("b"); Add("c"); Add("a");
    Click(0);
    Add("0first");
    EXPECT_EQ(Order(), "a b c 0first");
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);  // a new search
    Add("x"); Add("y");
    EXPECT_EQ(Click(0), "y x");  // the earlier click set ascending, so this one descends
}

TEST_F(ResultsListTest, OpeningJoinsFolderAndNameWhateverTheirLength)
{
    Add("windows", 1, 0, {}, false, "C:\\");
    Add("a.txt", 1, 0, {}, false, "C:\\docs");
    const std::string longFolder = "C:\\" + std::string(300, 'f');
    Add("\u65E5" + std::string(100, 'n'), 1, 0, {}, false, longFolder);
    std::wstring path;
    ASSERT_TRUE(ResultsList::ItemPath(list, 0, &path));
    EXPECT_EQ(path, L"C:\\windows");  // a root's backslash is not doubled
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(ResultsList::ItemPath(list, 1, &path));
    EXPECT_EQ(path, L"C:\\docs\\a.txt");
    ASSERT_TRUE(ResultsList::ItemPath(list, 2, &path));  // whole, never cut
    EXPECT_EQ(Utf8(path.c_str()), longFolder + "\\\u65E5" + std::string(100, 'n'));
    EXPECT_FALSE(ResultsList::ItemPath(list, -1, &path));
    EXPECT_EQ(path, L"");
    EXPECT_FALSE(ResultsList::ItemPath(list, 3, &path));
}

TEST_F(ResultsListTest, DoubleClickOnEmptySpaceOpensNothing)
{
    Add("a.txt");
    g_lastDoubleClickItem = -2;
    SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(300, 280));
    EXPECT_EQ(g_lastDoubleClickItem, -1);
    std::wstring path;
    EXPECT_FALSE(ResultsList::ItemPath(list, g_lastDoubleClickItem, &path));
}

}  // namespace
