// The platform floor of a walk: the same enumeration, directory, file and
// memory calls the search makes (a fresh buffer of the file's size and three
// bytes for each file, released after it), reading every file whole, with no
// matching at all.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

long long g_files = 0;
unsigned long long g_bytes = 0;
// The longest time one file took, from its open to its release: no step of a
// search that reads it whole can be shorter.
LONGLONG g_longestFile = 0;

void ReadFilesHere(const char* pattern)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        LARGE_INTEGER begin, end;
        QueryPerformanceCounter(&begin);
        HANDLE file = CreateFileA(entry.cFileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
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
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

void Walk(const char* pattern, bool subfolders)
{
    ReadFilesHere(pattern);
    if (!subfolders)
        return;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA("*", &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || entry.cFileName[0] == '.')
            continue;
        if (!SetCurrentDirectoryA(entry.cFileName))
            continue;
        Walk(pattern, subfolders);
        SetCurrentDirectoryA("..");
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: trovik-floor FOLDER [PATTERN]\n");
        return 2;
    }
    if (!SetCurrentDirectoryA(argv[1])) {
        std::fprintf(stderr, "trovik-floor: cannot enter %s\n", argv[1]);
        return 2;
    }
    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    Walk(argc > 2 ? argv[2] : "*.*", true);
    QueryPerformanceCounter(&end);
    const double ticks = static_cast<double>(frequency.QuadPart);
    std::printf("files\t%lld\nbytes\t%llu\nelapsed\t%.6f\nlongest\t%.3f\n", g_files, g_bytes,
                static_cast<double>(end.QuadPart - begin.QuadPart) / ticks,
                static_cast<double>(g_longestFile) * 1000.0 / ticks);
    return 0;
}
