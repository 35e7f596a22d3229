#include "uninstall_log.h"

#include "memory.h"
#include "templates.h"

UninstallLog TheUninstallLog;

std::size_t EncodeRecord(std::uint8_t type, const char* text, std::uint8_t* dst, std::size_t room)
{
    if (type == 0) return 0;
    const std::size_t length = TextLength(text);
    if (room < 2 || length > room - 2) return 0;
    dst[0] = type;
    for (std::size_t i = 0; i < length; ++i) dst[1 + i] = static_cast<std::uint8_t>(text[i]);
    dst[1 + length] = 0;
    return length + 2;
}

bool OpenLog(const char* path)
{
    CloseLog();
    if (TextLength(path) >= LogPathSize) return false;
    TheUninstallLog.logPath = static_cast<char*>(AllocZeroed(LogPathSize));
    TheUninstallLog.recordBuffer = static_cast<std::uint8_t*>(AllocZeroed(RecordBufferSize));
    if (!TheUninstallLog.logPath || !TheUninstallLog.recordBuffer) {
        CloseLog();
        return false;
    }
    CopyText(TheUninstallLog.logPath, LogPathSize, path);
    TheUninstallLog.writePosition = TheUninstallLog.recordBuffer;
    return true;
}

bool AppendRecord(std::uint8_t type, const char* text)
{
    UninstallLog& log = TheUninstallLog;
    if (!log.recordBuffer) return false;
    const std::size_t room = RecordBufferSize - LogLength();
    const std::size_t written = EncodeRecord(type, text, log.writePosition, room);
    log.writePosition += written;
    return written != 0;
}

namespace {

// The end (the NUL) of the record at at, or size when it has none.
std::size_t RecordEnd(const std::uint8_t* data, std::size_t size, std::size_t at)
{
    std::size_t end = at + 1;
    while (end < size && data[end] != 0) ++end;
    return end;
}

bool IsRecord(const std::uint8_t* data, std::size_t at, std::size_t end, std::uint8_t type, const char* text)
{
    const std::size_t length = TextLength(text);
    bool same = data[at] == type && end - at - 1 == length;
    for (std::size_t i = 0; same && i < length; ++i) same = data[at + 1 + i] == static_cast<std::uint8_t>(text[i]);
    return same;
}

}  // namespace

bool RecordsHold(const std::uint8_t* data, std::size_t size, std::uint8_t type, const char* text)
{
    size = WholeRecordsLength(data, size);
    for (std::size_t at = 0; at < size;) {
        const std::size_t end = RecordEnd(data, size, at);
        if (IsRecord(data, at, end, type, text)) return true;
        at = end + 1;
    }
    return false;
}

bool RecordsHoldPair(const std::uint8_t* data, std::size_t size, std::uint8_t type, const char* text,
                     std::uint8_t secondType, const char* secondText)
{
    size = WholeRecordsLength(data, size);
    for (std::size_t at = 0; at < size;) {
        const std::size_t end = RecordEnd(data, size, at);
        if (IsRecord(data, at, end, type, text) && end + 1 < size &&
            IsRecord(data, end + 1, RecordEnd(data, size, end + 1), secondType, secondText))
            return true;
        at = end + 1;
    }
    return false;
}

std::size_t WholeRecordsLength(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = 0;
    while (at < size && data[at] != 0) {
        const std::size_t end = RecordEnd(data, size, at);
        if (end == size) break;
        at = end + 1;
    }
    return at;
}

bool HoldsDamage(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = WholeRecordsLength(data, size);
    if (at == size || data[at] != 0) return false;  // whole, or a last record cut short
    while (at < size && data[at] == 0) ++at;
    return at < size;
}

bool AppendRecords(const std::uint8_t* data, std::size_t size)
{
    size = WholeRecordsLength(data, size);
    bool all = true;
    for (std::size_t at = 0; at < size;) {
        const std::size_t end = RecordEnd(data, size, at);
        if (data[at] != ProductText) all = AppendRecord(data[at], reinterpret_cast<const char*>(data + at + 1)) && all;
        at = end + 1;
    }
    return all;
}

std::size_t LogLength()
{
    const UninstallLog& log = TheUninstallLog;
    return log.recordBuffer ? static_cast<std::size_t>(log.writePosition - log.recordBuffer) : 0;
}

void CloseLog()
{
    FreeZeroed(TheUninstallLog.recordBuffer);
    FreeZeroed(TheUninstallLog.logPath);
    TheUninstallLog = UninstallLog{};
}
