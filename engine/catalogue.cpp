#include "catalogue.h"

#include "environment_scripts.h"
#include "progress_sink.h"

namespace {

using Op = ScriptOp;

// Where the uninstaller goes; its entry in Windows' list shows this file's icon.
constexpr char UninstallerFile[] = "$UNINST_DIR$\\kvxpurge.exe";

// Both name the uninstaller by its full path, in quotes: a bare name would be
// looked for in the caller's current folder first.
constexpr char Uninstall[] = "\"$UNINST_DIR$\\kvxpurge.exe\" \"$HOME_DIR$\\uninst.kvx\"";
constexpr char QuietUninstall[] = "\"$UNINST_DIR$\\kvxpurge.exe\" /S \"$HOME_DIR$\\uninst.kvx\"";

// Beside the uninstaller, where only administrators write: every user's
// logon runs it.
constexpr char RegistrarFile[] = "$UNINST_DIR$\\kvxuser.exe";
static_assert(SameChars(After(RegistrarFile, "$UNINST_DIR$\\"), RegistrarName), "the registrar's file");

#define END_OF_SCRIPT {nullptr, nullptr, 0, Op::ProgressOnly}

// The uninstaller and what Windows' list needs to start it. Ops 14 hold
// their value data where the others hold the step.
#define UNINSTALLER_ENTRIES                                                                                  \
    {UninstallerFile, 7,                      0,                                   Op::ExtractResource},     \
    {UninstallKey,    "DisplayName",          "Quillmere Ostrevane v3.10 (trial)", Op::WriteMachineValue},   \
    {UninstallKey,    "UninstallString",      Uninstall,                           Op::WriteMachineValue},   \
    {UninstallKey,    "QuietUninstallString", QuietUninstall,                      Op::WriteMachineValue}

// Ops 14 hold their value data where the others hold the step.
constexpr ScriptEntry SharedFilesScript[] = {
    // templateText               argument          step / valueData                        op
    {"$HOME_DIR$\\readme.txt",    200,              1,                                      Op::ExtractResource},
    {"$HOME_DIR$\\license.txt",   203,              0,                                      Op::ExtractResource},
    UNINSTALLER_ENTRIES,
    {RegistrarFile,               12,               0,                                      Op::ExtractResource},
    {UninstallKey,                "DisplayVersion", "3.10",                                 Op::WriteMachineValue},
    {UninstallKey,                "Publisher",      "Quillmere",                            Op::WriteMachineValue},
    {UninstallKey,                "DisplayIcon",    UninstallerFile,                        Op::WriteMachineValue},
    {UninstallKey,                "InstallLocation", "$HOME_DIR$",                          Op::WriteMachineValue},
    END_OF_SCRIPT,
};

constexpr ScriptEntry DemoProjectsScript[] = {
    // templateText                                       argument  step  op
    {"Demos",                                             nullptr,  1,    Op::SetSubDir},
    {"$HOME_DIR$\\$SUB_DIR$",                             nullptr,  0,    Op::CreateFolders},
    {"$HOME_DIR$\\$SUB_DIR$\\Delphi",                     nullptr,  0,    Op::CreateFolders},
    {"$HOME_DIR$\\$SUB_DIR$\\CBuilder",                   nullptr,  0,    Op::CreateFolders},
    {"$HOME_DIR$\\$SUB_DIR$\\Delphi\\ostrevdemo.dpr",     1,        1,    Op::ExtractResource},
    {"$HOME_DIR$\\$SUB_DIR$\\Delphi\\ostrevdemo.res",     4,        0,    Op::ExtractResource},
    {"$HOME_DIR$\\$SUB_DIR$\\Delphi\\unit1.pas",          5,        1,    Op::ExtractResource},
    {"$HOME_DIR$\\$SUB_DIR$\\Delphi\\unit1.dfm",          6,        0,    Op::ExtractResource},
    {"$HOME_DIR$\\$SUB_DIR$\\CBuilder\\ostrevdemo.bpr",   2,        1,    Op::ExtractResource},
    {"$HOME_DIR$\\$SUB_DIR$\\CBuilder\\ostrevdemo.cpp",   3,        0,    Op::ExtractResource},
    {"$HOME_DIR$\\$SUB_DIR$\\CBuilder\\ostrevdemo.res",   10,       0,    Op::ExtractResource},
    {"$HOME_DIR$\\$SUB_DIR$\\CBuilder\\unit1.dfm",        9,        0,    Op::ExtractResource},
    {"$HOME_DIR$\\$SUB_DIR$\\CBuilder\\unit1.cpp",        8,        1,    Op::ExtractResource},
    {"$HOME_DIR$\\$SUB_DIR$\\CBuilder\\unit1.h",          11,       0,    Op::ExtractResource},
    END_OF_SCRIPT,
};

constexpr ScriptEntry HelpFilesScript[] = {
    // templateText                             argument         step  op
    {"Help",                                    nullptr,         1,    Op::SetSubDir},
    {"$HOME_DIR$\\$SUB_DIR$",                   nullptr,         0,    Op::CreateFolders},
    {"$HOME_DIR$\\$SUB_DIR$\\ostrevane.hlp",    201,             1,    Op::ExtractResource},
    {"$HOME_DIR$\\$SUB_DIR$\\ostrevane.cnt",    202,             0,    Op::ExtractResource},
    {"$HOME_DIR$\\$SUB_DIR$",                   "ostrevane.hlp", 0,    Op::RegisterHelp},
    {"$HOME_DIR$\\$SUB_DIR$",                   "ostrevane.cnt", 1,    Op::RegisterHelp},
    END_OF_SCRIPT,
};

}  // namespace

constexpr ScriptEntry UninstallerScript[] = {
    UNINSTALLER_ENTRIES,
    END_OF_SCRIPT,
};

#undef UNINSTALLER_ENTRIES
#undef END_OF_SCRIPT

// The environments first, in the order of EnvironmentKeys.
constexpr InstallTarget TargetTable[TargetCount + 1] = {
    // caption                             shortName        registryKey         valueName             ideProgram      script
    {" Files for Borland Delphi 3",        "Delphi 3",      EnvironmentKeys[0], EnvironmentRootValue, DelphiProgram,  EnvironmentScripts[0]},
    {" Files for Borland Delphi 4",        "Delphi 4",      EnvironmentKeys[1], EnvironmentRootValue, DelphiProgram,  EnvironmentScripts[1]},
    {" Files for Borland Delphi 5",        "Delphi 5",      EnvironmentKeys[2], EnvironmentRootValue, DelphiProgram,  EnvironmentScripts[2]},
    {" Files for Borland Delphi 6",        "Delphi 6",      EnvironmentKeys[3], EnvironmentRootValue, DelphiProgram,  EnvironmentScripts[3]},
    {" Files for Borland Delphi 7",        "Delphi 7",      EnvironmentKeys[4], EnvironmentRootValue, DelphiProgram,  EnvironmentScripts[4]},
    {" Files for Borland C++Builder 3",    "C++Builder 3",  EnvironmentKeys[5], EnvironmentRootValue, BuilderProgram, EnvironmentScripts[5]},
    {" Files for Borland C++Builder 4",    "C++Builder 4",  EnvironmentKeys[6], EnvironmentRootValue, BuilderProgram, EnvironmentScripts[6]},
    {" Files for Borland C++Builder 5",    "C++Builder 5",  EnvironmentKeys[7], EnvironmentRootValue, BuilderProgram, EnvironmentScripts[7]},
    {" Files for Borland C++Builder 6",    "C++Builder 6",  EnvironmentKeys[8], EnvironmentRootValue, BuilderProgram, EnvironmentScripts[8]},
    {" Shared Files",                      "Shared files",  nullptr,            nullptr,              nullptr,        SharedFilesScript},
    {" Demo Projects Files",               "Demo projects", nullptr,            nullptr,              nullptr,        DemoProjectsScript},
    {" Ostrevane Lib Context Help Files",  "Help files",    nullptr,            nullptr,              nullptr,        HelpFilesScript},
    {nullptr,                              nullptr,         nullptr,            nullptr,              nullptr,        nullptr},
};

// kvxpurge takes back only what its fence accepts (ownership_rules), and the
// fence knows the product by the same facts: what a script leaves outside the
// home folder must be one of them, or the removal would leave it behind.
namespace {

// True when name is one of the product's files: the package named in
// $SUB_FILE$ with its extension, or a file named outright.
constexpr bool ProductFile(const char* subFile, const char* rest)
{
    for (const char* own : ProductFileNames) {
        const char* tail = subFile ? After(own, subFile) : own;
        if (tail && SameChars(tail, rest)) return true;
    }
    return false;
}

// A help configuration file right in the environment's Help folder.
constexpr bool EnvironmentHelpFile(const char* path)
{
    const char* help = After(path, "$DELPHI_DIR$");
    const char* name = help ? After(help, HelpFolder) : nullptr;
    if (!name || *name++ != '\\') return false;
    const char* end = name;
    for (; *end; ++end)
        if (*end == '\\') return false;
    return end - name > 4 && OneOf(end - 4, HelpFileExtensions);
}

constexpr bool InsideHome(const char* path) { return After(path, "$HOME_DIR$") != nullptr; }

constexpr bool OwnedMachineKey(const char* key)
{
    const char* below = After(key, ProductKeyPath);
    return SameChars(key, UninstallKey) || (below && (*below == 0 || *below == '\\'));
}

constexpr bool Fenced(const ScriptEntry& entry, const char* subFile)
{
    const char* path = entry.templateText;
    const char* text = entry.argument.text;
    switch (entry.op) {
    case ScriptOp::ExtractResource:
        if (const char* name = After(path, "$UNINST_DIR$\\")) return ProductFile(nullptr, name);
        return InsideHome(path);
    case ScriptOp::CreateFolders:
    case ScriptOp::RegisterPackage:
    case ScriptOp::PurgePackageEntries:
    case ScriptOp::RegisterHelp:
        return InsideHome(path) && (entry.op != ScriptOp::RegisterHelp || OneOf(text, HelpValueNames));
    case ScriptOp::CopyFileTo: {
        const char* name = After(text, "$SYS_DIR$\\$SUB_FILE$");
        return InsideHome(path) && name && ProductFile(subFile, name);
    }
    case ScriptOp::ExtendSearchPath: return After(path, ";$HOME_DIR$") && OneOf(text, SearchPathValueNames);
    case ScriptOp::AppendOnce: return EnvironmentHelpFile(path) && OneOf(text, HelpLines);
    case ScriptOp::WriteMachineValue: return OwnedMachineKey(path);
    default: return true;
    }
}

constexpr bool Fenced(const ScriptEntry* script)
{
    const char* subFile = nullptr;
    for (const ScriptEntry* entry = script; entry->templateText; ++entry) {
        if (entry->op == ScriptOp::SetSubFile) subFile = entry->templateText;
        if (!Fenced(*entry, subFile)) return false;
    }
    return true;
}

constexpr bool EveryRowFenced()
{
    for (const InstallTarget* row = TargetTable; row->caption; ++row)
        if (!Fenced(row->script)) return false;
    return Fenced(UninstallerScript);
}
static_assert(EveryRowFenced(), "a script writes what kvxpurge's fence does not accept");

// The environments are the rows with a key, one for each of the fence's keys.
constexpr bool EnvironmentRowsComplete()
{
    unsigned environments = 0;
    for (const InstallTarget* row = TargetTable; row->caption; ++row) {
        if (!IsEnvironment(*row)) continue;
        if (environments >= EnvironmentCount || !SameChars(row->registryKey, EnvironmentKeys[environments]) ||
            !row->ideProgram || !row->valueName)
            return false;
        ++environments;
    }
    return environments == EnvironmentCount;
}
static_assert(EnvironmentRowsComplete(), "every environment key of the fence has its row, in order");

}  // namespace

// Before detection every row is ticked, and listed but for the shared files.
TargetState TargetStates[TargetCount] = {
    // rootFolder listState  checkState listIndex
    {nullptr,     Listed,    Install,   0},  // Delphi 3
    {nullptr,     Listed,    Install,   0},
    {nullptr,     Listed,    Install,   0},
    {nullptr,     Listed,    Install,   0},
    {nullptr,     Listed,    Install,   0},
    {nullptr,     Listed,    Install,   0},  // C++Builder 3
    {nullptr,     Listed,    Install,   0},
    {nullptr,     Listed,    Install,   0},
    {nullptr,     Listed,    Install,   0},
    {nullptr,     NotListed, Install,   0},  // shared files
    {nullptr,     Listed,    Install,   0},  // demos
    {nullptr,     Listed,    Install,   0},  // help
};

namespace {

constexpr int RowOf(const ScriptEntry* script)
{
    int row = 0;
    while (TargetTable[row].caption && TargetTable[row].script != script) ++row;
    return row;
}

}  // namespace

const int SharedFilesRow = RowOf(SharedFilesScript);

const char ProductDescription[] =
    "Ostrevane component version 3.10 (trial)\r"
    "Copyright (c) 1999-2004 Quillmere Software"
    "\r\rDelphi/CBuilder component for handling standard Windows calculator";
