#pragma once
// The replay's place in the uninstall log, read record by record. Plain byte
// work without <windows.h>: it also builds natively, where the fuzz targets
// run it.
#include "log_format.h"
#include "platform_seam.h"

// What ReadNextRecord yields for a last record that lost its NUL: no entry of
// the handler table holds it, so the record is passed over.
constexpr int UnterminatedRecord = 0x100;

extern char* logData;             // the whole log; null when none is held
extern const char* readPosition;  // start of the next record, never past dataEnd
extern const char* dataEnd;       // logData + file size
extern const char* currentText;   // text of the record read last, inside logData

// The type of the next record, with currentText set; 0 at the end or at a
// zero type byte, where the records stop.
// Never reads at or past dataEnd; a record yielded with a type of 1 to 255
// has its NUL before dataEnd.
int ReadNextRecord();

// Splits a two-part record at its TAB: the first part into first (PathSize
// bytes), the second returned. Null when there is no TAB or the first part
// does not fit.
const char* SplitRecord(const char* text, char* first);
