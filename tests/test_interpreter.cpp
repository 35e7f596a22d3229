// The install script interpreter's operations against the real registry and
// file system of the test prefix, and the routines under them.
#include "interpreter_fixture.h"

namespace {

TEST_F(Interpreter, ExtractResourceWritesThePayloadAndLogsEveryPath)
{
    std::string allBytes;
    for (int i = 0; i < 256; ++i) allBytes += static_cast<char>(i);
    SetVariable(HomeDir, folder_.c_str());
    RunEntries({
        {"$HOME_DIR$\\bytes.bin", 501, 0, ScriptOp::ExtractResource},
        {"$HOME_DIR$\\text.txt", 502, 0, ScriptOp::ExtractResource},
        {"$HOME_DIR$\\missing.dcu", 599, 0, ScriptOp::ExtractResource},  // no such resource
        {"$HOME_DIR$\\nofolder\\x.txt", 502, 0, ScriptOp::ExtractResource},
    });
    EXPECT_EQ(ReadFileText(Path("bytes.bin")), allBytes);
    EXPECT_EQ(ReadFileText(Path("text.txt")), "Ostrevane payload\r\nsecond line\r\n");
    EXPECT_EQ(ReadFileText(Path("missing.dcu")), "") << "a missing resource leaves an existing, empty file";
    EXPECT_FALSE(FileExists(Path("nofolder")));
    const Records expected = {{InstalledFile, Path("bytes.bin")},
                              {InstalledFile, Path("text.txt")},
                              {InstalledFile, Path("missing.dcu")},
                              {InstalledFile, Path("nofolder\\x.txt")}};
    EXPECT_LOG(InterpreterLog(), expected);
}

TEST_F(Interpreter, ExtractResourceReplacesAnExistingFile)
{
    WRITE_ALL(Path("text.txt"), std::string(1000, 'x'));
    SetVariable(HomeDir, folder_.c_str());
    RunEntries({{"$HOME_DIR$\\text.txt", 502, 0, ScriptOp::ExtractResource}});
    EXPECT_EQ(ReadFileText(Path("text.txt")), "Ostrevane payload\r\nsecond line\r\n");
}

// An entry whose expansion does not fit acts on nothing: no file, no record,
// no folder, no value; the bar still moves and the next entry runs.
TEST_F(Interpreter, EntryThatDoesNotExpandDoesNothing)
{
    std::string longHome = folder_ + "\\" + std::string(250 - folder_.size(), 'h');
    ASSERT_TRUE(SetVariable(HomeDir, longHome.c_str()));
    std::string tooLong;  // ten times 250 characters, over the 2080 of TemplateBuffer
    for (int i = 0; i < 10; ++i) tooLong += "$HOME_DIR$";
    std::string tooLongArgument;  // over the 4096 of ArgumentBuffer
    for (int i = 0; i < 17; ++i) tooLongArgument += "$HOME_DIR$";
    const std::string ok = Path("ok.txt");
    RunEntries({
        {tooLong.c_str(), 502, 0, ScriptOp::ExtractResource},
        {tooLong.c_str(), 0, 0, ScriptOp::CreateFolders},
        {tooLong.c_str(), 0, 0, ScriptOp::SetSubDir},
        {key_.c_str(), tooLongArgument.c_str(), "data", ScriptOp::WriteMachineValue},
        {key_.c_str(), "name", tooLongArgument.c_str(), ScriptOp::WriteMachineValue},
        {ok.c_str(), 502, 0, ScriptOp::ExtractResource},
    });
    // ok.txt lies outside the home folder: a product file, as the uninstaller is.
    SCOPED_TRACE("no record for the entry that did not expand");
    EXPECT_LOG(InterpreterLog(), (Records{{ProductFile, ok}}));
    EXPECT_FALSE(FolderExists(longHome));
    EXPECT_EQ(ValueNames(HKEY_LOCAL_MACHINE, key_), std::vector<std::string>{});
    EXPECT_EQ(ReadFileText(ok), "Ostrevane payload\r\nsecond line\r\n");
}

// CreateFolders --------------------------------------------------------------

TEST_F(Interpreter, CreateFolderPathCreatesTheMissingPartOfTheChain)
{
    ASSERT_TRUE(CreateDirectoryA(Path("A").c_str(), nullptr));
    WRITE_ALL(Path("A\\keep.txt"), "kept");
    SetVariable(HomeDir, folder_.c_str());
    RunEntries({
        {"$HOME_DIR$\\A\\B\\C", 0, 0, ScriptOp::CreateFolders},
        {"$HOME_DIR$/S1/S2\\", 0, 0, ScriptOp::CreateFolders},  // slashes, trailing separator
    });
    EXPECT_TRUE(FolderExists(Path("A\\B")));
    EXPECT_TRUE(FolderExists(Path("A\\B\\C")));
    EXPECT_EQ(ReadFileText(Path("A\\keep.txt")), "kept");
    EXPECT_TRUE(FolderExists(Path("S1\\S2")));

    char path[] = "\\ostrevane_leading_separator";
    EXPECT_FALSE(CreateFolderPath(path));
    EXPECT_STREQ(path, "\\ostrevane_leading_separator") << "the text is restored";
}

TEST_F(Interpreter, CreateFolderPathStopsAtTheFirstFailure)
{
    const char letter = UnmappedDrive();
    ASSERT_NE(letter, 0) << "no unmapped drive letter";
    std::string missingDrive = std::string(1, letter) + ":\\X\\Y";
    std::vector<char> path(missingDrive.begin(), missingDrive.end());
    path.push_back('\0');
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CreateFolderPath(path.data()));
    EXPECT_EQ(std::string(path.data()), missingDrive);
    EXPECT_FALSE(FolderExists(missingDrive));

    // A file in the way: the chain stops there and nothing beyond is made.
    WRITE_ALL(Path("file"), "x");
    std::string blocked = Path("file\\sub\\deeper");
    std::vector<char> blockedPath(blocked.begin(), blocked.end());
    blockedPath.push_back('\0');
    EXPECT_FALSE(CreateFolderPath(blockedPath.data()));
    EXPECT_EQ(ReadFileText(Path("file")), "x");
    EXPECT_FALSE(FolderExists(Path("file\\sub")));

    // A name that cannot be made ends the walk, even where a later prefix
    // would name a folder that could be.
    std::string invalid = Path("bad?name\\..\\after");
    std::vector<char> invalidPath(invalid.begin(), invalid.end());
    invalidPath.push_back('\0');
    CreateFolderPath(invalidPath.data());
    EXPECT_FALSE(FolderExists(Path("after")));
}

// CopyFileTo, RemoveFile, SetSubDir, SetSubFile --------------------------------

TEST_F(Interpreter, CopyRemoveAndTheSubVariables)
{
    WRITE_ALL(Path("source.bpl"), "package bytes");
    WRITE_ALL(Path("target.bpl"), "older and longer package bytes");
    WRITE_ALL(Path("gone.txt"), "x");
    SetVariable(HomeDir, folder_.c_str());
    RunEntries({
        {"Pkg", 0, 0, ScriptOp::SetSubDir},
        {"ovanlibd7", 0, 0, ScriptOp::SetSubFile},
        {"$HOME_DIR$\\source.bpl", "$HOME_DIR$\\target.bpl", 0, ScriptOp::CopyFileTo},
        {"$HOME_DIR$\\source.bpl", "$HOME_DIR$\\$SUB_FILE$.bpl", 0, ScriptOp::CopyFileTo},
        {"$HOME_DIR$\\absent.bpl", "$HOME_DIR$\\absent_copy.bpl", 0, ScriptOp::CopyFileTo},
        {"$HOME_DIR$\\gone.txt", 0, 0, ScriptOp::RemoveFile},
        {"$HOME_DIR$\\never_there.txt", 0, 0, ScriptOp::RemoveFile},
    });
    EXPECT_STREQ(VariableValue(SubDir), "Pkg");
    EXPECT_STREQ(VariableValue(SubFile), "ovanlibd7");
    EXPECT_EQ(ReadFileText(Path("target.bpl")), "package bytes");
    EXPECT_EQ(ReadFileText(Path("ovanlibd7.bpl")), "package bytes");
    EXPECT_FALSE(FileExists(Path("absent_copy.bpl")));
    EXPECT_FALSE(FileExists(Path("gone.txt")));
    EXPECT_EQ(ReadFileText(Path("source.bpl")), "package bytes");
}

// AppendOnce -----------------------------------------------------------------

TEST_F(Interpreter, AppendOnceAddsTheTextOnlyWhenAbsent)
{
    struct Case {
        const char* file;
        const char* before;  // nullptr: no such file
        const char* text;
        const char* after;   // after two runs of the entry
    };
    const Case cases[] = {
        {"lacks.cfg", ":Index Delphi=delphi.hlp\r\n", ":Link ostrevane.hlp\r\n",
         ":Index Delphi=delphi.hlp\r\n:Link ostrevane.hlp\r\n"},
        {"case.cfg", "x\r\n:LINK OSTREVANE.HLP\r\n", ":Link ostrevane.hlp\r\n", "x\r\n:LINK OSTREVANE.HLP\r\n"},
        {"empty.cfg", "", ":Link ostrevane.hlp\r\n", ""},
        {"no_newline.cfg", "last line", "\r\n:Link x.hlp", "last line\r\n:Link x.hlp"},
        {"missing.cfg", nullptr, ":Link ostrevane.hlp\r\n", nullptr},
    };
    // The file's index on its volume: a file replaced whole is another file.
    const auto indexOf = [](const std::string& file) {
        HANDLE handle = CreateFileA(file.c_str(), 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        BY_HANDLE_FILE_INFORMATION information = {};
        GetFileInformationByHandle(handle, &information);
        CloseHandle(handle);
        return (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    };
    for (const Case& c : cases) {
        const std::string file = Path(c.file);
        if (c.before) WRITE_ALL(file, c.before);
        // What a crash between writing and swapping leaves beside it.
        WRITE_ALL(file + ".ostrevane~", "half");
        const unsigned long long before = indexOf(file);
        const Script script({{file.c_str(), c.text, 0, ScriptOp::AppendOnce}});
        RunScript(script.get());
        RunScript(script.get());
        const bool changed = c.after && std::string(c.after) != c.before;
        if (c.after) {
            EXPECT_EQ(ReadFileText(file), c.after) << c.file;
            EXPECT_EQ(indexOf(file) != before, changed) << c.file << ": replaced whole, or left as it was";
        } else {
            EXPECT_FALSE(FileExists(file)) << c.file;
        }
        if (changed) EXPECT_FALSE(FileExists(file + ".ostrevane~")) << c.file;
    }
}

// Registry routines ----------------------------------------------------------

TEST_F(Interpreter, ReadRegistryTextAlwaysLeavesATerminatedText)
{
    struct Case {
        const char* name;    // nullptr: the value does not exist
        DWORD type;
        std::string data;
        DWORD bufferSize;
        DWORD count;
        const char* text;
    };
    const Case cases[] = {
        {"sz", REG_SZ, Sz("abc"), 8, 4, "abc"},
        {"sz_fills", REG_SZ, Sz("abcdefg"), 8, 8, "abcdefg"},
        {"sz_over", REG_SZ, Sz("abcdefgh"), 8, 0, ""},
        {"binary_unterminated", REG_BINARY, "abcd", 8, 5, "abcd"},
        {"binary_fills_unterminated", REG_BINARY, "abcdefgh", 8, 0, ""},  // refused, no cut text
        {"binary_empty", REG_BINARY, "", 8, 1, ""},
        {"dword", REG_DWORD, std::string("AB\0\0", 4), 8, 4, "AB"},
        {nullptr, REG_SZ, "", 8, 0, ""},
    };
    for (const Case& c : cases) {
        if (c.name) ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, key_, c.name, c.type, c.data));
        char buffer[16];
        std::memset(buffer, 0xEE, sizeof buffer);
        const DWORD count = ReadRegistryText(HKEY_CURRENT_USER, key_.c_str(), c.name ? c.name : "absent", buffer, c.bufferSize);
        const char* label = c.name ? c.name : "absent";
        EXPECT_EQ(count, c.count) << label;
        EXPECT_STREQ(buffer, c.text) << label;
        EXPECT_EQ(static_cast<unsigned char>(buffer[c.bufferSize]), 0xEE) << label << ": written past the buffer";
    }
    char buffer[8] = "junk";
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, (key_ + "\\NoSuchKey").c_str(), "sz", buffer, sizeof buffer), 0u);
    EXPECT_STREQ(buffer, "");
}

TEST_F(Interpreter, WriteRegistryTextCreatesTheKeyAndWritesSz)
{
    const std::string deep = key_ + "\\One\\Two";
    WriteRegistryText(HKEY_CURRENT_USER, deep.c_str(), "Name", "C:\\Ostrevane");
    WriteRegistryText(HKEY_CURRENT_USER, deep.c_str(), "", "default");
    DWORD type = 0;
    EXPECT_EQ(RegistryBytes(HKEY_CURRENT_USER, deep, "Name", &type), Sz("C:\\Ostrevane"));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_REGISTRY(HKEY_CURRENT_USER, deep, "", Sz("default"));
    WriteRegistryText(HKEY_CURRENT_USER, deep.c_str(), "Name", "");
    EXPECT_REGISTRY(HKEY_CURRENT_USER, deep, "Name", Sz(""));
}

TEST_F(Interpreter, DeletePackageEntriesDeletesEveryMatchInOnePass)
{
    const char* names[] = {"a_keep", "b_ovanlib.bpl", "c_OVANLIB.BPL", "d_keep", "e_x\\ovanlib.dpl", "f_ovanli"};
    for (const char* name : names) ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, key_, name, REG_SZ, Sz("x")));

    // The empty package names nothing; the earlier versions' entries still go.
    DeletePackageEntries(HKEY_CURRENT_USER, key_.c_str(), "", nullptr);
    EXPECT_EQ(ValueNames(HKEY_CURRENT_USER, key_), (std::vector<std::string>{"a_keep", "d_keep", "f_ovanli"}));

    // The entry kept is the one named whole, letters folded.
    DeletePackageEntries(HKEY_CURRENT_USER, key_.c_str(), "KEEP", "D_Keep");
    EXPECT_EQ(ValueNames(HKEY_CURRENT_USER, key_), (std::vector<std::string>{"d_keep", "f_ovanli"}));

    DeletePackageEntries(HKEY_CURRENT_USER, (key_ + "\\NoSuchKey").c_str(), "keep", nullptr);
    EXPECT_EQ(ValueNames(HKEY_CURRENT_USER, key_).size(), 2u);
}

// Registry operations --------------------------------------------------------

TEST_F(Interpreter, RegistryOperationsWriteTheirValues)
{
    const std::string environment = key_ + "\\Delphi\\7.0";
    SetVariable(DelphiReg, environment.c_str());
    SetVariable(HomeDir, "C:\\Ostrevane");
    SetVariable(SubDir, "Delphi7");
    SetVariable(SubFile, "ovanlibd7");
    SetVariable(SysDir, folder_.c_str());
    WRITE_ALL(Path("ovanlibd7.bpl"), "package");  // only a package that is there is registered
    const std::string helpKey = WindowsHelpKey;
    const std::string uninstallKey = key_ + "\\Uninstall\\Ostrevane";
    RunEntries({
        {"$SYS_DIR$\\$SUB_FILE$.bpl", "Ostrevane $SUB_FILE$ package", 0, ScriptOp::RegisterPackage},
        {"$HOME_DIR$\\Help", "ostrevanetest_$SUB_FILE$.hlp", 0, ScriptOp::RegisterHelp},
        {uninstallKey.c_str(), "UninstallString", "kvxpurge.exe $HOME_DIR$\\uninst.kvx", ScriptOp::WriteMachineValue},
        {uninstallKey.c_str(), "DisplayName", "Ostrevane ($SUB_DIR$)", ScriptOp::WriteMachineValue},
    });
    EXPECT_REGISTRY(HKEY_CURRENT_USER, environment + "\\Known Packages", Path("ovanlibd7.bpl").c_str(),
                    Sz("Ostrevane $SUB_FILE$ package"))
        << "the data is used literally";
    EXPECT_EQ(TheFailures.buildFailed, false);
    EXPECT_FALSE(AnyFailure());
    EXPECT_REGISTRY(HKEY_LOCAL_MACHINE, helpKey, "ostrevanetest_ovanlibd7.hlp", Sz("C:\\Ostrevane\\Help"));
    EXPECT_REGISTRY(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString", Sz("kvxpurge.exe C:\\Ostrevane\\uninst.kvx"));
    EXPECT_REGISTRY(HKEY_LOCAL_MACHINE, uninstallKey, "DisplayName", Sz("Ostrevane (Delphi7)"));

    HKEY help;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, helpKey.c_str(), 0, KEY_SET_VALUE, &help) == ERROR_SUCCESS) {
        RegDeleteValueA(help, "ostrevanetest_ovanlibd7.hlp");
        RegCloseKey(help);
    }
}

TEST_F(Interpreter, PurgePackageEntriesRemovesEveryRegistrationOfThePackage)
{
    const std::string environment = key_ + "\\C++Builder\\6.0";
    const std::string packages = environment + "\\Known Packages";
    const char* names[] = {
        "C:\\Old\\OVANLIBC6.BPL", "D:\\Elsewhere\\ovanlibc6.bpl", "C:\\Any\\ovanlib.bpl",
        "C:\\Borland\\dclstd60.bpl", "C:\\Borland\\ovanlibc5.bpl",
    };
    const std::string disabled = environment + "\\Disabled Packages";
    for (const char* name : names) {
        ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, packages, name, REG_SZ, Sz("x")));
        ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, disabled, name, REG_SZ, Sz("x")));
    }
    // The user switched this very package off: that choice stays.
    std::string built = Path("ovanlibc6.bpl");
    for (char& c : built) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, disabled, built.c_str(), REG_SZ, Sz("x")));
    SetVariable(DelphiReg, environment.c_str());
    SetVariable(SubFile, "ovanlibc6");
    WRITE_ALL(Path("ovanlibc6.bpl"), "package");
    RunEntries({{Path("ovanlibc6.bpl").c_str(), 0, 0, ScriptOp::PurgePackageEntries}});
    EXPECT_EQ(ValueNames(HKEY_CURRENT_USER, packages),
              (std::vector<std::string>{"C:\\Borland\\dclstd60.bpl", "C:\\Borland\\ovanlibc5.bpl"}));
    EXPECT_EQ(ValueNames(HKEY_CURRENT_USER, disabled),
              (std::vector<std::string>{"C:\\Borland\\dclstd60.bpl", "C:\\Borland\\ovanlibc5.bpl", built}));
}

// Whether this account's IDE keys are written now: for every row, the three
// per-user steps write and log exactly when the rule says so, and fail in no row.
TEST_F(Interpreter, UserKeysNowOnlyForTheDesktopsOwnAccount)
{
    const struct {
        bool localSystem;
        DesktopUser desktop;
        bool now;
    } rows[] = {
        {false, DesktopUser::ThisAccount, true},   {false, DesktopUser::NoShell, true},
        {false, DesktopUser::OtherAccount, false}, {true, DesktopUser::ThisAccount, false},
        {true, DesktopUser::NoShell, false},       {true, DesktopUser::OtherAccount, false},
    };
    SetVariable(SubFile, "ovanlibd7");
    WRITE_ALL(Path("ovanlibd7.bpl"), "package");
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(n);
        const UserRegistrationRow& rule = UserRegistrationRule(row.localSystem, row.desktop);
        UserRegistration = &rule;
        const std::string environment = key_ + "\\Delphi\\" + std::to_string(n++);
        SetVariable(DelphiReg, environment.c_str());
        const std::size_t logged = LogLength();
        ClearFailures();
        RunEntries({
            {Path("ovanlibd7.bpl").c_str(), 0, 0, ScriptOp::PurgePackageEntries},
            {Path("ovanlibd7.bpl").c_str(), "Ostrevane", 0, ScriptOp::RegisterPackage},
            {";C:\\Home\\Delphi7", "Search Path", 0, ScriptOp::ExtendSearchPath},
        });
        EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, environment.c_str()), row.now);
        EXPECT_EQ(LogLength() != logged, row.now) << "records only for what is written";
        EXPECT_FALSE(AnyFailure());
        EXPECT_EQ(std::string(rule.reportLine).find("none now") == std::string::npos, row.now) << rule.reportLine;
    }
    // The real account and desktop: Wine runs the installation as the desktop's own user.
    std::printf("GetShellWindow() = %p\n", static_cast<void*>(GetShellWindow()));
    UserRegistration = &ProbeUserRegistration();
    EXPECT_TRUE(UserRegistration->userKeysNow) << UserRegistration->reportLine;
}

// ExtendSearchPath -------------------------------------------------------------

TEST_F(Interpreter, ExtendSearchPathReplacesEarlierEntriesOfTheProduct)
{
    const std::string environment = key_ + "\\Delphi\\7.0";
    const std::string library = environment + "\\Library";
    SetVariable(DelphiReg, environment.c_str());
    SetVariable(HomeDir, "C:\\Ostrevane");
    SetVariable(SubDir, "Delphi7");
    SetVariable(DelphiDir, "C:\\Program Files\\Borland\\Delphi7");
    SetVariable(DelphiDirShort, "C:\\PROGRA~1\\Borland\\Delphi7");

    struct Case {
        const char* homeOld;
        const char* before;  // nullptr: no such value
        const char* after;
        DWORD type = REG_SZ;  // before and after
    };
    const Case cases[] = {
        {"", "$(DELPHI)\\Lib;$(DELPHI)\\Bin", "$(DELPHI)\\Lib;$(DELPHI)\\Bin;C:\\Ostrevane\\Delphi7"},
        {"C:\\Ostrevane", "$(DELPHI)\\Lib;$(DELPHI)\\Bin;C:\\Ostrevane\\Delphi7",
         "$(DELPHI)\\Lib;$(DELPHI)\\Bin;C:\\Ostrevane\\Delphi7"},
        {"D:\\Earlier", "$(DELPHI)\\Lib;d:\\earlier\\DELPHI7;x", "$(DELPHI)\\Lib;x;C:\\Ostrevane\\Delphi7"},
        {"", "", ";C:\\Ostrevane\\Delphi7"},
        {"", nullptr, ";C:\\Ostrevane\\Delphi7"},
        {"", "$(DELPHI)\\Lib;$(DELPHI)\\ADD\\ostrevane;$(BCB)\\add\\OSTREVANE",
         "$(DELPHI)\\Lib;C:\\Ostrevane\\Delphi7"},
        {"", "a;C:\\Program Files\\Borland\\Delphi7\\add\\ostrevane;b;C:\\Program Files\\Borland\\Delphi7\\\\add\\ostrevane",
         "a;b;C:\\Ostrevane\\Delphi7"},
        {"", "a;C:\\PROGRA~1\\Borland\\Delphi7\\add\\ostrevane;C:\\progra~1\\borland\\delphi7\\\\ADD\\Ostrevane",
         "a;C:\\Ostrevane\\Delphi7"},
        // Whole entries only: the user's entries that begin with the product's stay whole.
        {"C:\\Ostrevane", "$(DELPHI)\\Lib;C:\\Ostrevane\\Delphi7Extra;$(DELPHI)\\Bin;c:\\ostrevane\\delphi7\\Source",
         "$(DELPHI)\\Lib;C:\\Ostrevane\\Delphi7Extra;$(DELPHI)\\Bin;c:\\ostrevane\\delphi7\\Source;C:\\Ostrevane\\Delphi7"},
        {"", "a;C:\\Program Files\\Borland\\Delphi7\\add\\ostrevane2;$(BCB)\\ADD\\ostrevane\\x",
         "a;C:\\Program Files\\Borland\\Delphi7\\add\\ostrevane2;$(BCB)\\ADD\\ostrevane\\x;C:\\Ostrevane\\Delphi7"},
        // The first entry too; the empty entries of the user's stay.
        {"C:\\Ostrevane", "C:\\OSTREVANE\\Delphi7;;$(DELPHI)\\Lib;C:\\Ostrevane\\Delphi7",
         ";$(DELPHI)\\Lib;C:\\Ostrevane\\Delphi7"},
        // Without an earlier home folder no entry is taken for one.
        {"", "a;\\Delphi7", "a;\\Delphi7;C:\\Ostrevane\\Delphi7"},
        {"C:\\Ostrevane", "%LIBS%\\Lib;C:\\Ostrevane\\Delphi7", "%LIBS%\\Lib;C:\\Ostrevane\\Delphi7", REG_EXPAND_SZ},
    };
    for (const Case& c : cases) {
        RegDeleteTreeA(HKEY_CURRENT_USER, library.c_str());
        if (c.before) ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, library, "Search Path", c.type, Sz(c.before)));
        SetVariable(HomeOld, c.homeOld);
        RunEntries({{";$HOME_DIR$\\$SUB_DIR$", "Search Path", 0, ScriptOp::ExtendSearchPath}});
        DWORD type = 0;
        EXPECT_EQ(RegistryBytes(HKEY_CURRENT_USER, library, "Search Path", &type), Sz(c.after))
            << (c.before ? c.before : "(no value)");
        EXPECT_EQ(type, c.type);
    }
}

TEST_F(Interpreter, ExtendSearchPathNeverCarriesAnotherPathOrWritesACutOne)
{
    const std::string delphi7 = key_ + "\\Delphi\\7.0";
    const std::string delphi3 = key_ + "\\Delphi\\3.0";
    SetVariable(HomeDir, "C:\\Ostrevane");
    SetVariable(SubDir, "Delphi3");

    // A missing value starts from nothing, whatever the last path read was.
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, delphi7 + "\\Library", "Search Path", REG_SZ,
                                 Sz("$(DELPHI)\\Lib;D7ONLY")));
    SetVariable(DelphiReg, delphi7.c_str());
    RunEntries({{";$HOME_DIR$\\Delphi7", "Search Path", 0, ScriptOp::ExtendSearchPath}});
    SetVariable(DelphiReg, delphi3.c_str());
    RunEntries({{";$HOME_DIR$\\$SUB_DIR$", "SearchPath", 0, ScriptOp::ExtendSearchPath}});
    EXPECT_REGISTRY(HKEY_CURRENT_USER, delphi3 + "\\Library", "SearchPath", Sz(";C:\\Ostrevane\\Delphi3"));
    HKEY library;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (delphi3 + "\\Library").c_str(), 0, KEY_SET_VALUE, &library), ERROR_SUCCESS);
    RegDeleteValueA(library, "SearchPath");
    RegCloseKey(library);
    SetVariable(DelphiReg, delphi7.c_str());
    RunEntries({{";$HOME_DIR$\\Delphi7", "Search Path", 0, ScriptOp::ExtendSearchPath}});  // fills DataBuffer
    SetVariable(DelphiReg, delphi3.c_str());
    RunEntries({{";$HOME_DIR$\\$SUB_DIR$", "SearchPath", 0, ScriptOp::ExtendSearchPath}});
    EXPECT_REGISTRY(HKEY_CURRENT_USER, delphi3 + "\\Library", "SearchPath", Sz(";C:\\Ostrevane\\Delphi3"))
        << "key present, value missing";

    // Too long to read whole, or too long once the entry is added: untouched.
    struct Case {
        const char* label;
        std::string before;
    };
    const Case cases[] = {
        {"far longer than the buffer", std::string(5000, 'L')},
        {"one byte longer than the buffer", std::string(4096, 'O')},
        {"fills the buffer, no room for the entry", std::string(4095, 'F')},
        {"no room for the entry", std::string(4080, 'R')},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, delphi3 + "\\Library", "SearchPath", REG_SZ, Sz(c.before)));
        RunEntries({{";$HOME_DIR$\\$SUB_DIR$", "SearchPath", 0, ScriptOp::ExtendSearchPath}});
        EXPECT_REGISTRY(HKEY_CURRENT_USER, delphi3 + "\\Library", "SearchPath", Sz(c.before)) << c.label;
    }
    // Just fits: 4074 + 21 characters and the terminator make 4096.
    const std::string fits(4074, 'J');
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, delphi3 + "\\Library", "SearchPath", REG_SZ, Sz(fits)));
    RunEntries({{";$HOME_DIR$\\$SUB_DIR$", "SearchPath", 0, ScriptOp::ExtendSearchPath}});
    EXPECT_REGISTRY(HKEY_CURRENT_USER, delphi3 + "\\Library", "SearchPath", Sz(fits + ";C:\\Ostrevane\\Delphi3"));
}

// RunTool --------------------------------------------------------------------

}  // namespace
