// Saving the results list: the CSV text byte for byte, in the list's order,
// and a save that fails leaves no file behind.
#include <gtest/gtest.h>

#include <string>

#include "ResultsListFixture.h"
#include "search/SearchRequest.h"
#include "support/TempFolder.h"
#include "ui/ListSaver.h"

namespace {

class ListSaverTest : public ResultsListTest {
protected:
    static std::string Read(const std::string& path)
    {
        std::string bytes;
        HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return "(none)";
        char chunk[4096];
        DWORD got = 0;
        while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got != 0)
            bytes.append(chunk, got);
        CloseHandle(file);
        return bytes;
    }

    // The names in a folder (UTF-8), sorted by the enumeration.
    static std::string Listing(const std::string& folder)
    {
        std::string names;
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW(Wide(folder + "\\*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE)
            return "(none)";
        do {
            if (entry.cFileName[0] != L'.')
                names += std::string(names.empty() ? "" : " ") + Utf8(entry.cFileName);
        } while (FindNextFileW(find, &entry));
        FindClose(find);
        return names;
    }

    // Rows with quotes, commas, a formula-like name, names beyond ASCII and
    // a failed file, sorted by name so that the order differs from arrival.
    void AddRows()
    {
        Add("say \"hi\", ok.txt", 12, 1234567, Utc(2005, 3, 1, 9, 5));
        Add(accented, 1, 0, Utc(1999, 12, 31, 23, 59), false, "C:\\a,b");
        Add("=1+2.txt", 3, 5000000000ull, Utc(2020, 2, 29, 0, 0));
        Add("aux.txt", 0, 1023, Utc(2005, 3, 1, 9, 5), true, "C:\\data", FailureNotDiskFile);
        Add("-x", 1, 7, Utc(2005, 3, 1, 9, 5), false, "@home");
        Add("\u65E5\u672C \U0001F600.txt", 2, 9, Utc(2005, 3, 1, 9, 5), false, "C:\\\u0434\u043E\u043C");
        Click(0);  // A to Z
    }

    const std::string accented = "\u00e9t\u00e9.txt";
};

TEST_F(ListSaverTest, CsvIsUtf8WithQuotingFormulaGuardsExactSizesAndTheListsOrder)
{
    AddRows();
    const std::string expected =
        "\xEF\xBB\xBF"
        "Name,Matches,Location,Size,Type,Modified,Note\r\n"
        "'-x,1,'@home,7,,2005-03-01 09:05,\r\n"
        "'=1+2.txt,3,C:\\data,5000000000,,2020-02-29 00:00,\r\n"
        "aux.txt,0,C:\\data,1023,Failed,2005-03-01 09:05,The name does not lead to a file on disk.\r\n"
        "\"say \"\"hi\"\", ok.txt\",12,C:\\data,1234567,,2005-03-01 09:05,\r\n"
        "\xC3\xA9t\xC3\xA9.txt,1,\"C:\\a,b\",0,,1999-12-31 23:59,\r\n"
        "\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80.txt,2,C:\\\xD0\xB4\xD0\xBE\xD0\xBC,9,,2005-03-01 09:05,\r\n";
    EXPECT_EQ(ListSaver::ListAsCsv(list), expected);

    // The file holds exactly that, and a second save replaces the first.
    TempFolder folder;
    const std::string path = folder.Path() + "\\" + accented + ".csv";
    folder.Write(accented + ".csv", "an older list");
    ASSERT_EQ(ListSaver::WriteList(list, Wide(path).c_str()), 0u);
    EXPECT_EQ(Read(path), expected);
    EXPECT_EQ(Listing(folder.Path()), accented + ".csv");

    // Cells that start with a tab or a line break are guarded and quoted.
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    Add("\tx", 1, 0, Utc(2005, 3, 1, 9, 5), false, "\rC:\\y");
    EXPECT_EQ(ListSaver::ListAsCsv(list).substr(50), "'\tx,1,\"'\rC:\\y\",0,,2005-03-01 09:05,\r\n");
}

TEST_F(ListSaverTest, FailedSaveLeavesNoFileAndReportsTheError)
{
    AddRows();
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
