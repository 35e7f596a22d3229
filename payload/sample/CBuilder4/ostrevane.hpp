// Ostrevane v3.10 (trial) -- Copyright (c) 1999-2004 Quillmere Software
// ostrevane.hpp: the C++ declarations of the Pascal unit ostrevane, written by
// the Pascal compiler of C++Builder 4 when it compiled ostrevane.dcu.
// Do not edit: a new compile of the unit writes this file again.

#ifndef OstrevaneHPP
#define OstrevaneHPP

#pragma option push -w-
#pragma option push -Vx
#include <SysUtils.hpp>	// Pascal unit
#include <Forms.hpp>	// Pascal unit
#include <Controls.hpp>	// Pascal unit
#include <Messages.hpp>	// Pascal unit
#include <Classes.hpp>	// Pascal unit
#include <Windows.hpp>	// Pascal unit
#include <SysInit.hpp>	// Pascal unit
#include <System.hpp>	// Pascal unit

//-- user supplied -----------------------------------------------------------

namespace Ostrevane
{
//-- type declarations -------------------------------------------------------
#pragma option push -b-
enum TOstrevaneMode { omStandard, omScientific };
#pragma option pop

#pragma option push -b-
enum TOstrevaneState { osClosed, osStarting, osReady, osBusy, osLost };
#pragma option pop

#pragma option push -b-
enum TOstrevaneOption { ooHideOnOpen, ooCloseOnDestroy, ooKeepOnTop, ooClearOnOpen };
#pragma option pop

typedef Set<TOstrevaneOption, ooHideOnOpen, ooClearOnOpen>  TOstrevaneOptions;

typedef void __fastcall (__closure *TOstrevaneResultEvent)(System::TObject* Sender, const AnsiString
	Display, double Value);

typedef void __fastcall (__closure *TOstrevaneStateEvent)(System::TObject* Sender, TOstrevaneState
	OldState, TOstrevaneState NewState);

class DELPHICLASS EOstrevaneError;
#pragma pack(push, 4)
class PASCALIMPLEMENTATION EOstrevaneError : public Sysutils::Exception
{
	typedef Sysutils::Exception inherited;

public:
	#pragma option push -w-inl
	/* Exception.Create */ inline __fastcall EOstrevaneError(const AnsiString Msg) : Sysutils::Exception(
		Msg) { }
	#pragma option pop
	#pragma option push -w-inl
	/* Exception.CreateFmt */ inline __fastcall EOstrevaneError(const AnsiString Msg, const System::TVarRec
		* Args, const int Args_Size) : Sysutils::Exception(Msg, Args, Args_Size) { }
	#pragma option pop
	#pragma option push -w-inl
	/* Exception.CreateRes */ inline __fastcall EOstrevaneError(int Ident, Extended Dummy) : Sysutils::Exception(
		Ident, Dummy) { }
	#pragma option pop

public:
	#pragma option push -w-inl
	/* TObject.Destroy */ inline __fastcall virtual ~EOstrevaneError(void) { }
	#pragma option pop

};

#pragma pack(pop)

class DELPHICLASS TOstrevane;
#pragma pack(push, 4)
class PASCALIMPLEMENTATION TOstrevane : public Classes::TComponent
{
	typedef Classes::TComponent inherited;

private:
	HWND FCalcWindow;
	HWND FDisplayWindow;
	HWND FNotifyWindow;
	unsigned FProcess;
	unsigned FHookLibrary;
	bool FActive;
	bool FVisible;
	AnsiString FCalcPath;
	TOstrevaneMode FMode;
	TOstrevaneOptions FOptions;
	TOstrevaneState FState;
	int FTimeout;
	TOstrevaneResultEvent FOnResult;
	TOstrevaneStateEvent FOnStateChange;
	Classes::TNotifyEvent FOnClose;
	void __fastcall SetActive(bool Value);
	void __fastcall SetVisible(bool Value);
	void __fastcall SetMode(TOstrevaneMode Value);
	AnsiString __fastcall GetDisplay();
	double __fastcall GetValue(void);
	void __fastcall SetValue(double Value);
	void __fastcall NotifyProc(Messages::TMessage &Message);
	void __fastcall ChangeState(TOstrevaneState NewState);
	bool __fastcall FindCalcWindows(void);
	void __fastcall LoadHook(void);
	void __fastcall UnloadHook(void);

protected:
	virtual void __fastcall Loaded(void);
	DYNAMIC void __fastcall DoResult(void);
	DYNAMIC void __fastcall DoClose(void);

public:
	__fastcall virtual TOstrevane(Classes::TComponent* AOwner);
	__fastcall virtual ~TOstrevane(void);
	void __fastcall Open(void);
	void __fastcall Close(void);
	void __fastcall Clear(void);
	void __fastcall SendKeys(const AnsiString Keys);
	double __fastcall Evaluate(const AnsiString Expression);
	void __fastcall CopyToClipboard(void);
	void __fastcall BringToFront(void);
	__property HWND CalcWindow = {read=FCalcWindow, nodefault};
	__property AnsiString Display = {read=GetDisplay};
	__property TOstrevaneState State = {read=FState, nodefault};
	__property double Value = {read=GetValue, write=SetValue};

__published:
	__property bool Active = {read=FActive, write=SetActive, default=0};
	__property AnsiString CalcPath = {read=FCalcPath, write=FCalcPath};
	__property TOstrevaneMode Mode = {read=FMode, write=SetMode, default=0};
	__property TOstrevaneOptions Options = {read=FOptions, write=FOptions, default=2};
	__property int Timeout = {read=FTimeout, write=FTimeout, default=5000};
	__property bool Visible = {read=FVisible, write=SetVisible, default=1};
	__property TOstrevaneResultEvent OnResult = {read=FOnResult, write=FOnResult};
	__property TOstrevaneStateEvent OnStateChange = {read=FOnStateChange, write=FOnStateChange};
	__property Classes::TNotifyEvent OnClose = {read=FOnClose, write=FOnClose};
};

#pragma pack(pop)

//-- var, const, procedure ---------------------------------------------------
static const Word WM_OSTREVANE_NOTIFY = 0x464;
static const Word WM_OSTREVANE_CLOSED = 0x465;
#define OstrevaneVersion "3.10"
extern PACKAGE void __fastcall Register(void);

}	/* namespace Ostrevane */
#if !defined(NO_IMPLICIT_NAMESPACE_USE)
using namespace Ostrevane;
#endif
#pragma option pop	// -w-
#pragma option pop	// -Vx

//-- end unit ----------------------------------------------------------------
#endif	// Ostrevane
