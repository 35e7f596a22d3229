#pragma once
// Whether the installation registers the product in this account's IDEs now (HKEY_CURRENT_USER), and
// what the report says of it. Every user, this one too, is registered at their next logon by the registrar.
#include <windows.h>

// Whose desktop the installation runs on, told by the shell window's process.
enum class DesktopUser : unsigned char {
    ThisAccount,   // the shell runs as the installing account
    OtherAccount,  // it runs as another one, or cannot be asked (over-the-shoulder elevation)
    NoShell,       // no shell window to ask
};

struct UserRegistrationRow {
    bool localSystem;        // the installing account is the local system account
    DesktopUser desktop;
    bool userKeysNow;        // PurgePackageEntries, RegisterPackage and ExtendSearchPath write HKCU now
    const char* reportLine;  // for /LOG=
};

// The row for these facts.
const UserRegistrationRow& UserRegistrationRule(bool localSystem, DesktopUser desktop);
// The row for the running process: its token's account and the shell window's.
const UserRegistrationRow& ProbeUserRegistration();
// The row in force; BeginInstallation sets it. Before that: HKCU now.
extern const UserRegistrationRow* UserRegistration;
