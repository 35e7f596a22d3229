// The tools the scripts run, and the failures the finish page lists.
#include "interpreter_fixture.h"

namespace {

class Tools : public Interpreter {
protected:
    void SetUp() override
    {
        Interpreter::SetUp();
        bin_ = Path("Delphi 7\\Bin");
        work_ = Path("Home\\Delphi7");
        ASSERT_TRUE(CreateDirectoryA(Path("Delphi 7").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA(bin_.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA(Path("Home").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA(work_.c_str(), nullptr));
        const std::string standin = ProgramFolder() + "\\standin.exe";
        for (const char* tool : {"dcc32.exe", "make.exe", "bpr2mak.exe"})
            ASSERT_TRUE(CopyFileA(standin.c_str(), (bin_ + "\\" + tool).c_str(), FALSE)) << standin;
        SetVariable(DelphiDir, Path("Delphi 7").c_str());
        SetVariable(HomeDir, Path("Home").c_str());
        SetVariable(SubDir, "Delphi7");
    }
    std::string Current()
    {
        char current[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, current);
        return current;
    }
    std::string bin_, work_;
};

TEST_F(Tools, RunToolRunsTheCommandInTheWorkingFolderAndWaits)
{
    SetVariable(SubFile, "ovanlibd7");
    RunEntries({
        {"\"$DELPHI_DIR$\\Bin\\dcc32.exe\" \"$SUB_FILE$.dpk\"", "$HOME_DIR$\\$SUB_DIR$", 0, ScriptOp::RunTool},
        {"$HOME_DIR$\\$SUB_DIR$\\$SUB_FILE$.bpl", "$HOME_DIR$\\copied.bpl", 0, ScriptOp::CopyFileTo},
    });
    const std::string dcc32 = bin_ + "\\dcc32.exe";
    EXPECT_EQ(ReadFileText(bin_ + "\\calls.log"), "dcc32|\"" + dcc32 + "\" \"ovanlibd7.dpk\"|" + work_ + "\r\n");
    EXPECT_EQ(ReadFileText(work_ + "\\ovanlibd7.bpl"), "dcc32 built ovanlibd7.bpl from ovanlibd7.dpk\r\n")
        << "the tool had ended before the next entry";
    EXPECT_EQ(ReadFileText(Path("Home\\copied.bpl")), "dcc32 built ovanlibd7.bpl from ovanlibd7.dpk\r\n");
    EXPECT_EQ(Current(), work_) << "the working folder stays current";
}

TEST_F(Tools, StandInsBuildLikeTheEnvironmentsTools)
{
    WRITE_ALL(bin_ + "\\standin.cfg", "# Delphi 3\r\next=.dpl\r\n");
    SetVariable(SubFile, "ovanlibc6");
    RunEntries({
        {"\"$DELPHI_DIR$\\Bin\\dcc32.exe\" \"ovanlibd3.dpk\"", "$HOME_DIR$\\$SUB_DIR$", 0, ScriptOp::RunTool},
        {"\"$DELPHI_DIR$\\Bin\\bpr2mak.exe\" -o$SUB_FILE$.mak $SUB_FILE$.bpk", "$HOME_DIR$\\$SUB_DIR$", 0,
         ScriptOp::RunTool},
        {"\"$DELPHI_DIR$\\Bin\\make.exe\" /f$SUB_FILE$.mak\"", "$HOME_DIR$\\$SUB_DIR$", 0, ScriptOp::RunTool},
        {"\"$DELPHI_DIR$\\Bin\\make.exe\" /fovanlibc4.bpk", "$HOME_DIR$", 0, ScriptOp::RunTool},
    });
    EXPECT_EQ(ReadFileText(work_ + "\\ovanlibd3.dpl"), "dcc32 built ovanlibd3.dpl from ovanlibd3.dpk\r\n");
    EXPECT_EQ(ReadFileText(work_ + "\\ovanlibc6.mak"), "bpr2mak built ovanlibc6.mak from ovanlibc6.bpk\r\n");
    EXPECT_EQ(ReadFileText(work_ + "\\ovanlibc6.bpl"), "make built ovanlibc6.bpl from ovanlibc6.mak\r\n");
    EXPECT_EQ(ReadFileText(Path("Home\\ovanlibc4.bpl")), "make built ovanlibc4.bpl from ovanlibc4.bpk\r\n");
    // Beside the package what the real tools write there too.
    const struct {
        std::string path;
        const char* text;
    } byProducts[] = {
        {work_ + "\\ovanlibd3.dcp", "dcc32 built ovanlibd3.dcp from ovanlibd3.dpk\r\n"},
        {work_ + "\\ovanlibc6.bpi", "make built ovanlibc6.bpi from ovanlibc6.mak\r\n"},
        {work_ + "\\ovanlibc6.lib", "make built ovanlibc6.lib from ovanlibc6.mak\r\n"},
        {work_ + "\\ovanlibc6.obj", "make built ovanlibc6.obj from ovanlibc6.mak\r\n"},
        {work_ + "\\ovanlibc6.tds", "make built ovanlibc6.tds from ovanlibc6.mak\r\n"},
        {Path("Home\\ovanlibc4.tds"), "make built ovanlibc4.tds from ovanlibc4.bpk\r\n"},
    };
    for (const auto& file : byProducts) EXPECT_EQ(ReadFileText(file.path), file.text) << file.path;
    const std::string expected =
        "dcc32|\"" + bin_ + "\\dcc32.exe\" \"ovanlibd3.dpk\"|" + work_ + "\r\n" +
        "bpr2mak|\"" + bin_ + "\\bpr2mak.exe\" -oovanlibc6.mak ovanlibc6.bpk|" + work_ + "\r\n" +
        "make|\"" + bin_ + "\\make.exe\" /fovanlibc6.mak\"|" + work_ + "\r\n" +
        "make|\"" + bin_ + "\\make.exe\" /fovanlibc4.bpk|" + Path("Home") + "\r\n";
    EXPECT_EQ(ReadFileText(bin_ + "\\calls.log"), expected);
}

TEST_F(Tools, RunToolPassesOverWhatCannotRun)
{
    std::string tooLongFolder;  // over the 4096 of ArgumentBuffer
    while (tooLongFolder.size() / 10 * TextLength(VariableValue(HomeDir)) < 5000) tooLongFolder += "$HOME_DIR$";
    SetCurrentDirectoryA(folder_.c_str());
    RunEntries({
        {"\"$DELPHI_DIR$\\Bin\\nosuchtool.exe\" x", "$HOME_DIR$\\$SUB_DIR$", 0, ScriptOp::RunTool},
        {"Next", 0, 0, ScriptOp::SetSubDir},
    });
    EXPECT_STREQ(VariableValue(SubDir), "Next");
    EXPECT_EQ(Current(), work_) << "the folder is set before the start is tried";

    SetCurrentDirectoryA(folder_.c_str());
    RunEntries({{"\"$DELPHI_DIR$\\Bin\\dcc32.exe\" \"a.dpk\"", tooLongFolder.c_str(), 0, ScriptOp::RunTool}});
    EXPECT_FALSE(FileExists(bin_ + "\\calls.log")) << "never run in a folder it was not meant for";
    EXPECT_FALSE(FileExists(Path("a.bpl")));
}

// Failures ---------------------------------------------------------------------

// Each step that fails is noted as its target's first failure; one that
// succeeds, or fails by design (a missing resource, a missing or empty help
// file), notes nothing.
TEST_F(Tools, AFailingStepIsNotedForItsTarget)
{
    const char letter = UnmappedDrive();
    ASSERT_NE(letter, 0);
    const std::string missingDrive = std::string(1, letter) + ":\\Ostrevane";
    SetVariable(HomeDir, folder_.c_str());
    SetVariable(DelphiReg, (key_ + "\\Refused").c_str());
    EXPECT_TRUE(CreateVolatileKey(HKEY_CURRENT_USER, key_, "Refused"));
    EXPECT_TRUE(CreateVolatileKey(HKEY_LOCAL_MACHINE, key_, "Refused"));
    const std::string refusedMachineKey = key_ + "\\Refused\\Uninstall";
    WRITE_ALL(Path("package.bpl"), "package");
    WRITE_ALL(Path("empty.cfg"), "");
    WRITE_ALL(Path("held.cfg"), ":Link other.hlp\r\n");
    const std::string goodTool = "\"" + bin_ + "\\make.exe\" /fx.bpk";
    const std::string failingTool = "\"" + bin_ + "\\dcc32.exe\" x.dpk";
    WRITE_ALL(bin_ + "\\standin.cfg", "fail=dcc32\r\n");
    // Unquoted, the blank in "Delphi 7" ends the program's name: never
    // "...\\Delphi.exe", never a longer name tried after it.
    const std::string unquotedTool = bin_ + "\\make.exe /fx.bpk", unclosedTool = "\"" + bin_ + "\\make.exe /fx.bpk";
    ASSERT_TRUE(CopyFileA((bin_ + "\\make.exe").c_str(), Path("Delphi.exe").c_str(), FALSE));

    struct Case {
        const char* label;
        ScriptEntry entry;
        Failure noted;
    };
    const Case cases[] = {
        {"folder on a missing drive", {missingDrive.c_str(), 0, 0, ScriptOp::CreateFolders}, Failure::FolderNotCreated},
        {"folder there already", {"$HOME_DIR$\\", 0, 0, ScriptOp::CreateFolders}, Failure::None},
        {"file in a missing folder", {"$HOME_DIR$\\none\\x.txt", 502, 0, ScriptOp::ExtractResource}, Failure::FileNotWritten},
        {"missing resource", {"$HOME_DIR$\\wm_user.inc", 599, 0, ScriptOp::ExtractResource}, Failure::None},
        {"no such tool", {"\"$HOME_DIR$\\nosuchtool.exe\"", "$HOME_DIR$", 0, ScriptOp::RunTool}, Failure::ToolNotStarted},
        {"tool in a missing folder", {goodTool.c_str(), "$HOME_DIR$\\none", 0, ScriptOp::RunTool}, Failure::ToolNotStarted},
        {"tool ends with 0", {goodTool.c_str(), "$HOME_DIR$", 0, ScriptOp::RunTool}, Failure::None},
        {"tool ends with 1", {failingTool.c_str(), "$HOME_DIR$", 0, ScriptOp::RunTool}, Failure::ToolFailed},
        {"unquoted tool path with a blank", {unquotedTool.c_str(), "$HOME_DIR$", 0, ScriptOp::RunTool}, Failure::ToolNotStarted},
        {"tool path without its closing quote", {unclosedTool.c_str(), "$HOME_DIR$", 0, ScriptOp::RunTool}, Failure::ToolNotStarted},
        {"copy of a missing package", {"$HOME_DIR$\\absent.bpl", "$HOME_DIR$\\c.bpl", 0, ScriptOp::CopyFileTo}, Failure::PackageNotBuilt},
        {"copy into a missing folder", {"$HOME_DIR$\\package.bpl", "$HOME_DIR$\\none\\c.bpl", 0, ScriptOp::CopyFileTo}, Failure::PackageNotCopied},
        {"purge for a missing package", {"$HOME_DIR$\\absent.bpl", 0, 0, ScriptOp::PurgePackageEntries}, Failure::PackageNotBuilt},
        {"register a missing package", {"$HOME_DIR$\\absent.bpl", "x", 0, ScriptOp::RegisterPackage}, Failure::PackageNotBuilt},
        {"register refused", {"$HOME_DIR$\\package.bpl", "x", 0, ScriptOp::RegisterPackage}, Failure::PackageNotRegistered},
        {"search path refused", {";$HOME_DIR$", "Search Path", 0, ScriptOp::ExtendSearchPath}, Failure::SearchPathNotExtended},
        {"machine value refused", {refusedMachineKey.c_str(), "DisplayName", "x", ScriptOp::WriteMachineValue}, Failure::RegistryNotWritten},
        {"help file held open", {"$HOME_DIR$\\held.cfg", ":Link ostrevane.hlp", 0, ScriptOp::AppendOnce}, Failure::HelpIndexNotUpdated},
        {"help file missing", {"$HOME_DIR$\\absent.cfg", ":Link ostrevane.hlp", 0, ScriptOp::AppendOnce}, Failure::None},
        {"help file empty", {"$HOME_DIR$\\empty.cfg", ":Link ostrevane.hlp", 0, ScriptOp::AppendOnce}, Failure::None},
    };
    // Held without sharing, as an environment that is running holds it.
    HANDLE held = CreateFileA(Path("held.cfg").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    for (const Case& c : cases) {
        ClearFailures();
        SetFailureTarget(7);
        RunScript(Script({c.entry}).get());
        for (int row = 0; row < TargetCount; ++row)
            EXPECT_EQ(TheFailures.first[row], row == 7 ? c.noted : Failure::None) << c.label << ", row " << row;
        EXPECT_EQ(TheFailures.overall, 0) << c.label;
    }
    CloseHandle(held);
    EXPECT_EQ(ReadFileText(Path("held.cfg")), ":Link other.hlp\r\n");
    EXPECT_EQ(ValueNames(HKEY_LOCAL_MACHINE, key_ + "\\Refused"), std::vector<std::string>{});
}

// The finish page's list of failures (IDC_SECOND_TEXT), where its lines run out.
TEST(FailureList, AsManyLinesAsFitThenHowManyMore)
{
    ClearFailures();
    TheFailures.first[4] = Failure::ToolFailed;
    TheFailures.first[9] = Failure::FileNotWritten;
    char out[FailureListSize + 1];
    const std::pair<int, const char*> cases[] = {
        {3, "Delphi 7: build failed\rShared files: file not written"},
        {2, "Delphi 7: build failed\rShared files: file not written"},
        {1, "and 2 more"},
        {0, "and 2 more"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(ComposeFailureList(c.first, out, sizeof out)) << c.first;
        EXPECT_STREQ(out, c.second);
    }
    // Every line there can be fits; a buffer too small gets the empty text.
    for (Failure& failure : TheFailures.first) failure = Failure::SearchPathNotExtended;
    TheFailures.overall = InstallNotRun | HomeFolderNotCreated | HomeFolderNotStored | LogNotWritten;
    std::memset(out, 0xEE, sizeof out);
    ASSERT_TRUE(ComposeFailureList(20, out, FailureListSize));
    EXPECT_EQ(std::count(out, out + std::strlen(out), '\r'), 15);
    EXPECT_EQ(std::string(out).rfind("Installation did not run\rDestination folder not created\r", 0), 0u) << out;
    EXPECT_EQ(static_cast<unsigned char>(out[FailureListSize]), 0xEE);
    EXPECT_FALSE(ComposeFailureList(5, out, 40));
    EXPECT_STREQ(out, "");
    ClearFailures();
    EXPECT_FALSE(AnyFailure());
}

}  // namespace
