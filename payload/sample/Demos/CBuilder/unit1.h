//---------------------------------------------------------------------------
// Ostrevane v3.10 (trial) demo: the main form.
// Copyright (c) 1999-2004 Quillmere Software
//---------------------------------------------------------------------------
#ifndef unit1H
#define unit1H
//---------------------------------------------------------------------------
#include <Classes.hpp>
#include <Controls.hpp>
#include <StdCtrls.hpp>
#include <ExtCtrls.hpp>
#include <Forms.hpp>
#include "ostrevane.hpp"
//---------------------------------------------------------------------------
class TForm1 : public TForm
{
__published:    // IDE-managed Components
    TOstrevane *Ostrevane1;
    TGroupBox *GroupCalculator;
    TButton *ButtonOpen;
    TButton *ButtonClose;
    TCheckBox *CheckVisible;
    TRadioGroup *RadioMode;
    TGroupBox *GroupExpression;
    TLabel *LabelExpression;
    TEdit *EditExpression;
    TButton *ButtonEvaluate;
    TLabel *LabelDisplayCaption;
    TLabel *LabelDisplay;
    TMemo *MemoLog;
    void __fastcall FormCreate(TObject *Sender);
    void __fastcall ButtonOpenClick(TObject *Sender);
    void __fastcall ButtonCloseClick(TObject *Sender);
    void __fastcall CheckVisibleClick(TObject *Sender);
    void __fastcall RadioModeClick(TObject *Sender);
    void __fastcall ButtonEvaluateClick(TObject *Sender);
    void __fastcall Ostrevane1Result(TObject *Sender, const AnsiString Display,
        double Value);
    void __fastcall Ostrevane1Close(TObject *Sender);
private:
    void __fastcall UpdateButtons();
    void __fastcall Log(const AnsiString &text);
public:
    __fastcall TForm1(TComponent* Owner);
};
//---------------------------------------------------------------------------
extern PACKAGE TForm1 *Form1;
//---------------------------------------------------------------------------
#endif
