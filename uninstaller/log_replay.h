#pragma once
// Loading and replaying the uninstall log "uninst.kvx": typed records, each a
// type byte (1 to 255), a text and a NUL, back to back, nothing else.
#include <windows.h>

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

extern HWND DialogWindow;

// Takes the path behind the first 13 characters of the command line, shows
// it in the status line and reads the whole file, ready to read its first
// record. False when nothing is held.
bool LoadLog();
// The type of the next record (0: no further record), with currentText set.
int ReadNextRecord();
void DispatchRecord(int type);
// Carries out every record after the first, then shows the finish texts.
void ReplayLog();
// Releases the log and any registry key still held.
void ReleaseLog();
