// The progress bar and control texts a script drives, and the ScriptWorker
// that runs the chosen targets' scripts.
#include "interpreter_fixture.h"

namespace {

// Progress and control texts ---------------------------------------------------

// What the worker reports, as a wizard would show it.
struct Shown {
    std::string stage, status;
    int position = 0;
    int ended = 0;
};
Shown Reported;

class Wizard : public Interpreter {
protected:
    void SetUp() override
    {
        Interpreter::SetUp();
        Reported = {};
        TheProgressSink = {[](ShownLine line, const char* text) { (line == StageLine ? Reported.stage : Reported.status) = text; },
                           [](int amount) { Reported.position += amount; }, [] { ++Reported.ended; }};
    }
    int Position() { return Reported.position; }
};

TEST_F(Wizard, EntriesMoveTheBarByTheirStep)
{
    const std::string key = key_;
    struct Case {
        ScriptEntry entry;
        int moved;
    };
    const Case cases[] = {
        {{"x", 0, 3, ScriptOp::ProgressOnly}, 3},
        {{"x", 0, 4, static_cast<ScriptOp>(4)}, 4},
        {{"x", 0, 6, static_cast<ScriptOp>(15)}, 6},
        {{"x", 0, 5, static_cast<ScriptOp>(17)}, 5},
        {{"x", 0, 2, static_cast<ScriptOp>(-1)}, 2},
        {{"x", 0, 1, static_cast<ScriptOp>(1000)}, 1},
        {{"Sub", 0, 1, ScriptOp::SetSubDir}, 1},
        {{key.c_str(), "Name", "data", ScriptOp::WriteMachineValue}, 0},
        {{key.c_str(), "Alt", "data", ScriptOp::WriteMachineValue}, 0},
    };
    for (const Case& c : cases) {
        const int before = Position();
        RunScript(Script({c.entry}).get());
        EXPECT_EQ(Position() - before, c.moved) << "code " << static_cast<int>(c.entry.op);
    }
    EXPECT_REGISTRY(HKEY_LOCAL_MACHINE, key_, "Name", Sz("data"));
    EXPECT_REGISTRY(HKEY_LOCAL_MACHINE, key_, "Alt", Sz("data"));

    // An entry that does not expand still moves the bar as it says.
    std::string longHome(259, 'h');
    SetVariable(HomeDir, longHome.c_str());
    const int before = Position();
    const std::size_t logged = LogLength();
    RunEntries({{"$HOME_DIR$$HOME_DIR$$HOME_DIR$$HOME_DIR$$HOME_DIR$$HOME_DIR$$HOME_DIR$$HOME_DIR$$HOME_DIR$", 502, 6,
                 ScriptOp::ExtractResource}});
    EXPECT_EQ(Position() - before, 6);
    EXPECT_EQ(LogLength(), logged);
}

TEST_F(Wizard, SetControlTextShowsTheExpandedText)
{
    SetVariable(SubDir, "Delphi7");
    RunEntries({
        {"$SUB_DIR$", StageLine, 0, ScriptOp::SetControlText},
        {"Files extracting ...", StatusLine, 0, ScriptOp::SetControlText},
    });
    EXPECT_EQ(Reported.stage, "Delphi7");
    EXPECT_EQ(Reported.status, "Files extracting ...");

    // A line that is neither (a control's number, say) shows nothing.
    RunEntries({{"Not shown", 105, 0, ScriptOp::SetControlText}, {"Not shown", 0, 0, ScriptOp::SetControlText}});
    EXPECT_EQ(Reported.stage, "Delphi7");
    EXPECT_EQ(Reported.status, "Files extracting ...");

    TheProgressSink = {nullptr, nullptr, nullptr};  // headless: nothing is shown, nothing breaks
    RunEntries({{"Compiling package ...", StatusLine, 7, ScriptOp::SetControlText}});
    EXPECT_EQ(Reported.status, "Files extracting ...");
    EXPECT_EQ(Position(), 0);
}

// ScriptWorker -----------------------------------------------------------------

DWORD WINAPI RunScriptsThread(LPVOID targets)
{
    RunChosenScripts(static_cast<const InstallTarget*>(targets));
    return 0;
}


class Worker : public Wizard {
protected:
    void SetUp() override
    {
        Wizard::SetUp();
        std::copy(TargetStates, TargetStates + TargetCount, saved_);
        std::copy(TargetTable, TargetTable + TargetCount + 1, rows_);
        oldRootDir_ = RegistryBytes(HKEY_LOCAL_MACHINE, ProductHomeKey, "RootDir");
    }
    void TearDown() override
    {
        std::copy(saved_, saved_ + TargetCount, TargetStates);
        if (oldRootDir_ == "<missing>") {
            HKEY key;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ProductHomeKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
                RegDeleteValueA(key, "RootDir");
                RegCloseKey(key);
            }
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, ProductHomeKey);
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Quillmere");
        } else {
            EXPECT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, ProductHomeKey, "RootDir", REG_SZ, oldRootDir_));
        }
        Wizard::TearDown();
    }
    TargetState saved_[TargetCount];
    // The catalogue's rows, with scripts of the test's own.
    InstallTarget rows_[TargetCount + 1];
    std::string oldRootDir_;
};

TEST_F(Worker, RunsTheChosenTargetsInOrderThenStoresTheHomeFolder)
{
    const int delphi7 = 4, builder6 = 8, shared = 9, demos = 10, help = 11;
    ASSERT_STREQ(TargetTable[delphi7].caption, " Files for Borland Delphi 7");
    ASSERT_STREQ(TargetTable[shared].caption, " Shared Files");

    std::string root7 = Path("Borland Delphi Seven");
    ASSERT_TRUE(CreateDirectoryA(root7.c_str(), nullptr));
    char rootFolder7[PathSize] = {};
    char rootFolder6[PathSize] = {};
    CopyText(rootFolder7, sizeof rootFolder7, root7.c_str());
    CopyText(rootFolder6, sizeof rootFolder6, Path("CBuilder6").c_str());
    const std::string seen = key_;
    const Script environmentScript({
        {"Delphi7", 0, 10, ScriptOp::SetSubDir},
        {"$SUB_DIR$", StageLine, 0, ScriptOp::SetControlText},
        {"$HOME_DIR$\\$SUB_DIR$", 0, 5, ScriptOp::CreateFolders},
        {"$HOME_DIR$\\$SUB_DIR$\\ovanlibd7.txt", 502, 5, ScriptOp::ExtractResource},
        {seen.c_str(), "environment", "$DELPHI_DIR$|$DELPHI_REG$|$DELPHI_DIR_SHORT$", ScriptOp::WriteMachineValue},
    });
    const Script sharedScript({
        {"$HOME_DIR$\\readme.txt", 502, 1, ScriptOp::ExtractResource},
        {seen.c_str(), "shared", "$DELPHI_DIR$|$DELPHI_REG$|$DELPHI_DIR_SHORT$", ScriptOp::WriteMachineValue},
    });
    const Script mustNotRun({{seen.c_str(), "unticked", "ran", ScriptOp::WriteMachineValue}});

    for (int i = 0; i < TargetCount; ++i) {
        TargetStates[i].checkState = NotFound;
        rows_[i].script = mustNotRun.get();
    }
    TargetStates[delphi7].checkState = Install;
    TargetStates[delphi7].rootFolder = rootFolder7;
    rows_[delphi7].script = environmentScript.get();
    TargetStates[builder6].checkState = Unticked;
    TargetStates[builder6].rootFolder = rootFolder6;
    TargetStates[shared].checkState = Install;
    rows_[shared].script = sharedScript.get();
    TargetStates[demos].checkState = Unticked;
    TargetStates[help].checkState = Unticked;

    SetVariable(HomeDir, Path("Home").c_str());
    ASSERT_TRUE(CreateDirectoryA(Path("Home").c_str(), nullptr));
    AppendRecord(ProductText, ProductDescription);
    // The vendor's key is named for removal only when this run makes it.
    HKEY vendor = nullptr;
    const bool vendorKeyThere =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quillmere", 0, KEY_READ, &vendor) == ERROR_SUCCESS;
    if (vendor) RegCloseKey(vendor);

    // On a thread of its own, as in the installer.
    HANDLE thread = CreateThread(nullptr, 0, RunScriptsThread, rows_, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, Scaled(10000)), WAIT_OBJECT_0) << "the worker did not end";
    CloseHandle(thread);

    // The folders it made, the key it wrote to, once.
    Records expected = {
        {ProductText, ProductDescription},
        {CreatedFolder, Path("Home")},
        {TargetCaption, " Files for Borland Delphi 7"},
        {CreatedFolder, Path("Home\\Delphi7")},
        {InstalledFile, Path("Home\\Delphi7\\ovanlibd7.txt")},
        {MachineKeyDelete, key_},
        {TargetCaption, " Shared Files"},
        {InstalledFile, Path("Home\\readme.txt")},
        {LogonComponent, LogonComponentKey},
    };
    if (!vendorKeyThere) expected.push_back({MachineKeyDelete, "Software\\Quillmere"});
    expected.push_back({MachineKeyDelete, ProductHomeKey});
    EXPECT_LOG(InterpreterLog(), expected);
    EXPECT_EQ(ReadFileText(Path("Home\\Delphi7\\ovanlibd7.txt")), "Ostrevane payload\r\nsecond line\r\n");

    const std::string environment = RegistryBytes(HKEY_LOCAL_MACHINE, key_, "environment");
    const std::string prefix = root7 + "|Software\\Borland\\Delphi\\7.0|";
    ASSERT_EQ(environment.compare(0, prefix.size(), prefix), 0) << environment;
    const std::string shortForm = environment.substr(prefix.size(), environment.size() - prefix.size() - 1);
    EXPECT_EQ(shortForm.find(' '), std::string::npos) << shortForm;
    char longForm[MAX_PATH] = {};
    GetLongPathNameA(shortForm.c_str(), longForm, MAX_PATH);
    EXPECT_STREQ(longForm, root7.c_str()) << shortForm;
    EXPECT_EQ(RegistryBytes(HKEY_LOCAL_MACHINE, key_, "shared"), environment) << "rows without an environment keep them";
    EXPECT_EQ(RegistryBytes(HKEY_LOCAL_MACHINE, key_, "unticked"), "<missing>");

    EXPECT_REGISTRY(HKEY_LOCAL_MACHINE, ProductHomeKey, "RootDir", Sz(Path("Home")));
    EXPECT_EQ(Position(), 21);
    EXPECT_EQ(Reported.stage, "Delphi7");
}

TEST_F(Worker, AGoneEnvironmentFolderStandsForItsOwnShortForm)
{
    const int delphi5 = 2;
    for (int i = 0; i < TargetCount; ++i) TargetStates[i].checkState = Unticked;
    char rootFolder[PathSize] = {};
    CopyText(rootFolder, sizeof rootFolder, Path("No Such Delphi").c_str());
    const std::string seen = key_;
    const Script script({{seen.c_str(), "short", "$DELPHI_DIR_SHORT$", ScriptOp::WriteMachineValue}});
    TargetStates[delphi5].checkState = Install;
    TargetStates[delphi5].rootFolder = rootFolder;
    rows_[delphi5].script = script.get();
    SetVariable(DelphiDirShort, "C:\\PREVIO~1");
    SetVariable(HomeDir, "C:\\Ostrevane");
    RunChosenScripts(rows_);
    EXPECT_REGISTRY(HKEY_LOCAL_MACHINE, key_, "short", Sz(Path("No Such Delphi")));
    EXPECT_REGISTRY(HKEY_LOCAL_MACHINE, ProductHomeKey, "RootDir", Sz("C:\\Ostrevane"));
}

// Each row's failures land in its own slot; a refused "RootDir" in none.
TEST_F(Worker, NotesEachRowsFailuresAndARefusedHomeFolderValue)
{
    const int delphi7 = 4, shared = 9;
    for (int i = 0; i < TargetCount; ++i) TargetStates[i].checkState = Unticked;
    const char letter = UnmappedDrive();
    ASSERT_NE(letter, 0);
    const std::string missing = std::string(1, letter) + ":\\Ostrevane\\Delphi7";
    const Script failing({{missing.c_str(), 0, 0, ScriptOp::CreateFolders}});
    const Script fine({{"$HOME_DIR$", 0, 0, ScriptOp::CreateFolders}});
    char rootFolder[PathSize] = {};
    CopyText(rootFolder, sizeof rootFolder, folder_.c_str());
    TargetStates[delphi7].checkState = Install;
    TargetStates[delphi7].rootFolder = rootFolder;
    rows_[delphi7].script = failing.get();
    TargetStates[shared].checkState = Install;
    rows_[shared].script = fine.get();
    SetVariable(HomeDir, folder_.c_str());
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Quillmere");
    EXPECT_TRUE(CreateVolatileKey(HKEY_LOCAL_MACHINE, "Software", "Quillmere"));

    RunChosenScripts(rows_);
    EXPECT_EQ(RegistryBytes(HKEY_LOCAL_MACHINE, ProductHomeKey, "RootDir"), "<missing>");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Quillmere");
    for (int row = 0; row < TargetCount; ++row)
        EXPECT_EQ(TheFailures.first[row], row == delphi7 ? Failure::FolderNotCreated : Failure::None) << row;
    EXPECT_EQ(TheFailures.overall, HomeFolderNotStored);
    EXPECT_EQ(TheFailures.current, NoFailureTarget);
}

}  // namespace
