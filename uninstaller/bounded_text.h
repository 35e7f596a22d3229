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

// Appends src to the text in dst under the same rule; on no fit dst is left
// as it was and the result is false.
inline bool AppendText(char* dst, unsigned dstSize, const char* src)
{
    unsigned length = 0;
    while (length < dstSize && dst[length] != 0) ++length;
    if (length == dstSize) return false;
    for (unsigned i = 0; length + i < dstSize; ++i) {
        dst[length + i] = src[i];
        if (src[i] == 0) return true;
    }
    dst[length] = 0;
    return false;
}
