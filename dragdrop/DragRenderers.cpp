// Renders a dragged file into the formats a drop target asks for: a file
// list, a plain path, a shell item array, a file descriptor and the content.
#include "dragdrop/DragRenderers.h"

#include <shlwapi.h>

#include <cstdio>
#include <cstring>

#include "search/SearchRequest.h"

CLIPFORMAT cfShellIdList = 0;
CLIPFORMAT cfFileName = 0;
CLIPFORMAT cfFileContents = 0;
CLIPFORMAT cfFileGroupDescriptor = 0;

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

bool WidenPath(const char* path, WCHAR (&wide)[MAX_PATH])
{
    return MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, path, -1, wide, MAX_PATH) != 0;
}

}  // namespace

HGLOBAL RenderHdrop(const FoundFile& record)
{
    char path[MAX_PATH];
    if (!FullPath(record, path))
        return nullptr;
    // The header, the one name and the empty name that ends the list; pt,
    // fNC and fWide stay 0: ANSI names.
    char bytes[DROPFILES_SIZE + MAX_PATH + 1] = {};
    const DWORD namesOffset = DROPFILES_SIZE;
    std::memcpy(bytes, &namesOffset, sizeof namesOffset);
    std::memcpy(bytes + DROPFILES_SIZE, path, std::strlen(path) + 1);
    return NewBlock(sizeof bytes, bytes, sizeof bytes);
}

HGLOBAL RenderFileName(const FoundFile& record)
{
    char path[MAX_PATH];
    if (!FullPath(record, path))
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

LPITEMIDLIST PathToIdList(const char* path)
{
    WCHAR wide[MAX_PATH];
    if (!WidenPath(path, wide))
        return nullptr;
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)) || desktop == nullptr)
        return nullptr;
    LPITEMIDLIST list = nullptr;
    if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, wide, nullptr, &list, nullptr)))
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

LPITEMIDLIST ParseInFolder(IShellFolder* folder, const char* name)
{
    WCHAR wide[MAX_PATH];
    if (!WidenPath(name, wide))
        return nullptr;
    LPITEMIDLIST list = nullptr;
    if (FAILED(folder->ParseDisplayName(nullptr, nullptr, wide, nullptr, &list, nullptr)))
        return nullptr;
    return list;
}

// A one-item shell array: the folder's absolute list, then the file's list
// relative to it. The block is at least twice the folder's list plus the
// header, as large readers of this format expect.
HGLOBAL RenderShellIdList(const FoundFile& record)
{
    char path[MAX_PATH];
    if (!FullPath(record, path))
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

// One descriptor for the dragged file, as it is now: its name, attributes,
// size and modification time, which are what "FileContents" index 0 hands out.
HGLOBAL RenderFileGroupDescriptor(const FoundFile& record)
{
    char path[MAX_PATH];
    if (!FullPath(record, path))
        return nullptr;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return nullptr;
    FILEGROUPDESCRIPTORA group = {};
    group.cItems = 1;
    FILEDESCRIPTORA& file = group.fgd[0];
    file.dwFlags = FD_ATTRIBUTES | FD_FILESIZE | FD_WRITESTIME;
    file.dwFileAttributes = data.dwFileAttributes;
    file.ftLastWriteTime = data.ftLastWriteTime;
    file.nFileSizeHigh = data.nFileSizeHigh;
    file.nFileSizeLow = data.nFileSizeLow;
    lstrcpynA(file.cFileName, record.name, MAX_PATH);
    HGLOBAL block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof group);
    if (block == nullptr)
        return nullptr;
    std::memcpy(block, &group, sizeof group);
    return block;
}

// The file's whole content. Null when it cannot be read whole, so that a
// target never receives a block padded with zeros as if it were the file,
// and for a file above the limit, which goes as a stream.
HGLOBAL RenderFileContents(const FoundFile& record)
{
    char path[MAX_PATH];
    if (!FullPath(record, path))
        return nullptr;
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return nullptr;
    HGLOBAL block = nullptr;
    long long length = -1;
    if (_fseeki64(file, 0, SEEK_END) == 0)
        length = _ftelli64(file);
    if (length >= 0 && static_cast<unsigned long long>(length) <= FileContentsBlockLimit
        && _fseeki64(file, 0, SEEK_SET) == 0) {
        const SIZE_T size = static_cast<SIZE_T>(length);
        block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size);
        if (block != nullptr && size != 0 && std::fread(block, 1, size, file) != size) {
            GlobalFree(block);
            block = nullptr;
        }
    }
    std::fclose(file);
    return block;
}

// Shares the file as fopen does, so that the drag holds no other program off it.
IStream* RenderFileContentsStream(const FoundFile& record)
{
    char path[MAX_PATH];
    WCHAR wide[MAX_PATH];
    if (!FullPath(record, path) || !WidenPath(path, wide))
        return nullptr;
    IStream* stream = nullptr;
    if (FAILED(SHCreateStreamOnFileEx(wide, STGM_READ | STGM_SHARE_DENY_NONE, FILE_ATTRIBUTE_NORMAL, FALSE, nullptr,
                                      &stream)))
        return nullptr;
    return stream;
}
