#include "tool_outputs.h"

#include <algorithm>

#include "templates.h"

namespace {

constexpr std::size_t NameCapacity = 16384;
// FAT keeps write times to 2 s, and any file system may stamp a clock tick
// behind the moment it stands for.
constexpr ULONGLONG ClockSlack = 2 * 10000000ull;  // 2 s in 100 ns units

std::uint32_t HashOf(const char* text)
{
    std::uint32_t hash = 2166136261u;
    for (; *text; ++text) hash = (hash ^ static_cast<unsigned char>(*text)) * 16777619u;
    return hash;
}

ULONGLONG Ticks(const FILETIME& time) { return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime; }

bool Noted(const FolderContents& contents, std::uint32_t hash)
{
    return std::binary_search(contents.names, contents.names + contents.count, hash);
}

// Calls visit for every entry below the folder in path (PathSize bytes,
// restored on return), a folder after what it holds, links neither
// visited nor entered.
template <typename Visit>
void Walk(char* path, Visit&& visit)
{
    const std::size_t length = TextLength(path);
    if (!AppendText(path, PathSize, "\\*")) {
        path[length] = '\0';
        return;
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    path[length] = '\0';
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const char* name = found.cFileName;
        if ((name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2]))) ||
            (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        if (!AppendText(path, PathSize, "\\") || !AppendText(path, PathSize, name)) {
            path[length] = '\0';
            visit(static_cast<const char*>(nullptr), found);  // a path that does not fit
            continue;
        }
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder) Walk(path, visit);
        visit(static_cast<const char*>(path), found);
        path[length] = '\0';
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

}  // namespace

void NoteFolderContents(const char* folder, FolderContents* contents)
{
    ReleaseFolderContents(contents);
    GetSystemTimeAsFileTime(&contents->taken);
    contents->names = static_cast<std::uint32_t*>(LocalAlloc(LPTR, NameCapacity * sizeof(std::uint32_t)));
    contents->whole = contents->names != nullptr;
    char path[PathSize];
    if (!contents->names || !CopyText(path, PathSize, folder)) {
        contents->whole = false;
        return;
    }
    Walk(path, [&](const char* at, const WIN32_FIND_DATAA&) {
        if (!at || contents->count == NameCapacity) {
            contents->whole = false;
            return;
        }
        contents->names[contents->count++] = HashOf(at);
    });
    std::sort(contents->names, contents->names + contents->count);
}

void ReleaseFolderContents(FolderContents* contents)
{
    if (contents->names) LocalFree(contents->names);
    *contents = FolderContents{};
}

void VisitNewEntries(const char* folder, const FolderContents& contents, void (*visit)(const char* path, bool isFolder))
{
    char path[PathSize];
    if (!CopyText(path, PathSize, folder)) return;
    const ULONGLONG since = Ticks(contents.taken) - ClockSlack;
    Walk(path, [&](const char* at, const WIN32_FIND_DATAA& found) {
        if (!at || (contents.names && Noted(contents, HashOf(at)))) return;
        // A path the notes may have missed is the tool's only when written since.
        if (!contents.whole && Ticks(found.ftLastWriteTime) < since && Ticks(found.ftCreationTime) < since) return;
        visit(at, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    });
}
