#pragma once
// Nothing is written, built or deleted through a link where someone other
// than the installing administrator could have put one. path must be
// writable: it is cut at each folder on the way and left as it was.
#include <windows.h>

// True when path is the home folder or lies in it, and the home folder, or a
// folder or file below it on the way to path, is a link.
bool ThroughLinkInHome(char* path);
// Holds the home folder, which the installation has just made with the
// protected access list: until ReleaseHomeFolder nobody can put another
// folder in its place, nobody but administrators can put anything in it, and
// ThroughLinkInHome has nothing to look for. False, and nothing held, when the
// folder is not the one made (a link, or another's folder, swapped in).
bool HoldMadeHomeFolder();
bool HoldsHomeFolder();
void ReleaseHomeFolder();
// True when path lies below the environment's folder ($DELPHI_DIR$) and a
// folder on the way down from it, or the file itself, is a link.
bool ThroughLinkInEnvironment(char* path);
// True when path lies below the home folder (not the folder itself).
bool InHomeFolder(const char* path);
// True when the file open at file is not the plain file that path names
// below the environment's folder: a link (opened without following it), a
// file with another name too, or one whose final path lies elsewhere, say
// through a link swapped in after the path was checked. Outside the
// environment's folder the final path must be path itself.
bool LinkedAtHandle(HANDLE file, const char* path);
