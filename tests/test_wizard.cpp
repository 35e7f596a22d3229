// The installer's wizard, driven as a user drives it: pages, texts, buttons,
// the close question, the layout, and a whole installation through the GUI.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <set>
#include <string>
#include <vector>

#include "../wizard/wizard_ids.h"
#include "drive_kit.h"
#include "gui_driver.h"
#include "simulated_ide.h"

namespace {

constexpr char Caption[] = "Ostrevane Installation";
constexpr char QuestionCaption[] = "Quillmere presents ...";
constexpr char Description[] =
    "Ostrevane component version 3.10 (trial)\rCopyright (c) 1999-2004 Quillmere Software"
    "\r\rDelphi/CBuilder component for handling standard Windows calculator";

void SavePicture(HWND window, const char* name)
{
    const std::string folder = BuildFolder() + "\\screenshots";
    CreateDirectoryA(folder.c_str(), nullptr);
    Sleep(Scaled(400));  // let the page paint first
    SaveWindowPicture(window, folder + "\\" + name + ".bmp");
}

class Wizard : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = TestFolder("ostrevane-wizard");
        RemoveSimulatedIdeKeys();
        DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Quillmere");
        DeleteTree(HKEY_LOCAL_MACHINE, ListEntryKey);
        // Windows has the help key; an earlier test may have removed it.
        HKEY help = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, WindowsHelpKey, 0, nullptr, 0, KEY_WRITE, nullptr, &help, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(help);
    }
    void TearDown() override
    {
        if (process_.Running()) process_.Wait(0);
        if (!held_.empty()) ReleaseTool(held_, "dcc32");
        RemoveSimulatedIdeKeys();
        DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Quillmere");
        DeleteTree(HKEY_LOCAL_MACHINE, ListEntryKey);
        const std::string sys = SystemFolder();
        for (const char* file : {"kvxpurge.exe", "ovanlibd7.bpl", "ovanlibb6.bpl", "ovanlibd5.bpl", "ovanlibb5.bpl"})
            DeleteFileA((sys + "\\" + file).c_str());
        RemoveTree(root_);
    }

    HWND Start()
    {
        EXPECT_TRUE(process_.Start(BuildFolder() + "\\install.exe", "install.exe"));
        HWND dialog = WaitForWindow(process_.Id(), Caption);
        EXPECT_NE(dialog, nullptr);
        return dialog;
    }

    bool OnPage(HWND dialog, int page)
    {
        const std::string label = "Page " + std::to_string(page) + "/4";
        return WaitUntil([&] { return ItemText(dialog, IDC_PAGE_LABEL) == label; }, 30000);
    }

    HWND Question() { return WaitForWindow(process_.Id(), QuestionCaption, 5000); }

    void Answer(HWND box, int button) { EXPECT_TRUE(Click(box, button)) << button; }

    std::vector<std::string> ListItems(HWND dialog) { return ::ListItems(dialog); }
    void ClickItem(HWND dialog, int index) { ClickListItem(dialog, index); }

    HWND CloseDuringInstallation(const std::string& home, HWND* dialog);

    // The close box, the question answered Yes, and the process's end.
    void CloseAndConfirm(HWND dialog)
    {
        PostMessageA(dialog, WM_CLOSE, 0, 0);
        HWND box = Question();
        ASSERT_TRUE(box);
        Answer(box, IDYES);
        EXPECT_EQ(process_.Wait(10000), 0);
    }

    // A held dcc32 keeps page 3 up until the test lets it go.
    void Hold(const std::string& ide)
    {
        held_ = ide;
        HoldTool(ide, "dcc32");
    }
    bool HeldToolStarted() { return WaitUntil([&] { return ToolWaiting(held_, "dcc32"); }, 30000); }

    std::string root_, held_;
    ChildProcess process_;
};

// The show (+) and hide (-) state each page leaves its controls in.
struct Visibility {
    int page;
    std::vector<int> shown, hidden;
};
const Visibility PageControls[] = {
    {1,
     {IDC_NEXT, IDC_CANCEL, IDC_PICTURE, IDC_MAIN_TEXT, IDC_SECOND_TEXT, IDC_THIRD_TEXT, IDC_PAGE_LABEL},
     {IDC_PROGRESS, IDC_DESTINATION, IDC_CHECKLIST, IDC_PREV, IDC_BROWSE}},
    {2,
     {IDC_NEXT, IDC_CANCEL, IDC_PICTURE, IDC_MAIN_TEXT, IDC_THIRD_TEXT, IDC_PAGE_LABEL, IDC_PREV,
      IDC_DESTINATION, IDC_CHECKLIST, IDC_BROWSE},
     {IDC_PROGRESS, IDC_SECOND_TEXT}},
    {3,
     {IDC_CANCEL, IDC_PICTURE, IDC_MAIN_TEXT, IDC_SECOND_TEXT, IDC_THIRD_TEXT, IDC_PROGRESS, IDC_PAGE_LABEL},
     {IDC_NEXT, IDC_DESTINATION, IDC_CHECKLIST, IDC_BROWSE, IDC_PREV}},
    {4,
     {IDC_CANCEL, IDC_PICTURE, IDC_MAIN_TEXT, IDC_SECOND_TEXT, IDC_THIRD_TEXT, IDC_PAGE_LABEL},
     {IDC_PROGRESS, IDC_DESTINATION, IDC_CHECKLIST, IDC_PREV, IDC_NEXT, IDC_BROWSE}},
};

// The checkers name their caller's line on failure.
#define EXPECT_VISIBILITY(dialog, page) ExpectVisibility(__FILE__, __LINE__, dialog, page)
#define EXPECT_PLACES(dialog, places) ExpectPlaces(__FILE__, __LINE__, dialog, places)

void ExpectVisibility(const char* file, int line, HWND dialog, int page)
{
    const ::testing::ScopedTrace caller(file, line, "controls shown and hidden");
    const Visibility& v = PageControls[page - 1];
    for (int id : v.shown) EXPECT_TRUE(ItemVisible(dialog, id)) << "page " << page << " control " << id;
    for (int id : v.hidden) EXPECT_FALSE(ItemVisible(dialog, id)) << "page " << page << " control " << id;
}

// Where a control lies in the dialog's client area.
struct Place {
    int id, x, y, width, height;  // width/height 0: not checked
};

template <std::size_t N>
void ExpectPlaces(const char* file, int line, HWND dialog, const Place (&places)[N])
{
    const ::testing::ScopedTrace caller(file, line, "control places");
    for (const Place& p : places) {
        const RECT rc = ItemRect(dialog, p.id);
        EXPECT_EQ(rc.left, p.x) << p.id;
        EXPECT_EQ(rc.top, p.y) << p.id;
        if (p.width) EXPECT_EQ(rc.right - rc.left, p.width) << p.id;
        if (p.height) EXPECT_EQ(rc.bottom - rc.top, p.height) << p.id;
    }
}

TEST_F(Wizard, PagesTextsAndButtons)
{
    HWND dialog = Start();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(OnPage(dialog, 1));
    EXPECT_EQ(WindowText(dialog), Caption);
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_TEXT), Description);
    EXPECT_EQ(ItemText(dialog, IDC_SECOND_TEXT),
              "This programm will install Ostrevane on your computer\r\rClick NEXT for continue SETUP program.");
    EXPECT_EQ(ItemText(dialog, IDC_THIRD_TEXT), "WARNING: Close all Delphi and CBuilder programs before !!!");
    EXPECT_EQ(ItemText(dialog, IDC_CANCEL), "Cancel");
    EXPECT_VISIBILITY(dialog, 1);
    SavePicture(dialog, "page1");

    EXPECT_FALSE(Click(dialog, IDC_PREV)) << "the hidden Back button cannot be pressed";
    // Moving the focus over the buttons presses none of them.
    for (int i = 0; i < 3; ++i) PressKey(dialog, VK_TAB);
    Sleep(Scaled(300));
    EXPECT_EQ(ItemText(dialog, IDC_PAGE_LABEL), "Page 1/4");

    ASSERT_TRUE(Click(dialog, IDC_NEXT));
    ASSERT_TRUE(OnPage(dialog, 2));
    EXPECT_EQ(WindowText(dialog), Caption);
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_TEXT), "Choose that you necessary:");
    EXPECT_EQ(ItemText(dialog, IDC_SECOND_TEXT), "");
    EXPECT_EQ(ItemText(dialog, IDC_THIRD_TEXT), "Choose destination path:");
    EXPECT_VISIBILITY(dialog, 2);
    // Nothing installed here: only the demo and help rows, and the drive root.
    EXPECT_EQ(ListItems(dialog), (std::vector<std::string>{" Demo Projects Files=1", " Ostrevane Lib Context Help Files=1"}));
    EXPECT_EQ(ItemText(dialog, IDC_DESTINATION), "\\Ostrevane");

    Click(dialog, IDC_PREV);
    ASSERT_TRUE(OnPage(dialog, 1));
    EXPECT_VISIBILITY(dialog, 1);
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_TEXT), Description);

    // Cancel asks; No keeps the page.
    Click(dialog, IDC_CANCEL);
    HWND box = Question();
    ASSERT_TRUE(box);
    Answer(box, IDNO);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 5000));
    EXPECT_TRUE(process_.Running());
    EXPECT_EQ(ItemText(dialog, IDC_PAGE_LABEL), "Page 1/4");

    // Escape does nothing; Enter is Cancel, the default button.
    PressKey(dialog, VK_ESCAPE);
    Sleep(Scaled(300));
    EXPECT_EQ(FindProcessWindow(process_.Id(), QuestionCaption), nullptr);
    EXPECT_TRUE(process_.Running());
    PressKey(dialog, VK_RETURN);
    box = Question();
    ASSERT_TRUE(box) << "Enter gives the Cancel button's command";
    Answer(box, IDYES);
    EXPECT_EQ(process_.Wait(10000), 0);
}

TEST_F(Wizard, CloseBoxAsksOnPageTwo)
{
    HWND dialog = Start();
    ASSERT_TRUE(dialog);
    Click(dialog, IDC_NEXT);
    ASSERT_TRUE(OnPage(dialog, 2));
    CloseAndConfirm(dialog);
}

TEST_F(Wizard, LayoutFollowsButtonSize)
{
    HWND dialog = Start();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(OnPage(dialog, 1));
    const RECT button = ItemRect(dialog, IDC_CANCEL);
    const int w = button.right - button.left, h = button.bottom - button.top;
    RECT window{}, client{};
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    EXPECT_EQ(window.right - window.left, 3 * w + 248);
    EXPECT_EQ(window.bottom - window.top, 2 * h + 304);
    const int W = client.right, H = client.bottom, column = W - 232, yB = H - h - 4;

    const Place places[] = {
        {IDC_PICTURE, 8, 8, 200, 300},
        {IDC_PAGE_LABEL, 8, 308, 0, 0},
        {IDC_PREV, 216, yB, w, h},
        {IDC_NEXT, 224 + w, yB, w, h},
        {IDC_CANCEL, 232 + 2 * w, yB, w, h},
        {IDC_MAIN_TEXT, 216, 8, column, 80},
        {IDC_SECOND_TEXT, 216, 96, column, 80},
        {IDC_THIRD_TEXT, 216, 184, column, 80},
        {IDC_PROGRESS, 216, 264, column, 16},
    };
    EXPECT_PLACES(dialog, places);
    EXPECT_EQ(ZOrder(dialog), (std::vector<int>{
        IDC_PROGRESS, IDC_THIRD_TEXT, IDC_SECOND_TEXT, IDC_CANCEL, IDC_NEXT, IDC_PREV, IDC_PAGE_LABEL,
        IDC_PICTURE, IDC_DESTINATION, IDC_CHECKLIST, IDC_BROWSE, IDC_MAIN_TEXT}));
    EXPECT_EQ(TabOrder(dialog), (std::vector<int>{
        IDC_CANCEL, IDC_NEXT, IDC_PREV, IDC_DESTINATION, IDC_CHECKLIST, IDC_BROWSE}));

    Click(dialog, IDC_NEXT);
    ASSERT_TRUE(OnPage(dialog, 2));
    RECT edit = ItemRect(dialog, IDC_DESTINATION);
    const int e = edit.bottom - edit.top;
    const Place page2[] = {
        {IDC_MAIN_TEXT, 216, 8, column, 75},
        {IDC_CHECKLIST, 216, 83, column, 0},
        {IDC_THIRD_TEXT, 216, 166, column, 16},
        {IDC_DESTINATION, 216, 186, column - 2 * e, e},
        {IDC_BROWSE, 224 + column - 2 * e, 186, e, e},
    };
    EXPECT_PLACES(dialog, page2);
    const RECT list = ItemRect(dialog, IDC_CHECKLIST);
    EXPECT_LE(list.bottom - list.top, 75) << "the list keeps a whole number of items";
    EXPECT_EQ(ZOrder(dialog), (std::vector<int>{
        IDC_BROWSE, IDC_DESTINATION, IDC_THIRD_TEXT, IDC_CHECKLIST, IDC_MAIN_TEXT, IDC_PROGRESS,
        IDC_SECOND_TEXT, IDC_CANCEL, IDC_NEXT, IDC_PREV, IDC_PAGE_LABEL, IDC_PICTURE}));
    EXPECT_EQ(TabOrder(dialog), (std::vector<int>{
        IDC_BROWSE, IDC_DESTINATION, IDC_CHECKLIST, IDC_CANCEL, IDC_NEXT, IDC_PREV}));

    // The page-2 geometry stays: back on page 1, the third text is the short line.
    Click(dialog, IDC_PREV);
    ASSERT_TRUE(OnPage(dialog, 1));
    const RECT status = ItemRect(dialog, IDC_THIRD_TEXT);
    EXPECT_EQ(status.top, 166);
    EXPECT_EQ(status.bottom - status.top, 16);
    CloseAndConfirm(dialog);
}

TEST_F(Wizard, WholeInstallThroughTheGui)
{
    const std::string delphi7 = CreateSimulatedIde(SimulatedIdes[4], root_);
    const std::string cbuilder6 = CreateSimulatedIde(SimulatedIdes[8], root_);
    Hold(delphi7);
    HWND dialog = Start();
    ASSERT_TRUE(dialog);
    Click(dialog, IDC_NEXT);
    ASSERT_TRUE(OnPage(dialog, 2));
    EXPECT_EQ(ListItems(dialog), (std::vector<std::string>{
                                     " Files for Borland Delphi 7=1",
                                     " Files for Borland C++Builder 6=1",
                                     " Demo Projects Files=1",
                                     " Ostrevane Lib Context Help Files=1",
                                 }));
    // Proposed beside the last environment found.
    EXPECT_EQ(ItemText(dialog, IDC_DESTINATION), root_ + "\\Ostrevane");
    SavePicture(dialog, "page2");

    ClickItem(dialog, 2);  // untick the demo projects
    ASSERT_TRUE(WaitUntil([&] { return ListItems(dialog)[2] == " Demo Projects Files=-1"; }, 5000));
    const std::string home = root_ + "\\Typed Home";
    TypeText(GetDlgItem(dialog, IDC_DESTINATION), home + "\\");
    EXPECT_EQ(ItemText(dialog, IDC_DESTINATION), home + "\\");

    Click(dialog, IDC_NEXT);
    ASSERT_TRUE(OnPage(dialog, 3));
    ASSERT_TRUE(HeldToolStarted());
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_TEXT), "\rNow is installations process. Please wait ...");
    EXPECT_FALSE(ItemEnabled(dialog, IDC_CANCEL));
    EXPECT_VISIBILITY(dialog, 3);
    SavePicture(dialog, "page3");
    ReleaseTool(delphi7, "dcc32");

    ASSERT_TRUE(OnPage(dialog, 4));
    ASSERT_TRUE(WaitUntil([&] { return ItemEnabled(dialog, IDC_CANCEL); }, 10000));
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_TEXT), "\rThe installation process was\r successfully complete !");
    EXPECT_EQ(ItemText(dialog, IDC_SECOND_TEXT), "Quillmere  Welcome to www.quillmere.example");
    EXPECT_EQ(ItemText(dialog, IDC_THIRD_TEXT), "Press Finish button.");
    EXPECT_EQ(ItemText(dialog, IDC_CANCEL), "Finish");
    EXPECT_VISIBILITY(dialog, 4);
    // Delphi 7 6, C++Builder 6 13, shared files 1, help 3.
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_GETPOS, 0, 0), 23);
    SavePicture(dialog, "page4");

    // The log: product, two environments, the shared files and the help.
    const std::string log = ReadFileText(home + "\\uninst.kvx");
    std::vector<std::string> captions;
    std::size_t records = 0;
    for (std::size_t at = 0; at < log.size(); ++records) {
        const std::size_t end = log.find('\0', at + 1);
        if (log[at] == 2) captions.push_back(log.substr(at + 1, end - at - 1));
        at = end + 1;
    }
    EXPECT_GT(records, 53u) << "with the keys the user's environments never had";
    EXPECT_EQ(captions, (std::vector<std::string>{" Files for Borland Delphi 7", " Files for Borland C++Builder 6",
                                                  " Shared Files", " Ostrevane Lib Context Help Files"}));
    EXPECT_TRUE(FileExists(home + "\\Delphi7\\ovanlibd7.bpl"));
    EXPECT_TRUE(FileExists(home + "\\CBuilder6\\ovanlibb6.bpl"));
    EXPECT_TRUE(FileExists(home + "\\Help\\ostrevane.hlp"));
    EXPECT_FALSE(FileExists(home + "\\Demos"));
    EXPECT_TRUE(FileExists(SystemFolder() + "\\kvxpurge.exe"));
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "UninstallString"),
              "\"" + SystemFolder() + "\\kvxpurge.exe\" \"" + home + "\\uninst.kvx\"");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, ProductHomeKey, "RootDir"), home);
    EXPECT_EQ(ToolCalls(delphi7).size(), 1u);
    EXPECT_EQ(ToolCalls(cbuilder6).size(), 2u);

    Click(dialog, IDC_CANCEL);  // Finish: no question
    EXPECT_EQ(process_.Wait(10000), 0);
    EXPECT_EQ(FindProcessWindow(process_.Id(), QuestionCaption), nullptr);
}

// A ticked environment that runs holds page 2, without a trace, until it is
// closed, also when it shows no window; one that is not ticked holds nothing.
TEST_F(Wizard, RunningEnvironmentsHoldPageTwo)
{
    const int rows[] = {2, 4, 8};  // Delphi 5 (no window), Delphi 7, C++Builder 6 (unticked)
    std::string folders[3];
    RunningIde running[3];
    for (int i = 0; i < 3; ++i) {
        folders[i] = CreateSimulatedIde(SimulatedIdes[rows[i]], root_);
        IdeRun how;
        how.window = i != 0;
        ASSERT_TRUE(running[i].Start(SimulatedIdes[rows[i]], folders[i], how)) << folders[i];
    }
    HWND dialog = Start();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(Click(dialog, IDC_NEXT));
    ASSERT_TRUE(OnPage(dialog, 2));
    ClickItem(dialog, 2);
    ASSERT_TRUE(WaitUntil([&] { return ListItems(dialog)[2] == " Files for Borland C++Builder 6=-1"; }, 5000));
    const std::string home = root_ + "\\Held";
    TypeText(GetDlgItem(dialog, IDC_DESTINATION), home);

    const std::string both = "Delphi 5 and Delphi 7 are running and must be closed first.\nClose them, then press Retry.";
    const struct {
        const char* what;
        int closed;        // the environment closed first, or -1
        bool next;         // Next pressed; else the question is still up
        std::string text;  // empty: no question, page 3 comes
        int answer;
    } steps[] = {
        {"two run", -1, true, both, IDCANCEL},
        {"still two", -1, true, both, IDRETRY},
        {"asked again, one closed", 0, false, both, IDRETRY},
        {"one left", -1, false, "Delphi 7 is running and must be closed first.\nClose it, then press Retry.", IDCANCEL},
        {"both closed", 1, true, "", 0},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.closed >= 0) running[step.closed].Close();
        if (step.next) ASSERT_TRUE(Click(dialog, IDC_NEXT));
        if (step.text.empty()) break;
        HWND box = Question();
        ASSERT_TRUE(box);
        EXPECT_EQ(MessageBoxText(box), step.text);
        EXPECT_FALSE(Click(dialog, IDC_NEXT)) << "the wizard waits for the answer";
        Answer(box, step.answer);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 5000));
        EXPECT_EQ(ItemText(dialog, IDC_PAGE_LABEL), "Page 2/4");
        EXPECT_FALSE(FileExists(home));
        for (const std::string& folder : folders) EXPECT_TRUE(ToolCalls(folder).empty()) << folder;
        EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, ProductHomeKey, "RootDir"), "<missing>");
        EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "UninstallString"), "<missing>");
        EXPECT_FALSE(FileExists(SystemFolder() + "\\kvxpurge.exe"));
    }
    ASSERT_TRUE(OnPage(dialog, 4));
    ASSERT_TRUE(WaitUntil([&] { return ItemEnabled(dialog, IDC_CANCEL); }, 10000));
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_TEXT), "\rThe installation process was\r successfully complete !");
    EXPECT_TRUE(FileExists(home + "\\Delphi7\\ovanlibd7.bpl"));
    EXPECT_TRUE(FileExists(home + "\\uninst.kvx"));
    EXPECT_TRUE(ToolCalls(folders[2]).empty()) << "C++Builder 6 was not ticked";
    ASSERT_TRUE(Click(dialog, IDC_CANCEL));
    EXPECT_EQ(process_.Wait(10000), 0);
}

TEST_F(Wizard, AnEarlierInstallationDecidesTheFolderAndTypedTextAfterBrowsingWins)
{
    CreateSimulatedIde(SimulatedIdes[2], root_);
    const std::string earlier = root_ + "\\Earlier";
    ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, ProductHomeKey, "RootDir", REG_SZ, Sz(earlier)));

    HWND dialog = Start();
    ASSERT_TRUE(dialog);
    Click(dialog, IDC_NEXT);
    ASSERT_TRUE(OnPage(dialog, 2));
    EXPECT_EQ(ItemText(dialog, IDC_DESTINATION), earlier);

    // A cancelled browse puts the last proposal back over typed text.
    TypeText(GetDlgItem(dialog, IDC_DESTINATION), "C:\\typed");
    Click(dialog, IDC_BROWSE);
    HWND browser = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        browser = FindOwnedWindow(process_.Id(), dialog);
        return browser != nullptr;
    }, 10000));
    SavePicture(browser, "browse");
    ASSERT_TRUE(Click(browser, IDCANCEL));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(browser); }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return ItemText(dialog, IDC_DESTINATION) == earlier; }, 5000)) << ItemText(dialog, IDC_DESTINATION);

    // Typed after browsing: this is the folder page 3 takes.
    const std::string typed = root_ + "\\Typed";
    TypeText(GetDlgItem(dialog, IDC_DESTINATION), typed);
    ClickItem(dialog, 0);  // untick Delphi 5 ...
    ClickItem(dialog, 1);  // ... the demo projects ...
    ClickItem(dialog, 2);  // ... and the help: only the shared files remain
    ASSERT_TRUE(WaitUntil([&] {
        const auto items = ListItems(dialog);
        if (items.size() != 3) return false;
        for (const std::string& item : items)
            if (item.find("=-1") == std::string::npos) return false;
        return true;
    }, 5000));
    Click(dialog, IDC_NEXT);
    ASSERT_TRUE(OnPage(dialog, 4));
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, ProductHomeKey, "RootDir"), typed);
    EXPECT_TRUE(FileExists(typed + "\\readme.txt"));
    EXPECT_FALSE(FileExists(typed + "\\Delphi5"));
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_GETPOS, 0, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return ItemEnabled(dialog, IDC_CANCEL); }, 10000));
    PostMessageA(dialog, WM_CLOSE, 0, 0);  // the close box on page 4 asks nothing
    EXPECT_EQ(process_.Wait(10000), 0);
}

// DLLs planted beside both programs in a download folder, with Wine told to
// prefer such a copy as Windows' search order would: neither program loads
// them, and both work, the folder browser included. A program that imports
// comctl32 statically, the way the installer once did, loads the planted one.
TEST_F(Wizard, DllsPlantedBesideTheProgramsAreNotLoaded)
{
    const std::string folder = root_ + "\\Downloads", tests = BuildFolder() + "\\tests\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    // No version.dll: Wine's own user32 imports it by the program's search order
    // before the program's first line, where Windows takes it from the system folder.
    for (const char* dll : {"comctl32.dll", "uxtheme.dll"})
        ASSERT_TRUE(CopyFileA((tests + "planted.dll").c_str(), (folder + "\\" + dll).c_str(), FALSE));
    for (const std::string& program : {BuildFolder() + "\\install.exe", BuildFolder() + "\\kvxpurge.exe",
                                       tests + "static_comctl.exe"})
        ASSERT_TRUE(CopyFileA(program.c_str(), (folder + program.substr(program.rfind('\\'))).c_str(), FALSE));
    const std::string marker = folder + "\\planted.txt";
    // Wine's per-program form of WINEDLLOVERRIDES=comctl32,uxtheme=n,b
    // (a child does not take that variable from the Windows environment).
    struct Overrides {
        const char* const programs[3] = {"install.exe", "kvxpurge.exe", "static_comctl.exe"};
        static std::string Key(const char* program) { return std::string("Software\\Wine\\AppDefaults\\") + program; }
        Overrides()
        {
            for (const char* program : programs) {
                for (const char* dll : {"comctl32", "uxtheme"})
                    SetRegistryValue(HKEY_CURRENT_USER, Key(program) + "\\DllOverrides", dll, REG_SZ, Sz("native,builtin"));
            }
        }
        ~Overrides()
        {
            for (const char* program : programs) RegDeleteTreeA(HKEY_CURRENT_USER, (Key(program) + "\\DllOverrides").c_str());
        }
    } overrides;

    ASSERT_TRUE(process_.Start(folder + "\\install.exe", "install.exe"));
    HWND dialog = WaitForWindow(process_.Id(), Caption);
    ASSERT_TRUE(dialog);
    char className[32] = "";
    GetClassNameA(GetDlgItem(dialog, IDC_PROGRESS), className, sizeof className);
    EXPECT_STREQ(className, "msctls_progress32") << "the common controls are registered";
    Click(dialog, IDC_NEXT);
    ASSERT_TRUE(OnPage(dialog, 2));
    EXPECT_EQ(ListItems(dialog).size(), 2u);
    Click(dialog, IDC_BROWSE);
    HWND browser = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (browser = FindOwnedWindow(process_.Id(), dialog)) != nullptr; }, 10000));
    ASSERT_TRUE(Click(browser, IDCANCEL));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(browser); }, 10000));
    CloseAndConfirm(dialog);
    EXPECT_EQ(ReadFileText(marker), "<missing>") << "install.exe loaded a planted DLL";

    ChildProcess purge;
    ASSERT_TRUE(purge.Start(folder + "\\kvxpurge.exe", "kvxpurge.exe " + folder + "\\uninst.kvx"));
    HWND wrongStart = WaitForWindow(purge.Id(), "Uninstall - Quillmere");
    ASSERT_TRUE(wrongStart) << "kvxpurge's dialog, progress bar and all";
    PostMessageA(wrongStart, WM_CLOSE, 0, 0);
    EXPECT_EQ(purge.Wait(10000), 0);
    EXPECT_EQ(ReadFileText(marker), "<missing>") << "kvxpurge.exe loaded a planted DLL";

    ChildProcess plain;
    ASSERT_TRUE(plain.Start(folder + "\\static_comctl.exe", "static_comctl.exe"));
    plain.Wait(10000);
    EXPECT_NE(ReadFileText(marker).find("static_comctl.exe"), std::string::npos) << "the plant works";
}

// Every environment installed into home, with a close request sent while
// page 3's worker waits on the first tool: the question box it brings up.
HWND Wizard::CloseDuringInstallation(const std::string& home, HWND* dialogOut)
{
    for (const SimulatedIde& ide : SimulatedIdes) CreateSimulatedIde(ide, root_);
    Hold(root_ + "\\" + SimulatedIdes[0].folder);
    HWND dialog = Start();
    *dialogOut = dialog;
    if (!dialog) return nullptr;
    Click(dialog, IDC_NEXT);
    if (!OnPage(dialog, 2)) return nullptr;
    TypeText(GetDlgItem(dialog, IDC_DESTINATION), home);
    Click(dialog, IDC_NEXT);
    if (!OnPage(dialog, 3) || !HeldToolStarted()) return nullptr;
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    return Question();
}

// The installation ends where it was; its log, kept ahead of every step, and
// its entry in Windows' list are there to remove what it did.
TEST_F(Wizard, ClosingDuringTheInstallationLeavesItRemovable)
{
    const std::string home = root_ + "\\Closed";
    HWND dialog = nullptr;
    HWND box = CloseDuringInstallation(home, &dialog);
    ASSERT_TRUE(box);
    EXPECT_EQ(ItemText(dialog, IDC_PAGE_LABEL), "Page 3/4") << "the installation went on while asking";
    Answer(box, IDYES);
    EXPECT_EQ(process_.Wait(10000), 0);
    const SimulatedIde& held = SimulatedIdes[0];
    const std::string package = home + "\\" + held.subFolder + "\\" + held.package + held.packageExt;
    EXPECT_NE(ReadFileText(home + "\\uninst.kvx").find(package), std::string::npos)
        << "what the running tool builds is logged";
    EXPECT_NE(RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "QuietUninstallString"), "<missing>");
    // The tool outlives the process: let it end before its folder goes.
    ReleaseTool(held_, "dcc32");
    EXPECT_TRUE(WaitUntil([&] { return ToolCalls(held_).size() == 1; }, 10000));
}

TEST_F(Wizard, AnsweringNoDuringTheInstallationLetsItGoOn)
{
    const std::string home = root_ + "\\Kept";
    HWND dialog = nullptr;
    HWND box = CloseDuringInstallation(home, &dialog);
    ASSERT_TRUE(box);
    Answer(box, IDNO);
    ReleaseTool(held_, "dcc32");
    ASSERT_TRUE(OnPage(dialog, 4));
    ASSERT_TRUE(WaitUntil([&] { return ItemEnabled(dialog, IDC_CANCEL); }, 10000));
    EXPECT_TRUE(FileExists(home + "\\uninst.kvx"));
    EXPECT_TRUE(FileExists(home + "\\CBuilder6\\ovanlibb6.bpl")) << "every chosen script ran to its end";
    Click(dialog, IDC_CANCEL);
    EXPECT_EQ(process_.Wait(10000), 0);
}

constexpr char FinishedWithErrors[] = "\rThe installation finished with errors.";
constexpr char FinishedNotRemovable[] =
    "\rThe installation finished with errors.\rOstrevane cannot be removed through\rWindows' list of installed software.";
constexpr char Caption7[] = "Ostrevane v3.10 (trial) VCL";

enum Breakage { CompilerEndsWith1, CompilerMissing, MakeFails, DriveMissing, LogInTheWay, HomeIsALink, LogDamaged };

// An earlier log with data after a zero type byte.
const std::string DamagedLog("\x01old\0\x03" "C:\\old.txt\0\0\x03" "C:\\after.txt\0", 32);

struct BrokenInstall {
    const char* name;
    std::vector<int> rows;  // simulated environments, all ticked
    bool extras;            // the demo projects and help files ticked
    Breakage breakage;
    int broken;             // the row whose package is not built, or -1
    const char* main;       // page 4's main and second texts; null: no page 4
    const char* list;       // or page 2's refusal
    bool installs = true;   // false: nothing at all is installed
};

const BrokenInstall BrokenInstalls[] = {
    {"compiler-exits-1", {4, 8}, false, CompilerEndsWith1, 4, FinishedWithErrors, "Delphi 7: build failed"},
    {"compiler-missing", {4, 8}, false, CompilerMissing, 4, FinishedWithErrors, "Delphi 7: build tool did not start"},
    {"make-fails", {7, 8}, false, MakeFails, 7, FinishedWithErrors, "C++Builder 5: build failed"},
    // Refused on page 2, which says why and stays: no page 4.
    {"missing-drive", {4}, true, DriveMissing, 4, nullptr, "The destination drive does not exist.", false},
    // Nothing is installed where no log can be kept, or into a link.
    {"log-in-the-way", {4}, false, LogInTheWay, 4, FinishedNotRemovable, "Uninstall log not written", false},
    {"home-is-a-link", {4}, false, HomeIsALink, 4, FinishedWithErrors, "Destination folder not created", false},
    // Nor where the earlier log would lose its records after the damage.
    {"log-damaged", {4}, false, LogDamaged, 4, FinishedNotRemovable, "Uninstall log not written", false},
};

// Page 4 says what failed; the package that was not built is not registered
// and an earlier registration of it stays; every other target installs as
// usual, and so does the log where it can be written.
TEST_F(Wizard, ABrokenInstallationSaysWhatFailed)
{
    const std::string sys = SystemFolder();
    for (const BrokenInstall& c : BrokenInstalls) {
        SCOPED_TRACE(c.name);
        std::string folders[9];
        const std::string ides = root_ + "\\" + c.name + " environments";
        CreateDirectoryA(ides.c_str(), nullptr);
        for (int row : c.rows) {
            const SimulatedIde& ide = SimulatedIdes[row];
            folders[row] = CreateSimulatedIde(ide, ides);
            const std::string packages = std::string(ide.registryKey) + "\\Known Packages";
            const std::string earlier = std::string("C:\\Earlier\\") + ide.subFolder + "\\" + ide.package + ide.packageExt;
            SetRegistryValue(HKEY_CURRENT_USER, packages, earlier.c_str(), REG_SZ, Sz(Caption7));
        }
        std::string home = root_ + "\\" + c.name;
        const std::string bin = c.broken >= 0 ? folders[c.broken] + "\\Bin\\" : "";
        switch (c.breakage) {
        case CompilerEndsWith1:  // over the package an earlier installation left
            WriteFileText(bin + "standin.cfg", "fail=dcc32\r\n");
            CreateDirectoryA(home.c_str(), nullptr);
            CreateDirectoryA((home + "\\Delphi7").c_str(), nullptr);
            WriteFileText(home + "\\Delphi7\\ovanlibd7.bpl", "older package");
            break;
        case CompilerMissing: DeleteFileA((bin + "dcc32.exe").c_str()); break;
        case MakeFails: WriteFileText(bin + "standin.cfg", "fail=make\r\n"); break;
        case DriveMissing: {
            const DWORD drives = GetLogicalDrives();
            char letter = 'Y';
            while (letter > 'D' && (drives & (1u << (letter - 'A')))) --letter;
            home = std::string(1, letter) + ":\\Ostrevane";
            break;
        }
        case LogInTheWay:
            CreateDirectoryA(home.c_str(), nullptr);
            CreateDirectoryA((home + "\\uninst.kvx").c_str(), nullptr);
            break;
        case HomeIsALink: ASSERT_TRUE(MakeLink(ides, home)); break;
        case LogDamaged:
            CreateDirectoryA(home.c_str(), nullptr);
            ASSERT_TRUE(WriteFileText(home + "\\uninst.kvx", DamagedLog));
            break;
        }
        std::set<std::string> untick;
        if (!c.extras) untick = {" Demo Projects Files", " Ostrevane Lib Context Help Files"};
        const std::string pictures = BuildFolder() + "\\screenshots\\" + c.name;
        const InstallerRun run = RunInstaller(BuildFolder() + "\\install.exe", home, untick, pictures);
        ASSERT_EQ(run.failure, "") << "the wizard ends with 0 whatever failed";
        if (c.main) {
            EXPECT_EQ(run.finishTexts[0], c.main);
            EXPECT_EQ(run.finishTexts[1], c.list);
            EXPECT_EQ(run.finishTexts[2], "Press Finish button.");
        } else {
            EXPECT_EQ(run.refusal, c.list);
            EXPECT_FALSE(run.finished);
        }

        std::size_t captions = 1 + (c.extras ? 2 : 0);
        for (int row : c.rows) {
            const SimulatedIde& ide = SimulatedIdes[row];
            SCOPED_TRACE(ide.folder);
            ++captions;
            const std::string packages = std::string(ide.registryKey) + "\\Known Packages";
            const std::string built = home + "\\" + ide.subFolder + "\\" + ide.package + ide.packageExt;
            const std::string earlier = std::string("C:\\Earlier\\") + ide.subFolder + "\\" + ide.package + ide.packageExt;
            if (row == c.broken) {
                EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, packages.c_str(), earlier.c_str()), Caption7);
                EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, packages.c_str(), built.c_str()), "<missing>");
                EXPECT_FALSE(FileExists(sys + "\\" + ide.package + ide.packageExt));
            } else {
                EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, packages.c_str(), earlier.c_str()), "<missing>");
                EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, packages.c_str(), built.c_str()), Caption7);
                EXPECT_EQ(ReadFileText(sys + "\\" + ide.package + ide.packageExt), ReadFileText(built));
            }
            const std::string library = std::string(ide.registryKey) + "\\Library";
            EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, library.c_str(), ide.searchValue),
                      c.installs ? ";" + home + "\\" + ide.subFolder : "<missing>");
        }
        if (c.breakage == MakeFails) EXPECT_TRUE(FileExists(home + "\\CBuilder5\\ovanlibb5.mak")) << "bpr2mak ran";
        const bool logWritten = c.main == FinishedWithErrors && c.installs;
        std::size_t logged = 0;
        for (const LogRecord& r : ReadUninstallLog(home + "\\uninst.kvx")) logged += r.type == TargetCaption;
        EXPECT_EQ(logged, logWritten ? captions : 0u);
        EXPECT_EQ(FileExists(sys + "\\kvxpurge.exe"), c.installs);
        EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, ListEntryKey, "UninstallString"),
                  c.installs ? "\"" + sys + "\\kvxpurge.exe\" \"" + home + "\\uninst.kvx\"" : "<missing>");
        EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, ProductHomeKey, "RootDir"),
                  c.installs ? home : "<missing>");
        if (c.breakage == LogDamaged) EXPECT_EQ(ReadFileText(home + "\\uninst.kvx"), DamagedLog) << "byte for byte";
        if (c.breakage == HomeIsALink) {
            EXPECT_FALSE(FileExists(ides + "\\readme.txt")) << "nothing is written through the link";
            EXPECT_FALSE(FileExists(ides + "\\license.txt"));
            EXPECT_FALSE(FileExists(ides + "\\Delphi7\\ovanlibd7.dpk"));
            ASSERT_TRUE(RemoveLink(home));
        }

        DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Quillmere");
        DeleteTree(HKEY_LOCAL_MACHINE, ListEntryKey);
        DeleteFileA((sys + "\\kvxpurge.exe").c_str());
        RemoveSimulatedIdeKeys();
        for (const SimulatedIde& ide : SimulatedIdes) DeleteFileA((sys + "\\" + ide.package + ide.packageExt).c_str());
    }
}

}  // namespace
