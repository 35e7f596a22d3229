// Detection of the environments, the proposed destination and the read-back
// of the user's choices, on a real list box and edit control.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "../wizard/wizard_ids.h"
#include "catalogue.h"
#include "checklist.h"
#include "selection.h"
#include "simulated_ide.h"
#include "targets.h"
#include "templates.h"
#include "test_files.h"
#include "wizard.h"

// The wizard's dialog, from which selection.cpp reads the typed folder:
// here a window of the test's own (the wizard itself is not linked in).
HWND WizardWindow = nullptr;

namespace {

void SetRootDir(const char* key, const std::string& folder)
{
    ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, key, "RootDir", REG_SZ, Sz(folder)));
}

class Detection : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::copy(TargetStates, TargetStates + TargetCount, saved_);
        ASSERT_TRUE(AllocateEngineBuffers());
        RemoveSimulatedIdeKeys();
        DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Quillmere");
        DestinationPath[0] = '\0';
        destinationProposed = false;

        window_ = CreateWindowExA(0, "STATIC", "wizard", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                  nullptr, nullptr, nullptr);
        list_ = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_VISIBLE | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY,
                                10, 10, 300, 100, window_, reinterpret_cast<HMENU>(IDC_CHECKLIST), nullptr, nullptr);
        CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 120, 300, 20, window_,
                        reinterpret_cast<HMENU>(IDC_DESTINATION), nullptr, nullptr);
        WizardWindow = window_;
        WizardCheckList = CheckListAttach(list_);
        ASSERT_NE(WizardCheckList, nullptr);
    }

    void TearDown() override
    {
        CheckListDetach(WizardCheckList);
        WizardCheckList = nullptr;
        WizardWindow = nullptr;
        DestroyWindow(window_);
        for (int i = 0; i < TargetCount; ++i)
            if (TargetStates[i].rootFolder) LocalFree(TargetStates[i].rootFolder);
        std::copy(saved_, saved_ + TargetCount, TargetStates);
        ReleaseEngineBuffers();
        RemoveSimulatedIdeKeys();
        DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Quillmere");
        destinationProposed = false;
    }

    std::vector<std::string> Items()
    {
        std::vector<std::string> items;
        const int count = static_cast<int>(SendMessageA(list_, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char text[256] = "";
            SendMessageA(list_, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            items.push_back(std::string(text) + "=" + std::to_string(CheckListGetItemData(WizardCheckList, i)));
        }
        return items;
    }

    std::string Field()
    {
        char text[512] = "";
        GetDlgItemTextA(window_, IDC_DESTINATION, text, sizeof text);
        return text;
    }

    void Toggle(int index)
    {
        SendMessageA(list_, LB_SETCURSEL, index, 0);
        CheckListToggleSelection(WizardCheckList);
    }

    TargetState saved_[TargetCount];
    HWND window_ = nullptr, list_ = nullptr;
};

TEST_F(Detection, TheLastEnvironmentFoundProposesTheFolder)
{
    struct Case {
        std::vector<std::pair<int, const char*>> found;  // row, RootDir
        const char* proposal;
    };
    const Case cases[] = {
        {{{2, "D:\\Delphi5"}, {7, "C:\\Program Files\\Borland\\CBuilder5"}}, "C:\\Program Files\\Borland\\Ostrevane"},
        {{{4, "C:\\Delphi7"}}, "C:\\Ostrevane"},
        {{{4, "C:\\Borland\\Delphi7\\"}}, "C:\\Borland\\Ostrevane"},
        {{{0, "E:\\Old\\Delphi3"}, {8, "F:\\CBuilder6"}}, "F:\\Ostrevane"},
        {{}, "\\Ostrevane"},
        // A quote or a dollar sign cannot come from an environment's set-up.
        {{{2, "D:\\Del\"phi5"}, {4, "C:\\$HOME_DIR$"}, {8, "F:\\CBuilder6"}}, "F:\\Ostrevane"},
    };
    for (const Case& c : cases) {
        RemoveSimulatedIdeKeys();
        DestinationPath[0] = '\0';
        destinationProposed = false;
        for (const auto& f : c.found) SetRootDir(TargetTable[f.first].registryKey, f.second);
        const auto isFound = [](const std::pair<int, const char*>& f) { return !std::strpbrk(f.second, "\"$"); };
        FillTargetList();
        SCOPED_TRACE(c.proposal);
        EXPECT_EQ(Field(), c.proposal);
        EXPECT_STREQ(DestinationPath, c.proposal);
        std::vector<std::string> expected;
        for (const auto& f : c.found)
            if (isFound(f)) expected.push_back(std::string(TargetTable[f.first].caption) + "=1");
        expected.push_back(" Demo Projects Files=1");
        expected.push_back(" Ostrevane Lib Context Help Files=1");
        EXPECT_EQ(Items(), expected);
        for (const auto& f : c.found)
            if (isFound(f)) EXPECT_STREQ(TargetStates[f.first].rootFolder, f.second);
        for (int row = 0; row < 9; ++row) {
            const bool found =
                std::any_of(c.found.begin(), c.found.end(), [&](auto& f) { return f.first == row && isFound(f); });
            EXPECT_EQ(TargetStates[row].listState, found ? Listed : NotListed) << row;
            EXPECT_EQ(TargetStates[row].checkState, found ? Install : NotFound) << row;
        }
        EXPECT_EQ(TargetStates[9].listState, NotListed) << "the shared files are never listed";
    }
}

TEST_F(Detection, AnEarlierInstallationIsTheProposalMadeOnce)
{
    SetRootDir(TargetTable[4].registryKey, "C:\\Delphi7");
    SetRootDir(ProductHomeKey, "D:\\Components\\Ostrevane");
    FillTargetList();
    EXPECT_EQ(Field(), "D:\\Components\\Ostrevane");
    EXPECT_STREQ(VariableValue(HomeOld), "D:\\Components\\Ostrevane");
    CopyText(DestinationPath, PathSize, "G:\\Browsed");  // the folder browser's choice
    FillTargetList();
    EXPECT_EQ(Field(), "G:\\Browsed") << "the proposal is not made again over the user's choice";
}

TEST_F(Detection, EnteringAgainReticksAndKeepsTheBrowsedFolderButNotTypedText)
{
    SetRootDir(TargetTable[3].registryKey, "C:\\Delphi6");
    FillTargetList();
    EXPECT_EQ(Field(), "C:\\Ostrevane");
    Toggle(0);
    Toggle(2);
    EXPECT_EQ(Items(), (std::vector<std::string>{" Files for Borland Delphi 6=-1", " Demo Projects Files=1",
                                                 " Ostrevane Lib Context Help Files=-1"}));
    SetDlgItemTextA(window_, IDC_DESTINATION, "X:\\typed");
    FillTargetList();
    EXPECT_EQ(Items(), (std::vector<std::string>{" Files for Borland Delphi 6=1", " Demo Projects Files=1",
                                                 " Ostrevane Lib Context Help Files=1"}));
    EXPECT_EQ(Field(), "C:\\Ostrevane");

    CopyText(DestinationPath, PathSize, "G:\\Browsed");
    SetRootDir(TargetTable[8].registryKey, "H:\\CBuilder6");  // found later: no new proposal
    FillTargetList();
    EXPECT_EQ(Field(), "G:\\Browsed");
    EXPECT_EQ(Items().size(), 4u);
}

TEST_F(Detection, ReadBackTakesTheTicks)
{
    SetRootDir(TargetTable[2].registryKey, "D:\\Delphi5");
    SetRootDir(TargetTable[7].registryKey, "D:\\CBuilder5");
    FillTargetList();
    Toggle(1);             // C++Builder 5 off
    Toggle(3);             // help off ...
    Toggle(3);             // ... and on again
    ReadBackChoices();
    EXPECT_EQ(TargetStates[2].checkState, Install);
    EXPECT_EQ(TargetStates[7].checkState, Unticked);
    EXPECT_EQ(TargetStates[10].checkState, Install);
    EXPECT_EQ(TargetStates[11].checkState, Install) << "toggled twice reads back 1";
    EXPECT_EQ(TargetStates[9].checkState, Install);
    EXPECT_EQ(TargetStates[4].checkState, NotFound);
}

// What the user gives (the field, the browser, /D=) becomes the home folder,
// or is refused with the reason and an empty "$HOME_DIR$".
TEST_F(Detection, TheDestinationTable)
{
    // Relative names are taken from the current folder, which must have no
    // link above it: the test program's own folder may lie below a mount.
    char saved[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, saved);
    const std::string here = "C:\\kvx-relative", drive = "C:";
    CreateDirectoryA(here.c_str(), nullptr);
    ASSERT_TRUE(SetCurrentDirectoryA(here.c_str()));
    struct Restore {
        const char* folder;
        const char* made;
        ~Restore() { SetCurrentDirectoryA(folder), RemoveDirectoryA(made); }
    } restore{saved, here.c_str()};
    std::string noDrive = "";
    for (char letter = 'Q'; letter <= 'Y' && noDrive.empty(); ++letter)
        if (GetDriveTypeA((std::string(1, letter) + ":\\").c_str()) == DRIVE_NO_ROOT_DIR) noDrive = std::string(1, letter) + ":";
    ASSERT_FALSE(noDrive.empty());
    WriteFileText(here + "\\blocker", "a file where a folder would go");
    // The longest home folder that leaves room for every file below it.
    const std::string longest = drive + "\\" + std::string(229 - 3, 'l');
    using R = DestinationRefusal;
    struct Case {
        std::string given;
        std::string home;  // empty: refused
        DestinationRefusal refusal;
    };
    const Case cases[] = {
        {drive + "\\Kvx Lib\\", drive + "\\Kvx Lib", R::None},
        {drive + "\\Kvx Lib  \\ / ", drive + "\\Kvx Lib", R::None},
        {"  \"" + drive + "\\Kvx Lib\"", drive + "\\Kvx Lib", R::None},
        {"rel\\dir/", here + "\\rel\\dir", R::None},
        {"\\Ostrevane", drive + "\\Ostrevane", R::None},
        {drive + "\\a\\..\\b", drive + "\\b", R::None},
        {longest, longest, R::None},
        {longest + "l", "", R::TooLong},
        {"", "", R::Empty},
        {"   ", "", R::Empty},
        {"  \\ ", "", R::DriveRoot},
        {drive + "\\", "", R::DriveRoot},
        {drive + "\\\\ ", "", R::DriveRoot},
        {drive + "\\Kvx Lib\\..", "", R::DriveRoot},
        {"\\\\host\\share\\kit", "", R::Network},
        {"//host/share", "", R::Network},
        {"\\\\?\\" + drive + "\\kit", "", R::NotAFolder},
        {"\\\\.\\COM1", "", R::NotAFolder},
        {drive + "\\a<b", "", R::NotAFolder},
        {drive + "\\a?b", "", R::NotAFolder},
        // Devices, whatever follows a dot: not "a network path".
        {drive + "\\x\\CON", "", R::NotAFolder},
        {"NUL.txt", "", R::NotAFolder},
        {drive + "\\COM1 .txt\\Kvx", "", R::NotAFolder},
        {drive + "\\lpt9\\", "", R::NotAFolder},
        {drive + "\\CONSOLE\\COM10", drive + "\\CONSOLE\\COM10", R::None},
        {drive + "\\x$home_dir$", "", R::NotAFolder},
        {noDrive + "\\Kvx Lib", "", R::NoDrive},
        {here + "\\blocker\\Home", "", R::Blocked},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("[" + c.given + "]");
        SetVariable(HomeDir, "before");
        EXPECT_EQ(TakeDestination(c.given.c_str()), c.refusal);
        EXPECT_EQ(VariableValue(HomeDir), c.home);
        EXPECT_EQ(std::string(RefusalText(c.refusal)).empty(), c.refusal == R::None);
    }
    EXPECT_FALSE(FileExists(drive + "\\Kvx Lib")) << "nothing is written";
    DeleteFileA((here + "\\blocker").c_str());

    SetDlgItemTextA(window_, IDC_DESTINATION, "rel ");
    EXPECT_EQ(TakeDestinationField(), R::None);
    EXPECT_EQ(VariableValue(HomeDir), here + "\\rel");
    EXPECT_EQ(Field(), "rel ") << "the field keeps what was typed";
    char sys[MAX_PATH];
    GetSystemDirectoryA(sys, MAX_PATH);
    EXPECT_STREQ(VariableValue(SysDir), sys);

    // A name the code page cannot spell is refused as such, never taken as its lookalike.
    if (GetACP() != 1252) GTEST_SKIP() << "the names below are chosen for code page 1252";
    const std::wstring wideDrive(drive.begin(), drive.end());
    SetVariable(HomeDir, "before");
    EXPECT_EQ(TakeDestination((wideDrive + L"\\\u0141\u00f3d\u017a").c_str()), R::NotInCodePage);
    EXPECT_EQ(VariableValue(HomeDir), std::string());
    EXPECT_EQ(TakeDestination((wideDrive + L"\\Kvx \u00c5").c_str()), R::None);
    EXPECT_EQ(VariableValue(HomeDir), drive + "\\Kvx \xc5");
}

TEST_F(Detection, UntickingEverythingLeavesTheSharedFilesOnly)
{
    SetRootDir(TargetTable[0].registryKey, "C:\\Delphi3");
    FillTargetList();
    for (int i = 0; i < 3; ++i) Toggle(i);
    ReadBackChoices();
    std::vector<int> installed;
    for (int row = 0; row < TargetCount; ++row)
        if (TargetStates[row].checkState == Install) installed.push_back(row);
    EXPECT_EQ(installed, std::vector<int>{9});
    EXPECT_EQ(TargetStates[0].checkState, Unticked);
    EXPECT_EQ(TargetStates[10].checkState, Unticked);
    EXPECT_EQ(TargetStates[11].checkState, Unticked);
}

TEST_F(Detection, RowsHoldOneFolderBufferAndReleaseIt)
{
    SetRootDir(TargetTable[4].registryKey, "C:\\Delphi7");
    FillTargetList();
    FillTargetList();
    for (int row = 0; row < 9; ++row) EXPECT_NE(TargetStates[row].rootFolder, nullptr) << row;
    for (int row = 9; row < TargetCount; ++row) EXPECT_EQ(TargetStates[row].rootFolder, nullptr) << row;
    // An empty RootDir still counts as found; an over-long one does not.
    SetRootDir(TargetTable[0].registryKey, "");
    SetRootDir(TargetTable[1].registryKey, std::string(300, 'x'));
    FillTargetList();
    EXPECT_EQ(TargetStates[0].listState, Listed);
    EXPECT_EQ(TargetStates[1].listState, NotListed);
    ReleaseTargets();
    for (int row = 0; row < TargetCount; ++row) EXPECT_EQ(TargetStates[row].rootFolder, nullptr) << row;
    EXPECT_EQ(TemplateBuffer, nullptr);
    ASSERT_TRUE(AllocateEngineBuffers());  // for TearDown
}

}  // namespace
