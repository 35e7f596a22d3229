#pragma once
// The access list of the folders the installer creates, where administrator
// tools run and from where files are copied into the system folder.
#include <windows.h>

constexpr DWORD ProtectedAclSize = 128;

// Administrators and SYSTEM full control, Users read and execute, each
// inherited by every file and folder inside; the parent's entries are not
// inherited. attributes points into the rest.
struct ProtectedSecurity {
    DWORD aclBytes[ProtectedAclSize / sizeof(DWORD)];
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
};

// False when a part cannot be made.
bool BuildProtectedSecurity(ProtectedSecurity* security);
// CreateDirectoryA with that access list.
BOOL CreateProtectedFolder(const char* path);

// True when only administrators can change what is in the object that
// descriptor guards: its owner, and every entry that grants a change (its
// own or one passed to what is made inside), belong to Administrators,
// SYSTEM, TrustedInstaller, the creator of an object inside (which is then
// the installer), or the installing token's default owner or account (an
// administrator's, which may be null). A missing descriptor, or one without
// access list, is not safe.
bool OnlyAdministratorsChange(PSECURITY_DESCRIPTOR descriptor, PSID runnerOwner, PSID runnerAccount = nullptr);
// The same, read for the folder at path against the running token; false
// when either cannot be read.
bool FolderOnlyAdministratorsChange(const char* path);
// The same for the folder open at folder, with READ_CONTROL.
bool HeldFolderOnlyAdministratorsChange(HANDLE folder);
// Puts a folder made afresh with the protected access list in place of the
// empty folder at path: no handle opened on the old one reaches it. False
// when the old one cannot go (it holds something, or is held open) or the
// new one cannot be made.
bool RemakeProtectedFolder(const char* path);
