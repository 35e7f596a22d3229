// Install, then uninstall, through the real programs: the wizard against
// simulated environments, then kvxpurge started as Windows' list of
// installed software starts it. Runs in a 32-bit prefix and, under WoW64, in
// a 64-bit one.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "drive_kit.h"
#include "simulated_ide.h"

namespace {

constexpr char UninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ostrevane";
constexpr char HelpKey[] = "Software\\Microsoft\\Windows\\Help";
constexpr char ProductKey[] = "Software\\Quillmere\\Ostrevane";
constexpr char Headline[] =
    "Ostrevane component version 3.10 (trial)\rCopyright (c) 1999-2004 Quillmere Software"
    "\r\rDelphi/CBuilder component for handling standard Windows calculator";

// The bar steps of each row.
constexpr int StepsPerRow[9] = {8, 9, 6, 6, 6, 12, 13, 13, 13};
constexpr int ToolCallsPerRow[9] = {1, 1, 1, 1, 1, 1, 1, 2, 2};

struct Choice {
    const char* name;
    std::vector<int> rows;              // environments installed
    bool extras;                        // demo projects and help files ticked
    int installs = 1;                   // into the same folder
    bool failedBuild = false;           // the compiler of the first row fails
    bool usersOwn = false;              // search path, packages and help text of the user's own
    const char* destination = nullptr;  // typed; "": the proposal kept; null: a full path typed
};

void PrintTo(const Choice& c, std::ostream* os) { *os << c.name; }

void SetText(HKEY root, const std::string& key, const std::string& name, const std::string& text)
{
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr), ERROR_SUCCESS);
    RegSetValueExA(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(handle);
}

// The user's keys of an environment that has been started once, and with
// usersOwn what its user added: what the removal must leave as it was.
void PrepareUserState(const SimulatedIde& ide, const std::string& folder, const std::string& home, bool usersOwn,
                      bool otherCopy)
{
    const std::string packages = std::string(ide.registryKey) + "\\Known Packages";
    const std::string library = std::string(ide.registryKey) + "\\Library";
    SetText(HKEY_CURRENT_USER, packages, "$(DELPHI)\\Bin\\dclstd.bpl", "Standard Components");
    // The user's entry begins with the product's: only the whole entry goes.
    SetText(HKEY_CURRENT_USER, library, ide.searchValue,
            usersOwn ? "$(DELPHI)\\Lib;" + home + "\\" + ide.subFolder + "Extra;C:\\Mine" : "$(DELPHI)\\Lib");
    // Another copy of the package elsewhere, registered by another product.
    if (otherCopy) SetText(HKEY_CURRENT_USER, packages, std::string("C:\\Elsewhere\\") + ide.package + ide.packageExt, "Other");
    if (!usersOwn) return;
    SetText(HKEY_CURRENT_USER, packages, "C:\\Mine\\mine.bpl", "Mine");
    for (const char* help : ide.helpFiles)
        if (help) WriteFileText(folder + "\\Help\\" + help, std::string(":Base ") + ide.folder + ".hlp\r\n:Link mine.hlp");
}

// What the product may touch, as text to compare: the help index caches
// are left out (the installation deletes them; the help system rebuilds
// them), and so is the stand-in tools' record of their calls.
std::map<std::string, std::string> Snapshot(const std::string& root)
{
    return {
        {"HKCU\\Software\\Borland", RegistryTree(HKEY_CURRENT_USER, "Software\\Borland")},
        {"HKLM\\Software\\Borland", RegistryTree(HKEY_LOCAL_MACHINE, "Software\\Borland")},
        {"HKLM help", RegistryTree(HKEY_LOCAL_MACHINE, HelpKey)},
        {"HKLM uninstall", RegistryTree(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall")},
        {"HKLM vendor", RegistryTree(HKEY_LOCAL_MACHINE, "Software\\Quillmere")},
        {"environments and home", FileTree(root, true, true, {".gid", "calls.log"})},
        {"system folder", FileTree(SystemFolder(), false, false)},
        {"Windows folder", FileTree(WindowsFolder(), false, false)},
    };
}

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
    static void Clean() { RemoveProductTraces(); }
    std::string root_, home_;
    std::string driveRootHome_;  // a home in a drive's root, removed too
};

// Installs, removes as Windows' list does, restarts Windows: everything is
// as it was before the first installation.
TEST_P(RoundTrip, RemovalLeavesNothing)
{
    const Choice& choice = GetParam();
    std::string folders[9];
    for (int row : choice.rows) {
        const SimulatedIde& ide = SimulatedIdes[row];
        folders[row] = CreateSimulatedIde(ide, root_);
        const bool failing = choice.failedBuild && row == choice.rows[0];
        PrepareUserState(ide, folders[row], home_, choice.usersOwn, failing);
        const std::string tool = ide.tools[0];
        if (failing) WriteFileText(folders[row] + "\\Bin\\standin.cfg", "fail=" + tool.substr(0, tool.size() - 4) + "\r\n");
    }
    std::set<std::string> untick;
    if (!choice.extras) untick = {" Demo Projects Files", " Ostrevane Lib Context Help Files"};
    const std::map<std::string, std::string> before = Snapshot(root_);

    // The installer runs in root_: a relative destination lies there, and
    // "\\Ostrevane" in the root of its drive.
    std::string typed = home_;
    if (choice.destination) {
        typed = choice.destination;
        home_ = typed.empty() ? root_.substr(0, 2) + "\\Ostrevane" : root_ + "\\" + typed;
        ASSERT_FALSE(FileExists(home_)) << "left by another run";
        driveRootHome_ = typed.empty() ? home_ : "";
    }
    for (int run = 0; run < choice.installs; ++run) {
        std::printf("installing with %s\\install.exe\n", KitFolder().c_str());
        const InstallerRun install = RunInstaller(KitFolder() + "\\install.exe", typed, untick, "", root_);
        ASSERT_EQ(install.failure, "");
        EXPECT_EQ(install.listed.size(), choice.rows.size() + 2);
        if (choice.rows.empty()) EXPECT_EQ(install.proposed, "\\Ostrevane");
        int expectedSteps = 1 + (choice.extras ? 8 : 0);
        for (int row : choice.rows) expectedSteps += StepsPerRow[row];
        EXPECT_EQ(install.progress, expectedSteps);
    }
    // The uninstaller of the kit under test, where both 32- and 64-bit
    // programs find it by its bare name.
    const std::string sys = SystemFolder();
    const std::string purge = (OnWow64() ? WindowsFolder() : sys) + "\\kvxpurge.exe";
    const std::string installed = ReadFileText(purge);
    EXPECT_TRUE(installed == ReadFileText(KitFolder() + "\\kvxpurge.exe"))
        << "the installed " << purge << " (" << installed.size() << " bytes) is not " << KitFolder() << "\\kvxpurge.exe";
    for (int row : choice.rows) {
        const SimulatedIde& ide = SimulatedIdes[row];
        SCOPED_TRACE(ide.folder);
        const bool built = !(choice.failedBuild && row == choice.rows[0]);
        const std::string sub = home_ + "\\" + ide.subFolder;
        const std::string package = sub + "\\" + ide.package + ide.packageExt;
        EXPECT_EQ(FileExists(sys + "\\" + ide.package + ide.packageExt), built);
        const std::vector<std::string> calls = ToolCalls(folders[row]);
        EXPECT_EQ(calls.size(), static_cast<std::size_t>(ToolCallsPerRow[row] * choice.installs));
        for (const std::string& call : calls) EXPECT_EQ(call.substr(call.rfind('|') + 1), sub);
        const std::string packages = std::string(ide.registryKey) + "\\Known Packages";
        EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, packages.c_str(), package.c_str()),
                  built ? "Ostrevane v3.10 (trial) VCL" : "<missing>");
        const std::string library = std::string(ide.registryKey) + "\\Library";
        const std::string path = RegistryText(HKEY_CURRENT_USER, library.c_str(), ide.searchValue);
        EXPECT_EQ(path.substr(path.size() - sub.size() - 1), ";" + sub);
        for (const char* help : ide.helpFiles)
            if (help) EXPECT_NE(ReadFileText(folders[row] + "\\Help\\" + help).find("ostrevane.hlp"), std::string::npos);
    }
    if (choice.extras) EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, HelpKey, "ostrevane.hlp"), home_ + "\\Help");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, UninstallKey, "UninstallString"), "kvxpurge.exe " + home_ + "\\uninst.kvx");

    const UninstallerRun uninstall = RemoveProduct("Ostrevane");
    std::printf("removed through the %s\n", uninstall.launcher.c_str());
    ASSERT_EQ(uninstall.failure, "") << "started by the " << uninstall.launcher;
    EXPECT_EQ(uninstall.headline, Headline);
    EXPECT_EQ(uninstall.stage, "Press the <Uninstall> button for start the removing:");
    EXPECT_EQ(uninstall.finishedStatus, "Uninstall is ready !");
    // The running uninstaller's file goes at the next restart.
    EXPECT_TRUE(FileExists(purge));
    ASSERT_TRUE(RestartWindows());

    const std::map<std::string, std::string> after = Snapshot(root_);
    for (const auto& [what, text] : before) EXPECT_EQ(after.at(what), text) << what;
    EXPECT_FALSE(FileExists(home_)) << "the home folder the installation made goes with it";
}

const Choice Choices[] = {
    {"EveryRow", {0, 1, 2, 3, 4, 5, 6, 7, 8}, true},
    {"Delphi3", {0}, false},    {"Delphi4", {1}, false},    {"Delphi5", {2}, false},
    {"Delphi6", {3}, false},    {"Delphi7", {4}, false},    {"CBuilder3", {5}, false},
    {"CBuilder4", {6}, false},  {"CBuilder5", {7}, false},  {"CBuilder6", {8}, false},
    {"TwiceIntoOneFolder", {4, 8}, true, 2},
    {"FailedBuild", {4, 6}, false, 1, true},
    {"UsersOwnEntries", {0, 6, 8}, true, 1, false, true},
    {"NoEnvironmentProposalKept", {}, false, 1, false, false, ""},
    {"RelativeDestination", {4}, false, 1, false, false, "Typed Home"},
};

INSTANTIATE_TEST_SUITE_P(Kit, RoundTrip, ::testing::ValuesIn(Choices),
                         [](const ::testing::TestParamInfo<Choice>& info) { return std::string(info.param.name); });

// What an installation leaves: its files, the environments' files, and the
// registry values it writes.
std::map<std::string, std::string> Footprint(const std::string& home, const std::vector<int>& rows,
                                             const std::string* folders)
{
    std::map<std::string, std::string> out;
    AddFileBytes(home, out, true);
    const std::string sys = SystemFolder();
    out["kvxpurge.exe"] = ReadFileText((OnWow64() ? WindowsFolder() : sys) + "\\kvxpurge.exe");
    for (int row : rows) {
        const SimulatedIde& ide = SimulatedIdes[row];
        AddFileBytes(folders[row], out, true);
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
    const std::vector<LogRecord> log = ReadUninstallLog(home_ + "\\uninst.kvx");
    const std::string held = home_ + "\\readme.txt";
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(RunQuietCommand(quiet), 101);
    CloseHandle(file);
    EXPECT_TRUE(FileExists(held));
    EXPECT_TRUE(FileExists(home_ + "\\uninst.kvx")) << "kept for another try";
    EXPECT_EQ(RunQuietCommand(quiet), 0);
    for (const LogRecord& r : log)
        if (r.type == 3) EXPECT_FALSE(FileExists(r.text)) << r.text;
    EXPECT_FALSE(FileExists(home_)) << "the home folder goes last";
    EXPECT_EQ(RegistryValues(HKEY_LOCAL_MACHINE, UninstallKey).size(), 0u) << "the entry goes with all its values";
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
         "Destination: " + blocked + "\r\nResult: nothing was installed\r\nA file is in the way of the destination folder.\r\n"},
        {"destination before the report", "/S /D=" + home_ + log, false, 0, "Result: completed\r\n"},
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

bool FolderExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The destination as users name it, on Windows of their language, typed into
// page 2's field and given to /S: where it installs (a folder made above it
// included), or its refusal with nothing written; the removal then leaves
// the machine as it was.
TEST_F(Unattended, DestinationTable)
{
    struct Row {
        const char* name;
        std::wstring given;      // relative ones lie in root_, where the installer runs
        const char* locale;      // Wine takes the installer's ANSI code page from it
        UINT codePage;
        std::wstring home;       // below root_; empty: refused
        std::wstring madeAbove;  // a folder the installation makes above the home folder
        const char* refusal;
        bool wizardToo;
    };
    const std::wstring root = Wide(root_);
    // The longest home folder with room for every file below it, and one more.
    const std::wstring longest(229 - root.size() - 1, L'n');
    const Row rows[] = {
        // 表 is 95 5C and ソ 83 5C in code page 932: a backslash as second byte, at the end and in the middle.
        {"Japanese", L"\u30bd\u30d5\u30c8\\\u4e00\u89a7\u8868", "ja_JP.UTF-8", 932,
         L"\u30bd\u30d5\u30c8\\\u4e00\u89a7\u8868", L"\u30bd\u30d5\u30c8", "", false},
        // 功 is A5 5C in code page 950.
        {"TraditionalChinese", L"\u529f\u80fd", "zh_TW.UTF-8", 950, L"\u529f\u80fd", L"", "", false},
        {"RelativeWithTrailingBlanksAndSeparators", L"Made\\Typed Home \\/ ", "", CP_ACP, L"Made\\Typed Home", L"Made",
         "", true},
        {"NearMaxPath", root + L"\\" + longest, "", CP_ACP, longest, L"", "", false},
        {"BeyondMaxPath", root + L"\\" + longest + L"n", "", CP_ACP, L"", L"", "The destination path is too long.", false},
        {"DriveRoot", root.substr(0, 3), "", CP_ACP, L"", L"", "Please choose a folder, not the root of a drive.", true},
        {"NetworkPath", L"\\\\kvxtest\\share\\Ostrevane", "", CP_ACP, L"", L"",
         "Ostrevane cannot be installed on a network path.", true},
    };
    const std::string report = root_ + "\\report.txt";
    for (const Row& row : rows)
        for (const bool wizard : {false, true}) {
            if (wizard && !row.wizardToo) continue;
            SCOPED_TRACE(std::string(row.name) + (wizard ? " in the wizard" : " with /S"));
            Prepare({4});
            PrepareUserState(SimulatedIdes[4], folders_[4], "", false, false);
            const std::map<std::string, std::string> before = Snapshot(root_);
            const std::string exe = KitFolder() + "\\install.exe";
            long exitCode;
            std::string refusal, said;
            if (wizard) {
                const InstallerRun run = RunInstaller(exe, row.given, {}, root_);
                EXPECT_EQ(run.failure, "");
                exitCode = run.refusal.empty() ? run.exitCode : 4;
                refusal = run.refusal;
            } else {
                exitCode = RunUnattended(exe, L"/S /D=" + row.given + L" /LOG=" + Wide(report), root_, row.locale);
                const std::string text = ReadFileText(report);
                said = text;
                DeleteFileA(report.c_str());
                if (exitCode == 4) refusal = text.substr(text.find("installed\r\n") + 11, std::strlen(row.refusal));
            }
            const std::wstring home = root + L"\\" + row.home;
            if (row.home.empty()) {
                EXPECT_EQ(exitCode, 4);
                EXPECT_EQ(refusal, row.refusal);
                EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, UninstallKey, "DisplayName"), "<missing>");
                const std::map<std::string, std::string> after = Snapshot(root_);
                for (const auto& [what, text] : before) EXPECT_EQ(after.at(what), text) << what << ": nothing written";
                continue;
            }
            ASSERT_EQ(exitCode, 0) << said;
            EXPECT_TRUE(FolderExists(home + L"\\Delphi7"));
            // The compiler ran in the home folder as it names it in its own code page: the code page came through.
            char ansiHome[MAX_PATH * 2] = "";
            WideCharToMultiByte(row.codePage, 0, home.c_str(), -1, ansiHome, sizeof ansiHome, nullptr, nullptr);
            const std::vector<std::string> calls = ToolCalls(folders_[4]);
            ASSERT_EQ(calls.size(), 1u);
            EXPECT_EQ(calls[0].substr(calls[0].rfind('|') + 1), std::string(ansiHome) + "\\Delphi7");
            // Removed in the same code page, as the user's Windows removes it.
            EXPECT_EQ(RemoveProduct("Ostrevane", "", row.locale).failure, "");
            ASSERT_TRUE(RestartWindows());
            EXPECT_FALSE(FolderExists(home));
            if (!row.madeAbove.empty()) EXPECT_FALSE(FolderExists(root + L"\\" + row.madeAbove)) << "made above the home folder";
            const std::map<std::string, std::string> after = Snapshot(root_);
            for (const auto& [what, text] : before) EXPECT_EQ(after.at(what), text) << what;
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
    DeleteFileA((WindowsFolder() + "\\kvxpurge.exe").c_str());
    DeleteFileA((SystemFolder() + "\\ovanlibd7.bpl").c_str());
    RemoveTree(root);
}

}  // namespace
