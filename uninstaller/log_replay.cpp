#include "log_replay.h"

#include <commctrl.h>

#include "bounded_text.h"
#include "resource.h"

HWND DialogWindow;

namespace {

char commandPath[PathSize];
char* logData;             // LocalAlloc'd, zero-filled; null when no log is held
const char* readPosition;  // start of the next record
const char* dataEnd;       // logData + file size
const char* currentText;   // text of the record read last, inside logData
HKEY openKey;              // held from a MachineKeyOpen to the next KeyValueDelete

// What Windows runs is "kvxpurge.exe <log path>": the program's name and one
// blank are skipped unseen, the rest is the path, blanks and all.
constexpr unsigned SkippedCharacters = 13;

void SetText(int id, const char* text) { SetDlgItemTextA(DialogWindow, id, text); }

// Results of the file and registry calls below are ignored on purpose: a file
// already gone or in use (our own program file) or a missing key is passed
// over and the replay goes on.

void ShowProductText() { SetText(IDC_HEADLINE, currentText); }

void ShowTargetCaption() { SetText(IDC_STAGE, currentText); }

void DeleteInstalledFile()
{
    SetText(IDC_STATUS, "Deleting the files ...");
    DeleteFileA(currentText);
}

// The registry records name their key or value by their own text. An empty
// text acts on nothing: it would name the root key itself, or the default
// value of the key held.

void CloseHeldKey()
{
    if (openKey) RegCloseKey(openKey);
    openKey = nullptr;
}

void HoldKey(HKEY root)
{
    SetText(IDC_STATUS, "Washes the registry ...");
    CloseHeldKey();
    HKEY key;
    if (*currentText && RegOpenKeyExA(root, currentText, 0, KEY_WRITE, &key) == ERROR_SUCCESS)
        openKey = key;
}

void MachineKeyOpenAction() { HoldKey(HKEY_LOCAL_MACHINE); }

// No record type leads here; kept beside its HKLM twin for a log that wants it.
[[maybe_unused]] void UserKeyOpen() { HoldKey(HKEY_CURRENT_USER); }

// Ends the hold in every case, so a second value record never reaches a key
// that an earlier one has closed.
void KeyValueDeleteAction()
{
    if (!openKey) return;
    if (*currentText) {
        RegDeleteValueA(openKey, currentText);
        RegFlushKey(openKey);
    }
    CloseHeldKey();
}

void DeleteKeyUnder(HKEY root)
{
    if (!*currentText) return;
    RegDeleteKeyA(root, currentText);
    RegFlushKey(root);
}

void UserKeyDeleteAction() { DeleteKeyUnder(HKEY_CURRENT_USER); }

void MachineKeyDeleteAction() { DeleteKeyUnder(HKEY_LOCAL_MACHINE); }

struct RecordHandler {
    unsigned char type;  // 0 ends the table
    void (*action)();    // null: the record has no effect
};

constexpr RecordHandler RecordHandlerTable[] = {
    // type             action
    {ProductText,       ShowProductText},
    {TargetCaption,     ShowTargetCaption},
    {InstalledFile,     DeleteInstalledFile},
    {MachineKeyOpen,    MachineKeyOpenAction},
    {KeyValueDelete,    KeyValueDeleteAction},
    {UserKeyDelete,     UserKeyDeleteAction},
    {MachineKeyDelete,  MachineKeyDeleteAction},
    {NoAction,          nullptr},
    {0,                 nullptr},
};

const char* CommandLineRemainder()
{
    const char* text = GetCommandLineA();
    for (unsigned i = 0; i < SkippedCharacters && *text; ++i) ++text;
    return text;
}

}  // namespace

bool LoadLog()
{
    const char* remainder = CommandLineRemainder();
    if (!CopyText(commandPath, PathSize, remainder)) {
        // Too long for a path: shown as tried, never cut and opened, since
        // a cut path could name another file.
        SetText(IDC_STATUS, remainder);
        return false;
    }
    SetText(IDC_STATUS, commandPath);

    HANDLE file = CreateFileA(commandPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD sizeHigh = 0;
    const DWORD size = GetFileSize(file, &sizeHigh);
    // A larger file is no log of ours (and would overflow the progress
    // range): it is refused, not replayed in part. INVALID_FILE_SIZE falls
    // under the same test.
    if (sizeHigh == 0 && size <= MaxLogSize) {
        SendDlgItemMessageA(DialogWindow, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, size));
        // One spare zero byte, so that an empty file still gets a buffer.
        logData = static_cast<char*>(LocalAlloc(LPTR, size + 1));
        DWORD delivered;
        // Bytes the read does not deliver stay zero and end the replay there.
        if (logData && !ReadFile(file, logData, size, &delivered, nullptr)) {
            LocalFree(logData);
            logData = nullptr;
        }
        if (logData) {
            readPosition = logData;
            dataEnd = logData + size;
        }
    }
    CloseHandle(file);
    return logData != nullptr;
}

int ReadNextRecord()
{
    if (readPosition >= dataEnd) return 0;
    const unsigned char type = static_cast<unsigned char>(*readPosition);
    currentText = readPosition + 1;
    const char* end = currentText;
    while (end < dataEnd && *end != 0) ++end;
    if (end == dataEnd) {
        // The last record lost its NUL: its text may be a cut path that
        // names another file, so it is never acted on.
        readPosition = dataEnd;
        return type == 0 ? 0 : UnterminatedRecord;
    }
    readPosition = end + 1;
    return type;
}

void DispatchRecord(int type)
{
    for (const RecordHandler* handler = RecordHandlerTable; handler->type != 0; ++handler)
        if (handler->type == type && handler->action) handler->action();
}

void ReplayLog()
{
    if (!logData) return;  // a click sent to the disabled button in Wrong start
    ShowWindow(GetDlgItem(DialogWindow, IDC_PROGRESS), SW_SHOW);
    for (;;) {
        SendDlgItemMessageA(DialogWindow, IDC_PROGRESS, PBM_SETPOS, readPosition - logData, 0);
        const int type = ReadNextRecord();
        if (type == 0) break;
        DispatchRecord(type);
    }
    // What follows a zero type byte stays unread, even by a second click.
    readPosition = dataEnd;
    SetText(IDC_STATUS, "Uninstall is ready !");
    SetText(IDC_STAGE, "Finished");
    ShowWindow(GetDlgItem(DialogWindow, IDC_UNINSTALL), SW_HIDE);
    SetText(IDC_CANCEL, "Finish");
}

void ReleaseLog()
{
    if (logData) LocalFree(logData);
    logData = nullptr;
    readPosition = dataEnd = nullptr;
    CloseHeldKey();
}
