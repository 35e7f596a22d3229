// kvxpurge's replay: the files, folders and registry keys it removes and
// the ones it leaves, from sound, damaged and tampered logs.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "simulated_ide.h"
#include "test_files.h"
#include "uninstaller_driver.h"

namespace {

// --- The replay -----------------------------------------------------------------

TEST(UninstallerReplay, DeletesExactlyTheListedFiles)
{
    ScopedTestFolder folder(TestFolderName);
    CreateDirectoryA((folder / "Delphi 7").c_str(), nullptr);
    const std::string log = folder / "uninst.kvx";
    const std::vector<std::string> listed = {folder / "Delphi 7\\ovanlibd7.dpk", folder / "Delphi 7\\ostrevane.dcu",
                                             folder / "readme.txt", folder / "license.txt"};
    const std::vector<std::string> kept = {folder / "Delphi 7\\ovanlibd7.bpl", folder / "readme.txt.bak",
                                           folder / "notes.txt"};
    std::string bytes = Record(1, Product) + Record(2, " Files for Borland Delphi 7") + Record(3, listed[0]) +
                        Record(3, listed[1]) + Record(3, folder / "never written.res") +
                        Record(2, " Shared Files") + Record(3, listed[2]) + Record(3, listed[3]) +
                        Record(3, "") + Record(8, folder / "notes.txt") + Record(9, kept[0]) +
                        Record(255, kept[1]);
    WriteBytes(log, bytes);
    for (const auto& path : listed) WriteBytes(path, "listed");
    for (const auto& path : kept) WriteBytes(path, "kept " + path);

    Uninstaller run(CommandFor(log), Kvxpurge(), folder.Path());
    ASSERT_TRUE(run.Shown());
    EXPECT_EQ(run.Progress(PBM_GETRANGE, FALSE), static_cast<LRESULT>(bytes.size()));
    EXPECT_EQ(run.Progress(PBM_GETRANGE, TRUE), 0);
    run.Click(IDC_UNINSTALL);
    EXPECT_STATE(run, Finished(Product));
    EXPECT_EQ(run.Progress(PBM_GETPOS), static_cast<LRESULT>(bytes.size()));

    for (const auto& path : listed) EXPECT_FALSE(FileExists(path)) << path;
    for (const auto& path : kept) EXPECT_EQ(ReadFileText(path), "kept " + path);
    EXPECT_EQ(ReadFileText(log), bytes) << "the log itself stays";
    EXPECT_TRUE(FileExists(folder / "Delphi 7")) << "folders stay";
    run.Click(IDC_CANCEL);
    EXPECT_EQ(run.ExitCode(), 0);
}

TEST(UninstallerReplay, CancelInReadyRemovesNothing)
{
    ScopedTestFolder folder(TestFolderName);
    const std::string log = folder / "uninst.kvx";
    WriteBytes(folder / "a.txt", "a");
    WriteBytes(log, Record(1, Product) + Record(3, folder / "a.txt"));
    Uninstaller run(CommandFor(log));
    ASSERT_TRUE(run.Shown());
    run.Click(IDC_CANCEL);
    EXPECT_EQ(run.ExitCode(), 0);
    EXPECT_EQ(ReadFileText(folder / "a.txt"), "a");
}

// The replay waits while an environment it acts on runs: those the log's
// UserKeyOpen records name, or any one when the log names none; its program
// is known whatever the spelling and whether it shows a window. Cancel keeps
// the Ready state; Retry once they are closed removes as usual. The quiet
// removal refuses at once.
TEST(UninstallerReplay, RunningEnvironmentsHoldTheReplay)
{
    ScopedTestFolder folder(TestFolderName);
    const std::string ides[2] = {CreateSimulatedIde(SimulatedIdes[4], folder.Path()),
                                 CreateSimulatedIde(SimulatedIdes[8], folder.Path())};
    const std::string log = folder / "uninst.kvx";
    const std::string listed = folder / "listed.txt";
    const std::string delphi7 = Record(9, "Software\\Borland\\Delphi\\7.0\\Known Packages") +
                                Record(9, "Software\\Borland\\Delphi\\7.0\\Library");
    const std::string cbuilder6 = Record(9, "Software\\Borland\\C++Builder\\6.0\\Known Packages");
    const std::string delphi7Runs = "Delphi 7 is running and must be closed first.\nClose it, then press Retry.";
    ASSERT_NE(ShortPath(ides[0]), ides[0]);
    const struct {
        const char* what;
        std::string records;
        std::vector<int> running;  // 0 Delphi 7, 1 C++Builder 6
        std::string text;          // empty: no question
        IdeRun how = {};
        bool shortRoot = false;    // Delphi 7's RootDir in its 8.3 form
        bool upperRoot = false;    // Delphi 7's RootDir in capitals
    } cases[] = {
        {"without a window", delphi7, {0}, delphi7Runs, {"Bin", false}},
        {"short RootDir, started by the long path", delphi7, {0}, delphi7Runs, {}, true},
        {"long RootDir, started by the short path", delphi7, {0}, delphi7Runs, {"Bin", true, true}},
        {"its program file gone, RootDir in capitals", delphi7, {0}, delphi7Runs, {"Bin", false, false, true}, false, true},
        {"its program in another folder of it", delphi7, {0}, "", {"Lib"}},
        {"without a window, started by a second name of its program", delphi7, {0}, delphi7Runs,
         {"Bin", false, false, false, true}},
        {"its window shown, its program gone from another folder", delphi7, {0}, delphi7Runs, {"Lib", true, false, true}},
        {"named and running", delphi7, {0}, "Delphi 7 is running and must be closed first.\nClose it, then press Retry."},
        {"another one running", delphi7, {1}, ""},
        {"both named and running", delphi7 + cbuilder6, {0, 1},
         "Delphi 7 and C++Builder 6 are running and must be closed first.\nClose them, then press Retry."},
        {"none named, one running", "", {1},
         "Delphi or C++Builder is running and must be closed first.\nClose it, then press Retry."},
        {"none named, none running", "", {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(listed, "x");
        WriteBytes(log, Record(1, Product) + c.records + Record(3, listed));
        std::string rootDir = c.shortRoot ? ShortPath(ides[0]) : ides[0];
        if (c.upperRoot) CharUpperA(&rootDir[0]);
        SetRootDir(SimulatedIdes[4], rootDir);
        RunningIde running[2];
        for (int i : c.running) ASSERT_TRUE(running[i].Start(SimulatedIdes[i ? 8 : 4], ides[i], c.how));
        if (!c.text.empty()) {
            ChildProcess quiet;
            ASSERT_TRUE(quiet.Start(Kvxpurge(), "\"kvxpurge.exe\" /S " + log));
            EXPECT_EQ(quiet.Wait(30000), 2);
            EXPECT_TRUE(FileExists(listed)) << "the quiet removal removes nothing while it runs";
        }
        Uninstaller run(CommandFor(log));
        ASSERT_TRUE(run.Shown());
        ASSERT_TRUE(run.Click(IDC_UNINSTALL));
        if (!c.text.empty()) {
            for (int answer : {IDCANCEL, IDRETRY}) {
                if (answer == IDRETRY) ASSERT_TRUE(run.Click(IDC_UNINSTALL));
                HWND box = FindOwnedWindow(run.Id(), run.Dialog());
                ASSERT_TRUE(box);
                // Answers once its loop runs: the check before it may have kept the thread busy.
                EXPECT_TRUE(WaitUntil([&] { return WindowText(box) == DialogCaption; }, 10000)) << WindowText(box);
                EXPECT_EQ(MessageBoxText(box), c.text);
                EXPECT_TRUE(FileExists(listed)) << "nothing is removed while it runs";
                if (answer == IDRETRY)
                    for (int i : c.running) running[i].Close();
                EXPECT_TRUE(Click(box, answer));
                ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 5000));
                if (answer == IDCANCEL) EXPECT_STATE(run, Ready(Product, log));
            }
            ASSERT_TRUE(WaitUntil([&] { return run.Text(IDC_STAGE) == "Finished"; }, 10000));
        }
        EXPECT_STATE(run, Finished(Product));
        EXPECT_FALSE(FileExists(listed));
        EXPECT_TRUE(run.Click(IDC_CANCEL));
        EXPECT_EQ(run.ExitCode(), 0);
    }
    RemoveSimulatedIdeKeys();
}

// The first record is carried out at start-up, whatever it is; the replay
// begins with the second.
TEST(UninstallerReplay, FirstRecordAtStartUpOnly)
{
    ScopedTestFolder folder(TestFolderName);
    const std::string log = folder / "uninst.kvx";
    WriteBytes(folder / "first.txt", "1");
    WriteBytes(folder / "second.txt", "2");
    WriteBytes(log, Record(3, folder / "first.txt") + Record(3, folder / "second.txt"));
    Uninstaller run(CommandFor(log));
    ASSERT_TRUE(run.Shown());
    EXPECT_FALSE(FileExists(folder / "first.txt"));
    EXPECT_TRUE(FileExists(folder / "second.txt"));
    EXPECT_EQ(run.Text(IDC_STATUS), "Deleting the files ...");
    EXPECT_EQ(run.Text(IDC_HEADLINE), HeadlineText);
    run.Click(IDC_UNINSTALL);
    EXPECT_FALSE(FileExists(folder / "second.txt"));
    run.Click(IDC_CANCEL);
    EXPECT_EQ(run.ExitCode(), 0);
}

// The log lists the uninstaller's own program file; it is running, so it stays.
TEST(UninstallerReplay, OwnProgramFileSurvives)
{
    ScopedTestFolder folder(TestFolderName);
    const std::string copy = folder / "kvxpurge.exe";
    ASSERT_TRUE(CopyFileA(Kvxpurge().c_str(), copy.c_str(), FALSE));
    const std::string log = folder / "uninst.kvx";
    WriteBytes(folder / "license.txt", "licence");
    WriteBytes(log, Record(1, Product) + Record(2, " Shared Files") + Record(3, folder / "license.txt") +
                        Record(3, copy));
    Uninstaller run(CommandFor(log), copy);
    ASSERT_TRUE(run.Shown());
    run.Click(IDC_UNINSTALL);
    EXPECT_STATE(run, Finished(Product));
    EXPECT_FALSE(FileExists(folder / "license.txt"));
    EXPECT_TRUE(FileExists(copy));
    run.Click(IDC_CANCEL);
    EXPECT_EQ(run.ExitCode(), 0);
}

// The logon component stays while its registrar is there, its Version
// raised; without the registrar, or after an installation ended before the
// component was written, the removal leaves nothing. The removing user's
// own environments lose the product's entries of the home the component
// names, their Disabled Packages too, at once and without the registrar.
TEST(UninstallerReplay, LogonComponentStaysWithItsRegistrar)
{
    const std::string registrar = WindowsFolder() + "\\kvxuser.exe", calls = WindowsFolder() + "\\calls.log";
    const std::string delphi = "Software\\Borland\\Delphi\\7.0", known = delphi + "\\Known Packages",
                      disabled = delphi + "\\Disabled Packages", library = delphi + "\\Library";
    const std::string package = "C:\\Gone Home\\Delphi7\\ovanlibd7.bpl";
    const std::string searchPath = "$(DELPHI)\\Lib;C:\\Gone Home\\Delphi7;C:\\Gone Home\\Delphi7x";
    const std::string other = std::string(LogonComponentKey).substr(0, std::string(LogonComponentKey).rfind('\\')) +
                              "\\{OstrevaneTest}";
    const struct {
        const char* what;
        bool key, file;
        const char* named;    // the key the record names
        const char* version;  // before
        const char* raised;   // after; "": the clock's; null: the key is gone
        bool entriesGo;       // the removing user's entries of the product go
    } cases[] = {
        {"key and registrar", true, true, LogonComponentKey, "2999,1231,2359,59999", "2999,1231,2359,60000", true},
        {"carried into the part before", true, true, LogonComponentKey, "2999,65535,65535,65535", "3000,0,0,0", true},
        {"no comma form: the clock's", true, true, LogonComponentKey, "1,,2", "", true},
        {"the registrar gone", true, false, LogonComponentKey, "1,2,3,4", nullptr, true},
        {"ended before the component was written", false, true, LogonComponentKey, "", nullptr, false},
        {"another component named", true, true, "", "1,2,3,4", "1,2,3,4", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string named = c.named[0] ? c.named : other;
        DeleteTree(HKEY_LOCAL_MACHINE, LogonComponentKey);
        DeleteTree(HKEY_LOCAL_MACHINE, other.c_str());
        DeleteFileA(calls.c_str());
        DeleteFileA(registrar.c_str());
        if (c.file) ASSERT_TRUE(CopyFileA(StandInPath().c_str(), registrar.c_str(), FALSE));
        const std::vector<std::string> component = {"IsInstalled=REG_DWORD:1", "RootDir=REG_SZ:C:\\Gone Home",
                                                    "StubPath=REG_SZ:\"" + registrar + "\""};
        if (c.key) {
            ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, named, "Version", REG_SZ, Sz(c.version)));
            ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, named, "RootDir", REG_SZ, Sz("C:\\Gone Home")));
            ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, named, "StubPath", REG_SZ, Sz("\"" + registrar + "\"")));
            ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, named, "IsInstalled", REG_DWORD, std::string("\1\0\0\0", 4)));
        }
        DeleteTree(HKEY_CURRENT_USER, delphi.c_str());
        ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, known, package.c_str(), REG_SZ, Sz("Ostrevane")));
        ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, known, "C:\\Mine\\own.bpl", REG_SZ, Sz("Own")));
        ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, disabled, package.c_str(), REG_SZ, Sz("Ostrevane")));
        ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, disabled, "C:\\Elsewhere\\ovanlibd7.bpl", REG_SZ, Sz("Other")));
        ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, library, "Search Path", REG_EXPAND_SZ, Sz(searchPath)));
        ScopedTestFolder folder(TestFolderName);
        const std::string log = folder / "uninst.kvx";
        WriteBytes(log, Record(1, Product) + Record(12, registrar) + Record(14, named));
        Uninstaller run(CommandFor(log));
        ASSERT_TRUE(run.Shown());
        run.Click(IDC_UNINSTALL);
        EXPECT_STATE(run, Finished(Product));
        run.Click(IDC_CANCEL);
        EXPECT_EQ(run.ExitCode(), 0);

        EXPECT_FALSE(FileExists(calls)) << "no registrar started: " << ReadFileText(calls);
        if (c.entriesGo) {
            EXPECT_EQ(RegistryValues(HKEY_CURRENT_USER, known.c_str()),
                      std::vector<std::string>{"C:\\Mine\\own.bpl=REG_SZ:Own"});
            EXPECT_EQ(RegistryValues(HKEY_CURRENT_USER, disabled.c_str()),
                      std::vector<std::string>{"C:\\Elsewhere\\ovanlibd7.bpl=REG_SZ:Other"});
            EXPECT_EQ(RegistryValues(HKEY_CURRENT_USER, library.c_str()),
                      std::vector<std::string>{"Search Path=REG_EXPAND_SZ:$(DELPHI)\\Lib;C:\\Gone Home\\Delphi7x"});
        } else {
            EXPECT_EQ(RegistryValues(HKEY_CURRENT_USER, known.c_str()).size(), 2u);
            EXPECT_EQ(RegistryValues(HKEY_CURRENT_USER, disabled.c_str()).size(), 2u);
            EXPECT_EQ(RegistryValues(HKEY_CURRENT_USER, library.c_str()),
                      std::vector<std::string>{"Search Path=REG_EXPAND_SZ:" + searchPath});
        }
        std::vector<std::string> after = RegistryValues(HKEY_LOCAL_MACHINE, named.c_str());
        const bool stays = c.raised != nullptr;
        EXPECT_EQ(FileExists(registrar), stays && c.file && c.named[0]) << "the registrar stays with the component";
        if (!stays) {
            EXPECT_EQ(after.size(), 0u) << "the key goes";
            continue;
        }
        ASSERT_EQ(after.size(), 4u);
        const std::string version = after.back().substr(std::strlen("Version=REG_SZ:"));
        after.pop_back();
        EXPECT_EQ(after, component) << "only the Version changes";
        if (c.raised[0]) {
            EXPECT_EQ(version, c.raised);
        } else {
            SYSTEMTIME now;
            GetSystemTime(&now);
            EXPECT_EQ(version.substr(0, version.find(',')), std::to_string(now.wYear)) << version;
            EXPECT_EQ(std::count(version.begin(), version.end(), ','), 3) << version;
        }
    }
    DeleteTree(HKEY_CURRENT_USER, delphi.c_str());
    DeleteTree(HKEY_LOCAL_MACHINE, LogonComponentKey);
    DeleteTree(HKEY_LOCAL_MACHINE, other.c_str());
    DeleteFileA(calls.c_str());
    DeleteFileA(registrar.c_str());
}

// Sizes, including logs the installer never writes: empty, one record, damaged.
TEST(UninstallerReplay, SmallLargeAndDamagedLogs)
{
    ScopedTestFolder folder(TestFolderName);
    const std::string victim = folder / "victim.txt";  // present before every run
    const std::string log = folder / "uninst.kvx";

    std::string full = Record(1, Product);
    while (full.size() < 0xFFFF - 300) full += Record(9, std::string(200, 'p'));
    full += Record(3, victim);
    full += Record(8, std::string(0xFFFF - full.size() - 2, 'q'));
    ASSERT_EQ(full.size(), 0xFFFFu);
    std::string random(8192, '\0');
    uint32_t seed = 12345;
    for (char& c : random) c = static_cast<char>((seed = seed * 1664525u + 1013904223u) >> 24);
    std::string noZero = random;
    for (char& c : noZero) c = c ? c : 'z';
    const char* const Ready = "Uninstall is ready !";
    const char* const Damaged = "1 item could not be removed !";  // what follows the zero, kept to be looked at

    const struct {
        const char* what;
        std::string bytes;
        bool loads;
        std::string headline;
        bool victimRemoved;
        const char* status;  // after the replay; null: not looked at
    } cases[] = {
        {"empty file", "", true, HeadlineText, false, Ready},
        {"product only", Record(1, Product), true, Product, false, Ready},
        {"65535 bytes", full, true, Product, true, Ready},
        {"65536 bytes", full + "x", false, HeadlineText, false, nullptr},
        {"one type byte", "\x03", true, HeadlineText, false, Ready},
        {"product without its NUL", "\x01" + std::string(Product), true, HeadlineText, false, Ready},
        {"last path without its NUL", Record(1, Product) + "\x03" + victim, true, Product, false, Ready},
        {"last path cut to another name", Record(1, Product) + "\x03" + victim.substr(0, victim.size() - 4), true,
         Product, false, Ready},
        {"zero type byte ends the log", Record(1, Product) + Record(0, "x") + Record(3, victim), true, Product, false,
         Damaged},
        {"zero type byte after a file", Record(1, Product) + Record(3, victim) + std::string(3, '\0'), true,
         Product, true, Ready},
        {"random bytes", random, true, "", false, nullptr},
        {"random bytes, no zero", noZero, true, HeadlineText, false, Ready},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(victim, "v");
        WriteBytes(folder / "victim", "cut name");
        WriteBytes(log, c.bytes);
        Uninstaller run(CommandFor(log), Kvxpurge(), folder.Path());
        ASSERT_TRUE(run.Shown());
        if (!c.loads) {
            EXPECT_STATE(run, WrongStart(log));
            run.Click(IDC_CANCEL);
            EXPECT_EQ(run.ExitCode(), 0);
            EXPECT_TRUE(FileExists(victim));
            continue;
        }
        EXPECT_EQ(run.Progress(PBM_GETRANGE, FALSE), static_cast<LRESULT>(c.bytes.size()));
        if (!c.headline.empty()) EXPECT_EQ(run.Text(IDC_HEADLINE), c.headline);
        EXPECT_TRUE(run.Enabled(IDC_UNINSTALL));
        run.Click(IDC_UNINSTALL);
        EXPECT_EQ(run.Text(IDC_STAGE), "Finished");
        if (c.status) EXPECT_EQ(run.Text(IDC_STATUS), c.status);
        EXPECT_FALSE(run.Visible(IDC_UNINSTALL));
        EXPECT_EQ(FileExists(victim), !c.victimRemoved);
        EXPECT_EQ(ReadFileText(folder / "victim"), "cut name");
        EXPECT_EQ(ReadFileText(log), c.bytes);
        EXPECT_FALSE(run.Click(IDC_UNINSTALL)) << "the button is gone";
        EXPECT_EQ(FileExists(victim), !c.victimRemoved);
        run.Click(IDC_CANCEL);
        EXPECT_EQ(run.ExitCode(), 0);
    }
}

// A file that could not be deleted is counted on the status line; a file
// already gone and the running program's own file are not.
struct HeldFolder {
    HANDLE handle;
    std::string sign;  // a file the replay deletes before it turns to folders
};
DWORD WINAPI CloseLater(LPVOID parameter)
{
    const auto* held = static_cast<HeldFolder*>(parameter);
    for (DWORD start = GetTickCount(); FileExists(held->sign) && GetTickCount() - start < Scaled(20000);) Sleep(10);
    Sleep(300);  // well inside the uninstaller's wait for a folder, however slow the machine
    CloseHandle(held->handle);
    return 0;
}

TEST(UninstallerReplay, FilesLeftAreCounted)
{
    const struct {
        const char* what;
        int held, readOnly;
        std::string status;
        bool folders = false;  // the log's folder and one with a file of the user's: both stay
        bool busyFolder = false;  // and an empty one that another process lets go of a moment later
    } cases[] = {
        {"only files already gone", 0, 0, "Uninstall is ready !"},
        {"one file held open", 1, 0, "1 file could not be deleted !"},
        {"one held open, one read-only", 1, 1, "2 files could not be deleted !"},
        {"twelve read-only", 0, 12, "12 files could not be deleted !"},
        {"two folders", 0, 0, "2 items could not be removed !", true},
        // With a file left, the log and its folders stay for another try.
        {"a file, two folders", 1, 0, "1 file could not be deleted !", true},
        {"two folders, one busy for a moment", 0, 0, "2 items could not be removed !", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedTestFolder folder(TestFolderName);
        const std::string own = folder / "kvxpurge.exe";
        ASSERT_TRUE(CopyFileA(Kvxpurge().c_str(), own.c_str(), FALSE));
        std::string bytes = Record(1, Product) + Record(3, folder / "gone.txt") + Record(3, own) +
                            Record(3, folder / "deleted.txt");
        WriteBytes(folder / "deleted.txt", "d");
        std::vector<std::string> left;
        std::vector<HANDLE> handles;
        for (int i = 0; i < c.held + c.readOnly; ++i) {
            left.push_back(folder / ("left" + std::to_string(i) + ".txt"));
            WriteBytes(left.back(), "left");
            bytes += Record(3, left.back());
            if (i < c.held)
                handles.push_back(CreateFileA(left.back().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            else
                SetFileAttributesA(left.back().c_str(), FILE_ATTRIBUTE_READONLY);
        }
        if (c.folders) {
            CreateDirectoryA((folder / "Kept").c_str(), nullptr);
            WriteBytes(folder / "Kept\\mine.txt", "mine");
            bytes += Record(13, folder.Path()) + Record(13, folder / "Kept");
        }
        HeldFolder busy{INVALID_HANDLE_VALUE, folder / "deleted.txt"};
        if (c.busyFolder) {
            CreateDirectoryA((folder / "Busy").c_str(), nullptr);
            bytes += Record(13, folder / "Busy");
            busy.handle = CreateFileA((folder / "Busy").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            ASSERT_NE(busy.handle, INVALID_HANDLE_VALUE);
        }
        const std::string log = folder / "uninst.kvx";
        WriteBytes(log, bytes);

        Uninstaller run(CommandFor(log), own);
        ASSERT_TRUE(run.Shown());
        // Let go while the removal runs, as an ending process does.
        HANDLE closer = c.busyFolder ? CreateThread(nullptr, 0, CloseLater, &busy, 0, nullptr) : nullptr;
        run.Click(IDC_UNINSTALL);
        if (closer) {
            WaitForSingleObject(closer, INFINITE);
            CloseHandle(closer);
        }
        DialogState finished = Finished(Product);
        finished.status = c.status;
        EXPECT_STATE(run, finished);
        EXPECT_FALSE(FileExists(folder / "deleted.txt"));
        EXPECT_TRUE(FileExists(own));
        for (HANDLE handle : handles) CloseHandle(handle);
        for (const auto& path : left) EXPECT_EQ(ReadFileText(path), "left") << path;
        if (c.folders) EXPECT_EQ(ReadFileText(folder / "Kept\\mine.txt"), "mine");
        if (c.busyFolder) EXPECT_FALSE(FileExists(folder / "Busy")) << "tried again once let go";
        EXPECT_TRUE(FileExists(log)) << "kept while anything is left, and when its folder is not named";

        // One line of the status control holds the text.
        RECT box = {};
        GetClientRect(run.Item(IDC_STATUS), &box);
        HDC dc = GetDC(nullptr);
        HFONT font = CreateFontA(-MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                                 DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
        HGDIOBJ old = SelectObject(dc, font);
        SIZE extent = {};
        GetTextExtentPoint32A(dc, c.status.c_str(), static_cast<int>(c.status.size()), &extent);
        SelectObject(dc, old);
        DeleteObject(font);
        ReleaseDC(nullptr, dc);
        EXPECT_LT(extent.cx, box.right) << "the text is wider than control 103";

        run.Click(IDC_CANCEL);
        EXPECT_EQ(run.ExitCode(), 0);
        for (const auto& path : left) SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// --- A tampered log ------------------------------------------------------------

std::string Slashed(std::string path)
{
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

// Each record names a decoy, a file or a registry key or value outside what
// the log's folder and the product own; every decoy survives the replay,
// while the file inside the folder goes. A file record refused while what it
// names on a drive is there counts as left: the log stays to be looked at.
TEST(UninstallerReplay, TamperedLogLeavesEveryDecoy)
{
    char prefix[MAX_PATH] = "";
    ASSERT_NE(GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH), 0u) << "runs under Wine only";
    ScopedTestFolder top(TestFolderName);
    const std::string home = top / "Ostrevane Home", sibling = top / "Ostrevane Home2", elsewhere = top / "elsewhere";
    for (const auto& folder : {home, sibling, elsewhere}) CreateDirectoryA(folder.c_str(), nullptr);

    // \\kvxtest\share is drive C:, and home\linked is a link to elsewhere.
    const std::string share = std::string(prefix) + "/dosdevices/unc/kvxtest";
    // One shell, since Wine cannot wait for a Unix program: the share shows when both steps are done.
    RunUnix("sh", "-c " + Quoted("mkdir -p '" + share + "' && ln -sfn '" + prefix + "/drive_c' '" + share + "/share'"));
    for (DWORD waited = 0; !FileExists("\\\\kvxtest\\share\\users") && waited < Scaled(5000); waited += 50) Sleep(50);
    ASSERT_TRUE(MakeLink(elsewhere, home + "\\linked"));
    struct Cleanup {
        std::string share, link;
        ~Cleanup()
        {
            RunUnix("rm", "-rf " + Quoted(share));
            RunUnix("rm", "-f " + Quoted(link));
        }
    } cleanup = {share, UnixPath(home) + "/linked"};
    ASSERT_NE(GetFileAttributesA((home + "\\linked").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);

    const std::string uncDecoy = elsewhere + "\\unc.txt";
    const std::string shortDecoy = home + "\\short name.txt";
    WriteBytes(shortDecoy, "decoy");
    char shortForm[MAX_PATH] = "";
    GetShortPathNameA(shortDecoy.c_str(), shortForm, MAX_PATH);
    ASSERT_STRNE(shortForm, shortDecoy.c_str());

    // An environment whose help folder is what help lines may change.
    const std::string packages = "Software\\Borland\\Delphi\\7.0\\Known Packages";
    const std::string library = "Software\\Borland\\Delphi\\7.0\\Library";
    const std::string helpKey = WindowsHelpKey;
    const std::string environment = top / "Delphi7", help = top / "Delphi7\\Help";
    CreateDirectoryA(environment.c_str(), nullptr);
    CreateDirectoryA(help.c_str(), nullptr);
    struct EnvironmentCleanup {
        ~EnvironmentCleanup()
        {
            DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Borland");
            DeleteTree(HKEY_CURRENT_USER, "Software\\Borland");
        }
    } environmentCleanup;
    ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, "Software\\Borland\\Delphi\\7.0", "RootDir", REG_SZ, Sz(environment)));
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string link = "\r\n:Link ostrevane.hlp\r\n";

    const char OtherKey[] = "Software\\Quillmere\\OstrevaneDecoy";
    const char OtherEntry[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OstrevaneDecoy";
    const char* const OwnEntry = ListEntryKey;
    struct Case {
        const char* what;
        std::string records;
        std::string decoy;  // a file with data, a folder ending in a backslash, or empty for a registry decoy
        HKEY root = nullptr;
        std::string key = "", value = "Value", data = "decoy";  // a registry decoy: value = data
    };
    const Case cases[] = {
        {"absolute path elsewhere on the drive", Record(3, elsewhere + "\\absolute.txt"), elsewhere + "\\absolute.txt"},
        {"sibling folder sharing the name", Record(3, sibling + "\\prefix.txt"), sibling + "\\prefix.txt"},
        {"dot-dot out of the folder", Record(3, home + "\\..\\dotdot.txt"), top / "dotdot.txt"},
        {"forward slashes", Record(3, Slashed(home) + "/../slashes.txt"), top / "slashes.txt"},
        {"trailing dot", Record(3, home + "\\..\\dot.txt."), top / "dot.txt"},
        {"trailing blank", Record(3, home + "\\..\\blank.txt "), top / "blank.txt"},
        {"a stream", Record(3, home + "\\inside.txt:stream"), home + "\\inside.txt:stream"},
        {"UNC form", Record(3, "\\\\kvxtest\\share\\" + uncDecoy.substr(3)), uncDecoy},
        {"\\\\?\\ form", Record(3, "\\\\?\\" + elsewhere + "\\long.txt"), elsewhere + "\\long.txt"},
        {"\\\\.\\ form inside the folder", Record(3, "\\\\.\\" + home + "\\device.txt"), home + "\\device.txt"},
        {"relative path, started in the folder", Record(3, "relative.txt"), home + "\\relative.txt"},
        {"8.3 short form inside the folder", Record(3, shortForm), shortDecoy},
        {"through a link inside the folder", Record(3, home + "\\linked\\linked.txt"), elsewhere + "\\linked.txt"},
        {"6: a user key outside the product's", Record(6, OtherKey), "", HKEY_CURRENT_USER, OtherKey},
        {"7: a machine key outside the product's", Record(7, OtherKey), "", HKEY_LOCAL_MACHINE, OtherKey},
        {"7: another product's uninstall entry", Record(7, OtherEntry), "", HKEY_LOCAL_MACHINE, OtherEntry},
        {"6: the uninstall entry is a machine key only", Record(6, OwnEntry), "", HKEY_CURRENT_USER, OwnEntry},
        {"4 and 5: a value outside the product's", Record(4, OtherKey) + Record(5, "Value"), "", HKEY_LOCAL_MACHINE,
         OtherKey},
        {"9 and 5: a package outside the folder", Record(9, packages) + Record(5, elsewhere + "\\other.bpl"), "",
         HKEY_CURRENT_USER, packages, elsewhere + "\\other.bpl"},
        {"9 and 5: the key of no environment", Record(9, "Software\\Borland\\Delphi\\8.0\\Known Packages") +
         Record(5, home + "\\d8.bpl"), "", HKEY_CURRENT_USER, "Software\\Borland\\Delphi\\8.0\\Known Packages",
         home + "\\d8.bpl"},
        {"9 with 5 or 10: the whole search path, an entry outside the folder",
         Record(9, library) + Record(5, "Search Path") + Record(9, library) + Record(10, "Search Path\t;" + elsewhere),
         "", HKEY_CURRENT_USER, library, "Search Path", "$(DELPHI)\\Lib;" + elsewhere},
        {"9 and 10: a value that is no search path", Record(9, library) + Record(10, "Browsing Path\t;" + home),
         "", HKEY_CURRENT_USER, library, "Browsing Path", "$(DELPHI)\\Lib;" + home},
        {"4, 5 and 7: another help value, the help key", Record(4, helpKey) + Record(5, "other.hlp") +
         Record(7, helpKey), "", HKEY_LOCAL_MACHINE, helpKey, "other.hlp", "C:\\Other"},
        {"11: a help file of no environment", Record(11, elsewhere + "\\d7.ohl\t" + link), elsewhere + "\\d7.ohl",
         nullptr, "", "", ":Base Other.hlp" + link},
        {"11: a line not the product's", Record(11, help + "\\d7.ohl\t:Base Delphi7.hlp\r\n"), help + "\\d7.ohl",
         nullptr, "", "", ":Base Delphi7.hlp\r\n"},
        {"11: no help configuration file", Record(11, help + "\\d7.txt\t" + link), help + "\\d7.txt", nullptr, "", "",
         "notes" + link},
        {"12: another name in the system folder", Record(12, std::string(system) + "\\kvxdecoy.dll"),
         std::string(system) + "\\kvxdecoy.dll"},
        {"12: the uninstaller's name elsewhere", Record(12, elsewhere + "\\kvxpurge.exe"), elsewhere + "\\kvxpurge.exe"},
        {"13: a folder outside", Record(13, elsewhere + "\\empty"), elsewhere + "\\empty\\"},
    };
    auto makeKey = [](const Case& c) {
        ASSERT_TRUE(SetRegistryValue(c.root, c.key, c.value.c_str(), REG_SZ, Sz(c.data)));
    };
    // The log names its folder as made by the installation: the folders'
    // turn comes, and the folder stays with the decoys in it.
    std::string bytes = Record(1, Product) + Record(13, home) + Record(2, " Shared Files");
    for (const auto& c : cases) {
        bytes += c.records;
        if (c.decoy.empty()) makeKey(c);
        else if (c.decoy.back() == '\\') CreateDirectoryA(c.decoy.c_str(), nullptr);
        else WriteBytes(c.decoy, c.data);
    }
    ASSERT_EQ(ReadFileText("\\\\kvxtest\\share\\" + uncDecoy.substr(3)), "decoy") << "the share reaches drive C:";
    ASSERT_EQ(ReadFileText(home + "\\linked\\linked.txt"), "decoy") << "the link reaches elsewhere";
    bytes += Record(3, home + "\\readme.txt");
    WriteBytes(home + "\\readme.txt", "listed");
    const std::string log = home + "\\uninst.kvx";
    WriteBytes(log, bytes);

    {
        Uninstaller run(CommandFor(log), Kvxpurge(), home);
        ASSERT_TRUE(run.Shown());
        run.Click(IDC_UNINSTALL);
        DialogState finished = Finished(Product);
        // The drive paths among the file records, from "absolute path" to "through a link".
        finished.status = "9 files could not be deleted !";
        EXPECT_STATE(run, finished);
        run.Click(IDC_CANCEL);
        EXPECT_EQ(run.ExitCode(), 0);
    }
    EXPECT_FALSE(FileExists(home + "\\readme.txt")) << "the file inside the folder goes";
    EXPECT_TRUE(FileExists(log)) << "kept while its folder stays, holding what is not the product's";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.decoy.empty()) {
            EXPECT_EQ(RegistryText(c.root, c.key.c_str(), c.value.c_str()), c.data) << c.key;
        } else if (c.decoy.back() == '\\') {
            EXPECT_TRUE(FileExists(c.decoy)) << c.decoy;
        } else {
            EXPECT_EQ(ReadFileText(c.decoy), c.data) << c.decoy;
        }
    }
    for (const auto& c : cases)
        if (c.decoy.empty() && c.key != helpKey) DeleteTree(c.root, c.key.c_str());
    DeleteFileA((std::string(system) + "\\kvxdecoy.dll").c_str());
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, helpKey.c_str(), "other.hlp");
}

// The log's folder, or a folder above it, is a link: when the dialog opens,
// or only after the log was read (between the two the folder was swapped).
// The file behind the link survives either way, and the removal never says
// it is done: a log that cannot be placed is not replayed (quietly: exit
// 1), and a listed file reached through a link counts as left.
TEST(UninstallerReplay, NothingGoesThroughALinkAtOrAboveTheLogsFolder)
{
    ScopedTestFolder top(TestFolderName);
    const std::string elsewhere = top / "elsewhere";
    CreateDirectoryA(elsewhere.c_str(), nullptr);
    const struct {
        const char* what;
        std::string logFolder;  // as the command line names it
        std::string link, target;
        bool swappedAfterLoading;
    } cases[] = {
        {"the folder swapped for a link after loading", top / "Home", top / "Home", elsewhere, true},
        {"the folder itself a link", top / "Linked", top / "Linked", elsewhere, false},
        {"a folder above it a link", top / "Above\\Home", top / "Above", top.Path(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // The listed file is home's own, or elsewhere's when reached through the link.
        const std::string home = top / "Home", logPath = c.logFolder + "\\uninst.kvx";
        const std::string log = Record(1, Product) + Record(13, c.logFolder) + Record(3, c.logFolder + "\\readme.txt");
        CreateDirectoryA(home.c_str(), nullptr);
        for (const std::string& folder : {home, elsewhere}) {
            WriteBytes(folder + "\\readme.txt", "kept");
            WriteBytes(folder + "\\uninst.kvx", log);
        }
        if (!c.swappedAfterLoading) ASSERT_TRUE(MakeLink(c.target, c.link));
        {
            Uninstaller run(CommandFor(logPath));
            ASSERT_TRUE(run.Shown());
            if (c.swappedAfterLoading) {
                ASSERT_TRUE(MoveFileA(home.c_str(), (top / "Moved").c_str()));
                ASSERT_TRUE(MakeLink(c.target, c.link));
            } else {
                EXPECT_STATE(run, WrongStart(logPath));
            }
            ASSERT_EQ(ReadFileText(c.logFolder + "\\readme.txt"), "kept") << "the listed path leads somewhere";
            run.Click(IDC_UNINSTALL);
            if (c.swappedAfterLoading) EXPECT_EQ(run.Text(IDC_STATUS), "1 file could not be deleted !");
            run.Click(IDC_CANCEL);
            EXPECT_EQ(run.ExitCode(), 0);
        }
        if (!c.swappedAfterLoading) {
            ChildProcess quiet;
            ASSERT_TRUE(quiet.Start(Kvxpurge(), "kvxpurge.exe /S " + logPath));
            EXPECT_EQ(quiet.Wait(10000), 1) << "a log it cannot place";
        }
        EXPECT_EQ(ReadFileText(elsewhere + "\\readme.txt"), "kept");
        EXPECT_EQ(ReadFileText(c.swappedAfterLoading ? top / "Moved\\readme.txt" : home + "\\readme.txt"), "kept");
        EXPECT_EQ(ReadFileText(logPath), log) << "the log stays";
        ASSERT_TRUE(RemoveLink(c.link));
        RemoveTree(top / "Moved");
    }
}

// --- Registry records ----------------------------------------------------------

const char TestKey[] = "Software\\Quillmere\\Ostrevane\\UninstallerTest";
const char RootProbe[] = "OstrevaneTestProbe";  // a value right under HKLM

struct RegistryFixture : ::testing::Test {
    void SetUp() override { TearDown(); }
    void TearDown() override
    {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, TestKey);
        RegDeleteTreeA(HKEY_CURRENT_USER, TestKey);
        RegDeleteValueA(HKEY_LOCAL_MACHINE, RootProbe);
    }
    static void SetValue(HKEY root, const std::string& key, const char* name)
    {
        ASSERT_TRUE(SetRegistryValue(root, key, name, REG_SZ, Sz("v")));
    }
    static bool HasKey(HKEY root, const std::string& key)
    {
        HKEY handle;
        if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
        RegCloseKey(handle);
        return true;
    }
    static bool HasValue(HKEY root, const std::string& key, const char* name)
    {
        return RegGetValueA(root, key.c_str(), name, RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    }
};

TEST_F(RegistryFixture, RecordsFourToSevenNameTheirKeyOrValue)
{
    const std::string held = std::string(TestKey) + "\\Held";
    const std::string leaf = std::string(TestKey) + "\\Leaf";
    const std::string other = std::string(TestKey) + "\\Other";

    struct Expect {
        HKEY root;
        std::string key;
        const char* value;  // null: the key itself
        bool present;
    };
    const struct {
        const char* what;
        std::string records;
        std::vector<Expect> after;
    } cases[] = {
        {"4 then 5 deletes one value of the held key",
         Record(4, held) + Record(5, "Doomed"),
         {{HKEY_LOCAL_MACHINE, held, "Doomed", false}, {HKEY_LOCAL_MACHINE, held, "Kept", true},
          {HKEY_LOCAL_MACHINE, held, "", true}}},
        {"5 closes the key: a second 5 finds none",
         Record(4, held) + Record(5, "Doomed") + Record(5, "Kept"),
         {{HKEY_LOCAL_MACHINE, held, "Doomed", false}, {HKEY_LOCAL_MACHINE, held, "Kept", true}}},
        {"5 without 4 acts on nothing", Record(5, "Doomed"), {{HKEY_LOCAL_MACHINE, held, "Doomed", true}}},
        {"5 with an empty name keeps the default value",
         Record(4, held) + Record(5, "") + Record(5, "Doomed"),
         {{HKEY_LOCAL_MACHINE, held, "", true}, {HKEY_LOCAL_MACHINE, held, "Doomed", true}}},
        {"4 of a missing key holds nothing",
         Record(4, held) + Record(4, std::string(TestKey) + "\\Missing") + Record(5, "Doomed"),
         {{HKEY_LOCAL_MACHINE, held, "Doomed", true}}},
        {"6 deletes the user key only",
         Record(6, leaf),
         {{HKEY_CURRENT_USER, leaf, nullptr, false}, {HKEY_CURRENT_USER, other, nullptr, true},
          {HKEY_LOCAL_MACHINE, leaf, nullptr, true}}},
        {"7 deletes the machine key only",
         Record(7, leaf),
         {{HKEY_LOCAL_MACHINE, leaf, nullptr, false}, {HKEY_LOCAL_MACHINE, other, nullptr, true},
          {HKEY_CURRENT_USER, leaf, nullptr, true}}},
        {"empty names act on nothing",
         Record(4, "") + Record(5, RootProbe) + Record(6, "") + Record(7, ""),
         {{HKEY_LOCAL_MACHINE, "", RootProbe, true}, {HKEY_CURRENT_USER, leaf, nullptr, true},
          {HKEY_LOCAL_MACHINE, "Software", nullptr, true}}},
        {"8 does nothing", Record(8, leaf), {{HKEY_LOCAL_MACHINE, leaf, nullptr, true}}},
    };
    ScopedTestFolder folder(TestFolderName);
    const std::string log = folder / "uninst.kvx";
    {
        SCOPED_TRACE("4 as the first record, carried out at start-up");
        SetValue(HKEY_LOCAL_MACHINE, held, "Doomed");
        WriteBytes(log, Record(4, held) + Record(5, "Doomed"));
        Uninstaller run(CommandFor(log));
        ASSERT_TRUE(run.Shown());
        EXPECT_EQ(run.Text(IDC_STATUS), "Washes the registry ...");
        EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, held, "Doomed"));
        run.Click(IDC_UNINSTALL);
        EXPECT_FALSE(HasValue(HKEY_LOCAL_MACHINE, held, "Doomed"));
        run.Click(IDC_CANCEL);
        EXPECT_EQ(run.ExitCode(), 0);
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetValue(HKEY_LOCAL_MACHINE, held, "Doomed");
        SetValue(HKEY_LOCAL_MACHINE, held, "Kept");
        SetValue(HKEY_LOCAL_MACHINE, held, "");
        ASSERT_EQ(RegSetValueExA(HKEY_LOCAL_MACHINE, RootProbe, 0, REG_SZ, reinterpret_cast<const BYTE*>("v"), 2),
                  ERROR_SUCCESS);
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            SetValue(root, leaf, "x");
            SetValue(root, other, "x");
        }
        WriteBytes(log, Record(1, Product) + c.records);
        Uninstaller run(CommandFor(log));
        ASSERT_TRUE(run.Shown());
        run.Click(IDC_UNINSTALL);
        EXPECT_EQ(run.Text(IDC_STAGE), "Finished");
        run.Click(IDC_CANCEL);
        EXPECT_EQ(run.ExitCode(), 0);
        for (const Expect& e : c.after) {
            const bool present = e.value ? HasValue(e.root, e.key, e.value) : HasKey(e.root, e.key);
            EXPECT_EQ(present, e.present) << (e.root == HKEY_CURRENT_USER ? "HKCU\\" : "HKLM\\") << e.key
                                          << (e.value ? std::string(" value \"") + e.value + "\"" : "");
        }
    }
}

}  // namespace
