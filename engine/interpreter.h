#pragma once
// The install script interpreter: the ScriptWorker thread, the seventeen
// operations and the file and registry routines they are built from.
#include <windows.h>

#include <cstddef>
#include <cstdint>

// One operand of a script entry: a number or a text, as the operation wants.
struct Operand {
    const char* text = nullptr;
    std::int32_t number = 0;
    constexpr Operand() = default;
    constexpr Operand(std::nullptr_t) {}
    constexpr Operand(int value) : number(value) {}
    constexpr Operand(const char* value) : text(value) {}
};

// The operation codes. The field holds any number: 3, 4 and every code
// outside 0..16 only move the bar and expand the template.
enum class ScriptOp : std::int32_t {
    ExtractResource = 0,       // template: file path; argument: payload resource number
    CreateFolders = 1,         // template: folder path
    CopyFileTo = 2,            // template: source; argument: destination (expanded)
    NoOp3 = 3,
    NoOp4 = 4,
    RunTool = 5,               // template: command line; argument: working folder (expanded)
    RegisterPackage = 6,       // template: package path (value name); argument: value data, literal
    ExtendSearchPath = 7,      // template: ";entry"; argument: search-path value name, literal
    RegisterHelp = 8,          // template: help folder (value data); argument: file name (expanded)
    AppendOnce = 9,            // template: text file; argument: text to add (expanded)
    RemoveFile = 10,           // template: file path
    SetSubDir = 11,            // template: new $SUB_DIR$
    SetControlText = 12,       // template: text; argument: wizard control id
    SetSubFile = 13,           // template: new $SUB_FILE$
    WriteMachineValue = 14,    // template: HKLM key; argument: value name (expanded); step: value data
    WriteMachineValueAlt = 15, // as 14
    PurgePackageEntries = 16,  // template: expanded only
};

struct ScriptEntry {
    const char* templateText;  // null ends the script
    Operand argument;
    Operand progressStep;      // the valueData text for codes 14 and 15
    ScriptOp op;
};

// The wizard's window; null while there is none (the worker then runs
// headless: control texts and the progress bar are skipped).
extern HWND WizardWindow;
// Filled in by the wizard: add 1 to the page index and show that page. Null
// means there is no wizard to advance.
extern void (*AdvanceWizardPage)();

// Wizard control ids the interpreter addresses.
constexpr int ProgressBarId = 106;

void SetWizardControlText(int id, const char* text);
void AdvanceProgress(int amount);

// The installation, the same with the wizard (on its own thread, the wizard
// showing it) and without (called directly, the run reporting it), once the
// destination is taken (TakeDestination) and the choices are made:
// BeginInstallation, every chosen target's script, EndInstallation, then the
// wizard's next page. Notes what fails in the failure record (failures.h),
// each target's steps under its row, "RootDir" under none. 1 when nothing
// was installed (BeginInstallation failed), else 0.
DWORD WINAPI ScriptWorker(LPVOID);
// The ScriptWorker's middle: every chosen target's script, then "RootDir"
// and the registry records that go last.
void RunChosenScripts();
// An entry whose template, argument or pattern does not fit its buffer only
// moves the bar: its operation never acts on a cut or emptied text. A step
// that fails is noted and has no effect; the next one runs.
void RunScript(const ScriptEntry* script);
// The steps around the ScriptWorker that every installation takes, with the
// wizard or without: the failures cleared, the destination ($HOME_DIR$)
// created, the log opened with the product's record and the folders made
// above the destination; at the end the log file written. False, with
// nothing written, when the destination was not taken or cannot be made.
bool BeginInstallation(bool destinationTaken);
void EndInstallation();
// The product's details in Windows' list that only the end of an installation
// knows: its date, the kilobytes of the files it leaves, and that it can
// be neither modified nor repaired. Noted under the shared files when they fail.
void RegisterProductDetails();

// False when the file cannot be created or is not written whole; a missing
// resource leaves an empty file and is no failure.
bool WriteResourceToFile(const char* path, int resourceNumber);
// path must be writable: separators are cut one at a time and restored. True
// when the folder is there at the end. Every folder it creates gets the
// protected access list (folder_security.h).
// When it fails, the folders it made are removed again. firstCreated, when
// given (PathSize bytes), gets the first folder it made, or the empty text.
bool CreateFolderPath(char* path, char* firstCreated = nullptr);
// True when path is the home folder or lies in it, and the home folder, or a
// folder or file below it on the way to path, is a link: nothing is written,
// built or deleted through one. path is left as it was.
bool ThroughLinkInHome(char* path);
// Bytes stored, terminator included: data stored without a terminator gets
// one. 0, with the empty text in the buffer, when the key or value cannot be
// read or does not fit, also when unterminated data fills the buffer exactly.
DWORD ReadRegistryText(HKEY root, const char* keyPath, const char* valueName, char* buffer, DWORD bufferSize);
bool WriteRegistryText(HKEY root, const char* keyPath, const char* valueName, const char* text, DWORD type = REG_SZ);
bool WriteRegistryNumber(HKEY root, const char* keyPath, const char* valueName, DWORD number);
// Deletes every value whose name contains text; an empty text deletes nothing.
void DeleteValuesContaining(HKEY root, const char* keyPath, const char* text);
// True also for a missing or empty file, which stays as it is. holdsText,
// when given, tells whether the file holds the text afterwards.
bool AppendTextIfAbsent(const char* path, const char* text, bool* holdsText = nullptr);
