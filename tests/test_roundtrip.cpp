// Install, then uninstall, through the real programs: the wizard against
// simulated environments, then kvxpurge started as Windows starts the
// registered UninstallString. Runs in a 32-bit prefix and, under WoW64, in a
// 64-bit one.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
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
    std::vector<int> rows;            // environments installed
    bool extras;                      // demo projects and help files ticked
    const char* destination = nullptr;  // typed; "": the proposal kept; null: a full path typed
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
        if (!driveRootHome_.empty()) RemoveTree(driveRootHome_);
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
    std::string driveRootHome_;  // a home in a drive's root, removed too
};

TEST_P(RoundTrip, InstallThenUninstall)
{
    const Choice& choice = GetParam();
    std::string folders[9];
    for (int row : choice.rows) folders[row] = CreateSimulatedIde(SimulatedIdes[row], root_);
    std::set<std::string> untick;
    if (!choice.extras) untick = {" Demo Projects Files", " Ostrevane Lib Context Help Files"};

    // The installer runs in root_: a relative destination lies there, and
    // "\\Ostrevane" in the root of its drive.
    std::string typed = home_;
    if (choice.destination) {
        typed = choice.destination;
        home_ = typed.empty() ? root_.substr(0, 2) + "\\Ostrevane" : root_ + "\\" + typed;
        ASSERT_FALSE(FileExists(home_)) << "left by another run";
        driveRootHome_ = typed.empty() ? home_ : "";
    }
    std::printf("installing with %s\\install.exe\n", KitFolder().c_str());
    const InstallerRun install = RunInstaller(KitFolder() + "\\install.exe", typed, untick, "", root_);
    ASSERT_EQ(install.failure, "");
    EXPECT_EQ(install.listed.size(), choice.rows.size() + 2);
    if (choice.rows.empty()) EXPECT_EQ(install.proposed, "\\Ostrevane");

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
    {"NoEnvironmentProposalKept", {}, false, ""},
    {"RelativeDestination", {4}, false, "Typed Home"},
};

INSTANTIATE_TEST_SUITE_P(Kit, RoundTrip, ::testing::ValuesIn(Choices),
                         [](const ::testing::TestParamInfo<Choice>& info) { return std::string(info.param.name); });

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
