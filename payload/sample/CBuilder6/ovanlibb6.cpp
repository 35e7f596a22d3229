//---------------------------------------------------------------------------
// Ostrevane v3.10 (trial): a component for handling the standard Windows
// calculator. Package for C++Builder 6.
// Copyright (c) 1999-2004 Quillmere Software
//---------------------------------------------------------------------------
#include <vcl.h>
#pragma hdrstop
USERES("ovanlibb6.res");
USEOBJ("ostrevane.obj");      // unit ostrevane, shipped compiled
USERES("ostrevane.dcr");
USEPACKAGE("rtl.bpi");
USEPACKAGE("vcl.bpi");
//---------------------------------------------------------------------------
#pragma package(smart_init)
//---------------------------------------------------------------------------
// The package's entry point: the unit's own initialisation does the work.
int WINAPI DllEntryPoint(HINSTANCE hinst, unsigned long reason, void*)
{
    return 1;
}
//---------------------------------------------------------------------------
