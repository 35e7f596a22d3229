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

bool BuildProtectedAcl(ACL* acl)
{
    if (!InitializeAcl(acl, ProtectedAclSize, ACL_REVISION)) return false;
    for (const Grant& grant : Grants) {
        DWORD sid[SECURITY_MAX_SID_SIZE / sizeof(DWORD)];
        DWORD sidSize = sizeof sid;
        if (!CreateWellKnownSid(grant.sid, nullptr, sid, &sidSize) ||
            !AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, grant.access, sid))
            return false;
    }
    return true;
}

BOOL CreateProtectedFolder(const char* path)
{
    DWORD aclBytes[ProtectedAclSize / sizeof(DWORD)];
    ACL* acl = reinterpret_cast<ACL*>(aclBytes);
    SECURITY_DESCRIPTOR descriptor;
    // Given at creation, so that there is no moment in which others may change it.
    if (!BuildProtectedAcl(acl) || !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) ||
        !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
        SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return FALSE;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
    return CreateDirectoryA(path, &attributes);
}
