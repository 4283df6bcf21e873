// Saving the results list: the CSV text byte for byte, in the list's order,
// and a save that fails leaves no file behind.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "ResultsListFixture.h"
#include "search/SearchRequest.h"
#include "support/TempFolder.h"
#include "ui/ListSaver.h"

namespace {

class ListSaverTest : public ResultsListTest {
protected:
    static std::wstring Wide(const std::string& text)
    {
        std::wstring wide(text.size() + 1, L'\0');
        const int units = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
        wide.resize(units > 0 ? static_cast<size_t>(units) - 1 : 0);
        return wide;
    }

    static std::string Read(const std::string& path)
    {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        return bytes.str();
    }

    // The names in a folder, sorted by the enumeration.
    static std::string Listing(const std::string& folder)
    {
        std::string names;
        WIN32_FIND_DATAA entry;
        HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE)
            return "(none)";
        do {
            if (entry.cFileName[0] != '.')
                names += std::string(names.empty() ? "" : " ") + entry.cFileName;
        } while (FindNextFileA(find, &entry));
        FindClose(find);
        return names;
    }

    // Rows with quotes, commas, a formula-like name, a non-ASCII name and a
    // failed file, sorted by name so that the order differs from arrival.
    void AddRows()
    {
        const WCHAR wideName[] = L"\u00e9t\u00e9.txt";
        BOOL substituted = FALSE;
        if (!WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wideName, -1, accented, sizeof accented, nullptr,
                                 &substituted) ||
            substituted)
            GTEST_SKIP() << "the ANSI code page cannot spell the accented name";
        Add("say \"hi\", ok.txt", 12, 1234567, Utc(2005, 3, 1, 9, 5));
        Add(accented, 1, 0, Utc(1999, 12, 31, 23, 59), false, "C:\\a,b");
        Add("=1+2.txt", 3, 5000000000ull, Utc(2020, 2, 29, 0, 0));
        Add("aux.txt", 0, 1023, Utc(2005, 3, 1, 9, 5), true, "C:\\data", FailureDeviceName);
        Add("-x", 1, 7, Utc(2005, 3, 1, 9, 5), false, "@home");
        Click(0);  // A to Z
    }

    char accented[32] = "";
};

TEST_F(ListSaverTest, CsvIsUtf8WithQuotingFormulaGuardsExactSizesAndTheListsOrder)
{
    AddRows();
    if (IsSkipped())
        return;
    const std::string expected =
        "\xEF\xBB\xBF"
        "Name,Matches,Location,Size,Type,Modified,Note\r\n"
        "'-x,1,'@home,7,,2005-03-01 09:05,\r\n"
        "'=1+2.txt,3,C:\\data,5000000000,,2020-02-29 00:00,\r\n"
        "aux.txt,0,C:\\data,1023,Failed,2005-03-01 09:05,The name is reserved for a device.\r\n"
        "\"say \"\"hi\"\", ok.txt\",12,C:\\data,1234567,,2005-03-01 09:05,\r\n"
        "\xC3\xA9t\xC3\xA9.txt,1,\"C:\\a,b\",0,,1999-12-31 23:59,\r\n";
    EXPECT_EQ(ListSaver::ListAsCsv(list), expected);

    // The file holds exactly that, and a second save replaces the first.
    TempFolder folder;
    const std::string path = folder.Path() + "\\" + accented + ".csv";
    folder.Write(std::string(accented) + ".csv", "an older list");
    ASSERT_EQ(ListSaver::WriteList(list, Wide(path).c_str()), 0u);
    EXPECT_EQ(Read(path), expected);
    EXPECT_EQ(Listing(folder.Path()), std::string(accented) + ".csv");

    // Cells that start with a tab or a line break are guarded and quoted.
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    Add("\tx", 1, 0, Utc(2005, 3, 1, 9, 5), false, "\rC:\\y");
    EXPECT_EQ(ListSaver::ListAsCsv(list).substr(50), "'\tx,1,\"'\rC:\\y\",0,,2005-03-01 09:05,\r\n");
}

TEST_F(ListSaverTest, FailedSaveLeavesNoFileAndReportsTheError)
{
    AddRows();
    if (IsSkipped())
        return;
    TempFolder folder;
    folder.Write("kept\\inside.txt", "x");  // a folder where the file should go
    const std::string kept = folder.Path() + "\\kept";
    EXPECT_NE(ListSaver::WriteList(list, Wide(kept).c_str()), 0u);
    EXPECT_EQ(Listing(folder.Path()), "kept");
    EXPECT_EQ(Listing(kept), "inside.txt");

    const std::string missing = folder.Path() + "\\no such folder\\list.csv";
    EXPECT_NE(ListSaver::WriteList(list, Wide(missing).c_str()), 0u);
    EXPECT_EQ(Listing(folder.Path()), "kept");
}

}  // namespace
