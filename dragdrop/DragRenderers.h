// The formats a file drag can hand out and the renderers that build each one
// into a fresh global memory block on request.
#pragma once

#include <windows.h>
#include <shlobj.h>

struct FoundFile;

// Registered once at start-up; 0 until then.
extern CLIPFORMAT cfShellIdList;
extern CLIPFORMAT cfFileName;
extern CLIPFORMAT cfFileContents;
extern CLIPFORMAT cfFileGroupDescriptor;
extern CLIPFORMAT cfFileGroupDescriptorW;

// Each returns a new block that the receiver owns, or null. Paths go as
// ShellPath gives them, so a path of any length names the file.
HGLOBAL RenderHdrop(const FoundFile& record);
// The 8-bit formats: nothing for a path or a name that the code page cannot
// spell exactly, or a path that does not fit 260 bytes.
HGLOBAL RenderFileName(const FoundFile& record);
HGLOBAL RenderFileGroupDescriptor(const FoundFile& record);
HGLOBAL RenderFileGroupDescriptorW(const FoundFile& record);
HGLOBAL RenderShellIdList(const FoundFile& record);
// The content in one memory block, only for files of at most
// FileContentsBlockLimit bytes: a larger file would freeze the window while
// it is read and take its size in memory.
HGLOBAL RenderFileContents(const FoundFile& record);
// The content as a stream on the file itself, read as the receiver asks.
IStream* RenderFileContentsStream(const FoundFile& record);
const unsigned long long FileContentsBlockLimit = 64ull << 20;

// Item ID lists of the shell; a list from PathToIdList or ParseInFolder is
// freed with CoTaskMemFree.
UINT IdListSize(LPCITEMIDLIST list);
LPITEMIDLIST PathToIdList(const WCHAR* path);
IShellFolder* BindToFolder(LPCITEMIDLIST folder);
// name is relative to the folder.
LPITEMIDLIST ParseInFolder(IShellFolder* folder, const WCHAR* name);
