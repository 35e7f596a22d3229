#include "platform_seam.h"

#include <windows.h>

#include "handles.h"

bool FullPathOf(const char* path, char* out, unsigned outSize)
{
    char* name;
    const DWORD length = GetFullPathNameA(path, outSize, out, &name);
    return length != 0 && length < outSize;
}

bool IsLeadByte(unsigned char c)
{
    // Asked for every character of every path: the code page's answers are
    // taken once.
    static bool taken = false;
    static bool lead[256];
    if (!taken) {
        for (unsigned b = 0; b < 256; ++b) lead[b] = IsDBCSLeadByte(static_cast<BYTE>(b)) != FALSE;
        taken = true;
    }
    return lead[c];
}

bool IsReparsePoint(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
