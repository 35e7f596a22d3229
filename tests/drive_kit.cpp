#include "drive_kit.h"

#include <windows.h>

#include <commctrl.h>
#include <tlhelp32.h>

#include <functional>

#include "../wizard/wizard_ids.h"
#include "gui_driver.h"
#include "simulated_ide.h"

std::vector<std::string> ListItems(HWND dialog)
{
    std::vector<std::string> items;
    HWND list = GetDlgItem(dialog, IDC_CHECKLIST);
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        // Across processes the wide message carries the text intact.
        wchar_t text[256] = L"";
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        char narrow[256] = "";
        WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
        items.push_back(std::string(narrow) + "=" + std::to_string(SendMessageA(list, LB_GETITEMDATA, i, 0)));
    }
    return items;
}

void ClickListItem(HWND dialog, int index)
{
    HWND list = GetDlgItem(dialog, IDC_CHECKLIST);
    const int height = static_cast<int>(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
    const LPARAM at = MAKELPARAM(40, index * height + height / 2);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(list, WM_LBUTTONUP, 0, at);
}

std::wstring Wide(const std::string& text)
{
    wchar_t wide[MAX_PATH * 2] = L"";
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, MAX_PATH * 2);
    return wide;
}

namespace {

// Wine takes a process's ANSI code page from the locale of its Unix side,
// which a Windows parent cannot change: a program that must run in locale
// is started through Unix env and wine, and its end is awaited by its name.
// Otherwise it is started directly. Its exit code, or -1.
long RunInLocale(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder,
                 const std::string& locale, DWORD ms)
{
    const std::wstring name = program.substr(program.find_last_of(L'\\') + 1);
    std::wstring line = L"\"" + program + L"\" " + arguments;
    std::wstring application = program;
    if (!locale.empty()) {
        const std::wstring setting = Wide(locale);
        application = L"Z:\\usr\\bin\\env";
        line = L"env LANG=" + setting + L" LC_ALL=" + setting + L" /usr/lib/wine/wine " + line;
    }
    std::set<DWORD> earlier;
    const auto running = [&](bool note) -> DWORD {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        DWORD found = 0;
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
            if (lstrcmpiW(entry.szExeFile, name.c_str()) == 0) {
                if (note) earlier.insert(entry.th32ProcessID);
                else if (!earlier.count(entry.th32ProcessID)) found = entry.th32ProcessID;
            }
        CloseHandle(snapshot);
        return found;
    };
    running(true);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(application.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info))
        return -1;
    CloseHandle(info.hThread);
    HANDLE process = info.hProcess;
    if (!locale.empty()) {
        CloseHandle(process);
        process = nullptr;
        for (DWORD waited = 0; !process && waited < Scaled(ms); waited += 20) {
            if (const DWORD id = running(false)) process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id);
            if (!process) Sleep(20);
        }
        if (!process) return -1;
    }
    long code = -1;
    DWORD exitCode = 0;
    if (WaitForSingleObject(process, Scaled(ms)) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &exitCode))
        code = static_cast<long>(exitCode);
    CloseHandle(process);
    return code;
}

}  // namespace

namespace {

constexpr char WizardCaption[] = "Ostrevane Installation";

bool OnPage(HWND dialog, int page, DWORD ms)
{
    const std::string label = "Page " + std::to_string(page) + "/4";
    return WaitUntil([&] { return ItemText(dialog, IDC_PAGE_LABEL) == label; }, ms);
}

// An installation that has little to do can be over before the test looks:
// page 3 counts as come when page 4 is already there.
bool PastPage(HWND dialog, int page, DWORD ms)
{
    return WaitUntil([&] {
        const std::string label = ItemText(dialog, IDC_PAGE_LABEL);
        return label.size() == 8 && label.compare(0, 5, "Page ") == 0 && label[5] - '0' >= page;
    }, ms);
}

}  // namespace

void Picture(HWND window, const std::string& folder, const char* name)
{
    if (folder.empty()) return;
    Sleep(Scaled(400));  // let the page paint first
    CreateDirectoryA(folder.c_str(), nullptr);
    SaveWindowPicture(window, folder + "\\" + name + ".bmp");
}

std::string BuildFolder()
{
    const std::string tests = ProgramFolder();
    return tests.substr(0, tests.rfind('\\'));
}

std::string KitFolder()
{
    char folder[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA("OSTREVANE_KIT_DIR", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return BuildFolder();
    if (folder[0] == '\\' || folder[1] == ':') return folder;
    return BuildFolder() + "\\" + folder;
}

std::string SystemFolder()
{
    char sys[MAX_PATH];
    GetSystemDirectoryA(sys, MAX_PATH);
    return sys;
}

namespace {

InstallerRun DriveInstaller(const std::string& installExe, const std::function<void(HWND)>& type,
                            const std::set<std::string>& untick, const std::string& pictureFolder,
                            const std::string& currentFolder);

}  // namespace

InstallerRun RunInstaller(const std::string& installExe, const std::string& destination,
                          const std::set<std::string>& untick, const std::string& pictureFolder,
                          const std::string& currentFolder)
{
    const auto type = [&](HWND edit) {
        if (!destination.empty()) TypeText(edit, destination);
    };
    return DriveInstaller(installExe, type, untick, pictureFolder, currentFolder);
}

InstallerRun RunInstaller(const std::string& installExe, const std::wstring& destination,
                          const std::set<std::string>& untick, const std::string& currentFolder)
{
    const auto type = [&](HWND edit) {
        SendMessageW(edit, EM_SETSEL, 0, -1);
        SendMessageW(edit, WM_CHAR, VK_BACK, 1);
        for (wchar_t c : destination) SendMessageW(edit, WM_CHAR, c, 1);
    };
    return DriveInstaller(installExe, type, untick, "", currentFolder);
}

namespace {

InstallerRun DriveInstaller(const std::string& installExe, const std::function<void(HWND)>& type,
                            const std::set<std::string>& untick, const std::string& pictureFolder,
                            const std::string& currentFolder)
{
    InstallerRun run;
    ChildProcess process;
    if (!process.Start(installExe, "install.exe", currentFolder)) {
        run.failure = "install.exe did not start";
        return run;
    }
    HWND dialog = WaitForWindow(process.Id(), WizardCaption, 20000);
    if (!dialog || !OnPage(dialog, 1, 10000)) {
        run.failure = "no wizard window";
        return run;
    }
    Picture(dialog, pictureFolder, "page1");
    Click(dialog, IDC_NEXT);
    if (!OnPage(dialog, 2, 10000)) {
        run.failure = "page 2 did not come";
        return run;
    }
    run.listed = ListItems(dialog);
    run.proposed = ItemText(dialog, IDC_DESTINATION);
    for (std::size_t i = 0; i < run.listed.size(); ++i) {
        const std::string caption = run.listed[i].substr(0, run.listed[i].rfind('='));
        if (!untick.count(caption)) continue;
        ClickListItem(dialog, static_cast<int>(i));
        WaitUntil([&] { return ListItems(dialog)[i] == caption + "=-1"; }, 5000);
    }
    type(GetDlgItem(dialog, IDC_DESTINATION));
    Picture(dialog, pictureFolder, "page2");
    Click(dialog, IDC_NEXT);
    // A refused destination: page 2 says why and stays; the user then gives up.
    if (HWND box = FindOwnedWindow(process.Id(), dialog)) {
        run.refusal = MessageBoxText(box);
        Click(box, IDOK);
        if (!OnPage(dialog, 2, 5000)) run.failure = "page 2 did not stay";
        PostClick(dialog, IDC_CANCEL);
        HWND question = WaitForWindow(process.Id(), "Quillmere presents ...", 10000);
        if (question) Click(question, IDYES);
        run.exitCode = process.Wait(20000);
        return run;
    }
    if (!PastPage(dialog, 3, 10000)) {
        run.failure = "page 3 did not come";
        return run;
    }
    if (ItemText(dialog, IDC_PAGE_LABEL) == "Page 3/4") Picture(dialog, pictureFolder, "page3");
    if (!OnPage(dialog, 4, 120000) || !WaitUntil([&] { return ItemEnabled(dialog, IDC_CANCEL); }, 20000)) {
        run.failure = "page 4 did not come";
        return run;
    }
    run.finished = true;
    run.finishTexts[0] = ItemText(dialog, IDC_MAIN_TEXT);
    run.finishTexts[1] = ItemText(dialog, IDC_SECOND_TEXT);
    run.finishTexts[2] = ItemText(dialog, IDC_THIRD_TEXT);
    run.progress = static_cast<int>(SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_GETPOS, 0, 0));
    Picture(dialog, pictureFolder, "page4");
    Click(dialog, IDC_CANCEL);
    run.exitCode = process.Wait(20000);
    if (run.exitCode != 0) run.failure = "install.exe did not end with 0";
    return run;
}

}  // namespace

void RemoveProductTraces()
{
    RemoveSimulatedIdeKeys();
    DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Quillmere");
    DeleteTree(HKEY_LOCAL_MACHINE, ListEntryKey);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, WindowsHelpKey, 0, KEY_SET_VALUE, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueA(key, "ostrevane.hlp");
        RegDeleteValueA(key, "ostrevane.cnt");
        DWORD subKeys = 1, values = 1;
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr);
        RegCloseKey(key);
        // Made by an installation (a 64-bit prefix has none in the 32-bit
        // view): every case starts from the same state.
        if (subKeys == 0 && values == 0) RegDeleteKeyA(HKEY_LOCAL_MACHINE, WindowsHelpKey);
    }
    const std::string sys = SystemFolder();
    DeleteTree(HKEY_LOCAL_MACHINE, LogonComponentKey);
    for (const char* name : {"\\kvxpurge.exe", "\\kvxuser.exe"}) {
        DeleteFileA((sys + name).c_str());
        DeleteFileA((WindowsFolder() + name).c_str());
    }
    for (const SimulatedIde& ide : SimulatedIdes) DeleteFileA((sys + "\\" + ide.package + ide.packageExt).c_str());
}

std::string WindowsFolder()
{
    char folder[MAX_PATH] = "";
    GetSystemWindowsDirectoryA(folder, MAX_PATH);
    return folder;
}

long RunUnattended(const std::string& installExe, const std::string& arguments)
{
    ChildProcess process;
    if (!process.Start(installExe, "install.exe " + arguments)) return -1;
    return process.Wait(120000);
}

long RunUnattended(const std::string& installExe, const std::wstring& arguments, const std::string& currentFolder,
                   const std::string& locale)
{
    return RunInLocale(Wide(installExe), arguments, Wide(currentFolder), locale, 120000);
}

long RunQuietCommand(const std::string& commandLine, const std::string& currentFolder)
{
    std::string program = commandLine.substr(0, commandLine.find(' '));
    if (program.size() > 1 && program.front() == '"') program = program.substr(1, program.size() - 2);
    // A full path is started as it stands; a bare name from where the kit puts it.
    if (program.find('\\') == std::string::npos)
        program = (OnWow64() ? WindowsFolder() : SystemFolder()) + "\\" + program;
    else
        program.clear();
    ChildProcess process;
    if (!process.Start(program, commandLine, currentFolder)) return -1;
    return process.Wait(60000);
}

bool OnWow64()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool RestartWindows()
{
    ChildProcess wineboot;
    // Started from here, so that its end can be waited for.
    return wineboot.Start(SystemFolder() + "\\wineboot.exe", "wineboot -r") && wineboot.Wait(60000) == 0;
}
