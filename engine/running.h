#pragma once
// Whether a development environment runs: a process in any session runs its
// main program (RootDir\Bin\delphi32.exe or bcb.exe), the same file however
// either path is spelled. A main window (class "TAppBuilder") whose
// process's program file cannot be told may be any environment's.
#include <cstddef>
#include <cstdint>

// The TargetTable rows among rows (bit n: row n) whose environment runs. Such
// a window counts for every row asked about; a row without a rootFolder
// never runs. Reads only: no dialog is needed.
std::uint32_t RunningEnvironments(std::uint32_t rows);

// Holds the names of all nine environments and the words around them.
constexpr std::size_t RunningMessageSize = 256;

// "Delphi 7 is running and must be closed first. ..." for the rows (not 0),
// into out (RunningMessageSize bytes), lines broken by "\n".
void ComposeRunningMessage(std::uint32_t rows, char* out);
