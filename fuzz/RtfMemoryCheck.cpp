// Memory bound of the RTF reading: reads a file in pieces through the view
// table as the walk does, then whole through ExtractRtfText, and reports the
// peak resident size after each.
//   rtf-memory-check --generate MEGABYTES FILE   writes MEGABYTES of '{'
//   rtf-memory-check FILE [LIMIT_MB]             exit 1 if the peak passes
//                                                twice the file plus LIMIT_MB
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "search/ContentMatchers.h"
#include "search/RtfTextExtractor.h"

namespace {

long PeakKilobytes()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int Generate(long megabytes, const char* path)
{
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        return 2;
    std::vector<char> block(1 << 20, '{');
    for (long i = 0; i < megabytes; ++i)
        std::fwrite(block.data(), 1, block.size(), file);
    return std::fclose(file) == 0 ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--generate") == 0)
        return Generate(std::atol(argv[2]), argv[3]);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: rtf-memory-check --generate MEGABYTES FILE | rtf-memory-check FILE [LIMIT_MB]\n");
        return 2;
    }
    const long limitMegabytes = argc == 3 ? std::atol(argv[2]) : 64;
    std::FILE* file = std::fopen(argv[1], "rb");
    if (file == nullptr)
        return 2;
    std::basic_string<WCHAR> text;
    text.push_back('x');
    FileScan scan;
    if (!scan.Prepare(text.c_str()))
        return 2;
    std::vector<unsigned char> piece(256 * 1024);
    scan.BeginFile();
    size_t size = 0;
    for (size_t got; !scan.Decided() && (got = std::fread(piece.data(), 1, piece.size(), file)) > 0; size += got)
        scan.Feed(piece.data(), got);
    scan.EndFile();
    const unsigned long long matches = scan.Result();
    const long afterScan = PeakKilobytes();

    std::fseek(file, 0, SEEK_END);
    size = static_cast<size_t>(std::ftell(file));
    std::fseek(file, 0, SEEK_SET);
    unsigned char* buffer = static_cast<unsigned char*>(std::malloc(size + 3));
    if (buffer == nullptr || std::fread(buffer, 1, size, file) != size)
        return 2;
    std::fclose(file);
    buffer[size] = buffer[size + 1] = buffer[size + 2] = 0;
    const long loaded = PeakKilobytes();
    std::uint16_t small[2048] = {};
    ExtractRtfText(buffer, size, small, sizeof small / sizeof small[0]);
    const long afterExtract = PeakKilobytes();
    std::free(buffer);

    const long fileKilobytes = static_cast<long>(size / 1024);
    std::printf("file %ld KiB, peak after the view table in pieces %ld KiB (%llu matches), after loading %ld KiB, "
                "after ExtractRtfText into 4 KiB %ld KiB\n",
                fileKilobytes, afterScan, matches, loaded, afterExtract);
    if (afterScan > limitMegabytes * 1024) {
        std::printf("peak %ld KiB in pieces exceeds %ld KiB\n", afterScan, limitMegabytes * 1024);
        return 1;
    }
    const long bound = 2 * fileKilobytes + limitMegabytes * 1024;
    if (afterExtract > bound) {
        std::printf("peak %ld KiB exceeds the bound of %ld KiB\n", afterExtract, bound);
        return 1;
    }
    return 0;
}
