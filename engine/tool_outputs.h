#pragma once
// What a build tool leaves in the product's own folders. The tools write
// more than the package (compiled package files, import libraries, objects,
// debug symbols), and which files depends on the tool's version and flags:
// what is there after the tool and was not before is its output, whatever
// its name. A file that was there before stays out of it.
#include <windows.h>

#include <cstdint>

struct FolderContents {
    std::uint32_t* names = nullptr;  // hashes of the paths below the folder, NameCapacity of them
    std::size_t count = 0;
    bool whole = false;       // every path fitted
    FILETIME taken = {};      // when the contents were noted
};

// Notes what is below folder now (links are not followed). Release with
// ReleaseFolderContents.
void NoteFolderContents(const char* folder, FolderContents* contents);
void ReleaseFolderContents(FolderContents* contents);
// Calls visit for each file and folder below folder that is not in
// contents, a folder after what it holds, skipping links. Where the
// contents could not all be noted, only what was written since they were
// counts as new.
void VisitNewEntries(const char* folder, const FolderContents& contents,
                     void (*visit)(const char* path, bool isFolder));
