#include <windows.h>

#include "handles.h"
#include "memory.h"
#include "uninstall_log.h"

bool WriteLog()
{
    const UninstallLog& log = TheUninstallLog;
    bool whole = false;
    if (log.recordBuffer) {
        UniqueFile file(CreateFileA(log.logPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            // One write; a short one is reported, never completed piece by piece.
            const DWORD length = static_cast<DWORD>(LogLength());
            DWORD written = 0;
            whole = WriteFile(file.get(), log.recordBuffer, length, &written, nullptr) && written == length;
        }
    }
    CloseLog();
    return whole;
}

bool EarlierLogHolds(std::uint8_t type, const char* text)
{
    const UninstallLog& log = TheUninstallLog;
    if (!log.logPath) return false;
    UniqueFile file(CreateFileA(log.logPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const DWORD size = GetFileSize(file.get(), nullptr);
    if (size == INVALID_FILE_SIZE || size > RecordBufferSize) return false;
    auto* data = static_cast<std::uint8_t*>(AllocZeroed(size + 1));
    DWORD got = 0;
    const bool holds = data && ReadFile(file.get(), data, size, &got, nullptr) && RecordsHold(data, got, type, text);
    FreeZeroed(data);
    return holds;
}
