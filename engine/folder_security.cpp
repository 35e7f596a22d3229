#include "folder_security.h"

namespace {

struct Grant {
    WELL_KNOWN_SID_TYPE sid;
    DWORD access;
};

constexpr Grant Grants[] = {
    {WinBuiltinAdministratorsSid, FILE_ALL_ACCESS},
    {WinLocalSystemSid, FILE_ALL_ACCESS},
    {WinBuiltinUsersSid, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE},
};

}  // namespace

bool BuildProtectedSecurity(ProtectedSecurity* security)
{
    ACL* acl = reinterpret_cast<ACL*>(security->aclBytes);
    if (!InitializeAcl(acl, ProtectedAclSize, ACL_REVISION)) return false;
    for (const Grant& grant : Grants) {
        DWORD sid[SECURITY_MAX_SID_SIZE / sizeof(DWORD)];
        DWORD sidSize = sizeof sid;
        if (!CreateWellKnownSid(grant.sid, nullptr, sid, &sidSize) ||
            !AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, grant.access, sid))
            return false;
    }
    security->attributes = {sizeof security->attributes, &security->descriptor, FALSE};
    return InitializeSecurityDescriptor(&security->descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorDacl(&security->descriptor, TRUE, acl, FALSE) &&
           SetSecurityDescriptorControl(&security->descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

BOOL CreateProtectedFolder(const char* path)
{
    // Given at creation, so that there is no moment in which others may change it.
    ProtectedSecurity security;
    if (!BuildProtectedSecurity(&security)) {
        SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return FALSE;
    }
    return CreateDirectoryA(path, &security.attributes);
}
