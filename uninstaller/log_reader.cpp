#include "log_reader.h"

#include "bounded_text.h"

char* logData;
const char* readPosition;
const char* dataEnd;
const char* currentText;

int ReadNextRecord()
{
    if (readPosition >= dataEnd) return 0;
    const unsigned char type = static_cast<unsigned char>(*readPosition);
    currentText = readPosition + 1;
    const char* end = currentText;
    while (end < dataEnd && *end != 0) ++end;
    if (end == dataEnd) {
        // The last record lost its NUL: its text may be a cut path that
        // names another file, so it is never acted on.
        readPosition = dataEnd;
        return type == 0 ? 0 : UnterminatedRecord;
    }
    readPosition = end + 1;
    return type;
}

namespace {

unsigned char Folded(char c)
{
    const unsigned char b = static_cast<unsigned char>(c);
    return b >= 'A' && b <= 'Z' ? static_cast<unsigned char>(b | 0x20) : b;
}

bool HasDrive(const char* path)
{
    const unsigned char letter = Folded(path[0]);
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
    for (const char* p = name;; ++p) {
        const char c = *p;
        if (c == '\\' || c == 0) {
            if (p == name || p[-1] == '.' || p[-1] == ' ') return false;
            if (c == 0) return true;
            name = p + 1;
        } else if (ForbiddenInName(static_cast<unsigned char>(c))) {
            return false;
        }
    }
}

bool PlainFolder(const char* folder)
{
    return (HasDrive(folder) && folder[2] == 0) || PlainDrivePath(folder);
}

// Length of prefix when text begins with it, without letter case; else -1.
int FoldedPrefix(const char* text, const char* prefix)
{
    int i = 0;
    for (; prefix[i]; ++i)
        if (Folded(text[i]) != Folded(prefix[i])) return -1;
    return i;
}

}  // namespace

bool LogFolderOf(const char* logPath, char* out)
{
    if (!FullPathOf(logPath, out, PathSize)) {
        out[0] = 0;
        return false;
    }
    char* lastSeparator = nullptr;
    for (char* p = out; *p; ++p)
        if (*p == '\\') lastSeparator = p;
    if (lastSeparator) *lastSeparator = 0;
    if (!lastSeparator || !PlainFolder(out)) {
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
    for (char* p = out + length + 1; *p; ++p) {
        if (*p != '\\') continue;
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

bool OwnedKey(bool machineRoot, const char* key)
{
    constexpr const char* ProductKey = "Software\\Quillmere\\Ostrevane";
    constexpr const char* UninstallEntry = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ostrevane";
    const char* const owned[] = {ProductKey, machineRoot ? UninstallEntry : ProductKey};
    for (const char* prefix : owned) {
        const int length = FoldedPrefix(key, prefix);
        if (length >= 0 && (key[length] == 0 || key[length] == '\\')) return true;
    }
    return false;
}

bool SameText(const char* a, const char* b)
{
    const int length = FoldedPrefix(a, b);
    return length >= 0 && a[length] == 0;
}

bool EnvironmentKeyOf(const char* text, char* key)
{
    if (!CopyText(key, PathSize, text)) return false;
    char* last = nullptr;
    for (char* p = key; *p; ++p)
        if (*p == '\\') last = p;
    if (!last) {
        key[0] = 0;
        return false;
    }
    *last = 0;
    return true;
}

void EnvironmentNameOf(const char* key, char* out)
{
    const char* product = key;
    const char* version = key;
    for (const char* p = key; *p; ++p)
        if (*p == '\\') {
            product = version;
            version = p + 1;
        }
    unsigned at = 0;
    for (const char* p = product; *p && *p != '\\' && at < EnvironmentNameSize - 4; ++p) out[at++] = *p;
    out[at++] = ' ';
    for (const char* p = version; *p && *p != '.' && at < EnvironmentNameSize - 1; ++p) out[at++] = *p;
    out[at] = 0;
}

void FormatLeftFiles(unsigned count, char* out)
{
    char digits[11];
    unsigned length = 0;
    do {
        digits[length++] = static_cast<char>('0' + count % 10);
        count /= 10;
    } while (count != 0);
    const bool one = length == 1 && digits[0] == '1';
    char* p = out;
    while (length) *p++ = digits[--length];
    *p = 0;
    AppendText(out, LeftTextSize, one ? " file could not be deleted !" : " files could not be deleted !");
}
