#pragma once
// Which account a process runs as, told by its token: the local system account or another.
// Win32 by nature; no C runtime, so kvxpurge compiles it too.
#include <windows.h>

// A token's user: the record and the longest account identifier there is.
union TokenAccount {
    TOKEN_USER user;
    BYTE room[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
};

// The user of process's token; false when it cannot be read.
inline bool AccountOfProcess(HANDLE process, TokenAccount* account)
{
    HANDLE token;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return false;
    DWORD size = 0;
    const bool read = GetTokenInformation(token, TokenUser, account, sizeof *account, &size) != FALSE;
    CloseHandle(token);
    return read;
}

// True for the local system account (a deployment service's): its profile is nobody's IDE.
inline bool RunsAsLocalSystem()
{
    SID system = {SID_REVISION, 1, SECURITY_NT_AUTHORITY, {SECURITY_LOCAL_SYSTEM_RID}};
    TokenAccount own;
    return AccountOfProcess(GetCurrentProcess(), &own) && EqualSid(own.user.User.Sid, &system);
}
