#pragma once
// Telling by an open handle whether a file was reached through a link or has
// another name: the check both programs make on a file they write.
#include <windows.h>

#include "handles.h"

namespace link_check {

// "\\?\" and a path, or "\\?\UNC\" and a share's.
constexpr DWORD FinalPathSize = MAX_PATH + 8;
using FinalPathFunction = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);

// Windows' GetFinalPathNameByHandleA; null before Vista, which cannot tell.
inline FinalPathFunction FinalPathLookup()
{
    return reinterpret_cast<FinalPathFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA")));
}

// The length of the path the system reaches file by, in out (FinalPathSize
// bytes); 0 when it cannot be told or does not fit.
inline DWORD FinalPathOf(FinalPathFunction finalPath, HANDLE file, char* out)
{
    const DWORD length = finalPath(file, out, FinalPathSize, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    return length < FinalPathSize ? length : 0;
}

using InformationByHandleFunction = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);

// The attributes of the file open at file and its number of names. Vista on
// asks the file system for just these; earlier Windows for everything about
// the file, its volume among it, which costs a query of the volume too.
inline bool AttributesAndNames(HANDLE file, DWORD* attributes, DWORD* names)
{
    const auto information = reinterpret_cast<InformationByHandleFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFileInformationByHandleEx")));
    if (information) {
        FILE_BASIC_INFO basic;
        FILE_STANDARD_INFO standard;
        if (!information(file, FileBasicInfo, &basic, sizeof basic) ||
            !information(file, FileStandardInfo, &standard, sizeof standard))
            return false;
        *attributes = basic.FileAttributes;
        *names = standard.NumberOfLinks;
        return true;
    }
    BY_HANDLE_FILE_INFORMATION all;
    if (!GetFileInformationByHandle(file, &all)) return false;
    *attributes = all.dwFileAttributes;
    *names = all.nNumberOfLinks;
    return true;
}

}  // namespace link_check

// True unless the file open at file is a plain file (not a link, opened
// without following it; no other name) that the system reaches where it
// should: through the folder root, followed as it stands (an environment
// moved away behind a link at its RootDir), and then below; with a null root,
// at below made full. A link swapped in on the way after the path was
// checked shows here. samePath compares two final paths, in the program's
// own rule for names. Windows before Vista cannot tell a final path: there
// the checks by name stand alone.
inline bool LinkedAtHandle(HANDLE file, const char* root, const char* below,
                           bool (*samePath)(const char*, const char*))
{
    using namespace link_check;
    DWORD attributes = 0, names = 0;
    if (!AttributesAndNames(file, &attributes, &names) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) || names != 1)
        return true;
    const FinalPathFunction finalPath = FinalPathLookup();
    if (!finalPath) return false;
    char expected[FinalPathSize], actual[FinalPathSize];
    if (root) {
        DWORD length = 0;
        {
            const UniqueFile folder(CreateFileA(root, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
            if (folder) length = FinalPathOf(finalPath, folder.get(), expected);
        }
        if (length < 3) return true;
        // Only a drive's root ends in its separator ("\\?\C:\"); a colon is
        // no double-byte character's second byte.
        if (expected[length - 1] != '\\' || expected[length - 2] != ':') expected[length++] = '\\';
        for (const char* at = below;; ++at) {
            if (length == FinalPathSize) return true;
            expected[length++] = *at;
            if (!*at) break;
        }
    } else {
        char* name;
        const DWORD length = GetFullPathNameA(below, MAX_PATH, expected + 4, &name);
        if (length == 0 || length >= MAX_PATH) return true;
        expected[0] = expected[1] = expected[3] = '\\';
        expected[2] = '?';
    }
    return !FinalPathOf(finalPath, file, actual) || !samePath(actual, expected);
}
