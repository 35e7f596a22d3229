// The built-in target table and install scripts, read as data.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue.h"
#include "templates.h"

namespace {

int EntryCount(const ScriptEntry* script)
{
    int n = 0;
    while (script[n].templateText) ++n;
    return n;
}

int StepSum(const ScriptEntry* script)
{
    int sum = 0;
    for (const ScriptEntry* e = script; e->templateText; ++e) {
        if (HoldsValueData(e->op)) continue;
        sum += e->stepOrValueData.number;
    }
    return sum;
}

std::vector<std::string> Captions()
{
    std::vector<std::string> captions;
    for (const InstallTarget* t = TargetTable; t->caption; ++t) captions.push_back(t->caption);
    return captions;
}

TEST(TargetTable, RowsInTableOrder)
{
    struct Row {
        const char* caption;
        const char* key;
        std::int32_t listState;
        int entries;
        int steps;
    };
    const Row rows[TargetCount] = {
        {" Files for Borland Delphi 3", "Software\\Borland\\Delphi\\3.0", 1, 19, 8},
        {" Files for Borland Delphi 4", "Software\\Borland\\Delphi\\4.0", 1, 21, 9},
        {" Files for Borland Delphi 5", "Software\\Borland\\Delphi\\5.0", 1, 20, 6},
        {" Files for Borland Delphi 6", "Software\\Borland\\Delphi\\6.0", 1, 20, 6},
        {" Files for Borland Delphi 7", "Software\\Borland\\Delphi\\7.0", 1, 20, 6},
        {" Files for Borland C++Builder 3", "Software\\Borland\\C++Builder\\3.0", 1, 22, 12},
        {" Files for Borland C++Builder 4", "Software\\Borland\\C++Builder\\4.0", 1, 24, 13},
        {" Files for Borland C++Builder 5", "Software\\Borland\\C++Builder\\5.0", 1, 24, 13},
        {" Files for Borland C++Builder 6", "Software\\Borland\\C++Builder\\6.0", 1, 24, 13},
        {" Shared Files", nullptr, -2, 10, 1},
        {" Demo Projects Files", nullptr, 1, 14, 5},
        {" Ostrevane Lib Context Help Files", nullptr, 1, 6, 3},
    };
    int total = 0;
    for (int i = 0; i < TargetCount; ++i) {
        const InstallTarget& t = TargetTable[i];
        SCOPED_TRACE(rows[i].caption);
        EXPECT_STREQ(t.caption, rows[i].caption);
        if (rows[i].key) {
            EXPECT_STREQ(t.registryKey, rows[i].key);
            EXPECT_STREQ(t.valueName, "RootDir");
        } else {
            EXPECT_EQ(t.registryKey, nullptr);
            EXPECT_EQ(t.valueName, nullptr);
        }
        EXPECT_EQ(t.listState, rows[i].listState);
        EXPECT_EQ(t.checkState, 1);
        EXPECT_EQ(t.listIndex, 0);
        EXPECT_EQ(t.rootFolder, nullptr);
        EXPECT_EQ(EntryCount(t.script), rows[i].entries);
        EXPECT_EQ(StepSum(t.script), rows[i].steps);
        total += StepSum(t.script);
        for (int j = 0; j < i; ++j) EXPECT_NE(t.script, TargetTable[j].script) << "rows share no script";
    }
    EXPECT_EQ(total, 95);
    EXPECT_EQ(TargetTable[TargetCount].caption, nullptr);
    EXPECT_EQ(Captions().size(), 12u);
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

TEST(InstallScripts, FilesAreWrittenInScriptOrder)
{
    const std::string d = "$HOME_DIR$\\$SUB_DIR$\\";
    const std::vector<std::string> delphi7 = {
        d + "$SUB_FILE$.dpk=700", d + "$SUB_FILE$.res=701", d + "wm_user.inc=71",
        d + "ostrevane.res=72",   d + "ostrevane.dcu=702",  d + "ostrevane.dcr=100",
    };
    EXPECT_EQ(Extractions(TargetTable[4].script), delphi7);
    const std::vector<std::string> delphi3 = {
        d + "$SUB_FILE$.dpk=300", d + "$SUB_FILE$.res=301", d + "wm_user.inc=71",
        d + "ostrevane.res=72",   d + "ostrevane.dcu=302",  d + "ostrevane.dcr=100",
    };
    EXPECT_EQ(Extractions(TargetTable[0].script), delphi3);
    const std::vector<std::string> cbuilder5 = {
        d + "$SUB_FILE$.bpk=8500", d + "$SUB_FILE$.cpp=8501", d + "$SUB_FILE$.res=8302",
        d + "wm_user.inc=71",      d + "ostrevane.res=72",    d + "ostrevane.obj=8506",
        d + "ostrevane.dcu=8504",  d + "ostrevane.hpp=8505",  d + "ostrevane.dcr=100",
    };
    EXPECT_EQ(Extractions(TargetTable[7].script), cbuilder5);
    const std::vector<std::string> shared = {"$HOME_DIR$\\readme.txt=200", "$HOME_DIR$\\license.txt=203",
                                             "$UNINST_DIR$\\kvxpurge.exe=7"};
    EXPECT_EQ(Extractions(TargetTable[9].script), shared);
    const std::vector<std::string> help = {d + "ostrevane.hlp=201", d + "ostrevane.cnt=202"};
    EXPECT_EQ(Extractions(TargetTable[11].script), help);
    EXPECT_EQ(Extractions(TargetTable[10].script).size(), 10u);

    // 6 files per Delphi row, 9 per C++Builder row: 81 with the other rows.
    std::size_t files = 0;
    for (const InstallTarget* t = TargetTable; t->caption; ++t) files += Extractions(t->script).size();
    EXPECT_EQ(files, 81u);
}

TEST(InstallScripts, DelphiThreeDiffersInExtensionAndSearchPathName)
{
    for (int row = 0; row < 5; ++row) {
        const ScriptEntry* s = TargetTable[row].script;
        const std::string ext = row == 0 ? ".dpl" : ".bpl";
        SCOPED_TRACE(TargetTable[row].caption);
        EXPECT_EQ(s[13].op, ScriptOp::CopyFileTo);
        EXPECT_EQ(std::string(s[13].templateText), "$HOME_DIR$\\$SUB_DIR$\\$SUB_FILE$" + ext);
        EXPECT_EQ(std::string(s[13].argument.text), "$SYS_DIR$\\$SUB_FILE$" + ext);
        EXPECT_EQ(std::string(s[14].templateText), "$HOME_DIR$\\$SUB_DIR$\\$SUB_FILE$" + ext);
        EXPECT_EQ(s[14].op, ScriptOp::PurgePackageEntries);
        EXPECT_EQ(s[15].op, ScriptOp::RegisterPackage);
        EXPECT_STREQ(s[15].argument.text, "Ostrevane v3.10 (trial) VCL");
        EXPECT_EQ(s[16].op, ScriptOp::ExtendSearchPath);
        EXPECT_STREQ(s[16].argument.text, row == 0 ? "SearchPath" : "Search Path");
        // The palette bitmap comes after "Compiling package ...".
        EXPECT_STREQ(s[10].templateText, "Compiling package ...");
        EXPECT_STREQ(s[11].templateText, "$HOME_DIR$\\$SUB_DIR$\\ostrevane.dcr");
    }
}

class ExpandedCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(AllocateEngineBuffers());
        SetVariable(HomeDir, "C:\\Tools\\Ostrevane");
        SetVariable(SysDir, "C:\\windows\\system32");
        SetVariable(DelphiDir, "C:\\Program Files\\Borland\\CBuilder6");
    }
    void TearDown() override { ReleaseEngineBuffers(); }

    // Every RunTool entry of a row, expanded after the row's SetSubDir and SetSubFile.
    std::vector<std::string> Commands(int row)
    {
        std::vector<std::string> out;
        for (const ScriptEntry* e = TargetTable[row].script; e->templateText; ++e) {
            EXPECT_TRUE(ExpandTemplate(e->templateText, TemplateBuffer, TemplateBufferSize));
            if (e->op == ScriptOp::SetSubDir) SetVariable(SubDir, TemplateBuffer);
            if (e->op == ScriptOp::SetSubFile) SetVariable(SubFile, TemplateBuffer);
            if (e->op != ScriptOp::RunTool) continue;
            EXPECT_TRUE(ExpandTemplate(e->argument.text, ArgumentBuffer, WorkBufferSize));
            out.push_back(std::string(TemplateBuffer) + " @ " + ArgumentBuffer);
        }
        return out;
    }
};

TEST_F(ExpandedCommands, ToolCommandLinesAndFolders)
{
    const std::string bin = "\"C:\\Program Files\\Borland\\CBuilder6\\Bin\\";
    EXPECT_EQ(Commands(4), std::vector<std::string>{bin + "dcc32.exe\" \"ovanlibd7.dpk\" @ C:\\Tools\\Ostrevane\\Delphi7"});
    EXPECT_EQ(Commands(0), std::vector<std::string>{bin + "dcc32.exe\" \"ovanlibd3.dpk\" @ C:\\Tools\\Ostrevane\\Delphi3"});
    EXPECT_EQ(Commands(5), std::vector<std::string>{bin + "make.exe\" /fovanlibb3.bpk @ C:\\Tools\\Ostrevane\\CBuilder3"});
    EXPECT_EQ(Commands(6), std::vector<std::string>{bin + "make.exe\" /fovanlibb4.bpk @ C:\\Tools\\Ostrevane\\CBuilder4"});
    const std::vector<std::string> cb6 = {
        bin + "bpr2mak.exe\" -oovanlibb6.mak ovanlibb6.bpk @ C:\\Tools\\Ostrevane\\CBuilder6",
        bin + "make.exe\" /fovanlibb6.mak\" @ C:\\Tools\\Ostrevane\\CBuilder6",
    };
    EXPECT_EQ(Commands(8), cb6);
    EXPECT_EQ(Commands(7).size(), 2u);
    EXPECT_EQ(Commands(9).size(), 0u);
}

TEST_F(ExpandedCommands, UninstallEntryHoldsTheExpandedLogPath)
{
    const ScriptEntry* shared = TargetTable[9].script;
    EXPECT_EQ(shared[4].op, ScriptOp::WriteMachineValue);
    EXPECT_STREQ(shared[4].templateText, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ostrevane");
    EXPECT_STREQ(shared[4].argument.text, "UninstallString");
    // The uninstaller by its full path in quotes, never a name to search for.
    SetVariable(UninstDir, "C:\\windows");
    ASSERT_TRUE(ExpandTemplate(shared[4].stepOrValueData.text, DataBuffer, WorkBufferSize));
    EXPECT_STREQ(DataBuffer, "\"C:\\windows\\kvxpurge.exe\" \"C:\\Tools\\Ostrevane\\uninst.kvx\"");
    EXPECT_STREQ(shared[5].argument.text, "QuietUninstallString");
    ASSERT_TRUE(ExpandTemplate(shared[5].stepOrValueData.text, DataBuffer, WorkBufferSize));
    EXPECT_STREQ(DataBuffer, "\"C:\\windows\\kvxpurge.exe\" /S \"C:\\Tools\\Ostrevane\\uninst.kvx\"");
    EXPECT_STREQ(shared[3].argument.text, "DisplayName");
    EXPECT_STREQ(shared[3].stepOrValueData.text, "Quillmere Ostrevane v3.10 (trial)");
}

TEST(InstallScripts, HelpLinesEndInCrLf)
{
    const ScriptEntry* d4 = TargetTable[1].script;
    EXPECT_STREQ(d4[17].argument.text, "\r\n:Link ostrevane.hlp\r\n");
    EXPECT_STREQ(d4[18].argument.text, "\r\n:INDEX Corvex Lib Help=ostrevane.hlp\r\n");
    EXPECT_STREQ(d4[18].templateText, "$DELPHI_DIR$\\Help\\Delphi4.ohi");
    EXPECT_STREQ(TargetTable[8].script[23].templateText, "$DELPHI_DIR$\\Help\\bcb6vcl.gid");
    EXPECT_EQ(TargetTable[8].script[23].op, ScriptOp::RemoveFile);
    EXPECT_STREQ(TargetTable[3].script[19].templateText, "$DELPHI_DIR$\\Help\\del6vcl.gid");
}

}  // namespace
