// What a drop target receives from a file drag: the exact blocks of every
// format for a real file, nothing for an overlong path, and the file list
// read back through the OLE clipboard as another program would.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/TempFolder.h"
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
        lstrcpynA(record.folder, folder.Path().c_str(), sizeof record.folder);
        lstrcpynA(record.name, "notes.txt", sizeof record.name);
        record.sizeLow = static_cast<DWORD>(content.size());
        data = CreateFileDragData(record);
        ASSERT_NE(data, nullptr);
        for (CLIPFORMAT format : {cfFileName, cfShellIdList, cfFileGroupDescriptor, cfFileContents}) {
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
    FoundFile record = {};
    FileDataObject* data = nullptr;
};

}  // namespace

TEST_F(DraggedFile, FileListIsTheOneFullPathInAnsi)
{
    std::vector<unsigned char> bytes = Get(CF_HDROP);
    ASSERT_EQ(bytes.size(), 281u);
    EXPECT_EQ(Read32(bytes, 0), 20u);  // pFiles
    for (size_t i = 4; i < 20; ++i)
        EXPECT_EQ(bytes[i], 0) << "header byte " << i;  // pt, fNC, fWide
    const size_t n = path.size();
    EXPECT_EQ(std::string(bytes.begin() + 20, bytes.begin() + 20 + n), path);
    EXPECT_EQ(bytes[20 + n], 0);
    EXPECT_EQ(bytes[21 + n], 0);  // end of the list
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
    std::vector<unsigned char> bytes = Get(cfFileGroupDescriptor);
    ASSERT_EQ(bytes.size(), sizeof(FILEGROUPDESCRIPTORA));
    FILEGROUPDESCRIPTORA group;
    std::memcpy(&group, bytes.data(), sizeof group);
    EXPECT_EQ(group.cItems, 1u);
    const FILEDESCRIPTORA& file = group.fgd[0];
    EXPECT_STREQ(file.cFileName, "notes.txt");
    EXPECT_TRUE(file.dwFlags & FD_ATTRIBUTES);
    EXPECT_TRUE(file.dwFlags & FD_FILESIZE);
    EXPECT_EQ(file.dwFileAttributes, GetFileAttributesA(path.c_str()));
    EXPECT_EQ(file.nFileSizeHigh, 0u);
    EXPECT_EQ(file.nFileSizeLow, content.size());

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
    std::vector<unsigned char> bytes = Get(cfFileGroupDescriptor);
    ASSERT_EQ(bytes.size(), sizeof(FILEGROUPDESCRIPTORA));
    EXPECT_EQ(reinterpret_cast<const FILEGROUPDESCRIPTORA*>(bytes.data())->fgd[0].nFileSizeLow, 0u);
}

TEST_F(DraggedFile, VanishedFileStillGivesItsPathButNoContent)
{
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    EXPECT_EQ(Get(CF_HDROP).size(), 281u);
    Get(cfFileContents, 0, DV_E_FORMATETC);
    Get(cfFileGroupDescriptor, -1, DV_E_FORMATETC);
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

TEST(OverlongPath, RendersNothingAtAll)
{
    FoundFile record = {};
    std::string folder = "C:\\" + std::string(150, 'f');
    std::string name = std::string(105, 'n') + ".txt";  // 154 + 1 + 109 bytes: 4 too many
    lstrcpynA(record.folder, folder.c_str(), sizeof record.folder);
    lstrcpynA(record.name, name.c_str(), sizeof record.name);
    EXPECT_EQ(RenderHdrop(record), nullptr);
    EXPECT_EQ(RenderFileName(record), nullptr);
    EXPECT_EQ(RenderShellIdList(record), nullptr);
    EXPECT_EQ(RenderFileGroupDescriptor(record), nullptr);
    EXPECT_EQ(RenderFileContents(record), nullptr);

    FileDataObject* data = CreateFileDragData(record);
    ASSERT_NE(data, nullptr);
    FORMATETC request = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium;
    EXPECT_EQ(data->GetData(&request, &medium), DV_E_FORMATETC);
    EXPECT_EQ(medium.hGlobal, nullptr);
    EXPECT_EQ(data->Release(), 0u);

    // One byte shorter fits exactly: 259 characters and the terminator.
    record.name[105 + 4 - 4] = 0;
    lstrcpyA(record.name + 101, ".txt");
    HGLOBAL block = RenderFileName(record);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::strlen(static_cast<const char*>(GlobalLock(block))), 259u);
    GlobalUnlock(block);
    GlobalFree(block);
}

TEST(ClipboardRoundTrip, AnotherReaderGetsTheFileList)
{
    TempFolder folder;
    const std::string path = folder.Write("round trip.txt", "x");
    FoundFile record = {};
    lstrcpynA(record.folder, folder.Path().c_str(), sizeof record.folder);
    lstrcpynA(record.name, "round trip.txt", sizeof record.name);
    FileDataObject* data = CreateFileDragData(record);
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(OleSetClipboard(data), S_OK);
    data->Release();  // the clipboard holds its own reference now

    IDataObject* clipboard = nullptr;
    ASSERT_EQ(OleGetClipboard(&clipboard), S_OK);
    FORMATETC request = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium;
    ASSERT_EQ(clipboard->GetData(&request, &medium), S_OK);
    HDROP drop = static_cast<HDROP>(medium.hGlobal);
    EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0), 1u);
    char received[MAX_PATH] = "";
    EXPECT_EQ(DragQueryFileA(drop, 0, received, sizeof received), path.size());
    EXPECT_EQ(std::string(received), path);
    ReleaseStgMedium(&medium);
    clipboard->Release();

    // The plain clipboard sees the same list once the object is flushed to it.
    ASSERT_EQ(OleFlushClipboard(), S_OK);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HDROP flushed = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    ASSERT_NE(flushed, nullptr);
    received[0] = 0;
    DragQueryFileA(flushed, 0, received, sizeof received);
    EXPECT_EQ(std::string(received), path);
    EmptyClipboard();
    CloseClipboard();
}
