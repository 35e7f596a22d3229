#include "log_replay.h"

#include <commctrl.h>

#include <utility>

#include "account.h"
#include "bounded_text.h"
#include "command_line.h"
#include "component_version.h"
#include "handles.h"
#include "link_check.h"
#include "log_records.h"
#include "ownership_rules.h"
#include "resource.h"
#include "process_identity.h"
#include "user_keys.h"
#include "user_texts.h"

HWND DialogWindow;

namespace {

char commandPath[PathSize];  // the log as the command line names it
char logPath[PathSize];      // the log's one full path, as its file system names it
char logFolder[PathSize];    // what the log may delete in, as its records name it
char checkedPath[PathSize];
char recordField[PathSize];  // the first part of a two-part record
unsigned filesLeft;        // listed files that are still there after their record
unsigned othersLeft;       // values, entries, lines and folders still there
HKEY openKey;              // held from a key-open record to the next value record
KeyKind openKind;          // what may be removed from openKey
char searchPath[4096];     // a search-path value being edited
bool replayed;

// Shown in the dialog; the quiet form has none, and never loads USER32 for it.
void SetText(int id, const char* text)
{
    if (DialogWindow) SetDlgItemTextA(DialogWindow, id, text);
}

void SetProgress(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (DialogWindow) SendDlgItemMessageA(DialogWindow, IDC_PROGRESS, message, wParam, lParam);
}

void ShowItem(int id, int show)
{
    if (DialogWindow) ShowWindow(GetDlgItem(DialogWindow, id), show);
}

// A registry call that fails does not stop the replay: a key or value that
// is already gone is passed over, and one that stays is counted as left
// (CountLeft) for the finish texts and the quiet exit code.

void ShowProductText(const char* text) { SetText(IDC_HEADLINE, text); }

void ShowTargetCaption(const char* text) { SetText(IDC_STAGE, text); }

// The running program's own file cannot go; it is listed all the same.
bool IsOwnProgramFile(const char* path)
{
    char own[PathSize];
    const DWORD length = GetModuleFileNameA(nullptr, own, PathSize);
    return length != 0 && length < PathSize && SameText(own, path);
}

bool StillThere(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// "X:\..." or "X:/...": a path that asks no server.
bool DrivePath(const char* text)
{
    const char letter = static_cast<char>(*text | 0x20);
    return letter >= 'a' && letter <= 'z' && text[1] == ':' && (text[2] == '\\' || text[2] == '/');
}

// A file already gone is no file left; the running program's own file is
// deleted at the next restart.
void DeleteProductFile(const char* path)
{
    if (DeleteFileA(path) || !StillThere(path)) return;
    if (IsOwnProgramFile(path) && MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return;
    ++filesLeft;
}

bool NamedAs(const char* path, const char* own)
{
    const char* name = path;
    for (const char* at = path; *at; at = NextChar(at))
        if (AtSeparator(at)) name = at + 1;
    return SameText(name, own);
}

// The uninstaller, its entry in Windows' list and the log are what a second
// run needs: they go after everything else, and only when nothing is left.
// So does the registrar, which the logon component may still need.
bool KeptForTheEnd(const char* path) { return NamedAs(path, UninstallerName) || NamedAs(path, RegistrarName); }

// The packages in the system folder (either view) and the uninstaller in
// its folder, under the product's own names only, into checkedPath.
bool OwnProductFile(const char* text)
{
    char folders[3][PathSize] = {};
    GetSystemDirectoryA(folders[0], PathSize);
    GetSystemWindowsDirectoryA(folders[1], PathSize);
    using Wow64Folder = UINT(WINAPI*)(LPSTR, UINT);
    const auto wow64Folder = reinterpret_cast<Wow64Folder>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemWow64DirectoryA")));
    if (wow64Folder) wow64Folder(folders[2], PathSize);
    const char* const list[] = {folders[0], folders[1], folders[2]};
    return ProductFilePath(text, list, 3, checkedPath);
}

bool finishing;  // the records kept for the end are carried out now

// A record the fence refuses is never taken for a file already gone: what
// it names on a drive and is still there counts as left, so the log stays
// to be looked at. Other forms (a server's share, a device) are not even
// asked after. The product's own files in the system folders are the
// business of their own records (earlier kits logged them as these).
void CountRefused(const char* text)
{
    if (DrivePath(text) && StillThere(text) && !OwnProductFile(text)) ++filesLeft;
}

void DeleteInstalledFile(const char* text)
{
    SetText(IDC_STATUS, "Deleting the files ...");
    // Again at the last moment: a folder may have become a link since.
    if (!ContainedPath(text, logFolder, checkedPath) || PassesThroughLink(checkedPath)) {
        CountRefused(text);
        return;
    }
    // A file that was already gone is no file left.
    if (!DeleteFileA(checkedPath) && GetFileAttributesA(checkedPath) != INVALID_FILE_ATTRIBUTES &&
        !IsOwnProgramFile(checkedPath))
        ++filesLeft;
}

char registrarPath[PathSize];  // the registrar as the log names it, checked; empty: none
bool componentStays;           // the logon component stays, and with it the registrar
char removedHome[user_keys::PathSize];  // the home the component names; empty: none

void DeleteProductFileAction(const char* text)
{
    SetText(IDC_STATUS, "Deleting the files ...");
    if (OwnProductFile(text) && KeptForTheEnd(checkedPath) == finishing &&
        !(componentStays && NamedAs(checkedPath, RegistrarName)))
        DeleteProductFile(checkedPath);
}

// The registry records name their key or value by their own text, and act
// only on what the product could have added. An empty value name acts on
// nothing: it would name the default value of the key held.

void CloseHeldKey()
{
    if (openKey) RegCloseKey(openKey);
    openKey = nullptr;
    openKind = UnownedKey;
}

void HoldKey(HKEY root, REGSAM access, const char* keyPath)
{
    SetText(IDC_STATUS, "Washes the registry ...");
    CloseHeldKey();
    HKEY key;
    const KeyKind kind = HeldKeyKind(root == HKEY_LOCAL_MACHINE, keyPath);
    if (kind != UnownedKey && RegOpenKeyExA(root, keyPath, 0, access, &key) == ERROR_SUCCESS) {
        openKey = key;
        openKind = kind;
    }
}

void MachineKeyOpenAction(const char* text) { HoldKey(HKEY_LOCAL_MACHINE, KEY_WRITE, text); }

void UserKeyOpenAction(const char* text) { HoldKey(HKEY_CURRENT_USER, KEY_WRITE | KEY_QUERY_VALUE, text); }

void CountLeft(LONG status)
{
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) ++othersLeft;
}

// A key the installation may have made goes when nothing is left in it.
// True when it went.
bool RemoveKeyIfEmpty(HKEY root, const char* keyPath)
{
    DWORD subKeys = 1, values = 1;
    {
        UniqueKey key;
        if (RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
        RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                         nullptr, nullptr, nullptr);
    }
    return subKeys == 0 && values == 0 && RegDeleteKeyA(root, keyPath) == ERROR_SUCCESS;
}

// A search path the installation made goes when nothing is left in it.
bool EmptySearchPath(HKEY key, const char* name)
{
    DWORD size = sizeof searchPath;
    return RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(searchPath), &size) ==
               ERROR_SUCCESS &&
           (size == 0 || (size == 1 && searchPath[0] == 0));
}

// Ends the hold in every case, so a second value record never reaches a key
// that an earlier one has closed.
void KeyValueDeleteAction(const char* text)
{
    if (openKey && openKind == LibraryKey && OwnedSearchPathValue(text)) {
        if (EmptySearchPath(openKey, text)) CountLeft(RegDeleteValueA(openKey, text));
        RegFlushKey(openKey);
    } else if (openKey && OwnedValue(openKind, text, logFolder)) {
        CountLeft(RegDeleteValueA(openKey, text));
        RegFlushKey(openKey);
    }
    CloseHeldKey();
}

// The rest of the search path stays as it is, byte for byte and type.
void SearchPathEntryAction(const char* text)
{
    const char* entry = SplitRecord(text, recordField);
    if (openKey && openKind == LibraryKey && entry && OwnedSearchPathEntry(recordField, entry, logFolder)) {
        DWORD type, size = sizeof searchPath - 1;
        LONG status = RegQueryValueExA(openKey, recordField, nullptr, &type, reinterpret_cast<BYTE*>(searchPath), &size);
        if (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
            searchPath[size] = 0;
            if (RemoveSearchPathEntry(searchPath, entry))
                CountLeft(RegSetValueExA(openKey, recordField, 0, type, reinterpret_cast<BYTE*>(searchPath),
                                         lstrlenA(searchPath) + 1));
        } else {
            CountLeft(status);
        }
        RegFlushKey(openKey);
    }
    CloseHeldKey();
}

constexpr DWORD VersionTextSize = 64;

// The component stays while its registrar is there: each user's next logon
// runs it again, the product's key gone, and it takes the product's entries
// out of that user's environments. Its Version raised is what makes Windows
// run it once more. Without the registrar nothing could run: the key goes.
void LogonComponentAction(const char* text)
{
    SetText(IDC_STATUS, "Washes the registry ...");
    if (!LogonComponentKey(text)) return;
    const char* const at = readPosition;
    for (readPosition = logData; const int type = ReadNextRecord();)
        if (type == ProductFile && OwnProductFile(currentText) && NamedAs(checkedPath, RegistrarName))
            CopyText(registrarPath, PathSize, checkedPath);
    readPosition = at;
    componentStays = false;
    user_keys::RemovedHome(removedHome);
    {
        UniqueKey key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, text, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.put()) != ERROR_SUCCESS)
            return;
        if (registrarPath[0] && StillThere(registrarPath)) {
            char version[VersionTextSize];
            DWORD size = VersionTextSize - 1;
            if (RegQueryValueExA(key.get(), ComponentVersionValue, nullptr, nullptr, reinterpret_cast<BYTE*>(version),
                                 &size) != ERROR_SUCCESS)
                size = 0;
            version[size] = 0;
            SYSTEMTIME now;
            GetSystemTime(&now);
            RaiseVersionText(version, MomentOf(now));
            CountLeft(RegSetValueExA(key.get(), ComponentVersionValue, 0, REG_SZ, reinterpret_cast<BYTE*>(version),
                                     lstrlenA(version) + 1));
            RegFlushKey(key.get());
            componentStays = true;
            return;
        }
    }
    CountLeft(RegDeleteKeyA(HKEY_LOCAL_MACHINE, text));
}

// The removing user's own environments, as their next logon would do them:
// what the log could not name (their Disabled Packages) goes too. Never for
// the local system account, whose profile is nobody's environments.
void RemoveOwnEntries()
{
    // While the product's key still names a home, the product is still there:
    // the registrar would register, not remove.
    char home[user_keys::PathSize];
    if (!removedHome[0] || user_keys::ProductHome(home) || RunsAsLocalSystem()) return;
    user_keys::RemoveProductEntries(removedHome);
}

char helpRoot[PathSize];  // the RootDir of the environment whose help file is checkedPath

// The help file of an environment installed on this machine, as its own key
// names it.
bool FindHelpFile(const char* path)
{
    for (const char* environment : EnvironmentKeys) {
        char root[PathSize];
        DWORD size = PathSize - 1;
        bool read;
        {
            UniqueKey key;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, environment, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
                continue;
            read = RegQueryValueExA(key.get(), EnvironmentRootValue, nullptr, nullptr, reinterpret_cast<BYTE*>(root), &size) ==
                   ERROR_SUCCESS;
        }
        root[read ? size : 0] = 0;
        if (read && EnvironmentHelpFile(path, root, checkedPath)) return CopyText(helpRoot, PathSize, root);
    }
    return false;
}

// True when the environment's Help folder holding checkedPath, or the file
// itself, is a link: the environment's folder itself is followed, as the
// installer follows it.
bool HelpFileThroughLink()
{
    char* last = nullptr;
    for (char* p = checkedPath; *p; p = NextChar(p))
        if (*p == '\\') last = p;
    if (!last) return true;
    *last = 0;
    const bool linked = IsReparsePoint(checkedPath);
    *last = '\\';
    return linked || IsReparsePoint(checkedPath);
}

// True unless the file open at file is the plain file named path in the
// Help folder of the environment at helpRoot: not a link, no other name,
// and reached through no link swapped in below helpRoot since it was checked.
bool HelpFileLinked(HANDLE file, const char* path)
{
    const char* name = path;
    for (const char* at = path; *at; at = NextChar(at))
        if (AtSeparator(at)) name = at + 1;
    char below[PathSize] = "Help\\";
    return !AppendText(below, PathSize, name) || LinkedAtHandle(file, helpRoot, below, SameText);
}

// The help file, rewritten, replaces the one open at original (closed
// here) by name, from a new file beside it: a crash leaves the old file or
// the new one, never a part.
bool ReplaceHelpFile(UniqueFile&& original, const char* content, DWORD length)
{
    char fresh[PathSize];
    const bool named = CopyText(fresh, PathSize, checkedPath) && AppendText(fresh, PathSize, ".ostrevane~");
    // One a crash left goes; a link of that name goes itself, not what it names.
    if (named) DeleteFileA(fresh);
    bool opened, made;
    {
        const UniqueFile file(named ? CreateFileA(fresh, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                                  nullptr)
                                    : INVALID_HANDLE_VALUE);
        opened = static_cast<bool>(file);
        DWORD written = 0;
        made = opened && !HelpFileLinked(file.get(), fresh) &&
               WriteFile(file.get(), content, length, &written, nullptr) && written == length &&
               FlushFileBuffers(file.get());
    }
    original.reset();
    if (made && MoveFileExA(fresh, checkedPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    if (opened) DeleteFileA(fresh);
    return false;
}

// The product's own line leaves the file once, when it is there; the rest
// of the file stays byte for byte. Nothing is changed through a link, nor in
// a file that has another name too.
void HelpLineAction(const char* text)
{
    SetText(IDC_STATUS, "Washes the registry ...");
    const char* line = SplitRecord(text, recordField);
    if (!line || !ProductHelpLine(line) || !FindHelpFile(recordField)) return;
    if (HelpFileThroughLink()) {
        ++othersLeft;
        return;
    }
    // The link itself is opened, never what it names, and told by its handle.
    UniqueFile file(CreateFileA(checkedPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        if (StillThere(checkedPath)) ++othersLeft;
        return;
    }
    const DWORD size = GetFileSize(file.get(), nullptr);
    LocalBuffer buffer(size < 0x1000000 ? LocalAlloc(LPTR, size + 1) : nullptr);
    char* const content = static_cast<char*>(buffer.get());
    DWORD got = 0;
    bool left = HelpFileLinked(file.get(), checkedPath) || !content ||
                !ReadFile(file.get(), content, size, &got, nullptr) || got != size;
    DWORD length = size;
    if (!left) length = RemoveLastText(content, size, line);
    if (!left && length != size) left = !ReplaceHelpFile(std::move(file), content, length);
    if (left) ++othersLeft;
}

void DeleteKeyUnder(HKEY root, const char* keyPath)
{
    if (!OwnedKey(root == HKEY_LOCAL_MACHINE, keyPath)) return;
    CountLeft(RegDeleteKeyA(root, keyPath));
    RegFlushKey(root);
}

// An environment's keys, the vendor's key and the help key are named when
// the installation made them: they go, once everything else is done, when
// nothing is left in them. The entry in Windows' list goes last.
void UserKeyDeleteAction(const char* text) { DeleteKeyUnder(HKEY_CURRENT_USER, text); }

void MachineKeyDeleteAction(const char* text)
{
    if (SameText(text, VendorKeyPath) || SameText(text, HelpKeyPath)) return;
    if (UninstallEntryKey(text) == finishing) DeleteKeyUnder(HKEY_LOCAL_MACHINE, text);
}

// The keys made when empty, in passes until one removes none: a key is
// empty only once the keys below it are gone.
void RemoveMadeKeys()
{
    for (bool removed = true; removed;) {
        removed = false;
        for (readPosition = logData; const int type = ReadNextRecord();) {
            if (type == UserKeyDelete && MadeEnvironmentKey(currentText))
                removed = RemoveKeyIfEmpty(HKEY_CURRENT_USER, currentText) || removed;
            if (type == MachineKeyDelete && (SameText(currentText, VendorKeyPath) || SameText(currentText, HelpKeyPath)))
                removed = RemoveKeyIfEmpty(HKEY_LOCAL_MACHINE, currentText) || removed;
        }
    }
}

constexpr unsigned FolderWaits = 20;
constexpr DWORD FolderWait = 100;  // ms

// True when the folder holds nothing but "." and ".." and, when given, the
// file named so.
bool FolderHoldsOnly(const char* folder, const char* name)
{
    char pattern[PathSize];
    if (!CopyText(pattern, PathSize, folder) || !AppendText(pattern, PathSize, "\\*")) return false;
    WIN32_FIND_DATAA found;
    UniqueFind search(FindFirstFileA(pattern, &found));
    if (!search) return false;
    unsigned entries = 0;
    do entries += name && SameText(found.cFileName, name) ? 0 : 1;
    while (entries <= 2 && FindNextFileA(search.get(), &found));
    return entries <= 2;
}

bool EmptyFolder(const char* folder) { return FolderHoldsOnly(folder, nullptr); }

bool OnlyTheLogIn(const char* folder)
{
    const char* name = logPath;
    for (const char* at = logPath; *at; at = NextChar(at))
        if (AtSeparator(at)) name = at + 1;
    return FolderHoldsOnly(folder, name);
}

// The next folder the log names as made by the installation, checked; null
// after the last.
const char* NextCreatedFolder()
{
    for (int type; (type = ReadNextRecord()) != 0;)
        if (type == CreatedFolder && ContainedFolder(currentText, logFolder, checkedPath) &&
            !PassesThroughLink(checkedPath))
            return checkedPath;
    return nullptr;
}

// A folder made on the way to the log's folder: it can go only after the
// log, and one that holds more than the product's folder by then is the
// user's, which is no reason to keep the log.
bool AboveTheLog(const char* folder)
{
    char inside[PathSize];
    return ContainedPath(logFolder, folder, inside);
}

// Removes the folders the log names, deepest first, the log's own folder and
// those above it only when withLogFolder. False when one is left; it is counted when count.
bool RemoveFolders(bool withLogFolder, bool count)
{
    // A folder is empty only once the folders below it are gone; the pass
    // that removes none counts what is left. An empty folder that will not go
    // yet is still held by a process that is ending (the installer's last
    // tool ran in one): it is tried again for a while.
    for (unsigned waits = 0;;) {
        bool removed = false, emptyHeld = false;
        unsigned left = 0;
        for (readPosition = logData; const char* folder = NextCreatedFolder();) {
            if (!withLogFolder && (SameText(folder, logFolder) || AboveTheLog(folder))) continue;
            if (RemoveDirectoryA(folder)) {
                removed = true;
            } else if (StillThere(folder)) {
                left += AboveTheLog(folder) ? 0 : 1;
                emptyHeld = emptyHeld || EmptyFolder(folder);
            }
        }
        if (removed) continue;
        if (!emptyHeld || waits++ == FolderWaits) {
            if (count) othersLeft += left;
            return left == 0;
        }
        Sleep(FolderWait);
    }
}

// The log back in its place, as it was read: a folder that would not go
// after all keeps the means to finish the removal.
void RestoreLog()
{
    const UniqueFile file(CreateFileA(logPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written;
    if (file) WriteFile(file.get(), logData, static_cast<DWORD>(dataEnd - logData), &written, nullptr);
}

// Every record of a type kept for the end.
void ReplayFinalRecords(int last)
{
    finishing = true;
    for (readPosition = logData; const int type = ReadNextRecord();)
        if (type == last) DispatchRecord(type);
}

// The file or folder at path opened for deletion, once no other process
// holds it (a process's current folder does) and from then on by no one
// else; null when it will not be let go.
HANDLE HeldForDeletion(const char* path)
{
    for (unsigned waits = 0;; Sleep(FolderWait)) {
        HANDLE held = CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (held != INVALID_HANDLE_VALUE) return held;
        if (GetLastError() != ERROR_SHARING_VIOLATION || waits++ == FolderWaits) return nullptr;
    }
}

void Release(HANDLE held)
{
    if (held) CloseHandle(held);
}

// After every other record: the keys and folders the installation made;
// then, when nothing at all is left, the entry in Windows' list, the
// uninstaller and last the log (when the log names its own folder as made
// by the installation) with its folder. The log goes only once its folder
// is known to go, so that a removal ended at any moment can be run again.
// With anything left all three stay, so that the same command can finish
// the removal.
void FinishRemoval()
{
    RemoveMadeKeys();
    // The current folder of a process cannot be removed.
    char windows[PathSize];
    const UINT length = GetSystemWindowsDirectoryA(windows, PathSize);
    if (length != 0 && length < PathSize) SetCurrentDirectoryA(windows);
    bool ownFolder = false;
    for (readPosition = logData; const char* folder = NextCreatedFolder();)
        ownFolder = ownFolder || SameText(folder, logFolder);
    // With files left already, the folders that hold them are no news.
    const bool leftBefore = filesLeft + othersLeft != 0;
    RemoveFolders(false, !leftBefore);
    if (filesLeft + othersLeft) {
        if (ownFolder && !leftBefore) ++othersLeft;  // the log's folder, which keeps the log
        return;
    }
    // Listed before the hold: a folder search shares no deletion on Wine.
    HANDLE folder = nullptr, log = nullptr;
    if (ownFolder && (!OnlyTheLogIn(logFolder) || !(folder = HeldForDeletion(logFolder)) ||
                      PassesThroughLink(logPath) || !(log = HeldForDeletion(logPath)))) {
        Release(log);
        Release(folder);
        ++othersLeft;
        return;
    }
    // The entry first: an uninstaller without an entry is harmless, while an
    // entry without its uninstaller starts nothing.
    ReplayFinalRecords(MachineKeyDelete);
    if (othersLeft == 0) ReplayFinalRecords(ProductFile);
    const bool logGoes = ownFolder && othersLeft == 0;
    const bool logGone = logGoes && DeleteFileA(logPath);
    Release(log);
    // Held by this process alone, the folder goes as the hold ends.
    const bool folderGone = logGone && RemoveDirectoryA(logFolder);
    Release(folder);
    if (logGoes && !(folderGone && RemoveFolders(true, false))) {
        if (logGone) RestoreLog();
        ++othersLeft;
    }
}

struct RecordHandler {
    unsigned char type;  // 0 ends the table
    void (*action)(const char* text);  // null: the record has no effect
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
    {UserKeyOpen,       UserKeyOpenAction},
    {SearchPathEntry,   SearchPathEntryAction},
    {HelpLine,          HelpLineAction},
    {ProductFile,       DeleteProductFileAction},
    {CreatedFolder,     nullptr},  // at the end: FinishRemoval
    {LogonComponent,    LogonComponentAction},
    {0,                 nullptr},
};

// The opened log's path as its file system names it (long names, its own
// letter case, no "\\?\"), into logPath; false for a server's share or a
// path too long. Windows before Vista keep the full path as given.
bool FinalPathOf(HANDLE file)
{
    const link_check::FinalPathFunction finalPath = link_check::FinalPathLookup();
    if (!finalPath) return true;
    char path[link_check::FinalPathSize];
    if (!link_check::FinalPathOf(finalPath, file, path)) return false;
    const char* at = path;
    if (at[0] == '\\' && at[1] == '\\' && at[2] == '?' && at[3] == '\\') at += 4;
    return at[1] == ':' && CopyText(logPath, PathSize, at);
}

// The log's folder, named as its records name it: the folder they record as
// made that is the very folder holding the log, whatever the spelling of
// either; without one, the log's own. False when it cannot be placed: a
// link in or above it, or no plain drive folder.
bool PlaceLog()
{
    FileIdentity real, named;
    if (!LogFolderOf(logPath, logFolder)) return false;
    if (!IdentityOf(logFolder, &real)) return true;
    char folder[PathSize];
    for (readPosition = logData; const int type = ReadNextRecord();) {
        if (type != CreatedFolder || !DrivePath(currentText) || !IdentityOf(currentText, &named) ||
            !SameIdentity(real, named))
            continue;
        if (!PlacedFolder(currentText, folder)) return false;
        CopyText(logFolder, PathSize, folder);
        break;
    }
    readPosition = logData;
    return true;
}

}  // namespace

bool QuietStart() { return QuietCommand(GetCommandLineA()); }

bool LoadLog()
{
    const char* remainder = LogPathText(GetCommandLineA(), commandPath);
    if (!CopyText(commandPath, PathSize, remainder)) {
        // Too long for a path: shown as tried, never cut and opened, since
        // a cut path could name another file.
        SetText(IDC_STATUS, remainder);
        return false;
    }
    SetText(IDC_STATUS, commandPath);

    // Made full once, against the folder the launcher started us in; later
    // uses go through the opened file's own path.
    if (!FullPathOf(commandPath, logPath, PathSize)) return false;
    const UniqueFile file(CreateFileA(logPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD sizeHigh = 0;
    const DWORD size = GetFileSize(file.get(), &sizeHigh);
    // A larger file is no log of ours (and would overflow the progress
    // range): it is refused, not replayed in part. INVALID_FILE_SIZE falls
    // under the same test.
    if (sizeHigh == 0 && size <= MaxLogSize) {
        SetProgress(PBM_SETRANGE, 0, MAKELPARAM(0, size));
        // One spare zero byte, so that an empty file still gets a buffer.
        logData = static_cast<char*>(LocalAlloc(LPTR, size + 1));
        DWORD delivered;
        // Bytes the read does not deliver stay zero and end the replay there.
        if (logData && !ReadFile(file.get(), logData, size, &delivered, nullptr)) {
            LocalFree(logData);
            logData = nullptr;
        }
        if (logData) {
            readPosition = logData;
            dataEnd = logData + size;
        }
        // A log that cannot be placed is not replayed: with every record
        // refused, the removal would let go of the way back.
        if (logData && !(FinalPathOf(file.get()) && PlaceLog())) ReleaseLog();
    }
    return logData != nullptr;
}

void DispatchRecord(int type)
{
    for (const RecordHandler* handler = RecordHandlerTable; handler->type != 0; ++handler)
        if (handler->type == type && handler->action) handler->action(currentText);
}

unsigned ReplayLog()
{
    // A click sent to the disabled button in Wrong start, or to the hidden one
    // after the replay.
    if (!logData || replayed) return 0;
    replayed = true;
    ShowItem(IDC_PROGRESS, SW_SHOW);
    for (;;) {
        SetProgress(PBM_SETPOS, readPosition - logData, 0);
        const char* at = readPosition;
        const int type = ReadNextRecord();
        if (type == 0) {
            // A cut log ends in at most a record without its NUL, or in zero
            // bytes that a lost write left: it has all its records up to
            // there. Anything after a zero type byte is damage no cut makes,
            // and counts as left, so that the log stays to be looked at.
            while (at < dataEnd && *at == 0) ++at;
            if (at < dataEnd) ++othersLeft;
            break;
        }
        DispatchRecord(type);
    }
    // What follows a zero type byte stays unread, even by a second click.
    CloseHeldKey();
    FinishRemoval();
    RemoveOwnEntries();
    readPosition = dataEnd;
    char left[LeftTextSize];
    if (othersLeft) FormatLeftItems(filesLeft + othersLeft, left);
    else if (filesLeft) FormatLeftFiles(filesLeft, left);
    SetText(IDC_STATUS, filesLeft + othersLeft ? left : "Uninstall is ready !");
    SetText(IDC_STAGE, "Finished");
    ShowItem(IDC_UNINSTALL, SW_HIDE);
    SetText(IDC_CANCEL, "Finish");
    return filesLeft + othersLeft;
}

void ReleaseLog()
{
    if (logData) LocalFree(logData);
    logData = nullptr;
    readPosition = dataEnd = nullptr;
    CloseHeldKey();
}
