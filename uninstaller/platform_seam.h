#pragma once
// What the byte rules ask of the platform. The Win32 side defines these in
// platform_seam.cpp; the native fuzz build gives answers of its own.

// The largest path the uninstaller handles, with its terminator.
constexpr unsigned PathSize = 260;

// The absolute form of path, as the platform resolves it, into out; false
// when it fails or does not fit.
bool FullPathOf(const char* path, char* out, unsigned outSize);
// True when the folder at path is a junction or symbolic link.
bool IsReparsePoint(const char* path);
// True for a lead byte of the ANSI code page: it and the byte after it are
// one character, and that second byte may be a backslash.
bool IsLeadByte(unsigned char c);

// Paths are walked by character: the character after the one at at (not the
// terminator).
inline const char* NextChar(const char* at) { return at + (IsLeadByte(static_cast<unsigned char>(*at)) && at[1] ? 2 : 1); }
inline char* NextChar(char* at) { return at + (IsLeadByte(static_cast<unsigned char>(*at)) && at[1] ? 2 : 1); }
// True when at holds a backslash that is a character of its own.
inline bool AtSeparator(const char* at) { return *at == '\\' && NextChar(at) == at + 1; }

// A file or folder whatever its path's spelling: its volume and its index
// there. Win32 side only: the byte rules never ask for it.
struct FileIdentity {
    unsigned long volume, high, low;
};
// False, with all zero, when path cannot be opened.
bool IdentityOf(const char* path, FileIdentity* identity);
inline bool SameIdentity(const FileIdentity& a, const FileIdentity& b)
{
    return a.volume == b.volume && a.high == b.high && a.low == b.low;
}
