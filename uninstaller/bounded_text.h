#pragma once
// The uninstaller's one copy into a fixed buffer. No C runtime is linked, so
// this is the whole of its text handling.

// Copies src with its terminator into dst of dstSize bytes. When src does not
// fit, dst becomes the empty text and the result is false: a cut text never
// reaches a caller.
inline bool CopyText(char* dst, unsigned dstSize, const char* src)
{
    for (unsigned i = 0; i < dstSize; ++i) {
        dst[i] = src[i];
        if (src[i] == 0) return true;
    }
    if (dstSize != 0) dst[0] = 0;
    return false;
}
