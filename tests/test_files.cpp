#include "test_files.h"

#include <algorithm>
#include <cstring>

#include <cstdlib>

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
        if (type == REG_SZ) {
            text = "REG_SZ:" + std::string(reinterpret_cast<char*>(data), size && !data[size - 1] ? size - 1 : size);
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
