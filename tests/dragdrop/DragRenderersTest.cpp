// What a drop target receives from a file drag: the exact blocks of every
// format for a real file, names in any script and paths of any length, and
// the file list read back through the OLE clipboard as another program would.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/TempFolder.h"
#include "support/WideText.h"
#include "dragdrop/DragRenderers.h"
#include "dragdrop/DragSource.h"
#include "dragdrop/FileDataObject.h"
#include "support/OleEnvironment.h"

namespace {

std::vector<unsigned char> Bytes(HGLOBAL block)
{
    std::vector<unsigned char> bytes;
    if (block == nullptr)
        return bytes;
    const unsigned char* data = static_cast<const unsigned char*>(GlobalLock(block));
    if (data != nullptr) {
        bytes.assign(data, data + GlobalSize(block));
        GlobalUnlock(block);
    }
    return bytes;
}

UINT Read32(const std::vector<unsigned char>& bytes, size_t offset)
{
    UINT value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// A found file in a fresh folder, and the drag's data object with every
// format a target may add stored beside the file list.
class DraggedFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = folder.Write("notes.txt", content);
        folderText = Wide(folder.Path());
        record.folder = folderText.c_str();
        record.name = L"notes.txt";
        record.sizeLow = static_cast<DWORD>(content.size());
        data = CreateFileDragData(record);
        ASSERT_NE(data, nullptr);
        for (CLIPFORMAT format : {cfFileName, cfShellIdList, cfFileGroupDescriptorW, cfFileContents}) {
            const DWORD tymed = format == cfFileContents ? TYMED_HGLOBAL | TYMED_ISTREAM : TYMED_HGLOBAL;
            FORMATETC description = {format, nullptr, DVASPECT_CONTENT, -1, tymed};
            STGMEDIUM medium = {TYMED_HGLOBAL, {nullptr}, nullptr};
            ASSERT_EQ(data->SetData(&description, &medium, TRUE), S_OK);
        }
    }
    void TearDown() override { EXPECT_EQ(data->Release(), 0u); }

    std::vector<unsigned char> Get(CLIPFORMAT format, LONG index = -1, HRESULT expected = S_OK)
    {
        FORMATETC request = {format, nullptr, DVASPECT_CONTENT, index, TYMED_HGLOBAL};
        STGMEDIUM medium;
        EXPECT_EQ(data->GetData(&request, &medium), expected);
        std::vector<unsigned char> bytes = Bytes(medium.hGlobal);
        if (medium.hGlobal != nullptr)
            ReleaseStgMedium(&medium);
        return bytes;
    }

    TempFolder folder;
    const std::string content = "first line\r\nsecond line\r\n";
    std::string path;
    std::wstring folderText;
    FoundFile record = {};
    FileDataObject* data = nullptr;
};

// The names of a file list, as a drop target reads them.
std::vector<std::string> DroppedNames(HDROP drop)
{
    std::vector<std::string> names;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring name(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        name.resize(DragQueryFileW(drop, i, &name[0], static_cast<UINT>(name.size())));
        names.push_back(Utf8(name.c_str()));
    }
    return names;
}

}  // namespace

TEST_F(DraggedFile, FileListIsTheOneFullPathInUtf16)
{
    std::vector<unsigned char> bytes = Get(CF_HDROP);
    const size_t n = path.size();
    ASSERT_EQ(bytes.size(), 20 + 2 * (n + 2));
    EXPECT_EQ(Read32(bytes, 0), 20u);  // pFiles
    for (size_t i = 4; i < 16; ++i)
        EXPECT_EQ(bytes[i], 0) << "header byte " << i;  // pt, fNC
    EXPECT_EQ(Read32(bytes, 16), 1u);  // fWide
    std::wstring names(reinterpret_cast<const WCHAR*>(bytes.data() + 20), n + 2);
    EXPECT_EQ(names, Wide(path) + std::wstring(2, L'\0'));  // the path, its end and the list's
}

TEST_F(DraggedFile, FileNameIsTheFullPath)
{
    std::vector<unsigned char> bytes = Get(cfFileName);
    ASSERT_EQ(bytes.size(), 260u);
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data()), path.c_str());
}

TEST_F(DraggedFile, ShellItemArrayNamesTheFileInItsFolder)
{
    std::vector<unsigned char> bytes = Get(cfShellIdList);
    ASSERT_GE(bytes.size(), 12u);
    EXPECT_EQ(Read32(bytes, 0), 1u);   // cidl
    EXPECT_EQ(Read32(bytes, 4), 12u);  // the folder's list
    const UINT folderSize = Read32(bytes, 8) - 12;
    auto folderList = reinterpret_cast<LPCITEMIDLIST>(bytes.data() + 12);
    auto itemList = reinterpret_cast<LPCITEMIDLIST>(bytes.data() + 12 + folderSize);
    ASSERT_EQ(IdListSize(folderList), folderSize);
    const UINT itemSize = IdListSize(itemList);
    EXPECT_GT(itemSize, 2u);  // the file's own list, not an empty one
    size_t expectedSize = 12 + 2 * folderSize;
    if (12 + folderSize + itemSize > expectedSize)
        expectedSize = 12 + folderSize + itemSize;
    EXPECT_EQ(bytes.size(), expectedSize);
    for (size_t i = 12 + folderSize + itemSize; i < bytes.size(); ++i)
        EXPECT_EQ(bytes[i], 0) << "padding byte " << i;

    // The folder's list is the shell's own absolute list for that folder.
    // (Not byte for byte: the shell's items carry the folder's last access
    // time, which reading the folder may move on in between.)
    WCHAR wideFolder[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, folder.Path().c_str(), -1, wideFolder, MAX_PATH);
    LPITEMIDLIST expected = nullptr;
    ASSERT_EQ(SHParseDisplayName(wideFolder, nullptr, &expected, 0, nullptr), S_OK);
    ASSERT_EQ(IdListSize(expected), folderSize);
    EXPECT_TRUE(ILIsEqual(expected, folderList));
    CoTaskMemFree(expected);

    char folderPath[MAX_PATH] = "";
    ASSERT_TRUE(SHGetPathFromIDListA(folderList, folderPath));
    EXPECT_EQ(lstrcmpiA(folderPath, folder.Path().c_str()), 0) << folderPath;
    LPITEMIDLIST full = ILCombine(folderList, itemList);
    ASSERT_NE(full, nullptr);
    char filePath[MAX_PATH] = "";
    EXPECT_TRUE(SHGetPathFromIDListA(full, filePath));
    EXPECT_EQ(lstrcmpiA(filePath, path.c_str()), 0) << filePath;
    ILFree(full);
}

TEST_F(DraggedFile, DescriptorAndContentsDescribeTheSameFile)
{
    std::vector<unsigned char> bytes = Get(cfFileGroupDescriptorW);
    ASSERT_EQ(bytes.size(), sizeof(FILEGROUPDESCRIPTORW));
    FILEGROUPDESCRIPTORW group;
    std::memcpy(&group, bytes.data(), sizeof group);
    EXPECT_EQ(group.cItems, 1u);
    const FILEDESCRIPTORW& file = group.fgd[0];
    EXPECT_STREQ(file.cFileName, L"notes.txt");
    EXPECT_TRUE(file.dwFlags & FD_ATTRIBUTES);
    EXPECT_TRUE(file.dwFlags & FD_FILESIZE);
    EXPECT_EQ(file.dwFileAttributes, GetFileAttributesA(path.c_str()));
    EXPECT_EQ(file.nFileSizeHigh, 0u);
    EXPECT_EQ(file.nFileSizeLow, content.size());
    // The 8-bit descriptor says the same, for a name the code page spells.
    HGLOBAL ansi = RenderFileGroupDescriptor(record);
    ASSERT_NE(ansi, nullptr);
    const FILEGROUPDESCRIPTORA* ansiGroup = static_cast<const FILEGROUPDESCRIPTORA*>(GlobalLock(ansi));
    EXPECT_EQ(ansiGroup->cItems, 1u);
    EXPECT_STREQ(ansiGroup->fgd[0].cFileName, "notes.txt");
    EXPECT_EQ(ansiGroup->fgd[0].nFileSizeLow, content.size());
    GlobalUnlock(ansi);
    GlobalFree(ansi);

    bytes = Get(cfFileContents, 0);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content);
    Get(cfFileContents, 1, DV_E_FORMATETC);  // the descriptor has no second file
}

// The platform gives a fixed block of no bytes one byte; the descriptor's
// size is what a target goes by.
TEST_F(DraggedFile, EmptyFileHandsOutContentsOfItsSize)
{
    folder.Write("notes.txt", "");
    EXPECT_LE(Get(cfFileContents, 0).size(), 1u);
    std::vector<unsigned char> bytes = Get(cfFileGroupDescriptorW);
    ASSERT_EQ(bytes.size(), sizeof(FILEGROUPDESCRIPTORW));
    EXPECT_EQ(reinterpret_cast<const FILEGROUPDESCRIPTORW*>(bytes.data())->fgd[0].nFileSizeLow, 0u);
}

TEST_F(DraggedFile, VanishedFileStillGivesItsPathButNoContent)
{
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    EXPECT_EQ(Get(CF_HDROP).size(), 20 + 2 * (path.size() + 2));
    Get(cfFileContents, 0, DV_E_FORMATETC);
    Get(cfFileGroupDescriptorW, -1, DV_E_FORMATETC);
}

TEST_F(DraggedFile, UnreadableFileGivesNoContent)
{
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Get(cfFileContents, 0, DV_E_FORMATETC);
    CloseHandle(held);
    EXPECT_EQ(Get(cfFileContents, 0).size(), content.size());
}

// Up to the limit the content goes as one memory block; above it as a stream
// on the file, and not at all to a request that takes only blocks.
TEST_F(DraggedFile, ContentsAboveTheBlockLimitGoAsAStreamOnTheFile)
{
    const unsigned long long limit = FileContentsBlockLimit;
    struct Case {
        const char* what;
        unsigned long long size;
        DWORD accepted;
        HRESULT result;
        DWORD given;
    } const cases[] = {
        {"small, either", 64, TYMED_HGLOBAL | TYMED_ISTREAM, S_OK, TYMED_HGLOBAL},
        {"small, stream only", 64, TYMED_ISTREAM, S_OK, TYMED_ISTREAM},
        {"at the limit, block only", limit, TYMED_HGLOBAL, S_OK, TYMED_HGLOBAL},
        {"above the limit, either", limit + 1, TYMED_HGLOBAL | TYMED_ISTREAM, S_OK, TYMED_ISTREAM},
        {"above the limit, block only", limit + 1, TYMED_HGLOBAL, DV_E_FORMATETC, TYMED_NULL},
    };
    for (const Case& item : cases) {
        SCOPED_TRACE(item.what);
        // Zeros (a sparse file, quick to make) ending in a mark.
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        LARGE_INTEGER markAt;
        markAt.QuadPart = static_cast<LONGLONG>(item.size - 4);
        DWORD written = 0;
        const bool made =
            SetFilePointerEx(file, markAt, nullptr, FILE_BEGIN) && WriteFile(file, "mark", 4, &written, nullptr);
        CloseHandle(file);
        ASSERT_TRUE(made && written == 4);

        FORMATETC request = {cfFileContents, nullptr, DVASPECT_CONTENT, 0, item.accepted};
        STGMEDIUM medium;
        ASSERT_EQ(data->GetData(&request, &medium), item.result);
        EXPECT_EQ(medium.tymed, item.given);
        char tail[5] = {};
        unsigned long long size = 0;
        if (medium.tymed == TYMED_HGLOBAL) {
            const char* bytes = static_cast<const char*>(GlobalLock(medium.hGlobal));
            ASSERT_NE(bytes, nullptr);
            size = GlobalSize(medium.hGlobal);
            std::memcpy(tail, bytes + item.size - 4, 4);
            GlobalUnlock(medium.hGlobal);
        } else if (medium.tymed == TYMED_ISTREAM) {
            STATSTG stat = {};
            ASSERT_EQ(medium.pstm->Stat(&stat, STATFLAG_NONAME), S_OK);
            size = stat.cbSize.QuadPart;
            EXPECT_EQ(medium.pstm->Seek(markAt, STREAM_SEEK_SET, nullptr), S_OK);
            ULONG got = 0;
            EXPECT_EQ(medium.pstm->Read(tail, 4, &got), S_OK);
        }
        if (item.result == S_OK) {
            EXPECT_EQ(size, item.size);
            EXPECT_STREQ(tail, "mark");
            ReleaseStgMedium(&medium);
        }
    }
}

// A file deep past the classic limit with a name in several scripts, and
// short paths whose plain form the platform would read as another file:
// the list names each by the path the platform takes, the descriptor by its
// exact name, and the content is the file's.
TEST(WidePaths, EveryFileIsNamedByAPathThatLeadsToIt)
{
    TempFolder folder;
    const std::string deep = std::string(150, 'a') + "\\" + std::string(150, 'b');
    const std::string unicode = "\u65E5\u672C \u0434\u043E\u043C \U0001F600.txt";
    const struct {
        std::string relative;
        bool longForm;  // handed on in the "\\?\" form
    } cases[] = {
        {deep + "\\" + unicode, true},
        {unicode, false},
        {"dot.txt.", true},
        {"con", true},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.relative);
        const std::string path = folder.Write(item.relative, "content of " + item.relative);
        const size_t slash = path.rfind('\\');
        const std::wstring folderText = Wide(path.substr(0, slash));
        const std::wstring nameText = Wide(path.substr(slash + 1));
        FoundFile record = {};
        record.folder = folderText.c_str();
        record.name = nameText.c_str();

        HGLOBAL list = RenderHdrop(record);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(DroppedNames(static_cast<HDROP>(list)),
                  std::vector<std::string>{(item.longForm ? "\\\\?\\" : "") + path});
        GlobalFree(list);

        HGLOBAL descriptor = RenderFileGroupDescriptorW(record);
        ASSERT_NE(descriptor, nullptr);
        EXPECT_EQ(Utf8(static_cast<const FILEGROUPDESCRIPTORW*>(descriptor)->fgd[0].cFileName),
                  path.substr(slash + 1));
        GlobalFree(descriptor);
        HGLOBAL contents = RenderFileContents(record);
        ASSERT_NE(contents, nullptr);
        EXPECT_EQ(std::string(static_cast<const char*>(contents), GlobalSize(contents)), "content of " + item.relative);
        GlobalFree(contents);

        // The 8-bit path names the same file, or nothing where the code page
        // cannot spell the name (no code page has the emoji).
        HGLOBAL plain = RenderFileName(record);
        if (item.relative.find(unicode) != std::string::npos) {
            EXPECT_EQ(plain, nullptr);
        } else {
            ASSERT_NE(plain, nullptr);
            EXPECT_EQ(static_cast<const char*>(GlobalLock(plain)), "\\\\?\\" + path);
            GlobalUnlock(plain);
        }
        GlobalFree(plain);
    }
}

TEST(ClipboardRoundTrip, AnotherReaderGetsTheFileList)
{
    TempFolder folder;
    const std::string path = folder.Write("round trip \u65E5\U0001F600.txt", "x");
    const std::wstring folderText = Wide(folder.Path());
    FoundFile record = {};
    record.folder = folderText.c_str();
    record.name = L"round trip \u65E5\U0001F600.txt";
    FileDataObject* data = CreateFileDragData(record);
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(OleSetClipboard(data), S_OK);
    data->Release();  // the clipboard holds its own reference now

    IDataObject* clipboard = nullptr;
    ASSERT_EQ(OleGetClipboard(&clipboard), S_OK);
    FORMATETC request = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium;
    ASSERT_EQ(clipboard->GetData(&request, &medium), S_OK);
    EXPECT_EQ(DroppedNames(static_cast<HDROP>(medium.hGlobal)), std::vector<std::string>{path});
    ReleaseStgMedium(&medium);
    clipboard->Release();

    // The plain clipboard sees the same list once the object is flushed to it.
    ASSERT_EQ(OleFlushClipboard(), S_OK);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HDROP flushed = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    ASSERT_NE(flushed, nullptr);
    EXPECT_EQ(DroppedNames(flushed), std::vector<std::string>{path});
    EmptyClipboard();
    CloseClipboard();
}
