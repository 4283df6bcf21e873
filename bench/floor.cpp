// The platform floor of a walk: the same enumeration, file and memory calls
// the search makes (wide calls on full "\\?\" paths, a fresh buffer of the
// file's size and three bytes for each file, released after it), reading
// every file whole, with no matching at all. With --current-directory it
// walks as the search once did instead: by changing the current directory,
// with names relative to it, for comparing the two.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

long long g_files = 0;
unsigned long long g_bytes = 0;
// The longest time one file took, from its open to its release: no step of a
// search that reads it whole can be shorter.
LONGLONG g_longestFile = 0;
bool g_relative = false;

// A name in the folder, as the calls take it: the folder's path (length
// units of path) with the name after it, or the name alone.
const WCHAR* Joined(std::wstring& path, size_t length, const WCHAR* name)
{
    if (g_relative)
        return name;
    path.resize(length);
    path += L'\\';
    path += name;
    return path.c_str();
}

// As the walk lists a folder: the basic level and a large fetch, each left
// off where the platform refuses it.
HANDLE FindFirst(const WCHAR* path, WIN32_FIND_DATAW* entry)
{
    static FINDEX_INFO_LEVELS level = FindExInfoBasic;
    static DWORD flags = FIND_FIRST_EX_LARGE_FETCH;
    for (;;) {
        HANDLE find = FindFirstFileExW(path, level, entry, FindExSearchNameMatch, nullptr, flags);
        if (find != INVALID_HANDLE_VALUE || GetLastError() != ERROR_INVALID_PARAMETER ||
            (flags == 0 && level == FindExInfoStandard))
            return find;
        if (flags != 0)
            flags = 0;
        else
            level = FindExInfoStandard;
    }
}

void ReadFilesHere(std::wstring& folder, const std::wstring& pattern)
{
    WIN32_FIND_DATAW entry;
    const size_t length = folder.size();
    HANDLE find = FindFirst(Joined(folder, length, pattern.c_str()), &entry);
    folder.resize(length);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        LARGE_INTEGER begin, end;
        QueryPerformanceCounter(&begin);
        HANDLE file = CreateFileW(Joined(folder, length, entry.cFileName), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        folder.resize(length);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        unsigned long long size = (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        unsigned char* buffer = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(size) + 3));
        if (buffer == nullptr) {
            CloseHandle(file);
            continue;
        }
        unsigned long long done = 0;
        while (done < size) {
            DWORD got = 0;
            DWORD chunk = size - done > 0x40000000ull ? 0x40000000u : static_cast<DWORD>(size - done);
            if (!ReadFile(file, buffer + done, chunk, &got, nullptr) || got == 0)
                break;
            done += got;
        }
        std::memset(buffer + done, 0, static_cast<size_t>(size - done) + 3);
        CloseHandle(file);
        std::free(buffer);
        QueryPerformanceCounter(&end);
        if (end.QuadPart - begin.QuadPart > g_longestFile)
            g_longestFile = end.QuadPart - begin.QuadPart;
        ++g_files;
        g_bytes += done;
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

void Walk(std::wstring& folder, const std::wstring& pattern, bool subfolders)
{
    ReadFilesHere(folder, pattern);
    if (!subfolders)
        return;
    WIN32_FIND_DATAW entry;
    const size_t length = folder.size();
    HANDLE find = FindFirst(Joined(folder, length, L"*"), &entry);
    folder.resize(length);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || entry.cFileName[0] == L'.')
            continue;
        if (g_relative && !SetCurrentDirectoryW(entry.cFileName))
            continue;
        folder += L'\\';
        folder += entry.cFileName;
        Walk(folder, pattern, subfolders);
        folder.resize(length);
        if (g_relative)
            SetCurrentDirectoryW(L"..");
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

std::wstring Widened(const char* text)
{
    WCHAR wide[MAX_PATH * 4];
    const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, MAX_PATH * 4);
    return units > 0 ? wide : L"";
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--current-directory") == 0) {
        g_relative = true;
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: trovik-floor [--current-directory] FOLDER [PATTERN]\n");
        return 2;
    }
    WCHAR full[MAX_PATH * 4];
    const DWORD length = GetFullPathNameW(Widened(argv[1]).c_str(), MAX_PATH * 4, full, nullptr);
    if (length == 0 || length >= MAX_PATH * 4 || GetFileAttributesW(full) == INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "trovik-floor: cannot enter %s\n", argv[1]);
        return 2;
    }
    std::wstring folder = full;
    if (folder.back() == L'\\')
        folder.pop_back();
    folder = (folder.compare(0, 2, L"\\\\") == 0 ? L"\\\\?\\UNC" + folder.substr(1) : L"\\\\?\\" + folder);
    if (g_relative && !SetCurrentDirectoryW(full)) {
        std::fprintf(stderr, "trovik-floor: cannot enter %s\n", argv[1]);
        return 2;
    }
    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    Walk(folder, argc > 2 ? Widened(argv[2]) : std::wstring(L"*.*"), true);
    QueryPerformanceCounter(&end);
    const double ticks = static_cast<double>(frequency.QuadPart);
    std::printf("files\t%lld\nbytes\t%llu\nelapsed\t%.6f\nlongest\t%.3f\n", g_files, g_bytes,
                static_cast<double>(end.QuadPart - begin.QuadPart) / ticks,
                static_cast<double>(g_longestFile) * 1000.0 / ticks);
    return 0;
}
