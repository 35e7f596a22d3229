// The benchmark's hands inside Wine. It prepares simulated environments whose
// stand-in tools exit at once, writes an NSIS script that installs what the
// kit's unattended installation installs, and times runs from this process.
//   bench_driver prepare ROOT ROWS STAGE_UNIX NSI   (the kit must have installed once: it installs)
//   bench_driver time ROOT ROWS RUNS LABEL=NSIS_EXE...
// ROWS are TargetTable rows of environments, comma-separated (4,8: Delphi 7
// and C++Builder 6). "time" prints one "name milliseconds" line per run, and
// per round one "phase-NAME milliseconds" line for each phase of the kit's
// benchmark copy (tests\timed\install.exe), which writes its own clock's
// times into the file OSTREVANE_PHASE_TIMES names, and "kit-less-tools": that
// copy's whole run but its waits for the tools.
#include <windows.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../../wizard/wizard_ids.h"
#include "../drive_kit.h"
#include "../gui_driver.h"
#include "../simulated_ide.h"
#include "product_facts.h"

namespace {


std::vector<int> Rows(const std::string& text)
{
    std::vector<int> rows;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) rows.push_back(std::stoi(item));
    return rows;
}

std::string Home(const std::string& root) { return root + "\\Ostrevane Home"; }

// Nothing of an installation left, and fresh environments for the rows.
void Reset(const std::string& root, const std::vector<int>& rows)
{
    RemoveProductTraces();
    RemoveTree(root);
    CreateDirectoryA(root.c_str(), nullptr);
    for (int row : rows) {
        const std::string folder = CreateSimulatedIde(SimulatedIdes[row], root);
        WriteFileText(folder + "\\Bin\\standin.cfg", "nowait\r\n");
    }
}

std::string NsisText(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '$') out += "$$";
        else if (c == '"') out += "$\\\"";
        else out += c;
    }
    return "\"" + out + "\"";
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('\\')); }
std::string NameOf(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

// "name=REG_SZ:text" or "name=REG_DWORD:n" as an NSIS write.
std::string RegistryWrite(const char* root, const std::string& key, const std::string& value)
{
    const std::size_t equals = value.find('='), colon = value.find(':', equals);
    const std::string name = value.substr(0, equals), type = value.substr(equals + 1, colon - equals - 1);
    const std::string data = value.substr(colon + 1);
    const char* op = type == "REG_DWORD" ? "WriteRegDWORD" : "WriteRegStr";
    return std::string("  ") + op + " " + root + " " + NsisText(key) + " " + NsisText(name) + " " + NsisText(data) + "\n";
}

int Prepare(const std::string& root, const std::vector<int>& rows, const std::string& stageUnix, const std::string& nsi)
{
    Reset(root, rows);
    std::map<std::string, std::string> before;
    for (int row : rows) AddFileBytes(root + "\\" + SimulatedIdes[row].folder, before);
    const std::string home = Home(root);
    const long code = RunUnattended(KitFolder() + "\\install.exe", "/S /D=" + home);
    if (code != 0) {
        std::printf("the kit's unattended installation ended with %ld\n", code);
        return 1;
    }
    // What the kit left: its files, the environments' files it changed, the package copies.
    std::map<std::string, std::string> after;
    AddFileBytes(home, after);
    after.erase(home + "\\uninst.kvx");
    std::vector<std::string> deleted;
    for (int row : rows) {
        std::map<std::string, std::string> ide;
        AddFileBytes(root + "\\" + SimulatedIdes[row].folder, ide);
        for (const auto& [path, bytes] : ide)
            if (!before.count(path) || before[path] != bytes) after[path] = bytes;
        for (const auto& entry : before)
            if (entry.first.rfind(root + "\\" + SimulatedIdes[row].folder, 0) == 0 && !ide.count(entry.first))
                deleted.push_back(entry.first);
        const std::string package = SystemFolder() + "\\" + SimulatedIdes[row].package + SimulatedIdes[row].packageExt;
        after[package] = ReadFileText(package);
    }
    const std::string purge = SystemFolder() + "\\kvxpurge.exe";
    after[purge] = ReadFileText(purge);

    std::string script = "Name \"Ostrevane\"\nOutFile \"${OUTFILE}\"\nRequestExecutionLevel admin\n";
    script += "InstallDir " + NsisText(home) + "\nSection\n";
    std::string folder;
    int index = 0;
    const std::string stageWin = "Z:" + [&] {
        std::string s = stageUnix;
        for (char& c : s)
            if (c == '/') c = '\\';
        return s;
    }();
    CreateDirectoryA(stageWin.c_str(), nullptr);
    for (const auto& [path, bytes] : after) {
        const std::string staged = std::to_string(++index);
        WriteFileText(stageWin + "\\" + staged, bytes);
        if (FolderOf(path) != folder) {
            folder = FolderOf(path);
            script += "  SetOutPath " + NsisText(folder) + "\n";
        }
        script += "  File " + NsisText("/oname=" + NameOf(path)) + " " + NsisText(stageUnix + "/" + staged) + "\n";
    }
    for (const std::string& path : deleted) script += "  Delete " + NsisText(path) + "\n";
    for (const char* key : {ListEntryKey, ProductHomeKey})
        for (const std::string& value : RegistryValues(HKEY_LOCAL_MACHINE, key)) script += RegistryWrite("HKLM", key, value);
    for (const std::string& value : RegistryValues(HKEY_LOCAL_MACHINE, WindowsHelpKey))
        if (value.find("ostrevane") == 0) script += RegistryWrite("HKLM", WindowsHelpKey, value);
    for (int row : rows)
        for (const char* sub : {"\\Known Packages", "\\Library"}) {
            const std::string key = std::string(SimulatedIdes[row].registryKey) + sub;
            for (const std::string& value : RegistryValues(HKEY_CURRENT_USER, key.c_str()))
                script += RegistryWrite("HKCU", key, value);
        }
    script += "  WriteUninstaller \"$INSTDIR\\nsis-uninst.exe\"\nSectionEnd\n\nSection Uninstall\n";
    // The same files as the kit's removal: those its log lists.
    for (const LogRecord& r : ReadUninstallLog(home + "\\uninst.kvx"))
        if (r.type == 3 && r.text != purge) script += "  Delete " + NsisText(r.text) + "\n";
    script += "  DeleteRegKey HKLM " + NsisText(ListEntryKey) + "\n  Delete \"$INSTDIR\\nsis-uninst.exe\"\nSectionEnd\n";
    if (!WriteFileText(nsi, script)) return 1;
    std::printf("the NSIS script installs %d files\n", index);
    Reset(root, rows);
    return 0;
}

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Starts a program without a window and waits: milliseconds, or -1 on a failure.
double TimedRun(const std::string& program, const std::string& commandLine, long expected = 0)
{
    const double start = Now();
    ChildProcess process;
    if (!process.Start(program, commandLine)) return -1;
    const long code = process.Wait(120000);
    const double took = Now() - start;
    if (code == expected) return took;
    std::printf("# %s ended with %ld, not %ld: not counted\n", commandLine.c_str(), code, expected);
    return -1;
}

// A tool started as the installer starts one: hidden, in a console of its own.
double TimedToolRun(const std::string& tool, const std::string& folder)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};
    std::string line = "\"" + tool + "\" x.dpk";
    const double start = Now();
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, folder.c_str(), &startup,
                        &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    const double took = Now() - start;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return took;
}

// From the click on Next on page 2 to page 4 with Finish enabled.
double WizardPhase(const std::string& home)
{
    ChildProcess process;
    if (!process.Start(KitFolder() + "\\install.exe", "install.exe")) return -1;
    HWND dialog = WaitForWindow(process.Id(), "Ostrevane Installation", 20000);
    if (!dialog) return -1;
    Click(dialog, IDC_NEXT);
    if (!WaitUntil([&] { return ItemText(dialog, IDC_PAGE_LABEL) == "Page 2/4"; }, 10000)) return -1;
    TypeText(GetDlgItem(dialog, IDC_DESTINATION), home);
    const double start = Now();
    Click(dialog, IDC_NEXT);
    while (ItemText(dialog, IDC_PAGE_LABEL) != "Page 4/4" || !ItemEnabled(dialog, IDC_CANCEL)) {
        if (Now() - start > 120000) return -1;
        Sleep(1);
    }
    const double took = Now() - start;
    Click(dialog, IDC_CANCEL);
    process.Wait(20000);
    return took;
}

// A run that failed (below 0) was reported where it failed and is not counted.
void Print(const char* name, double ms)
{
    if (ms < 0) return;
    std::printf("%s %.1f\n", name, ms);
    std::fflush(stdout);
}

// The benchmark copy's /S: its times by phase, as "name milliseconds" lines;
// nothing when it failed or wrote none.
std::vector<std::pair<std::string, double>> PhaseTimes(const std::string& home, const std::string& file)
{
    DeleteFileA(file.c_str());
    SetEnvironmentVariableA("OSTREVANE_PHASE_TIMES", file.c_str());
    const double took = TimedRun(KitFolder() + "\\tests\\timed\\install.exe", "install.exe /S /D=" + home);
    SetEnvironmentVariableA("OSTREVANE_PHASE_TIMES", nullptr);
    std::vector<std::pair<std::string, double>> phases;
    if (took < 0) return phases;
    std::istringstream in(ReadFileText(file));
    std::string name;
    double micro = 0;
    double tools = -1;
    while (in >> name >> micro) {
        phases.emplace_back("phase-" + name, micro / 1000.0);
        if (name == "tools") tools = micro / 1000.0;
    }
    if (phases.empty()) return phases;
    phases.emplace_back("phase-timed-copy", took);
    // The same run's own work: its whole time but its waits for the tools.
    if (tools >= 0) phases.emplace_back("kit-less-tools", took - tools);
    return phases;
}

// Windows' start of the registrar at a logon, where an installation put it:
// Active Setup's command line, timed; -2 when there is no registrar.
double LogonRun()
{
    const std::string registrar = (OnWow64() ? WindowsFolder() : SystemFolder()) + "\\" + RegistrarName;
    if (!FileExists(registrar)) return -2;
    const std::string stub = RegistryText(HKEY_LOCAL_MACHINE, ActiveSetupKeyPath, StubPathValue);
    return TimedRun(registrar, stub == "<missing>" ? "\"" + registrar + "\"" : stub);
}

int Time(const std::string& root, const std::vector<int>& rows, int runs, const std::vector<std::string>& nsis)
{
    const std::string home = Home(root), install = KitFolder() + "\\install.exe";
    const std::string tool = root + "\\" + SimulatedIdes[rows.empty() ? 4 : rows[0]].folder + "\\Bin\\";
    for (int run = 0; run <= runs; ++run) {
        const bool shown = run > 0;  // the first round only warms up
        Reset(root, rows);
        const double kit = TimedRun(install, "install.exe /S /D=" + home);
        const double logon = LogonRun();
        const std::string quiet = RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "QuietUninstallString");
        const double removal = TimedRun(SystemFolder() + "\\kvxpurge.exe", quiet);
        // One start of a stand-in tool, as the kit starts it: what every build step costs here.
        const std::string standin = tool + (rows.empty() || rows[0] < 5 ? "dcc32.exe" : "make.exe");
        const double toolStart = TimedToolRun(standin, root);
        // The programs' start and end alone: a refused command line, a missing log.
        const double kitStart = TimedRun(install, "install.exe /S /?", 1);
        const double purgeStart = TimedRun(SystemFolder() + "\\kvxpurge.exe", "\"kvxpurge.exe\" /S C:\\none", 1);
        if (shown) {
            Print("kit-install", kit);
            Print("kit-remove", removal);
            Print("tool-start", toolStart);
            Print("kit-start-only", kitStart);
            Print("purge-start-only", purgeStart);
            if (logon != -2) Print("logon", logon);
        }
        Reset(root, rows);
        const auto phases = PhaseTimes(home, root + "-phases.txt");
        if (phases.empty()) std::printf("# the benchmark copy of install.exe wrote no times\n");
        if (shown)
            for (const auto& [name, ms] : phases) Print(name.c_str(), ms);
        for (const std::string& entry : nsis) {
            const std::string label = entry.substr(0, entry.find('=')), exe = entry.substr(entry.find('=') + 1);
            Reset(root, rows);
            const double in = TimedRun(exe, "setup.exe /S /D=" + home);
            const double out = TimedRun(home + "\\nsis-uninst.exe", "nsis-uninst.exe /S _?=" + home);
            if (shown) {
                Print(("nsis-" + label + "-install").c_str(), in);
                Print(("nsis-" + label + "-remove").c_str(), out);
            }
        }
        Reset(root, rows);
        const double phase = WizardPhase(home);
        // The same without environments: no tools, no registration with them.
        Reset(root, {});
        const double bare = TimedRun(install, "install.exe /S /D=" + home);
        if (shown) {
            Print("wizard-phase", phase);
            Print("kit-install-no-env", bare);
        }
    }
    Reset(root, rows);
    RemoveTree(root);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 4 + 1 && args[0] == "prepare") return Prepare(args[1], Rows(args[2]), args[3], args[4]);
    if (args.size() >= 4 && args[0] == "time")
        return Time(args[1], Rows(args[2]), std::stoi(args[3]), std::vector<std::string>(args.begin() + 4, args.end()));
    std::fprintf(stderr, "usage: bench_driver prepare ROOT ROWS STAGE_UNIX NSI | time ROOT ROWS RUNS LABEL=EXE...\n");
    return 2;
}
