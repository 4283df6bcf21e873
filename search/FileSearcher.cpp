// The folder walk: depth first, files before subfolders, one small piece of
// work per step, positioned by the current folder's full path.
#include "search/FileSearcher.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>

#include "search/ContentMatchers.h"
#include "search/LongPaths.h"
#include "search/SearchText.h"

// Enumeration handles of the folders above the current one, last in first out.
class HandleStack {
public:
    ~HandleStack() { std::free(items); }
    bool Reserve(size_t wanted)
    {
        if (wanted <= capacity)
            return true;
        size_t grown = capacity < 16 ? 16 : capacity * 2;
        if (grown < wanted)
            grown = wanted;
        void* moved = std::realloc(items, grown * sizeof(HANDLE));
        if (moved == nullptr)
            return false;
        items = static_cast<HANDLE*>(moved);
        capacity = grown;
        return true;
    }
    bool Push(HANDLE handle)
    {
        if (!Reserve(count + 1))
            return false;
        items[count++] = handle;
        return true;
    }
    HANDLE Pop() { return items[--count]; }
    bool IsEmpty() const { return count == 0; }
    // Only the starting folder's entry: the walk is in the starting folder.
    bool HoldsOne() const { return count == 1; }
    // Closes every enumeration still held.
    void CloseAll()
    {
        for (size_t i = 0; i < count; ++i) {
            if (items[i] != INVALID_HANDLE_VALUE)
                FindClose(items[i]);
        }
        count = 0;
    }

private:
    HANDLE* items = nullptr;
    size_t count = 0;
    size_t capacity = 0;
};

namespace {

bool IsDirectory(const WIN32_FIND_DATAW& entry)
{
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A listing that failed only because nothing is there: no entry matches, or
// the folder itself has gone.
bool NothingListed(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES || error == ERROR_PATH_NOT_FOUND;
}

// Each of the two buffers of a walk's paths, in units.
const size_t PathBufferUnits = MaxPathUnits + 1;

}  // namespace

DWORD CheckStartFolder(const WCHAR* folder, std::wstring* full)
{
    full->clear();
    const DWORD needed = GetFullPathNameW(folder, 0, nullptr, nullptr);
    if (needed == 0)
        return GetLastError();
    std::wstring resolved(needed, L'\0');
    const DWORD length = GetFullPathNameW(folder, needed, &resolved[0], nullptr);
    if (length == 0 || length >= needed)
        return length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE;
    resolved.resize(length);
    std::wstring form = LongPathForm(resolved);
    if (form.empty() || form.size() + 2 >= MaxPathUnits)
        return ERROR_FILENAME_EXCED_RANGE;
    const DWORD attributes = GetFileAttributesW(form.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError();
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_DIRECTORY;
    if (form.back() != L'\\')
        form += L'\\';
    form += L'*';
    WIN32_FIND_DATAW entry;
    HANDLE listing = FindFirstFileExW(form.c_str(), FindExInfoStandard, &entry, FindExSearchNameMatch, nullptr, 0);
    if (listing == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND)  // a drive's empty root lists nothing at all
            return error;
    } else {
        FindClose(listing);
    }
    *full = resolved;
    return 0;
}

FileSearcher::FileSearcher()
    : findData(), findHandle(INVALID_HANDLE_VALUE), state(Idle), request(nullptr), handles(nullptr), path(nullptr),
      pathLength(0), folder(nullptr), subfolderTime(), findLevel(FindExInfoBasic),
      findFlags(FIND_FIRST_EX_LARGE_FETCH), file(INVALID_HANDLE_VALUE), record(), fileSize(0), fileRead(0),
      pieces(nullptr), buffersMissing(false), scan()
{
}

FileSearcher::~FileSearcher()
{
    CloseFile();
    std::free(pieces);
    std::free(path);
    if (findHandle != INVALID_HANDLE_VALUE)
        FindClose(findHandle);
    if (handles != nullptr) {
        handles->CloseAll();
        delete handles;
    }
}

int FileSearcher::Start(SearchRequest* searchRequest, SearchSink* sink)
{
    reports.SetSink(sink);
    reports.ClearStop();
    reports.FreeFoundFiles();
    if (handles != nullptr) {  // a walk that was never finished
        handles->CloseAll();
        delete handles;
        handles = nullptr;
    }
    if (findHandle != INVALID_HANDLE_VALUE)
        FindClose(findHandle);
    findHandle = INVALID_HANDLE_VALUE;
    CloseFile();
    request = searchRequest;
    handles = new (std::nothrow) HandleStack;

    // The walk's buffers, and the views' patterns: only these can fail for
    // lack of memory, never a file, whatever its size.
    if (path == nullptr) {
        path = static_cast<WCHAR*>(std::malloc(2 * PathBufferUnits * sizeof(WCHAR)));
        folder = path != nullptr ? path + PathBufferUnits : nullptr;
    }
    buffersMissing = path == nullptr;
    if (request->searchText[0] != 0 && !buffersMissing) {
        if (pieces == nullptr)
            pieces = static_cast<unsigned char*>(std::malloc(FilePieceSize));
        // The text as typed, spelled for each reading; without Match case
        // every reading compares through the platform's case folding.
        SearchTextForms forms;
        PrepareSearchText(&forms, request->searchText);
        const CaseFolding* folding = request->matchCase ? nullptr : SystemCaseFolding();
        buffersMissing = pieces == nullptr || (!request->matchCase && folding == nullptr) ||
                         !scan.Prepare(forms, folding, AllContentViews, &codePages);
    }

    // The starting folder in full, in the form every call of the walk takes
    // whatever its length; a drive's root without its backslash, which each
    // name after it brings.
    bool placed = false;
    if (!buffersMissing) {
        const DWORD length = GetFullPathNameW(request->folder != nullptr ? request->folder : L".",
                                              static_cast<DWORD>(PathBufferUnits), folder, nullptr);
        pathLength = length != 0 && length < PathBufferUnits ? LongPathForm(folder, path, PathBufferUnits) : 0;
        if (pathLength != 0 && path[pathLength - 1] == L'\\')
            path[--pathLength] = 0;
        placed = pathLength != 0;
        if (placed)
            NameFolder();
    }

    request->filesSearched = 0;
    request->filesWithMatches = 0;
    request->totalMatches = 0;
    // Without a stack, a buffer or a starting folder there is no walk: it ends at once.
    state = (handles != nullptr && handles->Reserve(16) && !buffersMissing && placed) ? EnterFolder : Finishing;
    return 1;
}

int FileSearcher::Step()
{
    switch (state) {
    case EnterFolder:
        return StepEnterFolder();
    case SearchFile:
        return StepSearchFile();
    case NextFile:
        return StepNextFile();
    case NextSubfolder:
        return StepNextSubfolder();
    case LeaveFolder:
        return StepLeaveFolder();
    case ReadPiece:
        return StepReadPiece();
    case Finishing:
        return EndWalk(1);
    case Idle:
    default:
        return 0;
    }
}

int FileSearcher::Finish()
{
    return EndWalk(0);
}

int FileSearcher::EndWalk(int notify)
{
    CloseFile();  // a file left unfinished by a stop is not reported
    std::free(pieces);
    pieces = nullptr;
    std::free(path);
    path = nullptr;
    folder = nullptr;
    if (findHandle != INVALID_HANDLE_VALUE)
        FindClose(findHandle);
    if (handles != nullptr) {
        handles->CloseAll();
        delete handles;
    }
    handles = nullptr;
    findHandle = INVALID_HANDLE_VALUE;
    state = Idle;
    reports.ClearStop();
    if (request == nullptr)
        return 0;
    if (notify)
        reports.SendSearchEnded();
    // The status line keeps the reason the search could not run.
    if (buffersMissing)
        reports.SendStatus(L"Failed to alloc memory (%lul).", static_cast<unsigned long>(FilePieceSize));
    else
        reports.SendSummary(*request);
    return 0;
}

size_t FileSearcher::AddTail(const WCHAR* name)
{
    const size_t length = std::wcslen(name);
    if (pathLength + 1 + length >= MaxPathUnits)
        return 0;
    path[pathLength] = L'\\';
    std::memcpy(path + pathLength + 1, name, (length + 1) * sizeof(WCHAR));
    return pathLength + 1 + length;
}

void FileSearcher::LeaveToParent()
{
    while (pathLength > 0 && path[pathLength - 1] != L'\\')
        --pathLength;
    if (pathLength > 0)
        --pathLength;
    CutTail();
    NameFolder();
}

void FileSearcher::NameFolder()
{
    // "\\?\C:\a" is "C:\a" to the user, "\\?\UNC\server\share" is "\\server\share".
    const WCHAR* shown = path;
    size_t length = 0;
    if (std::wcsncmp(path, L"\\\\?\\UNC\\", 8) == 0) {
        folder[length++] = L'\\';
        shown = path + 7;
    } else if (std::wcsncmp(path, L"\\\\?\\", 4) == 0) {
        shown = path + 4;
    }
    const size_t shownLength = pathLength - static_cast<size_t>(shown - path);
    std::memcpy(folder + length, shown, shownLength * sizeof(WCHAR));
    length += shownLength;
    if (length == 2 && folder[1] == L':')  // a drive's root keeps its backslash
        folder[length++] = L'\\';
    folder[length] = 0;
}

HANDLE FileSearcher::FindHere(const WCHAR* name, WIN32_FIND_DATAW* entry)
{
    if (AddTail(name) == 0) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return INVALID_HANDLE_VALUE;
    }
    // The basic level leaves out the short names, and a large fetch lists a
    // folder in fewer, larger reads. A platform without them refuses the
    // call: it is made again without them, and they stay off.
    HANDLE found;
    for (;;) {
        found = FindFirstFileExW(path, findLevel, entry, FindExSearchNameMatch, nullptr, findFlags);
        if (found != INVALID_HANDLE_VALUE || GetLastError() != ERROR_INVALID_PARAMETER ||
            (findFlags == 0 && findLevel == FindExInfoStandard))
            break;
        if (findFlags != 0)
            findFlags = 0;
        else
            findLevel = FindExInfoStandard;
    }
    const DWORD error = GetLastError();
    CutTail();
    SetLastError(error);
    return found;
}

HANDLE FileSearcher::OpenFound()
{
    // Every name is opened by its full path in the "\\?\" form, which the
    // platform takes as it is: a name ending in a dot or a space, or named
    // like a device, opens this very file.
    if (AddTail(findData.cFileName) == 0) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE opened = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD error = GetLastError();
    CutTail();
    if (opened != INVALID_HANDLE_VALUE && GetFileType(opened) != FILE_TYPE_DISK) {
        CloseHandle(opened);
        opened = INVALID_HANDLE_VALUE;
        error = FailureNotDiskFile;
    }
    SetLastError(error);
    return opened;
}

int FileSearcher::StepEnterFolder()
{
    if (!handles->Push(findHandle)) {
        // No room to remember the parent's enumeration: skip this folder.
        if (handles->IsEmpty()) {
            state = Finishing;
            return 1;
        }
        LeaveToParent();
        state = NextSubfolder;
        return 1;
    }
    findHandle = FindHere(request->filePattern, &findData);
    if (findHandle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A subfolder whose whole listing fails too cannot be entered: it is
        // listed as failed and left. (The pattern alone may have been refused.)
        if (!handles->HoldsOne() && !NothingListed(error)) {
            WIN32_FIND_DATAW entry;
            HANDLE all = FindHere(L"*", &entry);
            const DWORD listError = GetLastError();
            if (all != INVALID_HANDLE_VALUE)
                FindClose(all);
            else if (!NothingListed(listError))
                return ReportFolder(std::wcsrchr(path, L'\\') + 1, listError);
        }
        NameFolder();
        state = NextSubfolder;
        return 1;
    }
    // Files are taken up only between here and the folder's first subfolder,
    // so the folder every record names is made once per folder.
    NameFolder();
    return SeekFile(!IsDirectory(findData));
}

int FileSearcher::ReportFolder(const WCHAR* name, DWORD error)
{
    // The parent's folder names the row, which is not a searched file.
    state = LeaveFolder;
    FoundFile row = {};
    row.name = name;
    row.folder = folder;
    row.lastWriteTime = subfolderTime;
    row.openStatus = -1;
    row.openError = error != 0 ? error : ERROR_OPEN_FAILED;
    return reports.SendFoundFile(row);
}

int FileSearcher::SeekFile(bool haveFile)
{
    while (!haveFile && FindNextFileW(findHandle, &findData))
        haveFile = !IsDirectory(findData);
    if (haveFile) {
        state = SearchFile;
        return 1;
    }
    FindClose(findHandle);
    findHandle = INVALID_HANDLE_VALUE;
    state = NextSubfolder;
    return 1;
}

void FileSearcher::BuildRecord(FoundFile* record) const
{
    std::memset(record, 0, sizeof *record);
    record->name = findData.cFileName;
    record->folder = folder;
    record->lastWriteTime = findData.ftLastWriteTime;
    record->sizeLow = findData.nFileSizeLow;
    record->sizeHigh = findData.nFileSizeHigh;
}

int FileSearcher::StepSearchFile()
{
    state = NextFile;
    BuildRecord(&record);
    request->filesSearched += 1;

    if (request->searchText[0] == 0) {
        request->totalMatches += 1;
        record.matchCount = 1;
        request->filesWithMatches += 1;
        return reports.SendFoundFile(record);
    }

    HANDLE opened = OpenFound();
    if (opened == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        record.matchCount = 0;
        record.openStatus = -1;
        record.openError = error != 0 ? error : ERROR_OPEN_FAILED;
        return reports.SendFoundFile(record);
    }

    // The file is now in progress: its first piece is read in this step, the
    // others (if any) one per step.
    file = opened;
    fileSize = FoundFileSize(record);
    fileRead = 0;
    record.matchCount = 0;
    scan.BeginFile();
    return StepReadPiece();
}

int FileSearcher::StepReadPiece()
{
    // Reading ends at the size the enumeration gave, at a read that brings
    // nothing (a file that shrank), or once no view can change the result.
    if (fileRead < fileSize && !scan.Decided()) {
        const unsigned long long left = fileSize - fileRead;
        const DWORD wanted = left < FilePieceSize ? static_cast<DWORD>(left) : FilePieceSize;
        DWORD got = 0;
        if (ReadFile(file, pieces, wanted, &got, nullptr) && got != 0) {
            scan.Feed(pieces, got);
            fileRead += got;
            if (fileRead < fileSize && !scan.Decided()) {
                state = ReadPiece;
                return 1;
            }
        }
    }
    return FinishFile();
}

int FileSearcher::FinishFile()
{
    state = NextFile;
    scan.EndFile();
    int view = -1;
    const unsigned long long count = scan.Result(&view);
    record.matchCount = static_cast<long long>(count);
    record.reading = view + 1;  // the view's place in the table is its reading
    request->totalMatches += static_cast<long long>(count);
    int result = 1;
    if (count != 0) {
        request->filesWithMatches += 1;
        result = reports.SendFoundFile(record);
    }
    CloseFile();
    return result;
}

void FileSearcher::CloseFile()
{
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
}

int FileSearcher::StepNextFile()
{
    return SeekFile(false);
}

int FileSearcher::StepNextSubfolder()
{
    if (!request->includeSubfolders) {
        state = LeaveFolder;
        return 1;
    }
    bool have;
    if (findHandle == INVALID_HANDLE_VALUE) {
        findHandle = FindHere(L"*", &findData);
        if (findHandle == INVALID_HANDLE_VALUE) {
            state = LeaveFolder;
            return 1;
        }
        have = true;
    } else {
        have = FindNextFileW(findHandle, &findData);
    }
    for (; have; have = FindNextFileW(findHandle, &findData)) {
        if (!IsDirectory(findData) || findData.cFileName[0] == L'.')
            continue;
        reports.SendStatus(L"Searching %ls ...", findData.cFileName);
        subfolderTime = findData.ftLastWriteTime;
        const size_t length = AddTail(findData.cFileName);
        if (length == 0) {
            // Too deep for the platform: listed as failed; the next step
            // goes on with this folder's next entry.
            const int result = ReportFolder(findData.cFileName, ERROR_FILENAME_EXCED_RANGE);
            state = NextSubfolder;
            return result;
        }
        pathLength = length;
        state = EnterFolder;
        return 1;
    }
    state = LeaveFolder;
    return 1;
}

int FileSearcher::StepLeaveFolder()
{
    if (findHandle != INVALID_HANDLE_VALUE)
        FindClose(findHandle);
    findHandle = handles->Pop();
    if (!handles->IsEmpty()) {
        LeaveToParent();
        state = NextSubfolder;
        return 1;
    }
    state = Finishing;
    return 1;
}
