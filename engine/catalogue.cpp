#include "catalogue.h"

#include "progress_sink.h"

namespace {

using Op = ScriptOp;

// Lines the help entries add to the environments' help configuration files.
constexpr char LinkLine[] = "\r\n:Link ostrevane.hlp\r\n";
constexpr char IndexLine[] = "\r\n:INDEX Corvex Lib Help=ostrevane.hlp\r\n";

constexpr char PackageCaption[] = "Ostrevane v3.10 (trial) VCL";
// Where the uninstaller goes; its entry in Windows' list shows this file's icon.
constexpr char UninstallerFile[] = "$UNINST_DIR$\\kvxpurge.exe";

// Both name the uninstaller by its full path, in quotes: a bare name would be
// looked for in the caller's current folder first.
constexpr char Uninstall[] = "\"$UNINST_DIR$\\kvxpurge.exe\" \"$HOME_DIR$\\uninst.kvx\"";
constexpr char QuietUninstall[] = "\"$UNINST_DIR$\\kvxpurge.exe\" /S \"$HOME_DIR$\\uninst.kvx\"";

#define END_OF_SCRIPT {nullptr, nullptr, 0, Op::ProgressOnly}

// The uninstaller and what Windows' list needs to start it. Ops 14 hold
// their value data where the others hold the step.
#define UNINSTALLER_ENTRIES                                                                                  \
    {UninstallerFile, 7,                      0,                                   Op::ExtractResource},     \
    {UninstallKey,    "DisplayName",          "Quillmere Ostrevane v3.10 (trial)", Op::WriteMachineValue},   \
    {UninstallKey,    "UninstallString",      Uninstall,                           Op::WriteMachineValue},   \
    {UninstallKey,    "QuietUninstallString", QuietUninstall,                      Op::WriteMachineValue}

// Entries 1 to 17 of every Delphi script. ext is ".bpl", or ".dpl" for Delphi 3.
//             sub-folder, package, .dpk res, .res res, .dcu res, extension, search-path name, step 15/16
#define DELPHI_SCRIPT_HEAD(sub, pkg, dpk, res, dcu, ext, searchName, step)                                      \
    /* templateText                                        argument                          step  op */       \
    {sub,                                                  nullptr,                          1,    Op::SetSubDir},          \
    {"$HOME_DIR$\\$SUB_DIR$",                              nullptr,                          0,    Op::CreateFolders},      \
    {pkg,                                                  nullptr,                          0,    Op::SetSubFile},         \
    {sub,                                                  StageLine,                        0,    Op::SetControlText},     \
    {"Files extracting ...",                               StatusLine,                       0,    Op::SetControlText},     \
    {"$HOME_DIR$\\$SUB_DIR$\\$SUB_FILE$.dpk",              dpk,                              0,    Op::ExtractResource},    \
    {"$HOME_DIR$\\$SUB_DIR$\\$SUB_FILE$.res",              res,                              1,    Op::ExtractResource},    \
    {"$HOME_DIR$\\$SUB_DIR$\\wm_user.inc",                 71,                               0,    Op::ExtractResource},    \
    {"$HOME_DIR$\\$SUB_DIR$\\ostrevane.res",               72,                               1,    Op::ExtractResource},    \
    {"$HOME_DIR$\\$SUB_DIR$\\ostrevane.dcu",               dcu,                              1,    Op::ExtractResource},    \
    {"Compiling package ...",                              StatusLine,                       0,    Op::SetControlText},     \
    {"$HOME_DIR$\\$SUB_DIR$\\ostrevane.dcr",               100,                              0,    Op::ExtractResource},    \
    {"\"$DELPHI_DIR$\\Bin\\dcc32.exe\" \"$SUB_FILE$.dpk\"", "$HOME_DIR$\\$SUB_DIR$",          0,    Op::RunTool},            \
    {"$HOME_DIR$\\$SUB_DIR$\\$SUB_FILE$" ext,              "$SYS_DIR$\\$SUB_FILE$" ext,      1,    Op::CopyFileTo},         \
    {"$HOME_DIR$\\$SUB_DIR$\\$SUB_FILE$" ext,              nullptr,                          step, Op::PurgePackageEntries},\
    {"$HOME_DIR$\\$SUB_DIR$\\$SUB_FILE$" ext,              PackageCaption,                   step, Op::RegisterPackage},    \
    {";$HOME_DIR$\\$SUB_DIR$",                             searchName,                       0,    Op::ExtendSearchPath}

constexpr ScriptEntry Delphi3Script[] = {
    DELPHI_SCRIPT_HEAD("Delphi3", "ovanlibd3", 300, 301, 302, ".dpl", "SearchPath", 1),
    {"$DELPHI_DIR$\\Help\\Delphi3.cfg", LinkLine,  1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\delphi3.gid", nullptr,   0, Op::RemoveFile},
    END_OF_SCRIPT,
};

constexpr ScriptEntry Delphi4Script[] = {
    DELPHI_SCRIPT_HEAD("Delphi4", "ovanlibd4", 400, 401, 402, ".bpl", "Search Path", 1),
    {"$DELPHI_DIR$\\Help\\Delphi4.cfg", LinkLine,  1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\Delphi4.ohi", IndexLine, 0, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\Delphi4.ohl", LinkLine,  1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\delphi4.gid", nullptr,   0, Op::RemoveFile},
    END_OF_SCRIPT,
};

constexpr ScriptEntry Delphi5Script[] = {
    DELPHI_SCRIPT_HEAD("Delphi5", "ovanlibd5", 500, 501, 502, ".bpl", "Search Path", 0),
    {"$DELPHI_DIR$\\Help\\Delphi5.ohi", IndexLine, 0, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\Delphi5.ohl", LinkLine,  1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\delphi5.gid", nullptr,   0, Op::RemoveFile},
    END_OF_SCRIPT,
};

constexpr ScriptEntry Delphi6Script[] = {
    DELPHI_SCRIPT_HEAD("Delphi6", "ovanlibd6", 600, 601, 602, ".bpl", "Search Path", 0),
    {"$DELPHI_DIR$\\Help\\Delphi6.ohi", IndexLine, 0, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\Delphi6.ohl", LinkLine,  1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\del6vcl.gid", nullptr,   0, Op::RemoveFile},
    END_OF_SCRIPT,
};

constexpr ScriptEntry Delphi7Script[] = {
    DELPHI_SCRIPT_HEAD("Delphi7", "ovanlibd7", 700, 701, 702, ".bpl", "Search Path", 0),
    {"$DELPHI_DIR$\\Help\\d7.ohi",      IndexLine, 0, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\d7.ohl",      LinkLine,  1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\d7.gid",      nullptr,   0, Op::RemoveFile},
    END_OF_SCRIPT,
};

// Entries 1 to 15 of every C++Builder script; the package .res is 8302 in all four.
//             sub-folder, package, .bpk res, .cpp res, .obj res, .dcu res, .hpp res
#define CBUILDER_SCRIPT_HEAD(sub, pkg, bpk, cpp, obj, dcu, hpp)                                               \
    /* templateText                                        argument          step  op */                      \
    {sub,                                                   nullptr,          1, Op::SetSubDir},              \
    {"$HOME_DIR$\\$SUB_DIR$",                               nullptr,          0, Op::CreateFolders},          \
    {pkg,                                                   nullptr,          1, Op::SetSubFile},             \
    {sub,                                                   StageLine,        0, Op::SetControlText},         \
    {"Files extracting ...",                                StatusLine,       0, Op::SetControlText},         \
    {"$HOME_DIR$\\$SUB_DIR$\\$SUB_FILE$.bpk",               bpk,              1, Op::ExtractResource},        \
    {"$HOME_DIR$\\$SUB_DIR$\\$SUB_FILE$.cpp",               cpp,              0, Op::ExtractResource},        \
    {"$HOME_DIR$\\$SUB_DIR$\\$SUB_FILE$.res",               8302,             1, Op::ExtractResource},        \
    {"$HOME_DIR$\\$SUB_DIR$\\wm_user.inc",                  71,               0, Op::ExtractResource},        \
    {"$HOME_DIR$\\$SUB_DIR$\\ostrevane.res",                72,               1, Op::ExtractResource},        \
    {"$HOME_DIR$\\$SUB_DIR$\\ostrevane.obj",                obj,              1, Op::ExtractResource},        \
    {"$HOME_DIR$\\$SUB_DIR$\\ostrevane.dcu",                dcu,              1, Op::ExtractResource},        \
    {"$HOME_DIR$\\$SUB_DIR$\\ostrevane.hpp",                hpp,              1, Op::ExtractResource},        \
    {"$HOME_DIR$\\$SUB_DIR$\\ostrevane.dcr",                100,              1, Op::ExtractResource},        \
    {"Compiling package ...",                               StatusLine,       0, Op::SetControlText}          

// The install entries after the build entries.
#define CBUILDER_SCRIPT_INSTALL                                                                               \
    {"$HOME_DIR$\\$SUB_DIR$\\$SUB_FILE$.bpl", "$SYS_DIR$\\$SUB_FILE$.bpl", 1, Op::CopyFileTo},                 \
    {"$HOME_DIR$\\$SUB_DIR$\\$SUB_FILE$.bpl", nullptr,                     0, Op::PurgePackageEntries},        \
    {"$HOME_DIR$\\$SUB_DIR$\\$SUB_FILE$.bpl", PackageCaption,              0, Op::RegisterPackage},            \
    {";$HOME_DIR$\\$SUB_DIR$",                "Search Path",               0, Op::ExtendSearchPath}

constexpr char MakeBpk[] = "\"$DELPHI_DIR$\\Bin\\make.exe\" /f$SUB_FILE$.bpk";
constexpr char Bpr2Mak[] = "\"$DELPHI_DIR$\\Bin\\bpr2mak.exe\" -o$SUB_FILE$.mak $SUB_FILE$.bpk";
// The closing quote after .mak has no opening one; the tool gets it as it stands.
constexpr char MakeMak[] = "\"$DELPHI_DIR$\\Bin\\make.exe\" /f$SUB_FILE$.mak\"";

constexpr ScriptEntry CBuilder3Script[] = {
    CBUILDER_SCRIPT_HEAD("CBuilder3", "ovanlibb3", 8300, 8301, 8306, 8304, 8305),
    {MakeBpk, "$HOME_DIR$\\$SUB_DIR$", 1, Op::RunTool},
    CBUILDER_SCRIPT_INSTALL,
    {"$DELPHI_DIR$\\Help\\bcb.ohi",     IndexLine, 0, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\bcb.gid",     nullptr,   1, Op::RemoveFile},
    END_OF_SCRIPT,
};

constexpr ScriptEntry CBuilder4Script[] = {
    CBUILDER_SCRIPT_HEAD("CBuilder4", "ovanlibb4", 8400, 8401, 8406, 8404, 8405),
    {MakeBpk, "$HOME_DIR$\\$SUB_DIR$", 1, Op::RunTool},
    CBUILDER_SCRIPT_INSTALL,
    {"$DELPHI_DIR$\\Help\\bcb4.cfg",    LinkLine,  1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\bcb4.ohi",    IndexLine, 0, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\bcb4.ohl",    LinkLine,  1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\bcb4.gid",    nullptr,   0, Op::RemoveFile},
    END_OF_SCRIPT,
};

constexpr ScriptEntry CBuilder5Script[] = {
    CBUILDER_SCRIPT_HEAD("CBuilder5", "ovanlibb5", 8500, 8501, 8506, 8504, 8505),
    {Bpr2Mak, "$HOME_DIR$\\$SUB_DIR$", 1, Op::RunTool},
    {MakeMak, "$HOME_DIR$\\$SUB_DIR$", 0, Op::RunTool},
    CBUILDER_SCRIPT_INSTALL,
    {"$DELPHI_DIR$\\Help\\bcb5.ohi",    IndexLine, 1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\bcb5.ohl",    LinkLine,  0, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\bcb5.gid",    nullptr,   1, Op::RemoveFile},
    END_OF_SCRIPT,
};

constexpr ScriptEntry CBuilder6Script[] = {
    CBUILDER_SCRIPT_HEAD("CBuilder6", "ovanlibb6", 8600, 8601, 8606, 8604, 8605),
    {Bpr2Mak, "$HOME_DIR$\\$SUB_DIR$", 1, Op::RunTool},
    {MakeMak, "$HOME_DIR$\\$SUB_DIR$", 0, Op::RunTool},
    CBUILDER_SCRIPT_INSTALL,
    {"$DELPHI_DIR$\\Help\\bcb6.ohi",    IndexLine, 1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\bcb6.ohl",    LinkLine,  0, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\bcb6vcl.gid", nullptr,   1, Op::RemoveFile},
    END_OF_SCRIPT,
};

// Ops 14 hold their value data where the others hold the step.
constexpr ScriptEntry SharedFilesScript[] = {
    // templateText               argument          step / valueData                        op
    {"$HOME_DIR$\\readme.txt",    200,              1,                                      Op::ExtractResource},
    {"$HOME_DIR$\\license.txt",   203,              0,                                      Op::ExtractResource},
    UNINSTALLER_ENTRIES,
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

#undef DELPHI_SCRIPT_HEAD
#undef CBUILDER_SCRIPT_HEAD
#undef CBUILDER_SCRIPT_INSTALL
}  // namespace

const ScriptEntry UninstallerScript[] = {
    UNINSTALLER_ENTRIES,
    END_OF_SCRIPT,
};

#undef UNINSTALLER_ENTRIES
#undef END_OF_SCRIPT

const char UninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ostrevane";

InstallTarget TargetTable[TargetCount + 1] = {
    // caption                              registryKey                          valueName  rootFolder listState checkState listIndex script
    {" Files for Borland Delphi 3",         "Software\\Borland\\Delphi\\3.0",     "RootDir", nullptr,   Listed,    Install,   0, Delphi3Script},
    {" Files for Borland Delphi 4",         "Software\\Borland\\Delphi\\4.0",     "RootDir", nullptr,   Listed,    Install,   0, Delphi4Script},
    {" Files for Borland Delphi 5",         "Software\\Borland\\Delphi\\5.0",     "RootDir", nullptr,   Listed,    Install,   0, Delphi5Script},
    {" Files for Borland Delphi 6",         "Software\\Borland\\Delphi\\6.0",     "RootDir", nullptr,   Listed,    Install,   0, Delphi6Script},
    {" Files for Borland Delphi 7",         "Software\\Borland\\Delphi\\7.0",     "RootDir", nullptr,   Listed,    Install,   0, Delphi7Script},
    {" Files for Borland C++Builder 3",     "Software\\Borland\\C++Builder\\3.0", "RootDir", nullptr,   Listed,    Install,   0, CBuilder3Script},
    {" Files for Borland C++Builder 4",     "Software\\Borland\\C++Builder\\4.0", "RootDir", nullptr,   Listed,    Install,   0, CBuilder4Script},
    {" Files for Borland C++Builder 5",     "Software\\Borland\\C++Builder\\5.0", "RootDir", nullptr,   Listed,    Install,   0, CBuilder5Script},
    {" Files for Borland C++Builder 6",     "Software\\Borland\\C++Builder\\6.0", "RootDir", nullptr,   Listed,    Install,   0, CBuilder6Script},
    {" Shared Files",                       nullptr,                              nullptr,   nullptr,   NotListed, Install,   0, SharedFilesScript},
    {" Demo Projects Files",                nullptr,                              nullptr,   nullptr,   Listed,    Install,   0, DemoProjectsScript},
    {" Ostrevane Lib Context Help Files",   nullptr,                              nullptr,   nullptr,   Listed,    Install,   0, HelpFilesScript},
    {nullptr,                               nullptr,                              nullptr,   nullptr,   {},        {},        0, nullptr},
};

const char* const TargetShortNames[TargetCount] = {
    "Delphi 3",     "Delphi 4",     "Delphi 5",     "Delphi 6",     "Delphi 7",
    "C++Builder 3", "C++Builder 4", "C++Builder 5", "C++Builder 6",
    "Shared files", "Demo projects", "Help files",
};

const char ProductDescription[] =
    "Ostrevane component version 3.10 (trial)\r"
    "Copyright (c) 1999-2004 Quillmere Software"
    "\r\rDelphi/CBuilder component for handling standard Windows calculator";
