#pragma once
// The built-in tables: the targets the user chooses among and their scripts.
#include <cstdint>

#include "interpreter.h"

constexpr std::int32_t Listed = 1;        // listState: shown in the check list
constexpr std::int32_t NotListed = -2;
constexpr std::int32_t Install = 1;       // checkState: to be installed
constexpr std::int32_t Unticked = -1;
constexpr std::int32_t NotFound = -2;

struct InstallTarget {
    const char* caption;       // null closes the table; begins with a blank
    const char* registryKey;   // under HKLM (and HKCU for the scripts); null: never detected
    const char* valueName;     // "RootDir", or null
    char* rootFolder;          // PathSize bytes from detection, or null
    std::int32_t listState;
    std::int32_t checkState;
    std::int32_t listIndex;
    const ScriptEntry* script;
};

constexpr int TargetCount = 12;
constexpr int SharedFilesRow = 9;
// The product's key in Windows' list of installed software, under HKLM.
extern const char UninstallKey[];
extern InstallTarget TargetTable[TargetCount + 1];
// The uninstaller and the entry in Windows' list that starts it: written
// before anything else, and again by the shared files.
extern const ScriptEntry UninstallerScript[];
// The rows' names where the finish page lists what failed, in table order.
extern const char* const TargetShortNames[TargetCount];

extern const char ProductDescription[];
