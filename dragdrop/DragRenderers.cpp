// Renders a dragged file into the formats a drop target asks for: a file
// list, a plain path, a shell item array, a file descriptor and the content.
#include "dragdrop/DragRenderers.h"

#include <shlwapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "search/LongPaths.h"
#include "search/SearchRequest.h"

CLIPFORMAT cfShellIdList = 0;
CLIPFORMAT cfFileName = 0;
CLIPFORMAT cfFileContents = 0;
CLIPFORMAT cfFileGroupDescriptor = 0;
CLIPFORMAT cfFileGroupDescriptorW = 0;

namespace {

const UINT SHARED_BLOCK = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE;
const UINT DROPFILES_SIZE = 20;
const UINT CIDA_HEADER_SIZE = 12;  // cidl and the two offsets of a one-item array

// A zero-filled shareable block of size bytes that starts with the given ones;
// null on failure.
HGLOBAL NewBlock(SIZE_T size, const void* bytes, SIZE_T length)
{
    HGLOBAL block = GlobalAlloc(SHARED_BLOCK, size);
    if (block == nullptr)
        return nullptr;
    void* data = GlobalLock(block);
    if (data == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(data, bytes, length);
    GlobalUnlock(block);
    return block;
}

// The text in the ANSI code page into room bytes; false when the code page
// cannot spell it exactly or it does not fit.
bool SpellExactly(const WCHAR* text, char* spelled, int room)
{
    const bool utf8 = GetACP() == CP_UTF8;
    BOOL substituted = FALSE;
    return WideCharToMultiByte(CP_ACP, utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS, text, -1, spelled, room,
                               nullptr, utf8 ? nullptr : &substituted) > 0 &&
           !substituted;
}

// The record's file for the program's own calls.
std::wstring FilePath(const FoundFile& record)
{
    return LongPathForm(FullPath(record));
}

// One descriptor, its name already set, for the dragged file as it is now:
// its attributes, size and modification time, which are what "FileContents"
// index 0 hands out.
template <typename Group>
HGLOBAL DescriptorBlock(const FoundFile& record, Group& group)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(FilePath(record).c_str(), GetFileExInfoStandard, &data))
        return nullptr;
    group.cItems = 1;
    auto& file = group.fgd[0];
    file.dwFlags = FD_ATTRIBUTES | FD_FILESIZE | FD_WRITESTIME;
    file.dwFileAttributes = data.dwFileAttributes;
    file.ftLastWriteTime = data.ftLastWriteTime;
    file.nFileSizeHigh = data.nFileSizeHigh;
    file.nFileSizeLow = data.nFileSizeLow;
    HGLOBAL block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof group);
    if (block == nullptr)
        return nullptr;
    std::memcpy(block, &group, sizeof group);
    return block;
}

}  // namespace

HGLOBAL RenderHdrop(const FoundFile& record)
{
    const std::wstring path = ShellPath(record);
    // The header, the one name and the empty name that ends the list; pt
    // and fNC stay 0, fWide is set: names in UTF-16.
    std::vector<BYTE> bytes(DROPFILES_SIZE + (path.size() + 2) * sizeof(WCHAR), 0);
    const DWORD header[5] = {DROPFILES_SIZE, 0, 0, 0, TRUE};
    std::memcpy(bytes.data(), header, sizeof header);
    std::memcpy(bytes.data() + DROPFILES_SIZE, path.c_str(), path.size() * sizeof(WCHAR));
    return NewBlock(bytes.size(), bytes.data(), bytes.size());
}

HGLOBAL RenderFileName(const FoundFile& record)
{
    char path[MAX_PATH];
    if (!SpellExactly(ShellPath(record).c_str(), path, MAX_PATH))
        return nullptr;
    return NewBlock(MAX_PATH, path, std::strlen(path) + 1);
}

UINT IdListSize(LPCITEMIDLIST list)
{
    if (list == nullptr)
        return 0;
    UINT size = sizeof(USHORT);
    const BYTE* item = reinterpret_cast<const BYTE*>(list);
    for (USHORT cb = reinterpret_cast<const SHITEMID*>(item)->cb; cb != 0;
         cb = reinterpret_cast<const SHITEMID*>(item)->cb) {
        size += cb;
        item += cb;
    }
    return size;
}

LPITEMIDLIST PathToIdList(const WCHAR* path)
{
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)) || desktop == nullptr)
        return nullptr;
    LPITEMIDLIST list = nullptr;
    if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, const_cast<WCHAR*>(path), nullptr, &list, nullptr)))
        list = nullptr;
    desktop->Release();
    return list;
}

IShellFolder* BindToFolder(LPCITEMIDLIST folder)
{
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)) || desktop == nullptr)
        return nullptr;
    void* bound = nullptr;
    if (FAILED(desktop->BindToObject(folder, nullptr, IID_IShellFolder, &bound)))
        bound = nullptr;
    desktop->Release();
    return static_cast<IShellFolder*>(bound);
}

LPITEMIDLIST ParseInFolder(IShellFolder* folder, const WCHAR* name)
{
    LPITEMIDLIST list = nullptr;
    if (FAILED(folder->ParseDisplayName(nullptr, nullptr, const_cast<WCHAR*>(name), nullptr, &list, nullptr)))
        return nullptr;
    return list;
}

// A one-item shell array: the folder's absolute list, then the file's list
// relative to it. The block is at least twice the folder's list plus the
// header, as large readers of this format expect.
HGLOBAL RenderShellIdList(const FoundFile& record)
{
    if (record.folder == nullptr || record.name == nullptr)
        return nullptr;
    LPITEMIDLIST folderList = PathToIdList(record.folder);
    if (folderList == nullptr)
        return nullptr;
    // A folder parses names relative to itself: the file's full path would
    // not be found in it.
    LPITEMIDLIST itemList = nullptr;
    if (IShellFolder* folder = BindToFolder(folderList)) {
        itemList = ParseInFolder(folder, record.name);
        folder->Release();
    }
    HGLOBAL block = nullptr;
    // Without the file's own list the array would name its folder instead.
    if (itemList != nullptr) {
        const UINT folderSize = IdListSize(folderList);
        const UINT itemSize = IdListSize(itemList);
        SIZE_T size = 2 * folderSize + CIDA_HEADER_SIZE;
        if (CIDA_HEADER_SIZE + folderSize + itemSize > size)
            size = CIDA_HEADER_SIZE + folderSize + itemSize;
        block = GlobalAlloc(SHARED_BLOCK, size);
        BYTE* data = block != nullptr ? static_cast<BYTE*>(GlobalLock(block)) : nullptr;
        if (data != nullptr) {
            const UINT header[3] = {1, CIDA_HEADER_SIZE, CIDA_HEADER_SIZE + folderSize};
            std::memcpy(data, header, sizeof header);
            std::memcpy(data + CIDA_HEADER_SIZE, folderList, folderSize);
            std::memcpy(data + CIDA_HEADER_SIZE + folderSize, itemList, itemSize);
            GlobalUnlock(block);
        } else if (block != nullptr) {
            GlobalFree(block);
            block = nullptr;
        }
    }
    CoTaskMemFree(itemList);
    CoTaskMemFree(folderList);
    return block;
}

HGLOBAL RenderFileGroupDescriptor(const FoundFile& record)
{
    FILEGROUPDESCRIPTORA group = {};
    if (record.name == nullptr || !SpellExactly(record.name, group.fgd[0].cFileName, MAX_PATH))
        return nullptr;
    return DescriptorBlock(record, group);
}

HGLOBAL RenderFileGroupDescriptorW(const FoundFile& record)
{
    FILEGROUPDESCRIPTORW group = {};
    if (record.name == nullptr)
        return nullptr;
    lstrcpynW(group.fgd[0].cFileName, record.name, MAX_PATH);
    return DescriptorBlock(record, group);
}

// The file's whole content. Null when it cannot be read whole, so that a
// target never receives a block padded with zeros as if it were the file,
// and for a file above the limit, which goes as a stream.
HGLOBAL RenderFileContents(const FoundFile& record)
{
    // Shares the file as the runtime's fopen does, so that the drag holds no
    // other program off it.
    HANDLE file = CreateFileW(FilePath(record).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    HGLOBAL block = nullptr;
    LARGE_INTEGER length;
    if (GetFileSizeEx(file, &length) && length.QuadPart >= 0 &&
        static_cast<unsigned long long>(length.QuadPart) <= FileContentsBlockLimit) {
        const SIZE_T size = static_cast<SIZE_T>(length.QuadPart);
        block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size);
        SIZE_T done = 0;
        DWORD got = 1;
        while (block != nullptr && done < size && got != 0) {
            if (!ReadFile(file, static_cast<BYTE*>(block) + done, static_cast<DWORD>(size - done), &got, nullptr))
                got = 0;
            done += got;
        }
        if (block != nullptr && done != size) {
            GlobalFree(block);
            block = nullptr;
        }
    }
    CloseHandle(file);
    return block;
}

IStream* RenderFileContentsStream(const FoundFile& record)
{
    IStream* stream = nullptr;
    if (FAILED(SHCreateStreamOnFileEx(FilePath(record).c_str(), STGM_READ | STGM_SHARE_DENY_NONE,
                                      FILE_ATTRIBUTE_NORMAL, FALSE, nullptr, &stream)))
        return nullptr;
    return stream;
}
