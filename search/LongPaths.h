// Paths of any length as the platform's wide calls take them, and a found
// file's full path for the program's own calls and for other programs.
#pragma once

#include <windows.h>

#include <string>

struct FoundFile;

// The longest path the wide calls take, in units, the terminator included.
const size_t MaxPathUnits = 32767;

// Writes the "\\?\" form of a full path into out (room units with the
// terminator): "C:\a" becomes "\\?\C:\a", "\\server\share" becomes
// "\\?\UNC\server\share"; a path already in that form, or another device
// path, stays as it is. Returns its length, 0 when it does not fit.
size_t LongPathForm(const WCHAR* path, WCHAR* out, size_t room);
std::wstring LongPathForm(const std::wstring& path);

// The record's folder, a backslash (none after a folder that ends in one)
// and its name: the path the user reads.
std::wstring FullPath(const FoundFile& record);
// The path handed to the shell and to other programs: the full path where
// the platform takes it as it is (it fits the classic limit and names this
// very file, not a device or a neighbour without a trailing dot or space),
// else its "\\?\" form.
std::wstring ShellPath(const FoundFile& record);
