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
