// Removing the product as Windows' list of installed software does, through
// kvxpurge's real dialog.
#include <windows.h>

#include "../uninstaller/resource.h"
#include "drive_kit.h"
#include "gui_driver.h"

namespace {

constexpr char UninstallerCaption[] = "Uninstall - Quillmere";

// Starts a Wine program as a 64-bit process: through the 64-bit loader,
// since Wine starts a 32-bit caller's system-folder programs from the
// 32-bit view. Its end cannot be waited for from here.
bool StartNative(ChildProcess& process, const std::string& program, const std::string& arguments)
{
    return process.Start("Z:\\usr\\lib\\wine\\wine64", "wine64 " + program + " " + arguments);
}

// A program started by its bare name is searched for in the current folder
// too: the launcher gets one where no uninstaller is, as Windows' list has.
class NeutralFolder {
public:
    NeutralFolder()
    {
        GetCurrentDirectoryA(MAX_PATH, saved_);
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        SetCurrentDirectoryA(temp);
    }
    ~NeutralFolder() { SetCurrentDirectoryA(saved_); }

private:
    char saved_[MAX_PATH] = "";
};

}  // namespace

UninstallerRun RemoveProduct(const std::string& entryName, const std::string& pictureFolder, const std::string& locale)
{
    UninstallerRun run;
    ChildProcess launcher;
    bool started;
    const NeutralFolder folder;
    if (!locale.empty()) {
        const std::wstring key = Wide("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + entryName);
        wchar_t command[1024] = L"";
        DWORD size = sizeof command - sizeof(wchar_t);
        RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"UninstallString", RRF_RT_REG_SZ, nullptr, command, &size);
        // Wine names the program by its quoted full path, and the uninstaller
        // skips 13 characters: a copy at C:\kvx.exe has a name that long.
        CopyFileA(((OnWow64() ? WindowsFolder() : SystemFolder()) + "\\kvxpurge.exe").c_str(), "C:\\kvx.exe", FALSE);
        const std::wstring registered = command;
        const std::wstring setting = Wide(locale);
        std::wstring line = L"env LANG=" + setting + L" LC_ALL=" + setting + L" /usr/lib/wine/wine C:\\kvx.exe " +
                            registered.substr(registered.find(L' ') + 1);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        run.launcher = "UninstallString in " + locale;
        started = CreateProcessW(L"Z:\\usr\\bin\\env", &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &info) != FALSE;
        if (started) {
            CloseHandle(info.hThread);
            CloseHandle(info.hProcess);
        }
    } else if (OnWow64()) {
        run.launcher = "64-bit uninstaller --remove";
        started = StartNative(launcher, "uninstaller", "--remove " + entryName);
    } else {
        const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + entryName;
        run.launcher = "UninstallString";
        started = launcher.Start("", RegistryText(HKEY_LOCAL_MACHINE, key.c_str(), "UninstallString"));
    }
    if (!started) {
        run.failure = "the uninstaller did not start";
        return run;
    }
    HWND dialog = WaitForWindow(0, UninstallerCaption, 20000);
    if (!dialog) {
        run.failure = "no uninstaller window";
        return run;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(dialog, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    WaitUntil([&] { return ItemEnabled(dialog, IDC_UNINSTALL); }, 5000);
    run.headline = ItemText(dialog, IDC_HEADLINE);
    run.stage = ItemText(dialog, IDC_STAGE);
    Picture(dialog, pictureFolder, "uninstall-ready");
    if (!Click(dialog, IDC_UNINSTALL)) {
        run.failure = "Uninstall could not be pressed: " + ItemText(dialog, IDC_STATUS);
        PostMessageA(dialog, WM_CLOSE, 0, 0);
        CloseHandle(process);
        return run;
    }
    if (!WaitUntil([&] { return ItemText(dialog, IDC_STAGE) == "Finished"; }, 60000)) {
        run.failure = "the replay did not finish";
        CloseHandle(process);
        return run;
    }
    run.finishedStage = ItemText(dialog, IDC_STAGE);
    run.finishedStatus = ItemText(dialog, IDC_STATUS);
    Picture(dialog, pictureFolder, "uninstall-finished");
    Click(dialog, IDC_CANCEL);
    DWORD code = 1;
    if (process && WaitForSingleObject(process, Scaled(20000)) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
    if (process) CloseHandle(process);
    run.exitCode = static_cast<long>(code);
    if (!locale.empty()) DeleteFileA("C:\\kvx.exe");
    if (run.exitCode != 0) run.failure = "the uninstaller did not end with 0";
    return run;
}
