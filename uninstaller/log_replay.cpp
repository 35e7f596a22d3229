#include "log_replay.h"

#include <commctrl.h>

#include "bounded_text.h"
#include "resource.h"

HWND DialogWindow;

namespace {

char commandPath[PathSize];
char logFolder[PathSize];  // what the log may delete in; empty: nothing
char checkedPath[PathSize];
unsigned filesLeft;        // listed files that are still there after their record
HKEY openKey;              // held from a MachineKeyOpen to the next KeyValueDelete

// What Windows runs is "kvxpurge.exe <log path>": the program's name and one
// blank are skipped unseen, the rest is the path, blanks and all.
constexpr unsigned SkippedCharacters = 13;
// What the quiet form leaves before its log path.
constexpr char QuietMark[] = "\" /S ";

void SetText(int id, const char* text) { SetDlgItemTextA(DialogWindow, id, text); }

// Results of the registry calls below are ignored on purpose: a missing key
// is passed over and the replay goes on.

void ShowProductText() { SetText(IDC_HEADLINE, currentText); }

void ShowTargetCaption() { SetText(IDC_STAGE, currentText); }

// The running program's own file cannot go; it is listed all the same.
bool IsOwnProgramFile(const char* path)
{
    char own[PathSize];
    const DWORD length = GetModuleFileNameA(nullptr, own, PathSize);
    return length != 0 && length < PathSize && SameText(own, path);
}

// A record outside the log's folder is passed over like a file already gone.
void DeleteInstalledFile()
{
    SetText(IDC_STATUS, "Deleting the files ...");
    if (!ContainedPath(currentText, logFolder, checkedPath)) return;
    // A file that was already gone is no file left.
    if (!DeleteFileA(checkedPath) && GetFileAttributesA(checkedPath) != INVALID_FILE_ATTRIBUTES &&
        !IsOwnProgramFile(checkedPath))
        ++filesLeft;
}

// The registry records name their key or value by their own text, and act
// only on the product's own keys. An empty value name acts on nothing: it
// would name the default value of the key held.

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
    if (OwnedKey(root == HKEY_LOCAL_MACHINE, currentText) &&
        RegOpenKeyExA(root, currentText, 0, KEY_WRITE, &key) == ERROR_SUCCESS)
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
    if (!OwnedKey(root == HKEY_LOCAL_MACHINE, currentText)) return;
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

// The text after the quiet mark, or null when the remainder does not begin with it.
const char* AfterQuietMark(const char* text)
{
    for (const char* mark = QuietMark; *mark; ++mark, ++text)
        if (*text != *mark) return nullptr;
    return text;
}

}  // namespace

bool FullPathOf(const char* path, char* out, unsigned outSize)
{
    char* name;
    const DWORD length = GetFullPathNameA(path, outSize, out, &name);
    return length != 0 && length < outSize;
}

bool IsReparsePoint(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool QuietStart() { return AfterQuietMark(CommandLineRemainder()) != nullptr; }

bool LoadLog()
{
    const char* remainder = CommandLineRemainder();
    if (const char* quietPath = AfterQuietMark(remainder)) remainder = quietPath;
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
            LogFolderOf(commandPath, logFolder);
        }
    }
    CloseHandle(file);
    return logData != nullptr;
}

void DispatchRecord(int type)
{
    for (const RecordHandler* handler = RecordHandlerTable; handler->type != 0; ++handler)
        if (handler->type == type && handler->action) handler->action();
}

unsigned ReplayLog()
{
    if (!logData) return 0;  // a click sent to the disabled button in Wrong start
    ShowWindow(GetDlgItem(DialogWindow, IDC_PROGRESS), SW_SHOW);
    for (;;) {
        SendDlgItemMessageA(DialogWindow, IDC_PROGRESS, PBM_SETPOS, readPosition - logData, 0);
        const int type = ReadNextRecord();
        if (type == 0) break;
        DispatchRecord(type);
    }
    // What follows a zero type byte stays unread, even by a second click.
    readPosition = dataEnd;
    char left[LeftTextSize];
    if (filesLeft) FormatLeftFiles(filesLeft, left);
    SetText(IDC_STATUS, filesLeft ? left : "Uninstall is ready !");
    SetText(IDC_STAGE, "Finished");
    ShowWindow(GetDlgItem(DialogWindow, IDC_UNINSTALL), SW_HIDE);
    SetText(IDC_CANCEL, "Finish");
    return filesLeft;
}

void ReleaseLog()
{
    if (logData) LocalFree(logData);
    logData = nullptr;
    readPosition = dataEnd = nullptr;
    CloseHeldKey();
}
