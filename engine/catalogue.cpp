#include "catalogue.h"

namespace {
constexpr ScriptEntry EmptyScript[] = {{nullptr, nullptr, nullptr, ScriptOp::NoOp3}};
}

// Scripts are filled in with the catalogue; until then every row's script is empty.
InstallTarget TargetTable[TargetCount + 1] = {
    {" Files for Borland Delphi 3", "Software\\Borland\\Delphi\\3.0", "RootDir", nullptr, 1, 1, 0, EmptyScript},
    {" Files for Borland Delphi 4", "Software\\Borland\\Delphi\\4.0", "RootDir", nullptr, 1, 1, 0, EmptyScript},
    {" Files for Borland Delphi 5", "Software\\Borland\\Delphi\\5.0", "RootDir", nullptr, 1, 1, 0, EmptyScript},
    {" Files for Borland Delphi 6", "Software\\Borland\\Delphi\\6.0", "RootDir", nullptr, 1, 1, 0, EmptyScript},
    {" Files for Borland Delphi 7", "Software\\Borland\\Delphi\\7.0", "RootDir", nullptr, 1, 1, 0, EmptyScript},
    {" Files for Borland C++Builder 3", "Software\\Borland\\C++Builder\\3.0", "RootDir", nullptr, 1, 1, 0, EmptyScript},
    {" Files for Borland C++Builder 4", "Software\\Borland\\C++Builder\\4.0", "RootDir", nullptr, 1, 1, 0, EmptyScript},
    {" Files for Borland C++Builder 5", "Software\\Borland\\C++Builder\\5.0", "RootDir", nullptr, 1, 1, 0, EmptyScript},
    {" Files for Borland C++Builder 6", "Software\\Borland\\C++Builder\\6.0", "RootDir", nullptr, 1, 1, 0, EmptyScript},
    {" Shared Files", nullptr, nullptr, nullptr, -2, 1, 0, EmptyScript},
    {" Demo Projects Files", nullptr, nullptr, nullptr, 1, 1, 0, EmptyScript},
    {" Ostrevane Lib Context Help Files", nullptr, nullptr, nullptr, 1, 1, 0, EmptyScript},
    {nullptr, nullptr, nullptr, nullptr, 0, 0, 0, nullptr},
};

const char ProductDescription[] =
    "Ostrevane component version 3.10 (trial)\r"
    "Copyright (c) 1999-2004 Quillmere Software"
    "\r\rDelphi/CBuilder component for handling standard Windows calculator";
