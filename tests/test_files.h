#pragma once
// Files, folders and registry values as the tests read and make them.
#include <windows.h>

#include <string>
#include <vector>

std::string ReadFileText(const std::string& path);  // "<missing>" when it cannot be opened
bool WriteFileText(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);
std::string TestFolder(const char* name);  // a fresh folder under the temp folder
void RemoveTree(const std::string& path);

std::string RegistryText(HKEY root, const char* key, const char* value);  // "<missing>" when absent
// Every value of the key as "name=REG_SZ:text" or "name=REG_DWORD:number" (other
// types by number), sorted by name; empty when the key is missing.
std::vector<std::string> RegistryValues(HKEY root, const char* key);
void DeleteTree(HKEY root, const char* key);

// A wait of ms on this machine: longer by the factor OSTREVANE_TIMEOUT_SCALE
// where it is slower (the test bed's virtual machine sets it).
DWORD Scaled(DWORD ms);
