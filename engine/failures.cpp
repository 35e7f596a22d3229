#include "failures.h"

#include "templates.h"

FailureRecord TheFailures = {{}, 0, NoFailureTarget, false};

namespace {

// By Failure value.
constexpr const char* FailureWords[] = {
    "",
    "folder not created",
    "file not written",
    "build tool did not start",
    "build failed",
    "package not built",
    "package not copied",
    "package not registered",
    "search path not extended",
    "registry not written",
    "help index not updated",
    "file set to go at restart",
};
static_assert(sizeof FailureWords / sizeof FailureWords[0] ==
                  static_cast<std::size_t>(Failure::DeletionStillPending) + 1,
              "one text per failure");

constexpr char HomeFolderLine[] = "Destination folder not created";
constexpr char HomeStoredLine[] = "Destination not recorded in the registry";
constexpr char NotRunLine[] = "Installation did not run";
constexpr char LogLine[] = "Uninstall log not written";

struct ListLine {
    const char* name;   // null for a line of its own
    const char* words;
};

// Writes the decimal digits of value at the end of out.
bool AppendNumber(char* out, std::size_t outSize, unsigned value)
{
    char digits[12];
    char* at = digits + sizeof digits;
    *--at = '\0';
    do {
        *--at = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    return AppendText(out, outSize, at);
}

bool AppendLine(char* out, std::size_t outSize, const ListLine& line)
{
    if (out[0] && !AppendText(out, outSize, "\r")) return false;
    if (line.name && !(AppendText(out, outSize, line.name) && AppendText(out, outSize, ": "))) return false;
    return AppendText(out, outSize, line.words);
}

}  // namespace

void ClearFailures() { TheFailures = FailureRecord{{}, 0, NoFailureTarget, false}; }

void SetFailureTarget(int row)
{
    TheFailures.current = row >= 0 && row < TargetCount ? row : NoFailureTarget;
    TheFailures.buildFailed = false;
}

void NoteFailure(Failure failure)
{
    if (failure == Failure::ToolNotStarted || failure == Failure::ToolFailed) TheFailures.buildFailed = true;
    if (TheFailures.current == NoFailureTarget) return;
    Failure& first = TheFailures.first[TheFailures.current];
    if (first == Failure::None) first = failure;
}

void NoteOverallFailure(OverallFailure failure) { TheFailures.overall |= failure; }

bool AnyFailure()
{
    if (TheFailures.overall) return true;
    for (Failure failure : TheFailures.first)
        if (failure != Failure::None) return true;
    return false;
}

bool BuildFailed() { return TheFailures.buildFailed; }

bool ComposeFailureList(int maxLines, char* out, std::size_t outSize)
{
    if (outSize == 0) return false;
    ListLine lines[TargetCount + 4];
    int count = 0;
    if (TheFailures.overall & InstallNotRun) lines[count++] = {nullptr, NotRunLine};
    if (TheFailures.overall & HomeFolderNotCreated) lines[count++] = {nullptr, HomeFolderLine};
    for (int row = 0; row < TargetCount; ++row) {
        const Failure failure = TheFailures.first[row];
        if (failure != Failure::None) lines[count++] = {TargetTable[row].shortName, FailureWords[static_cast<int>(failure)]};
    }
    if (TheFailures.overall & HomeFolderNotStored) lines[count++] = {nullptr, HomeStoredLine};
    if (TheFailures.overall & LogNotWritten) lines[count++] = {nullptr, LogLine};

    if (maxLines < 1) maxLines = 1;
    const int shown = count <= maxLines ? count : maxLines - 1;
    out[0] = '\0';
    bool fits = true;
    for (int i = 0; i < shown && fits; ++i) fits = AppendLine(out, outSize, lines[i]);
    if (fits && shown < count) {
        fits = (!out[0] || AppendText(out, outSize, "\r")) && AppendText(out, outSize, "and ") &&
               AppendNumber(out, outSize, static_cast<unsigned>(count - shown)) && AppendText(out, outSize, " more");
    }
    if (!fits) out[0] = '\0';
    return fits;
}
