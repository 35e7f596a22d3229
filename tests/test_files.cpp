#include "test_files.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <cctype>
#include <functional>
#include <set>

std::string ReadFileText(const std::string& path)
{
    wchar_t wide[MAX_PATH * 2] = L"";
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH * 2);
    return ReadFileText(std::wstring(wide));
}

std::string ReadFileText(const std::wstring& path)
{
    std::string text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
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

bool FolderExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ProgramFolder()
{
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string path = self;
    return path.substr(0, path.rfind('\\'));
}

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

ScopedTestFolder::ScopedTestFolder(const char* name)
{
    static int made = 0;
    path_ = TestFolder((std::string(name) + " " + std::to_string(GetCurrentProcessId()) + "-" +
                        std::to_string(made++)).c_str());
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

std::string RegistryBytes(HKEY root, const std::string& key, const char* name, DWORD* type)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return "<missing>";
    std::vector<char> data(70000);
    DWORD size = static_cast<DWORD>(data.size());
    LONG rc = RegQueryValueExA(handle, name, nullptr, type, reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(handle);
    if (rc != ERROR_SUCCESS) return "<missing>";
    return std::string(data.data(), size);
}

std::string RegistryText(HKEY root, const char* key, const char* value)
{
    std::string bytes = RegistryBytes(root, key, value);
    if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    return bytes;
}

bool SetRegistryValue(HKEY root, const std::string& key, const char* name, DWORD type, const std::string& bytes)
{
    HKEY handle = nullptr;
    // The error is left for the caller to show.
    LONG rc = RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr);
    if (rc == ERROR_SUCCESS) {
        rc = RegSetValueExA(handle, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                            static_cast<DWORD>(bytes.size()));
        RegCloseKey(handle);
    }
    SetLastError(static_cast<DWORD>(rc));
    return rc == ERROR_SUCCESS;
}

std::vector<LogRecord> LogRecordsOf(const std::string& bytes)
{
    std::vector<LogRecord> records;
    LogRecordReader reader(bytes.data(), bytes.size());
    for (LogRecordView record; reader.Next(record);) records.push_back({record.type, std::string(record.text, record.length)});
    // What the removal never reads stays in sight, as one record of type 0.
    if (reader.Offset() < bytes.size()) records.push_back({0, bytes.substr(reader.Offset() + 1)});
    return records;
}

std::vector<LogRecord> ReadUninstallLog(const std::string& path)
{
    const std::string bytes = ReadFileText(path);
    if (bytes == "<missing>") return {};
    return LogRecordsOf(bytes);
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

std::vector<std::string> RegistryValues(HKEY root, const char* key)
{
    std::vector<std::string> values;
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return values;
    for (DWORD index = 0;; ++index) {
        char name[1024];
        BYTE data[8192];
        DWORD nameSize = sizeof name, size = sizeof data - 1, type = 0;
        if (RegEnumValueA(handle, index, name, &nameSize, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        std::string text;
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            text = (type == REG_SZ ? "REG_SZ:" : "REG_EXPAND_SZ:") + std::string(reinterpret_cast<char*>(data), size && !data[size - 1] ? size - 1 : size);
        } else if (type == REG_DWORD && size == 4) {
            DWORD number;
            memcpy(&number, data, 4);
            text = "REG_DWORD:" + std::to_string(number);
        } else {
            text = std::to_string(type) + ":" + std::to_string(size) + " bytes";
        }
        values.push_back(std::string(name) + "=" + text);
    }
    RegCloseKey(handle);
    std::sort(values.begin(), values.end());
    return values;
}

DWORD Scaled(DWORD ms)
{
    static const DWORD scale = [] {
        char text[16] = "";
        GetEnvironmentVariableA("OSTREVANE_TIMEOUT_SCALE", text, sizeof text);
        const unsigned long value = strtoul(text, nullptr, 10);
        return value >= 1 && value <= 1000 ? static_cast<DWORD>(value) : 1;
    }();
    return ms == INFINITE ? ms : ms * scale;
}

bool RunUnix(const std::string& tool, const std::string& arguments)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string line = tool + " " + arguments;
    // Started in a folder that exists: the caller's current one may be gone.
    // Wine starts a Unix program without a Windows process: it fills in no
    // handles, and what the structure then holds is whatever its stack held.
    // Waiting on or closing those would hit another object of this process
    // (once, the key behind HKEY_CURRENT_USER), so they are left alone.
    return CreateProcessA(("Z:\\bin\\" + tool).c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, "Z:\\",
                          &startup, &process) != FALSE;
}

std::string UnixPath(const std::string& path)
{
    using Convert = char*(CDECL*)(const WCHAR*);
    auto convert = reinterpret_cast<Convert>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    if (!convert) return "";
    std::wstring wide(path.begin(), path.end());
    char* unix = convert(wide.c_str());
    std::string text = unix ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    return text;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

namespace {

// Wine cannot wait for a Unix program, so its outcome is polled for.
bool LinkShows(const std::string& link, bool present)
{
    for (DWORD waited = 0;; waited += 50) {
        const DWORD attributes = GetFileAttributesA(link.c_str());
        const bool linked = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
        if (linked == present) return true;
        if (waited >= Scaled(5000)) return false;
        Sleep(50);
    }
}

// Only an existing path has a Unix form: the link's is made from its folder's.
std::string UnixLinkPath(const std::string& link)
{
    const std::size_t cut = link.rfind('\\');
    return UnixPath(link.substr(0, cut)) + "/" + link.substr(cut + 1);
}

std::string Escaped(const std::string& bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

void AddKey(HKEY root, const std::string& key, const std::string& shown, std::set<std::string>& lines)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return;
    lines.insert(shown);
    for (DWORD i = 0;; ++i) {
        char name[1024];
        BYTE data[8192];
        DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
        if (RegEnumValueA(handle, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
        lines.insert(shown + " | " + name + " | " + std::to_string(type) + " | " +
                     Escaped(std::string(reinterpret_cast<char*>(data), dataSize)));
    }
    std::vector<std::string> children;
    for (DWORD i = 0;; ++i) {
        char name[512];
        DWORD size = sizeof name;
        if (RegEnumKeyExA(handle, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        children.push_back(name);
    }
    RegCloseKey(handle);
    for (const std::string& child : children) AddKey(root, key + "\\" + child, shown + "\\" + child, lines);
}

bool Skipped(std::string name, const std::vector<std::string>& skip)
{
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string& tail : skip)
        if (name.size() >= tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0) return true;
    return false;
}

// Calls visit(path, shown, isFolder) for each file and folder below folder
// (only the top level unless deep) but those skip leaves out; shown is the
// path after the caller's prefix, a folder's before what it holds.
void WalkFiles(const std::string& folder, const std::string& shown, bool deep, const std::vector<std::string>& skip,
               const std::function<void(const std::string&, const std::string&, bool)>& visit)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == ".." || Skipped(name, skip)) continue;
        const std::string path = folder + "\\" + name;
        const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        visit(path, shown + name, isFolder);
        if (isFolder && deep) WalkFiles(path, shown + name + "\\", deep, skip, visit);
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

std::string Joined(const std::set<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

}  // namespace

bool MakeLink(const std::string& target, const std::string& link)
{
    RunUnix("ln", "-sfn " + Quoted(UnixPath(target)) + " " + Quoted(UnixLinkPath(link)));
    return LinkShows(link, true);
}

bool RemoveLink(const std::string& link)
{
    RunUnix("rm", "-f " + Quoted(UnixLinkPath(link)));
    return LinkShows(link, false);
}

std::string RegistryTree(HKEY root, const std::string& key)
{
    std::set<std::string> lines;
    AddKey(root, key, key, lines);
    return lines.empty() ? "<missing>\n" : Joined(lines);
}

std::string FileTree(const std::string& folder, bool contents, bool deep, const std::vector<std::string>& skip)
{
    std::set<std::string> lines;
    WalkFiles(folder, "", deep, skip, [&](const std::string& path, const std::string& shown, bool isFolder) {
        if (isFolder) lines.insert(shown + "\\");
        else lines.insert(shown + (contents ? " | " + Escaped(ReadFileText(path)) : ""));
    });
    return Joined(lines);
}

void AddFileBytes(const std::string& folder, std::map<std::string, std::string>& out, bool withFolders)
{
    WalkFiles(folder, "", true, {}, [&](const std::string& path, const std::string&, bool isFolder) {
        if (!isFolder) out[path] = ReadFileText(path);
        else if (withFolders) out[path + "\\"] = "folder";
    });
}

namespace {

constexpr char InstalledComponents[] = "Software\\Microsoft\\Active Setup\\Installed Components";

// Up to four numbers separated by commas; what is missing counts as 0.
std::vector<unsigned long> VersionParts(const std::string& text)
{
    std::vector<unsigned long> parts(4, 0);
    std::size_t at = 0;
    for (int i = 0; i < 4 && at <= text.size(); ++i) {
        parts[i] = std::strtoul(text.c_str() + at, nullptr, 10);
        const std::size_t comma = text.find(',', at);
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return parts;
}

}  // namespace

std::vector<LogonRun> PlayLogon()
{
    std::vector<LogonRun> runs;
    HKEY components = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, InstalledComponents, 0, KEY_READ | KEY_WOW64_32KEY, &components) !=
        ERROR_SUCCESS)
        return runs;
    for (DWORD index = 0;; ++index) {
        char id[256];
        DWORD idSize = sizeof id;
        if (RegEnumKeyExA(components, index, id, &idSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        const std::string key = std::string(InstalledComponents) + "\\" + id;
        DWORD type = 0;
        const std::string installed = RegistryBytes(HKEY_LOCAL_MACHINE, key, "IsInstalled", &type);
        const std::string stubPath = RegistryText(HKEY_LOCAL_MACHINE, key.c_str(), "StubPath");
        const std::string version = RegistryText(HKEY_LOCAL_MACHINE, key.c_str(), "Version");
        const std::string stamp = RegistryText(HKEY_CURRENT_USER, key.c_str(), "Version");
        if (type != REG_DWORD || installed != std::string("\x01\0\0\0", 4) || stubPath == "<missing>" ||
            (stamp != "<missing>" && VersionParts(version) <= VersionParts(stamp)))
            continue;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        std::string commandLine = stubPath;
        long exitCode = -1;
        if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process)) {
            DWORD code = 0;
            if (WaitForSingleObject(process.hProcess, Scaled(30000)) == WAIT_OBJECT_0 &&
                GetExitCodeProcess(process.hProcess, &code))
                exitCode = static_cast<long>(code);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        runs.push_back({stubPath, exitCode});
        SetRegistryValue(HKEY_CURRENT_USER, key, "Version", REG_SZ, Sz(version));
    }
    RegCloseKey(components);
    return runs;
}
