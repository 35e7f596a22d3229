#pragma once
// Whether a development environment runs. Its main window is a top-level
// window of class "TAppBuilder"; it is that environment's when the window's
// process runs a program file in the environment's Bin folder.
#include <cstddef>
#include <cstdint>

// The TargetTable rows among rows (bit n: row n) whose environment runs. A
// window whose program file cannot be told counts for every row asked about;
// a row without a rootFolder never runs. Reads only: no dialog is needed.
std::uint32_t RunningEnvironments(std::uint32_t rows);

// Holds the names of all nine environments and the words around them.
constexpr std::size_t RunningMessageSize = 256;

// "Delphi 7 is running and must be closed first. ..." for the rows (not 0),
// into out (RunningMessageSize bytes), lines broken by "\n".
void ComposeRunningMessage(std::uint32_t rows, char* out);
