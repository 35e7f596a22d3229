#pragma once
// The access list of the folders the installer creates, where administrator
// tools run and from where files are copied into the system folder.
#include <windows.h>

// Administrators and SYSTEM full control, Users read and execute, each
// inherited by every file and folder inside; the parent's entries are not
// inherited.
constexpr DWORD ProtectedAclSize = 128;
// Builds that list into acl (ProtectedAclSize bytes, DWORD aligned).
bool BuildProtectedAcl(ACL* acl);
// CreateDirectoryA with that list.
BOOL CreateProtectedFolder(const char* path);
