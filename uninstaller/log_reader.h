#pragma once
// The uninstall log's records and the tests that keep the replay inside what
// this product installed. Plain byte work without <windows.h>: it also builds
// natively, where the fuzz targets run it.

enum LogRecordType : unsigned char {
    ProductText = 1,       // product description -> headline
    TargetCaption = 2,     // caption of an installed target -> stage line
    InstalledFile = 3,     // full path of a file -> deleted
    MachineKeyOpen = 4,    // key under HKLM -> opened and held
    KeyValueDelete = 5,    // value name in the held key -> deleted, key closed
    UserKeyDelete = 6,     // key under HKCU -> deleted
    MachineKeyDelete = 7,  // key under HKLM -> deleted
    NoAction = 8,
    UserKeyOpen = 9,       // key under HKCU -> opened and held
    SearchPathEntry = 10,  // value name, TAB, ";entry" -> that entry leaves the held key's value
    HelpLine = 11,         // help file, TAB, text -> that text leaves the file
    ProductFile = 12,      // product file outside the log's folder -> deleted
    CreatedFolder = 13,    // folder -> removed at the end when empty
};

constexpr char FieldSeparator = '\t';

// What ReadNextRecord yields for a last record that lost its NUL: no entry of
// the handler table holds it, so the record is passed over.
constexpr int UnterminatedRecord = 0x100;

// The largest log the installer writes; the progress range is 16 bits too.
constexpr unsigned MaxLogSize = 0xFFFF;
constexpr unsigned PathSize = 260;

extern char* logData;             // the whole log; null when none is held
extern const char* readPosition;  // start of the next record
extern const char* dataEnd;       // logData + file size
extern const char* currentText;   // text of the record read last, inside logData

// The type of the next record (0: no further record), with currentText set.
// Never reads at or past dataEnd; a record yielded with a type of 1 to 255
// has its NUL before dataEnd.
int ReadNextRecord();

// Platform seams, defined by the Win32 side (and by the fuzz targets).
// The absolute form of path, as the platform resolves it, into out; false
// when it fails or does not fit.
bool FullPathOf(const char* path, char* out, unsigned outSize);
// True when the folder at path is a junction or symbolic link.
bool IsReparsePoint(const char* path);
// True for a lead byte of the ANSI code page: it and the byte after it are
// one character, and that second byte may be a backslash.
bool IsLeadByte(unsigned char c);

// Paths are walked by character: the character after the one at at (not the
// terminator).
inline const char* NextChar(const char* at) { return at + (IsLeadByte(static_cast<unsigned char>(*at)) && at[1] ? 2 : 1); }
inline char* NextChar(char* at) { return at + (IsLeadByte(static_cast<unsigned char>(*at)) && at[1] ? 2 : 1); }
// True when at holds a backslash that is a character of its own.
inline bool AtSeparator(const char* at) { return *at == '\\' && NextChar(at) == at + 1; }

// The absolute folder that holds the log at logPath, without a trailing
// backslash ("C:" for a log in a drive's root), into out (PathSize bytes).
// False, with out empty, when it is no plain drive path or it, or a folder
// above it, is a reparse point: nothing is then inside it.
bool LogFolderOf(const char* logPath, char* out);

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

constexpr char ProductKeyPath[] = "Software\\Quillmere\\Ostrevane";
constexpr char VendorKeyPath[] = "Software\\Quillmere";
constexpr char HelpKeyPath[] = "Software\\Microsoft\\Windows\\Help";

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
// True for a key under HKEY_CURRENT_USER that writing into an environment's
// "Known Packages" or "Library" key can make: that key, the environment's
// key, and the keys above it up to "Software\Borland".
bool MadeEnvironmentKey(const char* key);
// True for the name of a search-path value.
bool OwnedSearchPathValue(const char* name);
// True when a KeyValueDelete may delete the value name of a key of kind.
bool OwnedValue(KeyKind kind, const char* name, const char* folder);

// Splits a two-part record at its TAB: the first part into first (PathSize
// bytes), the second returned. Null when there is no TAB or the first part
// does not fit.
const char* SplitRecord(const char* text, char* first);
// True for a search-path value name and an entry (";folder") whose folder
// lies inside folder.
bool OwnedSearchPathEntry(const char* valueName, const char* entry, const char* folder);
// Removes the last whole occurrence of entry (";folder", letter case aside)
// from the search path in value; the rest stays byte for byte. False when
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

// The nine environments' keys under HKLM and HKCU.
constexpr unsigned EnvironmentCount = 9;
extern const char* const EnvironmentKeys[EnvironmentCount];

// Equal but for the letter case of A to Z (never of a double-byte character's second byte).
bool SameText(const char* a, const char* b);

// The environment's key of an HKCU key's text: the text up to its last
// backslash, into key (PathSize bytes); false, with nothing named, for a text
// without one or too long for a path.
bool EnvironmentKeyOf(const char* text, char* key);

// The environment's name for its key, "Software\Borland\Delphi\7.0" ->
// "Delphi 7": the last two components, the second up to its dot, each cut to
// fit out (EnvironmentNameSize bytes).
constexpr unsigned EnvironmentNameSize = 24;
void EnvironmentNameOf(const char* key, char* out);

// "1 file could not be deleted !" or "N files could not be deleted !" into
// out (LeftTextSize bytes), for count > 0.
constexpr unsigned LeftTextSize = 48;
void FormatLeftFiles(unsigned count, char* out);
// "1 item could not be removed !" or "N items ...", for count > 0: what is
// left when it is not only files.
void FormatLeftItems(unsigned count, char* out);
