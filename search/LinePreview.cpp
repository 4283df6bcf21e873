// Reading a found file's matching lines piece by piece, in the reading that
// found it, with the text and case of the search that found it.
#include "search/LinePreview.h"

#include <cstdlib>
#include <new>

#include "search/FileSearcher.h"
#include "search/LongPaths.h"

HANDLE OpenFoundFile(const FoundFile& record)
{
    // By its full path in the "\\?\" form, as the walk opened it. Others may
    // go on writing, renaming and deleting the file meanwhile.
    return CreateFileW(LongPathForm(FullPath(record)).c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

LinePreview::LinePreview()
    : folding(nullptr), lines(nullptr), piece(nullptr), file(INVALID_HANDLE_VALUE), left(0), complete(false)
{
}

LinePreview::~LinePreview()
{
    Cancel();
    delete lines;
    std::free(piece);
}

bool LinePreview::Prepare(const WCHAR* searchText, bool matchCase)
{
    Cancel();
    PrepareSearchText(&forms, searchText);
    folding = matchCase ? nullptr : SystemCaseFolding();
    if (lines == nullptr)
        lines = new (std::nothrow) MatchingLines;
    if (piece == nullptr)
        piece = static_cast<unsigned char*>(std::malloc(FilePieceSize));
    return lines != nullptr && piece != nullptr && (matchCase || folding != nullptr);
}

bool LinePreview::Start(const FoundFile& record, LineReport report, void* context)
{
    Cancel();
    if (lines == nullptr || piece == nullptr || !lines->Prepare(record.reading, forms, folding, &codePages, GetACP())) {
        SetLastError(ERROR_SUCCESS);
        return false;
    }
    file = OpenFoundFile(record);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    left = FoundFileSize(record);
    lines->BeginFile(report, context);
    return true;
}

bool LinePreview::Step()
{
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const DWORD wanted = left < FilePieceSize ? static_cast<DWORD>(left) : FilePieceSize;
    DWORD got = 0;
    const bool read = wanted == 0 || ReadFile(file, piece, wanted, &got, nullptr);
    if (read && got != 0) {
        lines->Feed(piece, got);
        left -= got;
        if (left != 0 && !lines->Ended())
            return true;
    }
    lines->EndFile();
    Cancel();
    complete = read;
    return false;
}

void LinePreview::Cancel()
{
    complete = false;
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
}
