// The installer's command line on any bytes: the outcome is one of the three,
// and the texts taken from it are terminated within their buffers, and empty
// when the wizard runs.
#include <cstdlib>
#include <cstring>
#include <string>

#include "command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), size);
    UnattendedOptions options;
    std::memset(&options, 0x5a, sizeof options);
    const StartMode mode = ParseCommandLine(line.c_str(), &options);
    if (std::memchr(options.destination, 0, PathSize) == nullptr) abort();
    if (std::memchr(options.logFile, 0, PathSize) == nullptr) abort();
    if (mode == StartMode::Wizard && (options.destination[0] || options.logFile[0])) abort();
    if (mode == StartMode::Unattended && line.find('/') == std::string::npos) abort();
    // Whatever /D= took lies in the line as it stands.
    if (mode == StartMode::Unattended && options.destination[0] && line.find(options.destination) == std::string::npos)
        abort();
    return 0;
}
