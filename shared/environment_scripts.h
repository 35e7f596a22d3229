#pragma once
// The environments' install scripts: the catalogue installs with them, the registrar reads each user's steps out of them.
// Constant data and compile-time reading only: no C runtime, no <windows.h>.
#include "product_facts.h"
#include "script_format.h"

// The data of the product's entry in Known Packages.
inline constexpr char PackageCaption[] = "Ostrevane v3.10 (trial) VCL";

// The scripts by name; EnvironmentScripts below lists them in the order of the keys.
namespace environment_scripts {

using Op = ScriptOp;

#define ENVIRONMENT_SCRIPT_END {nullptr, nullptr, 0, Op::ProgressOnly}

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

inline constexpr ScriptEntry Delphi3Script[] = {
    DELPHI_SCRIPT_HEAD("Delphi3", "ovanlibd3", 300, 301, 302, ".dpl", "SearchPath", 1),
    {"$DELPHI_DIR$\\Help\\Delphi3.cfg", LinkLine,  1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\delphi3.gid", nullptr,   0, Op::RemoveFile},
    ENVIRONMENT_SCRIPT_END,
};

inline constexpr ScriptEntry Delphi4Script[] = {
    DELPHI_SCRIPT_HEAD("Delphi4", "ovanlibd4", 400, 401, 402, ".bpl", "Search Path", 1),
    {"$DELPHI_DIR$\\Help\\Delphi4.cfg", LinkLine,  1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\Delphi4.ohi", IndexLine, 0, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\Delphi4.ohl", LinkLine,  1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\delphi4.gid", nullptr,   0, Op::RemoveFile},
    ENVIRONMENT_SCRIPT_END,
};

inline constexpr ScriptEntry Delphi5Script[] = {
    DELPHI_SCRIPT_HEAD("Delphi5", "ovanlibd5", 500, 501, 502, ".bpl", "Search Path", 0),
    {"$DELPHI_DIR$\\Help\\Delphi5.ohi", IndexLine, 0, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\Delphi5.ohl", LinkLine,  1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\delphi5.gid", nullptr,   0, Op::RemoveFile},
    ENVIRONMENT_SCRIPT_END,
};

inline constexpr ScriptEntry Delphi6Script[] = {
    DELPHI_SCRIPT_HEAD("Delphi6", "ovanlibd6", 600, 601, 602, ".bpl", "Search Path", 0),
    {"$DELPHI_DIR$\\Help\\Delphi6.ohi", IndexLine, 0, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\Delphi6.ohl", LinkLine,  1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\del6vcl.gid", nullptr,   0, Op::RemoveFile},
    ENVIRONMENT_SCRIPT_END,
};

inline constexpr ScriptEntry Delphi7Script[] = {
    DELPHI_SCRIPT_HEAD("Delphi7", "ovanlibd7", 700, 701, 702, ".bpl", "Search Path", 0),
    {"$DELPHI_DIR$\\Help\\d7.ohi",      IndexLine, 0, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\d7.ohl",      LinkLine,  1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\d7.gid",      nullptr,   0, Op::RemoveFile},
    ENVIRONMENT_SCRIPT_END,
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

inline constexpr char MakeBpk[] = "\"$DELPHI_DIR$\\Bin\\make.exe\" /f$SUB_FILE$.bpk";
inline constexpr char Bpr2Mak[] = "\"$DELPHI_DIR$\\Bin\\bpr2mak.exe\" -o$SUB_FILE$.mak $SUB_FILE$.bpk";
// The closing quote after .mak has no opening one; the tool gets it as it stands.
inline constexpr char MakeMak[] = "\"$DELPHI_DIR$\\Bin\\make.exe\" /f$SUB_FILE$.mak\"";

inline constexpr ScriptEntry CBuilder3Script[] = {
    CBUILDER_SCRIPT_HEAD("CBuilder3", "ovanlibb3", 8300, 8301, 8306, 8304, 8305),
    {MakeBpk, "$HOME_DIR$\\$SUB_DIR$", 1, Op::RunTool},
    CBUILDER_SCRIPT_INSTALL,
    {"$DELPHI_DIR$\\Help\\bcb.ohi",     IndexLine, 0, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\bcb.gid",     nullptr,   1, Op::RemoveFile},
    ENVIRONMENT_SCRIPT_END,
};

inline constexpr ScriptEntry CBuilder4Script[] = {
    CBUILDER_SCRIPT_HEAD("CBuilder4", "ovanlibb4", 8400, 8401, 8406, 8404, 8405),
    {MakeBpk, "$HOME_DIR$\\$SUB_DIR$", 1, Op::RunTool},
    CBUILDER_SCRIPT_INSTALL,
    {"$DELPHI_DIR$\\Help\\bcb4.cfg",    LinkLine,  1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\bcb4.ohi",    IndexLine, 0, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\bcb4.ohl",    LinkLine,  1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\bcb4.gid",    nullptr,   0, Op::RemoveFile},
    ENVIRONMENT_SCRIPT_END,
};

inline constexpr ScriptEntry CBuilder5Script[] = {
    CBUILDER_SCRIPT_HEAD("CBuilder5", "ovanlibb5", 8500, 8501, 8506, 8504, 8505),
    {Bpr2Mak, "$HOME_DIR$\\$SUB_DIR$", 1, Op::RunTool},
    {MakeMak, "$HOME_DIR$\\$SUB_DIR$", 0, Op::RunTool},
    CBUILDER_SCRIPT_INSTALL,
    {"$DELPHI_DIR$\\Help\\bcb5.ohi",    IndexLine, 1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\bcb5.ohl",    LinkLine,  0, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\bcb5.gid",    nullptr,   1, Op::RemoveFile},
    ENVIRONMENT_SCRIPT_END,
};

inline constexpr ScriptEntry CBuilder6Script[] = {
    CBUILDER_SCRIPT_HEAD("CBuilder6", "ovanlibb6", 8600, 8601, 8606, 8604, 8605),
    {Bpr2Mak, "$HOME_DIR$\\$SUB_DIR$", 1, Op::RunTool},
    {MakeMak, "$HOME_DIR$\\$SUB_DIR$", 0, Op::RunTool},
    CBUILDER_SCRIPT_INSTALL,
    {"$DELPHI_DIR$\\Help\\bcb6.ohi",    IndexLine, 1, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\bcb6.ohl",    LinkLine,  0, Op::AppendOnce},
    {"$DELPHI_DIR$\\Help\\bcb6vcl.gid", nullptr,   1, Op::RemoveFile},
    ENVIRONMENT_SCRIPT_END,
};

}  // namespace environment_scripts

#undef DELPHI_SCRIPT_HEAD
#undef CBUILDER_SCRIPT_HEAD
#undef CBUILDER_SCRIPT_INSTALL
#undef ENVIRONMENT_SCRIPT_END

// By environment, in the order of EnvironmentKeys.
inline constexpr const ScriptEntry* EnvironmentScripts[EnvironmentCount] = {
    environment_scripts::Delphi3Script,   environment_scripts::Delphi4Script,   environment_scripts::Delphi5Script,
    environment_scripts::Delphi6Script,   environment_scripts::Delphi7Script,   environment_scripts::CBuilder3Script,
    environment_scripts::CBuilder4Script, environment_scripts::CBuilder5Script, environment_scripts::CBuilder6Script,
};

// What a user's own registrations take from an environment's script: the
// package the install steps name, its entry's data and the search path's value.
// The package's path is <home>\<subFolder>\<package><extension>, the search
// path's entry <home>\<subFolder>.
struct UserSteps {
    const char* subFolder;
    const char* package;
    const char* extension;
    const char* caption;
    const char* searchPathValue;
};

inline constexpr char PackagePathTemplate[] = "$HOME_DIR$\\$SUB_DIR$\\$SUB_FILE$";
inline constexpr char SearchEntryTemplate[] = ";$HOME_DIR$\\$SUB_DIR$";

// The steps as the script's per-user entries name them; a field stays null
// when the script's entries are not of the shape read here.
constexpr UserSteps UserStepsOf(const ScriptEntry* script)
{
    UserSteps steps = {};
    const char* subFolder = nullptr;
    const char* package = nullptr;
    for (const ScriptEntry* entry = script; entry->templateText; ++entry) {
        const char* text = entry->templateText;
        switch (entry->op) {
        case ScriptOp::SetSubDir: subFolder = text; break;
        case ScriptOp::SetSubFile: package = text; break;
        case ScriptOp::RegisterPackage:
            steps.subFolder = subFolder;
            steps.package = package;
            steps.extension = After(text, PackagePathTemplate);
            steps.caption = entry->argument.text;
            break;
        case ScriptOp::ExtendSearchPath:
            if (const char* rest = After(text, SearchEntryTemplate); rest && !*rest)
                steps.searchPathValue = entry->argument.text;
            break;
        default: break;
        }
    }
    return steps;
}

inline constexpr UserSteps EnvironmentUserSteps[EnvironmentCount] = {
    UserStepsOf(EnvironmentScripts[0]), UserStepsOf(EnvironmentScripts[1]), UserStepsOf(EnvironmentScripts[2]),
    UserStepsOf(EnvironmentScripts[3]), UserStepsOf(EnvironmentScripts[4]), UserStepsOf(EnvironmentScripts[5]),
    UserStepsOf(EnvironmentScripts[6]), UserStepsOf(EnvironmentScripts[7]), UserStepsOf(EnvironmentScripts[8]),
};

// Each script registers one package and extends one search path, and its
// purge names the package it registers: what the registrar repeats is whole.
constexpr bool UserStepsWhole(const ScriptEntry* script, const UserSteps& steps)
{
    if (!steps.subFolder || !steps.package || !steps.extension || !steps.caption || !steps.searchPathValue ||
        !OneOf(steps.searchPathValue, SearchPathValueNames))
        return false;
    int purges = 0, registrations = 0, extensions = 0;
    const char* registered = nullptr;
    for (const ScriptEntry* entry = script; entry->templateText; ++entry) {
        if (entry->op == ScriptOp::RegisterPackage) ++registrations, registered = entry->templateText;
        if (entry->op == ScriptOp::ExtendSearchPath) ++extensions;
        if (entry->op == ScriptOp::PurgePackageEntries) {
            if (registrations || !After(entry->templateText, PackagePathTemplate) ||
                !SameChars(After(entry->templateText, PackagePathTemplate), steps.extension))
                return false;
            ++purges;
        }
    }
    return purges == 1 && registrations == 1 && extensions == 1 && registered;
}

constexpr bool EveryEnvironmentWhole()
{
    for (unsigned i = 0; i < EnvironmentCount; ++i)
        if (!UserStepsWhole(EnvironmentScripts[i], EnvironmentUserSteps[i])) return false;
    return true;
}
static_assert(EveryEnvironmentWhole(), "an environment's per-user steps are not the shape the registrar repeats");
