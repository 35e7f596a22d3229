// kvxuser: gives the user it runs as the product's entries in each of their
// environments, and takes them away again once the product is removed.
// Windows' Active Setup starts it at each logon, as that user and unelevated.
// It reads nothing but what the installer left under HKLM, writes nothing but
// the user's environment keys, and always ends with 0: a logon waits for it.
// Linked without the C runtime: the entry below is the process's first code.
#include <windows.h>

#include "environment_scripts.h"
#include "handles.h"
#include "product_facts.h"
#include "user_entries.h"

bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

namespace {

constexpr DWORD PathSize = MAX_PATH;
constexpr DWORD KeySize = 96;
constexpr DWORD ValueNameSize = 1040;
// As long a search path as the installer extends.
constexpr DWORD SearchPathSize = 4096;

// Static: a frame this large would need the C runtime's stack probe.
char searchPath[SearchPathSize];
char scratch[SearchPathSize];

// The text of a REG_SZ or REG_EXPAND_SZ value into out (size bytes), with
// its terminator, and the registry's answer: ERROR_FILE_NOT_FOUND when the
// key or value is missing; anything but success leaves the empty text.
LONG ReadText(HKEY root, const char* keyPath, const char* name, char* out, DWORD size, DWORD* type)
{
    out[0] = '\0';
    UniqueKey key;
    LONG status = RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, key.put());
    DWORD bytes = size - 1;
    if (status == ERROR_SUCCESS)
        status = RegQueryValueExA(key.get(), name, nullptr, type, reinterpret_cast<BYTE*>(out), &bytes);
    if (status == ERROR_SUCCESS && *type != REG_SZ && *type != REG_EXPAND_SZ) status = ERROR_INVALID_DATA;
    if (status != ERROR_SUCCESS) bytes = 0;
    out[bytes] = '\0';
    return status;
}

bool WriteText(const char* keyPath, const char* name, const char* text, DWORD type)
{
    DWORD length = 0;
    while (text[length]) ++length;
    UniqueKey key;
    return RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                           key.put(), nullptr) == ERROR_SUCCESS &&
           RegSetValueExA(key.get(), name, 0, type, reinterpret_cast<const BYTE*>(text), length + 1) == ERROR_SUCCESS;
}

bool UserKeyExists(const char* keyPath)
{
    UniqueKey key;
    return RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS;
}

// keyPath under HKCU, then "\" and name, into out (KeySize bytes).
bool SubKey(const char* keyPath, const char* name, char* out)
{
    out[0] = '\0';
    return AppendPathText(out, KeySize, keyPath) && AppendPathText(out, KeySize, "\\") &&
           AppendPathText(out, KeySize, name);
}

// The package entries of the user's key that name package or an earlier
// version of it; keep stays.
void DeletePackageEntries(const char* keyPath, const char* package, const char* keep)
{
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.put()) != ERROR_SUCCESS)
        return;
    char name[ValueNameSize];
    for (DWORD index = 0;;) {
        DWORD nameSize = ValueNameSize;
        if (RegEnumValueA(key.get(), index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        // A deletion moves the later values down into this index.
        if (!PurgedPackageEntry(name, package, keep) || RegDeleteValueA(key.get(), name) != ERROR_SUCCESS) ++index;
    }
}

// home\sub-folder, and with the package's name and extension when whole, into out (PathSize bytes).
bool HomePath(const char* home, const UserSteps& steps, bool whole, char* out)
{
    out[0] = '\0';
    return AppendPathText(out, PathSize, home) && AppendPathText(out, PathSize, "\\") &&
           AppendPathText(out, PathSize, steps.subFolder) &&
           (!whole || (AppendPathText(out, PathSize, "\\") && AppendPathText(out, PathSize, steps.package) &&
                       AppendPathText(out, PathSize, steps.extension)));
}

bool IsFile(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The install script's three per-user steps for one environment, as the
// installation took them for its own user.
void Register(unsigned environment, const char* home)
{
    const char* environmentKey = EnvironmentKeys[environment];
    const UserSteps& steps = EnvironmentUserSteps[environment];
    char root[PathSize], shortRoot[PathSize], package[PathSize], entry[PathSize], key[KeySize];
    DWORD type = REG_SZ;
    // The package is there for an environment the installation built it for;
    // a user who never started that environment gets nothing (see README).
    if (ReadText(HKEY_LOCAL_MACHINE, environmentKey, EnvironmentRootValue, root, PathSize, &type) != ERROR_SUCCESS ||
        !root[0] || !HomePath(home, steps, true, package) || !IsFile(package) || !UserKeyExists(environmentKey))
        return;

    if (SubKey(environmentKey, PackagesKeyName, key)) {
        DeletePackageEntries(key, steps.package, nullptr);
        WriteText(key, package, steps.caption, REG_SZ);
    }
    if (SubKey(environmentKey, DisabledPackagesKeyName, key)) DeletePackageEntries(key, steps.package, package);

    const DWORD shortLength = GetShortPathNameA(root, shortRoot, PathSize);
    if (shortLength == 0 || shortLength >= PathSize) lstrcpynA(shortRoot, root, PathSize);
    const char* const folders[EntryFolderCount] = {root, shortRoot, home};
    entry[0] = ';';
    type = REG_SZ;
    if (!SubKey(environmentKey, LibraryKeyName, key) || !HomePath(home, steps, false, entry + 1)) return;
    const LONG status = ReadText(HKEY_CURRENT_USER, key, steps.searchPathValue, searchPath, SearchPathSize, &type);
    // A path that cannot be read whole is left as it is.
    if ((status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) ||
        !RemoveEarlierEntries(searchPath, folders, steps.subFolder, scratch, SearchPathSize) ||
        !AppendPathText(searchPath, SearchPathSize, entry))
        return;
    WriteText(key, steps.searchPathValue, searchPath, type == REG_EXPAND_SZ ? REG_EXPAND_SZ : REG_SZ);
}

// After a removal: the product's entries leave the user's keys; everything
// else, and the keys themselves, stay.
void Unregister(unsigned environment, const char* home)
{
    const char* environmentKey = EnvironmentKeys[environment];
    const UserSteps& steps = EnvironmentUserSteps[environment];
    char key[KeySize], entry[PathSize], package[PathSize];
    if (!UserKeyExists(environmentKey)) return;
    // Only the removed package's own entries: another copy of it elsewhere
    // is another product's, as the removal's log leaves it too.
    const char* const lists[] = {PackagesKeyName, DisabledPackagesKeyName};
    if (HomePath(home, steps, true, package))
        for (const char* list : lists) {
            UniqueKey listKey;
            if (SubKey(environmentKey, list, key) &&
                RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_SET_VALUE, listKey.put()) == ERROR_SUCCESS)
                RegDeleteValueA(listKey.get(), package);
        }

    DWORD type = REG_SZ;
    if (!SubKey(environmentKey, LibraryKeyName, key) || !HomePath(home, steps, false, entry) ||
        ReadText(HKEY_CURRENT_USER, key, steps.searchPathValue, searchPath, SearchPathSize, &type) != ERROR_SUCCESS)
        return;
    DWORD before = 0, after = 0;
    while (searchPath[before]) ++before;
    RemoveWholeEntries(searchPath, entry);
    while (searchPath[after]) ++after;
    if (after != before) WriteText(key, steps.searchPathValue, searchPath, type);
}

void Run()
{
    char home[PathSize];
    DWORD type = REG_SZ;
    if (ReadText(HKEY_LOCAL_MACHINE, ProductKeyPath, HomeFolderValue, home, PathSize, &type) == ERROR_SUCCESS &&
        home[0]) {
        for (unsigned i = 0; i < EnvironmentCount; ++i) Register(i, home);
        return;
    }
    // No product: the component names the home the removal took away.
    if (ReadText(HKEY_LOCAL_MACHINE, ActiveSetupKeyPath, HomeFolderValue, home, PathSize, &type) == ERROR_SUCCESS &&
        home[0])
        for (unsigned i = 0; i < EnvironmentCount; ++i) Unregister(i, home);
}

}  // namespace

extern "C" void WinMainCRTStartup()
{
    Run();
    ExitProcess(0);
}
