#include "interpreter.h"

#include <commctrl.h>

#include "catalogue.h"
#include "failures.h"
#include "folder_security.h"
#include "handles.h"
#include "templates.h"
#include "uninstall_log.h"

HWND WizardWindow = nullptr;
void (*AdvanceWizardPage)() = nullptr;

// A template that does not fit its buffer leaves the empty text, and an
// operation never acts on that: an entry whose template, argument or pattern
// failed to expand does nothing beyond moving the bar, and the script goes on.

namespace {

constexpr char HomeKey[] = "Software\\Quillmere\\Ostrevane";
constexpr char VendorKey[] = "Software\\Quillmere";
constexpr char HomeValue[] = "RootDir";
constexpr char HelpKey[] = "Software\\Microsoft\\Windows\\Help";
// The makefile bpr2mak writes beside the package it is made for.
constexpr char BuiltMakefile[] = "$HOME_DIR$\\$SUB_DIR$\\$SUB_FILE$.mak";
constexpr char KnownPackages[] = "$DELPHI_REG$\\Known Packages";
constexpr char LibraryKey[] = "$DELPHI_REG$\\Library";
constexpr char LibraryPackagePattern[] = "ovanlib.";
constexpr DWORD ValueNameSize = 1040;
constexpr WORD PayloadType = 10;  // RT_RCDATA

// Bytes of the files the installation leaves (the payload, the built
// packages and their copies) since the worker began.
unsigned long long InstalledBytes = 0;

const char* TextOf(const Operand& operand) { return operand.text ? operand.text : ""; }

bool Expand(const char* templ, char* out) { return ExpandTemplate(templ, out, WorkBufferSize); }

// Earlier entries of the product in a search path, removed in this order as
// whole entries. An entry is named by the variable it begins with; while that
// is empty the pattern names no folder of the product and is passed over.
struct SearchPathPattern {
    const char* text;
    bool expanded;
    VariableIndex folder;  // VariableCount: a literal
};
constexpr SearchPathPattern SearchPathPatterns[] = {
    // text                                    expanded  folder
    {";$DELPHI_DIR$\\add\\ostrevane",          true,     DelphiDir},
    {";$DELPHI_DIR$\\\\add\\ostrevane",        true,     DelphiDir},
    {";$HOME_OLD$\\$SUB_DIR$",                 true,     HomeOld},
    {";$(DELPHI)\\ADD\\ostrevane",             false,    VariableCount},
    {";$(BCB)\\ADD\\ostrevane",                false,    VariableCount},
    {";$DELPHI_DIR_SHORT$\\add\\ostrevane",    true,     DelphiDirShort},
    {";$DELPHI_DIR_SHORT$\\\\add\\ostrevane",  true,     DelphiDirShort},
};

bool IsAsciiLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

// True when the length bytes at entry are folder: letters A to Z without
// case, as the removal compares them; a double-byte character byte for byte.
bool SameEntry(const char* entry, std::size_t length, const char* folder)
{
    std::size_t i = 0;
    for (; i < length && folder[i]; ++i) {
        const unsigned char a = static_cast<unsigned char>(entry[i]), b = static_cast<unsigned char>(folder[i]);
        if (IsDBCSLeadByte(a) && i + 1 < length) {
            if (a != b || entry[i + 1] != folder[i + 1]) return false;
            ++i;
        } else if (a != b && !(IsAsciiLetter(a) && (a | 0x20) == (b | 0x20))) {
            return false;
        }
    }
    return i == length && !folder[i];
}

// Removes every whole entry of the search path in path that is folder, with
// the separator before it (after it, for the first entry), in place. The
// other entries stay byte for byte: a longer entry that begins with folder
// is another folder.
void RemoveWholeEntries(char* path, const char* folder)
{
    char* out = path;
    bool kept = false;
    for (char* at = path;;) {
        char* end = at;
        while (*end && *end != ';') end = CharNextA(end);
        const std::size_t length = static_cast<std::size_t>(end - at);
        if (!SameEntry(at, length, folder)) {
            if (kept) *out++ = ';';
            for (std::size_t i = 0; i < length; ++i) *out++ = at[i];  // out never passes at
            kept = true;
        }
        if (!*end) break;
        at = end + 1;
    }
    *out = '\0';
}

// Reads a value as text like ReadRegistryText, and tells why it could not.
LONG QueryRegistryText(HKEY root, const char* keyPath, const char* valueName, char* buffer,
                       DWORD bufferSize, DWORD* count, DWORD* type = nullptr)
{
    *count = 0;
    if (bufferSize == 0) return ERROR_MORE_DATA;
    buffer[0] = '\0';
    UniqueKey key;
    LONG status = RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, key.put());
    if (status != ERROR_SUCCESS) return status;
    DWORD size = bufferSize;
    status = RegQueryValueExA(key.get(), valueName, nullptr, type, reinterpret_cast<BYTE*>(buffer), &size);
    if (status != ERROR_SUCCESS || size > bufferSize) {
        buffer[0] = '\0';
        return status != ERROR_SUCCESS ? status : ERROR_MORE_DATA;
    }
    // Data stored without a terminator gets one; when it fills the buffer
    // there is no room for it, and a cut text is never handed out.
    if (size == 0 || buffer[size - 1] != '\0') {
        if (size == bufferSize) {
            buffer[0] = '\0';
            return ERROR_MORE_DATA;
        }
        buffer[size++] = '\0';
    }
    *count = size;
    return ERROR_SUCCESS;
}

static_assert(TargetCount <= FailureTargetCount, "a failure slot for every row");

// The length of the home folder when path begins with it, as a whole
// component (then a backslash or the end follows); 0 otherwise.
std::size_t HomePrefixLength(const char* path)
{
    const char* after = AfterFolded(path, VariableValue(HomeDir));
    return after && (*after == '\\' || *after == '\0') ? static_cast<std::size_t>(after - path) : 0;
}

bool IsReparsePoint(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// True when path lies below the environment's folder ($DELPHI_DIR$) and a
// folder on the way down from it, or the file itself, is a link: the
// environment's files are changed as administrator, and a link there could
// have been made by anyone who may change that folder. The environment's
// folder itself is followed: RootDir is written by administrators only, and
// environments are moved with a link in its place.
bool ThroughLinkInEnvironment(char* path)
{
    // The environment's folder without its trailing separators, compared
    // character by character: a double-byte character's second byte may be
    // a backslash, and is never folded as a letter.
    char root[PathSize];
    if (!CopyText(root, PathSize, VariableValue(DelphiDir))) return false;
    char* rootEnd = root;
    for (char* at = root; *at; at = NextChar(at))
        if (*at != '\\') rootEnd = NextChar(at);
    *rootEnd = '\0';
    const char* after = root[0] ? AfterFolded(path, root) : nullptr;
    if (!after || *after != '\\') return false;
    while (*after == '\\') ++after;
    for (char* at = path + (after - path);; at = NextChar(at)) {
        const char c = *at;
        if (c != '\\' && c != '\0') continue;
        *at = '\0';
        const bool linked = IsReparsePoint(path);
        *at = c;
        if (linked) return true;
        if (c == '\0') return false;
    }
}

bool IsFile(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The package entries act on a package built by this target's tools only: a
// failed build leaves an older package file, and its registrations, alone.
bool PackageBuilt(char* path)
{
    if (!BuildFailed() && !ThroughLinkInHome(path) && IsFile(path)) return true;
    NoteFailure(Failure::PackageNotBuilt);
    return false;
}

// The program file of a command line: its first word, or its first text in
// quotes. False when there is none or it does not fit.
bool ProgramOf(const char* commandLine, char* out)
{
    const bool quoted = commandLine[0] == '"';
    const char* at = commandLine + (quoted ? 1 : 0);
    std::size_t length = 0;
    while (at[length] && (quoted ? at[length] != '"' : at[length] != ' ' && at[length] != '\t')) ++length;
    if (length == 0 || length >= PathSize || (quoted && at[length] != '"')) return false;
    for (std::size_t i = 0; i < length; ++i) out[i] = at[i];
    out[length] = '\0';
    return true;
}

void RunTool(const char* workingFolder)
{
    if (!Expand(workingFolder, ArgumentBuffer)) return;
    // Stays in force for the process. A tool is never run in a folder it was
    // not meant for.
    if (ThroughLinkInHome(ArgumentBuffer) || !SetCurrentDirectoryA(ArgumentBuffer)) {
        NoteFailure(Failure::ToolNotStarted);
        return;
    }

    STARTUPINFOA startup = {};
    static_assert(sizeof startup == 68, "the start-up record is 68 bytes");
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    // The program is named as a file of its own too, so that the system never
    // searches for it or reads a longer file name out of an unquoted path.
    char program[PathSize];
    if (!ProgramOf(TemplateBuffer, program)) {
        NoteFailure(Failure::ToolNotStarted);
        return;
    }
    if (!CreateProcessA(program, TemplateBuffer, nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process)) {
        NoteFailure(Failure::ToolNotStarted);
        return;
    }
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(processHandle.get(), &exitCode) || exitCode != 0) NoteFailure(Failure::ToolFailed);
}

// False when the path stays as it was: it could not be read whole, the entry
// does not fit, or the value cannot be written.
bool ExtendSearchPath(const char* valueName)
{
    if (!Expand(LibraryKey, ArgumentBuffer)) return true;  // as every entry that does not expand
    DWORD count = 0, type = REG_SZ;
    LONG status =
        QueryRegistryText(HKEY_CURRENT_USER, ArgumentBuffer, valueName, DataBuffer, WorkBufferSize, &count, &type);
    // A path that is not there yet starts empty; one that cannot be read
    // whole is left as it is rather than replaced by a part of it.
    if (status == ERROR_FILE_NOT_FOUND)
        DataBuffer[0] = '\0';
    else if (status != ERROR_SUCCESS)
        return false;

    for (const SearchPathPattern& pattern : SearchPathPatterns) {
        if (pattern.folder != VariableCount && !VariableValue(pattern.folder)[0]) continue;
        const char* text = pattern.text;
        if (pattern.expanded) {
            if (!Expand(pattern.text, PatternBuffer)) return true;
            text = PatternBuffer;
        }
        RemoveWholeEntries(DataBuffer, text + 1);
    }
    if (!AppendText(DataBuffer, WorkBufferSize, TemplateBuffer)) return false;
    // A path that holds %variables% keeps its type, so they are still expanded.
    return WriteRegistryText(HKEY_CURRENT_USER, ArgumentBuffer, valueName, DataBuffer,
                             type == REG_EXPAND_SZ ? REG_EXPAND_SZ : REG_SZ);
}

void PurgePackageEntries()
{
    if (!PackageBuilt(TemplateBuffer) || !Expand(KnownPackages, ArgumentBuffer)) return;
    DeleteValuesContaining(HKEY_CURRENT_USER, ArgumentBuffer, VariableValue(SubFile));
    DeleteValuesContaining(HKEY_CURRENT_USER, ArgumentBuffer, LibraryPackagePattern);
}

bool IsFolder(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool KeyExists(HKEY root, const char* keyPath)
{
    UniqueKey key;
    return RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS;
}

bool InHomeFolder(const char* path)
{
    const std::size_t length = HomePrefixLength(path);
    return length != 0 && path[length] == '\\';
}

// The records of removal reach the log on disk before the step they undo
// runs: whatever point an installation ends at, its log covers what it did.
// They name what the step may make, so that replaying one for a step that
// never ran finds nothing to undo. The earlier installations' records into
// this folder are carried into the log, so one removal takes away what any
// number of installations added.

// False, with the log noted as not written, when the record is not in the
// log on disk: the step it belongs to then does not run.
bool Ahead(LogRecordType type, const char* text)
{
    if (RecordAhead(type, text)) return true;
    NoteOverallFailure(LogNotWritten);
    return false;
}

bool PairAhead(LogRecordType type, const char* text, LogRecordType secondType, const char* secondText)
{
    if (RecordPairAhead(type, text, secondType, secondText)) return true;
    NoteOverallFailure(LogNotWritten);
    return false;
}

// A two-part record: first, TAB, second. A pair that does not fit the
// buffer cannot be recorded.
bool PairText(const char* first, const char* second)
{
    return CopyText(ResultBuffer, WorkBufferSize, first) && AppendText(ResultBuffer, WorkBufferSize, "\t") &&
           AppendText(ResultBuffer, WorkBufferSize, second);
}

// A value in a key: the key's open record, then the value's name.
bool ValueAhead(HKEY root, const char* keyPath, const char* valueName)
{
    return PairAhead(root == HKEY_CURRENT_USER ? UserKeyOpen : MachineKeyOpen, keyPath, KeyValueDelete, valueName);
}

// The keys that writing into keyPath under HKEY_CURRENT_USER would make,
// deepest first: the removal takes each away again when it is empty.
bool UserKeysAhead(const char* keyPath)
{
    char key[PathSize];
    if (!CopyText(key, PathSize, keyPath)) return false;
    for (;;) {
        if (KeyExists(HKEY_CURRENT_USER, key)) return true;
        if (!Ahead(UserKeyDelete, key)) return false;
        char* last = nullptr;
        for (char* at = key; *at; at = CharNextA(at))
            if (*at == '\\') last = at;
        if (!last) return true;
        *last = '\0';
    }
}

// The search-path entry in TemplateBuffer, and the value itself when the
// installation makes it: it goes when nothing else is left in it.
bool SearchPathAhead(const char* valueName)
{
    if (!Expand(LibraryKey, ArgumentBuffer)) return true;  // the step does nothing either
    if (!UserKeysAhead(ArgumentBuffer) || !PairText(valueName, TemplateBuffer) ||
        !PairAhead(UserKeyOpen, ArgumentBuffer, SearchPathEntry, ResultBuffer))
        return false;
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, ArgumentBuffer, 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS &&
        RegQueryValueExA(key.get(), valueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        return true;
    return ValueAhead(HKEY_CURRENT_USER, ArgumentBuffer, valueName);
}

// A file the installation leaves that is not written out of the payload
// counts towards the size shown in Windows' list.
void CountLeftFile(const char* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(path, GetFileExInfoStandard, &data) && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        InstalledBytes += data.nFileSizeLow;
}

// The entries of the running script after the one performed.
const ScriptEntry* NextEntries = nullptr;

// What the tool in TemplateBuffer and the later ones of its script build: the
// packages that the copy entries take, and a makefile the command line names.
bool ToolOutputsAhead()
{
    if (FindFolded(".mak", TemplateBuffer) && Expand(BuiltMakefile, PatternBuffer) &&
        !Ahead(InstalledFile, PatternBuffer))
        return false;
    for (const ScriptEntry* entry = NextEntries; entry && entry->templateText; ++entry)
        if (entry->op == ScriptOp::CopyFileTo && Expand(entry->templateText, PatternBuffer) &&
            !Ahead(InstalledFile, PatternBuffer))
            return false;
    return true;
}

constexpr char SessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t PendingValue[] = L"PendingFileRenameOperations";
constexpr DWORD PendingSize = 65536;

// A deletion of path that an earlier removal left for the next restart is
// taken back: the restart would otherwise delete the file written now. The
// system keeps such deletions as pairs of names, the file and an empty one,
// in a list it carries out at start-up; the pairs naming path are dropped.
void TakeBackPendingDeletion(const char* path)
{
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SessionManagerKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.put()) !=
        ERROR_SUCCESS)
        return;
    wchar_t file[PathSize];
    if (!MultiByteToWideChar(CP_ACP, 0, path, -1, file, PathSize)) return;
    LocalBuffer listBuffer(LocalAlloc(LPTR, PendingSize + 2 * sizeof(wchar_t)));
    if (!listBuffer) return;
    auto* list = static_cast<wchar_t*>(listBuffer.get());
    DWORD type = 0, size = PendingSize;
    if (RegQueryValueExW(key.get(), PendingValue, nullptr, &type, reinterpret_cast<BYTE*>(list), &size) !=
            ERROR_SUCCESS ||
        type != REG_MULTI_SZ)
        return;
    const wchar_t* const end = list + size / sizeof(wchar_t);
    wchar_t* to = list;
    bool dropped = false;
    for (const wchar_t* from = list; from < end && *from;) {
        const wchar_t* target = from + lstrlenW(from) + 1;
        if (target >= end) break;
        const wchar_t* next = target + lstrlenW(target) + 1;
        const wchar_t* name = from;
        if (name[0] == L'\\' && name[1] == L'?' && name[2] == L'?' && name[3] == L'\\') name += 4;
        if (*target == 0 && lstrcmpiW(name, file) == 0) {
            dropped = true;
        } else {
            for (const wchar_t* at = from; at < next; ++at) *to++ = *at;
        }
        from = next;
    }
    if (!dropped) return;
    *to++ = 0;
    // Not examined: a list that cannot be changed leaves the file to the restart.
    if (to - list == 1)
        RegDeleteValueW(key.get(), PendingValue);
    else
        RegSetValueExW(key.get(), PendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list),
                       static_cast<DWORD>((to - list) * sizeof(wchar_t)));
}

// Runs one entry whose template is expanded in TemplateBuffer.
void Perform(const ScriptEntry& entry)
{
    const char* path = TemplateBuffer;
    switch (entry.op) {
    case ScriptOp::ExtractResource:
        if (!Ahead(InHomeFolder(path) ? InstalledFile : ProductFile, path)) break;
        TakeBackPendingDeletion(path);
        if (ThroughLinkInHome(TemplateBuffer) || !WriteResourceToFile(path, entry.argument.number))
            NoteFailure(Failure::FileNotWritten);
        break;
    case ScriptOp::CreateFolders:
        if (ThroughLinkInHome(TemplateBuffer)) {
            NoteFailure(Failure::FolderNotCreated);
            break;
        }
        if (!Ahead(CreatedFolder, path)) break;
        if (!CreateFolderPath(TemplateBuffer)) NoteFailure(Failure::FolderNotCreated);
        break;
    case ScriptOp::CopyFileTo:
        if (!Expand(TextOf(entry.argument), ArgumentBuffer) || !Ahead(InstalledFile, path) ||
            !Ahead(ProductFile, ArgumentBuffer))
            break;
        TakeBackPendingDeletion(ArgumentBuffer);
        if (PackageBuilt(TemplateBuffer) && !CopyFileA(path, ArgumentBuffer, FALSE)) NoteFailure(Failure::PackageNotCopied);
        CountLeftFile(path);
        if (Expand(BuiltMakefile, PatternBuffer)) CountLeftFile(PatternBuffer);
        CountLeftFile(ArgumentBuffer);
        break;
    case ScriptOp::RunTool:
        if (ToolOutputsAhead()) RunTool(TextOf(entry.argument));
        break;
    case ScriptOp::RegisterPackage:
        if (!Expand(KnownPackages, ArgumentBuffer)) break;
        if (PackageBuilt(TemplateBuffer) && UserKeysAhead(ArgumentBuffer) &&
            ValueAhead(HKEY_CURRENT_USER, ArgumentBuffer, path) &&
            !WriteRegistryText(HKEY_CURRENT_USER, ArgumentBuffer, path, TextOf(entry.argument)))
            NoteFailure(Failure::PackageNotRegistered);
        break;
    case ScriptOp::ExtendSearchPath:
        if (SearchPathAhead(TextOf(entry.argument)) && !ExtendSearchPath(TextOf(entry.argument)))
            NoteFailure(Failure::SearchPathNotExtended);
        break;
    case ScriptOp::RegisterHelp:
        if (!Expand(TextOf(entry.argument), ArgumentBuffer)) break;
        // A help key this installation makes goes again once it is empty.
        if ((KeyExists(HKEY_LOCAL_MACHINE, HelpKey) || Ahead(MachineKeyDelete, HelpKey)) &&
            ValueAhead(HKEY_LOCAL_MACHINE, HelpKey, ArgumentBuffer) &&
            !WriteRegistryText(HKEY_LOCAL_MACHINE, HelpKey, ArgumentBuffer, path))
            NoteFailure(Failure::RegistryNotWritten);
        break;
    case ScriptOp::AppendOnce:
        if (!Expand(TextOf(entry.argument), ArgumentBuffer) || !PairText(path, ArgumentBuffer) ||
            !Ahead(HelpLine, ResultBuffer))
            break;
        if (ThroughLinkInHome(TemplateBuffer) || ThroughLinkInEnvironment(TemplateBuffer) ||
            !AppendTextIfAbsent(path, ArgumentBuffer))
            NoteFailure(Failure::HelpIndexNotUpdated);
        break;
    case ScriptOp::RemoveFile:
        // The help index cache; a link in its way leaves the index stale.
        if (ThroughLinkInEnvironment(TemplateBuffer)) NoteFailure(Failure::HelpIndexNotUpdated);
        // Not examined: a file that is not there is fine.
        else if (!ThroughLinkInHome(TemplateBuffer)) DeleteFileA(path);
        break;
    case ScriptOp::SetSubDir:
        SetVariable(SubDir, path);
        break;
    case ScriptOp::SetControlText:
        SetWizardControlText(entry.argument.number, path);
        break;
    case ScriptOp::SetSubFile:
        SetVariable(SubFile, path);
        break;
    case ScriptOp::WriteMachineValue:
    case ScriptOp::WriteMachineValueAlt:
        // The scripts write these values into the product's own uninstall
        // entry only: the removal deletes that key.
        if (Expand(TextOf(entry.argument), ArgumentBuffer) && Expand(TextOf(entry.progressStep), DataBuffer) &&
            Ahead(MachineKeyDelete, path) && !WriteRegistryText(HKEY_LOCAL_MACHINE, path, ArgumentBuffer, DataBuffer))
            NoteFailure(Failure::RegistryNotWritten);
        break;
    case ScriptOp::PurgePackageEntries:
        PurgePackageEntries();
        break;
    default:  // 3, 4 and unknown codes: progress and expansion only
        break;
    }
}

}  // namespace

void SetWizardControlText(int id, const char* text)
{
    if (WizardWindow) SetDlgItemTextA(WizardWindow, id, text);
}

void AdvanceProgress(int amount)
{
    if (WizardWindow) SendDlgItemMessageA(WizardWindow, ProgressBarId, PBM_DELTAPOS, static_cast<WPARAM>(amount), 0);
}

void RegisterProductDetails()
{
    // Only what the shared files registered gets the details beside it.
    if (TargetTable[SharedFilesRow].checkState != Install) return;
    SetFailureTarget(SharedFilesRow);
    SYSTEMTIME today;
    GetLocalTime(&today);
    char date[9];
    unsigned value = today.wYear * 10000u + today.wMonth * 100u + today.wDay;
    for (int i = 7; i >= 0; --i, value /= 10) date[i] = static_cast<char>('0' + value % 10);
    date[8] = '\0';
    const DWORD kilobytes = static_cast<DWORD>((InstalledBytes + 1023) / 1024);
    if (!WriteRegistryText(HKEY_LOCAL_MACHINE, UninstallKey, "InstallDate", date) ||
        !WriteRegistryNumber(HKEY_LOCAL_MACHINE, UninstallKey, "EstimatedSize", kilobytes) ||
        !WriteRegistryNumber(HKEY_LOCAL_MACHINE, UninstallKey, "NoModify", 1) ||
        !WriteRegistryNumber(HKEY_LOCAL_MACHINE, UninstallKey, "NoRepair", 1))
        NoteFailure(Failure::RegistryNotWritten);
}

bool BeginInstallation(bool destinationTaken)
{
    ClearFailures();
    char* home = VariableTable[HomeDir].value;
    // Nothing is installed into a destination that is no full path or that is
    // a link: its files, the log among them, would land elsewhere.
    if (!destinationTaken || ThroughLinkInHome(home)) {
        NoteOverallFailure(HomeFolderNotCreated);
        return false;
    }
    char createdAbove[PathSize];
    if (!CreateFolderPath(home, createdAbove)) {
        NoteOverallFailure(HomeFolderNotCreated);
        return false;
    }
    // A log path that does not fit, or a log that is a link, leaves the log
    // closed: no file is written.
    if (ExpandTemplate("$HOME_DIR$\\uninst.kvx", TemplateBuffer, TemplateBufferSize) &&
        !ThroughLinkInHome(TemplateBuffer))
        OpenLog(TemplateBuffer);
    // Nothing is changed that no log on disk could take back: the log comes
    // first, with what earlier installations into this folder did; then the
    // uninstaller and its entry in Windows' list, so that an installation
    // ended at any later point can be removed from there.
    AppendRecord(ProductText, ProductDescription);
    CarryEarlierLog();
    // The folders made above the home folder go with it, when empty: each
    // one from the first made down to the home folder's parent.
    const std::size_t first = TextLength(createdAbove);
    for (char* at = home; first && *at; at = NextChar(at)) {
        if (*at != '\\' || NextChar(at) != at + 1 || static_cast<std::size_t>(at - home) < first) continue;
        *at = '\0';
        RecordAhead(CreatedFolder, home);
        *at = '\\';
    }
    if (IsFolder(home)) RecordAhead(CreatedFolder, home);
    if (!SaveLog()) {
        CloseLog();
        NoteOverallFailure(LogNotWritten);
        return false;
    }
    if (TargetTable[SharedFilesRow].checkState == Install) {
        SetFailureTarget(SharedFilesRow);
        RunScript(UninstallerScript);
        SetFailureTarget(NoFailureTarget);
    }
    return true;
}

void EndInstallation()
{
    if (!WriteLog()) NoteOverallFailure(LogNotWritten);
}

void RunScript(const ScriptEntry* script)
{
    for (const ScriptEntry* entry = script; entry->templateText; ++entry) {
        NextEntries = entry + 1;
        const bool stepHoldsData =
            entry->op == ScriptOp::WriteMachineValue || entry->op == ScriptOp::WriteMachineValueAlt;
        AdvanceProgress(stepHoldsData ? 0 : entry->progressStep.number);
        if (ExpandTemplate(entry->templateText, TemplateBuffer, TemplateBufferSize)) Perform(*entry);
    }
}

void RunChosenScripts()
{
    // The home folder is made before the scripts run; it goes last, when empty.
    if (IsFolder(VariableValue(HomeDir))) RecordAhead(CreatedFolder, VariableValue(HomeDir));
    InstalledBytes = 0;
    for (const InstallTarget* target = TargetTable; target->caption; ++target) {
        if (target->checkState != Install) continue;
        if (target->rootFolder && target->registryKey) {
            SetVariable(DelphiDir, target->rootFolder);
            SetVariable(DelphiReg, target->registryKey);
            // A folder without a short form (it is gone, or the name does not
            // fit) stands for itself.
            char shortFolder[PathSize + 1];
            DWORD length = GetShortPathNameA(target->rootFolder, shortFolder, sizeof shortFolder);
            if (length == 0 || length >= sizeof shortFolder) CopyText(shortFolder, sizeof shortFolder, target->rootFolder);
            SetVariable(DelphiDirShort, shortFolder);
        }
        SetFailureTarget(static_cast<int>(target - TargetTable));
        RecordAhead(TargetCaption, target->caption);
        RunScript(target->script);
    }
    RegisterProductDetails();
    SetFailureTarget(NoFailureTarget);
    // The vendor's key, which others may share, goes only when it is empty then.
    if ((KeyExists(HKEY_LOCAL_MACHINE, VendorKey) || Ahead(MachineKeyDelete, VendorKey)) &&
        Ahead(MachineKeyDelete, HomeKey)) {
        if (!WriteRegistryText(HKEY_LOCAL_MACHINE, HomeKey, HomeValue, VariableValue(HomeDir)))
            NoteOverallFailure(HomeFolderNotStored);
    } else {
        NoteOverallFailure(HomeFolderNotStored);
    }
}

DWORD WINAPI ScriptWorker(LPVOID)
{
    // Nothing is written for a home folder that could not be made, nor
    // where no log can be kept.
    const bool begun = BeginInstallation(true);
    if (begun) {
        RunChosenScripts();
        EndInstallation();
    }
    if (AdvanceWizardPage) AdvanceWizardPage();
    return begun ? 0 : 1;
}

bool ThroughLinkInHome(char* path)
{
    const std::size_t length = HomePrefixLength(path);
    if (length == 0) return false;
    for (char* at = path + length;; at = NextChar(at)) {
        const char c = *at;
        if ((c != '\\' || NextChar(at) != at + 1) && c != '\0') continue;
        *at = '\0';
        const bool linked = IsReparsePoint(path);
        *at = c;
        if (linked) return true;
        if (c == '\0') return false;
    }
}

bool WriteResourceToFile(const char* path, int resourceNumber)
{
    // The file comes first: a missing resource leaves it existing and empty.
    UniqueFile file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(resourceNumber), MAKEINTRESOURCEA(PayloadType));
    if (!resource) return true;
    DWORD size = SizeofResource(nullptr, resource);
    HGLOBAL loaded = LoadResource(nullptr, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return false;
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes, size, &written, nullptr) || written != size) return false;
    InstalledBytes += size;
    return true;
}

bool CreateFolderPath(char* path, char* firstCreated)
{
    char* first = nullptr;  // where the first folder made ends
    char before = '\0';
    for (char* at = path;; at = NextChar(at)) {
        const char c = *at;
        // A separator is a character of its own, never a double-byte one's second byte.
        const bool single = !c || NextChar(at) == at + 1;
        if (single && (c == '\\' || c == '/' || c == '\0') && before != ':') {
            *at = '\0';
            BOOL created = CreateProtectedFolder(path);
            DWORD error = created ? ERROR_SUCCESS : GetLastError();
            *at = c;
            if (created && !first) first = at;
            if (!created && error != ERROR_ALREADY_EXISTS) break;
        }
        if (c == '\0') break;
        before = single ? c : '\0';
    }
    // Whatever stopped the walk, what counts is the folder being there.
    const DWORD attributes = GetFileAttributesA(path);
    const bool made = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (firstCreated) firstCreated[0] = '\0';
    if (first && made && firstCreated) {
        const char kept = *first;
        *first = '\0';
        CopyText(firstCreated, PathSize, path);
        *first = kept;
    }
    // A path that could not be made whole leaves nothing of it behind.
    for (char* end = path + TextLength(path); first && !made && end >= first;) {
        const char kept = *end;
        *end = '\0';
        RemoveDirectoryA(path);
        *end = kept;
        char* parent = nullptr;
        for (char* at = path; at < end; at = NextChar(at))
            if (NextChar(at) == at + 1 && (*at == '\\' || *at == '/')) parent = at;
        if (!parent || parent < first) break;
        end = parent;
    }
    return made;
}

DWORD ReadRegistryText(HKEY root, const char* keyPath, const char* valueName, char* buffer, DWORD bufferSize)
{
    DWORD count = 0;
    QueryRegistryText(root, keyPath, valueName, buffer, bufferSize, &count);
    return count;
}

bool WriteRegistryNumber(HKEY root, const char* keyPath, const char* valueName, DWORD number)
{
    UniqueKey key;
    if (RegCreateKeyExA(root, keyPath, 0, const_cast<char*>(""), REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExA(key.get(), valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                          sizeof number) == ERROR_SUCCESS;
}

bool WriteRegistryText(HKEY root, const char* keyPath, const char* valueName, const char* text, DWORD type)
{
    UniqueKey key;
    if (RegCreateKeyExA(root, keyPath, 0, const_cast<char*>(""), REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExA(key.get(), valueName, 0, type, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(TextLength(text) + 1)) == ERROR_SUCCESS;
}

void DeleteValuesContaining(HKEY root, const char* keyPath, const char* text)
{
    if (!text[0]) return;  // the empty text is in every name
    UniqueKey key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE | KEY_WRITE, key.put()) != ERROR_SUCCESS) return;
    LocalBuffer nameBuffer(LocalAlloc(LPTR, ValueNameSize));
    if (!nameBuffer) return;
    char* name = static_cast<char*>(nameBuffer.get());
    DWORD index = 0;
    for (;;) {
        DWORD nameSize = ValueNameSize;
        if (RegEnumValueA(key.get(), index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        // After a deletion the later values move down into this index; a
        // value that cannot be deleted is stepped over, not tried forever.
        if (!FindFolded(text, name) || RegDeleteValueA(key.get(), name) != ERROR_SUCCESS) ++index;
    }
}

bool AppendTextIfAbsent(const char* path, const char* text, bool* holdsText)
{
    bool holds = false;
    if (!holdsText) holdsText = &holds;
    *holdsText = false;
    UniqueFile file(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file) {
        // Only a file that holds something and cannot be opened is a failure.
        WIN32_FILE_ATTRIBUTE_DATA data;
        return !GetFileAttributesExA(path, GetFileExInfoStandard, &data) ||
               (data.nFileSizeLow == 0 && data.nFileSizeHigh == 0);
    }
    const DWORD size = GetFileSize(file.get(), nullptr);
    if (size == 0) return true;  // an empty file stays empty
    if (size == INVALID_FILE_SIZE) return false;
    LocalBuffer contentBuffer(LocalAlloc(LPTR, size + 1));
    if (!contentBuffer) return false;
    char* content = static_cast<char*>(contentBuffer.get());
    DWORD got = 0;
    if (!ReadFile(file.get(), content, size, &got, nullptr) || got != size) return false;
    if (FindFolded(text, content)) {
        *holdsText = true;
        return true;
    }
    const DWORD length = static_cast<DWORD>(TextLength(text));
    DWORD written = 0;
    *holdsText = WriteFile(file.get(), text, length, &written, nullptr) && written == length;
    return *holdsText;
}
