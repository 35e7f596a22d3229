#pragma once
// The product's keys, value names, help lines and file names: what the installer writes and kvxpurge's fence accepts.
// Constant data and compile-time text checks only: no C runtime, no <windows.h>.
// Inline, and lists as rows of characters rather than of pointers: each
// program holds one copy, however many of its files read them.

// The product's own key under HKLM, which holds the home folder; the vendor's
// key above it, which others may share.
inline constexpr char ProductKeyPath[] = "Software\\Quillmere\\Ostrevane";
inline constexpr char VendorKeyPath[] = "Software\\Quillmere";
// The value of the product's key that names the home folder.
inline constexpr char HomeFolderValue[] = "RootDir";
// The product's entry in Windows' list of installed software, under HKLM.
inline constexpr char UninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ostrevane";
// Where Windows finds help files by name, under HKLM; the product owns only its two values.
inline constexpr char HelpKeyPath[] = "Software\\Microsoft\\Windows\\Help";
inline constexpr char HelpValueNames[][14] = {"ostrevane.hlp", "ostrevane.cnt"};

// The lines the product adds to the environments' help configuration files,
// the kinds of those files, and their folder below the environment's.
inline constexpr char HelpLines[][41] = {
    "\r\n:Link ostrevane.hlp\r\n",
    "\r\n:INDEX Corvex Lib Help=ostrevane.hlp\r\n",
};
inline constexpr char HelpFileExtensions[][5] = {".cfg", ".ohi", ".ohl"};
inline constexpr char HelpFolder[] = "\\Help";
constexpr const char* LinkLine = HelpLines[0];
constexpr const char* IndexLine = HelpLines[1];

// The development environments' keys, under HKLM and HKCU alike, the value
// under HKLM that names where each is installed, and the keys below them
// that the installation writes into.
constexpr unsigned EnvironmentCount = 9;
inline constexpr char EnvironmentKeys[EnvironmentCount][32] = {
    "Software\\Borland\\Delphi\\3.0",     "Software\\Borland\\Delphi\\4.0",
    "Software\\Borland\\Delphi\\5.0",     "Software\\Borland\\Delphi\\6.0",
    "Software\\Borland\\Delphi\\7.0",     "Software\\Borland\\C++Builder\\3.0",
    "Software\\Borland\\C++Builder\\4.0", "Software\\Borland\\C++Builder\\5.0",
    "Software\\Borland\\C++Builder\\6.0",
};
inline constexpr char EnvironmentsKeyPath[] = "Software\\Borland";
inline constexpr char EnvironmentRootValue[] = "RootDir";
inline constexpr char PackagesKeyName[] = "Known Packages";
// Beside Known Packages: the packages the user switched off in the IDE.
inline constexpr char DisabledPackagesKeyName[] = "Disabled Packages";
inline constexpr char LibraryKeyName[] = "Library";
// Delphi 3 spells its search path's value without the blank.
inline constexpr char SearchPathValueNames[][12] = {"Search Path", "SearchPath"};
// Each environment's main program below its folder.
inline constexpr char DelphiProgram[] = "\\Bin\\delphi32.exe";
inline constexpr char BuilderProgram[] = "\\Bin\\bcb.exe";

// The uninstaller, and the files the product puts beside Windows' own (the
// uninstaller and the packages), which the removal takes only from there.
inline constexpr char UninstallerName[] = "kvxpurge.exe";
inline constexpr char ProductFileNames[][14] = {
    "kvxpurge.exe",  "ovanlibd3.dpl", "ovanlibd4.bpl", "ovanlibd5.bpl", "ovanlibd6.bpl",
    "ovanlibd7.bpl",  "ovanlibb3.bpl", "ovanlibb4.bpl", "ovanlibb5.bpl", "ovanlibb6.bpl", "kvxuser.exe",
};

// The registrar: it gives each user who logs on the product's entries in
// their environments (and takes them away again after a removal). It stays
// beside the uninstaller, in a folder only administrators can write to.
inline constexpr char RegistrarName[] = "kvxuser.exe";
// Windows' Active Setup component that starts the registrar at each logon,
// under HKLM in the 32-bit view; the same path under HKCU is each user's stamp.
inline constexpr char ActiveSetupKeyPath[] =
    "Software\\Microsoft\\Active Setup\\Installed Components\\{3B7E52C1-9A4D-4F08-B6E2-7D15C0A9E384}";
// The component's values that Windows reads; HomeFolderValue beside them
// names the home folder of the last installation, which outlives the
// product's key so that a removal can still be carried to every user.
inline constexpr char StubPathValue[] = "StubPath";
inline constexpr char ComponentVersionValue[] = "Version";
inline constexpr char IsInstalledValue[] = "IsInstalled";

// Compile-time text checks, for tables to be held against these facts.
constexpr bool SameChars(const char* a, const char* b)
{
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

// True when text is one of the texts in list.
template <unsigned N, unsigned Size>
constexpr bool OneOf(const char* text, const char (&list)[N][Size])
{
    for (const char* own : list)
        if (SameChars(text, own)) return true;
    return false;
}

// The rest of text after prefix; null when text does not begin with it.
constexpr const char* After(const char* text, const char* prefix)
{
    while (*prefix && *text == *prefix) ++text, ++prefix;
    return *prefix ? nullptr : text;
}

static_assert(SameChars(ProductFileNames[0], UninstallerName), "the uninstaller is one of the product's files");
static_assert(OneOf(RegistrarName, ProductFileNames), "the registrar is one of the product's files");
