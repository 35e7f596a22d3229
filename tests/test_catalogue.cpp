// The built-in target table and install scripts, read as data.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue.h"
#include "progress_sink.h"
#include "templates.h"

namespace {

int StepSum(const ScriptEntry* script)
{
    int sum = 0;
    for (const ScriptEntry* e = script; e->templateText; ++e) {
        if (HoldsValueData(e->op)) continue;
        sum += e->stepOrValueData.number;
    }
    return sum;
}

// The row of the target the finish page calls name.
const InstallTarget& Row(const char* name)
{
    for (const InstallTarget* t = TargetTable; t->caption; ++t)
        if (std::string(t->shortName) == name) return *t;
    ADD_FAILURE() << "no row " << name;
    return TargetTable[TargetCount];
}

TEST(TargetTable, RowsInTableOrder)
{
    struct Expected {
        const char* caption;
        const char* shortName;
        const char* key;
        const char* program;
        std::int32_t listState;
        int steps;
    };
    const char* const delphi = "\\Bin\\delphi32.exe";
    const char* const builder = "\\Bin\\bcb.exe";
    const Expected rows[TargetCount] = {
        {" Files for Borland Delphi 3", "Delphi 3", "Software\\Borland\\Delphi\\3.0", delphi, 1, 8},
        {" Files for Borland Delphi 4", "Delphi 4", "Software\\Borland\\Delphi\\4.0", delphi, 1, 9},
        {" Files for Borland Delphi 5", "Delphi 5", "Software\\Borland\\Delphi\\5.0", delphi, 1, 6},
        {" Files for Borland Delphi 6", "Delphi 6", "Software\\Borland\\Delphi\\6.0", delphi, 1, 6},
        {" Files for Borland Delphi 7", "Delphi 7", "Software\\Borland\\Delphi\\7.0", delphi, 1, 6},
        {" Files for Borland C++Builder 3", "C++Builder 3", "Software\\Borland\\C++Builder\\3.0", builder, 1, 12},
        {" Files for Borland C++Builder 4", "C++Builder 4", "Software\\Borland\\C++Builder\\4.0", builder, 1, 13},
        {" Files for Borland C++Builder 5", "C++Builder 5", "Software\\Borland\\C++Builder\\5.0", builder, 1, 13},
        {" Files for Borland C++Builder 6", "C++Builder 6", "Software\\Borland\\C++Builder\\6.0", builder, 1, 13},
        {" Shared Files", "Shared files", nullptr, nullptr, -2, 1},
        {" Demo Projects Files", "Demo projects", nullptr, nullptr, 1, 5},
        {" Ostrevane Lib Context Help Files", "Help files", nullptr, nullptr, 1, 3},
    };
    int total = 0;
    for (int i = 0; i < TargetCount; ++i) {
        const InstallTarget& t = TargetTable[i];
        const TargetState& state = TargetStates[i];
        SCOPED_TRACE(rows[i].caption);
        EXPECT_STREQ(t.caption, rows[i].caption);
        EXPECT_STREQ(t.shortName, rows[i].shortName);
        EXPECT_EQ(IsEnvironment(t), rows[i].key != nullptr);
        if (rows[i].key) {
            EXPECT_STREQ(t.registryKey, rows[i].key);
            EXPECT_STREQ(t.valueName, "RootDir");
            EXPECT_STREQ(t.ideProgram, rows[i].program);
        } else {
            EXPECT_EQ(t.registryKey, nullptr);
            EXPECT_EQ(t.valueName, nullptr);
            EXPECT_EQ(t.ideProgram, nullptr);
        }
        EXPECT_EQ(state.listState, rows[i].listState);
        EXPECT_EQ(state.checkState, 1);
        EXPECT_EQ(state.listIndex, 0);
        EXPECT_EQ(state.rootFolder, nullptr);
        // How far the row moves the progress bar.
        EXPECT_EQ(StepSum(t.script), rows[i].steps);
        total += StepSum(t.script);
        for (int j = 0; j < i; ++j) EXPECT_NE(t.script, TargetTable[j].script) << "rows share no script";
    }
    EXPECT_EQ(total, 95);
    EXPECT_EQ(TargetTable[TargetCount].caption, nullptr);
    EXPECT_STREQ(TargetTable[SharedFilesRow].shortName, "Shared files");
}

// The ExtractResource entries of a script, in order: "template=resource".
std::vector<std::string> Extractions(const ScriptEntry* script)
{
    std::vector<std::string> out;
    for (const ScriptEntry* e = script; e->templateText; ++e)
        if (e->op == ScriptOp::ExtractResource)
            out.push_back(std::string(e->templateText) + "=" + std::to_string(e->argument.number));
    return out;
}

class InstallScripts : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(AllocateEngineBuffers());
        SetVariable(HomeDir, "C:\\Tools\\Ostrevane");
        SetVariable(SysDir, "C:\\windows\\system32");
        SetVariable(UninstDir, "C:\\windows");
        SetVariable(DelphiDir, "C:\\Program Files\\Borland\\CBuilder6");
    }
    void TearDown() override { ReleaseEngineBuffers(); }

    // What the row's script does, one line per entry that acts or shows,
    // its texts expanded as the interpreter expands them.
    std::vector<std::string> Effects(const InstallTarget& row, ScriptOp only = ScriptOp::ProgressOnly)
    {
        std::vector<std::string> out;
        for (const ScriptEntry* e = row.script; e->templateText; ++e) {
            EXPECT_TRUE(ExpandTemplate(e->templateText, TemplateBuffer, TemplateBufferSize));
            const std::string text = TemplateBuffer;
            if (e->op == ScriptOp::SetSubDir) SetVariable(SubDir, TemplateBuffer);
            if (e->op == ScriptOp::SetSubFile) SetVariable(SubFile, TemplateBuffer);
            std::string argument = e->argument.text ? e->argument.text : std::to_string(e->argument.number);
            if (e->argument.text && ExpandTemplate(e->argument.text, ArgumentBuffer, WorkBufferSize))
                argument = ArgumentBuffer;
            if (only != ScriptOp::ProgressOnly && e->op != only) continue;
            switch (e->op) {
            case ScriptOp::ExtractResource: out.push_back("write " + text + " from " + argument); break;
            case ScriptOp::CopyFileTo: out.push_back("copy " + text + " to " + argument); break;
            case ScriptOp::RunTool: out.push_back("run " + text + " in " + argument); break;
            case ScriptOp::PurgePackageEntries: out.push_back("purge " + text); break;
            case ScriptOp::RegisterPackage: out.push_back("register " + text + " as " + argument); break;
            case ScriptOp::ExtendSearchPath: out.push_back(argument + " += " + text); break;
            case ScriptOp::AppendOnce: out.push_back("append to " + text + ": " + argument); break;
            case ScriptOp::RemoveFile: out.push_back("remove " + text); break;
            case ScriptOp::SetControlText:
                out.push_back(std::string(e->argument.number == StageLine    ? "stage "
                                          : e->argument.number == StatusLine ? "status "
                                                                             : "shown nowhere: ") +
                              text);
                break;
            case ScriptOp::WriteMachineValue:
                EXPECT_TRUE(ExpandTemplate(e->stepOrValueData.text, DataBuffer, WorkBufferSize));
                out.push_back(text + " " + argument + " = " + DataBuffer);
                break;
            default: break;
            }
        }
        return out;
    }
};

TEST_F(InstallScripts, FilesAreWrittenInScriptOrder)
{
    const std::string d = "$HOME_DIR$\\$SUB_DIR$\\";
    const std::vector<std::string> delphi7 = {
        d + "$SUB_FILE$.dpk=700", d + "$SUB_FILE$.res=701", d + "wm_user.inc=71",
        d + "ostrevane.res=72",   d + "ostrevane.dcu=702",  d + "ostrevane.dcr=100",
    };
    EXPECT_EQ(Extractions(Row("Delphi 7").script), delphi7);
    const std::vector<std::string> delphi3 = {
        d + "$SUB_FILE$.dpk=300", d + "$SUB_FILE$.res=301", d + "wm_user.inc=71",
        d + "ostrevane.res=72",   d + "ostrevane.dcu=302",  d + "ostrevane.dcr=100",
    };
    EXPECT_EQ(Extractions(Row("Delphi 3").script), delphi3);
    const std::vector<std::string> cbuilder5 = {
        d + "$SUB_FILE$.bpk=8500", d + "$SUB_FILE$.cpp=8501", d + "$SUB_FILE$.res=8302",
        d + "wm_user.inc=71",      d + "ostrevane.res=72",    d + "ostrevane.obj=8506",
        d + "ostrevane.dcu=8504",  d + "ostrevane.hpp=8505",  d + "ostrevane.dcr=100",
    };
    EXPECT_EQ(Extractions(Row("C++Builder 5").script), cbuilder5);
    const std::vector<std::string> shared = {"$HOME_DIR$\\readme.txt=200", "$HOME_DIR$\\license.txt=203",
                                             "$UNINST_DIR$\\kvxpurge.exe=7", "$UNINST_DIR$\\kvxuser.exe=12"};
    EXPECT_EQ(Extractions(Row("Shared files").script), shared);
    const std::vector<std::string> help = {d + "ostrevane.hlp=201", d + "ostrevane.cnt=202"};
    EXPECT_EQ(Extractions(Row("Help files").script), help);
    EXPECT_EQ(Extractions(Row("Demo projects").script).size(), 10u);

    // 6 files per Delphi row, 9 per C++Builder row: 82 with the other rows.
    std::size_t files = 0;
    for (const InstallTarget* t = TargetTable; t->caption; ++t) files += Extractions(t->script).size();
    EXPECT_EQ(files, 82u);
}

// What each Delphi script does once its package is built, in order.
TEST_F(InstallScripts, DelphiThreeDiffersInExtensionAndSearchPathName)
{
    struct Case {
        const char* row;
        const char* folder;
        const char* package;
        const char* searchPath;
    };
    const Case cases[] = {
        {"Delphi 3", "Delphi3", "ovanlibd3.dpl", "SearchPath"},
        {"Delphi 4", "Delphi4", "ovanlibd4.bpl", "Search Path"},
        {"Delphi 5", "Delphi5", "ovanlibd5.bpl", "Search Path"},
        {"Delphi 6", "Delphi6", "ovanlibd6.bpl", "Search Path"},
        {"Delphi 7", "Delphi7", "ovanlibd7.bpl", "Search Path"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        const std::string folder = std::string("C:\\Tools\\Ostrevane\\") + c.folder;
        const std::string built = folder + "\\" + c.package;
        const std::vector<std::string> effects = Effects(Row(c.row));
        const std::vector<std::string> install = {
            "copy " + built + " to C:\\windows\\system32\\" + c.package,
            "purge " + built,
            "register " + built + " as Ostrevane v3.10 (trial) VCL",
            std::string(c.searchPath) + " += ;" + folder,
        };
        const auto at = std::search(effects.begin(), effects.end(), install.begin(), install.end());
        EXPECT_NE(at, effects.end()) << ::testing::PrintToString(effects);
        // The palette bitmap comes after "Compiling package ...", and the tool after both.
        const std::vector<std::string> build = {
            "status Compiling package ...", "write " + folder + "\\ostrevane.dcr from 100",
        };
        const auto compiling = std::search(effects.begin(), effects.end(), build.begin(), build.end());
        EXPECT_NE(compiling, effects.end()) << ::testing::PrintToString(effects);
        EXPECT_EQ(compiling + 2, at - 1);
        EXPECT_EQ(at[-1].rfind("run ", 0), 0u) << at[-1];
    }
}

class ExpandedCommands : public InstallScripts {
protected:
    // Every RunTool entry of a row, expanded after the row's SetSubDir and SetSubFile.
    std::vector<std::string> Commands(const char* row)
    {
        std::vector<std::string> out;
        for (const std::string& run : Effects(Row(row), ScriptOp::RunTool)) {
            const std::size_t in = run.rfind(" in ");
            out.push_back(run.substr(4, in - 4) + " @ " + run.substr(in + 4));
        }
        return out;
    }
};

TEST_F(ExpandedCommands, ToolCommandLinesAndFolders)
{
    const std::string bin = "\"C:\\Program Files\\Borland\\CBuilder6\\Bin\\";
    EXPECT_EQ(Commands("Delphi 7"), std::vector<std::string>{bin + "dcc32.exe\" \"ovanlibd7.dpk\" @ C:\\Tools\\Ostrevane\\Delphi7"});
    EXPECT_EQ(Commands("Delphi 3"), std::vector<std::string>{bin + "dcc32.exe\" \"ovanlibd3.dpk\" @ C:\\Tools\\Ostrevane\\Delphi3"});
    EXPECT_EQ(Commands("C++Builder 3"), std::vector<std::string>{bin + "make.exe\" /fovanlibb3.bpk @ C:\\Tools\\Ostrevane\\CBuilder3"});
    EXPECT_EQ(Commands("C++Builder 4"), std::vector<std::string>{bin + "make.exe\" /fovanlibb4.bpk @ C:\\Tools\\Ostrevane\\CBuilder4"});
    const std::vector<std::string> cb6 = {
        bin + "bpr2mak.exe\" -oovanlibb6.mak ovanlibb6.bpk @ C:\\Tools\\Ostrevane\\CBuilder6",
        bin + "make.exe\" /fovanlibb6.mak\" @ C:\\Tools\\Ostrevane\\CBuilder6",
    };
    EXPECT_EQ(Commands("C++Builder 6"), cb6);
    EXPECT_EQ(Commands("C++Builder 5").size(), 2u);
    EXPECT_EQ(Commands("Shared files").size(), 0u);
}

TEST_F(ExpandedCommands, UninstallEntryHoldsTheExpandedLogPath)
{
    const std::string entry = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ostrevane ";
    // The uninstaller by its full path in quotes, never a name to search for.
    const std::vector<std::string> values = {
        entry + "DisplayName = Quillmere Ostrevane v3.10 (trial)",
        entry + "UninstallString = \"C:\\windows\\kvxpurge.exe\" \"C:\\Tools\\Ostrevane\\uninst.kvx\"",
        entry + "QuietUninstallString = \"C:\\windows\\kvxpurge.exe\" /S \"C:\\Tools\\Ostrevane\\uninst.kvx\"",
        entry + "DisplayVersion = 3.10",
        entry + "Publisher = Quillmere",
        entry + "DisplayIcon = C:\\windows\\kvxpurge.exe",
        entry + "InstallLocation = C:\\Tools\\Ostrevane",
    };
    EXPECT_EQ(Effects(Row("Shared files"), ScriptOp::WriteMachineValue), values);
    // Written first of all, before any row, by the same entries.
    const InstallTarget uninstaller = {"", "", nullptr, nullptr, nullptr, UninstallerScript};
    EXPECT_EQ(Effects(uninstaller, ScriptOp::WriteMachineValue),
              std::vector<std::string>(values.begin(), values.begin() + 3));
}

// What each script adds to the environment's help files, and the help index it removes.
TEST_F(InstallScripts, HelpLinesEndInCrLf)
{
    const std::string link = ": \r\n:Link ostrevane.hlp\r\n";
    const std::string index = ": \r\n:INDEX Corvex Lib Help=ostrevane.hlp\r\n";
    const std::string help = "C:\\Program Files\\Borland\\CBuilder6\\Help\\";
    const std::vector<std::pair<const char*, std::vector<std::string>>> cases = {
        {"Delphi 3", {"append to " + help + "Delphi3.cfg" + link, "remove " + help + "delphi3.gid"}},
        {"Delphi 4", {"append to " + help + "Delphi4.cfg" + link, "append to " + help + "Delphi4.ohi" + index,
                      "append to " + help + "Delphi4.ohl" + link, "remove " + help + "delphi4.gid"}},
        {"Delphi 6", {"append to " + help + "Delphi6.ohi" + index, "append to " + help + "Delphi6.ohl" + link,
                      "remove " + help + "del6vcl.gid"}},
        {"Delphi 7", {"append to " + help + "d7.ohi" + index, "append to " + help + "d7.ohl" + link,
                      "remove " + help + "d7.gid"}},
        {"C++Builder 3", {"append to " + help + "bcb.ohi" + index, "remove " + help + "bcb.gid"}},
        {"C++Builder 6", {"append to " + help + "bcb6.ohi" + index, "append to " + help + "bcb6.ohl" + link,
                          "remove " + help + "bcb6vcl.gid"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> seen = Effects(Row(c.first), ScriptOp::AppendOnce);
        for (const std::string& removed : Effects(Row(c.first), ScriptOp::RemoveFile)) seen.push_back(removed);
        EXPECT_EQ(seen, c.second) << c.first;
    }
}

}  // namespace
