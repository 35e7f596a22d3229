//---------------------------------------------------------------------------
// Ostrevane v3.10 (trial) demo: the main form.
// Copyright (c) 1999-2004 Quillmere Software
//---------------------------------------------------------------------------
#include <vcl.h>
#pragma hdrstop

#include "unit1.h"
//---------------------------------------------------------------------------
#pragma package(smart_init)
#pragma link "ostrevane"
#pragma resource "*.dfm"
TForm1 *Form1;
//---------------------------------------------------------------------------
__fastcall TForm1::TForm1(TComponent* Owner)
    : TForm(Owner)
{
}
//---------------------------------------------------------------------------
void __fastcall TForm1::FormCreate(TObject *Sender)
{
    UpdateButtons();
}
//---------------------------------------------------------------------------
void __fastcall TForm1::UpdateButtons()
{
    ButtonOpen->Enabled = !Ostrevane1->Active;
    ButtonClose->Enabled = Ostrevane1->Active;
    ButtonEvaluate->Enabled = Ostrevane1->Active;
}
//---------------------------------------------------------------------------
void __fastcall TForm1::Log(const AnsiString &text)
{
    MemoLog->Lines->Add(text);
}
//---------------------------------------------------------------------------
void __fastcall TForm1::ButtonOpenClick(TObject *Sender)
{
    Ostrevane1->Visible = CheckVisible->Checked;
    Ostrevane1->Mode = TOstrevaneMode(RadioMode->ItemIndex);
    Ostrevane1->Open();
    Log("Calculator opened");
    UpdateButtons();
}
//---------------------------------------------------------------------------
void __fastcall TForm1::ButtonCloseClick(TObject *Sender)
{
    Ostrevane1->Close();
}
//---------------------------------------------------------------------------
void __fastcall TForm1::CheckVisibleClick(TObject *Sender)
{
    Ostrevane1->Visible = CheckVisible->Checked;
}
//---------------------------------------------------------------------------
void __fastcall TForm1::RadioModeClick(TObject *Sender)
{
    Ostrevane1->Mode = TOstrevaneMode(RadioMode->ItemIndex);
}
//---------------------------------------------------------------------------
void __fastcall TForm1::ButtonEvaluateClick(TObject *Sender)
{
    try
    {
        double value = Ostrevane1->Evaluate(EditExpression->Text);
        Log(EditExpression->Text + " " + FloatToStr(value));
    }
    catch (EOstrevaneError &error)
    {
        Log("Not evaluated: " + error.Message);
    }
}
//---------------------------------------------------------------------------
void __fastcall TForm1::Ostrevane1Result(TObject *Sender,
    const AnsiString Display, double Value)
{
    LabelDisplay->Caption = Display;
}
//---------------------------------------------------------------------------
void __fastcall TForm1::Ostrevane1Close(TObject *Sender)
{
    Log("Calculator closed");
    LabelDisplay->Caption = "";
    UpdateButtons();
}
//---------------------------------------------------------------------------
