#pragma once
// The install scripts' format: what the built-in tables hold and the interpreter executes.
// No Win32 here: the tables are constant data, which the registrar reads too.
#include <cstddef>
#include <cstdint>

// The lines a script's SetControlText entry shows (its argument).
enum ShownLine : int {
    StageLine = 1,   // what is being installed
    StatusLine = 2,  // what is being done
};

// One operand of a script entry: a number or a text, as the operation wants.
struct Operand {
    const char* text = nullptr;
    std::int32_t number = 0;
    constexpr Operand() = default;
    constexpr Operand(std::nullptr_t) {}
    constexpr Operand(int value) : number(value) {}
    constexpr Operand(const char* value) : text(value) {}
};

// The operation codes. The field holds any number: a code without a name
// here (4, 15, or one outside 0..16) acts as ProgressOnly.
enum class ScriptOp : std::int32_t {
    ExtractResource = 0,         // template: file path; argument: payload resource number
    CreateFolders = 1,           // template: folder path
    CopyFileTo = 2,              // template: source; argument: destination (expanded)
    ProgressOnly = 3,            // template: expanded only; moves the bar, acts on nothing
    RunTool = 5,                 // template: command line; argument: working folder (expanded)
    RegisterPackage = 6,         // template: package path (value name); argument: value data, literal
    ExtendSearchPath = 7,        // template: ";entry"; argument: search-path value name, literal
    RegisterHelp = 8,            // template: help folder (value data); argument: file name (expanded)
    AppendOnce = 9,              // template: text file; argument: text to add (expanded)
    RemoveFile = 10,             // template: file path
    SetSubDir = 11,              // template: new $SUB_DIR$
    SetControlText = 12,         // template: text; argument: the line it shows (ShownLine)
    SetSubFile = 13,             // template: new $SUB_FILE$
    WriteMachineValue = 14,      // template: HKLM key; argument: value name; stepOrValueData: value data (both expanded)
    PurgePackageEntries = 16,    // template: package path (expanded); removes its registrations
};

// True for the codes whose third operand is their value data, not a step.
constexpr bool HoldsValueData(ScriptOp op)
{
    return op == ScriptOp::WriteMachineValue;
}

struct ScriptEntry {
    const char* templateText;  // null ends the script
    Operand argument;
    Operand stepOrValueData;   // the bar's step; the value data text where HoldsValueData
    ScriptOp op;
};

// A row's place in the wizard's check list. The numbers are those the check
// list and the stored tables use.
enum ListState : std::int32_t {
    Listed = 1,                  // shown in the check list
    NotListed = -2,
};

// A row's tick: the check list's item data, so the numbers stay.
enum TickState : std::int32_t {
    Install = 1,                 // to be installed
    Unticked = -1,
    NotFound = -2,  // its environment is not installed
};
