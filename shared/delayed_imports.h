#pragma once
// The binding of the functions a program imports delayed (CMake's
// ostrevane_delay_load): at the first call of one, its DLL is loaded from the
// system folder by its full path, never searched for, and the call goes on.
// A run that never calls one never loads the DLL. The entry file of a
// program linked so (kvxpurge) includes this once; MinGW's own helper, which
// loads by bare name, is then never linked. No C runtime.
#include <windows.h>

#include <delayimp.h>

#include "safe_start.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

// Called by the import's stub with its descriptor and its slot in the
// descriptor's address table; the function's address goes into the slot, so
// later calls go straight to it. Without the DLL or the function, which
// Windows always has, the program ends as Windows ends one whose import is
// missing.
extern "C" __attribute__((used)) FARPROC WINAPI __delayLoadHelper2(PCImgDelayDescr delayed, FARPROC* slot)
{
    const auto base = reinterpret_cast<char*>(&__ImageBase);
    const auto at = [&](RVA address) { return delayed->grAttrs & dlattrRva ? base + address : reinterpret_cast<char*>(address); };
    auto* const module = reinterpret_cast<HMODULE*>(at(delayed->rvaHmod));
    if (!*module) *module = safe_start::LoadFileFromSystemFolder(at(delayed->rvaDLLName));
    if (!*module) ExitProcess(static_cast<UINT>(0xC0000135));  // STATUS_DLL_NOT_FOUND
    const auto* const names = reinterpret_cast<const IMAGE_THUNK_DATA32*>(at(delayed->rvaINT));
    const IMAGE_THUNK_DATA32& name = names[slot - reinterpret_cast<FARPROC*>(at(delayed->rvaIAT))];
    const char* const function = IMAGE_SNAP_BY_ORDINAL32(name.u1.Ordinal)
                                     ? reinterpret_cast<const char*>(IMAGE_ORDINAL32(name.u1.Ordinal))
                                     : reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(at(name.u1.AddressOfData))->Name;
    const FARPROC bound = GetProcAddress(*module, function);
    if (!bound) ExitProcess(static_cast<UINT>(0xC0000139));  // STATUS_ENTRYPOINT_NOT_FOUND
    *slot = bound;
    return bound;
}
