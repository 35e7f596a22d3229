#include "registry.h"

#include "handles.h"
#include "templates.h"
#include "user_entries.h"

namespace {

constexpr DWORD ValueNameSize = 1040;

}  // namespace

LONG QueryRegistryText(HKEY root, const char* keyPath, const char* valueName, char* buffer,
                       DWORD bufferSize, DWORD* count, DWORD* type)
{
    *count = 0;
    if (bufferSize == 0) return ERROR_MORE_DATA;
    buffer[0] = '\0';
    UniqueKey key;
    LONG status = RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, key.put());
    if (status != ERROR_SUCCESS) return status;
    DWORD size = bufferSize;
    status = RegQueryValueExA(key.get(), valueName, nullptr, type, reinterpret_cast<BYTE*>(buffer), &size);
    if (status != ERROR_SUCCESS || size > bufferSize) {
        buffer[0] = '\0';
        return status != ERROR_SUCCESS ? status : ERROR_MORE_DATA;
    }
    // Data stored without a terminator gets one; when it fills the buffer
    // there is no room for it, and a cut text is never handed out.
    if (size == 0 || buffer[size - 1] != '\0') {
        if (size == bufferSize) {
            buffer[0] = '\0';
            return ERROR_MORE_DATA;
        }
        buffer[size++] = '\0';
    }
    *count = size;
    return ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const char* keyPath)
{
    UniqueKey key;
    return RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS;
}

DWORD ReadRegistryText(HKEY root, const char* keyPath, const char* valueName, char* buffer, DWORD bufferSize)
{
    DWORD count = 0;
    QueryRegistryText(root, keyPath, valueName, buffer, bufferSize, &count);
    return count;
}

bool WriteRegistryNumber(HKEY root, const char* keyPath, const char* valueName, DWORD number)
{
    UniqueKey key;
    if (RegCreateKeyExA(root, keyPath, 0, const_cast<char*>(""), REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExA(key.get(), valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                          sizeof number) == ERROR_SUCCESS;
}

bool WriteRegistryText(HKEY root, const char* keyPath, const char* valueName, const char* text, DWORD type)
{
    UniqueKey key;
    if (RegCreateKeyExA(root, keyPath, 0, const_cast<char*>(""), REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExA(key.get(), valueName, 0, type, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(TextLength(text) + 1)) == ERROR_SUCCESS;
}

void DeletePackageEntries(HKEY root, const char* keyPath, const char* package, const char* keep)
{
    UniqueKey key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE | KEY_WRITE, key.put()) != ERROR_SUCCESS) return;
    LocalBuffer nameBuffer(LocalAlloc(LPTR, ValueNameSize));
    if (!nameBuffer) return;
    char* name = static_cast<char*>(nameBuffer.get());
    DWORD index = 0;
    for (;;) {
        DWORD nameSize = ValueNameSize;
        if (RegEnumValueA(key.get(), index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        // After a deletion the later values move down into this index; a
        // value that cannot be deleted is stepped over, not tried forever.
        if (!PurgedPackageEntry(name, package, keep) || RegDeleteValueA(key.get(), name) != ERROR_SUCCESS) ++index;
    }
}
