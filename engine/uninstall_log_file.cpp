#include <windows.h>

#include "handles.h"
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
