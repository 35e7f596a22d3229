#pragma once
// Simulated Delphi and C++Builder installations in the test prefix: the
// "RootDir" registry values, stand-in command-line tools and help files.
#include <windows.h>

#include <string>
#include <vector>

#include "gui_driver.h"
#include "test_files.h"

struct SimulatedIde {
    int row;                 // the TargetTable row, 0..8
    const char* folder;      // below the simulation root
    const char* subFolder;   // the installer's sub-folder for it
    const char* package;     // ovanlibXN
    const char* packageExt;  // ".bpl", ".dpl" for Delphi 3
    const char* registryKey;
    const char* searchValue; // "Search Path" or "SearchPath"
    const char* tools[2];    // stand-in tools in Bin
    const char* helpFiles[3];// help configuration files that exist
    const char* gidFile;
    int steps;               // how far one installation of the row moves the bar
    int toolCalls;           // the tools one installation of the row runs
};

extern const SimulatedIde SimulatedIdes[9];

std::string StandInPath();                 // build\tests\standin.exe

// Creates the environment's folder with Bin tools and Help files under root and
// its HKLM RootDir value; Remove undoes both.
std::string CreateSimulatedIde(const SimulatedIde& ide, const std::string& root);
void RemoveSimulatedIdeKeys();
// The calls the stand-in tools recorded: "tool|command line|folder" lines.
std::vector<std::string> ToolCalls(const std::string& ideFolder);
// A held tool (stand-in name without ".exe") waits once started, keeping its
// caller at that step, until ReleaseTool; ToolWaiting tells it has started.
void HoldTool(const std::string& ideFolder, const char* tool);
bool ToolWaiting(const std::string& ideFolder, const char* tool);
void ReleaseTool(const std::string& ideFolder, const char* tool);

// How the stand-in main program runs.
struct IdeRun {
    const char* folder = "Bin";  // where it lies below the environment's folder
    bool window = true;          // false: no window at all
    bool shortPath = false;      // started by the short (8.3) form of its path
    bool fileGone = false;       // its program file deleted once it runs, so that none can open it
    bool secondName = false;     // started by a second name of its program file (a hard link) in the same folder
};

// The environment running: the stand-in main program copied as the
// environment's Bin\delphi32.exe (bcb.exe for C++Builder) and started, until
// its "TAppBuilder" window is closed as the user closes it (a stand-in
// without a window is ended).
class RunningIde {
public:
    bool Start(const SimulatedIde& ide, const std::string& ideFolder, const IdeRun& how = {});
    void Close();
    ~RunningIde() { Close(); }

private:
    ChildProcess process_;
    HWND window_ = nullptr;
    std::string started_;  // the file a stand-in without a window writes
};

// The environment's "RootDir" rewritten, as other set-ups and users spell it.
void SetRootDir(const SimulatedIde& ide, const std::string& text);
std::string ShortPath(const std::string& path);  // the 8.3 form; empty when there is none
