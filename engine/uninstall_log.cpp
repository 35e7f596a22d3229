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

bool RecordsHold(const std::uint8_t* data, std::size_t size, std::uint8_t type, const char* text)
{
    LogRecordReader reader(data, size);
    for (LogRecordView record; reader.Next(record) && record.whole;)
        if (record.Is(type, text)) return true;
    return false;
}

bool RecordsHoldPair(const std::uint8_t* data, std::size_t size, std::uint8_t type, const char* text,
                     std::uint8_t secondType, const char* secondText)
{
    LogRecordReader reader(data, size);
    bool firstBefore = false;
    for (LogRecordView record; reader.Next(record) && record.whole;) {
        if (firstBefore && record.Is(secondType, secondText)) return true;
        firstBefore = record.Is(type, text);
    }
    return false;
}

std::size_t WholeRecordsLength(const std::uint8_t* data, std::size_t size)
{
    LogRecordReader reader(data, size);
    std::size_t whole = 0;
    for (LogRecordView record; reader.Next(record) && record.whole;) whole = reader.Offset();
    return whole;
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
    LogRecordReader reader(data, size);
    bool all = true;
    for (LogRecordView record; reader.Next(record) && record.whole;)
        if (record.type != ProductText) all = AppendRecord(record.type, record.text) && all;
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
