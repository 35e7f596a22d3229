#pragma once
// The tests that keep the replay inside what this product installed: which
// paths lie inside the log's folder, which keys and values are the
// product's. Plain byte work without <windows.h>, over the platform seam.
#include "platform_seam.h"
#include "product_facts.h"

// The absolute folder that holds the log at logPath, without a trailing
// backslash ("C:" for a log in a drive's root), into out (PathSize bytes).
// False, with out empty, when it is no plain drive path or it, or a folder
// above it, is a reparse point: nothing is then inside it.
bool LogFolderOf(const char* logPath, char* out);

// The absolute form of a folder's text (a drive path) into out (PathSize
// bytes), when it is a plain drive folder and neither it nor a folder above
// it is a reparse point. False, with out empty, otherwise.
bool PlacedFolder(const char* text, char* out);

// The path to delete for an InstalledFile record's text, into out (PathSize
// bytes): its absolute form, when that lies inside folder (as LogFolderOf
// gives it) on whole components, without letter case, as a plain drive path
// (no UNC or device form, no colon after the drive, no name ending in a dot
// or blank) and through no reparse point below folder. False, with out
// empty, when the record is refused.
bool ContainedPath(const char* text, const char* folder, char* out);

// True when a folder that path passes through, from the drive's first one to
// the one holding its last name, is a reparse point. path is left as it was.
bool PassesThroughLink(char* path);

// True when a registry record may act on key: at or under the product's own
// key, or under HKEY_LOCAL_MACHINE the product's uninstall entry.
bool OwnedKey(bool machineRoot, const char* key);

// What a held key may be, and so what may be removed from it.
enum KeyKind : unsigned char {
    UnownedKey,     // nothing
    ProductKey,     // any named value (OwnedKey)
    PackagesKey,    // an environment's "Known Packages": a package inside the log's folder
    LibraryKey,     // an environment's "Library": one search-path entry inside the log's folder
    HelpKey,        // HKLM "Software\Microsoft\Windows\Help": the product's help values
};
KeyKind HeldKeyKind(bool machineRoot, const char* key);
// True for the product's entry in Windows' list under HKEY_LOCAL_MACHINE.
bool UninstallEntryKey(const char* key);
// True for the product's Active Setup component under HKEY_LOCAL_MACHINE.
bool LogonComponentKey(const char* key);
// True for a key under HKEY_CURRENT_USER that writing into an environment's
// "Known Packages" or "Library" key can make: that key, the environment's
// key, and the keys above it up to "Software\Borland".
bool MadeEnvironmentKey(const char* key);
// True for the name of a search-path value.
bool OwnedSearchPathValue(const char* name);
// True when a KeyValueDelete may delete the value name of a key of kind.
bool OwnedValue(KeyKind kind, const char* name, const char* folder);

// True for a search-path value name and an entry (";folder") whose folder
// lies inside folder.
bool OwnedSearchPathEntry(const char* valueName, const char* entry, const char* folder);
// Removes the last whole occurrence of entry (";folder", letter case aside)
// from the search path in value, or else the folder standing first in value
// with the separator after it; the rest stays byte for byte. False when
// there is none.
bool RemoveSearchPathEntry(char* value, const char* entry);
// True when text is one of the lines the product adds to a help file.
bool ProductHelpLine(const char* text);
// The full path of a help configuration file (.cfg, .ohi, .ohl) right in the
// Help folder of the environment installed at rootDir, into out (PathSize
// bytes). False, with out empty, otherwise.
bool EnvironmentHelpFile(const char* path, const char* rootDir, char* out);
// The length of the content after removing the last occurrence of text from
// it (content holds length bytes); length itself when text is not in it.
unsigned RemoveLastText(char* content, unsigned length, const char* text);
// The full path of one of the product's own files (its packages and the
// uninstaller) right in one of folders, into out (PathSize bytes). False,
// with out empty, otherwise.
bool ProductFilePath(const char* text, const char* const* folders, unsigned folderCount, char* out);
// The full path of folder, a folder inside it, or a folder that holds it
// below a drive's root (made by the installation on the way to it), into
// out; else false.
bool ContainedFolder(const char* text, const char* folder, char* out);

// Equal but for the letter case of A to Z (never of a double-byte character's second byte).
bool SameText(const char* a, const char* b);

// The environment's key of an HKCU key's text: the text up to its last
// backslash, into key (PathSize bytes); false, with nothing named, for a text
// without one or too long for a path.
bool EnvironmentKeyOf(const char* text, char* key);
