#pragma once
// The development environments a replay must not run under: those the held
// log names (its UserKeyOpen records name their keys), or any environment
// when the log names none.

// Asks the user to close every such environment that runs; true once none
// runs, false when the user cancels. Without asking (a quiet removal), false
// at once while one runs. Reads the log without moving the replay.
bool EnvironmentsClosed(bool ask = true);
