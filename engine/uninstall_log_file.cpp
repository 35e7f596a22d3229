#include <windows.h>

#include "handles.h"
#include "uninstall_log.h"

void WriteLog()
{
    const UninstallLog& log = TheUninstallLog;
    if (log.recordBuffer) {
        UniqueFile file(CreateFileA(log.logPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            DWORD written = 0;  // a short write is not detected; the records are written once
            WriteFile(file.get(), log.recordBuffer, static_cast<DWORD>(LogLength()), &written, nullptr);
        }
    }
    CloseLog();
}
