#pragma once
// A whole installation through install.exe's wizard and a whole removal
// through kvxpurge, as a user clicks through them. Shared by the round-trip
// tests and the demo.
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "test_files.h"  // the log's records

struct InstallerRun {
    std::vector<std::string> listed;  // the check list items as page 2 showed them ("caption=data")
    std::string proposed;             // the destination page 2 proposed
    int progress = -1;                // the bar's position on page 4
    bool finished = false;            // page 4 reached with Finish enabled
    std::string finishTexts[3];       // 101, 102 and 105 on page 4
    long exitCode = -1;
    std::string refusal;              // the text page 2 refused the destination with; the wizard then cancelled
    std::string failure;              // what went wrong, empty when all went well
};

// Runs install.exe: Next, untick the items with these captions by mouse,
// type the destination (an empty one: the proposal stays), Next, wait for
// page 4, Finish. With a picture folder a picture of each page is saved there
// (page1.bmp ... page4.bmp). currentFolder, when given, is the installer's.
InstallerRun RunInstaller(const std::string& installExe, const std::string& destination,
                          const std::set<std::string>& untick, const std::string& pictureFolder = "",
                          const std::string& currentFolder = "");
// The same with the destination typed as Unicode characters.
InstallerRun RunInstaller(const std::string& installExe, const std::wstring& destination,
                          const std::set<std::string>& untick, const std::string& currentFolder);

// Runs install.exe with these words after its name, as a script does, and
// waits for its end: its exit code, or -1 when it did not end in time.
long RunUnattended(const std::string& installExe, const std::string& arguments);
// The same with the words as Unicode text, which the program gets in its own
// ANSI code page, in currentFolder; with locale (such as "ja_JP.UTF-8") it is
// started through Unix env and wine in that locale, from which Wine takes the
// code page.
long RunUnattended(const std::string& installExe, const std::wstring& arguments, const std::string& currentFolder,
                   const std::string& locale);

struct UninstallerRun {
    std::string headline;  // control 101 in the Ready state
    std::string stage;     // control 102 in the Ready state
    std::string finishedStage, finishedStatus;
    std::string launcher;  // the program that started kvxpurge
    long exitCode = -1;
    std::string failure;
};

// A picture of window saved as folder\name.bmp once it has painted; nothing
// when folder is empty.
void Picture(HWND window, const std::string& folder, const char* name);

// Removes the product whose uninstall entry is entryName as Windows' list of
// installed software does: on 64-bit Windows that list is a 64-bit program,
// played by Wine's 64-bit "uninstaller --remove"; on 32-bit Windows the
// registered command line starts by its bare name. Then clicks "Uninstall
// !!!", waits for "Finished" and clicks Finish.
// With locale, the registered command line is started through Unix env and
// wine with that locale, from which Wine takes the code page (the program
// from a copy whose quoted name is as long as "kvxpurge.exe" and a blank).
UninstallerRun RemoveProduct(const std::string& entryName, const std::string& pictureFolder = "",
                             const std::string& locale = "");
// True for this 32-bit process on 64-bit Windows.
bool OnWow64();
// Restarts Windows in the prefix (wineboot -r): what was scheduled for the
// next restart happens. False when it did not run to its end.
bool RestartWindows();

// Starts a registered command line without a window (a QuietUninstallString)
// as a package manager starts it: a full path as it stands, searched for by
// Windows; a bare name, quoted or not, where the kit puts the uninstaller.
// Waits for its end: its exit code, or -1.
long RunQuietCommand(const std::string& commandLine, const std::string& currentFolder = "");

// The wizard's check list items ("caption=data") read across processes, and
// a click on one item as the mouse makes it.
std::vector<std::string> ListItems(HWND dialog);
void ClickListItem(HWND dialog, int index);

// Whatever an installation of the kit left in the registry, the system and
// the Windows folder, gone (between cases of a test, whatever they did).
void RemoveProductTraces();

std::string SystemFolder();
std::wstring Wide(const std::string& text);  // from this program's code page
std::string WindowsFolder();  // not redirected: 32- and 64-bit programs see the same one
std::string BuildFolder();  // the build folder, two levels above the running test program
// The folder of the programs under test: the build folder, or another build of
// the kit (a signed one, say) named by OSTREVANE_KIT_DIR, in full or relative
// to the build folder.
std::string KitFolder();
