#pragma once
// Searching text as the install scripts search it: by character, single bytes equal with bit 0x20 set on both.
// No <windows.h> and no C runtime: the installer, the registrar and the native fuzz builds compile it.
#include "path_text.h"

// Two bytes are equal when they are equal with bit 0x20 set on both: the
// templates' rule, for placeholder names and the scripts' searches. Names of
// files and folders compare under path_text.h's rule, letters only.
inline bool FoldRule(unsigned char a, unsigned char b) { return (a | 0x20) == (b | 0x20); }

// Texts are compared character by character: single-byte characters under
// the FoldRule, double-byte characters byte for byte, never one with the other.
// The text after prefix when text begins with it, else null.
inline const char* AfterFolded(const char* text, const char* prefix)
{
    while (*prefix) {
        const char* nextPrefix = NextChar(prefix);
        const char* nextText = *text ? NextChar(text) : text;
        const long size = nextPrefix - prefix;
        if (size != nextText - text) return nullptr;
        if (size == 1 ? !FoldRule(static_cast<unsigned char>(*prefix), static_cast<unsigned char>(*text))
                      : prefix[0] != text[0] || prefix[1] != text[1])
            return nullptr;
        prefix = nextPrefix;
        text = nextText;
    }
    return text;
}

// First occurrence of pattern in text under the FoldRule, or null; a match
// begins only where a character begins. An empty pattern is found at the
// start of the text.
inline const char* FindFolded(const char* pattern, const char* text)
{
    if (!pattern[0]) return text;
    for (const char* start = text; *start; start = NextChar(start))
        if (AfterFolded(start, pattern)) return start;
    return nullptr;
}
