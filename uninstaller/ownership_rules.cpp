#include "ownership_rules.h"

#include "bounded_text.h"

namespace {

bool HasDrive(const char* path)
{
    const unsigned char letter = FoldedLetter(static_cast<unsigned char>(path[0]));
    return letter >= 'a' && letter <= 'z' && path[1] == ':';
}

// Bytes no file name of ours holds; a colon would name a stream.
bool ForbiddenInName(unsigned char c) { return c < 0x20 || c == ':' || c == '/'; }

// "X:\name\name...": what the platform's resolution leaves of a path that
// names a file on a drive. Every name is non-empty and ends in neither a dot
// nor a blank, so no "." or ".." is left either.
bool PlainDrivePath(const char* path)
{
    if (!HasDrive(path) || path[2] != '\\') return false;
    const char* name = path + 3;
    const char* last = name;  // the character before p
    for (const char* p = name;; last = p, p = NextChar(p)) {
        const char c = *p;
        if (AtSeparator(p) || c == 0) {
            if (p == name || (last + 1 == p && (*last == '.' || *last == ' '))) return false;
            if (c == 0) return true;
            name = p + 1;
        } else if (NextChar(p) == p + 1 && ForbiddenInName(static_cast<unsigned char>(c))) {
            return false;
        }
    }
}

bool PlainFolder(const char* folder)
{
    return (HasDrive(folder) && folder[2] == 0) || PlainDrivePath(folder);
}

// Length of prefix when text begins with it, as paths compare; else -1.
int FoldedPrefix(const char* text, const char* prefix)
{
    const char* after = AfterPathPrefix(text, prefix);
    return after ? static_cast<int>(after - text) : -1;
}

}  // namespace

bool LogFolderOf(const char* logPath, char* out)
{
    // Replaced by a link between reading and replaying, the folder would lead
    // the deletions elsewhere.
    if (!FullPathOf(logPath, out, PathSize) || PassesThroughLink(out)) {
        out[0] = 0;
        return false;
    }
    char* lastSeparator = nullptr;
    for (char* p = out; *p; p = NextChar(p))
        if (AtSeparator(p)) lastSeparator = p;
    if (lastSeparator) *lastSeparator = 0;
    if (!lastSeparator || !PlainFolder(out)) {
        out[0] = 0;
        return false;
    }
    return true;
}

bool PlacedFolder(const char* text, char* out)
{
    if (!HasDrive(text) || !FullPathOf(text, out, PathSize) || !PlainFolder(out) || PassesThroughLink(out) ||
        IsReparsePoint(out)) {
        out[0] = 0;
        return false;
    }
    return true;
}

bool ContainedPath(const char* text, const char* folder, char* out)
{
    out[0] = 0;
    // Only a full path with its drive: a relative one would depend on where
    // the uninstaller happens to be started.
    if (!HasDrive(text) || (text[2] != '\\' && text[2] != '/')) return false;
    if (!FullPathOf(text, out, PathSize)) {
        out[0] = 0;
        return false;
    }
    const int length = FoldedPrefix(out, folder);
    if (!PlainDrivePath(out) || length < 0 || out[length] != '\\' || out[length + 1] == 0) {
        out[0] = 0;
        return false;
    }
    // A junction or link below the folder could lead anywhere.
    for (char* p = out + length + 1; *p; p = NextChar(p)) {
        if (!AtSeparator(p)) continue;
        *p = 0;
        const bool linked = IsReparsePoint(out);
        *p = '\\';
        if (linked) {
            out[0] = 0;
            return false;
        }
    }
    return true;
}

bool PassesThroughLink(char* path)
{
    for (char* p = path + (HasDrive(path) ? 3 : 0); *p; p = NextChar(p)) {
        if (!AtSeparator(p)) continue;
        *p = 0;
        const bool linked = IsReparsePoint(path);
        *p = '\\';
        if (linked) return true;
    }
    return false;
}

namespace {

// True when key is prefix or lies under it.
bool AtOrUnder(const char* key, const char* prefix)
{
    const int length = FoldedPrefix(key, prefix);
    return length >= 0 && (key[length] == 0 || key[length] == '\\');
}

// The environment key that key begins with, followed by a backslash, and
// what follows it; null when there is none.
const char* BelowEnvironment(const char* key)
{
    for (const char* environment : EnvironmentKeys) {
        const int length = FoldedPrefix(key, environment);
        if (length >= 0 && key[length] == '\\') return key + length + 1;
    }
    return nullptr;
}

}  // namespace

bool UninstallEntryKey(const char* key) { return SameText(key, UninstallKey); }

bool LogonComponentKey(const char* key) { return SameText(key, ActiveSetupKeyPath); }

bool MadeEnvironmentKey(const char* key)
{
    const char* below = BelowEnvironment(key);
    if (below) return SameText(below, PackagesKeyName) || SameText(below, LibraryKeyName);
    if (!AtOrUnder(key, EnvironmentsKeyPath)) return false;
    for (const char* environment : EnvironmentKeys)
        if (AtOrUnder(environment, key)) return true;
    return false;
}

bool OwnedSearchPathValue(const char* name)
{
    for (const char* own : SearchPathValueNames)
        if (SameText(name, own)) return true;
    return false;
}

bool OwnedKey(bool machineRoot, const char* key)
{
    return AtOrUnder(key, ProductKeyPath) || (machineRoot && AtOrUnder(key, UninstallKey));
}

KeyKind HeldKeyKind(bool machineRoot, const char* key)
{
    if (OwnedKey(machineRoot, key)) return ProductKey;
    if (machineRoot) return SameText(key, HelpKeyPath) ? HelpKey : UnownedKey;
    const char* below = BelowEnvironment(key);
    if (below && SameText(below, PackagesKeyName)) return PackagesKey;
    if (below && SameText(below, LibraryKeyName)) return LibraryKey;
    return UnownedKey;
}

bool OwnedValue(KeyKind kind, const char* name, const char* folder)
{
    char checked[PathSize];
    switch (kind) {
    case ProductKey: return *name != 0;  // never the key's default value
    case PackagesKey: return ContainedPath(name, folder, checked);
    case HelpKey:
        for (const char* own : HelpValueNames)
            if (SameText(name, own)) return true;
        return false;
    default: return false;
    }
}

bool OwnedSearchPathEntry(const char* valueName, const char* entry, const char* folder)
{
    char checked[PathSize];
    return OwnedSearchPathValue(valueName) && entry[0] == ';' &&
           ContainedPath(entry + 1, folder, checked);
}

bool RemoveSearchPathEntry(char* value, const char* entry)
{
    char* found = nullptr;
    int length = -1;
    for (char* p = value; *p; p = NextChar(p)) {
        const int matched = FoldedPrefix(p, entry);
        if (matched > 0 && (p[matched] == 0 || p[matched] == ';')) {
            found = p;
            length = matched;
        }
    }
    // Moved to the front in the IDE's dialog, it has no separator before it.
    if (!found && entry[0] == ';' && entry[1]) {
        const int matched = FoldedPrefix(value, entry + 1);
        if (matched > 0 && (value[matched] == 0 || value[matched] == ';')) {
            found = value;
            length = matched + (value[matched] == ';' ? 1 : 0);
        }
    }
    if (!found) return false;
    char* to = found;
    for (const char* from = found + length;; ++from, ++to)
        if ((*to = *from) == 0) break;
    return true;
}

bool ProductHelpLine(const char* text)
{
    return OneOf(text, HelpLines);
}

bool EnvironmentHelpFile(const char* path, const char* rootDir, char* out)
{
    out[0] = 0;
    char help[PathSize];
    if (!HasDrive(path) || !CopyText(help, PathSize, rootDir) || !AppendText(help, PathSize, HelpFolder) ||
        !FullPathOf(path, out, PathSize) || !PlainDrivePath(out)) {
        out[0] = 0;
        return false;
    }
    const int length = FoldedPrefix(out, help);
    unsigned size = 0;
    bool plainName = length > 0 && out[length] == '\\';
    for (const char* p = out + (plainName ? length + 1 : 0); plainName && *p; size += static_cast<unsigned>(NextChar(p) - p), p = NextChar(p))
        plainName = !AtSeparator(p);
    const char* extension = plainName && size > 4 ? out + length + 1 + size - 4 : "";
    bool helpFile = false;
    for (const char* own : HelpFileExtensions) helpFile = helpFile || SameText(extension, own);
    if (!helpFile) {
        out[0] = 0;
        return false;
    }
    return true;
}

unsigned RemoveLastText(char* content, unsigned length, const char* text)
{
    unsigned size = 0;
    while (text[size]) ++size;
    if (size == 0 || size > length) return length;
    for (unsigned at = length - size + 1; at-- > 0;) {
        unsigned i = 0;
        while (i < size && content[at + i] == text[i]) ++i;
        if (i < size) continue;
        for (unsigned from = at + size; from < length; ++from) content[from - size] = content[from];
        return length - size;
    }
    return length;
}

bool ProductFilePath(const char* text, const char* const* folders, unsigned folderCount, char* out)
{
    if (HasDrive(text) && FullPathOf(text, out, PathSize) && PlainDrivePath(out)) {
        char* name = out;
        for (char* p = out; *p; p = NextChar(p))
            if (AtSeparator(p)) name = p;
        *name = 0;
        bool owned = false;
        for (unsigned i = 0; i < folderCount; ++i) owned = owned || (folders[i][0] && SameText(out, folders[i]));
        *name = '\\';
        for (const char* own : ProductFileNames)
            if (owned && SameText(name + 1, own)) return true;
    }
    out[0] = 0;
    return false;
}

bool ContainedFolder(const char* text, const char* folder, char* out)
{
    if (ContainedPath(text, folder, out)) return true;
    if (!HasDrive(text) || !FullPathOf(text, out, PathSize) || !folder[0]) {
        out[0] = 0;
        return false;
    }
    if (SameText(out, folder)) return true;
    // A folder above it: only ever removed when empty, and never a drive's root.
    const int length = FoldedPrefix(folder, out);
    if (PlainDrivePath(out) && length > 0 && AtSeparator(folder + length)) return true;
    out[0] = 0;
    return false;
}

bool SameText(const char* a, const char* b) { return SamePath(a, b); }

bool EnvironmentKeyOf(const char* text, char* key)
{
    if (!CopyText(key, PathSize, text)) return false;
    char* last = nullptr;
    for (char* p = key; *p; p = NextChar(p))
        if (AtSeparator(p)) last = p;
    if (!last) {
        key[0] = 0;
        return false;
    }
    *last = 0;
    return true;
}
