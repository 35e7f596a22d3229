#pragma once
// Files and folders as the installation writes them.
#include <windows.h>

// False when the file cannot be created or is not written whole; a missing
// resource leaves an empty file and is no failure. written, when given, gets
// the bytes written.
bool WriteResourceToFile(const char* path, int resourceNumber, DWORD* written = nullptr);
// path must be writable: separators are cut one at a time and restored. True
// when the folder is there at the end. Every folder it creates gets the
// protected access list (folder_security.h).
// When it fails, the folders it made are removed again. firstCreated, when
// given (PathSize bytes), gets the first folder it made, or the empty text.
bool CreateFolderPath(char* path, char* firstCreated = nullptr);
// True also for a missing or empty file, which stays as it is. holdsText,
// when given, tells whether the file holds the text afterwards. The file is
// replaced whole, and a link there, or a file with another name too, is left
// as it is (false).
bool AppendTextIfAbsent(const char* path, const char* text, bool* holdsText = nullptr);
// Deletes the file at path when it is there. False, with nothing deleted,
// when it is a link or has another name too; a file that cannot be deleted
// is not examined.
bool DeleteUnlinkedFile(const char* path);
