// Install, then uninstall, through the real programs: the wizard against
// simulated environments, then kvxpurge started as Windows' list of
// installed software starts it. Runs in a 32-bit prefix and, under WoW64, in
// a 64-bit one.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "drive_kit.h"
#include "gui_driver.h"
#include "simulated_ide.h"

namespace {

constexpr char Headline[] =
    "Ostrevane component version 3.10 (trial)\rCopyright (c) 1999-2004 Quillmere Software"
    "\r\rDelphi/CBuilder component for handling standard Windows calculator";

struct Choice {
    const char* name;
    std::vector<int> rows;              // environments installed
    bool extras;                        // demo projects and help files ticked
    int installs = 1;                   // into the same folder
    bool failedBuild = false;           // the compiler of the first row fails
    bool usersOwn = false;              // search path, packages and help text of the user's own
    const char* destination = nullptr;  // typed; "": the proposal kept; null: a full path typed
    bool freshUser = false;             // the first row's user never started it; the others' paths hold %variables%
    // The search paths kept as REG_EXPAND_SZ, and the user adds an entry
    // behind the product's before the removal.
    bool entryBehind = false;
};

constexpr char EntryBehind[] = ";C:\\Behind";

void PrintTo(const Choice& c, std::ostream* os) { *os << c.name; }

void SetText(HKEY root, const std::string& key, const std::string& name, const std::string& text, DWORD type = REG_SZ)
{
    ASSERT_TRUE(SetRegistryValue(root, key, name.c_str(), type, Sz(text))) << key << ": error " << GetLastError();
}

// A search path that holds %variables%, stored as such.
void SetExpandText(const SimulatedIde& ide, const std::string& text)
{
    SetText(HKEY_CURRENT_USER, std::string(ide.registryKey) + "\\Library", ide.searchValue, text, REG_EXPAND_SZ);
}

DWORD ValueType(const std::string& key, const char* name)
{
    DWORD type = REG_NONE;
    RegistryBytes(HKEY_CURRENT_USER, key, name, &type);
    return type;
}

// The user's keys of an environment that has been started once, and with
// usersOwn what its user added: what the removal must leave as it was.
void PrepareUserState(const SimulatedIde& ide, const std::string& folder, const std::string& home, bool usersOwn,
                      bool otherCopy, DWORD pathType)
{
    const std::string packages = std::string(ide.registryKey) + "\\Known Packages";
    const std::string library = std::string(ide.registryKey) + "\\Library";
    SetText(HKEY_CURRENT_USER, packages, "$(DELPHI)\\Bin\\dclstd.bpl", "Standard Components");
    // The user's entry begins with the product's: only the whole entry goes.
    SetText(HKEY_CURRENT_USER, library, ide.searchValue,
            usersOwn ? "$(DELPHI)\\Lib;" + home + "\\" + ide.subFolder + "Extra;C:\\Mine" : "$(DELPHI)\\Lib", pathType);
    // Another copy of the package elsewhere, registered by another product.
    if (otherCopy) SetText(HKEY_CURRENT_USER, packages, std::string("C:\\Elsewhere\\") + ide.package + ide.packageExt, "Other");
    if (!usersOwn) return;
    SetText(HKEY_CURRENT_USER, packages, "C:\\Mine\\mine.bpl", "Mine");
    SetText(HKEY_CURRENT_USER, std::string(ide.registryKey) + "\\Disabled Packages", "C:\\Mine\\off.bpl", "Off");
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
        {"HKLM help", RegistryTree(HKEY_LOCAL_MACHINE, WindowsHelpKey)},
        {"HKLM uninstall", RegistryTree(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall")},
        {"HKLM vendor", RegistryTree(HKEY_LOCAL_MACHINE, "Software\\Quillmere")},
        {"environments and home", FileTree(root, true, true, {".gid", "calls.log"})},
        {"logon component", RegistryTree(HKEY_LOCAL_MACHINE, LogonComponentKey)},
        // The registrar is the remnant's: ExpectOnlyTheRemnant looks at it.
        {"system folder", FileTree(SystemFolder(), false, false, {"kvxuser.exe"})},
        {"Windows folder", FileTree(WindowsFolder(), false, false, {"kvxuser.exe"})},
    };
}

// Where the installation puts the registrar: beside the uninstaller.
std::string RegistrarPath() { return (OnWow64() ? WindowsFolder() : SystemFolder()) + "\\kvxuser.exe"; }

// Windows' comma form as numbers, compared part by part; empty when it is none.
std::vector<unsigned long> VersionParts(const std::string& text)
{
    std::vector<unsigned long> parts;
    std::size_t at = 0;
    while (at < text.size() && parts.size() < 5) {
        const std::size_t end = std::min(text.find(',', at), text.size());
        if (end == at || text.find_first_not_of("0123456789", at) < end) return {};
        parts.push_back(std::stoul(text.substr(at, end - at)));
        at = end + 1;
    }
    return parts.size() == 4 && parts[0] < 65536 && parts[1] < 65536 && parts[2] < 65536 && parts[3] < 65536
               ? parts
               : std::vector<unsigned long>{};
}

// The logon component of an installation into home, every value of it; its Version.
std::string ExpectLogonComponent(const std::string& home)
{
    const std::string version = RegistryText(HKEY_LOCAL_MACHINE, LogonComponentKey, "Version");
    EXPECT_EQ(VersionParts(version).size(), 4u) << version;
    EXPECT_EQ(RegistryValues(HKEY_LOCAL_MACHINE, LogonComponentKey),
              (std::vector<std::string>{"=REG_SZ:Quillmere Ostrevane v3.10 (trial)", "IsInstalled=REG_DWORD:1",
                                        "RootDir=REG_SZ:" + home, "StubPath=REG_SZ:\"" + RegistrarPath() + "\"",
                                        "Version=REG_SZ:" + version}));
    return version;
}

// After a removal everything is as before but what carries the removal to
// each user's next logon: the component, its Version raised above the
// installed one, with the registrar; without the registrar, neither. An
// empty home: RootDir is not compared.
void ExpectOnlyTheRemnant(const std::map<std::string, std::string>& before,
                          const std::map<std::string, std::string>& after, const std::string& home,
                          const std::string& installedVersion)
{
    for (const auto& [what, text] : before)
        if (what != "logon component") EXPECT_EQ(after.at(what), text) << what;
    if (!FileExists(RegistrarPath())) {
        EXPECT_EQ(after.at("logon component").rfind("<missing>", 0), 0u) << "a component whose registrar is gone";
        return;
    }
    const std::string version =
        ExpectLogonComponent(home.empty() ? RegistryText(HKEY_LOCAL_MACHINE, LogonComponentKey, "RootDir") : home);
    EXPECT_GT(VersionParts(version), VersionParts(installedVersion)) << version << " after " << installedVersion;
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
        const DWORD pathType = choice.entryBehind ? REG_EXPAND_SZ : REG_SZ;
        if (!choice.freshUser || row != choice.rows[0])
            PrepareUserState(ide, folders[row], home_, choice.usersOwn, failing, pathType);
        if (choice.freshUser && row != choice.rows[0]) SetExpandText(ide, "%BCB%\\Lib");
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
    std::string installedVersion;
    for (int run = 0; run < choice.installs; ++run) {
        std::printf("installing with %s\\install.exe\n", KitFolder().c_str());
        const InstallerRun install = RunInstaller(KitFolder() + "\\install.exe", typed, untick, "", root_);
        ASSERT_EQ(install.failure, "");
        const std::string version = ExpectLogonComponent(home_);
        EXPECT_GT(VersionParts(version), VersionParts(installedVersion)) << "raised on every installation";
        installedVersion = version;
        EXPECT_EQ(install.listed.size(), choice.rows.size() + 2);
        if (choice.rows.empty()) EXPECT_EQ(install.proposed, "\\Ostrevane");
        int expectedSteps = 1 + (choice.extras ? 8 : 0);
        for (int row : choice.rows) expectedSteps += SimulatedIdes[row].steps;
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
        EXPECT_EQ(calls.size(), static_cast<std::size_t>(ide.toolCalls * choice.installs));
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
    std::map<int, std::string> paths;  // as the user left them, before the entry behind
    for (int row : choice.rows) {
        if (!choice.entryBehind) break;
        const SimulatedIde& ide = SimulatedIdes[row];
        const std::string library = std::string(ide.registryKey) + "\\Library";
        paths[row] = RegistryText(HKEY_CURRENT_USER, library.c_str(), ide.searchValue);
        EXPECT_EQ(ValueType(library, ide.searchValue), static_cast<DWORD>(REG_EXPAND_SZ))
            << ide.folder << ": the installation keeps the type";
        SetText(HKEY_CURRENT_USER, library, ide.searchValue, paths[row] + EntryBehind, REG_EXPAND_SZ);
    }
    if (choice.extras) EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, WindowsHelpKey, "ostrevane.hlp"), home_ + "\\Help");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "UninstallString"),
              "\"" + purge + "\" \"" + home_ + "\\uninst.kvx\"");

    // The user switched the product's package off in the IDE: the removal
    // takes that entry too, and leaves theirs.
    for (int row : choice.rows) {
        const SimulatedIde& ide = SimulatedIdes[row];
        if (choice.usersOwn && !(choice.failedBuild && row == choice.rows[0]))
            SetText(HKEY_CURRENT_USER, std::string(ide.registryKey) + "\\Disabled Packages",
                    home_ + "\\" + ide.subFolder + "\\" + ide.package + ide.packageExt, "Ostrevane v3.10 (trial) VCL");
    }
    const UninstallerRun uninstall = RemoveProduct("Ostrevane");
    std::printf("removed through the %s\n", uninstall.launcher.c_str());
    ASSERT_EQ(uninstall.failure, "") << "started by the " << uninstall.launcher;
    EXPECT_EQ(uninstall.headline, Headline);
    EXPECT_EQ(uninstall.stage, "Press the <Uninstall> button for start the removing:");
    EXPECT_EQ(uninstall.finishedStatus, "Uninstall is ready !");
    // The running uninstaller's file goes at the next restart.
    EXPECT_TRUE(FileExists(purge));
    ASSERT_TRUE(RestartWindows());

    // The product's entry leaves the middle of the path; the rest and the type stay.
    for (const auto& [row, installed] : paths) {
        const SimulatedIde& ide = SimulatedIdes[row];
        const std::string library = std::string(ide.registryKey) + "\\Library";
        const std::string entry = ";" + home_ + "\\" + ide.subFolder;
        EXPECT_EQ(ValueType(library, ide.searchValue), static_cast<DWORD>(REG_EXPAND_SZ)) << ide.folder;
        const std::string left = RegistryText(HKEY_CURRENT_USER, library.c_str(), ide.searchValue);
        EXPECT_EQ(left, installed.substr(0, installed.size() - entry.size()) + EntryBehind) << ide.folder;
        SetText(HKEY_CURRENT_USER, library, ide.searchValue, left.substr(0, left.size() - std::strlen(EntryBehind)),
                REG_EXPAND_SZ);
    }
    ExpectOnlyTheRemnant(before, Snapshot(root_), home_, installedVersion);
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
    {"FreshUserKeysExpandedPath", {4, 8}, false, 1, false, false, nullptr, true},
    {"ExpandSzPathsEntryInTheMiddle", {3, 7}, false, 2, false, true, nullptr, false, true},
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
    for (const char* key : {ListEntryKey, ProductHomeKey, WindowsHelpKey})
        for (const std::string& value : RegistryValues(HKEY_LOCAL_MACHINE, key)) out[std::string(key) + "|" + value];
    return out;
}

constexpr char SessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// The list of file operations left for the next restart, whole.
std::wstring PendingList()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return L"";
    DWORD size = 0;
    std::wstring list;
    if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
        list.resize(size / sizeof(wchar_t));
        if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(&list[0]), &size) != ERROR_SUCCESS)
            list.clear();
    }
    RegCloseKey(key);
    return list;
}

// The deletions left for the next restart, as text.
std::string PendingDeletions()
{
    std::string text;
    for (wchar_t c : PendingList()) text += c ? static_cast<char>(c < 128 ? std::tolower(c) : '?') : '|';
    return text;
}

// Deletions of these files queued for the next restart, as other programs
// queue them, after those queued already.
void QueueDeletions(const std::vector<std::string>& files)
{
    if (files.empty()) return;
    // The pairs queued already, each a name and a target (empty for a deletion).
    const std::wstring queued = PendingList();
    std::wstring list;
    for (std::size_t at = 0; at < queued.size() && queued[at];) {
        const std::size_t name = queued.find(L'\0', at), target = queued.find(L'\0', name + 1);
        if (name == std::wstring::npos || target == std::wstring::npos) break;
        list.append(queued, at, target + 1 - at);
        at = target + 1;
    }
    for (const std::string& file : files) list += L"\\??\\" + Wide(file) + std::wstring(2, L'\0');
    list += L'\0';
    // Written as Unicode: the ANSI call would widen every byte.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, SessionManager, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    const LONG written = RegSetValueExW(key, L"PendingFileRenameOperations", 0, REG_MULTI_SZ,
                                        reinterpret_cast<const BYTE*>(list.data()),
                                        static_cast<DWORD>(list.size() * sizeof(wchar_t)));
    RegCloseKey(key);
    ASSERT_EQ(written, ERROR_SUCCESS);
}

// The installer file of the winget manifest the build wrote beside the
// programs; "" when there is none.
std::string WingetInstallerManifest()
{
    const std::string folder = KitFolder() + "\\winget\\";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*.installer.yaml").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return "";
    FindClose(search);
    return ReadFileText(folder + found.cFileName);
}

// The nth value named key in that file (a "key: value" line, alone or as a
// list item), YAML's single quotes undone.
std::string ManifestValue(const std::string& manifest, const std::string& key, int nth = 0)
{
    for (std::size_t at = 0; (at = manifest.find(key + ": ", at)) != std::string::npos;) {
        const std::size_t line = manifest.rfind('\n', at) + 1;
        const bool whole = manifest.find_first_not_of(" -", line) == at;
        at += key.size() + 2;
        if (!whole || nth-- > 0) continue;
        std::string value = manifest.substr(at, manifest.find_first_of("\r\n", at) - at);
        if (value.size() < 2 || value.front() != '\'') return value;
        value = value.substr(1, value.size() - 2);
        for (std::size_t quote = 0; (quote = value.find("''", quote)) != std::string::npos; ++quote) value.erase(quote, 1);
        return value;
    }
    return "<missing>";
}

// What winget tells the user when install.exe ends with this code; "" when
// the manifest lists no response for it.
std::string ReturnResponse(const std::string& manifest, long code)
{
    for (int n = 0;; ++n) {
        const std::string listed = ManifestValue(manifest, "InstallerReturnCode", n);
        if (listed == "<missing>") return "";
        if (listed == std::to_string(code)) return ManifestValue(manifest, "ReturnResponse", n);
    }
}

// True when the manifest lists code among the installer's success codes.
bool SuccessCode(const std::string& manifest, long code)
{
    const std::size_t list = manifest.find("\nInstallerSuccessCodes:\n");
    if (list == std::string::npos) return false;
    for (std::size_t at = manifest.find('\n', list + 1) + 1; manifest.compare(at, 2, "- ") == 0;
         at = manifest.find('\n', at) + 1)
        if (std::stol(manifest.substr(at + 2)) == code) return true;
    return false;
}

// install.exe's arguments as winget puts them together from the manifest's
// switches: the experience's, then the log's and the location's, with the
// paths in place of their tokens.
std::string WingetArguments(const std::string& manifest, const char* experience, const std::string& logPath,
                            const std::string& installPath)
{
    std::string arguments = ManifestValue(manifest, experience);
    for (const auto& [name, token, path] : {std::make_tuple("Log", "<LOGPATH>", logPath),
                                            std::make_tuple("InstallLocation", "<INSTALLPATH>", installPath)}) {
        std::string value = ManifestValue(manifest, name);
        const std::size_t at = value.find(token);
        if (at == std::string::npos) ADD_FAILURE() << name << " has no " << token << ": " << value;
        else value.replace(at, std::strlen(token), path);
        arguments += " " + value;
    }
    return arguments;
}

class Unattended : public RoundTrip {
protected:
    struct HelpLink {
        const char* what;
        const char* linked;  // below the environment's folder
        bool hard = false;   // a second name of the decoy's file, not a link
    };
    bool NothingChangesThrough(const HelpLink& c);

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

    // Installed as winget installs it by default, with its log and location.
    const std::string manifest = WingetInstallerManifest();
    ASSERT_NE(manifest, "") << "no winget manifest in " << KitFolder();
    Prepare(rows);
    const std::string report = root_ + "\\the report.txt";
    ASSERT_EQ(Install(WingetArguments(manifest, "SilentWithProgress", report, home_)), 0);
    // winget finds the installation by the entry the manifest names.
    for (int n : {0, 1}) {  // the installer's product code, then its entry's
        const std::string entry =
            "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + ManifestValue(manifest, "ProductCode", n);
        for (const char* name : {"DisplayName", "Publisher", "DisplayVersion"})
            EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, entry.c_str(), name), ManifestValue(manifest, name)) << entry;
    }
    ExpectLogonComponent(home_);
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
                                        "\r\nInstalled: Demo projects\r\nInstalled: Help files\r\nIDE registrations: made now for this "
                                        "account; every other user gets them at their next logon\r\nResult: completed\r\n");

    // Removed without a window; a file that cannot go is counted in the exit code.
    // Started as a package manager starts it, from a folder where a program
    // of the uninstaller's name waits: the full path never finds that one.
    const std::string purge = (OnWow64() ? WindowsFolder() : SystemFolder()) + "\\kvxpurge.exe";
    const std::string quiet = RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "QuietUninstallString");
    ASSERT_EQ(quiet, "\"" + purge + "\" /S \"" + home_ + "\\uninst.kvx\"");
    const std::string decoy = root_ + "\\Downloads";
    CreateDirectoryA(decoy.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(StandInPath().c_str(), (decoy + "\\kvxpurge.exe").c_str(), FALSE));
    const std::vector<LogRecord> log = ReadUninstallLog(home_ + "\\uninst.kvx");
    const std::string held = home_ + "\\readme.txt";
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(RunQuietCommand(quiet, decoy), 101);
    // Everything a second run needs stays: the entry, the uninstaller (not
    // left for the restart to delete) and the log.
    EXPECT_TRUE(FileExists(held));
    EXPECT_TRUE(FileExists(home_ + "\\uninst.kvx")) << "kept for another try";
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "QuietUninstallString"), quiet);
    EXPECT_TRUE(FileExists(purge));
    EXPECT_EQ(PendingDeletions().find("kvxpurge"), std::string::npos) << PendingDeletions();
    EXPECT_EQ(RunQuietCommand(quiet, decoy), 101) << "reports the same way while the file is held";
    CloseHandle(file);
    EXPECT_EQ(RunQuietCommand(quiet, decoy), 0);
    EXPECT_FALSE(FileExists(decoy + "\\calls.log")) << "the program in the current folder ran";
    for (const LogRecord& r : log)
        if (r.type == InstalledFile) EXPECT_FALSE(FileExists(r.text)) << r.text;
    EXPECT_FALSE(FileExists(home_)) << "the home folder goes last";
    EXPECT_EQ(RegistryValues(HKEY_LOCAL_MACHINE, ListEntryKey).size(), 0u) << "the entry goes with all its values";
    EXPECT_NE(PendingDeletions().find("kvxpurge"), std::string::npos) << "the running uninstaller goes at the restart";
    ASSERT_TRUE(RestartWindows());
    EXPECT_FALSE(FileExists(purge));
    EXPECT_EQ(RunQuietCommand("\"kvxpurge.exe\" /S " + root_ + "\\no log.kvx"), -1) << "gone: it cannot start";
}

// How Delphi 7's "RootDir" is spelled for a case.
enum class RootForm { AsMade, UpperCase, Short };

TEST_F(Unattended, ExitCodesAndReports)
{
    struct Case {
        const char* name;
        std::wstring arguments;  // as a launcher passes them, through CreateProcessW
        bool failingCompiler;
        long exitCode;
        std::string report;  // after the Installed lines; empty: none written
        const char* winget;  // what winget makes of the exit code
        bool running = false;  // Delphi 7 runs, as ide says
        IdeRun ide = {};
        RootForm root = RootForm::AsMade;
        std::wstring reportAt = L"";  // empty: report.txt in root_
        bool removedAfter = false;     // then removed quietly, leaving nothing
    };
    const std::string manifest = WingetInstallerManifest();
    ASSERT_NE(manifest, "") << "no winget manifest in " << KitFolder();
    const std::string blocked = root_ + "\\blocker\\Home";
    const std::string log = " /LOG=" + root_ + "\\report.txt";
    const std::string refused = "Result: Delphi 7 is running and must be closed first.\r\n";
    // A folder link on the report's way to a file it must not reach.
    const std::string kept = root_ + "\\kept\\report.txt", keptText = "an administrator's file";
    const std::wstring linked = L" /LOG=" + Wide(root_) + L"\\linked\\report.txt";
    // Profiles whose names code page 1252 cannot spell; "Lodz" is the lookalike.
    const std::wstring lodz = L"C:\\Users\\\u0141\u00f3d\u017a", tokyo = L"C:\\Users\\\u6771\u4eac";
    const std::wstring profileLog = L"\\AppData\\Local\\Temp\\WinGet\\Ostrevane.log";
    const auto W = [](const std::string& text) { return Wide(text); };
    const auto removeProfiles = [&] {
        for (const std::wstring& profile : {lodz, tokyo, std::wstring(L"C:\\Users\\Lodz")}) {
            DeleteFileW((profile + profileLog).c_str());
            for (std::wstring folder = profile + profileLog; folder.size() > profile.size();) {
                folder.erase(folder.rfind(L'\\'));
                RemoveDirectoryW(folder.c_str());
            }
        }
    };
    const Case cases[] = {
        {"Delphi 7 running", W("/S" + log + " /D=" + home_), false, 2, refused, "packageInUseByApplication", true},
        {"running, RootDir in capitals", W("/S" + log + " /D=" + home_), false, 2, refused, "packageInUseByApplication", true, {}, RootForm::UpperCase},
        {"its program in another folder of it", W("/S" + log + " /D=" + home_), false, 0, "Result: completed\r\n", "", true,
         {"Lib"}},
        {"its window shown, its program gone from another folder", W("/S" + log + " /D=" + home_), false, 2, refused,
         "packageInUseByApplication", true, {"Lib", true, false, true}},
        {"running without a window", W("/S" + log + " /D=" + home_), false, 2, refused, "packageInUseByApplication", true, {"Bin", false}},
        {"short RootDir, started by the long path", W("/S" + log + " /D=" + home_), false, 2, refused, "packageInUseByApplication", true, {},
         RootForm::Short},
        {"long RootDir, started by the short path", W("/S" + log + " /D=" + home_), false, 2, refused, "packageInUseByApplication", true,
         {"Bin", true, true}},
        {"its program file gone, RootDir in capitals", W("/S" + log + " /D=" + home_), false, 2, refused,
         "packageInUseByApplication", true, {"Bin", false, false, true}, RootForm::UpperCase},
        {"unknown option", W("/S /X /D=" + home_), false, 1, "", "invalidParameter"},
        {"options without /S", W(log.substr(1) + " /D=" + home_), false, 1, "", "invalidParameter"},
        {"option repeated", W("/S /S" + log), false, 1, "", "invalidParameter"},
        {"failing compiler", W(WingetArguments(manifest, "Silent", root_ + "\\report.txt", home_)), true, 3,
         "Result: finished with errors\r\nDelphi 7: build failed\r\n", ""},
        {"destination not made", W(WingetArguments(manifest, "Silent", root_ + "\\report.txt", blocked)), false, 4,
         "Destination: " + blocked + "\r\nResult: nothing was installed\r\nA file is in the way of the destination folder.\r\n",
         "invalidParameter"},
        {"destination before the report", W("/S /D=" + home_ + log), false, 0, "Result: completed\r\n", ""},
        {"report through a linked folder", L"/S /D=" + W(home_) + linked, false, 5, "", "success"},
        {"report through a linked folder, destination refused", L"/S /D=" + W(blocked) + linked, false, 4, "", "invalidParameter"},
        {"report in a profile named in Polish", L"\"/S\" \"/LOG=" + lodz + profileLog + L"\" \"/D=" + W(home_) + L"\"", false, 0,
         "Result: completed\r\n", "", false, {}, RootForm::AsMade, lodz + profileLog},
        {"report in a profile named in Japanese", L"/S /LOG=\"" + tokyo + profileLog + L"\" /D=" + W(home_), false, 0,
         "Result: completed\r\n", "", false, {}, RootForm::AsMade, tokyo + profileLog},
        {"report inside the destination", L"/S /LOG=\"" + W(home_) + L"\\install.log\" /D=" + W(home_), false, 0,
         "Result: completed\r\n", "", false, {}, RootForm::AsMade, W(home_) + L"\\install.log", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Prepare({4}, c.failingCompiler);
        WriteFileText(root_ + "\\blocker", "a file where a folder would go");
        std::string rootDir = folders_[4];
        if (c.root == RootForm::UpperCase) CharUpperA(&rootDir[0]);
        if (c.root == RootForm::Short) rootDir = ShortPath(rootDir);
        ASSERT_EQ(rootDir == folders_[4], c.root == RootForm::AsMade) << rootDir;
        SetRootDir(SimulatedIdes[4], rootDir);
        RunningIde ide;
        if (c.running) ASSERT_TRUE(ide.Start(SimulatedIdes[4], folders_[4], c.ide));
        CreateDirectoryA((root_ + "\\kept").c_str(), nullptr);
        WriteFileText(kept, keptText);
        ASSERT_TRUE(MakeLink(root_ + "\\kept", root_ + "\\linked"));
        for (const std::wstring& profile : {lodz, tokyo, std::wstring(L"C:\\Users\\Lodz")})
            for (const wchar_t* below : {L"", L"\\AppData", L"\\AppData\\Local", L"\\AppData\\Local\\Temp",
                                         L"\\AppData\\Local\\Temp\\WinGet"})
                CreateDirectoryW((profile + below).c_str(), nullptr);
        EXPECT_EQ(RunUnattended(KitFolder() + "\\install.exe", c.arguments, "", ""), c.exitCode);
        if (std::string(c.winget) == "success") EXPECT_TRUE(SuccessCode(manifest, c.exitCode));
        else EXPECT_EQ(ReturnResponse(manifest, c.exitCode), c.winget);
        ide.Close();
        EXPECT_EQ(ReadFileText(kept), keptText) << "written through the link";
        EXPECT_TRUE(RemoveLink(root_ + "\\linked"));
        EXPECT_EQ(FileTree("C:\\Users\\Lodz", false, true), "AppData\\\nAppData\\Local\\\nAppData\\Local\\Temp\\\n"
                  "AppData\\Local\\Temp\\WinGet\\\n") << "written to the lookalike";
        const std::string report = ReadFileText(c.reportAt.empty() ? Wide(root_ + "\\report.txt") : c.reportAt);
        removeProfiles();
        if (c.report.empty()) EXPECT_EQ(report, "<missing>");
        else EXPECT_EQ(report.substr(report.size() - std::min(report.size(), c.report.size())), c.report) << report;
        const bool installed = c.exitCode == 0 || c.exitCode == 3 || c.exitCode == 5;
        EXPECT_EQ(FileExists(home_ + "\\uninst.kvx"), installed);
        EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "DisplayName") != "<missing>", installed);
        EXPECT_EQ(ToolCalls(folders_[4]).empty(), !installed);
        if (!c.removedAfter) continue;
        EXPECT_EQ(RunQuietCommand(RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "QuietUninstallString")), 0);
        EXPECT_FALSE(FolderExists(home_)) << "the report stayed";
    }
    removeProfiles();
}

// An installation ended as Task Manager ends it, at each kind of step: its
// product is in Windows' list, and that removal leaves the machine as it was.
TEST_F(Unattended, EndedAtAnyStepIsRemovable)
{
    const std::vector<int> rows = {4, 8};
    const struct {
        const char* what;
        int row;           // whose stand-in tools are set
        const char* line;  // in its standin.cfg
    } cases[] = {
        {"while the first tool runs", 4, "wait=dcc32"},
        {"after the first tool", 4, "end=dcc32"},
        {"between two tools", 8, "end=bpr2mak"},
        {"after the last tool", 8, "end=make"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Prepare(rows);
        const std::string bin = folders_[c.row] + "\\Bin\\";
        WriteFileText(bin + "standin.cfg", std::string(c.line) + "\r\n");
        const std::map<std::string, std::string> before = Snapshot(root_);
        ChildProcess install;
        ASSERT_TRUE(install.Start(KitFolder() + "\\install.exe", "install.exe /S /D=" + home_));
        if (c.line[0] == 'w') {
            ASSERT_TRUE(WaitUntil([&] { return FileExists(bin + "dcc32.waiting"); }, 60000));
            // The home folder it made is held: nobody puts another in its place.
            const std::string moved = home_ + " moved";
            const bool movedAway = MoveFileA(home_.c_str(), moved.c_str()) != FALSE;
            if (movedAway) MoveFileA(moved.c_str(), home_.c_str());
            EXPECT_FALSE(movedAway);
            TerminateProcess(install.Handle(), 9);
            WriteFileText(bin + "dcc32.go", "");
            // The tool, its caller gone, still builds: what it makes was logged ahead.
            ASSERT_TRUE(WaitUntil([&] { return ToolCalls(folders_[c.row]).size() == 1; }, 30000));
        }
        EXPECT_EQ(install.Wait(60000), 9) << "ended part-way";
        for (const char* stray : {"dcc32.waiting", "dcc32.go"}) DeleteFileA((bin + stray).c_str());
        const std::string quiet = RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "QuietUninstallString");
        ASSERT_NE(quiet, "<missing>") << "not in Windows' list";
        EXPECT_EQ(RunQuietCommand(quiet), 0);
        ASSERT_TRUE(RestartWindows());
        // Ended before the component was written: the registrar goes too.
        ExpectOnlyTheRemnant(before, Snapshot(root_), home_, "");
        EXPECT_FALSE(FileExists(RegistrarPath()));
    }
}

// An update: installed, removed, installed again before the restart that
// the removal left the uninstaller's deletion to. The restart keeps the new
// uninstaller, whose removal then leaves nothing; what other programs left
// to the same restart stays queued, however long the list.
TEST_F(Unattended, ReinstalledBeforeARestart)
{
    const ScopedTestFolder others("ostrevane-pending");
    const struct {
        const char* what;
        int othersQueued;  // after the removal; the first is a file that is there
        const char* ownQueued;  // a file of the home folder queued last, as a removal that found it open leaves it
    } cases[] = {
        {"another program's deletion pending", 1, nullptr},
        {"nothing else pending", 0, nullptr},
        {"a pending list over 64 KiB", 300, nullptr},
        {"a file of the product's pending too", 1, "Delphi7\\ovanlibd7.dpk"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Prepare({4});
        const std::map<std::string, std::string> before = Snapshot(root_);
        ASSERT_EQ(Install("/S /D=" + home_), 0);
        const std::string firstVersion = ExpectLogonComponent(home_);
        const std::string quiet = RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "QuietUninstallString");
        ASSERT_EQ(RunQuietCommand(quiet), 0);
        ASSERT_NE(PendingDeletions().find("kvxpurge"), std::string::npos);
        std::vector<std::string> queued;
        for (int i = 0; i < c.othersQueued; ++i)
            queued.push_back(others.Path() + "\\" + std::to_string(i) + std::string(180, 'q') + ".tmp");
        if (!queued.empty()) ASSERT_TRUE(WriteFileText(queued[0], "another program's"));
        QueueDeletions(queued);
        std::string queuedText;
        for (const std::string& file : queued) queuedText += "\\??\\" + file + "||";
        std::transform(queuedText.begin(), queuedText.end(), queuedText.begin(), [](char ch) { return std::tolower(ch); });
        if (c.othersQueued > 200) ASSERT_GT(PendingList().size() * sizeof(wchar_t), 65536u);
        std::string own = c.ownQueued ? home_ + "\\" + c.ownQueued : "";
        if (c.ownQueued) QueueDeletions({own});
        std::transform(own.begin(), own.end(), own.begin(), [](char ch) { return std::tolower(ch); });

        const std::string removedVersion = RegistryText(HKEY_LOCAL_MACHINE, LogonComponentKey, "Version");
        ASSERT_EQ(Install("/S /D=" + home_), 0);
        const std::string secondVersion = ExpectLogonComponent(home_);
        EXPECT_GT(VersionParts(secondVersion), VersionParts(firstVersion));
        EXPECT_GT(VersionParts(secondVersion), VersionParts(removedVersion)) << "above the removal's too";
        EXPECT_EQ(PendingDeletions().find("kvxpurge"), std::string::npos) << PendingDeletions().substr(0, 300);
        EXPECT_NE(PendingDeletions().find(queuedText), std::string::npos)
            << "the other deletions stay as they were: " << PendingDeletions().substr(0, 300);
        if (c.ownQueued) EXPECT_EQ(PendingDeletions().find(own), std::string::npos) << PendingDeletions().substr(0, 300);
        ASSERT_TRUE(RestartWindows());
        if (c.ownQueued) EXPECT_TRUE(FileExists(home_ + "\\" + c.ownQueued)) << "kept by the restart";
        if (!queued.empty()) EXPECT_FALSE(FileExists(queued[0])) << "carried out at the restart";
        EXPECT_TRUE(FileExists((OnWow64() ? WindowsFolder() : SystemFolder()) + "\\kvxpurge.exe")) << "kept by the restart";
        EXPECT_EQ(RunQuietCommand(RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "QuietUninstallString")), 0);
        ASSERT_TRUE(RestartWindows());
        ExpectOnlyTheRemnant(before, Snapshot(root_), home_, secondVersion);
    }
}

// An earlier log that cannot be carried whole into a new one, or a new one
// that cannot take its place, is never replaced: nothing is installed, the
// report says why, and the log stays byte for byte.
TEST_F(Unattended, AnEarlierLogIsNeverReplacedByLess)
{
    const struct {
        const char* what;
        bool damaged;     // data after a zero type byte
        bool newInTheWay; // a folder where the new log is made
    } cases[] = {
        {"a reinstall over a damaged log", true, false},
        {"a folder named uninst.kvx.new in the way", false, true},
    };
    const std::string report = root_ + "\\report.txt";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Prepare({4, 8});
        ASSERT_EQ(Install("/S /D=" + home_), 0);
        const std::string log = home_ + "\\uninst.kvx";
        std::string earlier = ReadFileText(log);
        if (c.damaged) {
            // The C++Builder 6 records after the damage, as an earlier installation left them.
            const std::size_t at = earlier.find("\x02 Files for Borland C++Builder 6");
            ASSERT_NE(at, std::string::npos);
            earlier.insert(at, 1, '\0');
            ASSERT_TRUE(WriteFileText(log, earlier));
        }
        if (c.newInTheWay) ASSERT_TRUE(CreateDirectoryA((log + ".new").c_str(), nullptr));
        const std::map<std::string, std::string> before = Snapshot(root_);
        EXPECT_EQ(Install("/S /LOG=" + report + " /D=" + home_), 4);
        const std::string said = ReadFileText(report);
        DeleteFileA(report.c_str());
        EXPECT_NE(said.find("Result: nothing was installed\r\nUninstall log not written\r\n"), std::string::npos) << said;
        EXPECT_EQ(ReadFileText(log), earlier) << "byte for byte";
        const std::map<std::string, std::string> after = Snapshot(root_);
        for (const auto& [what, text] : before) EXPECT_EQ(after.at(what), text) << what << ": nothing changed";
        RemoveDirectoryA((log + ".new").c_str());
    }
}

// The user moved the product's search-path entry to the front in the IDE's
// dialog: the removal takes it from there and leaves the rest as it was.
TEST_F(Unattended, SearchPathEntryMovedToTheFront)
{
    Prepare({4});
    const char library[] = "Software\\Borland\\Delphi\\7.0\\Library";
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, library, "Search Path", REG_SZ, Sz("$(DELPHI)\\Lib")));
    ASSERT_EQ(Install("/S /D=" + home_), 0);
    const std::string own = home_ + "\\Delphi7", path = RegistryText(HKEY_CURRENT_USER, library, "Search Path");
    const std::size_t at = path.find(";" + own);
    ASSERT_NE(at, std::string::npos) << path;
    const std::string others = path.substr(0, at) + path.substr(at + own.size() + 1);
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, library, "Search Path", REG_SZ, Sz(own + ";" + others)));
    EXPECT_EQ(RunQuietCommand(RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "QuietUninstallString")), 0);
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, library, "Search Path"), others);
    EXPECT_FALSE(FileExists(home_));
}

// The quiet removal ended while it waits for a home folder that a process
// sits in: the log, the entry and the uninstaller stay, and once that
// process is gone the same command finishes.
TEST_F(Unattended, KilledWhileWaitingForAHeldFolder)
{
    Prepare({4});
    ASSERT_EQ(Install("/S /D=" + home_), 0);
    const std::string quiet = RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "QuietUninstallString");
    const std::string purge = (OnWow64() ? WindowsFolder() : SystemFolder()) + "\\kvxpurge.exe";
    const std::string log = home_ + "\\uninst.kvx";
    ChildProcess holder;  // a program whose current folder is the home folder
    ASSERT_TRUE(holder.Start(KitFolder() + "\\kvxpurge.exe", "kvxpurge.exe", home_));
    ChildProcess removal;
    ASSERT_TRUE(removal.Start(purge, quiet));
    // Everything else is gone: the removal has come to the home folder.
    ASSERT_TRUE(WaitUntil([&] { return !FileExists(home_ + "\\readme.txt") && !FileExists(home_ + "\\Delphi7"); },
                          60000));
    Sleep(300);
    removal.Terminate();
    EXPECT_TRUE(FileExists(log)) << "the log goes last";
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "QuietUninstallString"), quiet);
    EXPECT_TRUE(FileExists(purge));
    holder.Terminate();
    EXPECT_EQ(RunQuietCommand(quiet), 0);
    EXPECT_FALSE(FileExists(home_));
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "DisplayName"), "<missing>");
}

// Neither program changes a file through a link in an environment's Help
// folder (the folder, or one file of it), nor a help file that has another
// name elsewhere: the step is reported as failed, and once the link is gone
// the same command completes. False when Wine cannot show the link.
bool Unattended::NothingChangesThrough(const HelpLink& c)
{
    const std::string decoy = root_ + "\\decoy";
    const std::string report = root_ + "\\report.txt";
    const std::string install = "/S /LOG=" + report + " /D=" + home_;
    SCOPED_TRACE(c.what);
    Prepare({4});
    const std::string help = folders_[4] + "\\Help", link = folders_[4] + "\\" + c.linked;
    const std::string kept = root_ + "\\kept";  // what the link stands in for
    // Puts the link in place of what it stands in for, or back.
    const auto linkIn = [&](bool linked) {
        if (!linked)
            return (c.hard ? DeleteFileA(link.c_str()) != FALSE : RemoveLink(link)) &&
                   MoveFileA(kept.c_str(), link.c_str());
        RemoveTree(decoy);
        CreateDirectoryA(decoy.c_str(), nullptr);
        for (const char* name : {"d7.ohi", "d7.ohl", "d7.gid"})
            CopyFileA((help + "\\" + name).c_str(), (decoy + "\\" + name).c_str(), FALSE);
        const std::string target = std::string(c.linked) == "Help" ? decoy : decoy + "\\d7.ohl";
        if (!MoveFileA(link.c_str(), kept.c_str())) return false;
        return c.hard ? CreateHardLinkA(link.c_str(), target.c_str(), nullptr) != FALSE : MakeLink(target, link);
    };
    if (!linkIn(true)) {
        // Wine shows a link to a file as a reparse point in some versions only.
        RemoveLink(link);
        MoveFileA(kept.c_str(), link.c_str());
        return false;
    }
    std::string before = FileTree(decoy, true, true);
    EXPECT_EQ(Install(install), 3);
    EXPECT_NE(ReadFileText(report).find("Delphi 7: help index not updated\r\n"), std::string::npos)
        << ReadFileText(report);
    EXPECT_EQ(FileTree(decoy, true, true), before) << "nothing changes through the link";
    if (!linkIn(false)) {
        ADD_FAILURE() << "the link stays";
        return true;
    }
    EXPECT_EQ(Install(install), 0) << ReadFileText(report);
    EXPECT_NE(ReadFileText(help + "\\d7.ohl").find("ostrevane.hlp"), std::string::npos);

    // The removal: the decoy holds the product's lines too.
    const std::string quiet = RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "QuietUninstallString");
    if (!linkIn(true)) {
        ADD_FAILURE() << "the link is not made again";
        return true;
    }
    before = FileTree(decoy, true, true);
    EXPECT_GT(RunQuietCommand(quiet), 100);
    EXPECT_EQ(FileTree(decoy, true, true), before) << "nothing changes through the link";
    EXPECT_TRUE(FileExists(home_ + "\\uninst.kvx")) << "kept for another try";
    if (!linkIn(false)) {
        ADD_FAILURE() << "the link stays";
        return true;
    }
    EXPECT_EQ(RunQuietCommand(quiet), 0);
    EXPECT_EQ(ReadFileText(help + "\\d7.ohl").find("ostrevane.hlp"), std::string::npos);
    EXPECT_FALSE(FileExists(home_));
    RemoveTree(decoy);
    return true;
}

TEST_F(Unattended, NothingChangesThroughALinkInTheEnvironmentsHelp)
{
    for (const HelpLink& c : {HelpLink{"the Help folder a link", "Help"},
                              HelpLink{"a help file a hard link", "Help\\d7.ohl", true}})
        EXPECT_TRUE(NothingChangesThrough(c)) << c.what << ": Wine cannot make it";
}

TEST_F(Unattended, NothingChangesThroughAHelpFileThatIsALink)
{
    if (!NothingChangesThrough({"a help file a link", "Help\\d7.ohl"}))
        GTEST_SKIP() << "Wine does not show a link to a file as a reparse point";
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
        std::wstring earlier = L"";  // below root_: installed into first, with /S
        std::string link = "";       // below root_: a link to another folder there
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
        // Not in code page 1252, the prefix's: refused, never installed into "Lodz".
        {"OutsideTheCodePage", L"\u0141\u00f3d\u017a", "", CP_ACP, L"", L"",
         "The destination folder's name has characters that this Windows' code page cannot write, which Delphi and "
         "C++Builder need. Please choose another folder.", true},
        // The removal takes nothing through a link, so nothing goes through one.
        {"LinkAbove", root + L"\\Linked\\Home", "", CP_ACP, L"", L"",
         "A link or junction is on the way to the destination folder.", true, L"", "Linked"},
        // The first installation is kept whole, with its entry.
        {"SecondFolder", root + L"\\Second", "", CP_ACP, L"", L"",
         "Ostrevane is installed in another folder. Please remove it first.", true, L"First Home"},
        // The same folder, another spelling: installed there again.
        {"SameFolderOtherCase", L"FIRST HOME", "", CP_ACP, L"First Home", L"", "", false, L"First Home"},
    };
    const std::string report = root_ + "\\report.txt";
    for (const Row& row : rows)
        for (const bool wizard : {false, true}) {
            if (wizard && !row.wizardToo) continue;
            SCOPED_TRACE(std::string(row.name) + (wizard ? " in the wizard" : " with /S"));
            Prepare({4});
            PrepareUserState(SimulatedIdes[4], folders_[4], "", false, false, REG_SZ);
            const std::map<std::string, std::string> clean = Snapshot(root_);
            const std::string exe = KitFolder() + "\\install.exe";
            if (!row.earlier.empty()) ASSERT_EQ(RunUnattended(exe, L"/S /D=" + root + L"\\" + row.earlier, root_, ""), 0);
            if (!row.link.empty()) {
                CreateDirectoryA((root_ + "\\Target").c_str(), nullptr);
                ASSERT_TRUE(MakeLink(root_ + "\\Target", root_ + "\\" + row.link));
            }
            const std::map<std::string, std::string> before = Snapshot(root_);
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
                if (row.earlier.empty()) EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "DisplayName"), "<missing>");
                const std::map<std::string, std::string> after = Snapshot(root_);
                for (const auto& [what, text] : before) EXPECT_EQ(after.at(what), text) << what << ": nothing written";
                if (!row.link.empty()) EXPECT_TRUE(RemoveLink(root_ + "\\" + row.link));
                continue;
            }
            ASSERT_EQ(exitCode, 0) << said;
            EXPECT_TRUE(FolderExists(home + L"\\Delphi7"));
            // The compiler ran in the home folder as it names it in its own code page: the code page came through.
            char ansiHome[MAX_PATH * 2] = "";
            WideCharToMultiByte(row.codePage, 0, home.c_str(), -1, ansiHome, sizeof ansiHome, nullptr, nullptr);
            const std::vector<std::string> calls = ToolCalls(folders_[4]);
            ASSERT_EQ(calls.size(), row.earlier.empty() ? 1u : 2u);
            // Where it was installed before, the folder is the one given, in its own spelling.
            if (!row.earlier.empty())
                WideCharToMultiByte(row.codePage, 0, (root + L"\\" + row.given).c_str(), -1, ansiHome, sizeof ansiHome,
                                    nullptr, nullptr);
            EXPECT_EQ(calls.back().substr(calls.back().rfind('|') + 1), std::string(ansiHome) + "\\Delphi7");
            // Removed in the same code page, as the user's Windows removes it.
            EXPECT_EQ(RemoveProduct("Ostrevane", "", row.locale).failure, "");
            ASSERT_TRUE(RestartWindows());
            EXPECT_FALSE(FolderExists(home));
            if (!row.madeAbove.empty()) EXPECT_FALSE(FolderExists(root + L"\\" + row.madeAbove)) << "made above the home folder";
            // The home folder as the component names it is in the installer's code page.
            ExpectOnlyTheRemnant(clean, Snapshot(root_), "", "");
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
    EXPECT_EQ(ReadUninstallLog(home + "\\uninst.kvx").size(), first) << "the earlier records, carried over once";
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
    DeleteTree(HKEY_LOCAL_MACHINE, ListEntryKey);
    DeleteFileA((SystemFolder() + "\\kvxpurge.exe").c_str());
    DeleteFileA((WindowsFolder() + "\\kvxpurge.exe").c_str());
    DeleteFileA((SystemFolder() + "\\ovanlibd7.bpl").c_str());
    RemoveTree(root);
}

}  // namespace
