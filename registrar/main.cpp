// kvxuser: gives the user it runs as the product's entries in each of their
// environments, and takes them away again once the product is removed.
// Windows' Active Setup starts it at each logon, as that user and unelevated.
// It reads nothing but what the installer left under HKLM, writes nothing but
// the user's environment keys, and always ends with 0: a logon waits for it.
// Linked without the C runtime: the entry below is the process's first code.
#include <windows.h>

#include "user_keys.h"

bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

namespace {

using namespace user_keys;

constexpr DWORD ValueNameSize = 1040;

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

void Run()
{
    char home[PathSize];
    if (ProductHome(home)) {
        for (unsigned i = 0; i < EnvironmentCount; ++i) Register(i, home);
        return;
    }
    // No product: the component names the home the removal took away.
    if (RemovedHome(home)) RemoveProductEntries(home);
}

}  // namespace

extern "C" void WinMainCRTStartup()
{
    Run();
    ExitProcess(0);
}
