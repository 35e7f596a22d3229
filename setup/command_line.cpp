#include "command_line.h"

namespace {

// An option word quoted whole: its name and the longest value.
constexpr std::size_t WordSize = PathSize + sizeof "/LOG=" - 1;

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

const wchar_t* SkipBlanks(const wchar_t* at)
{
    while (IsBlank(*at)) ++at;
    return at;
}

// As Windows reads it: up to the closing quote, or up to the first blank.
const wchar_t* SkipProgramName(const wchar_t* at)
{
    if (*at == L'"') {
        ++at;
        while (*at && *at != L'"') ++at;
        return *at ? at + 1 : at;
    }
    while (*at && !IsBlank(*at)) ++at;
    return at;
}

// The text after name when at begins with it, letters of either case; null otherwise.
const wchar_t* AfterName(const wchar_t* at, const char* name)
{
    for (; *name; ++at, ++name) {
        const wchar_t c = (*at >= L'a' && *at <= L'z') ? static_cast<wchar_t>(*at - L'a' + L'A') : *at;
        if (c != static_cast<wchar_t>(*name)) return nullptr;
    }
    return at;
}

bool EndsWord(wchar_t c) { return c == L'\0' || IsBlank(c); }

bool CopyValue(const wchar_t* begin, std::size_t length, wchar_t* out)
{
    if (length == 0 || length >= PathSize) return false;
    for (std::size_t i = 0; i < length; ++i) out[i] = begin[i];
    out[length] = L'\0';
    return true;
}

// One word after the program's name as CommandLineToArgvW takes it: blanks
// inside quotes kept, backslashes doubled before a quote halved, an escaped
// quote kept, and a quote after a closing one taken as a quote. Null when it
// does not fit size characters.
const wchar_t* ReadArgvWord(const wchar_t* at, wchar_t* out, std::size_t size)
{
    std::size_t length = 0, backslashes = 0;
    unsigned quotes = 0;  // 1 inside quotes
    bool over = false;
    const auto put = [&](wchar_t c) {
        if (length + 1 >= size) over = true;
        else out[length] = c;
        ++length;
    };
    while (*at && !(IsBlank(*at) && quotes == 0)) {
        if (*at == L'\\') {
            put(*at++);
            ++backslashes;
            continue;
        }
        if (*at != L'"') {
            put(*at++);
            backslashes = 0;
            continue;
        }
        length -= backslashes / 2;
        if (backslashes % 2 == 0) {
            ++quotes;
        } else {
            --length;
            put(L'"');
        }
        backslashes = 0;
        for (++at; *at == L'"'; ++at)
            if (++quotes == 3) {
                put(L'"');
                quotes = 0;
            }
        if (quotes == 2) quotes = 0;
    }
    if (over) return nullptr;
    out[length] = L'\0';
    return at;
}

// "/LOG=" value: quoted, or up to the next blank. Null on a missing quote, an
// empty name or one that does not fit.
const wchar_t* ReadLogFileOption(const wchar_t* at, wchar_t* out)
{
    const wchar_t* end;
    const wchar_t* begin = at;
    if (*at == L'"') {
        begin = ++at;
        while (*at && *at != L'"') ++at;
        if (!*at) return nullptr;
        end = at++;
        if (!EndsWord(*at)) return nullptr;
    } else {
        while (!EndsWord(*at)) ++at;
        end = at;
    }
    return CopyValue(begin, static_cast<std::size_t>(end - begin), out) ? at : nullptr;
}

// An option's word at at: /S, /LOG= or /D=, bare or quoted whole.
bool StartsOption(const wchar_t* at)
{
    const bool quoted = *at == L'"';
    if (quoted) ++at;
    const wchar_t* next = AfterName(at, "/S");
    return (next && (EndsWord(*next) || (quoted && *next == L'"'))) || AfterName(at, "/LOG=") || AfterName(at, "/D=");
}

// "/D=" value: the rest of the line, up to blanks that an option follows,
// without its trailing blanks; what follows it, or null when it is empty or
// does not fit. No folder name ends in a blank, so " /LOG=" cannot be part
// of one.
const wchar_t* ReadDestinationOption(const wchar_t* at, wchar_t* out)
{
    const wchar_t* end = at;
    while (*end && !(IsBlank(*end) && StartsOption(SkipBlanks(end)))) ++end;
    std::size_t length = static_cast<std::size_t>(end - at);
    while (length && IsBlank(at[length - 1])) --length;
    return CopyValue(at, length, out) ? end : nullptr;
}

std::size_t Length(const wchar_t* text)
{
    std::size_t length = 0;
    while (text[length]) ++length;
    return length;
}

// An option quoted whole, as one word: its value is the rest of the word.
bool TakeWholeWord(const wchar_t* word, bool* silent, UnattendedOptions* options)
{
    const wchar_t* value;
    if ((value = AfterName(word, "/S")) && !*value && !*silent) return *silent = true;
    if ((value = AfterName(word, "/LOG=")) && !options->logFile[0])
        return CopyValue(value, Length(value), options->logFile);
    if ((value = AfterName(word, "/D=")) && !options->destination[0])
        return CopyValue(value, Length(value), options->destination);
    return false;
}

}  // namespace

StartMode ParseCommandLine(const wchar_t* commandLine, UnattendedOptions* options)
{
    options->destination[0] = options->logFile[0] = L'\0';
    const wchar_t* at = SkipBlanks(SkipProgramName(commandLine));
    if (*at != L'/' && !(at[0] == L'"' && at[1] == L'/')) return StartMode::Wizard;
    bool silent = false;
    while (*at) {
        const wchar_t* next;
        if (*at == L'"') {
            wchar_t word[WordSize];
            next = ReadArgvWord(at, word, WordSize);
            if (!next || !TakeWholeWord(word, &silent, options)) return StartMode::BadCommandLine;
        } else if ((next = AfterName(at, "/S")) && EndsWord(*next) && !silent) {
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
