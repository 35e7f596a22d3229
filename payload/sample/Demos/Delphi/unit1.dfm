object Form1: TForm1
  Left = 212
  Top = 128
  BorderStyle = bsDialog
  Caption = 'Ostrevane demo'
  ClientHeight = 329
  ClientWidth = 417
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = False
  Position = poScreenCenter
  OnCreate = FormCreate
  PixelsPerInch = 96
  TextHeight = 13
  object GroupCalculator: TGroupBox
    Left = 8
    Top = 8
    Width = 401
    Height = 89
    Caption = ' Calculator '
    TabOrder = 0
    object ButtonOpen: TButton
      Left = 12
      Top = 20
      Width = 75
      Height = 25
      Caption = '&Open'
      TabOrder = 0
      OnClick = ButtonOpenClick
    end
    object ButtonClose: TButton
      Left = 12
      Top = 52
      Width = 75
      Height = 25
      Caption = '&Close'
      TabOrder = 1
      OnClick = ButtonCloseClick
    end
    object CheckVisible: TCheckBox
      Left = 104
      Top = 24
      Width = 121
      Height = 17
      Caption = 'Calculator &visible'
      Checked = True
      State = cbChecked
      TabOrder = 2
      OnClick = CheckVisibleClick
    end
    object RadioMode: TRadioGroup
      Left = 240
      Top = 14
      Width = 149
      Height = 65
      Caption = ' View '
      ItemIndex = 0
      Items.Strings = (
        '&Standard'
        'Sc&ientific')
      TabOrder = 3
      OnClick = RadioModeClick
    end
  end
  object GroupExpression: TGroupBox
    Left = 8
    Top = 104
    Width = 401
    Height = 97
    Caption = ' Keys '
    TabOrder = 1
    object LabelExpression: TLabel
      Left = 12
      Top = 24
      Width = 56
      Height = 13
      Caption = '&Expression:'
      FocusControl = EditExpression
    end
    object LabelDisplayCaption: TLabel
      Left = 12
      Top = 64
      Width = 37
      Height = 13
      Caption = 'Display:'
    end
    object LabelDisplay: TLabel
      Left = 80
      Top = 60
      Width = 145
      Height = 20
      Alignment = taRightJustify
      AutoSize = False
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clNavy
      Font.Height = -16
      Font.Name = 'Courier New'
      Font.Style = [fsBold]
      ParentFont = False
    end
    object EditExpression: TEdit
      Left = 80
      Top = 20
      Width = 145
      Height = 21
      TabOrder = 0
      Text = '12+7*3='
    end
    object ButtonEvaluate: TButton
      Left = 240
      Top = 18
      Width = 75
      Height = 25
      Caption = 'E&valuate'
      Default = True
      TabOrder = 1
      OnClick = ButtonEvaluateClick
    end
    object ButtonPlay: TButton
      Left = 320
      Top = 18
      Width = 69
      Height = 25
      Caption = '&Play'
      TabOrder = 2
      OnClick = ButtonPlayClick
    end
  end
  object MemoLog: TMemo
    Left = 8
    Top = 208
    Width = 401
    Height = 113
    Color = clBtnFace
    ReadOnly = True
    ScrollBars = ssVertical
    TabOrder = 2
  end
  object Ostrevane1: TOstrevane
    CalcPath = 'calc.exe'
    OnResult = Ostrevane1Result
    OnClose = Ostrevane1Close
    Left = 376
    Top = 8
  end
end
