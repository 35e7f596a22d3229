#pragma once
// The uninstall log's records: each a type byte (1 to 255), a text and a
// NUL, back to back, nothing else. Plain byte work without <windows.h>: it
// also builds natively, where the fuzz targets run it.
#include "platform_seam.h"

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

extern char* logData;             // the whole log; null when none is held
extern const char* readPosition;  // start of the next record
extern const char* dataEnd;       // logData + file size
extern const char* currentText;   // text of the record read last, inside logData

// The type of the next record (0: no further record), with currentText set.
// Never reads at or past dataEnd; a record yielded with a type of 1 to 255
// has its NUL before dataEnd.
int ReadNextRecord();

// Splits a two-part record at its TAB: the first part into first (PathSize
// bytes), the second returned. Null when there is no TAB or the first part
// does not fit.
const char* SplitRecord(const char* text, char* first);
