// Whole installations without the wizard: the ScriptWorker runs the chosen
// rows against simulated development environments in the test prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "catalogue.h"
#include "drive_kit.h"
#include "failures.h"
#include "folder_security.h"
#include "installation.h"
#include "interpreter.h"
#include "simulated_ide.h"
#include "targets.h"
#include "templates.h"
#include "test_checks.h"
#include "uninstall_log.h"
#include "progress_sink.h"

namespace {

std::string Resource(int number)
{
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(number), MAKEINTRESOURCEA(10));
    if (!found) return "<no resource>";
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
    return std::string(bytes, SizeofResource(nullptr, found));
}

constexpr char LinkLineText[] = "\r\n:Link ostrevane.hlp\r\n";
constexpr char IndexLineText[] = "\r\n:INDEX Corvex Lib Help=ostrevane.hlp\r\n";

class InstallRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::copy(TargetStates, TargetStates + TargetCount, saved_);
        ASSERT_TRUE(AllocateEngineBuffers());
        root_ = TestFolder("ostrevane-run");
        home_ = root_ + "\\Home Dir";
        sys_ = root_ + "\\System";
        win_ = root_ + "\\Windows";
        CreateDirectoryA(sys_.c_str(), nullptr);
        CreateDirectoryA(win_.c_str(), nullptr);
        RemoveSimulatedIdeKeys();
        ClearProductKeys();
    }

    void TearDown() override
    {
        for (int i = 0; i < TargetCount; ++i)
            if (TargetStates[i].rootFolder) LocalFree(TargetStates[i].rootFolder);
        std::copy(saved_, saved_ + TargetCount, TargetStates);
        ReleaseEngineBuffers();
        RemoveSimulatedIdeKeys();
        ClearProductKeys();
        RemoveTree(root_);
    }

    static void ClearProductKeys()
    {
        DeleteTree(HKEY_LOCAL_MACHINE, LogonComponentKey);
        DeleteTree(HKEY_CURRENT_USER, LogonComponentKey);
        DeleteTree(HKEY_LOCAL_MACHINE, ListEntryKey);
        DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Quillmere");
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, WindowsHelpKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "ostrevane.hlp");
            RegDeleteValueA(key, "ostrevane.cnt");
            RegCloseKey(key);
        }
    }

    // Marks the rows as the wizard would leave them: environments found or
    // not, the demo and help rows ticked or not.
    void Choose(const std::set<int>& rows, bool demos, bool help)
    {
        for (int row = 0; row < 9; ++row) {
            TargetState& t = TargetStates[row];
            if (!rows.count(row)) {
                t.listState = NotListed;
                t.checkState = NotFound;
                continue;
            }
            if (!t.rootFolder) {
                const std::string folder = CreateSimulatedIde(SimulatedIdes[row], root_);
                folders_[row] = folder;
                t.rootFolder = static_cast<char*>(LocalAlloc(LPTR, PathSize));
                CopyText(t.rootFolder, PathSize, folder.c_str());
            }
            t.listState = Listed;
            t.checkState = Install;
        }
        TargetStates[10].checkState = demos ? Install : Unticked;
        TargetStates[11].checkState = help ? Install : Unticked;
    }

    // What entering page 3 and the worker do, up to the written log.
    void RunInstall(const std::string& homeOld = "", bool logWhole = true)
    {
        SetVariable(HomeDir, home_.c_str());
        SetVariable(SysDir, sys_.c_str());
        SetVariable(UninstDir, win_.c_str());
        SetVariable(HomeOld, homeOld.c_str());
        static int ended;
        ended = 0;
        TheProgressSink = {nullptr, nullptr, [] { ++ended; }};
        ScriptWorker(nullptr);
        TheProgressSink = {nullptr, nullptr, nullptr};
        EXPECT_EQ(ended, 1) << "the end is reported once";
        EXPECT_EQ((TheFailures.overall & LogNotWritten) == 0, logWhole);
        log_ = ReadUninstallLog(home_ + "\\uninst.kvx");
    }

    std::string Sub(const SimulatedIde& ide) const { return home_ + "\\" + ide.subFolder; }

    TargetState saved_[TargetCount];
    std::string root_, home_, sys_, win_;
    std::string folders_[9];
    std::vector<LogRecord> log_;
};

// The uninstaller and its entry first, then before each step what undoes it;
// the keys of an environment that its user never started are made, and named.
TEST_F(InstallRun, DelphiSevenAloneLogsWhatUndoesEachStep)
{
    Choose({4}, false, false);
    RunInstall();
    const std::string d = home_ + "\\Delphi7\\";
    const std::string help = folders_[4] + "\\Help\\";
    const std::vector<LogRecord> expected = {
        {ProductText, ProductDescription},
        {CreatedFolder, home_},
        {ProductFile, win_ + "\\kvxpurge.exe"},
        {MachineKeyDelete, ListEntryKey},
        {TargetCaption, " Files for Borland Delphi 7"},
        {CreatedFolder, home_ + "\\Delphi7"},
        {InstalledFile, d + "ovanlibd7.dpk"},
        {InstalledFile, d + "ovanlibd7.res"},
        {InstalledFile, d + "wm_user.inc"},
        {InstalledFile, d + "ostrevane.res"},
        {InstalledFile, d + "ostrevane.dcu"},
        {InstalledFile, d + "ostrevane.dcr"},
        {InstalledFile, d + "ovanlibd7.bpl"},
        {InstalledFile, d + "ovanlibd7.dcp"},  // what the compiler left beside the package, after it ran
        {ProductFile, sys_ + "\\ovanlibd7.bpl"},
        {UserKeyDelete, "Software\\Borland\\Delphi\\7.0\\Known Packages"},
        {UserKeyDelete, "Software\\Borland\\Delphi\\7.0"},
        {UserKeyDelete, "Software\\Borland\\Delphi"},
        {UserKeyDelete, "Software\\Borland"},
        {UserKeyOpen, "Software\\Borland\\Delphi\\7.0\\Known Packages"},
        {KeyValueDelete, d + "ovanlibd7.bpl"},
        {UserKeyDelete, "Software\\Borland\\Delphi\\7.0\\Library"},
        {UserKeyOpen, "Software\\Borland\\Delphi\\7.0\\Library"},
        {SearchPathEntry, "Search Path\t;" + home_ + "\\Delphi7"},
        {UserKeyOpen, "Software\\Borland\\Delphi\\7.0\\Library"},
        {KeyValueDelete, "Search Path"},
        {HelpLine, help + "d7.ohi\t" + IndexLineText},
        {HelpLine, help + "d7.ohl\t" + LinkLineText},
        {TargetCaption, " Shared Files"},
        {InstalledFile, home_ + "\\readme.txt"},
        {InstalledFile, home_ + "\\license.txt"},
        {ProductFile, win_ + "\\kvxuser.exe"},
        {LogonComponent, LogonComponentKey},
        {MachineKeyDelete, "Software\\Quillmere"},
        {MachineKeyDelete, ProductHomeKey},
    };
    EXPECT_FALSE(AnyFailure()) << "an empty wm_user.inc is by design";
    EXPECT_LOG(log_, expected);
}

TEST_F(InstallRun, DelphiSevenLeavesItsFilesRegistryAndHelpLines)
{
    Choose({4}, false, false);
    const SimulatedIde& ide = SimulatedIdes[4];
    const std::string userKey = std::string(ide.registryKey) + "\\Library";
    ASSERT_TRUE(
        SetRegistryValue(HKEY_CURRENT_USER, userKey, "Search Path", REG_SZ, Sz("$(DELPHI)\\Lib;$(DELPHI)\\Bin")));
    // A file the compiler writes that no list names: found in the home folder, which the installation made.
    WriteFileText(folders_[4] + "\\Bin\\standin.cfg", "also=ovanlibd7.drc\r\n");
    RunInstall();

    const std::string sub = Sub(ide);
    EXPECT_TRUE(std::any_of(log_.begin(), log_.end(), [&](const LogRecord& r) {
        return r.type == InstalledFile && r.text == sub + "\\ovanlibd7.drc";
    })) << "the compiler's own by-product is logged";
    // Payload files byte for byte; resource 71 does not exist.
    EXPECT_EQ(ReadFileText(sub + "\\ovanlibd7.dpk"), Resource(700));
    EXPECT_EQ(ReadFileText(sub + "\\ovanlibd7.res"), Resource(701));
    EXPECT_EQ(ReadFileText(sub + "\\ostrevane.dcu"), Resource(702));
    EXPECT_EQ(ReadFileText(sub + "\\ostrevane.dcr"), Resource(100));
    EXPECT_EQ(ReadFileText(sub + "\\wm_user.inc"), "");
    EXPECT_EQ(ReadFileText(home_ + "\\readme.txt"), Resource(200));
    EXPECT_EQ(ReadFileText(home_ + "\\license.txt"), Resource(203));
    EXPECT_EQ(ReadFileText(win_ + "\\kvxpurge.exe"), Resource(7));

    // The compiler ran once, in the sub-folder; its package was copied.
    const std::vector<std::string> calls = ToolCalls(folders_[4]);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], "dcc32|\"" + folders_[4] + "\\Bin\\dcc32.exe\" \"ovanlibd7.dpk\"|" + sub);
    EXPECT_TRUE(FileExists(sub + "\\ovanlibd7.bpl"));
    EXPECT_EQ(ReadFileText(sys_ + "\\ovanlibd7.bpl"), ReadFileText(sub + "\\ovanlibd7.bpl"));

    const std::string packages = std::string(ide.registryKey) + "\\Known Packages";
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, packages.c_str(), (sub + "\\ovanlibd7.bpl").c_str()),
              "Ostrevane v3.10 (trial) VCL");
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, userKey.c_str(), "Search Path"),
              "$(DELPHI)\\Lib;$(DELPHI)\\Bin;" + sub);

    EXPECT_EQ(ReadFileText(folders_[4] + "\\Help\\d7.ohi"), std::string(":Base Delphi7.hlp\r\n") + IndexLineText);
    EXPECT_EQ(ReadFileText(folders_[4] + "\\Help\\d7.ohl"), std::string(":Base Delphi7.hlp\r\n") + LinkLineText);
    EXPECT_FALSE(FileExists(folders_[4] + "\\Help\\d7.gid"));

    // Windows' list: every value with its type; the size is that of the files the log lists.
    std::size_t bytes = 0;
    for (const LogRecord& r : log_)
        if (r.type == InstalledFile || r.type == ProductFile) bytes += ReadFileText(r.text).size();
    SYSTEMTIME today;
    GetLocalTime(&today);
    char date[16];
    snprintf(date, sizeof date, "%04u%02u%02u", today.wYear, today.wMonth, today.wDay);
    const std::vector<std::string> listed = {
        "DisplayIcon=REG_SZ:" + win_ + "\\kvxpurge.exe",
        "DisplayName=REG_SZ:Quillmere Ostrevane v3.10 (trial)",
        "DisplayVersion=REG_SZ:3.10",
        "EstimatedSize=REG_DWORD:" + std::to_string((bytes + 1023) / 1024),
        std::string("InstallDate=REG_SZ:") + date,
        "InstallLocation=REG_SZ:" + home_,
        "NoModify=REG_DWORD:1",
        "NoRepair=REG_DWORD:1",
        "Publisher=REG_SZ:Quillmere",
        "QuietUninstallString=REG_SZ:\"" + win_ + "\\kvxpurge.exe\" /S \"" + home_ + "\\uninst.kvx\"",
        "UninstallString=REG_SZ:\"" + win_ + "\\kvxpurge.exe\" \"" + home_ + "\\uninst.kvx\"",
    };
    EXPECT_EQ(RegistryValues(HKEY_LOCAL_MACHINE, ListEntryKey), listed);
    EXPECT_GT(bytes, 20000u) << "kvxpurge.exe alone is larger";
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, ProductHomeKey, "RootDir"), home_);
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, WindowsHelpKey, "ostrevane.hlp"), "<missing>");
}

TEST_F(InstallRun, EveryRowAtOnce)
{
    Choose({0, 1, 2, 3, 4, 5, 6, 7, 8}, true, true);
    HKEY help = nullptr;
    const bool helpKeyThere = RegOpenKeyExA(HKEY_LOCAL_MACHINE, WindowsHelpKey, 0, KEY_QUERY_VALUE, &help) == ERROR_SUCCESS;
    if (help) RegCloseKey(help);
    RunInstall();
    EXPECT_FALSE(AnyFailure());
    // By type: 80 payload files, 9 packages and 2 makefiles, 5 compiled
    // packages and 4 times the linker's 4 by-products; 9 package
    // copies and the uninstaller; 18 help lines; 14 folders; for each
    // environment its user's key with the two below it and the search path,
    // and the three keys above them; the help key when this run made it.
    std::map<int, int> counts;
    for (const LogRecord& r : log_) ++counts[r.type];
    const std::map<int, int> expected = {
        {ProductText, 1},     {TargetCaption, 12},   {InstalledFile, 112}, {MachineKeyOpen, 2},
        {KeyValueDelete, 20}, {UserKeyDelete, 30},   {MachineKeyDelete, helpKeyThere ? 3 : 4},
        {UserKeyOpen, 27},    {SearchPathEntry, 9},  {HelpLine, 18},       {ProductFile, 11},
        {CreatedFolder, 14},  {LogonComponent, 1}};
    EXPECT_EQ(counts, expected);

    for (const SimulatedIde& ide : SimulatedIdes) {
        SCOPED_TRACE(ide.folder);
        const std::string sub = Sub(ide);
        const std::string package = sub + "\\" + ide.package + ide.packageExt;
        EXPECT_EQ(ReadFileText(sub + "\\wm_user.inc"), "");
        EXPECT_TRUE(FileExists(package));
        EXPECT_TRUE(FileExists(sys_ + "\\" + ide.package + ide.packageExt));
        const std::string packages = std::string(ide.registryKey) + "\\Known Packages";
        EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, packages.c_str(), package.c_str()), "Ostrevane v3.10 (trial) VCL");
        const std::string library = std::string(ide.registryKey) + "\\Library";
        EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, library.c_str(), ide.searchValue), ";" + sub);
        EXPECT_FALSE(FileExists(folders_[ide.row] + "\\Help\\" + ide.gidFile));
        for (const char* help : ide.helpFiles) {
            if (!help) continue;
            const std::string text = ReadFileText(folders_[ide.row] + "\\Help\\" + help);
            const bool index = std::string(help).find(".ohi") != std::string::npos;
            EXPECT_EQ(text, std::string(":Base ") + ide.folder + ".hlp\r\n" + (index ? IndexLineText : LinkLineText)) << help;
        }
    }
    // The C++Builder 5 and 6 rows turn the project into a make file first;
    // the make command line keeps its unmatched closing quote.
    const std::vector<std::string> cb6 = ToolCalls(folders_[8]);
    ASSERT_EQ(cb6.size(), 2u);
    const std::string bin = "\"" + folders_[8] + "\\Bin\\";
    EXPECT_EQ(cb6[0], "bpr2mak|" + bin + "bpr2mak.exe\" -oovanlibb6.mak ovanlibb6.bpk|" + Sub(SimulatedIdes[8]));
    EXPECT_EQ(cb6[1], "make|" + bin + "make.exe\" /fovanlibb6.mak\"|" + Sub(SimulatedIdes[8]));
    EXPECT_EQ(ToolCalls(folders_[5]).size(), 1u);
    // Delphi 3 builds, copies and registers a .dpl.
    EXPECT_TRUE(FileExists(Sub(SimulatedIdes[0]) + "\\ovanlibd3.dpl"));
    EXPECT_FALSE(FileExists(Sub(SimulatedIdes[0]) + "\\ovanlibd3.bpl"));
    // Each C++Builder row writes resource 8302 under its own package name.
    for (int row = 5; row < 9; ++row)
        EXPECT_EQ(ReadFileText(Sub(SimulatedIdes[row]) + "\\" + SimulatedIdes[row].package + ".res"), Resource(8302));

    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, WindowsHelpKey, "ostrevane.hlp"), home_ + "\\Help");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, WindowsHelpKey, "ostrevane.cnt"), home_ + "\\Help");
    EXPECT_EQ(ReadFileText(home_ + "\\Help\\ostrevane.hlp"), Resource(201));
    EXPECT_EQ(ReadFileText(home_ + "\\Demos\\CBuilder\\unit1.dfm"), Resource(9));
    EXPECT_EQ(ReadFileText(home_ + "\\Demos\\Delphi\\ostrevdemo.dpr"), Resource(1));
}

// The security every folder the installation creates is given: the parent's
// entries kept out, and its own passed on to what is created inside. Wine
// takes the descriptor but keeps only what Unix file modes can hold, so the
// descriptor is read before it goes to CreateDirectoryA.
TEST(FolderSecurity, AdministratorsAndSystemChangeUsersReadAndRun)
{
    ProtectedSecurity security;
    ASSERT_TRUE(BuildProtectedSecurity(&security));
    ASSERT_EQ(security.attributes.lpSecurityDescriptor, &security.descriptor);
    EXPECT_FALSE(security.attributes.bInheritHandle);
    ASSERT_TRUE(IsValidSecurityDescriptor(&security.descriptor));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(&security.descriptor, &control, &revision));
    EXPECT_EQ(control & (SE_DACL_PRESENT | SE_DACL_PROTECTED), SE_DACL_PRESENT | SE_DACL_PROTECTED);
    BOOL present = FALSE, defaulted = TRUE;
    ACL* dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(&security.descriptor, &present, &dacl, &defaulted));
    ASSERT_TRUE(dacl);
    std::vector<std::string> entries;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        char name[64] = "", domain[64] = "";
        DWORD nameSize = sizeof name, domainSize = sizeof domain;
        SID_NAME_USE use;
        LookupAccountSidA(nullptr, &ace->SidStart, name, &nameSize, domain, &domainSize, &use);
        char line[160];
        wsprintfA(line, "%d %s\\%s %lx %x", ace->Header.AceType, domain, name, ace->Mask, ace->Header.AceFlags);
        entries.push_back(line);
    }
    // Allowed entries (type 0), inherited by files and folders (flags 3).
    EXPECT_EQ(entries, (std::vector<std::string>{"0 BUILTIN\\Administrators 1f01ff 3",
                                                 "0 NT AUTHORITY\\SYSTEM 1f01ff 3", "0 BUILTIN\\Users 1200a9 3"}));
}

// Whether a folder's security lets only administrators change what is in it,
// decided on descriptors as Windows gives them.
TEST(FolderSecurity, OnlyAdministratorsChangeWhatIsInside)
{
    const std::string user = "S-1-5-21-1-2-3-1000";
    const std::string installer = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    const struct {
        const char* what;
        std::string sddl;
        bool runnerOwns;  // the user is the installing one, as under Wine
        bool safe;
    } cases[] = {
        {"made by the installation", "O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)", false, true},
        {"below Program Files", "O:" + installer + "D:PAI(A;;FA;;;" + installer + ")(A;CIIO;GA;;;" + installer +
             ")(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)"
             "(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)",
         false, true},
        {"made at a drive's root by an earlier kit", "O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)"
             "(A;OICIID;0x1301bf;;;AU)", false, false},
        {"owned by the installing user", "O:" + user + "D:(A;OICI;FA;;;" + user + ")(A;;FR;;;WD)", true, true},
        {"owned by a user who does not install", "O:" + user + "D:(A;OICI;FA;;;BA)", false, false},
        {"no owner", "D:(A;OICI;FA;;;BA)", false, false},
        {"no access list: everyone in", "O:BA", false, false},
        {"everyone adds files", "O:BAD:(A;;FA;;;BA)(A;;0x2;;;WD)", false, false},
        {"users add folders", "O:BAD:(A;;FA;;;BA)(A;;0x4;;;BU)", false, false},
        {"users delete what is inside", "O:BAD:(A;;FA;;;BA)(A;;0x40;;;BU)", false, false},
        {"users delete it", "O:BAD:(A;;FA;;;BA)(A;;SD;;;BU)", false, false},
        {"users change its access list", "O:BAD:(A;;FA;;;BA)(A;;WD;;;BU)", false, false},
        {"users take it", "O:BAD:(A;;FA;;;BA)(A;;WO;;;BU)", false, false},
        {"users write files made inside", "O:BAD:(A;;FA;;;BA)(A;OICIIO;GW;;;BU)", false, false},
        {"users may do anything inside", "O:BAD:(A;;FA;;;BA)(A;OICIIO;GA;;;BU)", false, false},
        {"users denied, not allowed", "O:BAD:(D;;FA;;;BU)(A;;FA;;;BA)", false, true},
        {"users read and run", "O:SYD:(A;;FA;;;SY)(A;OICI;FRFX;;;BU)", false, true},
    };
    PSID runner = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidA(user.c_str(), &runner));
    PSID stranger = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidA("S-1-5-21-1-2-3-1001", &stranger));
    for (const auto& c : cases) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(c.sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                                         nullptr))
            << c.what;
        // The user as the token's default owner, and as its account.
        EXPECT_EQ(OnlyAdministratorsChange(descriptor, c.runnerOwns ? runner : stranger), c.safe) << c.what;
        EXPECT_EQ(OnlyAdministratorsChange(descriptor, stranger, c.runnerOwns ? runner : nullptr), c.safe) << c.what;
        LocalFree(descriptor);
    }
    LocalFree(runner);
    LocalFree(stranger);
}

// An existing destination that others may change is taken only empty, and
// then made afresh as a folder of the installation's own; one that holds
// something is refused before anything is written.
TEST_F(InstallRun, AnExistingFolderOthersMayChangeIsTakenOnlyEmpty)
{
    home_ = root_ + "\\Open Home";  // the earlier tests' home folder may not have gone
    ASSERT_TRUE(CreateDirectoryA(home_.c_str(), nullptr));
    EXPECT_TRUE(FolderOnlyAdministratorsChange(home_.c_str())) << "a folder as Wine makes it is the user's own";
    // As a user without administrator rights may leave a folder made first.
    PSECURITY_DESCRIPTOR open = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;OICI;FA;;;WD)", SDDL_REVISION_1, &open,
                                                                     nullptr));
    const BOOL set = SetFileSecurityA(home_.c_str(), DACL_SECURITY_INFORMATION, open);
    LocalFree(open);
    if (!set || FolderOnlyAdministratorsChange(home_.c_str()))
        GTEST_SKIP() << "Wine kept no access list on this file system";
    WriteFileText(home_ + "\\Delphi7.mak", "planted");
    EXPECT_EQ(TakeDestination(home_.c_str()), DestinationRefusal::Unguarded);
    EXPECT_STREQ(VariableValue(HomeDir), "");
    ASSERT_TRUE(DeleteFileA((home_ + "\\Delphi7.mak").c_str()));
    ASSERT_EQ(TakeDestination(home_.c_str()), DestinationRefusal::None);
    Choose({4}, false, false);
    RunInstall();
    EXPECT_EQ(TheFailures.overall, 0);
    EXPECT_TRUE(FolderOnlyAdministratorsChange(home_.c_str()));
    EXPECT_TRUE(FileExists(Sub(SimulatedIdes[4]) + "\\ovanlibd7.bpl"));
}

// A sub-folder that already is a link takes nothing: no file is written, no
// tool runs and no package is copied or registered through it; the other
// rows install as usual.
TEST_F(InstallRun, ASubFolderThatIsALinkTakesNothing)
{
    home_ = root_ + "\\Linked Home";  // an earlier tool's folder may still be the current one
    Choose({4, 8}, false, true);
    const std::string elsewhere = root_ + "\\elsewhere";
    CreateDirectoryA(elsewhere.c_str(), nullptr);
    CreateDirectoryA(home_.c_str(), nullptr);
    ASSERT_TRUE(MakeLink(elsewhere, Sub(SimulatedIdes[4])));
    ASSERT_TRUE(MakeLink(elsewhere, home_ + "\\Help"));
    WriteFileText(elsewhere + "\\ovanlibd7.bpl", "planted package");
    // A by-product no list names, in a home folder that was there before.
    WriteFileText(folders_[8] + "\\Bin\\standin.cfg", "also=ovanlibb6.map\r\n");
    RunInstall();
    EXPECT_TRUE(std::any_of(log_.begin(), log_.end(), [&](const LogRecord& r) {
        return r.type == InstalledFile && r.text == Sub(SimulatedIdes[8]) + "\\ovanlibb6.map";
    })) << "the linker's own by-product is logged";
    EXPECT_EQ(TheFailures.first[4], Failure::FolderNotCreated);
    EXPECT_EQ(TheFailures.first[11], Failure::FolderNotCreated);
    EXPECT_EQ(TheFailures.first[8], Failure::None);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((elsewhere + "\\*").c_str(), &found);
    std::vector<std::string> names;
    do names.push_back(found.cFileName); while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "ovanlibd7.bpl"}));
    EXPECT_TRUE(ToolCalls(folders_[4]).empty());
    EXPECT_FALSE(FileExists(sys_ + "\\ovanlibd7.bpl"));
    const std::string packages = std::string(SimulatedIdes[4].registryKey) + "\\Known Packages";
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, packages.c_str(), (Sub(SimulatedIdes[4]) + "\\ovanlibd7.bpl").c_str()),
              "<missing>");
    EXPECT_TRUE(FileExists(Sub(SimulatedIdes[8]) + "\\ovanlibb6.bpl"));
    EXPECT_EQ(ReadFileText(home_ + "\\readme.txt"), Resource(200));
    RemoveLink(Sub(SimulatedIdes[4]));
    RemoveLink(home_ + "\\Help");
}

TEST_F(InstallRun, NothingTickedInstallsTheSharedFilesOnly)
{
    Choose({}, false, false);
    RunInstall();
    ASSERT_EQ(log_.size(), 11u);
    EXPECT_EQ(log_[2].text, win_ + "\\kvxpurge.exe");
    EXPECT_EQ(log_[7].text, win_ + "\\kvxuser.exe");
    EXPECT_EQ(ReadFileText(win_ + "\\kvxuser.exe"), Resource(12));
    EXPECT_EQ(log_[4].text, " Shared Files");
    EXPECT_EQ(ReadFileText(win_ + "\\kvxpurge.exe"), Resource(7));
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "UninstallString"),
              "\"" + win_ + "\\kvxpurge.exe\" \"" + home_ + "\\uninst.kvx\"");
    EXPECT_FALSE(FileExists(home_ + "\\Demos"));
    EXPECT_FALSE(FileExists(home_ + "\\Help"));
}

TEST_F(InstallRun, ReinstallingKeepsOneSearchPathEntryAndOnePackage)
{
    Choose({2, 8}, false, true);
    RunInstall();
    const std::size_t firstLog = log_.size();
    WriteFileText(home_ + "\\stale.txt", "x");
    RunInstall(home_);  // the earlier installation's folder comes back as $HOME_OLD$
    EXPECT_EQ(log_.size(), firstLog) << "the earlier records are carried over once";
    for (int row : {2, 8}) {
        const SimulatedIde& ide = SimulatedIdes[row];
        const std::string library = std::string(ide.registryKey) + "\\Library";
        EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, library.c_str(), ide.searchValue), ";" + Sub(ide));
        const std::string packages = std::string(ide.registryKey) + "\\Known Packages";
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, packages.c_str(), 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
        DWORD values = 0;
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                         nullptr);
        RegCloseKey(key);
        EXPECT_EQ(values, 1u) << ide.folder;
        // The help lines are added once.
        const std::string ohl = ReadFileText(folders_[row] + "\\Help\\" + ide.helpFiles[1]);
        EXPECT_EQ(ohl.find(":Link ostrevane.hlp"), ohl.rfind(":Link ostrevane.hlp"));
    }
}

// An earlier log that leaves room for only part of the records: where they
// stop fitting, the steps stop changing anything, so every file and folder
// left is named in the log on disk. Stopped at the package's record or at
// the by-product the compiler is known to write, the compiler never runs.
TEST_F(InstallRun, RecordsThatStopFittingStopTheirSteps)
{
    Choose({4}, false, false);
    RunInstall();
    const std::string fresh = ReadFileText(home_ + "\\uninst.kvx");
    const std::string d = home_ + "\\Delphi7\\";
    DeleteFileA((folders_[4] + "\\Bin\\calls.log").c_str());
    for (const LogRecord& last : {LogRecord{InstalledFile, d + "ovanlibd7.bpl"}, LogRecord{InstalledFile, d + "ovanlibd7.dcp"},
                                  LogRecord{ProductFile, sys_ + "\\ovanlibd7.bpl"}, LogRecord{SearchPathEntry, "Search Path\t;" + d.substr(0, d.size() - 1)}}) {
        SCOPED_TRACE(last.text);
        const std::size_t at = fresh.find(static_cast<char>(last.type) + last.text + '\0');
        ASSERT_NE(at, std::string::npos);
        // Filler records after the product's, so that this record is the first that does not fit.
        std::size_t filler = 65535 - (at + last.text.size() + 2) + 1;
        std::string earlier = std::string("\x01old\0", 5);
        while (filler) {
            std::size_t size = std::min<std::size_t>(filler, 1000);
            if (filler - size != 0 && filler - size < 3) size -= 3;  // no record is shorter than 3 bytes here
            earlier += '\x03' + std::string(size - 2, 'x') + '\0';
            filler -= size;
        }
        SetCurrentDirectoryA(root_.c_str());  // the compiler's folder goes
        // The keys as the fresh run found them, so that it records the same again.
        DeleteTree(HKEY_CURRENT_USER, "Software\\Borland");
        ClearProductKeys();
        RemoveTree(home_);
        RemoveTree(sys_);
        CreateDirectoryA(home_.c_str(), nullptr);
        CreateDirectoryA(sys_.c_str(), nullptr);
        ASSERT_TRUE(WriteFileText(home_ + "\\uninst.kvx", earlier));
        RunInstall("", false);
        EXPECT_EQ(TheFailures.overall & LogNotWritten, LogNotWritten);
        std::map<std::string, std::string> left;
        AddFileBytes(home_, left, true);
        AddFileBytes(sys_, left, true);
        left.erase(home_ + "\\uninst.kvx");
        for (const auto& entry : left) {
            const std::string& path = entry.first;
            const bool folder = path.back() == '\\';
            const LogRecord named = {folder ? 13 : path.rfind(sys_, 0) == 0 ? 12 : 3,
                                     folder ? path.substr(0, path.size() - 1) : path};
            EXPECT_NE(std::find(log_.begin(), log_.end(), named), log_.end()) << path << " is named nowhere";
        }
        EXPECT_EQ(std::find(log_.begin(), log_.end(), last), log_.end()) << "the record did not fit";
        EXPECT_EQ(ToolCalls(folders_[4]).size(), last.text.rfind(d, 0) == 0 ? 0u : 1u);
        DeleteFileA((folders_[4] + "\\Bin\\calls.log").c_str());
    }
}

// Logons after an installation, each for a "user" the row sets up in HKCU
// (Wine has one account) in Delphi 7 and C++Builder 6.
struct LogonRow {
    const char* name;
    const char* home;  // below the test root
    bool userKeys;     // the user started the environments once
    bool ownEntries;   // their packages, a switched-off one, a search path, the product's older entries
    int logons;        // the registrar is also run directly after the first
};

constexpr LogonRow LogonRows[] = {
    // name                        home                              userKeys ownEntries logons
    {"own entries",                "Home Dir",                       true,    true,      1},
    {"the same logon twice",       "Home Dir",                       true,    true,      2},
    {"environments bare",          "Home Dir",                       true,    false,     1},
    {"never started",              "Home Dir",                       false,   false,     1},
    {"home with blanks",           "Program Files\\Quill mere  Kit", true,    true,      1},
};

// A later installation's or a removal's Version, as a logon finds it.
void RaiseVersion(const char* version)
{
    ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, LogonComponentKey, "Version", REG_SZ, Sz(version)));
}

// How often each logon started the registrar, each run ending with 0.
int RegistrarRuns(const std::vector<LogonRun>& runs, const std::string& registrar)
{
    int count = 0;
    for (const LogonRun& run : runs)
        if (run.stubPath == Quoted(registrar)) {
            EXPECT_EQ(run.exitCode, 0);
            ++count;
        }
    return count;
}

std::string EnvironmentKey(const SimulatedIde& ide, const char* below)
{
    return std::string(ide.registryKey) + "\\" + below;
}

// The user's own settings: their package, one they switched off, an older
// copy of the product in both lists, and their search path with an entry of
// an earlier version.
void SetUpUser(const SimulatedIde& ide, const std::string& ideFolder, const std::string& package)
{
    const std::string known = EnvironmentKey(ide, "Known Packages"), off = EnvironmentKey(ide, "Disabled Packages");
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, known, "C:\\Own\\mine.bpl", REG_SZ, Sz("Mine")));
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, known, "C:\\Old Kit\\ovanlib.bpl", REG_SZ, Sz("Older")));
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, off, "C:\\Own\\off.bpl", REG_SZ, Sz("Off")));
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, off, ("C:\\Old Kit\\" + std::string(ide.package) + ".bpl").c_str(),
                                 REG_SZ, Sz("Older")));
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, off, package.c_str(), REG_SZ, Sz("Switched off")));
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, EnvironmentKey(ide, "Library"), ide.searchValue, REG_EXPAND_SZ,
                                 Sz("$(DELPHI)\\Lib;C:\\Own Lib;" + ideFolder + "\\add\\ostrevane")));
}

TEST_F(InstallRun, EachLogonGivesTheUserTheProductOnceAndKeepsTheirs)
{
    for (const LogonRow& row : LogonRows) {
        SCOPED_TRACE(row.name);
        RemoveSimulatedIdeKeys();
        ClearProductKeys();
        for (int i : {4, 8}) {
            if (TargetStates[i].rootFolder) LocalFree(TargetStates[i].rootFolder);
            TargetStates[i].rootFolder = nullptr;
        }
        home_ = root_ + "\\" + row.home;
        Choose({4, 8}, false, false);
        RunInstall();
        const std::string registrar = win_ + "\\kvxuser.exe";
        ASSERT_TRUE(FileExists(registrar));
        ASSERT_EQ(RegistryText(HKEY_LOCAL_MACHINE, LogonComponentKey, "StubPath"), Quoted(registrar));
        const std::string installed = RegistryText(HKEY_LOCAL_MACHINE, LogonComponentKey, "Version");

        DeleteTree(HKEY_CURRENT_USER, "Software\\Borland");
        for (int i : {4, 8}) {
            const SimulatedIde& ide = SimulatedIdes[i];
            const std::string package = Sub(ide) + "\\" + ide.package + ide.packageExt;
            if (row.userKeys) ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, ide.registryKey, "", REG_SZ, Sz("")));
            if (row.ownEntries) SetUpUser(ide, folders_[i], package);
        }

        EXPECT_EQ(RegistrarRuns(PlayLogon(), registrar), 1);
        EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, LogonComponentKey, "Version"), installed);
        if (row.logons > 1) {
            EXPECT_EQ(RegistrarRuns(PlayLogon(), registrar), 0) << "the stamp holds the second logon back";
            for (const char* raised : {"9999,1210,510,2", "9999,1210,510,10"}) {
                RaiseVersion(raised);
                EXPECT_EQ(RegistrarRuns(PlayLogon(), registrar), 1) << "a raised Version runs it again";
            }
        }

        for (int i : {4, 8}) {
            const SimulatedIde& ide = SimulatedIdes[i];
            SCOPED_TRACE(ide.folder);
            const std::string package = Sub(ide) + "\\" + ide.package + ide.packageExt;
            if (!row.userKeys) {
                EXPECT_EQ(RegistryTree(HKEY_CURRENT_USER, ide.registryKey), "<missing>\n") << "no half-made settings";
                continue;
            }
            std::vector<std::string> known = {package + "=REG_SZ:Ostrevane v3.10 (trial) VCL"};
            std::vector<std::string> off;
            if (row.ownEntries) {
                known.insert(known.begin(), "C:\\Own\\mine.bpl=REG_SZ:Mine");
                off = {"C:\\Own\\off.bpl=REG_SZ:Off", package + "=REG_SZ:Switched off"};
            }
            std::sort(known.begin(), known.end());
            std::sort(off.begin(), off.end());
            EXPECT_EQ(RegistryValues(HKEY_CURRENT_USER, EnvironmentKey(ide, "Known Packages").c_str()), known);
            EXPECT_EQ(RegistryValues(HKEY_CURRENT_USER, EnvironmentKey(ide, "Disabled Packages").c_str()), off);
            DWORD type = 0;
            EXPECT_EQ(RegistryBytes(HKEY_CURRENT_USER, EnvironmentKey(ide, "Library"), ide.searchValue, &type),
                      Sz((row.ownEntries ? "$(DELPHI)\\Lib;C:\\Own Lib;" : ";") + Sub(ide)));
            EXPECT_EQ(type, DWORD(row.ownEntries ? REG_EXPAND_SZ : REG_SZ));
        }
    }
}

// Another user's lists, which an installation running as this one leaves alone.
struct UserLists {
    std::vector<std::string> known, off;
    std::string searchPath;
    DWORD type = REG_SZ;
};

UserLists SaveUser(const SimulatedIde& ide)
{
    UserLists user;
    user.known = RegistryValues(HKEY_CURRENT_USER, EnvironmentKey(ide, "Known Packages").c_str());
    user.off = RegistryValues(HKEY_CURRENT_USER, EnvironmentKey(ide, "Disabled Packages").c_str());
    user.searchPath = RegistryBytes(HKEY_CURRENT_USER, EnvironmentKey(ide, "Library"), ide.searchValue, &user.type);
    return user;
}

void RestoreUser(const SimulatedIde& ide, const UserLists& user)
{
    DeleteTree(HKEY_CURRENT_USER, ide.registryKey);
    for (const auto& [list, key] : {std::pair{&user.known, "Known Packages"}, {&user.off, "Disabled Packages"}})
        for (const std::string& value : *list) {
            const std::size_t at = value.find("=REG_SZ:");
            ASSERT_NE(at, std::string::npos) << value;
            ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, EnvironmentKey(ide, key), value.substr(0, at).c_str(),
                                         REG_SZ, Sz(value.substr(at + 8))));
        }
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, EnvironmentKey(ide, "Library"), ide.searchValue, user.type,
                                 user.searchPath));
}

// After the removal the component stays with a raised Version and no
// product: the next logon takes the product's entries away, and only those.
// A later installation registers the user again, once, whether or not they
// logged on in between.
TEST_F(InstallRun, ALogonAfterTheRemovalTakesOnlyTheProductsEntries)
{
    for (bool loggedOnBetween : {true, false}) {
        SCOPED_TRACE(loggedOnBetween ? "logged on after the removal" : "not logged on until the reinstallation");
        RemoveSimulatedIdeKeys();
        ClearProductKeys();
        for (int i : {4, 8}) {
            if (TargetStates[i].rootFolder) LocalFree(TargetStates[i].rootFolder);
            TargetStates[i].rootFolder = nullptr;
        }
        Choose({4, 8}, false, false);
        RunInstall();
        const std::string registrar = win_ + "\\kvxuser.exe";
        DeleteTree(HKEY_CURRENT_USER, "Software\\Borland");
        for (int i : {4, 8}) {
            const SimulatedIde& ide = SimulatedIdes[i];
            SetUpUser(ide, folders_[i], Sub(ide) + "\\" + ide.package + ide.packageExt);
        }
        ASSERT_EQ(RegistrarRuns(PlayLogon(), registrar), 1);

        // What the removal leaves for the logons: no product, a raised Version.
        DeleteTree(HKEY_LOCAL_MACHINE, ProductHomeKey);
        RaiseVersion("9999,1,1,1");
        if (loggedOnBetween) {
            // A copy of the package that another product registered since.
            for (int i : {4, 8})
                ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, EnvironmentKey(SimulatedIdes[i], "Known Packages"),
                                             ("C:\\Elsewhere\\" + std::string(SimulatedIdes[i].package) + ".bpl").c_str(),
                                             REG_SZ, Sz("Other")));
            ASSERT_EQ(RegistrarRuns(PlayLogon(), registrar), 1);
            for (int i : {4, 8}) {
                const SimulatedIde& ide = SimulatedIdes[i];
                SCOPED_TRACE(ide.folder);
                EXPECT_EQ(RegistryValues(HKEY_CURRENT_USER, EnvironmentKey(ide, "Known Packages").c_str()),
                          (std::vector<std::string>{"C:\\Elsewhere\\" + std::string(ide.package) + ".bpl=REG_SZ:Other",
                                                    "C:\\Own\\mine.bpl=REG_SZ:Mine"}));
                EXPECT_EQ(RegistryValues(HKEY_CURRENT_USER, EnvironmentKey(ide, "Disabled Packages").c_str()),
                          std::vector<std::string>{"C:\\Own\\off.bpl=REG_SZ:Off"});
                DWORD type = 0;
                EXPECT_EQ(RegistryBytes(HKEY_CURRENT_USER, EnvironmentKey(ide, "Library"), ide.searchValue, &type),
                          Sz("$(DELPHI)\\Lib;C:\\Own Lib"));
                EXPECT_EQ(type, DWORD(REG_EXPAND_SZ));
            }
        }

        // The reinstallation's Version stands above the removal's; its own
        // user's keys are set aside so that only the logon registers.
        RaiseVersion("9999,1,1,2");
        std::vector<UserLists> user;
        for (int i : {4, 8}) user.push_back(SaveUser(SimulatedIdes[i]));
        RunInstall(home_);
        EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, LogonComponentKey, "Version"), "9999,1,1,3")
            << "a clock behind the Version there raises its last part";
        for (int n = 0; n < 2; ++n) RestoreUser(SimulatedIdes[n ? 8 : 4], user[n]);
        ASSERT_EQ(RegistrarRuns(PlayLogon(), registrar), 1);
        for (int i : {4, 8}) {
            const SimulatedIde& ide = SimulatedIdes[i];
            SCOPED_TRACE(ide.folder);
            const std::string package = Sub(ide) + "\\" + ide.package + ide.packageExt;
            std::vector<std::string> known = {"C:\\Own\\mine.bpl=REG_SZ:Mine",
                                              package + "=REG_SZ:Ostrevane v3.10 (trial) VCL"};
            std::sort(known.begin(), known.end());
            EXPECT_EQ(RegistryValues(HKEY_CURRENT_USER, EnvironmentKey(ide, "Known Packages").c_str()), known);
            DWORD type = 0;
            EXPECT_EQ(RegistryBytes(HKEY_CURRENT_USER, EnvironmentKey(ide, "Library"), ide.searchValue, &type),
                      Sz("$(DELPHI)\\Lib;C:\\Own Lib;" + Sub(ide)));
        }
    }
}

}  // namespace
