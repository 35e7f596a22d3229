// Install, then uninstall, through the real programs: the wizard against
// simulated environments, then kvxpurge started as Windows starts the
// registered UninstallString. Runs in a 32-bit prefix and, under WoW64, in a
// 64-bit one.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "drive_kit.h"
#include "simulated_ide.h"

namespace {

constexpr char UninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ostrevane";
constexpr char ProductKey[] = "Software\\Quillmere\\Ostrevane";
constexpr char HelpKey[] = "Software\\Microsoft\\Windows\\Help";
constexpr char Headline[] =
    "Ostrevane component version 3.10 (trial)\rCopyright (c) 1999-2004 Quillmere Software"
    "\r\rDelphi/CBuilder component for handling standard Windows calculator";

// Files per environment row and the bar steps of each row.
constexpr int FilesPerRow[9] = {6, 6, 6, 6, 6, 9, 9, 9, 9};
constexpr int StepsPerRow[9] = {8, 9, 6, 6, 6, 12, 13, 13, 13};
constexpr int ToolCallsPerRow[9] = {1, 1, 1, 1, 1, 1, 1, 2, 2};

struct Choice {
    const char* name;
    std::vector<int> rows;  // environments installed
    bool extras;            // demo projects and help files ticked
};

void PrintTo(const Choice& c, std::ostream* os) { *os << c.name; }

class RoundTrip : public ::testing::TestWithParam<Choice> {
protected:
    void SetUp() override
    {
        root_ = TestFolder("ostrevane-roundtrip");
        home_ = root_ + "\\Ostrevane Home";
        Clean();
    }
    void TearDown() override
    {
        Clean();
        RemoveTree(root_);
    }
    static void Clean()
    {
        RemoveSimulatedIdeKeys();
        DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Quillmere");
        DeleteTree(HKEY_LOCAL_MACHINE, UninstallKey);
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, HelpKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "ostrevane.hlp");
            RegDeleteValueA(key, "ostrevane.cnt");
            RegCloseKey(key);
        }
        const std::string sys = SystemFolder();
        DeleteFileA((sys + "\\kvxpurge.exe").c_str());
        for (const SimulatedIde& ide : SimulatedIdes)
            DeleteFileA((sys + "\\" + ide.package + ide.packageExt).c_str());
    }
    std::string root_, home_;
};

TEST_P(RoundTrip, InstallThenUninstall)
{
    const Choice& choice = GetParam();
    std::string folders[9];
    for (int row : choice.rows) folders[row] = CreateSimulatedIde(SimulatedIdes[row], root_);
    std::set<std::string> untick;
    if (!choice.extras) untick = {" Demo Projects Files", " Ostrevane Lib Context Help Files"};

    std::printf("installing with %s\\install.exe\n", KitFolder().c_str());
    const InstallerRun install = RunInstaller(KitFolder() + "\\install.exe", home_, untick);
    ASSERT_EQ(install.failure, "");
    EXPECT_EQ(install.listed.size(), choice.rows.size() + 2);

    // The log: the product, then each row's caption ahead of its files.
    const std::vector<LogRecord> log = ReadUninstallLog(home_ + "\\uninst.kvx");
    int expectedFiles = 3 + (choice.extras ? 12 : 0), expectedSteps = 1 + (choice.extras ? 8 : 0);
    for (int row : choice.rows) {
        expectedFiles += FilesPerRow[row];
        expectedSteps += StepsPerRow[row];
    }
    const std::size_t captions = choice.rows.size() + 1 + (choice.extras ? 2 : 0);
    ASSERT_EQ(log.size(), 1 + captions + expectedFiles);
    EXPECT_EQ(log[0].type, 1);
    EXPECT_EQ(log[0].text, Headline);
    EXPECT_EQ(install.progress, expectedSteps);

    std::vector<std::string> files;
    for (const LogRecord& r : log) {
        ASSERT_GE(r.type, 1);
        ASSERT_LE(r.type, 3);
        if (r.type == 3) files.push_back(r.text);
    }
    for (const std::string& file : files) EXPECT_TRUE(FileExists(file)) << file;

    const std::string sys = SystemFolder();
    // The uninstaller of the kit under test, signature and all.
    const std::string installed = ReadFileText(sys + "\\kvxpurge.exe");
    EXPECT_TRUE(installed == ReadFileText(KitFolder() + "\\kvxpurge.exe"))
        << "the installed kvxpurge.exe (" << installed.size() << " bytes) is not " << KitFolder() << "\\kvxpurge.exe";
    for (int row : choice.rows) {
        const SimulatedIde& ide = SimulatedIdes[row];
        SCOPED_TRACE(ide.folder);
        const std::string sub = home_ + "\\" + ide.subFolder;
        const std::string package = sub + "\\" + ide.package + ide.packageExt;
        EXPECT_TRUE(FileExists(package));
        EXPECT_TRUE(FileExists(sys + "\\" + ide.package + ide.packageExt));
        const std::vector<std::string> calls = ToolCalls(folders[row]);
        EXPECT_EQ(calls.size(), static_cast<std::size_t>(ToolCallsPerRow[row]));
        for (const std::string& call : calls) EXPECT_EQ(call.substr(call.rfind('|') + 1), sub);
        const std::string packages = std::string(ide.registryKey) + "\\Known Packages";
        EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, packages.c_str(), package.c_str()), "Ostrevane v3.10 (trial) VCL");
        const std::string library = std::string(ide.registryKey) + "\\Library";
        EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, library.c_str(), ide.searchValue), ";" + sub);
        EXPECT_FALSE(FileExists(folders[row] + "\\Help\\" + ide.gidFile));
        for (const char* help : ide.helpFiles)
            if (help) EXPECT_NE(ReadFileText(folders[row] + "\\Help\\" + help).find("ostrevane.hlp"), std::string::npos);
    }
    // Under WoW64 the 32-bit installer writes into the 32-bit views: the
    // system folder is SysWOW64, the machine keys are under Wow6432Node.
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    if (wow64) {
        char wowFolder[MAX_PATH] = "";
        ASSERT_NE(GetSystemWow64DirectoryA(wowFolder, MAX_PATH), 0u);
        EXPECT_TRUE(FileExists(std::string(wowFolder) + "\\kvxpurge.exe"));
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                                "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ostrevane", 0,
                                KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key),
                  ERROR_SUCCESS);
        if (key) RegCloseKey(key);
    }
    const std::string command = RegistryText(HKEY_LOCAL_MACHINE, UninstallKey, "UninstallString");
    EXPECT_EQ(command, "kvxpurge.exe " + home_ + "\\uninst.kvx");

    // Windows starts the registered command line.
    const UninstallerRun uninstall = RunUninstaller(command);
    ASSERT_EQ(uninstall.failure, "");
    EXPECT_EQ(uninstall.headline, Headline);
    EXPECT_EQ(uninstall.stage, "Press the <Uninstall> button for start the removing:");
    EXPECT_EQ(uninstall.finishedStatus, "Uninstall is ready !");

    // Exactly the logged files are gone; the running uninstaller survives.
    for (const std::string& file : files) {
        if (file == sys + "\\kvxpurge.exe") continue;
        EXPECT_FALSE(FileExists(file)) << file;
    }
    // What stays by design.
    EXPECT_TRUE(FileExists(home_ + "\\uninst.kvx"));
    EXPECT_TRUE(FileExists(sys + "\\kvxpurge.exe"));
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, UninstallKey, "DisplayName"), "Quillmere Ostrevane v3.10 (trial)");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, ProductKey, "RootDir"), home_);
    for (int row : choice.rows) {
        const SimulatedIde& ide = SimulatedIdes[row];
        const std::string sub = home_ + "\\" + ide.subFolder;
        EXPECT_TRUE(FileExists(sub)) << "folders stay";
        EXPECT_TRUE(FileExists(sub + "\\" + ide.package + ide.packageExt)) << "built packages stay";
        EXPECT_TRUE(FileExists(sys + "\\" + ide.package + ide.packageExt)) << "package copies stay";
        const std::string packages = std::string(ide.registryKey) + "\\Known Packages";
        EXPECT_NE(RegistryText(HKEY_CURRENT_USER, packages.c_str(), (sub + "\\" + ide.package + ide.packageExt).c_str()),
                  "<missing>");
    }
    if (choice.extras) EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, HelpKey, "ostrevane.hlp"), home_ + "\\Help");
}

const Choice Choices[] = {
    {"EveryRow", {0, 1, 2, 3, 4, 5, 6, 7, 8}, true},
    {"Delphi3", {0}, false},    {"Delphi4", {1}, false},    {"Delphi5", {2}, false},
    {"Delphi6", {3}, false},    {"Delphi7", {4}, false},    {"CBuilder3", {5}, false},
    {"CBuilder4", {6}, false},  {"CBuilder5", {7}, false},  {"CBuilder6", {8}, false},
};

INSTANTIATE_TEST_SUITE_P(Kit, RoundTrip, ::testing::ValuesIn(Choices),
                         [](const ::testing::TestParamInfo<Choice>& info) { return std::string(info.param.name); });

// Every file below folder with its bytes, by path.
void AddTree(const std::string& folder, std::map<std::string, std::string>& out)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out[path + "\\"] = "folder";
            AddTree(path, out);
        } else {
            out[path] = ReadFileText(path);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// What an installation leaves: its files, the environments' files, and the
// registry values it writes.
std::map<std::string, std::string> Footprint(const std::string& home, const std::vector<int>& rows,
                                             const std::string* folders)
{
    std::map<std::string, std::string> out;
    AddTree(home, out);
    const std::string sys = SystemFolder();
    out["kvxpurge.exe"] = ReadFileText(sys + "\\kvxpurge.exe");
    for (int row : rows) {
        const SimulatedIde& ide = SimulatedIdes[row];
        AddTree(folders[row], out);
        out[ide.package] = ReadFileText(sys + "\\" + ide.package + ide.packageExt);
        for (const char* sub : {"\\Known Packages", "\\Library"}) {
            const std::string key = std::string(ide.registryKey) + sub;
            for (const std::string& value : RegistryValues(HKEY_CURRENT_USER, key.c_str())) out[key + "|" + value];
        }
    }
    for (const char* key : {UninstallKey, ProductKey, HelpKey})
        for (const std::string& value : RegistryValues(HKEY_LOCAL_MACHINE, key)) out[std::string(key) + "|" + value];
    return out;
}

class Unattended : public RoundTrip {
protected:
    // Fresh environments for these rows, the same folders every time.
    void Prepare(const std::vector<int>& rows, bool failingCompiler = false)
    {
        Clean();
        RemoveTree(root_);
        CreateDirectoryA(root_.c_str(), nullptr);
        for (int row : rows) folders_[row] = CreateSimulatedIde(SimulatedIdes[row], root_);
        if (failingCompiler) WriteFileText(folders_[4] + "\\Bin\\standin.cfg", "fail=dcc32\r\n");
    }
    long Install(const std::string& arguments) { return RunUnattended(KitFolder() + "\\install.exe", arguments); }
    std::string folders_[9];
};

TEST_F(Unattended, InstallsWhatTheWizardInstallsAndIsRemovedQuietly)
{
    const std::vector<int> rows = {4, 8};
    Prepare(rows);
    ASSERT_EQ(RunInstaller(KitFolder() + "\\install.exe", home_, {}).failure, "");
    const std::map<std::string, std::string> wizard = Footprint(home_, rows, folders_);

    Prepare(rows);
    const std::string report = root_ + "\\the report.txt";
    ASSERT_EQ(Install("/S /LOG=\"" + report + "\" /D=" + home_), 0);
    const std::map<std::string, std::string> unattended = Footprint(home_, rows, folders_);
    EXPECT_GT(wizard.size(), 60u);
    for (const auto& [name, bytes] : wizard) {
        const auto other = unattended.find(name);
        if (other == unattended.end()) ADD_FAILURE() << name << " only after the wizard";
        else EXPECT_TRUE(other->second == bytes) << name << " differs";
    }
    for (const auto& entry : unattended)
        if (!wizard.count(entry.first)) ADD_FAILURE() << entry.first << " only after the unattended run";
    EXPECT_EQ(ReadFileText(report), "Destination: " + home_ +
                                        "\r\nInstalled: Delphi 7\r\nInstalled: C++Builder 6\r\nInstalled: Shared files"
                                        "\r\nInstalled: Demo projects\r\nInstalled: Help files\r\nResult: completed\r\n");

    // Removed without a window; a file that cannot go is counted in the exit code.
    const std::string quiet = RegistryText(HKEY_LOCAL_MACHINE, UninstallKey, "QuietUninstallString");
    ASSERT_EQ(quiet, "\"kvxpurge.exe\" /S " + home_ + "\\uninst.kvx");
    const std::string held = home_ + "\\readme.txt";
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(RunQuietCommand(quiet), 101);
    CloseHandle(file);
    EXPECT_TRUE(FileExists(held));
    EXPECT_EQ(RunQuietCommand(quiet), 0);
    const std::string sys = SystemFolder();
    for (const LogRecord& r : ReadUninstallLog(home_ + "\\uninst.kvx"))
        if (r.type == 3 && r.text != sys + "\\kvxpurge.exe") EXPECT_FALSE(FileExists(r.text)) << r.text;
    EXPECT_EQ(RunQuietCommand("\"kvxpurge.exe\" /S " + root_ + "\\no log.kvx"), 1);
}

TEST_F(Unattended, ExitCodesAndReports)
{
    struct Case {
        const char* name;
        std::string arguments;
        bool failingCompiler;
        long exitCode;
        std::string report;  // after the Installed lines; empty: none written
    };
    const std::string blocked = root_ + "\\blocker\\Home";
    const std::string log = " /LOG=" + root_ + "\\report.txt";
    const Case cases[] = {
        {"unknown option", "/S /X /D=" + home_, false, 1, ""},
        {"options without /S", log.substr(1) + " /D=" + home_, false, 1, ""},
        {"option repeated", "/S /S" + log, false, 1, ""},
        {"failing compiler", "/S" + log + " /D=" + home_, true, 3,
         "Result: finished with errors\r\nDelphi 7: build failed\r\n"},
        {"destination not made", "/S" + log + " /D=" + blocked, false, 4,
         "Destination: " + blocked + "\r\nResult: nothing was installed\r\nDestination folder not created\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Prepare({4}, c.failingCompiler);
        WriteFileText(root_ + "\\blocker", "a file where a folder would go");
        EXPECT_EQ(Install(c.arguments), c.exitCode);
        const std::string report = ReadFileText(root_ + "\\report.txt");
        if (c.report.empty()) EXPECT_EQ(report, "<missing>");
        else EXPECT_EQ(report.substr(report.size() - std::min(report.size(), c.report.size())), c.report) << report;
        const bool installed = c.exitCode == 0 || c.exitCode == 3;
        EXPECT_EQ(FileExists(home_ + "\\uninst.kvx"), installed);
        EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, UninstallKey, "DisplayName") != "<missing>", installed);
    }
}

TEST(Reinstall, SameFolderKeepsOneEntryAndReplacesTheLog)
{
    const std::string root = TestFolder("ostrevane-reinstall");
    const std::string home = root + "\\Home";
    RemoveSimulatedIdeKeys();
    DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Quillmere");
    const std::string folder = CreateSimulatedIde(SimulatedIdes[4], root);
    const std::set<std::string> untick = {" Demo Projects Files", " Ostrevane Lib Context Help Files"};
    ASSERT_EQ(RunInstaller(KitFolder() + "\\install.exe", home, untick).failure, "");
    const std::size_t first = ReadUninstallLog(home + "\\uninst.kvx").size();
    // The second run proposes the recorded folder; typing it again changes nothing.
    const InstallerRun again = RunInstaller(KitFolder() + "\\install.exe", home, untick);
    ASSERT_EQ(again.failure, "");
    EXPECT_EQ(again.proposed, home);
    EXPECT_EQ(ReadUninstallLog(home + "\\uninst.kvx").size(), first);
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, "Software\\Borland\\Delphi\\7.0\\Library", "Search Path"),
              ";" + home + "\\Delphi7");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Borland\\Delphi\\7.0\\Known Packages", 0, KEY_QUERY_VALUE, &key),
              ERROR_SUCCESS);
    DWORD values = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    EXPECT_EQ(values, 1u);
    const std::string ohl = ReadFileText(folder + "\\Help\\d7.ohl");
    EXPECT_EQ(ohl.find(":Link"), ohl.rfind(":Link"));
    RemoveSimulatedIdeKeys();
    DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Quillmere");
    DeleteTree(HKEY_LOCAL_MACHINE, UninstallKey);
    DeleteFileA((SystemFolder() + "\\kvxpurge.exe").c_str());
    DeleteFileA((SystemFolder() + "\\ovanlibd7.bpl").c_str());
    RemoveTree(root);
}

}  // namespace
