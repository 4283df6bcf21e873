// The folder walk: depth first, files before subfolders, one small piece of
// work per step, positioned by the process's current directory.
#include "search/FileSearcher.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "search/ContentMatchers.h"
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

bool IsDirectory(const WIN32_FIND_DATAA& entry)
{
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The code page the ANSI file functions spell names in.
UINT FileCodePage()
{
    return AreFileApisANSI() ? GetACP() : GetOEMCP();
}

// Spells a wide name into a field of `size` bytes as the ANSI file functions
// would, and tells whether that spelling is the name itself. A name the code
// page cannot spell comes out with substitutes ("?", or a look-alike such as
// "A" for U+0100): such a spelling does not open the entry and may open
// another file of the same folder. A spelling that does not fit is cut.
bool SpellName(const WCHAR* name, char* field, int size)
{
    const UINT codePage = FileCodePage();
    BOOL usedDefault = FALSE;
    const DWORD exactOnly = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    if (WideCharToMultiByte(codePage, exactOnly, name, -1, field, size, nullptr,
                            codePage == CP_UTF8 ? nullptr : &usedDefault) > 0 &&
        !usedDefault)
        return true;
    char spelled[4 * MAX_PATH];
    const int length = WideCharToMultiByte(codePage, 0, name, -1, spelled, sizeof spelled, nullptr, nullptr);
    spelled[length > 0 ? length - 1 : 0] = 0;
    std::strncpy(field, spelled, static_cast<size_t>(size) - 1);
    field[size - 1] = 0;
    return false;
}

// Turns a wide enumeration entry into the ANSI one the walk works with;
// gives whether the entry's name is spelled exactly. The short name is left
// empty: the walk never uses it.
bool SpellEntry(const WIN32_FIND_DATAW& wide, WIN32_FIND_DATAA* entry)
{
    entry->dwFileAttributes = wide.dwFileAttributes;
    entry->ftCreationTime = wide.ftCreationTime;
    entry->ftLastAccessTime = wide.ftLastAccessTime;
    entry->ftLastWriteTime = wide.ftLastWriteTime;
    entry->nFileSizeHigh = wide.nFileSizeHigh;
    entry->nFileSizeLow = wide.nFileSizeLow;
    entry->dwReserved0 = wide.dwReserved0;
    entry->dwReserved1 = wide.dwReserved1;
    entry->cAlternateFileName[0] = 0;
    return SpellName(wide.cFileName, entry->cFileName, sizeof entry->cFileName);
}

// Opens an enumeration of the current folder, as FindFirstFileA would with
// the same pattern, but knowing for each entry whether its ANSI name is exact.
HANDLE FindFirst(const char* pattern, WIN32_FIND_DATAA* entry, bool* exact)
{
    WCHAR widePattern[MAX_PATH + 1];
    if (MultiByteToWideChar(FileCodePage(), 0, pattern, -1, widePattern, MAX_PATH + 1) == 0)
        return INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW wide;
    HANDLE handle = FindFirstFileW(widePattern, &wide);
    if (handle != INVALID_HANDLE_VALUE)
        *exact = SpellEntry(wide, entry);
    return handle;
}

// The next entry of an enumeration. Any failure ends the enumeration: an
// error other than the normal end would otherwise stall the walk for good.
bool FindNext(HANDLE handle, WIN32_FIND_DATAA* entry, bool* exact)
{
    WIN32_FIND_DATAW wide;
    if (!FindNextFileW(handle, &wide))
        return false;
    *exact = SpellEntry(wide, entry);
    return true;
}

// Where the platform takes a name, relative to the current folder, to lead.
enum NameTarget {
    NameOwn,      // a full path that ends in that very name
    NameDevice,   // a device ("aux", "com1.txt", "nul"): opening it would read a
                  // port or the console instead of the file, and may wait for ever
    NameOther,    // another entry: the platform drops trailing dots and spaces,
                  // so "x.txt." leads to a neighbour "x.txt" and "sub." into "sub"
};

NameTarget ResolveName(const char* name)
{
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(name, sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full)
        return NameOther;
    if (std::strncmp(full, "\\\\.\\", 4) == 0)
        return NameDevice;
    const size_t nameLength = std::strlen(name);
    if (length <= nameLength || full[length - nameLength - 1] != '\\' ||
        std::strcmp(full + length - nameLength, name) != 0)
        return NameOther;
    return NameOwn;
}

// Opens the enumeration entry's file for reading, or gives
// INVALID_HANDLE_VALUE when its name does not lead to that file on disk; the
// thread's last error then says why (a system code or an OpenFailure).
HANDLE OpenEntry(const WIN32_FIND_DATAA& entry, bool exact)
{
    if (!exact) {
        SetLastError(FailureNameNotSpelled);
        return INVALID_HANDLE_VALUE;
    }
    const NameTarget target = ResolveName(entry.cFileName);
    if (target != NameOwn) {
        SetLastError(target == NameDevice ? FailureDeviceName : FailureNameNotOwn);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE file = CreateFileA(entry.cFileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE && GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        SetLastError(FailureNotDiskFile);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

}  // namespace

// A deeper folder could only be reported with a cut path, which may name
// another file: the walk does not enter it, and the window starts no search there.
bool CurrentFolderFitsRecord()
{
    char folder[sizeof(FoundFile::folder)];
    const DWORD length = GetCurrentDirectoryA(sizeof folder, folder);
    return length != 0 && length < sizeof folder;
}

FileSearcher::FileSearcher()
    : findData(), nameExact(false), findHandle(INVALID_HANDLE_VALUE), state(Idle), pattern(), request(nullptr),
      handles(nullptr), folder(), file(INVALID_HANDLE_VALUE), record(), fileSize(0), fileRead(0), pieces(nullptr),
      piecesMissing(false), scan()
{
}

FileSearcher::~FileSearcher()
{
    CloseFile();
    std::free(pieces);
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

    // The one buffer of the search, and the views' patterns: only these can
    // fail for lack of memory, never a file, whatever its size.
    piecesMissing = false;
    if (request->searchText[0] != 0) {
        if (pieces == nullptr)
            pieces = static_cast<unsigned char*>(std::malloc(FilePieceSize));
        // The text as typed, spelled for each reading; without Match case
        // every reading compares through the platform's case folding.
        SearchTextForms forms;
        PrepareSearchText(&forms, request->searchText);
        const CaseFolding* folding = request->matchCase ? nullptr : SystemCaseFolding();
        piecesMissing = pieces == nullptr || (!request->matchCase && folding == nullptr) ||
                        !scan.Prepare(forms, folding, AllContentViews, &codePages);
    }

    size_t length = 0;
    const WCHAR* source = request->filePattern;
    while (length < sizeof pattern - 1 && source[length] != 0 && static_cast<unsigned>(source[length]) < 256) {
        pattern[length] = static_cast<char>(source[length]);
        ++length;
    }
    pattern[length] = 0;

    request->filesSearched = 0;
    request->filesWithMatches = 0;
    request->totalMatches = 0;
    // Without a stack or a buffer there is no walk: it ends at once.
    state = (handles != nullptr && handles->Reserve(16) && !piecesMissing) ? EnterFolder : Finishing;
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
    if (piecesMissing)
        reports.SendStatus("Failed to alloc memory (%lul).", static_cast<unsigned long>(FilePieceSize));
    else
        reports.SendSummary(*request);
    return 0;
}

int FileSearcher::StepEnterFolder()
{
    if (!handles->Push(findHandle)) {
        // No room to remember the parent's enumeration: skip this folder.
        if (handles->IsEmpty()) {
            state = Finishing;
            return 1;
        }
        SetCurrentDirectoryA("..");
        state = NextSubfolder;
        return 1;
    }
    // Files are taken up only between here and the folder's first subfolder,
    // so the folder every record names is read once per folder.
    DWORD length = GetCurrentDirectoryA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder)
        folder[0] = 0;
    findHandle = FindFirst(pattern, &findData, &nameExact);
    if (findHandle == INVALID_HANDLE_VALUE) {
        state = NextSubfolder;
        return 1;
    }
    return SeekFile(!IsDirectory(findData));
}

int FileSearcher::SeekFile(bool haveFile)
{
    while (!haveFile && FindNext(findHandle, &findData, &nameExact))
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
    std::memcpy(record->name, findData.cFileName, sizeof record->name);
    record->name[sizeof record->name - 1] = 0;
    std::memcpy(record->folder, folder, sizeof record->folder);
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

    HANDLE opened = OpenEntry(findData, nameExact);
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
        findHandle = FindFirst("*", &findData, &nameExact);
        if (findHandle == INVALID_HANDLE_VALUE) {
            state = LeaveFolder;
            return 1;
        }
        have = true;
    } else {
        have = FindNext(findHandle, &findData, &nameExact);
    }
    for (; have; have = FindNext(findHandle, &findData, &nameExact)) {
        if (!IsDirectory(findData) || findData.cFileName[0] == '.')
            continue;
        // A spelling that names another folder would walk that one twice.
        if (!nameExact || ResolveName(findData.cFileName) != NameOwn)
            continue;
        // A subfolder that cannot be made current is skipped.
        if (!SetCurrentDirectoryA(findData.cFileName))
            continue;
        if (!CurrentFolderFitsRecord()) {
            SetCurrentDirectoryA("..");
            continue;
        }
        reports.SendStatus("Searching %s ...", findData.cFileName);
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
        SetCurrentDirectoryA("..");
        state = NextSubfolder;
        return 1;
    }
    state = Finishing;
    return 1;
}
