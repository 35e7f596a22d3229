//---------------------------------------------------------------------------
// Ostrevane v3.10 (trial) demo: drives the Windows calculator through a
// TOstrevane component. Copyright (c) 1999-2004 Quillmere Software
//---------------------------------------------------------------------------
#include <vcl.h>
#pragma hdrstop
USERES("ostrevdemo.res");
USEFORM("unit1.cpp", Form1);
//---------------------------------------------------------------------------
WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    try
    {
        Application->Initialize();
        Application->Title = "Ostrevane demo";
        Application->CreateForm(__classid(TForm1), &Form1);
        Application->Run();
    }
    catch (Exception &exception)
    {
        Application->ShowException(&exception);
    }
    return 0;
}
//---------------------------------------------------------------------------
