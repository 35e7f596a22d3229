#include "link_guard.h"

#include <windows.h>

#include "handles.h"
#include "templates.h"

namespace {

// "\\?\" and a path, or "\\?\UNC\" and a share's.
constexpr DWORD FinalPathSize = PathSize + 8;
using FinalPathFunction = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);

// The path the system reaches file by; false when it cannot be told or does not fit.
bool FinalPathOf(FinalPathFunction finalPath, HANDLE file, char* out)
{
    const DWORD length = finalPath(file, out, FinalPathSize, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    return length != 0 && length < FinalPathSize;
}

// The environment's folder without its trailing separators into root
// (PathSize bytes); the empty text when there is none. A double-byte
// character's second byte may be a backslash, and is never cut.
void EnvironmentRoot(char* root)
{
    if (!CopyText(root, PathSize, VariableValue(DelphiDir))) root[0] = '\0';
    char* rootEnd = root;
    for (char* at = root; *at; at = NextChar(at))
        if (*at != '\\') rootEnd = NextChar(at);
    *rootEnd = '\0';
}

// True when the last character of text is a backslash of its own.
bool EndsInSeparator(const char* text)
{
    const char* last = text;
    for (const char* at = text; *at; at = NextChar(at)) last = at;
    return *last == '\\' && NextChar(last) == last + 1;
}

// Where path must end up: the environment's folder as the system reaches it
// (an environment moved away behind a link at its RootDir is followed), and
// the rest as named; outside it, path as the system would make it full.
bool ExpectedFinalPath(FinalPathFunction finalPath, const char* path, char* out)
{
    char root[PathSize];
    EnvironmentRoot(root);
    const char* after = root[0] ? AfterPathPrefix(path, root) : nullptr;
    if (after && *after == '\\') {
        while (*after == '\\') ++after;
        // A drive's root keeps its separator: "C:" alone is that drive's current folder.
        if (root[0] && root[1] == ':' && !root[2]) AppendText(root, PathSize, "\\");
        UniqueFile folder(CreateFileA(root, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!folder || !FinalPathOf(finalPath, folder.get(), out)) return false;
        return (EndsInSeparator(out) || AppendText(out, FinalPathSize, "\\")) && AppendText(out, FinalPathSize, after);
    }
    char* name;
    const DWORD length = GetFullPathNameA(path, PathSize, out + 4, &name);
    out[0] = out[1] = out[3] = '\\';
    out[2] = '?';
    return length != 0 && length < PathSize;
}

// The length of the home folder when path begins with it, as a whole
// component (then a backslash or the end follows); 0 otherwise.
std::size_t HomePrefixLength(const char* path)
{
    const char* after = AfterPathPrefix(path, VariableValue(HomeDir));
    return after && (*after == '\\' || *after == '\0') ? static_cast<std::size_t>(after - path) : 0;
}

bool IsReparsePoint(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

// The environment's files are changed as administrator, and a link there
// could have been made by anyone who may change that folder. The
// environment's folder itself is followed: RootDir is written by
// administrators only, and environments are moved with a link in its place.
bool ThroughLinkInEnvironment(char* path)
{
    // Compared character by character: a double-byte character's second
    // byte is never folded as a letter.
    char root[PathSize];
    EnvironmentRoot(root);
    const char* after = root[0] ? AfterPathPrefix(path, root) : nullptr;
    if (!after || *after != '\\') return false;
    while (*after == '\\') ++after;
    for (char* at = path + (after - path);; at = NextChar(at)) {
        const char c = *at;
        if (c != '\\' && c != '\0') continue;
        *at = '\0';
        const bool linked = IsReparsePoint(path);
        *at = c;
        if (linked) return true;
        if (c == '\0') return false;
    }
}

bool InHomeFolder(const char* path)
{
    const std::size_t length = HomePrefixLength(path);
    return length != 0 && path[length] == '\\';
}

bool ThroughLinkInHome(char* path)
{
    const std::size_t length = HomePrefixLength(path);
    if (length == 0) return false;
    for (char* at = path + length;; at = NextChar(at)) {
        const char c = *at;
        if ((c != '\\' || NextChar(at) != at + 1) && c != '\0') continue;
        *at = '\0';
        const bool linked = IsReparsePoint(path);
        *at = c;
        if (linked) return true;
        if (c == '\0') return false;
    }
}

bool LinkedAtHandle(HANDLE file, const char* path)
{
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || information.nNumberOfLinks != 1)
        return true;
    // Windows before Vista cannot tell; there the checks on the way stand alone.
    const auto finalPath = reinterpret_cast<FinalPathFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA")));
    if (!finalPath) return false;
    char expected[FinalPathSize], actual[FinalPathSize];
    if (!ExpectedFinalPath(finalPath, path, expected) || !FinalPathOf(finalPath, file, actual)) return true;
    const char* after = AfterPathPrefix(actual, expected);
    return !after || *after != '\0';
}
