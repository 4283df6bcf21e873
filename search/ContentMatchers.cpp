// The view table over one file at a time: which views the file's kind lets
// count, the scan they share, and the first view that counts.
#include "search/ContentMatchers.h"

#include <cstring>

#include "search/TextScan.h"

int NarrowText(char* destination, const WCHAR* source, size_t room)
{
    for (size_t i = 0; i < room; ++i) {
        unsigned unit = static_cast<unsigned>(source[i]);
        if (unit >= 256)
            return -1;
        destination[i] = static_cast<char>(unit);
        if (unit == 0)
            return static_cast<int>(i);
    }
    return static_cast<int>(room);
}

FileScan::FileScan()
    : views(), kindViews(), zeroViews(0), usedViews(0), sharedCounters(), sharing(false), anchorValues(), anchorCount(0), head(),
      held(0), kindKnown(false), live(0), zeroWindowLeft(0), unsharedBlocks(0), unsharedRun(0), positions()
{
}

FileScan::~FileScan()
{
    for (ContentView* view : views)
        delete view;
}

bool FileScan::Prepare(const SearchTextForms& forms, const CaseFolding* folding, unsigned mask,
                       RtfCodePages* codePages)
{
    const ViewSetup setup = {&forms, folding, codePages};
    unsigned used = 0;
    zeroViews = 0;
    for (FileKind kind = PlainFile; kind < FileKindCount; kind = static_cast<FileKind>(kind + 1)) {
        kindViews[kind] = 0;
        for (int i = 0; i < ContentViewCount; ++i) {
            if ((mask & (1u << i)) != 0 && RunsInKind(ReadingTable[i].reading, forms, kind))
                kindViews[kind] |= 1u << i;
        }
        used |= kindViews[kind];
    }
    usedViews = used;
    for (int i = 0; i < ContentViewCount; ++i) {
        const ReadingRow& row = ReadingTable[i];
        if (row.needsZero)
            zeroViews |= 1u << i;
        if ((used & (1u << i)) == 0)
            continue;
        if (views[i] == nullptr)
            views[i] = row.makeView(row);
        if (views[i] == nullptr || !views[i]->Prepare(row, setup))
            return false;
    }

    // The plain views that compare elements where they lie share one scan
    // for their anchors; a view that folds its text first scans on its own.
    // Views of units choose first, as their anchors serve bytes too.
    bool shared[256] = {};
    sharing = false;
    for (int i = 0; i < ContentViewCount; ++i)
        sharedCounters[i] = nullptr;
    for (unsigned width = 2; width >= 1; --width) {
        for (int i = 0; i < ContentViewCount; ++i) {
            if ((used & (1u << i)) != 0 && ReadingTable[i].width == width)
                sharedCounters[i] = views[i]->ShareScan(shared);
        }
    }
    // Each value once; more than eight are too many to look for at once.
    anchorCount = 0;
    for (unsigned value = 0; value < 256; ++value) {
        if (!shared[value])
            continue;
        if (anchorCount < 8)
            anchorValues[anchorCount] = static_cast<unsigned char>(value);
        ++anchorCount;
    }
    for (PieceCounter* counter : sharedCounters)
        sharing = sharing || counter != nullptr;
    sharing = sharing && anchorCount <= 8;
    return true;
}

bool FileScan::Prepare(const WCHAR* searchText, unsigned mask, RtfCodePages* codePages)
{
    SearchTextForms forms;
    SetTypedText(&forms, searchText);
    // Units below 256 are the code page's bytes; a unit of 256 or more ends
    // what the byte views look for, as narrowing always has.
    std::string ansi;
    for (char16_t unit : forms.typed) {
        if (unit >= 256)
            break;
        ansi.push_back(static_cast<char>(unit));
    }
    SetAnsiText(&forms, ansi.data(), ansi.size());
    forms.widenedAnsi = forms.typed;
    return Prepare(forms, nullptr, mask & ((1u << Utf16View) | (1u << RtfView) | (1u << AnsiView)), codePages);
}

void FileScan::BeginFile()
{
    unsharedBlocks = 0;
    unsharedRun = 0;
    held = 0;
    kindKnown = false;
    live = 0;
    zeroWindowLeft = 0;
    for (int i = 0; i < ContentViewCount; ++i) {
        if (views[i] != nullptr)
            views[i]->BeginFile();
    }
}

void FileScan::SetKind(FileKind kind)
{
    kindKnown = true;
    live = kindViews[kind];
    zeroWindowLeft = kind == PlainFile && (live & zeroViews) != 0 ? ZeroWindow : 0;
}

// The first bytes are held until there are enough of them to tell the
// file's kind; a first piece that has them is read where it lies.
void FileScan::Feed(const unsigned char* piece, size_t size)
{
    if (!kindKnown) {
        if (held == 0 && size >= FileKindHead) {
            SetKind(KindOfFile(piece, size));
        } else {
            const size_t take = size < FileKindHead - held ? size : FileKindHead - held;
            if (take != 0)
                std::memcpy(head + held, piece, take);
            held += take;
            piece += take;
            size -= take;
            if (held < FileKindHead)
                return;
            SetKind(KindOfFile(head, held));
            FeedKnown(head, held);
        }
    }
    FeedKnown(piece, size);
}

void FileScan::WatchZero(const unsigned char* piece, size_t size, size_t zero)
{
    const size_t window = size < zeroWindowLeft ? size : zeroWindowLeft;
    if (zero == kNotFound)
        zero = FindZeroByte(piece, window);
    if (zero < window) {
        zeroWindowLeft = 0;
        return;
    }
    zeroWindowLeft -= window;
    if (zeroWindowLeft == 0)
        live &= ~zeroViews;  // no zero byte: no UTF-16 text
}

// The views that share the scan look for their occurrences only where it
// found their anchors: one pass over each block instead of one a view.
void FileScan::FeedKnown(const unsigned char* piece, size_t size)
{
    if (!sharing) {
        if (zeroWindowLeft != 0)
            WatchZero(piece, size, kNotFound);
        FeedViews(piece, size, nullptr);
        return;
    }
    while (size != 0) {
        const size_t take = size < ScanBlock ? size : ScanBlock;
        // Once every view that shares the scan has ended (a binary file),
        // nothing is scanned for.
        bool scanning = false;
        for (int i = 0; i < ContentViewCount; ++i)
            scanning = scanning || (sharedCounters[i] != nullptr && Live(i) && !views[i]->Ended());
        ScanHits hits = {positions, kNotFound, take, take, false};
        if (unsharedBlocks != 0) {
            unsharedBlocks -= 1;
        } else if (scanning) {
            hits.found = FindAnyOf(piece, take, anchorValues, anchorCount, positions, ScanRoom, &hits.zero, &hits.ascii);
            // Where the anchors are common the views' own scans are faster:
            // the shared scan rests for longer each time it is tried in vain.
            if (hits.found == kNotFound) {
                unsharedRun = unsharedRun == 0 ? 2 : unsharedRun < 64 ? 2 * unsharedRun : 64;
                unsharedBlocks = unsharedRun;
            } else {
                unsharedRun = 0;
            }
        }
        if (zeroWindowLeft != 0)
            WatchZero(piece, take, hits.found == kNotFound ? kNotFound : hits.zero);
        if (FeedViews(piece, take, hits.found == kNotFound ? nullptr : &hits))
            return;
        piece += take;
        size -= take;
    }
}

bool FileScan::FeedViews(const unsigned char* piece, size_t size, const ScanHits* hits)
{
    bool ended = true;
    for (int i = 0; i < ContentViewCount; ++i) {
        if (!Live(i))
            continue;
        ContentView* view = views[i];
        if (!view->Ended())
            view->Feed(piece, size, sharedCounters[i] != nullptr ? hits : nullptr);
        // A view that has ended with a count leaves nothing to the views after it.
        if (view->Ended() && view->Count() != 0)
            return true;
        ended = ended && view->Ended();
    }
    return ended;
}

void FileScan::EndFile()
{
    if (!kindKnown) {
        SetKind(KindOfFile(head, held));
        FeedKnown(head, held);
    }
    // A file shorter than the zero window without a zero byte.
    if (zeroWindowLeft != 0) {
        zeroWindowLeft = 0;
        live &= ~zeroViews;
    }
    for (int i = 0; i < ContentViewCount; ++i) {
        if (Live(i) && !views[i]->Ended())
            views[i]->EndFile();
    }
}

bool FileScan::Decided() const
{
    // Before its first bytes, a file is decided only where no file gets a view.
    if (!kindKnown)
        return usedViews == 0;
    for (int i = 0; i < ContentViewCount; ++i) {
        if (!Live(i))
            continue;
        if (!views[i]->Ended())
            return false;
        // A count that the zero window may still take away decides nothing yet.
        if (views[i]->Count() != 0)
            return zeroWindowLeft == 0 || (zeroViews & (1u << i)) == 0;
    }
    return true;
}

unsigned long long FileScan::Result(int* view) const
{
    for (int i = 0; i < ContentViewCount; ++i) {
        if (Live(i) && views[i]->Count() != 0) {
            if (view != nullptr)
                *view = i;
            return views[i]->Count();
        }
    }
    if (view != nullptr)
        *view = -1;
    return 0;
}
