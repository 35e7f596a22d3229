#pragma once
// Registry values as the installation reads and writes them.
#include <windows.h>

// Bytes stored, terminator included: data stored without a terminator gets
// one. 0, with the empty text in the buffer, when the key or value cannot be
// read or does not fit, also when unterminated data fills the buffer exactly.
DWORD ReadRegistryText(HKEY root, const char* keyPath, const char* valueName, char* buffer, DWORD bufferSize);
// As ReadRegistryText, and tells why it could not: the registry's error, or
// ERROR_MORE_DATA when the text does not fit. count gets the bytes stored.
LONG QueryRegistryText(HKEY root, const char* keyPath, const char* valueName, char* buffer,
                       DWORD bufferSize, DWORD* count, DWORD* type = nullptr);
bool WriteRegistryText(HKEY root, const char* keyPath, const char* valueName, const char* text, DWORD type = REG_SZ);
bool WriteRegistryNumber(HKEY root, const char* keyPath, const char* valueName, DWORD number);
// Deletes every value whose name PurgedPackageEntry finds for package, but keep.
void DeletePackageEntries(HKEY root, const char* keyPath, const char* package, const char* keep);
bool KeyExists(HKEY root, const char* keyPath);
