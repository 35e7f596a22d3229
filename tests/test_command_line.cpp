// The installer's command line: which start it asks for, and the folder and
// report file it names.
#include <gtest/gtest.h>

#include <cstring>

#include "command_line.h"

namespace {

TEST(CommandLine, ModesAndValues)
{
    struct Case {
        const char* line;
        StartMode mode;
        const char* destination;
        const char* logFile;
    };
    const Case cases[] = {
        {"install.exe", StartMode::Wizard, "", ""},
        {"\"C:\\Program Files\\x\\install.exe\"  ", StartMode::Wizard, "", ""},
        {"install.exe C:\\dropped file.txt /S", StartMode::Wizard, "", ""},
        {"install.exe /S", StartMode::Unattended, "", ""},
        {"\"C:\\a b\\install.exe\" /s /d=C:\\Dest Dir\\Sub  ", StartMode::Unattended, "C:\\Dest Dir\\Sub", ""},
        {"install.exe /S /LOG=\"C:\\my logs\\r.txt\" /D=D:\\", StartMode::Unattended, "D:\\", "C:\\my logs\\r.txt"},
        {"install.exe /LOG=r.txt\t/S", StartMode::Unattended, "", "r.txt"},
        {"install.exe /S /D=C:\\x /LOG=r.txt", StartMode::Unattended, "C:\\x", "r.txt"},
        {"install.exe /D=C:\\a b  /log=\"C:\\r s.txt\" /s", StartMode::Unattended, "C:\\a b", "C:\\r s.txt"},
        {"install.exe /S /D=C:\\\x95\\ /LOG=r.txt", StartMode::Unattended, "C:\\\x95\\", "r.txt"},
        {"install.exe /S /D=C:\\x/Sub /S", StartMode::BadCommandLine, "", ""},
        {"install.exe /S /D=C:\\x /D=C:\\y", StartMode::BadCommandLine, "", ""},
        {"install.exe /S /D= /LOG=r.txt", StartMode::BadCommandLine, "", ""},
        {"install.exe /D=C:\\x", StartMode::BadCommandLine, "", ""},
        {"install.exe /S /S", StartMode::BadCommandLine, "", ""},
        {"install.exe /SILENT", StartMode::BadCommandLine, "", ""},
        {"install.exe /S/D=C:\\x", StartMode::BadCommandLine, "", ""},
        {"install.exe /S /D=", StartMode::BadCommandLine, "", ""},
        {"install.exe /S /D=   ", StartMode::BadCommandLine, "", ""},
        {"install.exe /S /LOG=", StartMode::BadCommandLine, "", ""},
        {"install.exe /S /LOG=\"a b.txt", StartMode::BadCommandLine, "", ""},
        {"install.exe /S /LOG=\"a\"b", StartMode::BadCommandLine, "", ""},
        {"install.exe /S /X", StartMode::BadCommandLine, "", ""},
        {"install.exe /", StartMode::BadCommandLine, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        UnattendedOptions options;
        std::memset(&options, 'x', sizeof options);
        EXPECT_EQ(ParseCommandLine(c.line, &options), c.mode);
        if (c.mode == StartMode::BadCommandLine) continue;
        EXPECT_STREQ(options.destination, c.destination);
        EXPECT_STREQ(options.logFile, c.logFile);
    }
}

TEST(CommandLine, ValuesUpToAPathLong)
{
    const std::string fits(PathSize - 1, 'd'), over(PathSize, 'd');
    UnattendedOptions options;
    EXPECT_EQ(ParseCommandLine(("install.exe /S /D=" + fits).c_str(), &options), StartMode::Unattended);
    EXPECT_EQ(options.destination, fits);
    EXPECT_EQ(ParseCommandLine(("install.exe /S /LOG=" + fits).c_str(), &options), StartMode::Unattended);
    EXPECT_EQ(options.logFile, fits);
    EXPECT_EQ(ParseCommandLine(("install.exe /S /D=" + over).c_str(), &options), StartMode::BadCommandLine);
    EXPECT_EQ(ParseCommandLine(("install.exe /S /LOG=" + over).c_str(), &options), StartMode::BadCommandLine);
}

}  // namespace
