#include "link_guard.h"

#include <windows.h>

#include "folder_security.h"
#include "handles.h"
#include "link_check.h"
#include "phase_times.h"
#include "templates.h"

namespace {

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

// The length of the home folder when path begins with it, as a whole
// component (then a backslash or the end follows); 0 otherwise.
std::size_t HomePrefixLength(const char* path)
{
    const char* after = AfterPathPrefix(path, VariableValue(HomeDir));
    return after && (*after == '\\' || *after == '\0') ? static_cast<std::size_t>(after - path) : 0;
}

// The home folder that this installation made afresh, held open without
// sharing its deletion: while it is held nobody can rename or delete it and
// so put another folder in its place. Its access list lets administrators
// alone add to it, and what it holds inherits that list: nobody else can
// put a link anywhere below it.
UniqueFile HeldHome;

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
    PHASE_SCOPE(Phase::Links);
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
    PHASE_SCOPE(Phase::Links);
    const std::size_t length = HomePrefixLength(path);
    if (length == 0 || HeldHome) return false;
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
    PHASE_SCOPE(Phase::Links);
    char root[PathSize];
    EnvironmentRoot(root);
    const char* after = root[0] ? AfterPathPrefix(path, root) : nullptr;
    if (!after || *after != '\\') return LinkedAtHandle(file, nullptr, path, SamePath);
    while (*after == '\\') ++after;
    // A drive's root keeps its separator: "C:" alone is that drive's current folder.
    if (root[1] == ':' && !root[2]) AppendText(root, PathSize, "\\");
    return LinkedAtHandle(file, root, after, SamePath);
}

bool HoldMadeHomeFolder()
{
    HeldHome.reset(CreateFileA(VariableValue(HomeDir), FILE_LIST_DIRECTORY | READ_CONTROL | SYNCHRONIZE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    // The folder held must be the one made: one swapped in before it was
    // opened is a link, or somebody else's.
    DWORD attributes = 0, names = 0;
    if (HeldHome && (!link_check::AttributesAndNames(HeldHome.get(), &attributes, &names) ||
                     (attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
                     !HeldFolderOnlyAdministratorsChange(HeldHome.get())))
        HeldHome.reset();
    return static_cast<bool>(HeldHome);
}

bool HoldsHomeFolder() { return static_cast<bool>(HeldHome); }

void ReleaseHomeFolder() { HeldHome.reset(); }
