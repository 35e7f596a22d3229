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

// Rights that change the folder or what is in it, also through what is
// made inside it: data, names, deletion, its access list and owner.
constexpr DWORD ChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                               WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

constexpr WELL_KNOWN_SID_TYPE TrustedSids[] = {WinBuiltinAdministratorsSid, WinLocalSystemSid, WinCreatorOwnerSid};
// NT SERVICE\TrustedInstaller: a service's SID, which no well-known type names.
constexpr DWORD TrustedInstallerRids[] = {80, 956008885, 3418522649, 1831038044, 1853292631, 2271478464};

bool TrustedInstaller(PSID sid)
{
    const SID_IDENTIFIER_AUTHORITY* authority = GetSidIdentifierAuthority(sid);
    constexpr BYTE Nt[6] = {0, 0, 0, 0, 0, 5};
    if (*GetSidSubAuthorityCount(sid) != sizeof TrustedInstallerRids / sizeof TrustedInstallerRids[0]) return false;
    for (int i = 0; i < 6; ++i)
        if (authority->Value[i] != Nt[i]) return false;
    for (DWORD i = 0; i < *GetSidSubAuthorityCount(sid); ++i)
        if (*GetSidSubAuthority(sid, i) != TrustedInstallerRids[i]) return false;
    return true;
}

bool Trusted(PSID sid, PSID runnerOwner, PSID runnerAccount)
{
    if (!IsValidSid(sid)) return false;
    if ((runnerOwner && EqualSid(sid, runnerOwner)) || (runnerAccount && EqualSid(sid, runnerAccount))) return true;
    for (WELL_KNOWN_SID_TYPE type : TrustedSids)
        if (IsWellKnownSid(sid, type)) return true;
    return TrustedInstaller(sid);
}

}  // namespace

bool OnlyAdministratorsChange(PSECURITY_DESCRIPTOR descriptor, PSID runnerOwner, PSID runnerAccount)
{
    PSID owner = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    ACL* acl = nullptr;
    if (!descriptor || !IsValidSecurityDescriptor(descriptor) ||
        !GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || !owner || !Trusted(owner, runnerOwner, runnerAccount) ||
        !GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted) || !present || !acl)
        return false;  // no access list lets everyone in
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(acl, i, reinterpret_cast<void**>(&header))) return false;
        // Entries that deny or audit grant nothing; an allowing entry of any
        // other kind than the plain one is not trusted.
        switch (header->AceType) {
        case ACCESS_DENIED_ACE_TYPE:
        case SYSTEM_AUDIT_ACE_TYPE:
        case SYSTEM_ALARM_ACE_TYPE:
        case SYSTEM_MANDATORY_LABEL_ACE_TYPE: continue;
        case ACCESS_ALLOWED_ACE_TYPE: break;
        default: return false;
        }
        const auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        if ((allowed->Mask & ChangeRights) && !Trusted(const_cast<DWORD*>(&allowed->SidStart), runnerOwner, runnerAccount))
            return false;
    }
    return true;
}

namespace {

// OnlyAdministratorsChange for the descriptor that read (into a buffer of
// the size given, setting the size needed) gives, against the running token.
template <typename Read>
bool OnlyAdministratorsChangeAsRead(Read&& read)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    union {
        TOKEN_OWNER owner;
        BYTE bytes[sizeof(TOKEN_OWNER) + SECURITY_MAX_SID_SIZE];
    } owner;
    union {
        TOKEN_USER account;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } account;
    DWORD size = 0;
    const bool told = GetTokenInformation(token, TokenOwner, &owner, sizeof owner, &size) &&
                      GetTokenInformation(token, TokenUser, &account, sizeof account, &size);
    CloseHandle(token);
    if (!told) return false;
    // A folder's descriptor with a long access list is some hundred bytes.
    DWORD descriptorBytes[1024];
    return read(static_cast<PSECURITY_DESCRIPTOR>(descriptorBytes), static_cast<DWORD>(sizeof descriptorBytes), &size) &&
           OnlyAdministratorsChange(descriptorBytes, owner.owner.Owner, account.account.User.Sid);
}

constexpr SECURITY_INFORMATION OwnerAndAccess = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

}  // namespace

bool FolderOnlyAdministratorsChange(const char* path)
{
    return OnlyAdministratorsChangeAsRead([&](PSECURITY_DESCRIPTOR descriptor, DWORD bytes, DWORD* needed) {
        return GetFileSecurityA(path, OwnerAndAccess, descriptor, bytes, needed) != FALSE;
    });
}

bool HeldFolderOnlyAdministratorsChange(HANDLE folder)
{
    return OnlyAdministratorsChangeAsRead([&](PSECURITY_DESCRIPTOR descriptor, DWORD bytes, DWORD* needed) {
        return GetKernelObjectSecurity(folder, OwnerAndAccess, descriptor, bytes, needed) != FALSE;
    });
}

bool RemakeProtectedFolder(const char* path)
{
    return RemoveDirectoryA(path) && CreateProtectedFolder(path);
}

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
