#include "command_line.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

const char* SkipBlanks(const char* at)
{
    while (IsBlank(*at)) ++at;
    return at;
}

// As Windows reads it: up to the closing quote, or up to the first blank.
const char* SkipProgramName(const char* at)
{
    if (*at == '"') {
        ++at;
        while (*at && *at != '"') ++at;
        return *at ? at + 1 : at;
    }
    while (*at && !IsBlank(*at)) ++at;
    return at;
}

// The text after name when at begins with it, letters of either case; null otherwise.
const char* AfterName(const char* at, const char* name)
{
    for (; *name; ++at, ++name) {
        const char c = (*at >= 'a' && *at <= 'z') ? static_cast<char>(*at - 'a' + 'A') : *at;
        if (c != *name) return nullptr;
    }
    return at;
}

bool EndsWord(char c) { return c == '\0' || IsBlank(c); }

// "/LOG=" value: quoted, or up to the next blank. Null on a missing quote, an
// empty name or one that does not fit.
const char* ReadLogFileOption(const char* at, char* out)
{
    const char* end;
    const char* begin = at;
    if (*at == '"') {
        begin = ++at;
        while (*at && *at != '"') ++at;
        if (!*at) return nullptr;
        end = at++;
        if (!EndsWord(*at)) return nullptr;
    } else {
        while (!EndsWord(*at)) ++at;
        end = at;
    }
    const std::size_t length = static_cast<std::size_t>(end - begin);
    if (length == 0 || length >= PathSize) return nullptr;
    for (std::size_t i = 0; i < length; ++i) out[i] = begin[i];
    out[length] = '\0';
    return at;
}

// An option's word at at: /S, /LOG= or /D=.
bool StartsOption(const char* at)
{
    const char* next = AfterName(at, "/S");
    return (next && EndsWord(*next)) || AfterName(at, "/LOG=") || AfterName(at, "/D=");
}

// "/D=" value: the rest of the line, up to blanks that an option follows,
// without its trailing blanks; what follows it, or null when it is empty or
// does not fit. No folder name ends in a blank, so " /LOG=" cannot be part
// of one.
const char* ReadDestinationOption(const char* at, char* out)
{
    const char* end = at;
    while (*end && !(IsBlank(*end) && StartsOption(SkipBlanks(end)))) ++end;
    std::size_t length = static_cast<std::size_t>(end - at);
    while (length && IsBlank(at[length - 1])) --length;
    if (length == 0 || length >= PathSize) return nullptr;
    for (std::size_t i = 0; i < length; ++i) out[i] = at[i];
    out[length] = '\0';
    return end;
}

}  // namespace

StartMode ParseCommandLine(const char* commandLine, UnattendedOptions* options)
{
    options->destination[0] = options->logFile[0] = '\0';
    const char* at = SkipBlanks(SkipProgramName(commandLine));
    if (*at != '/') return StartMode::Wizard;
    bool silent = false;
    while (*at) {
        const char* next;
        if ((next = AfterName(at, "/S")) && EndsWord(*next) && !silent) {
            silent = true;
        } else if ((next = AfterName(at, "/LOG=")) && !options->logFile[0]) {
            next = ReadLogFileOption(next, options->logFile);
            if (!next) return StartMode::BadCommandLine;
        } else if ((next = AfterName(at, "/D=")) && !options->destination[0]) {
            next = ReadDestinationOption(next, options->destination);
            if (!next) return StartMode::BadCommandLine;
        } else {
            return StartMode::BadCommandLine;
        }
        at = SkipBlanks(next);
    }
    return silent ? StartMode::Unattended : StartMode::BadCommandLine;
}
