// Template placeholders and text routines.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "component_version.h"
#include "templates.h"

namespace {

class Engine : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(AllocateEngineBuffers()); }
    void TearDown() override { ReleaseEngineBuffers(); }

    std::string Expand(const char* templ)
    {
        EXPECT_TRUE(ExpandTemplate(templ, ArgumentBuffer, WorkBufferSize)) << templ;
        return ArgumentBuffer;
    }
};

// The templates' rule folds bit 5 of every byte; names of files and folders
// fold the letters A to Z only.
// Windows' comma form, as the logon reads it: what counts as absent, and the
// value written back.
TEST(ComponentVersionRule, CommaFormReadAndWrittenBack)
{
    const struct {
        const char* text;
        const char* read;  // written back; null: absent
    } rows[] = {
        {"1", "1,0,0,0"},          {"2026,1210,514,3007", "2026,1210,514,3007"},
        {"0065535,0", "65535,0,0,0"}, {"65536", nullptr},  {"1,2,3,4,5", nullptr},
        {"", nullptr},             {"1,", nullptr},       {",1", nullptr},
        {"1, 2", nullptr},         {"-1", nullptr},       {"1.2.3.4", nullptr},
        {"99999999999999999999", nullptr},
    };
    for (const auto& row : rows) {
        ComponentVersion version;
        version.part[0] = 77;
        const bool read = ParseComponentVersion(row.text, &version);
        EXPECT_EQ(read, row.read != nullptr) << row.text;
        char text[ComponentVersionTextSize + 1];
        text[ComponentVersionTextSize] = 'x';
        FormatComponentVersion(version, text);
        EXPECT_STREQ(text, row.read ? row.read : "0,0,0,0") << row.text;
        EXPECT_EQ(text[ComponentVersionTextSize], 'x');
    }
    // Compared part by part as numbers, not as text.
    ComponentVersion nine, ten;
    ASSERT_TRUE(ParseComponentVersion("1,9", &nine) && ParseComponentVersion("1,10", &ten));
    EXPECT_LT(CompareComponentVersions(nine, ten), 0);
    EXPECT_GT(CompareComponentVersions(ten, nine), 0);

    // Raised in place, as the installer and kvxpurge raise the text they read:
    // from the clock when it is ahead, else the old one carried.
    const VersionMoment now = {2026, 12, 10, 5, 14, 3, 8};
    const struct {
        const char* old;
        const char* raised;
        bool rose;
    } raises[] = {
        {"", "2026,1210,514,3008", true},       {"2026,1210,514,3007", "2026,1210,514,3008", true},
        {"9999,1,1,2", "9999,1,1,3", true},     {"9999,1,65535,65535", "9999,2,0,0", true},
        {"2026,1210,514,3008", "2026,1210,514,3009", true},
        {"65535,65535,65535,65535", "65535,65535,65535,65535", false},
    };
    for (const auto& row : raises) {
        char text[ComponentVersionTextSize];
        std::snprintf(text, sizeof text, "%s", row.old);
        EXPECT_EQ(RaiseVersionText(text, now), row.rose) << row.old;
        EXPECT_STREQ(text, row.raised) << row.old;
    }
}

TEST(FoldRule, PairsDifferingInBit5AreEqual)
{
    struct Pair {
        unsigned char a, b;
        bool equal;
        bool samePath;
    };
    const Pair pairs[] = {
        {'A', 'a', true, true},     {'Z', 'z', true, true},     {'@', '`', true, false},
        {'[', '{', true, false},    {'\\', '|', true, false},   {']', '}', true, false},
        {'^', '~', true, false},    {'_', 0x7F, true, false},   {0x0D, '-', true, false},
        {0x01, '!', true, false},   {0x80, 0xA0, true, false},  {0xC0, 0xE0, true, false},
        {'A', 'B', false, false},   {'1', '2', false, false},   {'\\', '/', false, false},
        {'a', 'A' + 1, false, false},
    };
    for (const Pair& p : pairs) {
        EXPECT_EQ(FoldRule(p.a, p.b), p.equal) << std::hex << int(p.a) << " vs " << int(p.b);
        EXPECT_EQ(FoldRule(p.b, p.a), p.equal) << std::hex << int(p.b) << " vs " << int(p.a);
        const char a[] = {'C', ':', '\\', 'x', static_cast<char>(p.a), 0}, b[] = {'c', ':', '\\', 'X', static_cast<char>(p.b), 0};
        EXPECT_EQ(SamePath(a, b), p.samePath) << std::hex << int(p.a) << " vs " << int(p.b);
        EXPECT_EQ(SamePath(b, a), p.samePath) << std::hex << int(p.b) << " vs " << int(p.a);
    }
}

TEST(FindFolded, PositionsAndMisses)
{
    const char* text = "C:\\Borland|Delphi7\\Lib";
    EXPECT_EQ(FindFolded("", text), text);
    const char* empty = "";
    EXPECT_EQ(FindFolded("", empty), empty);
    EXPECT_EQ(FindFolded("borland", text), text + 3);
    EXPECT_EQ(FindFolded("\\delphi7", text), text + 10);  // backslash matches the vertical bar
    EXPECT_EQ(FindFolded("LIB", text), text + 19);
    EXPECT_EQ(FindFolded("Lib\\", text), nullptr);         // the text ends inside the match
    EXPECT_EQ(FindFolded("C:\\Borland|Delphi7\\Lib!", text), nullptr);
    EXPECT_EQ(FindFolded("x", ""), nullptr);
    const char* crlf = "a\r\n";
    EXPECT_EQ(FindFolded("-", crlf), crlf + 1);  // CR folds to the hyphen
}

TEST(ReplaceAll, ReplacesLeftToRightWithoutOverlap)
{
    struct Case {
        const char* text;
        const char* pattern;
        const char* replacement;
        const char* expected;
    };
    const Case cases[] = {
        {"aaa", "aa", "X", "Xa"},
        {"abab", "ab", "", ""},
        {"x;A;a;y", ";a", "+", "x++;y"},
        {"no match here", "zz", "Q", "no match here"},
        {"", "a", "b", ""},
        {"C:\\Dir|Sub", "\\dir\\", "/", "C:/Sub"},
        {"path", "path", "$SUB_DIR$", "$SUB_DIR$"},  // the replacement is never searched again
        {"keep", "", "X", "keep"},                    // an empty pattern copies the text
    };
    for (const Case& c : cases) {
        char out[64];
        std::memset(out, '#', sizeof out);
        ASSERT_EQ(ReplaceAll(c.text, c.pattern, c.replacement, out, sizeof out), out) << c.text;
        EXPECT_STREQ(out, c.expected) << c.text << " / " << c.pattern;
    }
}

TEST(ReplaceAll, RefusesResultsThatDoNotFitAndNeverWritesPastTheBuffer)
{
    char buffer[16 + 4];
    std::memset(buffer, 0x5A, sizeof buffer);
    // "abcdefgh" with every letter doubled needs 17 bytes with its terminator.
    EXPECT_EQ(ReplaceAll("abcdefgh", "a", "aa", buffer, 9), nullptr);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(ReplaceAll("aaaaaaaa", "a", "bb", buffer, 16), nullptr);
    EXPECT_STREQ(buffer, "");
    for (std::size_t i = 16; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 0x5A) << i;
    // Exactly full still fits.
    EXPECT_EQ(ReplaceAll("aaaaaaa", "a", "bb", buffer, 15), buffer);
    EXPECT_STREQ(buffer, "bbbbbbbbbbbbbb");
    EXPECT_EQ(ReplaceAll("0123456789abcdef", "", "x", buffer, 16), nullptr);  // 17 bytes needed
    EXPECT_STREQ(buffer, "");
}

TEST(CopyText, BoundedAndNeverCut)
{
    char dst[8 + 2];
    std::memset(dst, 0x5A, sizeof dst);
    EXPECT_TRUE(CopyText(dst, 8, "1234567"));
    EXPECT_STREQ(dst, "1234567");
    EXPECT_FALSE(CopyText(dst, 8, "12345678"));
    EXPECT_STREQ(dst, "");
    EXPECT_EQ(dst[8], 0x5A);
    EXPECT_EQ(dst[9], 0x5A);
    EXPECT_TRUE(CopyText(dst, 8, "abc"));
    EXPECT_TRUE(AppendText(dst, 8, "defg"));
    EXPECT_STREQ(dst, "abcdefg");
    EXPECT_FALSE(AppendText(dst, 8, "h"));
    EXPECT_STREQ(dst, "abcdefg");  // left as it was
}

TEST_F(Engine, UnsetVariablesExpandToTheEmptyText)
{
    SetVariable(SubDir, "Delphi7");
    EXPECT_EQ(Expand(";$HOME_OLD$\\$SUB_DIR$"), ";\\Delphi7");
    EXPECT_EQ(Expand("no variable at all $(DELPHI)\\Lib;$(BCB)"), "no variable at all $(DELPHI)\\Lib;$(BCB)");
}

TEST_F(Engine, NamesMatchUnderTheFoldRule)
{
    SetVariable(HomeDir, "C:\\Ostrevane");
    SetVariable(DelphiDir, "C:\\D7");
    SetVariable(DelphiDirShort, "C:\\D7S");
    EXPECT_EQ(Expand("$home_dir$\\x"), "C:\\Ostrevane\\x");
    EXPECT_EQ(Expand("$DELPHI_DIR$|$DELPHI_DIR_SHORT$"), "C:\\D7|C:\\D7S");
    // "$HOME|DIR$" is not the name: '|' folds with '\\', not with '_'.
    EXPECT_EQ(Expand("$HOME|DIR$"), "$HOME|DIR$");
}

TEST_F(Engine, SubstitutionFollowsTheTableOrder)
{
    // A value naming a later variable is expanded again; an earlier one stays.
    SetVariable(SubDir, "$SYS_DIR$\\x");
    SetVariable(SysDir, "C:\\WINDOWS\\SYSTEM32");
    EXPECT_EQ(Expand("$SUB_DIR$"), "C:\\WINDOWS\\SYSTEM32\\x");
    SetVariable(SubFile, "$HOME_DIR$");
    SetVariable(HomeDir, "D:\\Home");
    EXPECT_EQ(Expand("$SUB_FILE$"), "$HOME_DIR$");
    EXPECT_STREQ(ScratchBuffer, "$HOME_DIR$");  // the copy of the result
}

TEST_F(Engine, AnExpansionThatDoesNotFitYieldsNothingToActOn)
{
    std::string value(260, 'v');
    ASSERT_TRUE(SetVariable(HomeDir, value.c_str()));
    std::string templ;
    for (int i = 0; i < 8; ++i) templ += "$HOME_DIR$";  // 2080 bytes and a terminator
    EXPECT_FALSE(ExpandTemplate(templ.c_str(), TemplateBuffer, TemplateBufferSize));
    EXPECT_STREQ(TemplateBuffer, "");
    templ.resize(templ.size() - 10);
    templ += "$HOME_DIR";  // 7 names: 1820 + 9 bytes fit
    ASSERT_TRUE(ExpandTemplate(templ.c_str(), TemplateBuffer, TemplateBufferSize));
    EXPECT_EQ(TextLength(TemplateBuffer), 7u * 260 + 9);

    // The buffer the expansion works in is neither its template nor its output.
    CopyText(ScratchBuffer, WorkBufferSize, "$HOME_DIR$");
    EXPECT_FALSE(ExpandTemplate(ScratchBuffer, TemplateBuffer, TemplateBufferSize));
    EXPECT_STREQ(TemplateBuffer, "");
    EXPECT_FALSE(ExpandTemplate("$HOME_DIR$", ScratchBuffer, WorkBufferSize));
    EXPECT_STREQ(ScratchBuffer, "");
    CopyText(ArgumentBuffer, WorkBufferSize, "$HOME_DIR$");
    EXPECT_FALSE(ExpandTemplate(ArgumentBuffer, ArgumentBuffer, WorkBufferSize));
    EXPECT_STREQ(ArgumentBuffer, "");

    // An output of no bytes at all is never written to.
    char sentinel = 0x5A;
    EXPECT_FALSE(ExpandTemplate("abc", &sentinel, 0));
    EXPECT_EQ(sentinel, 0x5A);
}

TEST_F(Engine, ValuesKeepAt260Characters)
{
    std::string fits(260, 'a');
    EXPECT_TRUE(SetVariable(HomeOld, fits.c_str()));
    EXPECT_EQ(VariableValue(HomeOld), fits);
    std::string longer(261, 'b');
    EXPECT_FALSE(SetVariable(HomeOld, longer.c_str()));
    EXPECT_STREQ(VariableValue(HomeOld), "");
}

TEST_F(Engine, BuffersStartZeroFilled)
{
    for (int i = 0; i < VariableCount; ++i) {
        for (std::size_t b = 0; b < ValueSize; ++b) ASSERT_EQ(VariableTable[i].value[b], 0);
    }
    for (std::size_t b = 0; b < TemplateBufferSize; ++b) ASSERT_EQ(TemplateBuffer[b], 0);
    for (char* buffer : {ScratchBuffer, ArgumentBuffer, DataBuffer, PatternBuffer, ResultBuffer})
        for (std::size_t b = 0; b < WorkBufferSize; ++b) ASSERT_EQ(buffer[b], 0);
    ReleaseEngineBuffers();
    EXPECT_EQ(TemplateBuffer, nullptr);
    EXPECT_EQ(VariableTable[0].value, nullptr);
    ReleaseEngineBuffers();  // a second release does nothing
}

TEST(PathTrim, TrimTrailingSeparator)
{
    struct Case {
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\Dir\\", "C:\\Dir"},     {"C:\\Dir\\  ", "C:\\Dir"},  {"C:\\Dir\\\"", "C:\\Dir"},
        {"C:\\Dir/ \" ", "C:\\Dir"},  {"C:\\Dir ", "C:\\Dir "},    {"C:\\", "C:\\"},
        {"C:\\Dir\\\\", "C:\\Dir\\"}, {"\\", "\\"},                {"", ""},
        {" \\", " "},                 {"\\ ", "\\ "},              {"C:\\Dir", "C:\\Dir"},
        {"C:\\ ", "C:\\ "},           {"D:/", "D:/"},
    };
    for (const Case& c : cases) {
        char path[32];
        std::strcpy(path, c.path);
        TrimTrailingSeparator(path);
        EXPECT_STREQ(path, c.expected) << '[' << c.path << ']';
    }
}

// Code page 932: the second byte of 表 (95 5C) and ソ (83 5C) is a backslash,
// that of ア (83 41) a capital A. Each is one character, never a separator or
// a letter.
class DoubleByte : public ::testing::Test {
protected:
    void SetUp() override { SetLeadByteRanges(Japanese, sizeof Japanese); }
    void TearDown() override { SetLeadByteRanges(nullptr, 0); }
    static constexpr unsigned char Japanese[12] = {0x81, 0x9F, 0xE0, 0xFC};
};

TEST_F(DoubleByte, PathsAreWalkedByCharacter)
{
    struct Case {
        const char* path;
        void (*routine)(char*);
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\Work\\\x95\x5C", TrimTrailingSeparator, "C:\\Work\\\x95\x5C"},
        {"C:\\Work\\\x95\x5C\\ ", TrimTrailingSeparator, "C:\\Work\\\x95\x5C"},
        {"\x95\x5C", TrimTrailingSeparator, "\x95\x5C"},
        {"C:\\\x83\x5C\x83\x74\x83\x67\\\x88\xEA\x97\x97\x95\x5C", CutToParentFolder,
         "C:\\\x83\x5C\x83\x74\x83\x67"},
        {"C:\\Work\\\x95\x5C", CutToParentFolder, "C:\\Work"},
        {"C:\\\x95\x5C", CutToParentFolder, "C:"},
        {" \"C:\\Work\\\x95\x5C \\\\\"", TrimPathEnds, "C:\\Work\\\x95\x5C"},
        {"C:\\Work\\\x95\x5C\x95\x5C", TrimPathEnds, "C:\\Work\\\x95\x5C\x95\x5C"},
        {"C:\\ \\/", TrimPathEnds, "C:\\"},
    };
    for (const Case& c : cases) {
        char path[64];
        std::strcpy(path, c.path);
        c.routine(path);
        EXPECT_STREQ(path, c.expected) << '[' << c.path << ']';
    }
    // Neither a trail byte nor a lead byte is a letter or a separator to search for.
    EXPECT_EQ(FindFolded("\\", "C:\x95\x5C"), nullptr);
    EXPECT_EQ(FindFolded("a", "\x83\x41"), nullptr);
    EXPECT_EQ(FindFolded("\x83\x41", "x\x83\x61"), nullptr) << "ア is not 83 61";
    const char text[] = "\x83\x41\x83\x41" "A";
    EXPECT_EQ(FindFolded("a", text), text + 4);
    EXPECT_EQ(AfterFolded("C:\\\x95\x5C\\x", "c:\\\x95\x5C"), std::string("\\x"));
    EXPECT_EQ(AfterFolded("C:\\\x95\x7C", "c:\\\x95\x5C"), nullptr);
    // Names of files and folders under the same walk: a trail byte is no letter.
    EXPECT_EQ(AfterPathPrefix("C:\\\x95\x5C\\x", "c:\\\x95\x5C"), std::string("\\x"));
    EXPECT_EQ(AfterPathPrefix("C:\\\x83\x41", "c:\\\x83\x61"), nullptr) << "ア is not 83 61";
    EXPECT_EQ(AfterPathPrefix("C:\\\x83\x41x", "C:\\\x83"), nullptr) << "no half character";
    EXPECT_TRUE(SamePath("C:\\\x83\x41\\KIT", "c:\\\x83\x41\\kit"));
}

TEST(PathTrim, CutToParentFolder)
{
    struct Case {
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Borland\\Delphi7", "C:\\Program Files\\Borland"},
        {"C:\\Delphi7", "C:"},
        {"C:\\Delphi7\\", "C:"},
        {"C:\\", "C:"},
        {"C:", "C:"},
        {"C:Delphi7", "C:Delphi7"},
        {"Delphi7", "Delphi7"},
        {"\\Delphi7", "\\Delphi7"},
        {"", ""},
        {"D:/Tools/\"Delphi\"", "D:/Tools"},
    };
    for (const Case& c : cases) {
        char path[64];
        std::strcpy(path, c.path);
        CutToParentFolder(path);
        EXPECT_STREQ(path, c.expected) << '[' << c.path << ']';
    }
}

}  // namespace
