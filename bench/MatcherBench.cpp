// Throughput of the whole view table, as the walk runs it on one file, on
// realistic buffers: source text, an RTF document, UTF-16LE text.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "search/ContentMatchers.h"

namespace {

// Source-like text: real headers where the machine has them, else generated.
std::string SourceText(size_t size)
{
    std::string sample;
    const char* files[] = {"/usr/include/stdio.h", "/usr/include/stdlib.h", "/usr/include/string.h",
                           "/usr/include/unistd.h", "/usr/include/fcntl.h"};
    for (const char* name : files) {
        if (FILE* file = std::fopen(name, "rb")) {
            char chunk[65536];
            size_t got;
            while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
                sample.append(chunk, got);
            std::fclose(file);
        }
    }
    if (sample.empty())
        sample = "static int count_items(const struct list *head)\n{\n    int n = 0;\n"
               "    for (; head; head = head->next)\n        n++;\n    return n; /* done */\n}\n";
    std::string text;
    while (text.size() < size)
        text += sample;
    text.resize(size);
    return text;
}

std::string RtfDocument(size_t size)
{
    std::string text =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fnil Courier New;}}"
        "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\\f0\\fs24\n";
    const std::string paragraph =
        "\\pard\\li720\\ri0\\fi-360 The quarterly report lists {\\b every} figure in "
        "{\\i plain} words, with caf\\'e9 prices and \\rdblquote quotes\\rdblquote .\\tab Done\\par\n";
    while (text.size() + paragraph.size() + 1 < size)
        text += paragraph;
    text += "}";
    return text;
}

std::string Utf16Text(size_t size)
{
    std::string source = SourceText(size / 2);
    std::string wide("\xFF\xFE", 2);
    for (char c : source) {
        wide.push_back(c == 0 ? ' ' : c);
        wide.push_back('\0');
    }
    return wide;
}

// Runs the view table over the buffer in pieces of 256 KiB, as the walk does;
// returns the count that decided.
unsigned long long RunTable(FileScan* scan, const std::vector<unsigned char>& buffer, size_t size)
{
    const size_t piece = 256 * 1024;
    scan->BeginFile();
    for (size_t at = 0; at < size && !scan->Decided(); at += piece)
        scan->Feed(buffer.data() + at, size - at < piece ? size - at : piece);
    scan->EndFile();
    return scan->Result();
}

std::basic_string<WCHAR> Widen(const char* text)
{
    std::basic_string<WCHAR> units;
    for (const char* p = text; *p; ++p)
        units.push_back(static_cast<unsigned char>(*p));
    return units;
}

void BenchTable(benchmark::State& state, std::string (*make)(size_t), const char* text)
{
    const size_t size = static_cast<size_t>(state.range(0));
    std::string content = make(size);
    std::vector<unsigned char> buffer(content.begin(), content.end());
    buffer.insert(buffer.end(), 3, 0);
    std::basic_string<WCHAR> units = Widen(text);
    FileScan scan;
    if (!scan.Prepare(units.c_str())) {
        state.SkipWithError("no memory for the scan");
        return;
    }
    unsigned long long matches = 0;
    for (auto _ : state) {
        matches = RunTable(&scan, buffer, content.size());
        benchmark::DoNotOptimize(matches);
    }
    state.counters["matches"] = static_cast<double>(matches);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(content.size()));
}

const int64_t kMiB = 1 << 20;

}  // namespace

// Source text: "include" is found by the RTF path (plain text), "\\n" only by
// the 8-bit path (a backslash sequence), "zqxjv" nowhere (all three run).
BENCHMARK_CAPTURE(BenchTable, source_rtf_path, SourceText, "include")->Arg(kMiB)->Arg(64 * kMiB);
BENCHMARK_CAPTURE(BenchTable, source_ansi_only, SourceText, "\\n")->Arg(kMiB)->Arg(64 * kMiB);
BENCHMARK_CAPTURE(BenchTable, source_nowhere, SourceText, "zqxjv")->Arg(kMiB)->Arg(64 * kMiB);
// RTF document: "Done" by the RTF path, "Arial" only raw (font table), "zqxjv" nowhere.
BENCHMARK_CAPTURE(BenchTable, rtf_rtf_path, RtfDocument, "Done")->Arg(kMiB)->Arg(64 * kMiB);
BENCHMARK_CAPTURE(BenchTable, rtf_ansi_only, RtfDocument, "Arial")->Arg(kMiB)->Arg(64 * kMiB);
BENCHMARK_CAPTURE(BenchTable, rtf_nowhere, RtfDocument, "zqxjv")->Arg(kMiB)->Arg(64 * kMiB);
// UTF-16LE text: "include" by the UTF-16 path, "zqxjv" nowhere.
BENCHMARK_CAPTURE(BenchTable, utf16_utf16_path, Utf16Text, "include")->Arg(kMiB)->Arg(64 * kMiB);
BENCHMARK_CAPTURE(BenchTable, utf16_nowhere, Utf16Text, "zqxjv")->Arg(kMiB)->Arg(64 * kMiB);

BENCHMARK_MAIN();
