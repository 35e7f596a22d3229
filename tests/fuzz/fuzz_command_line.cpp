// The installer's command line on any text (two bytes a character, as
// Windows keeps it): the outcome is one of the three, and the texts taken
// from it are terminated within their buffers, and empty when the wizard runs.
#include <cstdlib>
#include <cwchar>
#include <string>

#include "command_line.h"

namespace {
bool Terminated(const wchar_t* text)
{
    for (std::size_t i = 0; i < PathSize; ++i)
        if (!text[i]) return true;
    return false;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    std::wstring line;
    for (size_t i = 0; i + 1 < size; i += 2) line += static_cast<wchar_t>(data[i] | data[i + 1] << 8);
    UnattendedOptions options;
    for (std::size_t i = 0; i < PathSize; ++i) options.destination[i] = options.logFile[i] = L'Z';
    const StartMode mode = ParseCommandLine(line.c_str(), &options);
    if (!Terminated(options.destination) || !Terminated(options.logFile)) abort();
    if (mode == StartMode::Wizard && (options.destination[0] || options.logFile[0])) abort();
    if (mode == StartMode::Unattended && line.find(L'/') == std::wstring::npos) abort();
    // Whatever /D= took, unquoted, lies in the line as it stands.
    if (mode == StartMode::Unattended && options.destination[0] && line.find(L"\"/") == std::wstring::npos &&
        line.find(options.destination) == std::wstring::npos)
        abort();
    return 0;
}
