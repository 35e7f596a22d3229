#include <windows.h>

#include "handles.h"
#include "memory.h"
#include "phase_times.h"
#include "templates.h"
#include "uninstall_log.h"

namespace {

// The log file while the installation runs, open for adding records.
UniqueFile LogFile;
// False once a record could not be written to the open file: the next save
// writes the whole log again.
bool LogFileWhole = false;
// The bytes the open file holds, each written and flushed, or held to be
// flushed by FlushHeldRecords.
std::size_t LogFileLength = 0;
// While records are held, each is written as it comes and all of them are
// flushed together by FlushHeldRecords, before the first step they undo runs.
bool FlushHeld = false;
// Where the held records begin in the log's buffer.
std::size_t HeldFrom = 0;
// A held record was written and not flushed yet.
bool HeldUnflushed = false;

// The new log is made under this name beside the old one and then takes its place.
constexpr char NewLogSuffix[] = ".new";

bool WriteWhole(HANDLE file, const void* bytes, DWORD length, bool flush = true)
{
    DWORD written = 0;
    return WriteFile(file, bytes, length, &written, nullptr) && written == length && (!flush || FlushFileBuffers(file));
}

// Writes the record appended last to the open file.
bool WriteLastRecord(std::size_t length)
{
    if (!LogFile) return false;
    const std::uint8_t* record = TheUninstallLog.writePosition - length;
    LogFileWhole = LogFileWhole && WriteWhole(LogFile.get(), record, static_cast<DWORD>(length), !FlushHeld);
    HeldUnflushed = HeldUnflushed || FlushHeld;
    if (LogFileWhole) LogFileLength += length;
    return LogFileWhole;
}

}  // namespace

bool CarryEarlierLog()
{
    PHASE_SCOPE(Phase::Log);
    const UninstallLog& log = TheUninstallLog;
    if (!log.logPath) return true;
    UniqueFile file(CreateFileA(log.logPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    // Replaced by fewer records, a removal could never take back what the
    // missing ones name: a log that is not carried whole stays untouched.
    const DWORD size = GetFileSize(file.get(), nullptr);
    if (size == INVALID_FILE_SIZE || size > RecordBufferSize) return false;
    LocalBuffer dataBuffer(LocalAlloc(LPTR, size + 1));
    if (!dataBuffer) return false;
    auto* data = static_cast<std::uint8_t*>(dataBuffer.get());
    DWORD got = 0;
    return ReadFile(file.get(), data, size, &got, nullptr) && got == size && !HoldsDamage(data, got) &&
           AppendRecords(data, got);
}

bool SaveLog()
{
    PHASE_SCOPE(Phase::Log);
    const UninstallLog& log = TheUninstallLog;
    LogFile.reset();
    LogFileWhole = false;
    char newPath[LogPathSize + sizeof NewLogSuffix];
    if (!log.recordBuffer || !CopyText(newPath, sizeof newPath, log.logPath) ||
        !AppendText(newPath, sizeof newPath, NewLogSuffix))
        return false;
    {
        UniqueFile file(CreateFileA(newPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        if (!WriteWhole(file.get(), log.recordBuffer, static_cast<DWORD>(LogLength()))) {
            file.reset();
            DeleteFileA(newPath);
            return false;
        }
    }
    if (!MoveFileExA(newPath, log.logPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(newPath);
        return false;
    }
    // Readers may look while it grows; nobody else writes or deletes it.
    LogFile.reset(CreateFileA(log.logPath, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    LogFileWhole = static_cast<bool>(LogFile);
    LogFileLength = LogLength();
    return LogFileWhole;
}

bool RecordAhead(std::uint8_t type, const char* text)
{
    PHASE_SCOPE(Phase::Log);
    const UninstallLog& log = TheUninstallLog;
    if (!log.recordBuffer) return false;
    if (RecordsHold(log.recordBuffer, LogLength(), type, text)) return true;
    const std::size_t before = LogLength();
    if (!AppendRecord(type, text)) return false;
    return WriteLastRecord(LogLength() - before) || !LogFile;
}

bool RecordPairAhead(std::uint8_t type, const char* text, std::uint8_t secondType, const char* secondText)
{
    PHASE_SCOPE(Phase::Log);
    const UninstallLog& log = TheUninstallLog;
    if (!log.recordBuffer) return false;
    if (RecordsHoldPair(log.recordBuffer, LogLength(), type, text, secondType, secondText)) return true;
    const std::size_t before = LogLength();
    if (!AppendRecord(type, text)) return false;
    if (!AppendRecord(secondType, secondText)) {
        // Never the key without its value: the pair goes whole or not at all.
        TheUninstallLog.writePosition = TheUninstallLog.recordBuffer + before;
        *TheUninstallLog.writePosition = 0;
        return false;
    }
    return WriteLastRecord(LogLength() - before) || !LogFile;
}

void HoldRecords()
{
    if (FlushHeld) return;  // held already: flushed together
    FlushHeld = true;
    HeldFrom = LogLength();
}

bool FlushHeldRecords()
{
    PHASE_SCOPE(Phase::Log);
    if (!FlushHeld) return true;
    FlushHeld = false;
    const bool flushed = !HeldUnflushed || (LogFileWhole && FlushFileBuffers(LogFile.get()));
    HeldUnflushed = false;
    if (!LogFile || (LogFileWhole && flushed)) return true;
    // None of them is surely on disk: they are taken back, and each step
    // asks for its record again, as after any write that failed.
    LogFileWhole = false;
    TheUninstallLog.writePosition = TheUninstallLog.recordBuffer + HeldFrom;
    *TheUninstallLog.writePosition = 0;
    return false;
}

bool WriteLog()
{
    PHASE_SCOPE(Phase::Log);
    FlushHeldRecords();
    // A file that took every record as it came holds the log already, flushed:
    // written again it would be the same bytes.
    const bool whole = TheUninstallLog.recordBuffer &&
                       ((LogFile && LogFileWhole && LogFileLength == LogLength()) || SaveLog());
    LogFile.reset();
    CloseLog();
    return whole;
}
