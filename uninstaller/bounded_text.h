#pragma once
// The uninstaller's one copy into a fixed buffer, and its append, which is the
// shared one. No C runtime is linked, so these are all of its text handling.
#include "path_text.h"

// Copies src with its terminator into dst of dstSize bytes. When src does not
// fit, dst becomes the empty text and the result is false: a cut text never
// reaches a caller. src may be dst itself, or lie further on in it.
inline bool CopyText(char* dst, unsigned dstSize, const char* src)
{
    for (unsigned i = 0; i < dstSize; ++i) {
        dst[i] = src[i];
        if (src[i] == 0) return true;
    }
    if (dstSize != 0) dst[0] = 0;
    return false;
}

// Appends src to the text in dst under the same rule; on no fit dst is left
// as it was and the result is false.
inline bool AppendText(char* dst, unsigned dstSize, const char* src) { return AppendPathText(dst, dstSize, src); }
