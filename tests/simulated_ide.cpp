#include "simulated_ide.h"

#include <cstdio>

const SimulatedIde SimulatedIdes[9] = {
    // row folder        sub-folder    package      ext     registry key                            search value   tools                      help files                                  gid            steps calls
    {0, "Delphi3",   "Delphi3",   "ovanlibd3", ".dpl", "Software\\Borland\\Delphi\\3.0",     "SearchPath",  {"dcc32.exe", nullptr},    {"Delphi3.cfg", nullptr, nullptr},          "delphi3.gid",   8, 1},
    {1, "Delphi4",   "Delphi4",   "ovanlibd4", ".bpl", "Software\\Borland\\Delphi\\4.0",     "Search Path", {"dcc32.exe", nullptr},    {"Delphi4.cfg", "Delphi4.ohi", "Delphi4.ohl"}, "delphi4.gid",   9, 1},
    {2, "Delphi5",   "Delphi5",   "ovanlibd5", ".bpl", "Software\\Borland\\Delphi\\5.0",     "Search Path", {"dcc32.exe", nullptr},    {"Delphi5.ohi", "Delphi5.ohl", nullptr},    "delphi5.gid",   6, 1},
    {3, "Delphi6",   "Delphi6",   "ovanlibd6", ".bpl", "Software\\Borland\\Delphi\\6.0",     "Search Path", {"dcc32.exe", nullptr},    {"Delphi6.ohi", "Delphi6.ohl", nullptr},    "del6vcl.gid",   6, 1},
    {4, "Delphi7",   "Delphi7",   "ovanlibd7", ".bpl", "Software\\Borland\\Delphi\\7.0",     "Search Path", {"dcc32.exe", nullptr},    {"d7.ohi", "d7.ohl", nullptr},              "d7.gid",        6, 1},
    {5, "CBuilder3", "CBuilder3", "ovanlibb3", ".bpl", "Software\\Borland\\C++Builder\\3.0", "Search Path", {"make.exe", nullptr},     {"bcb.ohi", nullptr, nullptr},              "bcb.gid",      12, 1},
    {6, "CBuilder4", "CBuilder4", "ovanlibb4", ".bpl", "Software\\Borland\\C++Builder\\4.0", "Search Path", {"make.exe", nullptr},     {"bcb4.cfg", "bcb4.ohi", "bcb4.ohl"},       "bcb4.gid",     13, 1},
    {7, "CBuilder5", "CBuilder5", "ovanlibb5", ".bpl", "Software\\Borland\\C++Builder\\5.0", "Search Path", {"make.exe", "bpr2mak.exe"}, {"bcb5.ohi", "bcb5.ohl", nullptr},          "bcb5.gid",     13, 2},
    {8, "CBuilder6", "CBuilder6", "ovanlibb6", ".bpl", "Software\\Borland\\C++Builder\\6.0", "Search Path", {"make.exe", "bpr2mak.exe"}, {"bcb6.ohi", "bcb6.ohl", nullptr},          "bcb6vcl.gid",  13, 2},
};

std::string StandInPath()
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    return path.substr(0, path.rfind('\\')) + "\\standin.exe";
}

bool RunningIde::Start(const SimulatedIde& ide, const std::string& ideFolder, const IdeRun& how)
{
    const std::string folder = ideFolder + "\\" + how.folder;
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string program = folder + (ide.row < 5 ? "\\delphi32.exe" : "\\bcb.exe");
    const std::string standIn = StandInPath().substr(0, StandInPath().rfind('\\')) + "\\appbuilder.exe";
    if (!CopyFileA(standIn.c_str(), program.c_str(), FALSE)) return false;
    if (how.secondName) {
        const std::string second = folder + "\\ide.exe";
        DeleteFileA(second.c_str());
        if (!CreateHardLinkA(second.c_str(), program.c_str(), nullptr)) return false;
        program = second;
    }
    if (how.shortPath) program = ShortPath(program);
    if (program.empty()) return false;
    if (!how.window) {
        started_ = program + ".started";
        DeleteFileA(started_.c_str());
        if (!process_.Start(program, "\"" + program + "\" /hidden") ||
            !WaitUntil([&] { return FileExists(started_); }, 10000))
            return false;
    } else {
        if (!process_.Start(program, "\"" + program + "\"")) return false;
        window_ = WaitForWindow(process_.Id(), "", 10000, "TAppBuilder");
        if (!window_) return false;
    }
    // Unix removes what Windows keeps while it runs.
    return !how.fileGone || (RunUnix("rm", "-f " + Quoted(UnixPath(program))) &&
                             WaitUntil([&] { return !FileExists(program); }, 5000));
}

void RunningIde::Close()
{
    if (!started_.empty()) {
        process_.Terminate();
        DeleteFileA(started_.c_str());
        started_.clear();
    }
    if (!window_) return;
    PostMessageA(window_, WM_CLOSE, 0, 0);
    WaitUntil([&] { return !IsWindow(window_); }, 5000);
    window_ = nullptr;
}

void SetRootDir(const SimulatedIde& ide, const std::string& text)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ide.registryKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegSetValueExA(key, "RootDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

std::string ShortPath(const std::string& path)
{
    char text[MAX_PATH];
    const DWORD length = GetShortPathNameA(path.c_str(), text, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? "" : text;
}

std::string CreateSimulatedIde(const SimulatedIde& ide, const std::string& root)
{
    const std::string folder = root + "\\" + ide.folder;
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "\\Bin").c_str(), nullptr);
    CreateDirectoryA((folder + "\\Help").c_str(), nullptr);
    for (const char* tool : ide.tools)
        if (tool) CopyFileA(StandInPath().c_str(), (folder + "\\Bin\\" + tool).c_str(), FALSE);
    if (std::string(ide.packageExt) == ".dpl") WriteFileText(folder + "\\Bin\\standin.cfg", "ext=.dpl\r\n");
    for (const char* help : ide.helpFiles)
        if (help) WriteFileText(folder + "\\Help\\" + help, std::string(":Base ") + ide.folder + ".hlp\r\n");
    WriteFileText(folder + "\\Help\\" + ide.gidFile, "index cache");

    SetRegistryValue(HKEY_LOCAL_MACHINE, ide.registryKey, "RootDir", REG_SZ, Sz(folder));
    return folder;
}

void RemoveSimulatedIdeKeys()
{
    DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Borland");
    DeleteTree(HKEY_CURRENT_USER, "Software\\Borland");
}

std::vector<std::string> ToolCalls(const std::string& ideFolder)
{
    std::vector<std::string> calls;
    std::string log = ReadFileText(ideFolder + "\\Bin\\calls.log");
    if (log == "<missing>") return calls;
    std::size_t at = 0;
    while (at < log.size()) {
        std::size_t end = log.find('\n', at);
        if (end == std::string::npos) end = log.size();
        std::string line = log.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) calls.push_back(line);
        at = end + 1;
    }
    return calls;
}

void HoldTool(const std::string& ideFolder, const char* tool)
{
    const std::string config = ideFolder + "\\Bin\\standin.cfg";
    std::string text = ReadFileText(config);
    if (text == "<missing>") text.clear();
    WriteFileText(config, text + "wait=" + tool + "\r\n");
}

bool ToolWaiting(const std::string& ideFolder, const char* tool)
{
    return FileExists(ideFolder + "\\Bin\\" + tool + ".waiting");
}

void ReleaseTool(const std::string& ideFolder, const char* tool)
{
    WriteFileText(ideFolder + "\\Bin\\" + tool + ".go", "");
}
