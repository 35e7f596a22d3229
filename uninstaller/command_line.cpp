#include "command_line.h"

#include "platform_seam.h"

namespace {

const char* AfterProgramName(const char* text)
{
    if (*text == '"') {
        for (++text; *text && *text != '"'; ++text) {}
        if (*text) ++text;
    } else {
        while (*text && *text != ' ' && *text != '\t') ++text;
    }
    while (*text == ' ' || *text == '\t') ++text;
    return text;
}

const char* AfterQuietSwitch(const char* text)
{
    if (text[0] != '/' || (text[1] != 'S' && text[1] != 's') || (text[2] && text[2] != ' ' && text[2] != '\t'))
        return nullptr;
    for (text += 2; *text == ' ' || *text == '\t';) ++text;
    return text;
}

}  // namespace

bool QuietCommand(const char* commandLine) { return AfterQuietSwitch(AfterProgramName(commandLine)) != nullptr; }

const char* LogPathText(const char* commandLine, char* path)
{
    const char* remainder = AfterProgramName(commandLine);
    if (const char* quietPath = AfterQuietSwitch(remainder)) remainder = quietPath;
    if (*remainder != '"') return remainder;
    ++remainder;
    unsigned length = 0;
    while (remainder[length] && remainder[length] != '"') ++length;
    if (length >= PathSize) return remainder;
    for (unsigned i = 0; i < length; ++i) path[i] = remainder[i];
    path[length] = 0;
    return path;
}
