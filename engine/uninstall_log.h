#pragma once
// The uninstall log "uninst.kvx": typed, NUL-terminated records one after the
// other, no header. The encoding and the collecting writer are plain byte
// work; the file side (uninstall_log_file.cpp) keeps the file on disk ahead
// of the installation's changes: a record is written and flushed before the
// step it undoes runs, so a log cut anywhere holds whole records for every
// change made, and at most one torn record at its end.
#include <cstddef>
#include <cstdint>

#include "log_format.h"

constexpr std::size_t LogPathSize = 260;        // 259 characters and the NUL
constexpr std::size_t RecordBufferSize = MaxLogSize;

// Encodes one record (type, text, NUL) at dst. Returns its length, text
// length + 2, or 0 when it does not fit into room bytes or type is 0.
std::size_t EncodeRecord(std::uint8_t type, const char* text, std::uint8_t* dst, std::size_t room);

struct UninstallLog {
    char* logPath = nullptr;                // LogPathSize bytes
    std::uint8_t* recordBuffer = nullptr;   // RecordBufferSize bytes
    std::uint8_t* writePosition = nullptr;
};

extern UninstallLog TheUninstallLog;

// Keeps a copy of the path and allocates the record buffer. A path of 260
// characters or more, or a failed allocation, leaves the log closed: nothing
// is appended and WriteLog writes no file (never a file at a cut path).
bool OpenLog(const char* path);
// Appends one record. A record that would not fit the buffer, or any record
// while the log is closed, is refused whole, so the log stays a sequence of
// whole records.
bool AppendRecord(std::uint8_t type, const char* text);
// True when the log data holds a whole record of this type and text.
bool RecordsHold(const std::uint8_t* data, std::size_t size, std::uint8_t type, const char* text);
// True when the log data holds this record directly followed by the second.
bool RecordsHoldPair(const std::uint8_t* data, std::size_t size, std::uint8_t type, const char* text,
                     std::uint8_t secondType, const char* secondText);
// The length of the whole records at the start of data: what a cut (or a
// flush that lost its last bytes) leaves readable. It stops at a zero type
// byte and before a last record without its NUL.
std::size_t WholeRecordsLength(const std::uint8_t* data, std::size_t size);
// True when something other than zero bytes follows a zero type byte: damage
// that no cut or lost write leaves, which the removal stops at and counts.
bool HoldsDamage(const std::uint8_t* data, std::size_t size);
// Appends the whole records of data but its ProductText records; false when
// not all of them fit.
bool AppendRecords(const std::uint8_t* data, std::size_t size);
// Bytes collected so far.
std::size_t LogLength();
// The earlier installation's log at the kept path, its whole records but its
// product record appended: nothing it lists is lost by a new installation.
// False when there is one that cannot be carried whole (unreadable, damaged,
// or too large for what is collected already): it must then stay as it is.
bool CarryEarlierLog();
// Writes the records so far to a new file beside the kept path, flushed, and
// puts it in the old one's place: the old log is replaced only by a whole new
// one. Then keeps the file open, so that RecordAhead adds to it. True when
// the file holds every record.
bool SaveLog();
// Appends the record, unless the log holds it already, and when the log file
// is open writes and flushes it there before returning. False when the
// record could not be appended or the file not written: the caller's step
// then changes nothing a removal could miss, as far as it can tell.
bool RecordAhead(std::uint8_t type, const char* text);
// The same for two records that act together (a key, then its value).
bool RecordPairAhead(std::uint8_t type, const char* text, std::uint8_t secondType, const char* secondText);
// From here on RecordAhead and RecordPairAhead write each record without
// flushing it, until FlushHeldRecords flushes them all at once: the records of
// several steps reach the disk together, before the first of those steps runs.
void HoldRecords();
// Flushes the records written since HoldRecords. False when they could not
// all be written and flushed: they are then taken out of the log again, and
// the steps they stand for record themselves, which fails as any write after
// a failed one does. True, as RecordAhead, when no log file is open.
bool FlushHeldRecords();
// Saves the log once more as a whole file, unless the open file took every
// record already, and releases both buffers, whether or not it was written.
// True when the file holds every record; false also for a log that was never
// open.
bool WriteLog();
// Releases the buffers without writing; the log is closed afterwards.
void CloseLog();
