// Temporary folders for tests, made with the platform's own calls.
#include "TempFolder.h"

#include <windows.h>

#include <cstdio>

namespace {

void MakeParents(const std::string& path)
{
    for (size_t i = 3; i < path.size(); ++i) {
        if (path[i] == '\\')
            CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
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
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
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
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}
