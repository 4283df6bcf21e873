// Throughput of each matcher on a real tree, file by file as the walk offers
// them: every file of the folder (and its subfolders) is read into memory
// once, then each matcher runs over all of them, several times. Small files
// show what a micro-benchmark on one large buffer hides: the cost of each
// call and of the runtime library's small copies.
//   trovik-treebench FOLDER [TEXT] [REPETITIONS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "search/ContentMatchers.h"

namespace {

std::vector<std::string> ReadTree(const std::filesystem::path& folder, unsigned long long* bytes)
{
    std::vector<std::string> files;
    std::error_code error;
    std::filesystem::recursive_directory_iterator walk(
        folder, std::filesystem::directory_options::skip_permission_denied, error);
    for (; !error && walk != std::filesystem::recursive_directory_iterator(); walk.increment(error)) {
        if (!walk->is_regular_file(error))
            continue;
        std::ifstream stream(walk->path(), std::ios::binary);
        std::string content((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
        *bytes += content.size();
        content.append(3, '\0');  // the walk's buffer ends in three zero bytes
        files.push_back(std::move(content));
    }
    return files;
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
    const std::vector<std::string> files = ReadTree(argv[1], &bytes);
    if (files.empty()) {
        std::fprintf(stderr, "trovik-treebench: no file under %s\n", argv[1]);
        return 2;
    }
    std::printf("%zu files, %llu bytes, text %s, median of %d runs\n", files.size(), bytes, text.c_str(),
                repetitions);
    const char* names[] = {"UTF-16", "RTF", "8-bit"};
    double total = 0;
    for (int matcher = 0; matcher < 3; ++matcher) {
        std::vector<double> seconds;
        long long found = 0;
        for (int run = 0; run < repetitions; ++run) {
            found = 0;
            const auto begin = std::chrono::steady_clock::now();
            for (const std::string& file : files) {
                SearchRequest request = {};
                request.searchText = units.data();
                FoundFile record = {};
                ContentMatcherTable[matcher](reinterpret_cast<const unsigned char*>(file.data()), file.size() - 3,
                                             &request, &record);
                found += record.matchCount;
            }
            seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
        }
        std::sort(seconds.begin(), seconds.end());
        const double median = seconds[seconds.size() / 2];
        total += median;
        std::printf("%-7s %8.4f s  %6.2f GB/s  %lld matches\n", names[matcher], median, bytes / median / 1e9, found);
    }
    std::printf("all     %8.4f s  %6.2f GB/s  (each file through all three)\n", total, bytes / total / 1e9);
    return 0;
}
