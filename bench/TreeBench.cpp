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
#include "search/SearchText.h"

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

// The benchmark's stand-in for the code page: Latin-1, and the euro sign as
// code page 1252 spells it (so a text with one runs every reading).
bool SpellLatin1(const std::u16string& typed, std::string* bytes)
{
    for (char16_t unit : typed) {
        if (unit == 0x20AC)
            bytes->push_back('\x80');
        else if (unit < 256)
            bytes->push_back(static_cast<char>(unit));
        else
            return false;
    }
    return true;
}

// ASCII and Latin-1 letters to their capitals, as a platform's folding would.
const CaseFolding* BenchFolding()
{
    static CaseFolding folding;
    ResetCaseFolding(&folding);
    for (unsigned c = 0; c < 256; ++c) {
        if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
            folding.unit[c] = static_cast<std::uint16_t>(c - 32);
            folding.byte[c] = static_cast<unsigned char>(c - 32);
        }
    }
    return &folding;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: trovik-treebench FOLDER [TEXT] [REPETITIONS] [--ignore-case | --three]\n"
                             "  TEXT in UTF-8, typed as the window takes it; --three: the three readings of\n"
                             "  the code page's bytes alone, exactly, as before the typed text's readings\n");
        return 2;
    }
    const std::string text = argc > 2 ? argv[2] : "zqxjv";
    const int repetitions = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const std::string option = argc > 4 ? argv[4] : "";
    std::vector<WCHAR> units;
    for (unsigned char c : text)
        units.push_back(c);
    units.push_back(0);
    // The text as the window would take it: decoded from UTF-8.
    std::u16string typed;
    for (size_t i = 0; i < text.size();) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        const size_t length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        std::uint32_t code = length == 1 ? byte : length == 2 ? byte & 0x1F : length == 3 ? byte & 0x0F : byte & 0x07;
        for (size_t k = 1; k < length && i + k < text.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        if (code >= 0x10000) {
            typed.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            typed.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            typed.push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    typed.push_back(0);
    SearchTextForms forms;
    SetTypedText(&forms, reinterpret_cast<const WCHAR*>(typed.c_str()));
    std::string ansi;
    if (SpellLatin1(forms.typed, &ansi))
        SetAnsiText(&forms, ansi.data(), ansi.size());
    const CaseFolding* folding = option == "--ignore-case" ? BenchFolding() : nullptr;
    const bool three = option == "--three";

    unsigned long long bytes = 0;
    std::vector<std::string> files;
    ReadTree(argv[1], &files, &bytes);
    if (files.empty()) {
        std::fprintf(stderr, "trovik-treebench: no file under %s\n", argv[1]);
        return 2;
    }
    std::printf("%zu files, %llu bytes, text %s%s, median of %d runs\n", files.size(), bytes, text.c_str(),
                folding != nullptr ? " (any case)" : three ? " (three readings)" : "", repetitions);
    double total = 0;
    FileScan scan;
    // Each view alone over every file, then the whole table as the walk runs it.
    for (int view = 0; view <= ContentViewCount; ++view) {
        const unsigned mask = view < ContentViewCount ? 1u << view : AllContentViews;
        if (view < ContentViewCount && (three ? view > AnsiView : !forms.Runs(view + 1)))
            continue;
        if (!(three ? scan.Prepare(units.data(), mask) : scan.Prepare(forms, folding, mask))) {
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
            std::printf("%d %-9s %8.4f s  %6.2f GB/s  %llu matches\n", view + 1, ReadingTable[view].type, median,
                        bytes / median / 1e9, found);
        } else {
            std::printf("table   %8.4f s  %6.2f GB/s  %llu matches (the walk's one pass, in pieces of %zu KiB)\n",
                        median, bytes / median / 1e9, found, kPiece / 1024);
        }
    }
    std::printf("views   %8.4f s  %6.2f GB/s  (the views one after another)\n", total, bytes / total / 1e9);
    return 0;
}
