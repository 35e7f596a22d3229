#include "user_registration.h"

#include "account.h"
#include "process_identity.h"

namespace {

constexpr char NowLine[] = "IDE registrations: made now for this account; every other user gets them at their next logon";
constexpr char NobodyIsSystem[] =
    "IDE registrations: none now (the local system account has no IDE); every user gets them at their next logon";
constexpr char NobodyIsOther[] =
    "IDE registrations: none now (this account is not the desktop's user); every user gets them at their next logon";

// A profile that is nobody's IDE, or another user's desktop, gets nothing now:
// HKCU would be the wrong user's.
constexpr UserRegistrationRow UserRegistrationRows[] = {
    // localSystem  desktop                    userKeysNow  reportLine
    {false,         DesktopUser::ThisAccount,  true,        NowLine},
    {false,         DesktopUser::NoShell,      true,        NowLine},
    {false,         DesktopUser::OtherAccount, false,       NobodyIsOther},
    {true,          DesktopUser::ThisAccount,  false,       NobodyIsSystem},
    {true,          DesktopUser::NoShell,      false,       NobodyIsSystem},
    {true,          DesktopUser::OtherAccount, false,       NobodyIsSystem},
};

// A shell of this account always opens to it; one that does not is another's.
DesktopUser DesktopUserOf(const TokenAccount& own)
{
    const HWND shell = GetShellWindow();
    DWORD pid = 0;
    if (!shell || !GetWindowThreadProcessId(shell, &pid) || pid == 0) return DesktopUser::NoShell;
    HANDLE process = OpenProcess(process_identity::QueryLimitedInformation, FALSE, pid);
    if (!process) process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    TokenAccount desktop;
    const bool told = process && AccountOfProcess(process, &desktop);
    if (process) CloseHandle(process);
    return told && EqualSid(own.user.User.Sid, desktop.user.User.Sid) ? DesktopUser::ThisAccount
                                                                       : DesktopUser::OtherAccount;
}

}  // namespace

const UserRegistrationRow* UserRegistration = &UserRegistrationRows[0];

const UserRegistrationRow& UserRegistrationRule(bool localSystem, DesktopUser desktop)
{
    for (const UserRegistrationRow& row : UserRegistrationRows)
        if (row.localSystem == localSystem && row.desktop == desktop) return row;
    return UserRegistrationRows[0];  // every pair has its row
}

const UserRegistrationRow& ProbeUserRegistration()
{
    TokenAccount own;
    // An account that cannot be told is taken as today: HKCU now.
    if (!AccountOfProcess(GetCurrentProcess(), &own)) return UserRegistrationRule(false, DesktopUser::NoShell);
    return UserRegistrationRule(RunsAsLocalSystem(), DesktopUserOf(own));
}
