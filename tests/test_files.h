#pragma once
// Files, folders and registry values as the tests read and make them.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "log_format.h"

std::string ReadFileText(const std::string& path);  // "<missing>" when it cannot be opened
std::string ReadFileText(const std::wstring& path);  // a name outside this program's code page
bool WriteFileText(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
bool FolderExists(const std::wstring& path);  // a name outside this program's code page
std::string ProgramFolder();  // the folder of the running test program
std::string TestFolder(const char* name);  // a fresh folder under the temp folder
void RemoveTree(const std::string& path);
// A fresh folder under the temp folder of one test's own, "name PID-N" (N
// counts the owners this process made), removed with what is in it when the
// owner goes.
class ScopedTestFolder {
public:
    explicit ScopedTestFolder(const char* name);
    ~ScopedTestFolder() { RemoveTree(path_); }
    ScopedTestFolder(const ScopedTestFolder&) = delete;
    ScopedTestFolder& operator=(const ScopedTestFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// The keys the product writes, spelled once for every test here rather than
// taken from the product's headers, so that a wrong key there is caught.
constexpr char ListEntryKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ostrevane";
constexpr char WindowsHelpKey[] = "Software\\Microsoft\\Windows\\Help";
constexpr char ProductHomeKey[] = "Software\\Quillmere\\Ostrevane";
constexpr char LogonComponentKey[] =
    "Software\\Microsoft\\Active Setup\\Installed Components\\{3B7E52C1-9A4D-4F08-B6E2-7D15C0A9E384}";

// A registry value's bytes as stored (a text with its terminator), and its
// type; "<missing>" when it cannot be read.
std::string RegistryBytes(HKEY root, const std::string& key, const char* name, DWORD* type = nullptr);
// The same value as text: its bytes without the one terminator.
std::string RegistryText(HKEY root, const char* key, const char* value);  // "<missing>" when absent
// A text as a REG_SZ value stores it: with its terminator.
inline std::string Sz(const std::string& text) { return text + '\0'; }
// Makes the key when needed and stores bytes as they are. False when either fails.
bool SetRegistryValue(HKEY root, const std::string& key, const char* name, DWORD type, const std::string& bytes);
// Every value of the key as "name=REG_SZ:text" or "name=REG_DWORD:number" (other
// types by number), sorted by name; empty when the key is missing.
std::vector<std::string> RegistryValues(HKEY root, const char* key);
// The names of the key's values, in the registry's order; none when it is missing.
std::vector<std::string> ValueNames(HKEY root, const std::string& key);
void DeleteTree(HKEY root, const char* key);

// The uninstall log's records: a type byte, then a text up to its NUL.
struct LogRecord {
    int type;
    std::string text;
};
inline bool operator==(const LogRecord& a, const LogRecord& b) { return a.type == b.type && a.text == b.text; }
std::vector<LogRecord> LogRecordsOf(const std::string& bytes);
std::vector<LogRecord> ReadUninstallLog(const std::string& path);  // empty when the file is missing

// Snapshots to compare as text, one line per key, value or file, sorted.
// Every key below key with its values' names, types and data.
std::string RegistryTree(HKEY root, const std::string& key);
// The files and folders below folder, with each file's bytes when contents
// is set; only the top level's names when deep is not. skip leaves out
// names (without letter case) that end with one of its texts.
std::string FileTree(const std::string& folder, bool contents, bool deep, const std::vector<std::string>& skip = {});
// Every file below folder with its bytes, by full path; with withFolders each
// folder too, as "folder".
void AddFileBytes(const std::string& folder, std::map<std::string, std::string>& out, bool withFolders = false);

// A logon played as Windows' Active Setup plays it for the user whose HKCU
// the test set up: every component under HKLM's Installed Components (the
// 32-bit view) with IsInstalled 1 whose Version, compared part by part as
// numbers, is above the user's stamp under the same path in HKCU (no stamp:
// run) has its StubPath started as a command line (no shell) and waited for,
// then stamped with that Version. One row per component started, in the
// registry's order; exitCode is -1 when it could not start or did not end.
struct LogonRun {
    std::string stubPath;
    long exitCode;
};
std::vector<LogonRun> PlayLogon();

// A wait of ms on this machine: longer by the factor OSTREVANE_TIMEOUT_SCALE
// where it is slower (the test bed's virtual machine sets it).
DWORD Scaled(DWORD ms);

// Runs a program of the Unix side (Z:\bin\tool), as Wine starts one from a
// Windows program: the only way a test here makes a symbolic link or a UNC
// share. False when it cannot be started; Wine cannot wait for its end.
bool RunUnix(const std::string& tool, const std::string& arguments);
std::string UnixPath(const std::string& path);  // empty outside Wine
std::string Quoted(const std::string& text);
// Makes link, which must not exist, a symbolic link to the folder target;
// Wine reports it as a reparse point. True when it is one afterwards.
bool MakeLink(const std::string& target, const std::string& link);
// Removes such a link (not what it leads to). True when it is gone.
bool RemoveLink(const std::string& link);
