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

// Earlier entries of the product in a search path, removed in this order.
struct SearchPathPattern {
    const char* text;
    bool expanded;
};
constexpr SearchPathPattern SearchPathPatterns[] = {
    {";$DELPHI_DIR$\\add\\ostrevane", true},
    {";$DELPHI_DIR$\\\\add\\ostrevane", true},
    {";$HOME_OLD$\\$SUB_DIR$", true},
    {";$(DELPHI)\\ADD\\ostrevane", false},
    {";$(BCB)\\ADD\\ostrevane", false},
    {";$DELPHI_DIR_SHORT$\\add\\ostrevane", true},
    {";$DELPHI_DIR_SHORT$\\\\add\\ostrevane", true},
};

// Reads a value as text like ReadRegistryText, and tells why it could not.
LONG QueryRegistryText(HKEY root, const char* keyPath, const char* valueName, char* buffer,
                       DWORD bufferSize, DWORD* count)
{
    *count = 0;
    if (bufferSize == 0) return ERROR_MORE_DATA;
    buffer[0] = '\0';
    UniqueKey key;
    LONG status = RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, key.put());
    if (status != ERROR_SUCCESS) return status;
    DWORD size = bufferSize;
    status = RegQueryValueExA(key.get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
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
    DWORD count = 0;
    LONG status = QueryRegistryText(HKEY_CURRENT_USER, ArgumentBuffer, valueName, DataBuffer, WorkBufferSize, &count);
    // A path that is not there yet starts empty; one that cannot be read
    // whole is left as it is rather than replaced by a part of it.
    if (status == ERROR_FILE_NOT_FOUND)
        DataBuffer[0] = '\0';
    else if (status != ERROR_SUCCESS)
        return false;

    for (const SearchPathPattern& pattern : SearchPathPatterns) {
        const char* text = pattern.text;
        if (pattern.expanded) {
            if (!Expand(pattern.text, PatternBuffer)) return true;
            text = PatternBuffer;
        }
        if (!ReplaceAll(DataBuffer, text, "", ResultBuffer, WorkBufferSize) ||
            !CopyText(DataBuffer, WorkBufferSize, ResultBuffer))
            return false;
    }
    if (!AppendText(DataBuffer, WorkBufferSize, TemplateBuffer)) return false;
    return WriteRegistryText(HKEY_CURRENT_USER, ArgumentBuffer, valueName, DataBuffer);
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

// The records of removal are written for what is there after a step, made
// by this installation or found from an earlier one, so that one removal
// takes away what any number of installations added.

// A two-part record: first, TAB, second. A pair that does not fit the
// buffer is not recorded.
void AppendPairRecord(LogRecordType type, const char* first, const char* second)
{
    if (CopyText(ResultBuffer, WorkBufferSize, first) && AppendText(ResultBuffer, WorkBufferSize, "\t") &&
        AppendText(ResultBuffer, WorkBufferSize, second))
        AppendRecord(type, ResultBuffer);
}

// A value in a key: the key's open record, then the value's name.
void RecordValue(HKEY root, const char* keyPath, const char* valueName)
{
    if (ReadRegistryText(root, keyPath, valueName, DataBuffer, WorkBufferSize) == 0) return;
    AppendRecord(root == HKEY_CURRENT_USER ? UserKeyOpen : MachineKeyOpen, keyPath);
    AppendRecord(KeyValueDelete, valueName);
}

// Set when RegisterHelp made the help key: the removal takes it away again
// once it is empty.
bool helpKeyMade = false;

// A key this installation made, or an earlier one into this folder did.
bool KeyMadeByUs(bool madeNow, const char* keyPath)
{
    return madeNow || (KeyExists(HKEY_LOCAL_MACHINE, keyPath) && EarlierLogHolds(MachineKeyDelete, keyPath));
}

// The entry in TemplateBuffer, when the search path holds it as a whole entry.
void RecordSearchPathEntry(const char* valueName)
{
    if (!Expand(LibraryKey, ArgumentBuffer) ||
        ReadRegistryText(HKEY_CURRENT_USER, ArgumentBuffer, valueName, DataBuffer, WorkBufferSize) == 0)
        return;
    const std::size_t length = TextLength(TemplateBuffer);
    bool whole = false;
    for (const char* at = DataBuffer; (at = FindFolded(TemplateBuffer, at)) != nullptr; ++at)
        whole = whole || at[length] == '\0' || at[length] == ';';
    if (!whole) return;
    AppendRecord(UserKeyOpen, ArgumentBuffer);
    AppendPairRecord(SearchPathEntry, valueName, TemplateBuffer);
}

// A file the installation leaves that is not written out of the payload: it
// is logged and counts towards the size shown in Windows' list.
void RecordLeftFile(LogRecordType type, const char* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    AppendRecord(type, path);
    InstalledBytes += data.nFileSizeLow;
}

// The package the tools built and the makefile bpr2mak wrote for it, when
// they are there: a failed build may have left either.
void RecordBuildOutputs(const char* package)
{
    RecordLeftFile(InstalledFile, package);
    if (Expand(BuiltMakefile, PatternBuffer)) RecordLeftFile(InstalledFile, PatternBuffer);
}

// Runs one entry whose template is expanded in TemplateBuffer.
void Perform(const ScriptEntry& entry)
{
    const char* path = TemplateBuffer;
    switch (entry.op) {
    case ScriptOp::ExtractResource:
        if (ThroughLinkInHome(TemplateBuffer) || !WriteResourceToFile(path, entry.argument.number))
            NoteFailure(Failure::FileNotWritten);
        // Also when the file could not be written.
        AppendRecord(InHomeFolder(path) ? InstalledFile : ProductFile, path);
        break;
    case ScriptOp::CreateFolders:
        if (ThroughLinkInHome(TemplateBuffer)) {
            NoteFailure(Failure::FolderNotCreated);
            break;
        }
        if (!CreateFolderPath(TemplateBuffer)) NoteFailure(Failure::FolderNotCreated);
        if (IsFolder(path)) AppendRecord(CreatedFolder, path);
        break;
    case ScriptOp::CopyFileTo:
        if (!Expand(TextOf(entry.argument), ArgumentBuffer)) break;
        if (PackageBuilt(TemplateBuffer) && !CopyFileA(path, ArgumentBuffer, FALSE)) NoteFailure(Failure::PackageNotCopied);
        RecordBuildOutputs(path);
        RecordLeftFile(ProductFile, ArgumentBuffer);
        break;
    case ScriptOp::RunTool:
        RunTool(TextOf(entry.argument));
        break;
    case ScriptOp::RegisterPackage:
        if (!Expand(KnownPackages, ArgumentBuffer)) break;
        if (PackageBuilt(TemplateBuffer) && !WriteRegistryText(HKEY_CURRENT_USER, ArgumentBuffer, path, TextOf(entry.argument)))
            NoteFailure(Failure::PackageNotRegistered);
        RecordValue(HKEY_CURRENT_USER, ArgumentBuffer, path);
        break;
    case ScriptOp::ExtendSearchPath:
        if (!ExtendSearchPath(TextOf(entry.argument))) NoteFailure(Failure::SearchPathNotExtended);
        RecordSearchPathEntry(TextOf(entry.argument));
        break;
    case ScriptOp::RegisterHelp:
        if (!Expand(TextOf(entry.argument), ArgumentBuffer)) break;
        helpKeyMade = helpKeyMade || !KeyExists(HKEY_LOCAL_MACHINE, HelpKey);
        if (!WriteRegistryText(HKEY_LOCAL_MACHINE, HelpKey, ArgumentBuffer, path))
            NoteFailure(Failure::RegistryNotWritten);
        RecordValue(HKEY_LOCAL_MACHINE, HelpKey, ArgumentBuffer);
        break;
    case ScriptOp::AppendOnce: {
        bool holdsText = false;
        if (!Expand(TextOf(entry.argument), ArgumentBuffer)) break;
        if (ThroughLinkInHome(TemplateBuffer) || !AppendTextIfAbsent(path, ArgumentBuffer, &holdsText))
            NoteFailure(Failure::HelpIndexNotUpdated);
        if (holdsText) AppendPairRecord(HelpLine, path, ArgumentBuffer);
        break;
    }
    case ScriptOp::RemoveFile:
        // Not examined: a file that is not there is fine.
        if (!ThroughLinkInHome(TemplateBuffer)) DeleteFileA(path);
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
        if (Expand(TextOf(entry.argument), ArgumentBuffer) && Expand(TextOf(entry.progressStep), DataBuffer) &&
            !WriteRegistryText(HKEY_LOCAL_MACHINE, path, ArgumentBuffer, DataBuffer))
            NoteFailure(Failure::RegistryNotWritten);
        // The scripts write these values into the product's own uninstall
        // entry only: the removal deletes that key, once.
        if (KeyExists(HKEY_LOCAL_MACHINE, path) && !LastRecordIs(MachineKeyDelete, path))
            AppendRecord(MachineKeyDelete, path);
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
    AppendRecord(ProductText, ProductDescription);
    // The folders made above the home folder go with it, when empty: each
    // one from the first made down to the home folder's parent.
    const std::size_t first = TextLength(createdAbove);
    for (char* at = home; first && *at; at = NextChar(at)) {
        if (*at != '\\' || NextChar(at) != at + 1 || static_cast<std::size_t>(at - home) < first) continue;
        *at = '\0';
        AppendRecord(CreatedFolder, home);
        *at = '\\';
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
        const bool stepHoldsData =
            entry->op == ScriptOp::WriteMachineValue || entry->op == ScriptOp::WriteMachineValueAlt;
        AdvanceProgress(stepHoldsData ? 0 : entry->progressStep.number);
        if (ExpandTemplate(entry->templateText, TemplateBuffer, TemplateBufferSize)) Perform(*entry);
    }
}

void RunChosenScripts()
{
    // The home folder is made before the scripts run; it goes last, when empty.
    if (IsFolder(VariableValue(HomeDir))) AppendRecord(CreatedFolder, VariableValue(HomeDir));
    helpKeyMade = false;
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
        AppendRecord(TargetCaption, target->caption);
        RunScript(target->script);
    }
    RegisterProductDetails();
    SetFailureTarget(NoFailureTarget);
    const bool vendorKeyMade = !KeyExists(HKEY_LOCAL_MACHINE, VendorKey);
    if (!WriteRegistryText(HKEY_LOCAL_MACHINE, HomeKey, HomeValue, VariableValue(HomeDir)))
        NoteOverallFailure(HomeFolderNotStored);
    if (KeyExists(HKEY_LOCAL_MACHINE, HomeKey)) AppendRecord(MachineKeyDelete, HomeKey);
    // Keys that others may share go only when they are empty then.
    if (KeyMadeByUs(vendorKeyMade, VendorKey)) AppendRecord(MachineKeyDelete, VendorKey);
    if (KeyMadeByUs(helpKeyMade, HelpKey)) AppendRecord(MachineKeyDelete, HelpKey);
}

DWORD WINAPI ScriptWorker(LPVOID)
{
    // Nothing is written for a home folder that could not be made.
    if (BeginInstallation(true)) {
        RunChosenScripts();
        EndInstallation();
    }
    if (AdvanceWizardPage) AdvanceWizardPage();
    return 0;
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

bool WriteRegistryText(HKEY root, const char* keyPath, const char* valueName, const char* text)
{
    UniqueKey key;
    if (RegCreateKeyExA(root, keyPath, 0, const_cast<char*>(""), REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExA(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
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
