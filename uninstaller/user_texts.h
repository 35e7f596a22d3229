#pragma once
// The texts kvxpurge builds for the user from counts and key names.

// The environment's name for its key, "Software\Borland\Delphi\7.0" ->
// "Delphi 7": the last two components, the second up to its dot, each cut to
// fit out (EnvironmentNameSize bytes).
constexpr unsigned EnvironmentNameSize = 24;
void EnvironmentNameOf(const char* key, char* out);

// "1 file could not be deleted !" or "N files could not be deleted !" into
// out (LeftTextSize bytes), for count > 0.
constexpr unsigned LeftTextSize = 48;
void FormatLeftFiles(unsigned count, char* out);
// "1 item could not be removed !" or "N items ...", for count > 0: what is
// left when it is not only files.
void FormatLeftItems(unsigned count, char* out);
