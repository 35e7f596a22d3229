#pragma once
// The uninstall log "uninst.kvx": typed, NUL-terminated records one after the
// other, no header. The encoding and the collecting writer are plain byte
// work; only WriteLog touches the file system (uninstall_log_file.cpp).
#include <cstddef>
#include <cstdint>

enum LogRecordType : std::uint8_t {
    ProductText = 1,       // the product description
    TargetCaption = 2,     // an InstallTarget caption, leading blank kept
    InstalledFile = 3,     // full path of a file written from the payload
    MachineKeyOpen = 4,
    KeyValueDelete = 5,
    UserKeyDelete = 6,
    MachineKeyDelete = 7,
    NoAction = 8,
};

constexpr std::size_t LogPathSize = 260;        // 259 characters and the NUL
constexpr std::size_t RecordBufferSize = 65535; // the largest log there is

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
// Bytes collected so far.
std::size_t LogLength();
// Creates (replaces) the file at the kept path, writes the records in one
// write and releases both buffers, whether or not the file was created. True
// when the file holds every record; false also for a log that was never open.
bool WriteLog();
// Releases the buffers without writing; the log is closed afterwards.
void CloseLog();
