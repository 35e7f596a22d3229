#include "files.h"

#include "folder_security.h"
#include "handles.h"
#include "link_guard.h"
#include "templates.h"

namespace {

constexpr WORD PayloadType = 10;  // RT_RCDATA
// The new file written beside one that is replaced whole; only ours is so named.
constexpr char ReplacementSuffix[] = ".ostrevane~";

bool WriteWhole(HANDLE file, const void* bytes, DWORD size)
{
    DWORD written = 0;
    return WriteFile(file, bytes, size, &written, nullptr) && written == size;
}

// Replaces the file open at original (which it closes) with first and second
// written one after the other into a new file beside it, swapped in by name:
// a crash leaves the old file or the new one, never a part.
bool ReplaceWhole(UniqueFile& original, const char* path, const char* first, DWORD firstSize, const char* second,
                  DWORD secondSize)
{
    char fresh[PathSize];
    if (!CopyText(fresh, PathSize, path) || !AppendText(fresh, PathSize, ReplacementSuffix)) return false;
    // One a crash left goes; a link of that name goes itself, not what it names.
    DeleteFileA(fresh);
    UniqueFile file(CreateFileA(fresh, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const bool written = !LinkedAtHandle(file.get(), fresh) && WriteWhole(file.get(), first, firstSize) &&
                         WriteWhole(file.get(), second, secondSize) && FlushFileBuffers(file.get());
    file.reset();
    original.reset();
    if (written && MoveFileExA(fresh, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    DeleteFileA(fresh);
    return false;
}

using SetFileInformationFunction = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);

}  // namespace

bool WriteResourceToFile(const char* path, int resourceNumber, DWORD* written)
{
    DWORD ignored = 0;
    if (!written) written = &ignored;
    *written = 0;
    // The file comes first: a missing resource leaves it existing and empty.
    UniqueFile file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(resourceNumber), MAKEINTRESOURCEA(PayloadType));
    if (!resource) return true;
    DWORD size = SizeofResource(nullptr, resource);
    HGLOBAL loaded = LoadResource(nullptr, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return false;
    if (!WriteFile(file.get(), bytes, size, written, nullptr) || *written != size) return false;
    return true;
}

bool CreateFolderPath(char* path, char* firstCreated)
{
    char* first = nullptr;  // where the first folder made ends
    char before = '\0';
    for (char* at = path;; at = NextChar(at)) {
        const char c = *at;
        // A separator is a character of its own, never a double-byte one's second byte.
        const bool single = !c || NextChar(at) == at + 1;
        if (single && (c == '\\' || c == '/' || c == '\0') && before != ':') {
            *at = '\0';
            BOOL created = CreateProtectedFolder(path);
            DWORD error = created ? ERROR_SUCCESS : GetLastError();
            *at = c;
            if (created && !first) first = at;
            if (!created && error != ERROR_ALREADY_EXISTS) break;
        }
        if (c == '\0') break;
        before = single ? c : '\0';
    }
    // Whatever stopped the walk, what counts is the folder being there.
    const DWORD attributes = GetFileAttributesA(path);
    const bool made = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (firstCreated) firstCreated[0] = '\0';
    if (first && made && firstCreated) {
        const char kept = *first;
        *first = '\0';
        CopyText(firstCreated, PathSize, path);
        *first = kept;
    }
    // A path that could not be made whole leaves nothing of it behind.
    for (char* end = path + TextLength(path); first && !made && end >= first;) {
        const char kept = *end;
        *end = '\0';
        RemoveDirectoryA(path);
        *end = kept;
        char* parent = nullptr;
        for (char* at = path; at < end; at = NextChar(at))
            if (NextChar(at) == at + 1 && (*at == '\\' || *at == '/')) parent = at;
        if (!parent || parent < first) break;
        end = parent;
    }
    return made;
}

bool AppendTextIfAbsent(const char* path, const char* text, bool* holdsText)
{
    bool holds = false;
    if (!holdsText) holdsText = &holds;
    *holdsText = false;
    // The link itself is opened, never what it names, and told by its handle.
    UniqueFile file(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        // Only a file that holds something and cannot be opened is a failure.
        WIN32_FILE_ATTRIBUTE_DATA data;
        return !GetFileAttributesExA(path, GetFileExInfoStandard, &data) ||
               (data.nFileSizeLow == 0 && data.nFileSizeHigh == 0);
    }
    if (LinkedAtHandle(file.get(), path)) return false;
    const DWORD size = GetFileSize(file.get(), nullptr);
    if (size == 0) return true;  // an empty file stays empty
    if (size == INVALID_FILE_SIZE) return false;
    LocalBuffer contentBuffer(LocalAlloc(LPTR, size + 1));
    if (!contentBuffer) return false;
    char* content = static_cast<char*>(contentBuffer.get());
    DWORD got = 0;
    if (!ReadFile(file.get(), content, size, &got, nullptr) || got != size) return false;
    if (FindFolded(text, content)) {
        *holdsText = true;
        return true;
    }
    *holdsText = ReplaceWhole(file, path, content, size, text, static_cast<DWORD>(TextLength(text)));
    return *holdsText;
}

bool DeleteUnlinkedFile(const char* path)
{
    UniqueFile file(CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return true;
    if (LinkedAtHandle(file.get(), path)) return false;
    // Vista on deletes the very file checked; earlier Windows by its name.
    const auto setInformation = reinterpret_cast<SetFileInformationFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetFileInformationByHandle")));
    FILE_DISPOSITION_INFO disposition = {TRUE};
    // Not examined: a cache that stays is rebuilt from the files all the same.
    if (setInformation) {
        setInformation(file.get(), FileDispositionInfo, &disposition, sizeof disposition);
    } else {
        file.reset();
        DeleteFileA(path);
    }
    return true;
}
