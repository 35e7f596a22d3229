// The installer's command line: which start it asks for, and the folder and
// report file it names.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "command_line.h"

namespace {

TEST(CommandLine, ModesAndValues)
{
    struct Case {
        const wchar_t* line;
        StartMode mode;
        const wchar_t* destination;
        const wchar_t* logFile;
        bool argvWords = false;  // each option one word, as CommandLineToArgvW splits the line
    };
    const Case cases[] = {
        {L"install.exe", StartMode::Wizard, L"", L""},
        {L"\"C:\\Program Files\\x\\install.exe\"  ", StartMode::Wizard, L"", L""},
        {L"install.exe C:\\dropped file.txt /S", StartMode::Wizard, L"", L""},
        {L"install.exe /S", StartMode::Unattended, L"", L""},
        {L"\"C:\\a b\\install.exe\" /s /d=C:\\Dest Dir\\Sub  ", StartMode::Unattended, L"C:\\Dest Dir\\Sub", L""},
        {L"install.exe /S /LOG=\"C:\\my logs\\r.txt\" /D=D:\\", StartMode::Unattended, L"D:\\", L"C:\\my logs\\r.txt"},
        {L"install.exe /LOG=r.txt\t/S", StartMode::Unattended, L"", L"r.txt"},
        {L"install.exe /S /D=C:\\x /LOG=r.txt", StartMode::Unattended, L"C:\\x", L"r.txt"},
        {L"install.exe /D=C:\\a b  /log=\"C:\\r s.txt\" /s", StartMode::Unattended, L"C:\\a b", L"C:\\r s.txt"},
        {L"install.exe /S /D=C:\\\u6771\u4eac\\ /LOG=C:\\\u0141\u00f3d\u017a.txt", StartMode::Unattended,
         L"C:\\\u6771\u4eac\\", L"C:\\\u0141\u00f3d\u017a.txt"},
        // Quoted whole, as PowerShell, .NET and Python quote each argument.
        {L"install.exe \"/D=C:\\a b\" /S", StartMode::Unattended, L"C:\\a b", L"", true},
        {L"install.exe /S \"/LOG=C:\\r s.txt\"", StartMode::Unattended, L"", L"C:\\r s.txt", true},
        {L"install.exe \"/S\"", StartMode::Unattended, L"", L"", true},
        {L"\"C:\\x\\install.exe\" \"/S\" \"/LOG=C:\\r.txt\" \"/D=C:\\Program Files\\Ostrevane\\\\\"", StartMode::Unattended,
         L"C:\\Program Files\\Ostrevane\\", L"C:\\r.txt", true},
        {L"install.exe \"/s\" \"/D=C:\\a \\\"b\\\"\"\"c\"", StartMode::Unattended, L"C:\\a \"b\"\"c", L"", true},
        {L"install.exe /S /D=C:\\a b \"/LOG=C:\\r s.txt\"", StartMode::Unattended, L"C:\\a b", L"C:\\r s.txt"},
        {L"install.exe \"/S /D=C:\\x\"", StartMode::BadCommandLine, L"", L""},
        {L"install.exe \"/D=\" /S", StartMode::BadCommandLine, L"", L""},
        {L"install.exe /S \"/S\"", StartMode::BadCommandLine, L"", L""},
        {L"install.exe /S /D=C:\\x/Sub /S", StartMode::BadCommandLine, L"", L""},
        {L"install.exe /S /D=C:\\x /D=C:\\y", StartMode::BadCommandLine, L"", L""},
        {L"install.exe /S /D= /LOG=r.txt", StartMode::BadCommandLine, L"", L""},
        {L"install.exe /D=C:\\x", StartMode::BadCommandLine, L"", L""},
        {L"install.exe /S /S", StartMode::BadCommandLine, L"", L""},
        {L"install.exe /SILENT", StartMode::BadCommandLine, L"", L""},
        {L"install.exe /S/D=C:\\x", StartMode::BadCommandLine, L"", L""},
        {L"install.exe /S /D=", StartMode::BadCommandLine, L"", L""},
        {L"install.exe /S /D=   ", StartMode::BadCommandLine, L"", L""},
        {L"install.exe /S /LOG=", StartMode::BadCommandLine, L"", L""},
        {L"install.exe /S /LOG=\"a b.txt", StartMode::BadCommandLine, L"", L""},
        {L"install.exe /S /LOG=\"a\"b", StartMode::BadCommandLine, L"", L""},
        {L"install.exe /S /X", StartMode::BadCommandLine, L"", L""},
        {L"install.exe /", StartMode::BadCommandLine, L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        UnattendedOptions options;
        std::fill(options.destination, options.destination + PathSize, L'x');
        std::fill(options.logFile, options.logFile + PathSize, L'x');
        EXPECT_EQ(ParseCommandLine(c.line, &options), c.mode);
        if (c.mode == StartMode::BadCommandLine) continue;
        EXPECT_STREQ(options.destination, c.destination);
        EXPECT_STREQ(options.logFile, c.logFile);
        if (!c.argvWords) continue;
        int count = 0;
        wchar_t** words = CommandLineToArgvW(c.line, &count);
        ASSERT_NE(words, nullptr);
        std::vector<std::wstring> split(words + 1, words + count), taken;
        LocalFree(words);
        for (const std::wstring& word : split) {
            if (_wcsicmp(word.c_str(), L"/S") == 0) taken.push_back(word);
            else if (_wcsnicmp(word.c_str(), L"/D=", 3) == 0) taken.push_back(word.substr(0, 3) + options.destination);
            else taken.push_back(word.substr(0, 5) + options.logFile);
        }
        EXPECT_EQ(taken, split) << "not as CommandLineToArgvW splits it";
    }
}

TEST(CommandLine, ValuesUpToAPathLong)
{
    const std::wstring fits(PathSize - 1, L'd'), over(PathSize, L'd');
    UnattendedOptions options;
    for (const wchar_t* form : {L"install.exe /S /D=", L"install.exe /S \"/D="}) {
        EXPECT_EQ(ParseCommandLine((form + fits).c_str(), &options), StartMode::Unattended);
        EXPECT_EQ(options.destination, fits);
        EXPECT_EQ(ParseCommandLine((form + over).c_str(), &options), StartMode::BadCommandLine);
    }
    for (const wchar_t* form : {L"install.exe /S /LOG=", L"install.exe /S \"/LOG="}) {
        EXPECT_EQ(ParseCommandLine((form + fits).c_str(), &options), StartMode::Unattended);
        EXPECT_EQ(options.logFile, fits);
        EXPECT_EQ(ParseCommandLine((form + over).c_str(), &options), StartMode::BadCommandLine);
    }
}

}  // namespace
