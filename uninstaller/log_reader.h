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
};

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

// The absolute folder that holds the log at logPath, without a trailing
// backslash ("C:" for a log in a drive's root), into out (PathSize bytes).
// False, with out empty, when it is no plain drive path: nothing is then
// inside it.
bool LogFolderOf(const char* logPath, char* out);

// The path to delete for an InstalledFile record's text, into out (PathSize
// bytes): its absolute form, when that lies inside folder (as LogFolderOf
// gives it) on whole components, without letter case, as a plain drive path
// (no UNC or device form, no colon after the drive, no name ending in a dot
// or blank) and through no reparse point below folder. False, with out
// empty, when the record is refused.
bool ContainedPath(const char* text, const char* folder, char* out);

// True when a registry record may act on key: at or under the product's own
// key, or under HKEY_LOCAL_MACHINE the product's uninstall entry.
bool OwnedKey(bool machineRoot, const char* key);

// Equal but for the letter case of A to Z.
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
