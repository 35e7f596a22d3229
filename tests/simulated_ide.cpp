#include "simulated_ide.h"

#include <cstdio>

const SimulatedIde SimulatedIdes[9] = {
    // row folder        sub-folder    package      ext     registry key                            search value   tools                      help files                                  gid
    {0, "Delphi3",   "Delphi3",   "ovanlibd3", ".dpl", "Software\\Borland\\Delphi\\3.0",     "SearchPath",  {"dcc32.exe", nullptr},    {"Delphi3.cfg", nullptr, nullptr},          "delphi3.gid"},
    {1, "Delphi4",   "Delphi4",   "ovanlibd4", ".bpl", "Software\\Borland\\Delphi\\4.0",     "Search Path", {"dcc32.exe", nullptr},    {"Delphi4.cfg", "Delphi4.ohi", "Delphi4.ohl"}, "delphi4.gid"},
    {2, "Delphi5",   "Delphi5",   "ovanlibd5", ".bpl", "Software\\Borland\\Delphi\\5.0",     "Search Path", {"dcc32.exe", nullptr},    {"Delphi5.ohi", "Delphi5.ohl", nullptr},    "delphi5.gid"},
    {3, "Delphi6",   "Delphi6",   "ovanlibd6", ".bpl", "Software\\Borland\\Delphi\\6.0",     "Search Path", {"dcc32.exe", nullptr},    {"Delphi6.ohi", "Delphi6.ohl", nullptr},    "del6vcl.gid"},
    {4, "Delphi7",   "Delphi7",   "ovanlibd7", ".bpl", "Software\\Borland\\Delphi\\7.0",     "Search Path", {"dcc32.exe", nullptr},    {"d7.ohi", "d7.ohl", nullptr},              "d7.gid"},
    {5, "CBuilder3", "CBuilder3", "ovanlibb3", ".bpl", "Software\\Borland\\C++Builder\\3.0", "Search Path", {"make.exe", nullptr},     {"bcb.ohi", nullptr, nullptr},              "bcb.gid"},
    {6, "CBuilder4", "CBuilder4", "ovanlibb4", ".bpl", "Software\\Borland\\C++Builder\\4.0", "Search Path", {"make.exe", nullptr},     {"bcb4.cfg", "bcb4.ohi", "bcb4.ohl"},       "bcb4.gid"},
    {7, "CBuilder5", "CBuilder5", "ovanlibb5", ".bpl", "Software\\Borland\\C++Builder\\5.0", "Search Path", {"make.exe", "bpr2mak.exe"}, {"bcb5.ohi", "bcb5.ohl", nullptr},          "bcb5.gid"},
    {8, "CBuilder6", "CBuilder6", "ovanlibb6", ".bpl", "Software\\Borland\\C++Builder\\6.0", "Search Path", {"make.exe", "bpr2mak.exe"}, {"bcb6.ohi", "bcb6.ohl", nullptr},          "bcb6vcl.gid"},
};

std::string ReadFileText(const std::string& path)
{
    std::string text;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    DWORD size = GetFileSize(file, nullptr);
    text.resize(size);
    DWORD got = 0;
    if (size) ReadFile(file, &text[0], size, &got, nullptr);
    CloseHandle(file);
    text.resize(got);
    return text;
}

bool WriteFileText(const std::string& path, const std::string& text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

std::string TestFolder(const char* name)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + name;
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    RemoveTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

std::string StandInPath()
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    return path.substr(0, path.rfind('\\')) + "\\standin.exe";
}

std::string CreateSimulatedIde(const SimulatedIde& ide, const std::string& root)
{
    const std::string folder = root + "\\" + ide.folder;
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "\\Bin").c_str(), nullptr);
    CreateDirectoryA((folder + "\\Help").c_str(), nullptr);
    for (const char* tool : ide.tools)
        if (tool) CopyFileA(StandInPath().c_str(), (folder + "\\Bin\\" + tool).c_str(), FALSE);
    if (std::string(ide.packageExt) == ".dpl") WriteFileText(folder + "\\Bin\\standin.cfg", "ext=.dpl\r\n");
    for (const char* help : ide.helpFiles)
        if (help) WriteFileText(folder + "\\Help\\" + help, std::string(":Base ") + ide.folder + ".hlp\r\n");
    WriteFileText(folder + "\\Help\\" + ide.gidFile, "index cache");

    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, ide.registryKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExA(key, "RootDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>(folder.size() + 1));
        RegCloseKey(key);
    }
    return folder;
}

void DeleteTree(HKEY root, const char* key)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_ALL_ACCESS, &handle) != ERROR_SUCCESS) return;
    char name[512];
    for (;;) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(handle, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        DeleteTree(handle, name);
    }
    RegCloseKey(handle);
    RegDeleteKeyA(root, key);
}

void RemoveSimulatedIdeKeys()
{
    DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Borland");
    DeleteTree(HKEY_CURRENT_USER, "Software\\Borland");
}

std::vector<std::string> ToolCalls(const std::string& ideFolder)
{
    std::vector<std::string> calls;
    std::string log = ReadFileText(ideFolder + "\\Bin\\calls.log");
    if (log == "<missing>") return calls;
    std::size_t at = 0;
    while (at < log.size()) {
        std::size_t end = log.find('\n', at);
        if (end == std::string::npos) end = log.size();
        std::string line = log.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) calls.push_back(line);
        at = end + 1;
    }
    return calls;
}

std::string RegistryText(HKEY root, const char* key, const char* value)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return "<missing>";
    char data[8192];
    DWORD size = sizeof data - 1, type = 0;
    LONG rc = RegQueryValueExA(handle, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(handle);
    if (rc != ERROR_SUCCESS) return "<missing>";
    data[size] = '\0';
    return std::string(data, size && data[size - 1] == '\0' ? size - 1 : size);
}
