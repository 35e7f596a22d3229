// The install script interpreter against the real registry and file system of
// the test prefix: every operation, the routines under them and the worker.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "catalogue.h"
#include "failures.h"
#include "../wizard/resource.h"
#include "files.h"
#include "installation.h"
#include "interpreter.h"
#include "link_guard.h"
#include "registry.h"
#include "wizard_hooks.h"
#include "templates.h"
#include "test_files.h"
#include "uninstall_log.h"

namespace {

using Records = std::vector<std::pair<int, std::string>>;

std::string TempRoot()
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string root = temp;
    if (!root.empty() && root.back() == '\\') root.pop_back();
    return root;
}

std::string OwnFolder()
{
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string path = module;
    return path.substr(0, path.find_last_of('\\'));
}

bool IsFolder(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void WriteAll(const std::string& path, const std::string& bytes)
{
    ASSERT_TRUE(WriteFileText(path, bytes)) << path;
}

// A registry value as raw bytes; "<missing>" when it cannot be read.
std::string Value(HKEY root, const std::string& key, const char* name, DWORD* type = nullptr)
{
    HKEY handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return "<missing>";
    std::vector<char> data(70000);
    DWORD size = static_cast<DWORD>(data.size());
    LONG status = RegQueryValueExA(handle, name, nullptr, type, reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS) return "<missing>";
    return std::string(data.data(), size);
}

// A REG_SZ value as the interpreter writes it: text and terminator.
std::string Sz(const std::string& text) { return text + '\0'; }

void SetValue(HKEY root, const std::string& key, const char* name, DWORD type, const std::string& bytes)
{
    HKEY handle;
    ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(handle, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(handle);
}

std::vector<std::string> ValueNames(HKEY root, const std::string& key)
{
    std::vector<std::string> names;
    HKEY handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return names;
    char name[1040];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumValueA(handle, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    RegCloseKey(handle);
    return names;
}

// A drive letter that names no drive, or 0.
char UnmappedDrive()
{
    const DWORD drives = GetLogicalDrives();
    for (char c = 'Y'; c >= 'D'; --c)
        if (!(drives & (1u << (c - 'A')))) return c;
    return 0;
}

// A key whose children cannot be made non-volatile: the registry refuses the
// interpreter's writes below it, as HKEY_LOCAL_MACHINE refuses a user without rights.
void CreateVolatileKey(HKEY root, const std::string& parent, const std::string& key)
{
    HKEY handle;
    ASSERT_EQ(RegCreateKeyExA(root, parent.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr), ERROR_SUCCESS);
    RegCloseKey(handle);
    ASSERT_EQ(RegCreateKeyExA(root, (parent + "\\" + key).c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr,
                              &handle, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(handle);
}

Records LogRecords()
{
    Records records;
    const unsigned char* at = TheUninstallLog.recordBuffer;
    const unsigned char* end = at + LogLength();
    while (at < end) {
        const int type = *at++;
        std::string text(reinterpret_cast<const char*>(at));
        at += text.size() + 1;
        records.emplace_back(type, text);
    }
    return records;
}

// A script from entries; the end entry is added.
struct Script {
    std::vector<ScriptEntry> entries;
    Script(std::initializer_list<ScriptEntry> list) : entries(list) { entries.push_back({nullptr, {}, {}, ScriptOp::ProgressOnly}); }
    const ScriptEntry* get() const { return entries.data(); }
};

void RunEntries(std::initializer_list<ScriptEntry> list) { RunScript(Script(list).get()); }

constexpr char TestKey[] = "Software\\OstrevaneTest";

// Engine buffers, an open log, a folder of its own and the test registry
// keys under HKCU and HKLM, all removed again.
class Interpreter : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(AllocateEngineBuffers());
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        name_ = std::string(info->test_suite_name()) + "_" + info->name();
        folder_ = TempRoot() + "\\ostrevane_" + name_;
        RemoveTree(folder_);
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr)) << folder_;
        key_ = std::string(TestKey) + "\\" + name_;
        RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, key_.c_str());
        ASSERT_TRUE(OpenLog((folder_ + "\\uninst.kvx").c_str()));
        WizardWindow = nullptr;
        AdvanceWizardPage = nullptr;
        ClearFailures();
    }
    void TearDown() override
    {
        CloseLog();
        ReleaseEngineBuffers();
        WizardWindow = nullptr;
        SetCurrentDirectoryA(TempRoot().c_str());
        RemoveTree(folder_);
        RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, key_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, TestKey);  // only once it is empty
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, TestKey);
    }
    std::string Path(const std::string& tail) const { return folder_ + "\\" + tail; }

    std::string name_, folder_, key_;
};

// ExtractResource ------------------------------------------------------------

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
    const Records expected = {{3, Path("bytes.bin")},
                              {3, Path("text.txt")},
                              {3, Path("missing.dcu")},
                              {3, Path("nofolder\\x.txt")}};
    EXPECT_EQ(LogRecords(), expected);
}

TEST_F(Interpreter, ExtractResourceReplacesAnExistingFile)
{
    WriteAll(Path("text.txt"), std::string(1000, 'x'));
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
    EXPECT_EQ(LogRecords(), (Records{{12, ok}})) << "no record for the entry that did not expand";
    EXPECT_FALSE(IsFolder(longHome));
    EXPECT_EQ(ValueNames(HKEY_LOCAL_MACHINE, key_), std::vector<std::string>{});
    EXPECT_EQ(ReadFileText(ok), "Ostrevane payload\r\nsecond line\r\n");
}

// CreateFolders --------------------------------------------------------------

TEST_F(Interpreter, CreateFolderPathCreatesTheMissingPartOfTheChain)
{
    ASSERT_TRUE(CreateDirectoryA(Path("A").c_str(), nullptr));
    WriteAll(Path("A\\keep.txt"), "kept");
    SetVariable(HomeDir, folder_.c_str());
    RunEntries({
        {"$HOME_DIR$\\A\\B\\C", 0, 0, ScriptOp::CreateFolders},
        {"$HOME_DIR$/S1/S2\\", 0, 0, ScriptOp::CreateFolders},  // slashes, trailing separator
    });
    EXPECT_TRUE(IsFolder(Path("A\\B")));
    EXPECT_TRUE(IsFolder(Path("A\\B\\C")));
    EXPECT_EQ(ReadFileText(Path("A\\keep.txt")), "kept");
    EXPECT_TRUE(IsFolder(Path("S1\\S2")));

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
    EXPECT_FALSE(IsFolder(missingDrive));

    // A file in the way: the chain stops there and nothing beyond is made.
    WriteAll(Path("file"), "x");
    std::string blocked = Path("file\\sub\\deeper");
    std::vector<char> blockedPath(blocked.begin(), blocked.end());
    blockedPath.push_back('\0');
    EXPECT_FALSE(CreateFolderPath(blockedPath.data()));
    EXPECT_EQ(ReadFileText(Path("file")), "x");
    EXPECT_FALSE(IsFolder(Path("file\\sub")));

    // A name that cannot be made ends the walk, even where a later prefix
    // would name a folder that could be.
    std::string invalid = Path("bad?name\\..\\after");
    std::vector<char> invalidPath(invalid.begin(), invalid.end());
    invalidPath.push_back('\0');
    CreateFolderPath(invalidPath.data());
    EXPECT_FALSE(IsFolder(Path("after")));
}

// CopyFileTo, RemoveFile, SetSubDir, SetSubFile --------------------------------

TEST_F(Interpreter, CopyRemoveAndTheSubVariables)
{
    WriteAll(Path("source.bpl"), "package bytes");
    WriteAll(Path("target.bpl"), "older and longer package bytes");
    WriteAll(Path("gone.txt"), "x");
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
    for (const Case& c : cases) {
        const std::string file = Path(c.file);
        if (c.before) WriteAll(file, c.before);
        const Script script({{file.c_str(), c.text, 0, ScriptOp::AppendOnce}});
        RunScript(script.get());
        RunScript(script.get());
        if (c.after)
            EXPECT_EQ(ReadFileText(file), c.after) << c.file;
        else
            EXPECT_FALSE(FileExists(file)) << c.file;
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
        if (c.name) SetValue(HKEY_CURRENT_USER, key_, c.name, c.type, c.data);
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
    EXPECT_EQ(Value(HKEY_CURRENT_USER, deep, "Name", &type), Sz("C:\\Ostrevane"));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Value(HKEY_CURRENT_USER, deep, ""), Sz("default"));
    WriteRegistryText(HKEY_CURRENT_USER, deep.c_str(), "Name", "");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, deep, "Name"), Sz(""));
}

TEST_F(Interpreter, DeleteValuesContainingDeletesEveryMatchInOnePass)
{
    const char* names[] = {"a_keep", "b_ovanlib.bpl", "c_OVANLIB.BPL", "d_keep", "e_x\\ovanlib.dpl", "f_ovanli"};
    for (const char* name : names) SetValue(HKEY_CURRENT_USER, key_, name, REG_SZ, Sz("x"));

    DeleteValuesContaining(HKEY_CURRENT_USER, key_.c_str(), "");
    EXPECT_EQ(ValueNames(HKEY_CURRENT_USER, key_).size(), 6u) << "the empty text deletes nothing";

    DeleteValuesContaining(HKEY_CURRENT_USER, key_.c_str(), "ovanlib.");
    EXPECT_EQ(ValueNames(HKEY_CURRENT_USER, key_), (std::vector<std::string>{"a_keep", "d_keep", "f_ovanli"}));

    DeleteValuesContaining(HKEY_CURRENT_USER, (key_ + "\\NoSuchKey").c_str(), "keep");
    EXPECT_EQ(ValueNames(HKEY_CURRENT_USER, key_).size(), 3u);
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
    WriteAll(Path("ovanlibd7.bpl"), "package");  // only a package that is there is registered
    const std::string helpKey = "Software\\Microsoft\\Windows\\Help";
    const std::string uninstallKey = key_ + "\\Uninstall\\Ostrevane";
    RunEntries({
        {"$SYS_DIR$\\$SUB_FILE$.bpl", "Ostrevane $SUB_FILE$ package", 0, ScriptOp::RegisterPackage},
        {"$HOME_DIR$\\Help", "ostrevanetest_$SUB_FILE$.hlp", 0, ScriptOp::RegisterHelp},
        {uninstallKey.c_str(), "UninstallString", "kvxpurge.exe $HOME_DIR$\\uninst.kvx", ScriptOp::WriteMachineValue},
        {uninstallKey.c_str(), "DisplayName", "Ostrevane ($SUB_DIR$)", ScriptOp::WriteMachineValueSpare},
    });
    EXPECT_EQ(Value(HKEY_CURRENT_USER, environment + "\\Known Packages", Path("ovanlibd7.bpl").c_str()),
              Sz("Ostrevane $SUB_FILE$ package"))
        << "the data is used literally";
    EXPECT_EQ(TheFailures.buildFailed, false);
    EXPECT_FALSE(AnyFailure());
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, helpKey, "ostrevanetest_ovanlibd7.hlp"), Sz("C:\\Ostrevane\\Help"));
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString"), Sz("kvxpurge.exe C:\\Ostrevane\\uninst.kvx"));
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, uninstallKey, "DisplayName"), Sz("Ostrevane (Delphi7)"));

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
    for (const char* name : names) SetValue(HKEY_CURRENT_USER, packages, name, REG_SZ, Sz("x"));
    SetVariable(DelphiReg, environment.c_str());
    SetVariable(SubFile, "ovanlibc6");
    WriteAll(Path("ovanlibc6.bpl"), "package");
    RunEntries({{Path("ovanlibc6.bpl").c_str(), 0, 0, ScriptOp::PurgePackageEntries}});
    EXPECT_EQ(ValueNames(HKEY_CURRENT_USER, packages),
              (std::vector<std::string>{"C:\\Borland\\dclstd60.bpl", "C:\\Borland\\ovanlibc5.bpl"}));
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
        if (c.before) SetValue(HKEY_CURRENT_USER, library, "Search Path", c.type, Sz(c.before));
        SetVariable(HomeOld, c.homeOld);
        RunEntries({{";$HOME_DIR$\\$SUB_DIR$", "Search Path", 0, ScriptOp::ExtendSearchPath}});
        DWORD type = 0;
        EXPECT_EQ(Value(HKEY_CURRENT_USER, library, "Search Path", &type), Sz(c.after))
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
    SetValue(HKEY_CURRENT_USER, delphi7 + "\\Library", "Search Path", REG_SZ, Sz("$(DELPHI)\\Lib;D7ONLY"));
    SetVariable(DelphiReg, delphi7.c_str());
    RunEntries({{";$HOME_DIR$\\Delphi7", "Search Path", 0, ScriptOp::ExtendSearchPath}});
    SetVariable(DelphiReg, delphi3.c_str());
    RunEntries({{";$HOME_DIR$\\$SUB_DIR$", "SearchPath", 0, ScriptOp::ExtendSearchPath}});
    EXPECT_EQ(Value(HKEY_CURRENT_USER, delphi3 + "\\Library", "SearchPath"), Sz(";C:\\Ostrevane\\Delphi3"));
    HKEY library;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (delphi3 + "\\Library").c_str(), 0, KEY_SET_VALUE, &library), ERROR_SUCCESS);
    RegDeleteValueA(library, "SearchPath");
    RegCloseKey(library);
    SetVariable(DelphiReg, delphi7.c_str());
    RunEntries({{";$HOME_DIR$\\Delphi7", "Search Path", 0, ScriptOp::ExtendSearchPath}});  // fills DataBuffer
    SetVariable(DelphiReg, delphi3.c_str());
    RunEntries({{";$HOME_DIR$\\$SUB_DIR$", "SearchPath", 0, ScriptOp::ExtendSearchPath}});
    EXPECT_EQ(Value(HKEY_CURRENT_USER, delphi3 + "\\Library", "SearchPath"), Sz(";C:\\Ostrevane\\Delphi3"))
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
        SetValue(HKEY_CURRENT_USER, delphi3 + "\\Library", "SearchPath", REG_SZ, Sz(c.before));
        RunEntries({{";$HOME_DIR$\\$SUB_DIR$", "SearchPath", 0, ScriptOp::ExtendSearchPath}});
        EXPECT_EQ(Value(HKEY_CURRENT_USER, delphi3 + "\\Library", "SearchPath"), Sz(c.before)) << c.label;
    }
    // Just fits: 4074 + 21 characters and the terminator make 4096.
    const std::string fits(4074, 'J');
    SetValue(HKEY_CURRENT_USER, delphi3 + "\\Library", "SearchPath", REG_SZ, Sz(fits));
    RunEntries({{";$HOME_DIR$\\$SUB_DIR$", "SearchPath", 0, ScriptOp::ExtendSearchPath}});
    EXPECT_EQ(Value(HKEY_CURRENT_USER, delphi3 + "\\Library", "SearchPath"), Sz(fits + ";C:\\Ostrevane\\Delphi3"));
}

// RunTool --------------------------------------------------------------------

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
        const std::string standin = OwnFolder() + "\\standin.exe";
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
    WriteAll(bin_ + "\\standin.cfg", "# Delphi 3\r\next=.dpl\r\n");
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
    CreateVolatileKey(HKEY_CURRENT_USER, key_, "Refused");
    CreateVolatileKey(HKEY_LOCAL_MACHINE, key_, "Refused");
    const std::string refusedMachineKey = key_ + "\\Refused\\Uninstall";
    WriteAll(Path("package.bpl"), "package");
    WriteAll(Path("empty.cfg"), "");
    WriteAll(Path("held.cfg"), ":Link other.hlp\r\n");
    const std::string goodTool = "\"" + bin_ + "\\make.exe\" /fx.bpk";
    const std::string failingTool = "\"" + bin_ + "\\dcc32.exe\" x.dpk";
    WriteAll(bin_ + "\\standin.cfg", "fail=dcc32\r\n");
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
        for (int row = 0; row < FailureTargetCount; ++row)
            EXPECT_EQ(TheFailures.first[row], row == 7 ? c.noted : Failure::None) << c.label << ", row " << row;
        EXPECT_EQ(TheFailures.overall, 0) << c.label;
    }
    CloseHandle(held);
    EXPECT_EQ(ReadFileText(Path("held.cfg")), ":Link other.hlp\r\n");
    EXPECT_EQ(ValueNames(HKEY_LOCAL_MACHINE, key_ + "\\Refused"), std::vector<std::string>{});
}

// Control 102's list on the finish page, where its lines run out.
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
        EXPECT_TRUE(ComposeFailureList(TargetShortNames, c.first, out, sizeof out)) << c.first;
        EXPECT_STREQ(out, c.second);
    }
    // Every line there can be fits; a buffer too small gets the empty text.
    for (Failure& failure : TheFailures.first) failure = Failure::SearchPathNotExtended;
    TheFailures.overall = InstallNotRun | HomeFolderNotCreated | HomeFolderNotStored | LogNotWritten;
    std::memset(out, 0xEE, sizeof out);
    ASSERT_TRUE(ComposeFailureList(TargetShortNames, 20, out, FailureListSize));
    EXPECT_EQ(std::count(out, out + std::strlen(out), '\r'), 15);
    EXPECT_EQ(std::string(out).rfind("Installation did not run\rDestination folder not created\r", 0), 0u) << out;
    EXPECT_EQ(static_cast<unsigned char>(out[FailureListSize]), 0xEE);
    EXPECT_FALSE(ComposeFailureList(TargetShortNames, 5, out, 40));
    EXPECT_STREQ(out, "");
    ClearFailures();
    EXPECT_FALSE(AnyFailure());
}

// Progress and control texts ---------------------------------------------------

class Wizard : public Interpreter {
protected:
    void SetUp() override
    {
        Interpreter::SetUp();
        InitCommonControls();
        window_ = CreateWindowExA(0, "STATIC", "wizard", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                  nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        for (int id : {102, 105})
            CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 300, 20, window_, reinterpret_cast<HMENU>(id), nullptr,
                            nullptr);
        HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD, 0, 40, 300, 20, window_,
                                   reinterpret_cast<HMENU>(IDC_PROGRESS), nullptr, nullptr);
        ASSERT_NE(bar, nullptr);
        WizardWindow = window_;
    }
    void TearDown() override
    {
        WizardWindow = nullptr;
        DestroyWindow(window_);
        Interpreter::TearDown();
    }
    int Position() { return static_cast<int>(SendDlgItemMessageA(window_, IDC_PROGRESS, PBM_GETPOS, 0, 0)); }
    std::string Text(int id)
    {
        char text[256] = {};
        GetDlgItemTextA(window_, id, text, sizeof text);
        return text;
    }
    HWND window_ = nullptr;
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
        {{"x", 0, 4, ScriptOp::ProgressOnlySpare}, 4},
        {{"x", 0, 5, static_cast<ScriptOp>(17)}, 5},
        {{"x", 0, 2, static_cast<ScriptOp>(-1)}, 2},
        {{"x", 0, 1, static_cast<ScriptOp>(1000)}, 1},
        {{"Sub", 0, 1, ScriptOp::SetSubDir}, 1},
        {{key.c_str(), "Name", "data", ScriptOp::WriteMachineValue}, 0},
        {{key.c_str(), "Alt", "data", ScriptOp::WriteMachineValueSpare}, 0},
    };
    for (const Case& c : cases) {
        const int before = Position();
        RunScript(Script({c.entry}).get());
        EXPECT_EQ(Position() - before, c.moved) << "code " << static_cast<int>(c.entry.op);
    }
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, key_, "Name"), Sz("data"));
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, key_, "Alt"), Sz("data"));

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
        {"$SUB_DIR$", 102, 0, ScriptOp::SetControlText},
        {"Files extracting ...", 105, 0, ScriptOp::SetControlText},
    });
    EXPECT_EQ(Text(102), "Delphi7");
    EXPECT_EQ(Text(105), "Files extracting ...");

    WizardWindow = nullptr;  // headless: nothing is shown, nothing breaks
    RunEntries({{"Compiling package ...", 105, 7, ScriptOp::SetControlText}});
    EXPECT_EQ(Text(105), "Files extracting ...");
    EXPECT_EQ(Position(), 0);
}

// ScriptWorker -----------------------------------------------------------------

int PageAdvances = 0;
void CountPageAdvance() { ++PageAdvances; }
DWORD WINAPI RunScriptsThread(LPVOID)
{
    RunChosenScripts();
    return 0;
}

constexpr char HomeKey[] = "Software\\Quillmere\\Ostrevane";

class Worker : public Wizard {
protected:
    void SetUp() override
    {
        Wizard::SetUp();
        for (int i = 0; i <= TargetCount; ++i) saved_[i] = TargetTable[i];
        oldRootDir_ = Value(HKEY_LOCAL_MACHINE, HomeKey, "RootDir");
        PageAdvances = 0;
        AdvanceWizardPage = CountPageAdvance;
    }
    void TearDown() override
    {
        for (int i = 0; i <= TargetCount; ++i) TargetTable[i] = saved_[i];
        AdvanceWizardPage = nullptr;
        if (oldRootDir_ == "<missing>") {
            HKEY key;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, HomeKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
                RegDeleteValueA(key, "RootDir");
                RegCloseKey(key);
            }
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, HomeKey);
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Quillmere");
        } else {
            SetValue(HKEY_LOCAL_MACHINE, HomeKey, "RootDir", REG_SZ, oldRootDir_);
        }
        Wizard::TearDown();
    }
    InstallTarget saved_[TargetCount + 1];
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
        {"$SUB_DIR$", 102, 0, ScriptOp::SetControlText},
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
        TargetTable[i].checkState = NotFound;
        TargetTable[i].script = mustNotRun.get();
    }
    TargetTable[delphi7].checkState = Install;
    TargetTable[delphi7].rootFolder = rootFolder7;
    TargetTable[delphi7].script = environmentScript.get();
    TargetTable[builder6].checkState = Unticked;
    TargetTable[builder6].rootFolder = rootFolder6;
    TargetTable[shared].checkState = Install;
    TargetTable[shared].script = sharedScript.get();
    TargetTable[demos].checkState = Unticked;
    TargetTable[help].checkState = Unticked;

    SetVariable(HomeDir, Path("Home").c_str());
    ASSERT_TRUE(CreateDirectoryA(Path("Home").c_str(), nullptr));
    AppendRecord(ProductText, ProductDescription);
    // The vendor's key is named for removal only when this run makes it.
    HKEY vendor = nullptr;
    const bool vendorKeyThere =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quillmere", 0, KEY_READ, &vendor) == ERROR_SUCCESS;
    if (vendor) RegCloseKey(vendor);

    // On a thread of its own, as in the installer: its window operations are
    // carried out here, on the thread that owns the window.
    HANDLE thread = CreateThread(nullptr, 0, RunScriptsThread, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, Scaled(10000), QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    ASSERT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "the worker did not end";
    CloseHandle(thread);

    // The folders it made, the key it wrote to, once.
    Records expected = {
        {1, ProductDescription},
        {13, Path("Home")},
        {2, " Files for Borland Delphi 7"},
        {13, Path("Home\\Delphi7")},
        {3, Path("Home\\Delphi7\\ovanlibd7.txt")},
        {7, key_},
        {2, " Shared Files"},
        {3, Path("Home\\readme.txt")},
    };
    if (!vendorKeyThere) expected.push_back({7, "Software\\Quillmere"});
    expected.push_back({7, "Software\\Quillmere\\Ostrevane"});
    EXPECT_EQ(LogRecords(), expected);
    EXPECT_EQ(ReadFileText(Path("Home\\Delphi7\\ovanlibd7.txt")), "Ostrevane payload\r\nsecond line\r\n");

    const std::string environment = Value(HKEY_LOCAL_MACHINE, key_, "environment");
    const std::string prefix = root7 + "|Software\\Borland\\Delphi\\7.0|";
    ASSERT_EQ(environment.compare(0, prefix.size(), prefix), 0) << environment;
    const std::string shortForm = environment.substr(prefix.size(), environment.size() - prefix.size() - 1);
    EXPECT_EQ(shortForm.find(' '), std::string::npos) << shortForm;
    char longForm[MAX_PATH] = {};
    GetLongPathNameA(shortForm.c_str(), longForm, MAX_PATH);
    EXPECT_STREQ(longForm, root7.c_str()) << shortForm;
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, key_, "shared"), environment) << "rows without an environment keep them";
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, key_, "unticked"), "<missing>");

    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, HomeKey, "RootDir"), Sz(Path("Home")));
    EXPECT_EQ(Position(), 21);
    EXPECT_EQ(Text(102), "Delphi7");
}

TEST_F(Worker, AGoneEnvironmentFolderStandsForItsOwnShortForm)
{
    const int delphi5 = 2;
    for (int i = 0; i < TargetCount; ++i) TargetTable[i].checkState = Unticked;
    char rootFolder[PathSize] = {};
    CopyText(rootFolder, sizeof rootFolder, Path("No Such Delphi").c_str());
    const std::string seen = key_;
    const Script script({{seen.c_str(), "short", "$DELPHI_DIR_SHORT$", ScriptOp::WriteMachineValue}});
    TargetTable[delphi5].checkState = Install;
    TargetTable[delphi5].rootFolder = rootFolder;
    TargetTable[delphi5].script = script.get();
    SetVariable(DelphiDirShort, "C:\\PREVIO~1");
    SetVariable(HomeDir, "C:\\Ostrevane");
    RunChosenScripts();
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, key_, "short"), Sz(Path("No Such Delphi")));
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, HomeKey, "RootDir"), Sz("C:\\Ostrevane"));
}

// Each row's failures land in its own slot; a refused "RootDir" in none.
TEST_F(Worker, NotesEachRowsFailuresAndARefusedHomeFolderValue)
{
    const int delphi7 = 4, shared = 9;
    for (int i = 0; i < TargetCount; ++i) TargetTable[i].checkState = Unticked;
    const char letter = UnmappedDrive();
    ASSERT_NE(letter, 0);
    const std::string missing = std::string(1, letter) + ":\\Ostrevane\\Delphi7";
    const Script failing({{missing.c_str(), 0, 0, ScriptOp::CreateFolders}});
    const Script fine({{"$HOME_DIR$", 0, 0, ScriptOp::CreateFolders}});
    char rootFolder[PathSize] = {};
    CopyText(rootFolder, sizeof rootFolder, folder_.c_str());
    TargetTable[delphi7].checkState = Install;
    TargetTable[delphi7].rootFolder = rootFolder;
    TargetTable[delphi7].script = failing.get();
    TargetTable[shared].checkState = Install;
    TargetTable[shared].script = fine.get();
    SetVariable(HomeDir, folder_.c_str());
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Quillmere");
    CreateVolatileKey(HKEY_LOCAL_MACHINE, "Software", "Quillmere");

    RunChosenScripts();
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, HomeKey, "RootDir"), "<missing>");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Quillmere");
    for (int row = 0; row < FailureTargetCount; ++row)
        EXPECT_EQ(TheFailures.first[row], row == delphi7 ? Failure::FolderNotCreated : Failure::None) << row;
    EXPECT_EQ(TheFailures.overall, HomeFolderNotStored);
    EXPECT_EQ(TheFailures.current, NoFailureTarget);
}

}  // namespace
