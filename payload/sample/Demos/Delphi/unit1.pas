{ Ostrevane v3.10 (trial) demo: drives the Windows calculator through a
  TOstrevane component. Copyright (c) 1999-2004 Quillmere Software }
unit unit1;

interface

uses
  Windows, Messages, SysUtils, Classes, Graphics, Controls, Forms, Dialogs,
  StdCtrls, ExtCtrls, ostrevane;

type
  TForm1 = class(TForm)
    Ostrevane1: TOstrevane;
    GroupCalculator: TGroupBox;
    ButtonOpen: TButton;
    ButtonClose: TButton;
    CheckVisible: TCheckBox;
    RadioMode: TRadioGroup;
    GroupExpression: TGroupBox;
    LabelExpression: TLabel;
    EditExpression: TEdit;
    ButtonEvaluate: TButton;
    ButtonPlay: TButton;
    LabelDisplayCaption: TLabel;
    LabelDisplay: TLabel;
    MemoLog: TMemo;
    procedure FormCreate(Sender: TObject);
    procedure ButtonOpenClick(Sender: TObject);
    procedure ButtonCloseClick(Sender: TObject);
    procedure CheckVisibleClick(Sender: TObject);
    procedure RadioModeClick(Sender: TObject);
    procedure ButtonEvaluateClick(Sender: TObject);
    procedure ButtonPlayClick(Sender: TObject);
    procedure Ostrevane1Result(Sender: TObject; const Display: string;
      Value: Double);
    procedure Ostrevane1Close(Sender: TObject);
  private
    procedure UpdateButtons;
    procedure Log(const Text: string);
  end;

var
  Form1: TForm1;

implementation

{$R *.dfm}

procedure TForm1.FormCreate(Sender: TObject);
begin
  UpdateButtons;
end;

procedure TForm1.UpdateButtons;
begin
  ButtonOpen.Enabled := not Ostrevane1.Active;
  ButtonClose.Enabled := Ostrevane1.Active;
  ButtonEvaluate.Enabled := Ostrevane1.Active;
  ButtonPlay.Enabled := Ostrevane1.Active;
end;

procedure TForm1.Log(const Text: string);
begin
  MemoLog.Lines.Add(Text);
end;

procedure TForm1.ButtonOpenClick(Sender: TObject);
begin
  Ostrevane1.Visible := CheckVisible.Checked;
  Ostrevane1.Mode := TOstrevaneMode(RadioMode.ItemIndex);
  Ostrevane1.Open;
  Log('Calculator opened');
  UpdateButtons;
end;

procedure TForm1.ButtonCloseClick(Sender: TObject);
begin
  Ostrevane1.Close;
end;

procedure TForm1.CheckVisibleClick(Sender: TObject);
begin
  Ostrevane1.Visible := CheckVisible.Checked;
end;

procedure TForm1.RadioModeClick(Sender: TObject);
begin
  Ostrevane1.Mode := TOstrevaneMode(RadioMode.ItemIndex);
end;

procedure TForm1.ButtonEvaluateClick(Sender: TObject);
var
  Value: Double;
begin
  try
    Value := Ostrevane1.Evaluate(EditExpression.Text);
    Log(EditExpression.Text + ' ' + FloatToStr(Value));
  except
    on E: EOstrevaneError do
      Log('Not evaluated: ' + E.Message);
  end;
end;

{ The key sequences of the "Play" button come from the program's resource
  DEMOKEYS, one sequence a line. }
procedure TForm1.ButtonPlayClick(Sender: TObject);
var
  Stream: TResourceStream;
  Keys: TStringList;
  I: Integer;
begin
  Keys := TStringList.Create;
  try
    Stream := TResourceStream.Create(HInstance, 'DEMOKEYS', RT_RCDATA);
    try
      Keys.LoadFromStream(Stream);
    finally
      Stream.Free;
    end;
    for I := 0 to Keys.Count - 1 do
    begin
      Ostrevane1.Clear;
      Ostrevane1.SendKeys(Keys[I]);
      Log(Keys[I] + ' ' + Ostrevane1.Display);
    end;
  finally
    Keys.Free;
  end;
end;

procedure TForm1.Ostrevane1Result(Sender: TObject; const Display: string;
  Value: Double);
begin
  LabelDisplay.Caption := Display;
end;

procedure TForm1.Ostrevane1Close(Sender: TObject);
begin
  Log('Calculator closed');
  LabelDisplay.Caption := '';
  UpdateButtons;
end;

end.
