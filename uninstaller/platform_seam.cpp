#include "platform_seam.h"

#include <windows.h>

bool FullPathOf(const char* path, char* out, unsigned outSize)
{
    char* name;
    const DWORD length = GetFullPathNameA(path, outSize, out, &name);
    return length != 0 && length < outSize;
}

bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

bool IsReparsePoint(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
