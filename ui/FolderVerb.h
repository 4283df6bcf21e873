// "Search with Trovik" in Explorer's folder menus: the verb Trovik under the
// user's own classes for folders, folder backgrounds and drives.
#pragma once

#include <windows.h>

#include <string>

namespace FolderVerb {

// This program's full path, as the verb's command names it.
std::wstring ThisProgram();

// Whether the verb exists for all three kinds of folder and runs exe.
bool IsRegistered(const std::wstring& exe);

// Writes the verb for all three kinds of folder, running exe on the folder
// ("<exe>" "%V"), over any verb of that name. Returns 0, or the system's
// error code with no verb of that name left for any kind.
DWORD Register(const std::wstring& exe);

// Removes the verb's keys for all three kinds and nothing else. Returns 0,
// or the system's error code.
DWORD Unregister();

}  // namespace FolderVerb
