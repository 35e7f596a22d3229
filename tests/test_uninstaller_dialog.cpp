// kvxpurge's dialog: its resources as the program file holds them, its
// start-up from every command line, and its four states.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <set>
#include <vector>
#include <string>

#include "gui_driver.h"
#include "test_files.h"
#include "uninstaller_driver.h"

namespace {

// --- The resources, read from the program file -----------------------------

struct TemplateReader {
    const BYTE* at;
    WORD Word() { WORD v = *reinterpret_cast<const WORD*>(at); at += 2; return v; }
    DWORD Dword() { DWORD v = *reinterpret_cast<const DWORD*>(at); at += 4; return v; }
    std::string Text()  // sz_Or_Ord: an ordinal comes back as "#n"
    {
        if (*reinterpret_cast<const WORD*>(at) == 0xFFFF) {
            at += 2;
            return "#" + std::to_string(Word());
        }
        std::string text;
        for (WORD c; (c = Word()) != 0;) text += static_cast<char>(c);
        return text;
    }
    void AlignDword() { at = reinterpret_cast<const BYTE*>((reinterpret_cast<uintptr_t>(at) + 3) & ~uintptr_t(3)); }
};

std::string Upper(std::string text)  // class names compare without case
{
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

struct ControlRow {
    WORD id;
    const char* windowClass;  // "#128" button, "#130" static
    std::string text;
    short x, y, cx, cy;
    DWORD style, exStyle;
};

TEST(UninstallerResources, DialogTemplateIconAndPicture)
{
    HMODULE module = LoadLibraryExA(Kvxpurge().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDD_UNINSTALL), MAKEINTRESOURCEA(5));  // RT_DIALOG
    ASSERT_NE(found, nullptr);
    TemplateReader in = {static_cast<const BYTE*>(LockResource(LoadResource(module, found)))};

    EXPECT_EQ(in.Word(), 1);  // extended template
    EXPECT_EQ(in.Word(), 0xFFFF);
    in.Dword();  // help id
    EXPECT_EQ(in.Dword(), 0u);
    EXPECT_EQ(in.Dword(), DWORD(WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME |
                                DS_CENTER | DS_3DLOOK | DS_SETFONT));
    const WORD count = in.Word();
    const short box[4] = {short(in.Word()), short(in.Word()), short(in.Word()), short(in.Word())};
    EXPECT_EQ(box[2], 221);
    EXPECT_EQ(box[3], 143);
    EXPECT_EQ(in.Text(), "");  // menu
    EXPECT_EQ(in.Text(), "");  // class
    EXPECT_EQ(in.Text(), DialogCaption);
    EXPECT_EQ(in.Word(), 8);   // points
    in.Word();                 // weight
    in.Word();                 // italic, charset
    EXPECT_EQ(in.Text(), "MS Sans Serif");

    const DWORD child = WS_CHILD | WS_VISIBLE;
    const ControlRow expected[] = {
        // id          class   text                      x    y    cx   cy  style                                                 exStyle
        {IDC_UNINSTALL, "#128", "Uninstall !!!",          78,  124, 50,  14, child | WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON,      0},
        {IDC_CANCEL,    "#128", "Cancel",                 163, 124, 50,  14, child | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON,      0},
        {IDC_PICTURE,   "Static", "#103",                   3,   4,   75,  44, child | SS_BITMAP | SS_CENTERIMAGE | SS_REALSIZEIMAGE, WS_EX_TRANSPARENT},
        {IDC_PROGRESS,  "msctls_progress32", "Progress1", 84,  105, 129, 11, WS_CHILD | PBS_SMOOTH,                                 0},
        {IDC_STAGE,     "#130", WrongStartText,           85,  57,  128, 25, child | WS_GROUP | SS_LEFT,                            0},
        {IDC_STATUS,    "#130", " ",                      83,  89,  130, 10, child | WS_GROUP | SS_LEFT,                            0},
        {IDC_HEADLINE,  "#130", HeadlineText,             83,  4,   130, 48, child | WS_GROUP | SS_LEFT,                            0},
    };
    ASSERT_EQ(count, std::size(expected));
    for (const ControlRow& row : expected) {
        SCOPED_TRACE(row.id);
        in.AlignDword();
        in.Dword();  // help id
        EXPECT_EQ(in.Dword(), row.exStyle);
        EXPECT_EQ(in.Dword(), row.style);
        const short place[4] = {short(in.Word()), short(in.Word()), short(in.Word()), short(in.Word())};
        EXPECT_EQ(place[0], row.x);
        EXPECT_EQ(place[1], row.y);
        EXPECT_EQ(place[2], row.cx);
        EXPECT_EQ(place[3], row.cy);
        EXPECT_EQ(in.Dword(), row.id);
        EXPECT_EQ(Upper(in.Text()), Upper(row.windowClass));
        EXPECT_EQ(in.Text(), row.text);
        in.at += in.Word();  // creation data
    }

    found = FindResourceA(module, MAKEINTRESOURCEA(IDB_PICTURE), MAKEINTRESOURCEA(2));  // RT_BITMAP
    ASSERT_NE(found, nullptr);
    const auto* picture = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found)));
    EXPECT_EQ(picture->biWidth, 150);
    EXPECT_EQ(picture->biHeight, 88);
    EXPECT_EQ(picture->biBitCount, 8);
    // Stored run-length encoded; loaded as the dialog loads it, every colour
    // of the picture comes back.
    HBITMAP shown = static_cast<HBITMAP>(LoadImageA(module, MAKEINTRESOURCEA(IDB_PICTURE), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(shown, nullptr);
    BITMAPINFO wanted = {};
    wanted.bmiHeader = {sizeof(BITMAPINFOHEADER), 150, 88, 1, 32, BI_RGB};
    std::vector<DWORD> pixels(150 * 88);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDIBits(screen, shown, 0, 88, pixels.data(), &wanted, DIB_RGB_COLORS), 88);
    ReleaseDC(nullptr, screen);
    DeleteObject(shown);
    EXPECT_EQ(std::set<DWORD>(pixels.begin(), pixels.end()).size(), 234u);

    found = FindResourceA(module, MAKEINTRESOURCEA(IDI_UNINSTALL), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    ASSERT_NE(found, nullptr);
    TemplateReader icons = {static_cast<const BYTE*>(LockResource(LoadResource(module, found)))};
    icons.Word();
    EXPECT_EQ(icons.Word(), 1);  // an icon
    EXPECT_EQ(icons.Word(), 1);  // one image
    EXPECT_EQ(icons.at[0], 32);
    EXPECT_EQ(icons.at[1], 32);
    EXPECT_EQ(icons.at[2], 16);  // colours
    FreeLibrary(module);
}

// --- Start-up and the four states ---------------------------------------------

TEST(UninstallerStates, ReadyReplayFinishedAndClose)
{
    ScopedTestFolder folder(TestFolderName);
    const std::string log = folder / "uninst.kvx";
    WriteBytes(log, Record(1, Product) + Record(2, " Shared Files") + Record(3, folder / "readme.txt"));
    WriteBytes(folder / "readme.txt", "read me");

    Uninstaller run(CommandFor(log));
    ASSERT_TRUE(run.Shown());
    EXPECT_STATE(run, Ready(Product, log));
    EXPECT_TRUE(FileExists(folder / "readme.txt")) << "nothing is removed before the click";
    char className[32] = "";
    GetClassNameA(run.Item(IDC_PROGRESS), className, sizeof className);
    EXPECT_STREQ(className, "msctls_progress32");
    EXPECT_NE(SendMessageA(run.Item(IDC_PICTURE), STM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "picture shown";

    run.Click(IDC_UNINSTALL);
    EXPECT_STATE(run, Finished(Product));
    EXPECT_FALSE(FileExists(folder / "readme.txt"));

    run.Click(IDC_CANCEL);  // now "Finish"
    EXPECT_EQ(run.ExitCode(), 0);
}

TEST(UninstallerStates, ReplayingShowsCaptionAndDeletion)
{
    ScopedTestFolder folder(TestFolderName);
    const std::string log = folder / "uninst.kvx";
    // Long enough to be caught in the middle: thousands of files that are not there.
    std::string bytes = Record(1, Product) + Record(2, " Files for Borland Delphi 7");
    while (bytes.size() < 60000) bytes += Record(3, folder / ("gone" + std::to_string(bytes.size()) + ".dcu"));
    WriteBytes(log, bytes);

    Uninstaller run(CommandFor(log));
    ASSERT_TRUE(run.Shown());
    ASSERT_TRUE(PostClick(run.Dialog(), IDC_UNINSTALL));
    bool caught = false;
    for (DWORD start = GetTickCount(); !caught && GetTickCount() - start < Scaled(5000);) {
        if (run.StoredText(IDC_STATUS) != "Deleting the files ...") continue;
        SuspendThread(run.MainThread());  // hold the replay where it is
        caught = run.StoredText(IDC_STATUS) == "Deleting the files ...";
        if (caught) {
            EXPECT_EQ(run.StoredText(IDC_HEADLINE), Product);
            EXPECT_EQ(run.StoredText(IDC_STAGE), " Files for Borland Delphi 7") << "leading blank kept";
            EXPECT_TRUE(run.Visible(IDC_PROGRESS));
            EXPECT_TRUE(run.Visible(IDC_UNINSTALL));
            EXPECT_TRUE(run.Enabled(IDC_UNINSTALL));
            EXPECT_EQ(run.StoredText(IDC_CANCEL), "Cancel");
        }
        ResumeThread(run.MainThread());
    }
    ASSERT_TRUE(caught) << "the replay was never seen under way";

    for (DWORD start = GetTickCount(); run.StoredText(IDC_STAGE) != "Finished" && GetTickCount() - start < Scaled(10000);)
        Sleep(20);
    // The stage reads Finished before the click's handling returns; a thread
    // that has not taken a message for seconds counts as hung to the reads below.
    SendMessageTimeoutA(run.Dialog(), WM_NULL, 0, 0, SMTO_NORMAL, Scaled(10000), nullptr);
    EXPECT_STATE(run, Finished(Product));
    EXPECT_EQ(run.Progress(PBM_GETPOS), static_cast<LRESULT>(bytes.size())) << "the bar ends full";
    run.Send(WM_CLOSE, 0);
    EXPECT_EQ(run.ExitCode(), 0);
}

// The program's name is passed over as Windows reads it (up to its closing
// quote, or its first blank); the rest is the path, blanks and all, or the
// text in quotes.
TEST(UninstallerStates, CommandLines)
{
    ScopedTestFolder folder(TestFolderName);
    const std::string log = folder / "uninst.kvx";
    WriteBytes(log, Record(1, Product));
    const std::string program = Kvxpurge();
    const std::string quoted = "\"" + program + "\"";

    // A log path of exactly 259 characters loads; one more character is refused,
    // although the cut path would name that very log.
    std::string deep = folder.Path();
    while (deep.size() < 200) {
        deep += "\\sub folder";
        CreateDirectoryA(deep.c_str(), nullptr);
    }
    const std::string longest = deep + "\\" + std::string(259 - deep.size() - 1, 'k');
    ASSERT_EQ(longest.size(), 259u);
    WriteBytes(longest, Record(1, Product));

    const struct {
        const char* what;
        std::string commandLine;
        bool ready;
        std::string status;
    } cases[] = {
        {"earlier kits' form, blanks in the path", CommandFor(log), true, log},
        {"full path and log in quotes", quoted + " \"" + log + "\"", true, log},
        {"quoted path, log without quotes", quoted + "  " + log, true, log},
        {"a quoted log without its closing quote", quoted + " \"" + log, true, log},
        {"nothing behind the name", "kvxpurge.exe", false, ""},
        {"a short name", "kvx", false, ""},
        {"started with its quoted path", quoted, false, ""},
        {"a blank behind the quoted path", quoted + " ", false, ""},
        {"no such file", CommandFor(folder / "missing.kvx"), false, folder / "missing.kvx"},
        {"a folder", CommandFor(folder.Path()), false, folder.Path()},
        {"259 characters", CommandFor(longest), true, longest},
        {"260 characters", CommandFor(longest + "x"), false, longest + "x"},
        {"259 characters in quotes", quoted + " \"" + longest + "\"", true, longest},
        {"260 characters in quotes", quoted + " \"" + longest + "x\"", false, longest + "x\""},
        {"far too long", CommandFor(longest + std::string(600, 'x')), false, longest + std::string(600, 'x')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Uninstaller run(c.commandLine, program);
        ASSERT_TRUE(run.Shown());
        EXPECT_STATE(run, c.ready ? Ready(Product, c.status) : WrongStart(c.status));
        if (!c.ready) {
            EXPECT_FALSE(run.Click(IDC_UNINSTALL)) << "a disabled button cannot be pressed";
            EXPECT_STATE(run, WrongStart(c.status));
        }
        EXPECT_TRUE(run.Click(IDC_CANCEL));
        EXPECT_EQ(run.ExitCode(), 0);
    }
}

// The quiet form in every spelling that launchers and package managers write,
// and the log named in any way that reaches its file: each ends without a
// window, with the exit code its log calls for, and no copy of the log is
// left anywhere.
TEST(UninstallerStates, QuietSpellings)
{
    ScopedTestFolder folder(TestFolderName);
    // Both letter cases of a letter outside A to Z, when the code page has them.
    const bool twoCases = GetACP() == 1252;
    const std::string name = twoCases ? "\xDC" "ber Home" : "Uber Home";
    const std::string home = folder / name, log = home + "\\uninst.kvx";
    const std::string file = home + "\\readme.txt";
    const std::string program = Kvxpurge();
    const std::string quoted = "\"" + program + "\"";
    std::string slashed = log, lower = log;
    for (char& c : slashed) c = c == '\\' ? '/' : c;
    if (twoCases) lower[lower.find('\xDC')] = '\xFC';
    const struct {
        const char* what;
        std::string commandLine;
        long exitCode;
        std::string currentFolder = "";
    } cases[] = {
        {"full path and log in quotes", quoted + " /S \"" + log + "\"", 0},
        {"bare name", "kvxpurge.exe /S " + log, 0},
        {"bare name, then a tab", "kvxpurge.exe\t/S " + log, 0},
        {"earlier kits' quoted name", "\"kvxpurge.exe\" /S " + log, 0},
        {"lower-case switch", quoted + " /s " + log, 0},
        {"blanks and tabs between", quoted + " \t /S\t  \"" + log + "\"", 0},
        {"the log by its 8.3 name", quoted + " /S \"<short>\"", 0},
        {"\\\\?\\ before the log", quoted + " /S \"\\\\?\\" + log + "\"", 0},
        {"another letter case outside A to Z", quoted + " /S \"" + lower + "\"", twoCases ? 0 : -2},
        {"relative to the current folder", quoted + " /S \"" + name + "\\uninst.kvx\"", 0, folder.Path()},
        {"forward slashes", quoted + " /S \"" + slashed + "\"", 0},
        {"unquoted, a blank behind", quoted + " /S " + log + " ", 0},
        {"no such log", quoted + " /S \"" + (folder / "missing.kvx") + "\"", 1},
        {"no log at all", quoted + " /S", 1},
    };
    const std::string copies[] = {WindowsFolder() + "\\uninst.kvx", SystemFolder() + "\\uninst.kvx",
                                  folder / "uninst.kvx"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.exitCode == -2) {
            std::printf("%s: the code page has no second letter case; case passed over\n", c.what);
            continue;
        }
        CreateDirectoryA(home.c_str(), nullptr);
        WriteBytes(file, "r");
        WriteBytes(log, Record(1, Product) + Record(13, home) + Record(3, file));
        std::string commandLine = c.commandLine;
        if (const std::size_t at = commandLine.find("<short>"); at != std::string::npos) {
            char shortForm[MAX_PATH] = "";
            GetShortPathNameA(log.c_str(), shortForm, MAX_PATH);
            ASSERT_STRNE(shortForm, log.c_str());
            commandLine.replace(at, 7, shortForm);
        }
        ChildProcess run;
        ASSERT_TRUE(run.Start(program, commandLine, c.currentFolder));
        EXPECT_EQ(run.Wait(10000), c.exitCode) << "a window would wait for a click";
        EXPECT_EQ(FileExists(file), c.exitCode != 0);
        EXPECT_EQ(FileExists(home), c.exitCode != 0) << "the folder goes with the log";
        for (const auto& copy : copies) EXPECT_FALSE(FileExists(copy)) << copy;
    }
}

// In a double-byte code page, the log's folder name ends in a character of
// the last lead byte whose second byte is a backslash: the quiet removal
// takes the folder whole.
TEST(UninstallerStates, LastLeadByteBeforeABackslash)
{
    ScopedTestFolder folder(TestFolderName);
    const struct {
        UINT codePage;
        const char* locale;
        char bytes[3];
    } lastLeads[] = {{950, "zh_TW.UTF-8", "\xFE\x5C"}, {936, "zh_CN.UTF-8", "\xFE\x5C"},
                     {932, "ja_JP.UTF-8", "\xFC\x5C"}, {949, "ko_KR.UTF-8", "\xFE\x5C"}};
    bool shown = false;
    for (const auto& lead : lastLeads) {
        wchar_t character[4] = L"";
        if (shown || MultiByteToWideChar(lead.codePage, MB_ERR_INVALID_CHARS, lead.bytes, 2, character, 4) != 1)
            continue;
        SCOPED_TRACE(lead.locale);
        shown = true;
        const std::wstring wideHome = Wide(folder / "Lead ") + character[0];
        char ansi[MAX_PATH] = "";
        WideCharToMultiByte(lead.codePage, 0, wideHome.c_str(), -1, ansi, MAX_PATH, nullptr, nullptr);
        const std::string dbcsHome = ansi;
        ASSERT_EQ(dbcsHome.substr(dbcsHome.size() - 2), lead.bytes);
        ASSERT_TRUE(CreateDirectoryW(wideHome.c_str(), nullptr));
        const std::wstring wideFile = wideHome + L"\\readme.txt", wideLog = wideHome + L"\\uninst.kvx";
        const std::string bytes = Record(1, Product) + Record(13, dbcsHome) + Record(3, dbcsHome + "\\readme.txt");
        for (const auto& [path, content] : {std::make_pair(wideFile, std::string("r")), std::make_pair(wideLog, bytes)}) {
            HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD written = 0;
            ASSERT_TRUE(out != INVALID_HANDLE_VALUE && WriteFile(out, content.data(), DWORD(content.size()), &written, nullptr));
            CloseHandle(out);
        }
        EXPECT_EQ(RunUnattended(Kvxpurge(), L"/S \"" + wideLog + L"\"", "", lead.locale), 0);
        EXPECT_FALSE(FolderExists(wideHome)) << "the folder goes with the log";
    }
    if (!shown) GTEST_SKIP() << "no double-byte code page here has a last lead byte with a backslash after it";
}

// Escape's cancel command is ignored; the close box, Cancel and Finish all close.
TEST(UninstallerStates, EscapeIgnoredCloseBoxCloses)
{
    ScopedTestFolder folder(TestFolderName);
    const std::string log = folder / "uninst.kvx";
    const std::string listed = folder / "listed.txt";
    WriteBytes(log, Record(1, Product) + Record(3, listed));

    const struct {
        const char* what;
        std::string commandLine;
        bool replayFirst;
        UINT closeMessage;
        WPARAM closeParam;
    } cases[] = {
        {"Wrong start, close box", "kvxpurge.exe", false, WM_SYSCOMMAND, SC_CLOSE},
        {"Ready, close box", CommandFor(log), false, WM_SYSCOMMAND, SC_CLOSE},
        {"Ready, WM_CLOSE", CommandFor(log), false, WM_CLOSE, 0},
        {"Ready, Cancel", CommandFor(log), false, 0, IDC_CANCEL},
        {"Finished, close box", CommandFor(log), true, WM_SYSCOMMAND, SC_CLOSE},
        {"Finished, Finish", CommandFor(log), true, 0, IDC_CANCEL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(listed, "x");
        Uninstaller run(c.commandLine);
        ASSERT_TRUE(run.Shown());
        if (c.replayFirst) run.Click(IDC_UNINSTALL);
        const std::string stage = run.Text(IDC_STAGE);

        PressKey(run.Dialog(), VK_ESCAPE);
        EXPECT_EQ(run.ExitCode(300), -1) << "Escape closed the dialog";
        EXPECT_EQ(run.Text(IDC_STAGE), stage);

        if (c.closeMessage)
            run.Send(c.closeMessage, c.closeParam);
        else
            EXPECT_TRUE(run.Click(static_cast<int>(c.closeParam)));
        EXPECT_EQ(run.ExitCode(), 0);
        EXPECT_EQ(FileExists(listed), !c.replayFirst) << "only the replay removes files";
    }
}

}  // namespace
