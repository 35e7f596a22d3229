#include "interpreter.h"

#include <utility>

#include "failures.h"
#include "files.h"
#include "handles.h"
#include "link_guard.h"
#include "phase_times.h"
#include "product_facts.h"
#include "registry.h"
#include "templates.h"
#include "tool_outputs.h"
#include "user_entries.h"
#include "user_registration.h"
#include "progress_sink.h"

unsigned long long InstalledBytes = 0;

// A template that does not fit its buffer leaves the empty text, and an
// operation never acts on that: an entry whose template, argument or pattern
// failed to expand does nothing beyond moving the bar, and the script goes on.

namespace {

// The makefile bpr2mak writes beside the package it is made for.
constexpr char BuiltMakefile[] = "$HOME_DIR$\\$SUB_DIR$\\$SUB_FILE$.mak";
constexpr char KnownPackages[] = "$DELPHI_REG$\\Known Packages";
constexpr char DisabledPackages[] = "$DELPHI_REG$\\Disabled Packages";
constexpr char LibraryKey[] = "$DELPHI_REG$\\Library";
// The fence takes back only what it writes into keys of these names.
static_assert(SameChars(After(KnownPackages, "$DELPHI_REG$\\"), PackagesKeyName), "the packages' key");
static_assert(SameChars(After(DisabledPackages, "$DELPHI_REG$\\"), DisabledPackagesKeyName), "the switched-off packages' key");
static_assert(SameChars(After(LibraryKey, "$DELPHI_REG$\\"), LibraryKeyName), "the search path's key");

const char* TextOf(const Operand& operand) { return operand.text ? operand.text : ""; }

bool Expand(const char* templ, char* out) { return ExpandTemplate(templ, out, WorkBufferSize); }

// The buffers a step works in, handed to every helper that reads or writes
// one, so that what a helper overwrites is seen where it is called. The
// entry's expansion is read only; the others (WorkBufferSize bytes each)
// take what a helper expands or composes.
struct StepBuffers {
    char* expanded;  // the entry's template, expanded
    char* argument;  // its argument expanded, or a key of the environment
    char* data;      // a value's data
    char* pattern;   // a pattern or a file name expanded
    char* result;    // a two-part record composed
};

// The variables that hold each folder the product's earlier entries begin with.
constexpr VariableIndex EntryFolderVariables[EntryFolderCount] = {DelphiDir, DelphiDirShort, HomeOld};

bool IsFile(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The file a payload entry writes is the product's: the home folder's, or one
// beside the uninstaller.
LogRecordType ExtractedFileType(const char* path) { return InHomeFolder(path) ? InstalledFile : ProductFile; }

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

void RunTool(const StepBuffers& b, const char* workingFolder)
{
    if (!Expand(workingFolder, b.argument)) return;
    // Stays in force for the process. A tool is never run in a folder it was
    // not meant for.
    if (ThroughLinkInHome(b.argument) || !SetCurrentDirectoryA(b.argument)) {
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
    if (!ProgramOf(b.expanded, program)) {
        NoteFailure(Failure::ToolNotStarted);
        return;
    }
    PHASE_SCOPE(Phase::Tools);
    if (!CreateProcessA(program, b.expanded, nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
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
bool ExtendSearchPath(const StepBuffers& b, const char* valueName)
{
    if (!Expand(LibraryKey, b.argument)) return true;  // as every entry that does not expand
    DWORD count = 0, type = REG_SZ;
    LONG status = QueryRegistryText(HKEY_CURRENT_USER, b.argument, valueName, b.data, WorkBufferSize, &count, &type);
    // A path that is not there yet starts empty; one that cannot be read
    // whole is left as it is rather than replaced by a part of it.
    if (status == ERROR_FILE_NOT_FOUND)
        b.data[0] = '\0';
    else if (status != ERROR_SUCCESS)
        return false;

    const char* const folders[EntryFolderCount] = {
        VariableValue(EntryFolderVariables[0]), VariableValue(EntryFolderVariables[1]),
        VariableValue(EntryFolderVariables[2])};
    if (!RemoveEarlierEntries(b.data, folders, VariableValue(SubDir), b.pattern, WorkBufferSize)) return true;
    if (!AppendText(b.data, WorkBufferSize, b.expanded)) return false;
    // A path that holds %variables% keeps its type, so they are still expanded.
    return WriteRegistryText(HKEY_CURRENT_USER, b.argument, valueName, b.data,
                             type == REG_EXPAND_SZ ? REG_EXPAND_SZ : REG_SZ);
}

void PurgePackageEntries(const StepBuffers& b)
{
    if (!PackageBuilt(b.expanded) || !Expand(KnownPackages, b.argument)) return;
    DeletePackageEntries(HKEY_CURRENT_USER, b.argument, VariableValue(SubFile), nullptr);
    // The user switched off an older copy, or this very package: the first goes, the second stays.
    if (Expand(DisabledPackages, b.argument))
        DeletePackageEntries(HKEY_CURRENT_USER, b.argument, VariableValue(SubFile), b.expanded);
}

// The records of removal reach the log on disk before the step they undo
// runs: whatever point an installation ends at, its log covers what it did.
// They name what the step may make, so that replaying one for a step that
// never ran finds nothing to undo. The earlier installations' records into
// this folder are carried into the log, so one removal takes away what any
// number of installations added.

bool PairAhead(LogRecordType type, const char* text, LogRecordType secondType, const char* secondText)
{
    if (RecordPairAhead(type, text, secondType, secondText)) return true;
    NoteOverallFailure(LogNotWritten);
    return false;
}

// The records that record makes reach the disk with one flush, before the
// step that they undo acts.
template <typename Record>
bool RecordedTogether(Record&& record)
{
    HoldRecords();
    const bool recorded = record();
    return FlushHeldRecords() && recorded;
}

// A two-part record into out (WorkBufferSize bytes): first, TAB, second. A
// pair that does not fit the buffer cannot be recorded.
bool PairText(char* out, const char* first, const char* second)
{
    return CopyText(out, WorkBufferSize, first) && AppendText(out, WorkBufferSize, "\t") &&
           AppendText(out, WorkBufferSize, second);
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

// The search-path entry of the step, and the value itself when the
// installation makes it: it goes when nothing else is left in it.
bool SearchPathAhead(const StepBuffers& b, const char* valueName)
{
    if (!Expand(LibraryKey, b.argument)) return true;  // the step does nothing either
    if (!UserKeysAhead(b.argument) || !PairText(b.result, valueName, b.expanded) ||
        !PairAhead(UserKeyOpen, b.argument, SearchPathEntry, b.result))
        return false;
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, b.argument, 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS &&
        RegQueryValueExA(key.get(), valueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        return true;
    return ValueAhead(HKEY_CURRENT_USER, b.argument, valueName);
}

// A file the installation leaves that is not written out of the payload
// counts towards the size shown in Windows' list.
void CountLeftFile(const char* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(path, GetFileExInfoStandard, &data) && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        InstalledBytes += data.nFileSizeLow;
}

// What the environments' tools write beside the package they build: dcc32
// the compiled package, make the import files, the object and the symbols.
// Named before the tool starts, so that a tool outliving an ended
// installation leaves nothing the log does not name; anything else it
// writes is recorded once it has ended.
constexpr const char* CompilerOutputs[] = {".dcp", nullptr};
constexpr const char* MakeOutputs[] = {".bpi", ".lib", ".obj", ".tds", nullptr};

// The package with each of extensions in place of its own.
bool OutputsBesideAhead(const char* package, const char* const* extensions)
{
    char path[PathSize];
    char* dot = nullptr;
    if (!CopyText(path, PathSize, package)) return false;
    for (char* at = path; *at; at = NextChar(at))
        if (*at == '.') dot = at;
        else if (*at == '\\') dot = nullptr;
    if (!dot) return true;
    for (; *extensions; ++extensions) {
        *dot = '\0';
        if (!AppendText(path, PathSize, *extensions) || !Ahead(InstalledFile, path)) return false;
    }
    return true;
}

// What the tool of the step's command line and the later ones of its script
// build: the packages that the copy entries take with what the tool writes
// beside them, and a makefile the command line names.
bool ToolOutputsAhead(const StepBuffers& b, const ScriptEntry* later)
{
    if (FindFolded(".mak", b.expanded) && Expand(BuiltMakefile, b.pattern) && !Ahead(InstalledFile, b.pattern))
        return false;
    const char* const* beside = FindFolded("\\dcc32.exe\"", b.expanded)  ? CompilerOutputs
                                : FindFolded("\\make.exe\"", b.expanded) ? MakeOutputs
                                                                           : nullptr;
    for (const ScriptEntry* entry = later; entry && entry->templateText; ++entry)
        if (entry->op == ScriptOp::CopyFileTo && Expand(entry->templateText, b.pattern) &&
            (!Ahead(InstalledFile, b.pattern) || (beside && !OutputsBesideAhead(b.pattern, beside))))
            return false;
    return true;
}

// A file or folder that appeared in the product's folders while a tool ran
// is the product's: it goes with it. One the log has no room for is taken
// away again, since no removal could find it. The log itself is no output.
void RecordToolOutput(const char* path, bool isFolder)
{
    const char* log = TheUninstallLog.logPath;
    const char* after = log ? AfterPathPrefix(path, log) : nullptr;
    if (after && (!*after || SamePath(after, ".new"))) return;
    const LogRecordType type = isFolder ? CreatedFolder : InstalledFile;
    if (RecordsHold(TheUninstallLog.recordBuffer, LogLength(), type, path)) return;
    if (Ahead(type, path)) {
        if (!isFolder) CountLeftFile(path);
    } else if (isFolder) {
        RemoveDirectoryA(path);  // not examined: what it holds came first and went
    } else {
        DeleteFileA(path);
    }
}

// What the home folder held before the installation's first tool ran,
// nothing while it is held. Whatever appeared there since is the
// installation's own: the files its steps wrote, already in the log, or a
// tool's output.
FolderContents HomeBeforeTools;

// Runs the tool, then records what it left in the home folder before the
// next step: a removal takes every by-product, whatever the tool made. The
// folder is looked at before the first tool only; after each tool, what is
// new since then and not in the log yet is the tool's.
void RunToolRecordingOutputs(const StepBuffers& b, const Operand& workingFolder)
{
    // A home folder this installation made and holds had nothing of anybody
    // else's: everything in it is the installation's, each named in the log
    // or a tool's output.
    if (HoldsHomeFolder()) HomeBeforeTools.whole = true;  // noted as empty
    else if (!HomeBeforeTools.names) NoteFolderContents(VariableValue(HomeDir), &HomeBeforeTools);
    RunTool(b, TextOf(workingFolder));
    VisitNewEntries(VariableValue(HomeDir), HomeBeforeTools, RecordToolOutput);
}

constexpr char SessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t PendingValue[] = L"PendingFileRenameOperations";
// The list grows between the size query and the read when another program
// adds to it; a few tries catch up with it.
constexpr int PendingReadTries = 4;

// The pending list, whole, into list (freed by its owner) with its size in
// bytes; an empty list when there is none. False when it cannot be read.
bool ReadPendingList(HKEY key, LocalBuffer* list, DWORD* size, DWORD* type)
{
    for (int tries = 0; tries < PendingReadTries; ++tries) {
        *size = 0;
        LONG status = RegQueryValueExW(key, PendingValue, nullptr, type, nullptr, size);
        if (status == ERROR_FILE_NOT_FOUND) {
            *size = 0;
            return true;
        }
        if (status != ERROR_SUCCESS) return false;
        // Two terminators more than asked for: a list without its own still ends.
        list->reset(LocalAlloc(LPTR, *size + 2 * sizeof(wchar_t)));
        if (!*list) return false;
        status = RegQueryValueExW(key, PendingValue, nullptr, type, static_cast<BYTE*>(list->get()), size);
        if (status == ERROR_SUCCESS) return true;
        if (status == ERROR_FILE_NOT_FOUND) {
            *size = 0;
            return true;
        }
        if (status != ERROR_MORE_DATA) return false;
    }
    return false;
}

// The pending list as this installation last read or wrote it: the
// deletions that earlier removals left for the next restart. Nothing else
// queues the deletion of a file the installation writes while it runs, so a
// path this copy does not name has none to take back, and the list is read
// once rather than for every file. Unknown until the first read.
bool PendingKnown = false;
LocalBuffer PendingSeen;
const wchar_t* PendingSeenEnd = nullptr;

// True when the pair at from (a name, then its target) deletes file: an empty
// target, and the name with or without the "\??\" the system writes.
bool DeletesFile(const wchar_t* from, const wchar_t* target, const wchar_t* file)
{
    const wchar_t* name = from;
    if (name[0] == L'\\' && name[1] == L'?' && name[2] == L'?' && name[3] == L'\\') name += 4;
    return *target == 0 && lstrcmpiW(name, file) == 0;
}

// Walks the pairs of list up to end, calling pair(from, target, next) for
// each whole one; the first text that is no whole pair, or end.
template <typename Pair>
const wchar_t* WalkPendingPairs(const wchar_t* list, const wchar_t* end, Pair&& pair)
{
    const wchar_t* from = list;
    while (from < end && *from) {
        const wchar_t* target = from + lstrlenW(from) + 1;
        if (target >= end) break;
        const wchar_t* next = target + lstrlenW(target) + 1;
        pair(from, target, next);
        from = next;
    }
    return from;
}

// Keeps what the list holds now, from list to end, as the copy above.
void RememberPending(LocalBuffer* list, const wchar_t* end)
{
    PendingKnown = true;
    PendingSeen = std::move(*list);
    PendingSeenEnd = end;
}

}  // namespace

void ForgetEarlierLooks()
{
    ReleaseFolderContents(&HomeBeforeTools);
    PendingKnown = false;
    PendingSeen.reset();
    PendingSeenEnd = nullptr;
}

namespace {

// A deletion of path that an earlier removal left for the next restart is
// taken back: the restart would otherwise delete the file written now. The
// system keeps such deletions as pairs of names, the file and an empty one,
// in a list it carries out at start-up; the pairs naming path are dropped and
// everything else stays as it was. False when such a deletion may still be
// queued: the list could not be read or written.
bool TakeBackPendingDeletion(const char* path)
{
    PHASE_SCOPE(Phase::Registry);
    wchar_t file[PathSize];
    if (!MultiByteToWideChar(CP_ACP, 0, path, -1, file, PathSize)) return false;
    if (PendingKnown) {
        bool named = false;
        const auto* seen = static_cast<const wchar_t*>(PendingSeen.get());
        WalkPendingPairs(seen, PendingSeenEnd, [&](const wchar_t* from, const wchar_t* target, const wchar_t*) {
            named = named || DeletesFile(from, target, file);
        });
        if (!named) return true;
    }
    UniqueKey key;
    const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, SessionManagerKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                                      key.put());
    if (opened != ERROR_SUCCESS) return opened == ERROR_FILE_NOT_FOUND;
    LocalBuffer listBuffer;
    DWORD size = 0, type = 0;
    if (!ReadPendingList(key.get(), &listBuffer, &size, &type)) return false;
    // A list of another type is none the system carries out.
    if (size == 0 || type != REG_MULTI_SZ) {
        listBuffer.reset();
        RememberPending(&listBuffer, nullptr);
        return true;
    }
    auto* list = static_cast<wchar_t*>(listBuffer.get());
    const wchar_t* const end = list + size / sizeof(wchar_t);
    wchar_t* to = list;
    bool dropped = false;
    const wchar_t* from = WalkPendingPairs(list, end, [&](const wchar_t* pair, const wchar_t* target, const wchar_t* next) {
        if (DeletesFile(pair, target, file)) {
            dropped = true;
        } else {
            for (const wchar_t* at = pair; at < next; ++at) *to++ = *at;
        }
    });
    if (!dropped) {
        RememberPending(&listBuffer, end);
        return true;
    }
    // What follows the last pair (the list's end, or what is not understood) as it was.
    for (const wchar_t* at = from; at < end; ++at) *to++ = *at;
    bool empty = true;
    for (const wchar_t* at = list; at < to && empty; ++at) empty = *at == 0;
    const LONG status = empty ? RegDeleteValueW(key.get(), PendingValue)
                              : RegSetValueExW(key.get(), PendingValue, 0, REG_MULTI_SZ,
                                               reinterpret_cast<const BYTE*>(list),
                                               static_cast<DWORD>((to - list) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) return false;
    RememberPending(&listBuffer, to);
    return true;
}

// The records that an entry whose template is expanded in b.expanded makes
// before it acts; false, with the log noted as not written, when one could
// not be made. True also where it makes none: an argument that does not
// expand, which leaves the step undone too. The step asks for them as it
// begins; its batch asked for them before the steps ahead of it had run,
// which only ops whose records do not depend on those steps may do. There,
// a variable entry sets its variable, as the entries after it expect.
bool RecordEntryAhead(const ScriptEntry& entry, const StepBuffers& b)
{
    char* const path = b.expanded;
    switch (entry.op) {
    case ScriptOp::ExtractResource: return Ahead(ExtractedFileType(path), path);
    case ScriptOp::CreateFolders: return ThroughLinkInHome(path) || Ahead(CreatedFolder, path);
    case ScriptOp::CopyFileTo:
        return !Expand(TextOf(entry.argument), b.argument) ||
               (Ahead(InstalledFile, path) && Ahead(ProductFile, b.argument));
    case ScriptOp::RunTool: return ToolOutputsAhead(b, &entry + 1);
    case ScriptOp::AppendOnce:
        return !Expand(TextOf(entry.argument), b.argument) || !PairText(b.result, path, b.argument) ||
               Ahead(HelpLine, b.result);
    case ScriptOp::WriteMachineValue:
        return !Expand(TextOf(entry.argument), b.argument) || !Expand(TextOf(entry.stepOrValueData), b.data) ||
               Ahead(MachineKeyDelete, path);
    case ScriptOp::SetSubDir: SetVariable(SubDir, path); return true;
    case ScriptOp::SetSubFile: SetVariable(SubFile, path); return true;
    default: return true;
    }
}

// Runs one entry whose template is expanded in b.expanded.
void Perform(const ScriptEntry& entry, const StepBuffers& b)
{
    PHASE_SCOPE(PhaseOfOp(entry.op));
    char* const path = b.expanded;
    DWORD written = 0;
    switch (entry.op) {
    case ScriptOp::ExtractResource:
        if (!RecordEntryAhead(entry, b)) break;
        if (!TakeBackPendingDeletion(path)) NoteFailure(Failure::DeletionStillPending);
        if (ThroughLinkInHome(path)) {
            NoteFailure(Failure::FileNotWritten);
            break;
        }
        if (WriteResourceToFile(path, entry.argument.number, &written))
            InstalledBytes += written;
        else
            NoteFailure(Failure::FileNotWritten);
        break;
    case ScriptOp::CreateFolders:
        if (ThroughLinkInHome(path)) {
            NoteFailure(Failure::FolderNotCreated);
            break;
        }
        if (!Ahead(CreatedFolder, path)) break;
        if (!CreateFolderPath(path)) NoteFailure(Failure::FolderNotCreated);
        break;
    case ScriptOp::CopyFileTo:
        if (!RecordEntryAhead(entry, b) || !Expand(TextOf(entry.argument), b.argument)) break;
        if (!TakeBackPendingDeletion(b.argument)) NoteFailure(Failure::DeletionStillPending);
        if (PackageBuilt(path) && !CopyFileA(path, b.argument, FALSE)) NoteFailure(Failure::PackageNotCopied);
        CountLeftFile(path);
        if (Expand(BuiltMakefile, b.pattern)) CountLeftFile(b.pattern);
        CountLeftFile(b.argument);
        break;
    case ScriptOp::RunTool:
        if (RecordEntryAhead(entry, b)) RunToolRecordingOutputs(b, entry.argument);
        break;
    case ScriptOp::RegisterPackage:
        if (!UserRegistration->userKeysNow || !Expand(KnownPackages, b.argument)) break;
        if (PackageBuilt(path) &&
            RecordedTogether([&] { return UserKeysAhead(b.argument) && ValueAhead(HKEY_CURRENT_USER, b.argument, path); }) &&
            !WriteRegistryText(HKEY_CURRENT_USER, b.argument, path, TextOf(entry.argument)))
            NoteFailure(Failure::PackageNotRegistered);
        break;
    case ScriptOp::ExtendSearchPath:
        if (UserRegistration->userKeysNow &&
            RecordedTogether([&] { return SearchPathAhead(b, TextOf(entry.argument)); }) &&
            !ExtendSearchPath(b, TextOf(entry.argument)))
            NoteFailure(Failure::SearchPathNotExtended);
        break;
    case ScriptOp::RegisterHelp:
        if (!Expand(TextOf(entry.argument), b.argument)) break;
        // A help key this installation makes goes again once it is empty.
        if (RecordedTogether([&] {
                return (KeyExists(HKEY_LOCAL_MACHINE, HelpKeyPath) || Ahead(MachineKeyDelete, HelpKeyPath)) &&
                       ValueAhead(HKEY_LOCAL_MACHINE, HelpKeyPath, b.argument);
            }) &&
            !WriteRegistryText(HKEY_LOCAL_MACHINE, HelpKeyPath, b.argument, path))
            NoteFailure(Failure::RegistryNotWritten);
        break;
    case ScriptOp::AppendOnce:
        if (!RecordEntryAhead(entry, b) || !Expand(TextOf(entry.argument), b.argument)) break;
        if (ThroughLinkInHome(path) || ThroughLinkInEnvironment(path) ||
            !AppendTextIfAbsent(path, b.argument))
            NoteFailure(Failure::HelpIndexNotUpdated);
        break;
    case ScriptOp::RemoveFile:
        // The help index cache; a link in its way leaves the index stale.
        if (ThroughLinkInEnvironment(path) || (!ThroughLinkInHome(path) && !DeleteUnlinkedFile(path)))
            NoteFailure(Failure::HelpIndexNotUpdated);
        break;
    case ScriptOp::SetSubDir:
        SetVariable(SubDir, path);
        break;
    case ScriptOp::SetControlText:
        ShowLine(entry.argument.number, path);
        break;
    case ScriptOp::SetSubFile:
        SetVariable(SubFile, path);
        break;
    case ScriptOp::WriteMachineValue:
        // The scripts write these values into the product's own uninstall
        // entry only: the removal deletes that key.
        if (RecordEntryAhead(entry, b) && Expand(TextOf(entry.argument), b.argument) &&
            Expand(TextOf(entry.stepOrValueData), b.data) &&
            !WriteRegistryText(HKEY_LOCAL_MACHINE, path, b.argument, b.data))
            NoteFailure(Failure::RegistryNotWritten);
        break;
    case ScriptOp::PurgePackageEntries:
        // The registrar does these three for each user at their logon.
        if (UserRegistration->userKeysNow) PurgePackageEntries(b);
        break;
    default:  // ProgressOnly and the codes without a name
        break;
    }
}

// These record what depends on the steps before them: a key that an
// earlier step may have made by then, or a package that a tool builds.
bool RecordsAsItActs(ScriptOp op)
{
    return op == ScriptOp::RegisterPackage || op == ScriptOp::ExtendSearchPath || op == ScriptOp::RegisterHelp;
}

// The records of the entries from entry on reach the disk together, with one
// flush, before the first of them acts (and with whatever was held before):
// up to and with the next tool, whose outputs are recorded once it has ended,
// and up to the next entry that records as it acts. Each entry still asks for
// its records as it runs, and finds them there. The entry after the last one
// recorded, or after the one whose record could not be written.
const ScriptEntry* RecordBatchAhead(const ScriptEntry* entry, const StepBuffers& b)
{
    // The variables as the steps find them: the batch sets them as it goes.
    char subDir[ValueSize], subFile[ValueSize];
    CopyText(subDir, ValueSize, VariableValue(SubDir));
    CopyText(subFile, ValueSize, VariableValue(SubFile));
    HoldRecords();
    const ScriptEntry* at = entry;
    if (RecordsAsItActs(at->op)) {
        ++at;
    } else {
        for (bool recorded = true; recorded && at->templateText && !RecordsAsItActs(at->op);) {
            const ScriptEntry& current = *at++;
            recorded = !ExpandTemplate(current.templateText, b.expanded, TemplateBufferSize) ||
                       RecordEntryAhead(current, b);
            if (current.op == ScriptOp::RunTool) break;
        }
    }
    FlushHeldRecords();
    SetVariable(SubDir, subDir);
    SetVariable(SubFile, subFile);
    return at;
}

}  // namespace

bool Ahead(LogRecordType type, const char* text)
{
    if (RecordAhead(type, text)) return true;
    NoteOverallFailure(LogNotWritten);
    return false;
}

void RunScript(const ScriptEntry* script)
{
    const StepBuffers buffers = {TemplateBuffer, ArgumentBuffer, DataBuffer, PatternBuffer, ResultBuffer};
    const ScriptEntry* recordedUpTo = script;
    for (const ScriptEntry* entry = script; entry->templateText; ++entry) {
        if (entry >= recordedUpTo) recordedUpTo = RecordBatchAhead(entry, buffers);
        AdvanceProgress(HoldsValueData(entry->op) ? 0 : entry->stepOrValueData.number);
        if (ExpandTemplate(entry->templateText, buffers.expanded, TemplateBufferSize)) Perform(*entry, buffers);
    }
}
