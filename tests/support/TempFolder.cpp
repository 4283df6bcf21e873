// Temporary folders for tests, made with the platform's own calls: names in
// any script and paths of any length, by the "\\?\" form.
#include "TempFolder.h"

#include <windows.h>

#include <cstdio>

#include "WideText.h"

namespace {

// A full path (UTF-8) in the form the wide calls take at any length.
std::wstring LongForm(const std::string& path)
{
    return L"\\\\?\\" + Wide(path);
}

void MakeParents(const std::string& path)
{
    for (size_t i = 3; i < path.size(); ++i) {
        if (path[i] == '\\')
            CreateDirectoryW(LongForm(path.substr(0, i)).c_str(), nullptr);
    }
}

}  // namespace

TempFolder::TempFolder()
{
    static unsigned counter = 0;
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    char name[MAX_PATH + 64];
    for (;;) {
        std::snprintf(name, sizeof name, "%strovik-test-%lu-%u", base, GetCurrentProcessId(), ++counter);
        if (CreateDirectoryA(name, nullptr))
            break;
    }
    char full[MAX_PATH];
    GetFullPathNameA(name, sizeof full, full, nullptr);
    path = full;
}

TempFolder::~TempFolder()
{
    RemoveTree(path);
}

std::string TempFolder::Write(const std::string& relative, const std::string& content) const
{
    std::string file = path + "\\" + relative;
    MakeParents(file);
    HANDLE handle = CreateFileW(LongForm(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(handle, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(handle);
    }
    return file;
}

std::string TempFolder::MakeFolder(const std::string& relative) const
{
    std::string folder = path + "\\" + relative;
    MakeParents(folder + "\\");
    return folder;
}

void RemoveTree(const std::string& path)
{
    const std::wstring folder = LongForm(path);
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = folder + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + "\\" + Utf8(name.c_str()));
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}
