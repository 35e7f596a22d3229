#pragma once
// Path text as every program of the kit handles it: walked by character, compared with letters folded only.
// No <windows.h> and no C runtime: the native fuzz builds compile it too.

// True for a lead byte of the ANSI code page: it and the byte after it are one
// character, and that second byte may be 0x5C, the backslash. Each program
// defines it from its code page; the native builds bring their own.
bool IsLeadByte(unsigned char c);

// The character after the one at at (not the terminator): two bytes for a
// lead byte followed by anything but the terminator, else one.
inline const char* NextChar(const char* at) { return at + (IsLeadByte(static_cast<unsigned char>(*at)) && at[1] ? 2 : 1); }
inline char* NextChar(char* at) { return const_cast<char*>(NextChar(static_cast<const char*>(at))); }

// A-Z as a-z; every other byte as it is. "[" and "{", or "^" and "~", are
// different characters in a name.
inline unsigned char FoldedLetter(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c | 0x20) : c; }

// The text after prefix when text begins with it, else null. Names compare as
// Windows compares them: single-byte characters with their letters folded,
// double-byte characters byte for byte (a trail byte is never a letter), and
// never a single-byte character with part of a double-byte one.
inline const char* AfterPathPrefix(const char* text, const char* prefix)
{
    while (*prefix) {
        const char* nextPrefix = NextChar(prefix);
        const char* nextText = *text ? NextChar(text) : text;
        if (nextPrefix - prefix != nextText - text) return nullptr;
        if (nextPrefix - prefix == 1 ? FoldedLetter(static_cast<unsigned char>(*prefix)) !=
                                           FoldedLetter(static_cast<unsigned char>(*text))
                                     : prefix[0] != text[0] || prefix[1] != text[1])
            return nullptr;
        prefix = nextPrefix;
        text = nextText;
    }
    return text;
}

// The same name under that rule.
inline bool SamePath(const char* a, const char* b)
{
    const char* after = AfterPathPrefix(a, b);
    return after && !*after;
}

// Appends src to the text in dst of dstSize bytes; when it does not fit, dst
// is left as it was and the result is false.
inline bool AppendPathText(char* dst, unsigned dstSize, const char* src)
{
    unsigned length = 0;
    while (length < dstSize && dst[length]) ++length;
    if (length == dstSize) return false;
    for (unsigned i = 0; length + i < dstSize; ++i) {
        dst[length + i] = src[i];
        if (!src[i]) return true;
    }
    dst[length] = 0;
    return false;
}
