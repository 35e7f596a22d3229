#pragma once
// The uninstaller's one copy into a fixed buffer. No C runtime is linked, so
// this is the whole of its text handling, on the bounded append of paths.
#include "shared/path_text.h"

// Copies src with its terminator into dst of dstSize bytes. When src does not
// fit, dst becomes the empty text and the result is false: a cut text never
// reaches a caller.
inline bool CopyText(char* dst, unsigned dstSize, const char* src)
{
    if (dstSize == 0) return false;
    dst[0] = 0;
    return AppendPathText(dst, dstSize, src);
}

// Appends src to the text in dst under the same rule; on no fit dst is left
// as it was and the result is false.
inline bool AppendText(char* dst, unsigned dstSize, const char* src) { return AppendPathText(dst, dstSize, src); }
