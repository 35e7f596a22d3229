#include "environments.h"

#include <windows.h>

#include "bounded_text.h"
#include "log_records.h"
#include "log_replay.h"
#include "ownership_rules.h"
#include "process_identity.h"
#include "user_texts.h"

namespace {

constexpr unsigned MaxNamed = 9;
constexpr unsigned MessageSize = MaxNamed * (EnvironmentNameSize + 2) + 96;
constexpr char AnyEnvironment[] = "Delphi or C++Builder";

// The environments the check looks for: their names and main programs.
struct Environments {
    char names[MaxNamed][EnvironmentNameSize];
    IdeProgram programs[MaxNamed];
    unsigned count;
};

// The folder in the environment's "RootDir" under HKLM into rootFolder
// (PathSize bytes); the empty text when it cannot be read.
void ReadRootFolder(const char* key, char* rootFolder)
{
    HKEY environment;
    DWORD size = PathSize - 1, type = 0;
    bool read = false;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &environment) == ERROR_SUCCESS) {
        read = RegQueryValueExA(environment, EnvironmentRootValue, nullptr, &type, reinterpret_cast<BYTE*>(rootFolder), &size) ==
                   ERROR_SUCCESS && type == REG_SZ;
        RegCloseKey(environment);
    }
    rootFolder[read ? size : 0] = 0;
}

// The environment of key with its main program, added to environments
// unless its name is there already.
void AddEnvironment(const char* key, Environments* environments)
{
    const unsigned added = environments->count;
    char* name = environments->names[added];
    EnvironmentNameOf(key, name);
    for (unsigned i = 0; i < added; ++i)
        if (lstrcmpiA(environments->names[i], name) == 0) return;
    char rootFolder[PathSize];
    ReadRootFolder(key, rootFolder);
    // Delphi's keys name "Delphi", C++Builder's "C++Builder".
    FindIdeProgram(rootFolder, name[0] == 'D' ? DelphiProgram : BuilderProgram,
                   &environments->programs[added]);
    environments->count = added + 1;
}

// The names of the running environments the log names, each once; their
// count. An environment whose folder is not known is told only by a main
// window whose program file cannot be told. Without a name in the log, any
// environment installed here counts, under one name for all.
unsigned RunningNamed(char (*names)[EnvironmentNameSize])
{
    Environments environments;
    environments.count = 0;
    char key[PathSize];
    // The records the replay will read, without moving it.
    const char* const replayAt = readPosition;
    readPosition = logData;
    for (int type; (type = ReadNextRecord()) != 0;)
        if (type == UserKeyOpen && EnvironmentKeyOf(currentText, key) && environments.count < MaxNamed)
            AddEnvironment(key, &environments);
    readPosition = replayAt;
    const bool named = environments.count > 0;
    if (!named)
        for (const char* environment : EnvironmentKeys) AddEnvironment(environment, &environments);
    bool untoldHere;
    const DWORD runs = RunningIdePrograms(environments.programs, environments.count, &untoldHere);
    const bool untold = untoldHere && UntoldAppBuilderRuns();
    unsigned running = 0;
    for (unsigned i = 0; i < environments.count; ++i)
        if ((runs >> i & 1) || (named && untold))
            CopyText(names[running++], EnvironmentNameSize, environments.names[i]);
    if (named || (running == 0 && !untold)) return running;
    CopyText(names[0], EnvironmentNameSize, AnyEnvironment);
    return 1;
}

}  // namespace

bool EnvironmentsClosed(bool ask)
{
    if (!logData) return true;
    for (;;) {
        char names[MaxNamed][EnvironmentNameSize];
        const unsigned count = RunningNamed(names);
        if (count == 0) return true;
        if (!ask) return false;
        char text[MessageSize];
        text[0] = 0;
        for (unsigned i = 0; i < count; ++i) {
            if (i > 0) AppendText(text, MessageSize, i + 1 == count ? " and " : ", ");
            AppendText(text, MessageSize, names[i]);
        }
        AppendText(text, MessageSize,
                   count == 1 ? " is running and must be closed first.\nClose it, then press Retry."
                              : " are running and must be closed first.\nClose them, then press Retry.");
        if (MessageBoxA(DialogWindow, text, "Uninstall - Quillmere", MB_RETRYCANCEL | MB_ICONEXCLAMATION) != IDRETRY)
            return false;
    }
}
