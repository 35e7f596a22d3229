#include "targets.h"

#include <windows.h>

#include "folder_security.h"
#include "handles.h"
#include "registry.h"

namespace {

constexpr char ProposedFolder[] = "\\Ostrevane";
// The longest path the scripts put below the home folder.
constexpr std::size_t BelowHomeSize = sizeof "\\Demos\\CBuilder\\ostrevdemo.bpr" - 1;

struct RefusalRow {
    DestinationRefusal refusal;
    const char* text;
};
constexpr RefusalRow RefusalTexts[] = {
    {DestinationRefusal::Empty, "Please choose the destination folder."},
    {DestinationRefusal::NotAFolder, "The destination is not a valid folder name."},
    {DestinationRefusal::TooLong, "The destination path is too long."},
    {DestinationRefusal::DriveRoot, "Please choose a folder, not the root of a drive."},
    {DestinationRefusal::Network, "Ostrevane cannot be installed on a network path."},
    {DestinationRefusal::NoDrive, "The destination drive does not exist."},
    {DestinationRefusal::Blocked, "A file is in the way of the destination folder."},
    {DestinationRefusal::NotInCodePage,
     "The destination folder's name has characters that this Windows' code page cannot write, which Delphi and "
     "C++Builder need. Please choose another folder."},
    {DestinationRefusal::Unguarded,
     "Users without administrator rights can change what is in the destination folder. Please choose another folder, or an empty one."},
    {DestinationRefusal::LinkAbove, "A link or junction is on the way to the destination folder."},
    {DestinationRefusal::InstalledElsewhere, "Ostrevane is installed in another folder. Please remove it first."},
};

// Names Windows gives to devices in every folder, whatever follows a dot.
constexpr const char* DeviceNames[] = {
    "CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
    "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9",
};

void ReleaseRootFolder(TargetState* state)
{
    if (state->rootFolder) LocalFree(state->rootFolder);
    state->rootFolder = nullptr;
}

bool IsDriveLetter(char c)
{
    const char letter = static_cast<char>(c | 0x20);
    return letter >= 'a' && letter <= 'z';
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A name, up to its first dot, without the blanks before that dot: "COM1 .txt" too.
bool NamesDevice(const char* name, const char* end)
{
    const char* stem = name;
    while (stem != end && *stem != '.') ++stem;
    while (stem != name && stem[-1] == ' ') --stem;
    for (const char* device : DeviceNames) {
        const char* after = AfterPathPrefix(name, device);
        if (after == stem) return true;
    }
    return false;
}

bool NamesDeviceAnywhere(const char* path)
{
    const char* name = path;
    for (const char* at = path;; at = NextChar(at)) {
        if (*at && !(IsSeparator(*at) && NextChar(at) == at + 1)) continue;
        if (NamesDevice(name, at)) return true;
        if (!*at) return false;
        name = at + 1;
    }
}

// Characters no folder name holds, a colon other than the drive's, a
// device's name, and the name of a placeholder, which the scripts would
// expand inside the folder.
bool HoldsNoFolderName(const char* path)
{
    if (NamesDeviceAnywhere(path)) return true;
    for (const char* at = path; *at; at = NextChar(at)) {
        if (NextChar(at) != at + 1) continue;
        const unsigned char c = static_cast<unsigned char>(*at);
        if (c < 0x20 || (c == ':' && at != path + 1)) return true;
        for (const char* bad = "<>|*?\""; *bad; ++bad)
            if (c == static_cast<unsigned char>(*bad)) return true;
    }
    for (const TemplateVariable* row = VariableTable; row->name; ++row)
        if (FindFolded(row->name, path)) return true;
    return false;
}

// The deepest folder of full that exists must be a folder: a file there
// stops the folder's creation.
bool FileInTheWay(const char* full)
{
    char path[PathSize];
    CopyText(path, PathSize, full);
    for (;;) {
        const DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES) return !(attributes & FILE_ATTRIBUTE_DIRECTORY);
        const std::size_t before = TextLength(path);
        CutToParentFolder(path);
        if (TextLength(path) == before || TextLength(path) <= 2) return false;
    }
}

// True when there is no folder at full, or one that holds nothing.
bool IsEmptyFolderOrNone(const char* full)
{
    char pattern[PathSize];
    if (!CopyText(pattern, PathSize, full) || !AppendText(pattern, PathSize, "\\*")) return false;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES;
    bool empty = true;
    do {
        const char* name = found.cFileName;
        empty = name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2]));
    } while (empty && FindNextFileA(search, &found));
    FindClose(search);
    return empty;
}

// A folder above the destination that leads elsewhere: the removal takes
// nothing through it, so nothing may be installed through it either.
bool LinkAboveFolder(const char* full)
{
    char path[PathSize];
    if (!CopyText(path, PathSize, full)) return false;
    for (char* at = path + 3; *at; at = NextChar(at)) {
        if (*at != '\\' || NextChar(at) != at + 1) continue;
        *at = '\0';
        const DWORD attributes = GetFileAttributesA(path);
        *at = '\\';
        if (attributes == INVALID_FILE_ATTRIBUTES) return false;  // made by the installation
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
    }
    return false;
}

// The volume and file index of a folder, which every spelling of it shares.
bool FolderIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info)
{
    UniqueFile folder(CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return folder && GetFileInformationByHandle(folder.get(), info);
}

// One installation at a time: a second folder would leave the first one's
// files without an entry to remove them. The recorded home folder counts
// while it still holds its log.
bool InstalledElsewhere(const char* full)
{
    char earlier[PathSize];
    if (ReadRegistryText(HKEY_LOCAL_MACHINE, ProductKeyPath, HomeFolderValue, earlier, PathSize) == 0 || !earlier[0])
        return false;
    char log[PathSize];
    if (!CopyText(log, PathSize, earlier) || !AppendText(log, PathSize, "\\uninst.kvx")) return false;
    const DWORD attributes = GetFileAttributesA(log);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    BY_HANDLE_FILE_INFORMATION was, given;
    if (!FolderIdentity(earlier, &was)) return false;
    return !FolderIdentity(full, &given) || was.dwVolumeSerialNumber != given.dwVolumeSerialNumber ||
           was.nFileIndexHigh != given.nFileIndexHigh || was.nFileIndexLow != given.nFileIndexLow;
}

DestinationRefusal CheckFullPath(const char* full)
{
    if (full[0] == '\\' && full[1] == '\\') return DestinationRefusal::Network;
    if (!IsDriveLetter(full[0]) || full[1] != ':' || full[2] != '\\') return DestinationRefusal::NotAFolder;
    if (!full[3]) return DestinationRefusal::DriveRoot;
    if (HoldsNoFolderName(full)) return DestinationRefusal::NotAFolder;
    if (TextLength(full) + BelowHomeSize >= PathSize) return DestinationRefusal::TooLong;
    const char root[] = {full[0], ':', '\\', '\0'};
    switch (GetDriveTypeA(root)) {
    case DRIVE_REMOTE: return DestinationRefusal::Network;
    case DRIVE_NO_ROOT_DIR:
    case DRIVE_UNKNOWN: return DestinationRefusal::NoDrive;
    default: break;
    }
    if (FileInTheWay(full)) return DestinationRefusal::Blocked;
    if (LinkAboveFolder(full)) return DestinationRefusal::LinkAbove;
    if (InstalledElsewhere(full)) return DestinationRefusal::InstalledElsewhere;
    // Administrators' tools run in the destination and its files are copied
    // into the system folder: what others may change there is not taken. An
    // empty folder is made afresh as the installation's own (BeginInstallation).
    return !IsEmptyFolderOrNone(full) && !FolderOnlyAdministratorsChange(full) ? DestinationRefusal::Unguarded
                                                                               : DestinationRefusal::None;
}

DestinationRefusal CheckDestination(const char* given, char* full)
{
    char text[PathSize];
    if (!CopyText(text, PathSize, given)) return DestinationRefusal::TooLong;
    TrimPathEnds(text);
    if (!text[0]) return DestinationRefusal::Empty;
    // A share is refused as typed: its folders are not this machine's to protect.
    if ((text[0] == '\\' || text[0] == '/') && (text[1] == '\\' || text[1] == '/')) {
        const bool device = text[2] == '?' || text[2] == '.';
        return device ? DestinationRefusal::NotAFolder : DestinationRefusal::Network;
    }
    if (HoldsNoFolderName(text)) return DestinationRefusal::NotAFolder;
    // A folder typed without its drive ("\Ostrevane") or relative to the
    // current folder is taken from there now: the log and the registry hold
    // full paths.
    char* name;
    const DWORD length = GetFullPathNameA(text, PathSize, full, &name);
    if (length == 0) return DestinationRefusal::NotAFolder;
    if (length >= PathSize) return DestinationRefusal::TooLong;
    TrimPathEnds(full);
    return CheckFullPath(full);
}

// The home folder, empty when refused, and the system folders.
DestinationRefusal TakeCheckedDestination(DestinationRefusal refusal, const char* full)
{
    SetVariable(HomeDir, refusal == DestinationRefusal::None ? full : "");

    char* sysDir = VariableTable[SysDir].value;
    UINT sysLength = GetSystemDirectoryA(sysDir, PathSize);
    if (sysLength == 0 || sysLength >= PathSize) sysDir[0] = '\0';

    // Windows' list of installed software starts "kvxpurge.exe" by the full
    // path its UninstallString names. On 64-bit Windows that list is a 64-bit
    // program, to which the system folder's name we see means its own 64-bit
    // folder, not the 32-bit one we write into; the Windows folder is one and
    // the same folder for 32- and 64-bit programs.
    char* uninstDir = VariableTable[UninstDir].value;
    if (RunsUnderWow64()) {
        sysLength = GetSystemWindowsDirectoryA(uninstDir, PathSize);
        if (sysLength == 0 || sysLength >= PathSize) uninstDir[0] = '\0';
    } else {
        CopyText(uninstDir, PathSize, sysDir);
    }
    return refusal;
}

}  // namespace

void DetectTarget(int row)
{
    const InstallTarget* target = &TargetTable[row];
    TargetState* state = &TargetStates[row];
    // A row never holds more than one buffer; a failed allocation leaves the
    // row undetected.
    ReleaseRootFolder(state);
    state->rootFolder = static_cast<char*>(LocalAlloc(LPTR, PathSize));
    // A quote or a dollar sign would change the tool command lines and
    // templates that the folder is put into; no set-up of the environment
    // writes one.
    if (!state->rootFolder ||
        ReadRegistryText(HKEY_LOCAL_MACHINE, target->registryKey, target->valueName, state->rootFolder, PathSize) == 0 ||
        FindFolded("\"", state->rootFolder) || FindFolded("$", state->rootFolder)) {
        state->listState = NotListed;
        state->checkState = NotFound;
        return;
    }
    state->listState = Listed;
    state->checkState = Install;
}

void DetectTargets()
{
    for (int row = 0; row < TargetCount; ++row)
        if (IsEnvironment(TargetTable[row])) DetectTarget(row);
}

void ProposeDestination(char* out)
{
    // A failed read leaves the empty text: no earlier installation, nothing
    // for the search path to remove.
    char* homeOld = VariableTable[HomeOld].value;
    if (ReadRegistryText(HKEY_LOCAL_MACHINE, ProductKeyPath, HomeFolderValue, homeOld, PathSize) > 0) {
        CopyText(out, PathSize, homeOld);
        return;
    }
    out[0] = '\0';
    for (int row = 0; row < TargetCount; ++row)
        if (IsEnvironment(TargetTable[row]) && TargetStates[row].listState == Listed)
            CopyText(out, PathSize, TargetStates[row].rootFolder);
    CutToParentFolder(out);
    // Beside a folder too deep to take the name, fall back to the drive's root.
    if (!AppendText(out, PathSize, ProposedFolder)) CopyText(out, PathSize, ProposedFolder);
}

DestinationRefusal TakeDestination(const wchar_t* given)
{
    char spelled[PathSize] = "";
    BOOL lookalike = FALSE;
    // UTF-8 spells every character, and takes no question about it.
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, given, -1, spelled, PathSize, nullptr,
                                           GetACP() == CP_UTF8 ? nullptr : &lookalike);
    if (length > 0 && lookalike) return TakeCheckedDestination(DestinationRefusal::NotInCodePage, "");
    if (length == 0) {
        const bool tooLong = GetLastError() == ERROR_INSUFFICIENT_BUFFER;
        return TakeCheckedDestination(tooLong ? DestinationRefusal::TooLong : DestinationRefusal::NotInCodePage, "");
    }
    return TakeDestination(spelled);
}

DestinationRefusal TakeDestination(const char* given)
{
    char full[PathSize] = "";
    return TakeCheckedDestination(CheckDestination(given, full), full);
}

const char* RefusalText(DestinationRefusal refusal)
{
    for (const RefusalRow& row : RefusalTexts)
        if (row.refusal == refusal) return row.text;
    return "";
}

bool RunsUnderWow64()
{
    // Looked up: older 32-bit Windows has no such call and is never 64-bit.
    using IsWow64ProcessCall = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64Process = reinterpret_cast<IsWow64ProcessCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    return isWow64Process && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

void LearnCodePage()
{
    CPINFO info;
    if (GetCPInfo(CP_ACP, &info)) SetLeadByteRanges(info.LeadByte, MAX_LEADBYTES);
}

void ReleaseTargets()
{
    for (TargetState& state : TargetStates) ReleaseRootFolder(&state);
    ReleaseEngineBuffers();
}
