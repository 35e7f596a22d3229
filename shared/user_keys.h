#pragma once
// A user's environment keys as the registrar and kvxpurge edit them: the
// text of a value, the product's package and search-path entries, and the
// removal of those entries once the product is gone.
// Win32 by nature; no C runtime, so both programs compile it.
#include <windows.h>

#include "environment_scripts.h"
#include "handles.h"
#include "product_facts.h"
#include "user_entries.h"

namespace user_keys {

constexpr DWORD PathSize = MAX_PATH;
constexpr DWORD KeySize = 96;
// As long a search path as the installer extends.
constexpr DWORD SearchPathSize = 4096;

// Static: a frame this large would need the C runtime's stack probe.
inline char searchPath[SearchPathSize];
inline char scratch[SearchPathSize];

// The text of a REG_SZ or REG_EXPAND_SZ value into out (size bytes), with
// its terminator, and the registry's answer: ERROR_FILE_NOT_FOUND when the
// key or value is missing; anything but success leaves the empty text.
inline LONG ReadText(HKEY root, const char* keyPath, const char* name, char* out, DWORD size, DWORD* type)
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

inline bool WriteText(const char* keyPath, const char* name, const char* text, DWORD type)
{
    DWORD length = 0;
    while (text[length]) ++length;
    UniqueKey key;
    return RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                           key.put(), nullptr) == ERROR_SUCCESS &&
           RegSetValueExA(key.get(), name, 0, type, reinterpret_cast<const BYTE*>(text), length + 1) == ERROR_SUCCESS;
}

inline bool UserKeyExists(const char* keyPath)
{
    UniqueKey key;
    return RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS;
}

// keyPath under HKCU, then "\" and name, into out (KeySize bytes).
inline bool SubKey(const char* keyPath, const char* name, char* out)
{
    out[0] = '\0';
    return AppendPathText(out, KeySize, keyPath) && AppendPathText(out, KeySize, "\\") &&
           AppendPathText(out, KeySize, name);
}

// home\sub-folder, and with the package's name and extension when whole, into out (PathSize bytes).
inline bool HomePath(const char* home, const UserSteps& steps, bool whole, char* out)
{
    out[0] = '\0';
    return AppendPathText(out, PathSize, home) && AppendPathText(out, PathSize, "\\") &&
           AppendPathText(out, PathSize, steps.subFolder) &&
           (!whole || (AppendPathText(out, PathSize, "\\") && AppendPathText(out, PathSize, steps.package) &&
                       AppendPathText(out, PathSize, steps.extension)));
}

// After a removal: the product's entries of the home removed leave the
// running user's keys of one environment; everything else, and the keys
// themselves, stay.
inline void RemoveProductEntries(unsigned environment, const char* home)
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

// The home that keyPath under HKLM names, into home (PathSize bytes); false
// when it names none.
inline bool NamedHome(const char* keyPath, char* home)
{
    DWORD type = REG_SZ;
    return ReadText(HKEY_LOCAL_MACHINE, keyPath, HomeFolderValue, home, PathSize, &type) == ERROR_SUCCESS && home[0];
}

// The installed product's home: while there is one, the product is there.
inline bool ProductHome(char* home) { return NamedHome(ProductKeyPath, home); }

// The home a removal took away, as the logon component names it.
inline bool RemovedHome(char* home) { return NamedHome(ActiveSetupKeyPath, home); }

// The product's entries of home out of every environment of the running user.
inline void RemoveProductEntries(const char* home)
{
    for (unsigned i = 0; i < EnvironmentCount; ++i) RemoveProductEntries(i, home);
}

}  // namespace user_keys
