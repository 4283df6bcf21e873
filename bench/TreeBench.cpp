// Throughput of each view on a real tree, file by file as the walk offers
// them: every file of the folder (and its subfolders) is read into memory
// once, then each view, and the whole table, runs over all of them, several times. Small files
// show what a micro-benchmark on one large buffer hides: the cost of each
// call and of the runtime library's small copies.
//   trovik-treebench FOLDER [TEXT] [REPETITIONS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#endif

#include "search/ContentMatchers.h"

namespace {

const size_t kPiece = 256 * 1024;

// Adds the file's bytes and the three zero bytes the walk's buffer ends in.
void AddFile(const std::string& path, std::vector<std::string>* files, unsigned long long* bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return;
    std::string content;
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        content.append(chunk, got);
    std::fclose(file);
    *bytes += content.size();
    content.append(3, '\0');
    files->push_back(std::move(content));
}

// Every file under the folder, depth first; links to folders are followed
// on Windows (as the walk does) and not natively.
void ReadTree(const std::string& folder, std::vector<std::string>* files, unsigned long long* bytes)
{
#ifdef _WIN32
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ReadTree(folder + "\\" + name, files, bytes);
        else
            AddFile(folder + "\\" + name, files, bytes);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
#else
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr)
        return;
    while (dirent* entry = readdir(directory)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = folder + "/" + name;
        struct stat status;
        if (lstat(path.c_str(), &status) != 0)
            continue;
        if (S_ISDIR(status.st_mode))
            ReadTree(path, files, bytes);
        else if (S_ISREG(status.st_mode))
            AddFile(path, files, bytes);
    }
    closedir(directory);
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: trovik-treebench FOLDER [TEXT] [REPETITIONS]\n");
        return 2;
    }
    const std::string text = argc > 2 ? argv[2] : "zqxjv";
    const int repetitions = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    std::vector<WCHAR> units;
    for (unsigned char c : text)
        units.push_back(c);
    units.push_back(0);

    unsigned long long bytes = 0;
    std::vector<std::string> files;
    ReadTree(argv[1], &files, &bytes);
    if (files.empty()) {
        std::fprintf(stderr, "trovik-treebench: no file under %s\n", argv[1]);
        return 2;
    }
    std::printf("%zu files, %llu bytes, text %s, median of %d runs\n", files.size(), bytes, text.c_str(),
                repetitions);
    double total = 0;
    FileScan scan;
    // Each view alone over every file, then the whole table as the walk runs it.
    for (int view = 0; view <= ContentViewCount; ++view) {
        const unsigned mask = view < ContentViewCount ? 1u << view : AllContentViews;
        if (!scan.Prepare(units.data(), mask)) {
            std::fprintf(stderr, "trovik-treebench: no memory for the scan\n");
            return 2;
        }
        std::vector<double> seconds;
        unsigned long long found = 0;
        for (int run = 0; run < repetitions; ++run) {
            found = 0;
            const auto begin = std::chrono::steady_clock::now();
            for (const std::string& file : files) {
                const unsigned char* bytes = reinterpret_cast<const unsigned char*>(file.data());
                const size_t size = file.size() - 3;
                scan.BeginFile();
                for (size_t at = 0; at < size && !scan.Decided(); at += kPiece)
                    scan.Feed(bytes + at, size - at < kPiece ? size - at : kPiece);
                scan.EndFile();
                found += scan.Result();
            }
            seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
        }
        std::sort(seconds.begin(), seconds.end());
        const double median = seconds[seconds.size() / 2];
        if (view < ContentViewCount) {
            total += median;
            std::printf("%-7s %8.4f s  %6.2f GB/s  %llu matches\n", ContentViewNames[view], median,
                        bytes / median / 1e9, found);
        } else {
            std::printf("table   %8.4f s  %6.2f GB/s  %llu matches (the walk's one pass, in pieces of %zu KiB)\n",
                        median, bytes / median / 1e9, found, kPiece / 1024);
        }
    }
    std::printf("views   %8.4f s  %6.2f GB/s  (the three views one after another)\n", total, bytes / total / 1e9);
    return 0;
}
