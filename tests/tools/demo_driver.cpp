// The demo's hands and eyes inside Wine: prepares simulated Delphi 7 and
// C++Builder 6 installations, clicks through install.exe and kvxpurge, and
// reports what each step left behind.
//   demo_driver prepare ROOT
//   demo_driver install ROOT DESTINATION PICTURES [--interactive]
//   demo_driver state DESTINATION
//   demo_driver uninstall PICTURES [--interactive]
//   demo_driver after DESTINATION
//   demo_driver restart
#include <windows.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "../drive_kit.h"
#include "../gui_driver.h"
#include "../simulated_ide.h"

namespace {

constexpr int DemoRows[] = {4, 8};  // Delphi 7 and C++Builder 6

std::string Shown(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

void Line(const std::string& text) { std::printf("  %s\n", text.c_str()); }

std::string RootOf(const SimulatedIde& ide)
{
    return RegistryText(HKEY_LOCAL_MACHINE, ide.registryKey, "RootDir");
}

int Prepare(const std::string& root)
{
    // A demo starts from a clean slate each time.
    RemoveSimulatedIdeKeys();
    DeleteTree(HKEY_LOCAL_MACHINE, ProductHomeKey);
    DeleteTree(HKEY_LOCAL_MACHINE, ListEntryKey);
    RemoveTree(root);
    CreateDirectoryA(root.c_str(), nullptr);
    for (int row : DemoRows) {
        const SimulatedIde& ide = SimulatedIdes[row];
        const std::string folder = CreateSimulatedIde(ide, root);
        Line(std::string(ide.folder) + ": HKLM\\" + ide.registryKey + " RootDir = " + folder);
        std::string tools;
        for (const char* tool : ide.tools)
            if (tool) tools += std::string(tools.empty() ? "" : ", ") + tool;
        Line("  stand-in tools in Bin: " + tools + "; help files in Help: " + ide.helpFiles[0] + ", " +
             ide.helpFiles[1] + ", " + ide.gidFile);
        // A search path of the user's own, which the installer must keep.
        const std::string library = std::string(ide.registryKey) + "\\Library";
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, library.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
        const std::string path = row == 4 ? "$(DELPHI)\\Lib;$(DELPHI)\\Bin;$(DELPHI)\\Imports" : "$(BCB)\\Lib;$(BCB)\\Lib\\Obj";
        RegSetValueExA(key, "Search Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>(path.size() + 1));
        RegCloseKey(key);
        Line("  HKCU\\" + library + " Search Path = " + path);
    }
    return 0;
}

int Install(const std::string& destination, const std::string& pictures, bool interactive)
{
    if (interactive) {
        ChildProcess process;
        if (!process.Start(BuildFolder() + "\\install.exe", "install.exe")) return 1;
        Line("install.exe is on your display: click through its four pages.");
        while (process.Wait(1000) < 0) {
        }
        Line("install.exe ended");
        return 0;
    }
    const InstallerRun run = RunInstaller(BuildFolder() + "\\install.exe", destination, {" Demo Projects Files"}, pictures);
    Line("page 2 listed (1 = ticked):");
    for (const std::string& item : run.listed) Line("    " + item);
    Line("page 2 proposed the folder " + run.proposed);
    Line("the user unticked \" Demo Projects Files\" with the mouse and typed the folder " + destination);
    Line("page 4 reached: " + std::string(run.finished ? "yes" : "no") + ", progress bar at " +
         std::to_string(run.progress) + " of 100, install.exe exit code " + std::to_string(run.exitCode));
    if (!run.failure.empty()) {
        Line("FAILED: " + run.failure);
        return 1;
    }
    return 0;
}

// Every file below folder, with its size, by its path below it.
void ListFiles(const std::string& folder)
{
    std::map<std::string, std::string> files;
    AddFileBytes(folder, files);
    for (const auto& [path, bytes] : files) {
        char size[32];
        std::snprintf(size, sizeof size, "%8lu", static_cast<unsigned long>(bytes.size()));
        Line(std::string(size) + "  " + path.substr(folder.size() + 1));
    }
}

int State(const std::string& destination)
{
    Line("files in " + destination + ":");
    ListFiles(destination);
    const std::string sys = SystemFolder();
    Line("files in the system folder " + sys + ":");
    for (const char* file : {"kvxpurge.exe", "ovanlibd7.bpl", "ovanlibb6.bpl"})
        if (FileExists(sys + "\\" + file)) Line("          " + std::string(file));
    Line("registry:");
    for (const char* value : {"DisplayName", "UninstallString"})
        Line(std::string("HKLM\\") + ListEntryKey + " " + value + " = " + RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, value));
    Line(std::string("HKLM\\") + ProductHomeKey + " RootDir = " + RegistryText(HKEY_LOCAL_MACHINE, ProductHomeKey, "RootDir"));
    for (const char* value : {"ostrevane.hlp", "ostrevane.cnt"})
        Line(std::string("HKLM\\") + WindowsHelpKey + " " + value + " = " + RegistryText(HKEY_LOCAL_MACHINE, WindowsHelpKey, value));
    for (int row : DemoRows) {
        const SimulatedIde& ide = SimulatedIdes[row];
        const std::string sub = destination + "\\" + ide.subFolder;
        const std::string package = sub + "\\" + ide.package + ide.packageExt;
        const std::string packages = std::string(ide.registryKey) + "\\Known Packages";
        const std::string library = std::string(ide.registryKey) + "\\Library";
        Line("HKCU\\" + packages + " " + package + " = " +
             RegistryText(HKEY_CURRENT_USER, packages.c_str(), package.c_str()));
        Line("HKCU\\" + library + " Search Path = " + RegistryText(HKEY_CURRENT_USER, library.c_str(), ide.searchValue));
        const std::string root = RootOf(ide);
        for (const std::string& call : ToolCalls(root)) Line("tool call: " + call);
        for (const char* help : ide.helpFiles)
            if (help) Line(std::string(ide.folder) + "\\Help\\" + help + ": " + Shown(ReadFileText(root + "\\Help\\" + help)));
        Line(std::string(ide.folder) + "\\Help\\" + ide.gidFile + (FileExists(root + "\\Help\\" + ide.gidFile) ? " is still there" : " was removed"));
    }
    return 0;
}

int Uninstall(const std::string& pictures, bool interactive)
{
    const std::string command = RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "UninstallString");
    Line("the registered UninstallString: " + command);
    if (interactive) {
        ChildProcess process;
        if (!process.Start("", command)) return 1;
        Line("kvxpurge is on your display: press \"Uninstall !!!\", then Finish.");
        while (process.Wait(1000) < 0) {
        }
        return 0;
    }
    const UninstallerRun run = RemoveProduct("Ostrevane", pictures);
    Line("kvxpurge showed: " + Shown(run.headline));
    Line("              and: " + run.stage);
    Line("after \"Uninstall !!!\": " + run.finishedStage + " / " + run.finishedStatus + ", exit code " +
         std::to_string(run.exitCode));
    if (!run.failure.empty()) {
        Line("FAILED: " + run.failure);
        return 1;
    }
    return 0;
}

// Everything the installation added, looked for again.
int After(const std::string& destination)
{
    std::vector<std::string> left;
    if (FileExists(destination)) left.push_back("the folder " + destination);
    const std::string sys = SystemFolder();
    for (const char* file : {"ovanlibd7.bpl", "ovanlibb6.bpl"})
        if (FileExists(sys + "\\" + file)) left.push_back("the package copy " + sys + "\\" + file);
    if (RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "DisplayName") != "<missing>")
        left.push_back("the entry in Windows' list of installed software");
    if (RegistryText(HKEY_LOCAL_MACHINE, ProductHomeKey, "RootDir") != "<missing>") left.push_back("HKLM\\" + std::string(ProductHomeKey));
    for (const char* value : {"ostrevane.hlp", "ostrevane.cnt"})
        if (RegistryText(HKEY_LOCAL_MACHINE, WindowsHelpKey, value) != "<missing>") left.push_back("the help value " + std::string(value));
    for (int row : DemoRows) {
        const SimulatedIde& ide = SimulatedIdes[row];
        const std::string package = destination + "\\" + ide.subFolder + "\\" + ide.package + ide.packageExt;
        const std::string packages = std::string(ide.registryKey) + "\\Known Packages";
        if (RegistryText(HKEY_CURRENT_USER, packages.c_str(), package.c_str()) != "<missing>")
            left.push_back(std::string(ide.folder) + "'s registration of " + package);
        const std::string library = std::string(ide.registryKey) + "\\Library";
        const std::string path = RegistryText(HKEY_CURRENT_USER, library.c_str(), ide.searchValue);
        Line("HKCU\\" + library + " Search Path = " + path);
        if (path.find(destination) != std::string::npos) left.push_back(std::string(ide.folder) + "'s search path entry");
        for (const char* help : ide.helpFiles)
            if (help && ReadFileText(RootOf(ide) + "\\Help\\" + help).find("ostrevane.hlp") != std::string::npos)
                left.push_back(std::string(ide.folder) + "\\Help\\" + help + "'s line");
    }
    for (const std::string& what : left) Line("left behind: " + what);
    if (left.empty()) Line("left behind: nothing");
    if (FileExists(sys + "\\kvxpurge.exe")) Line("the uninstaller's own file goes at the next restart of Windows");
    // Kept on purpose: each user's next logon takes the product's entries out of their environments.
    const std::string version = RegistryText(HKEY_LOCAL_MACHINE, LogonComponentKey, "Version");
    if (version != "<missing>") Line("kept for the users' next logons: the Active Setup component, Version " + version);
    for (const std::string& folder : {sys, WindowsFolder()})
        if (FileExists(folder + "\\kvxuser.exe")) Line("kept for the users' next logons: " + folder + "\\kvxuser.exe");
    return left.empty() ? 0 : 1;
}

int Restart()
{
    if (!RestartWindows()) {
        Line("FAILED: wineboot -r did not run");
        return 1;
    }
    const bool there = FileExists(SystemFolder() + "\\kvxpurge.exe");
    Line(std::string("after wineboot -r: kvxpurge.exe ") + (there ? "is still there" : "is gone"));
    return there ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const bool interactive = !args.empty() && args.back() == "--interactive";
    const std::string verb = args.empty() ? "" : args[0];
    int rc = 2;
    if (verb == "prepare" && args.size() >= 2) rc = Prepare(args[1]);
    else if (verb == "install" && args.size() >= 4) rc = Install(args[2], args[3], interactive);
    else if (verb == "state" && args.size() >= 2) rc = State(args[1]);
    else if (verb == "uninstall" && args.size() >= 2) rc = Uninstall(args[1], interactive);
    else if (verb == "after" && args.size() >= 2) rc = After(args[1]);
    else if (verb == "restart") rc = Restart();
    else std::fprintf(stderr, "usage: demo_driver prepare|install|state|uninstall|after|restart ...\n");
    std::fflush(stdout);
    return rc;
}
