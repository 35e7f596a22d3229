#pragma once
// A user's registrations as text: which package entries are the product's, and the search path's whole entries.
// No <windows.h> and no C runtime: the installer and the registrar share it, the native fuzz build reaches it.
#include "folded_text.h"
#include "path_text.h"

// Every earlier version's package was named so.
inline constexpr char LibraryPackagePattern[] = "ovanlib.";

// True when valueName, an entry of a user's Known Packages or Disabled
// Packages, names package (its file name without extension) or an earlier
// version's package, searched as the scripts search. An entry that is keep
// (a package path; null for none) stays: the user switched that very package
// off. An empty package names nothing.
inline bool PurgedPackageEntry(const char* valueName, const char* package, const char* keep)
{
    if (keep && SamePath(valueName, keep)) return false;
    return (package[0] && FindFolded(package, valueName)) || FindFolded(LibraryPackagePattern, valueName);
}

// Removes every whole entry of the search path in path that is folder, with
// the separator before it (after it, for the first entry), in place. The
// other entries stay byte for byte: a longer entry that begins with folder
// is another folder.
inline void RemoveWholeEntries(char* path, const char* folder)
{
    char* out = path;
    bool kept = false;
    for (char* at = path;;) {
        char* end = at;
        while (*end && *end != ';') end = NextChar(end);
        const unsigned long length = static_cast<unsigned long>(end - at);
        if (AfterPathPrefix(at, folder) != end) {
            if (kept) *out++ = ';';
            for (unsigned long i = 0; i < length; ++i) *out++ = at[i];  // out never passes at
            kept = true;
        }
        if (!*end) break;
        at = end + 1;
    }
    *out = '\0';
}

// The folders the product's earlier search-path entries begin with.
enum EntryFolder : int {
    EnvironmentFolder,       // the environment's own folder
    EnvironmentShortFolder,  // the same, in its short form
    OldHomeFolder,           // the home folder of the installation before
    EntryFolderCount,
    NoFolder = EntryFolderCount,  // a literal entry
};

// Earlier entries of the product in a search path, removed in this order as
// whole entries: the folder, then tail; the old home's tail is its
// sub-folder. While its folder is not known a pattern is passed over.
struct SearchPathPattern {
    EntryFolder folder;
    const char* tail;  // null: "\" and the sub-folder
};
inline constexpr SearchPathPattern SearchPathPatterns[] = {
    // folder                  tail
    {EnvironmentFolder,        "\\add\\ostrevane"},
    {EnvironmentFolder,        "\\\\add\\ostrevane"},
    {OldHomeFolder,            nullptr},
    {NoFolder,                 "$(DELPHI)\\ADD\\ostrevane"},
    {NoFolder,                 "$(BCB)\\ADD\\ostrevane"},
    {EnvironmentShortFolder,   "\\add\\ostrevane"},
    {EnvironmentShortFolder,   "\\\\add\\ostrevane"},
};

// Takes the product's earlier entries out of path, in place. folders holds
// the text of each EntryFolder (empty: not known); each pattern is composed
// in scratch (scratchSize bytes). False, with path partly done, when a
// pattern does not fit: the path must then not be written back.
inline bool RemoveEarlierEntries(char* path, const char* const (&folders)[EntryFolderCount], const char* subFolder,
                                 char* scratch, unsigned scratchSize)
{
    for (const SearchPathPattern& pattern : SearchPathPatterns) {
        const char* folder = pattern.folder == NoFolder ? "" : folders[pattern.folder];
        if (pattern.folder != NoFolder && !folder[0]) continue;
        if (scratchSize == 0) return false;
        scratch[0] = '\0';
        if (!AppendPathText(scratch, scratchSize, folder) ||
            !AppendPathText(scratch, scratchSize, pattern.tail ? pattern.tail : "\\") ||
            (!pattern.tail && !AppendPathText(scratch, scratchSize, subFolder)))
            return false;
        RemoveWholeEntries(path, scratch);
    }
    return true;
}
