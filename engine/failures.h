#pragma once
// What went wrong during an installation, kept for the finish page: the first
// failure of each target and the failures that belong to no target. Plain
// byte work: this file and failures.cpp must not need <windows.h>.
#include <cstddef>
#include <cstdint>

#include "catalogue.h"

// What a step could not do. A target keeps only its first failure.
enum class Failure : std::uint8_t {
    None,
    FolderNotCreated,       // CreateFolders
    FileNotWritten,         // ExtractResource: not created, or not written whole
    ToolNotStarted,         // RunTool: no such tool, or its folder cannot be entered
    ToolFailed,             // RunTool: a nonzero exit code
    PackageNotBuilt,        // CopyFileTo, PurgePackageEntries, RegisterPackage: no package, or a failed build
    PackageNotCopied,       // CopyFileTo
    PackageNotRegistered,   // RegisterPackage
    SearchPathNotExtended,  // ExtendSearchPath
    RegistryNotWritten,     // RegisterHelp, WriteMachineValue
    HelpIndexNotUpdated,    // AppendOnce on an existing, non-empty file
    DeletionStillPending,   // ExtractResource, CopyFileTo: the restart's list of deletions not cleaned
};

// Failures outside the targets, one bit each.
enum OverallFailure : std::uint8_t {
    HomeFolderNotCreated = 1,  // the destination, on entering page 3
    HomeFolderNotStored = 2,   // "RootDir"
    LogNotWritten = 4,         // uninst.kvx not created or not written whole
    InstallNotRun = 8,         // the worker thread could not be started
};

constexpr int NoFailureTarget = -1;

struct FailureRecord {
    Failure first[TargetCount];  // by TargetTable row
    std::uint8_t overall;  // OverallFailure bits
    int current;           // the row whose script runs, or NoFailureTarget
    bool buildFailed;      // a tool failed since the current target began
};

extern FailureRecord TheFailures;

void ClearFailures();
// The steps noted from now on belong to this row; a new row has built nothing yet.
void SetFailureTarget(int row);
// Kept when it is the current target's first failure; outside a target only a
// tool's failure is kept (as buildFailed), since every script step runs inside one.
void NoteFailure(Failure failure);
void NoteOverallFailure(OverallFailure failure);
bool AnyFailure();
bool BuildFailed();

// Holds every line there can be: 16 lines of at most 45 characters.
constexpr std::size_t FailureListSize = 1024;

// The finish page's second text after failures: one line
// per failure, the destination first, then the targets in table order by
// their short names, then "RootDir" and the log.
// With more lines than maxLines, the last line shown reads "and N more".
// Lines are broken by a lone "\r". False, with the empty text in out, when
// the text does not fit outSize bytes.
bool ComposeFailureList(int maxLines, char* out, std::size_t outSize);
