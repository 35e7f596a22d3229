// The engine's text core on any bytes: each routine against a plain model of
// what it must do, into buffers of exactly the size given, so that the
// sanitizer sees any byte written or read past them.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "catalogue.h"
#include "component_version.h"
#include "templates.h"
#include "user_entries.h"

namespace {

void Check(bool condition)
{
    if (!condition) abort();
}

std::string Text(FuzzedDataProvider& in, size_t max)
{
    return in.ConsumeRandomLengthString(max).c_str();  // cut at a NUL, as a C text is
}

bool Folds(unsigned char a, unsigned char b) { return (a | 0x20) == (b | 0x20); }

// Windows' comma form, read independently: 1 to 4 parts of digits, each below 65536.
bool VersionModel(const std::string& text, unsigned parts[4])
{
    std::vector<std::string> split(1);
    for (char c : text) {
        if (c == ',') split.emplace_back();
        else split.back() += c;
    }
    if (split.size() > 4) return false;
    for (size_t i = 0; i < 4; ++i) parts[i] = 0;
    for (size_t i = 0; i < split.size(); ++i) {
        const std::string& part = split[i];
        if (part.empty() || part.find_first_not_of("0123456789") != std::string::npos) return false;
        const size_t first = part.find_first_not_of('0');
        const std::string digits = first == std::string::npos ? "0" : part.substr(first);
        if (digits.size() > 5 || std::stoul(digits) > 65535) return false;
        parts[i] = static_cast<unsigned>(std::stoul(digits));
    }
    return true;
}

std::string VersionText(const ComponentVersion& v)
{
    char text[ComponentVersionTextSize + 1];
    text[ComponentVersionTextSize] = 'x';  // sentinel
    FormatComponentVersion(v, text);
    Check(text[ComponentVersionTextSize] == 'x');
    return text;
}

// The lead bytes the run chose, as the platform would report them: none, or
// the ranges of Japanese (932), Simplified Chinese (936) and Korean (949),
// Traditional Chinese (950). The model reads them on its own.
struct CodePage {
    unsigned char ranges[12];
};
constexpr CodePage CodePages[] = {
    {{0}},
    {{0x81, 0x9F, 0xE0, 0xFC, 0}},
    {{0x81, 0xFE, 0}},
    {{0x81, 0xFE, 0}},
};
const CodePage* codePage = &CodePages[0];

bool Lead(unsigned char c)
{
    for (int i = 0; codePage->ranges[i]; i += 2)
        if (c >= codePage->ranges[i] && c <= codePage->ranges[i + 1]) return true;
    return false;
}

// The length of the character at i: two for a lead byte with a byte after it.
size_t CharAt(const std::string& text, size_t i) { return Lead(text[i]) && i + 1 < text.size() ? 2 : 1; }

// The characters' starts, and the text's end last.
std::vector<size_t> Starts(const std::string& text)
{
    std::vector<size_t> starts;
    for (size_t i = 0; i < text.size(); i += CharAt(text, i)) starts.push_back(i);
    starts.push_back(text.size());
    return starts;
}

bool MatchAt(const std::string& text, size_t at, const std::string& pattern)
{
    size_t i = 0, j = 0;
    while (j < pattern.size()) {
        if (at + i >= text.size()) return false;
        const size_t size = CharAt(pattern, j);
        if (CharAt(text, at + i) != size) return false;
        if (size == 1 ? !Folds(text[at + i], pattern[j])
                      : text[at + i] != pattern[j] || text[at + i + 1] != pattern[j + 1])
            return false;
        i += size;
        j += size;
    }
    return true;
}

std::string Replaced(const std::string& text, const std::string& pattern, const std::string& replacement)
{
    if (pattern.empty()) return text;
    std::string out;
    for (size_t i = 0; i < text.size();) {
        if (MatchAt(text, i, pattern)) {
            out += replacement;
            i += pattern.size();
        } else {
            const size_t size = CharAt(text, i);
            out += text.substr(i, size);
            i += size;
        }
    }
    return out;
}

bool SingleIs(const std::string& text, size_t at, const char* set)
{
    return at < text.size() && CharAt(text, at) == 1 && std::strchr(set, text[at]) && text[at];
}

// Backwards over the characters, never the first: blanks and quotes are
// passed, a separator is cut unless a colon stands before it.
std::string Trimmed(std::string path)
{
    const std::vector<size_t> starts = Starts(path);
    for (size_t k = starts.size() - 1; k-- > 1;) {
        const size_t i = starts[k];
        if (SingleIs(path, i, " \"")) continue;
        if (SingleIs(path, i, "\\/") && !SingleIs(path, starts[k - 1], ":")) path.resize(i);
        break;
    }
    return path;
}

std::string Parent(std::string path)
{
    path = Trimmed(path);
    const std::vector<size_t> starts = Starts(path);
    for (size_t k = starts.size() - 1; k-- > 1;) {
        const size_t i = starts[k];
        if (SingleIs(path, i, "\\/")) return path.substr(0, i);
        if (SingleIs(path, i, ":")) break;
    }
    return path;
}

std::string Ends(std::string path)
{
    size_t skip = 0;
    while (skip < path.size() && path[skip] == ' ') ++skip;
    if (skip < path.size() && path[skip] == '"') ++skip;
    path = path.substr(skip);
    for (;;) {
        const std::vector<size_t> starts = Starts(path);
        size_t k = starts.size() - 1;
        while (k > 1 && SingleIs(path, starts[k - 1], " \"")) --k;
        path.resize(starts[k]);
        if (k < 2 || !SingleIs(path, starts[k - 1], "\\/") || SingleIs(path, starts[k - 2], ":")) return path;
        path.resize(starts[k - 1]);
    }
}

// A buffer of exactly size bytes, filled with junk. An empty one points just
// past a block of one byte: malloc(0) would still hand out a usable byte.
// One name under the path rule: the same characters, letters A-Z folded.
bool SamePathModel(const std::string& a, const std::string& b)
{
    const std::vector<size_t> as = Starts(a), bs = Starts(b);
    if (as.size() != bs.size()) return false;
    for (size_t k = 0; k + 1 < as.size(); ++k) {
        const size_t size = as[k + 1] - as[k];
        if (size != bs[k + 1] - bs[k]) return false;
        auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c | 0x20) : c; };
        if (size == 1 ? fold(a[as[k]]) != fold(b[bs[k]]) : a.compare(as[k], 2, b, bs[k], 2) != 0) return false;
    }
    return true;
}

bool Found(const std::string& text, const std::string& pattern)
{
    for (size_t i : Starts(text))
        if (i < text.size() && MatchAt(text, i, pattern)) return true;
    return false;
}

// The search path without the whole entries that are folder.
std::string WithoutEntries(const std::string& path, const std::string& folder)
{
    std::vector<std::string> kept;
    std::string entry;
    const std::vector<size_t> starts = Starts(path);
    for (size_t k = 0;; ++k) {
        const size_t i = starts[k];
        if (i == path.size() || (CharAt(path, i) == 1 && path[i] == ';')) {
            if (!SamePathModel(entry, folder)) kept.push_back(entry);
            entry.clear();
            if (i == path.size()) break;
        } else {
            entry += path.substr(i, starts[k + 1] - i);
        }
    }
    std::string out;
    for (size_t k = 0; k < kept.size(); ++k) out += (k ? ";" : "") + kept[k];
    return out;
}

struct Exact {
    explicit Exact(size_t size)
        : size(size), block(static_cast<char*>(malloc(size ? size : 1))), bytes(size ? block : block + 1)
    {
        memset(bytes, 'J', size);
    }
    ~Exact() { free(block); }
    size_t size;
    char* block;
    char* bytes;
};

// Sets every placeholder from the input.
void SetVariables(FuzzedDataProvider& in)
{
    for (int i = 0; i < VariableCount; ++i) {
        const std::string value = Text(in, 300);
        Check(SetVariable(static_cast<VariableIndex>(i), value.c_str()) == (value.size() < ValueSize));
        Check(std::string(VariableValue(static_cast<VariableIndex>(i))) == (value.size() < ValueSize ? value : ""));
    }
}

// ExpandTemplate against the model: the whole text or the empty one.
void CheckExpansion(const char* templ, char* out, size_t size)
{
    const bool expanded = ExpandTemplate(templ, out, size);
    std::string expected = templ;
    bool fits = true;
    for (const TemplateVariable* row = VariableTable; row->name && fits; ++row) {
        expected = Replaced(expected, row->name, row->value);
        fits = expected.size() < size && expected.size() < WorkBufferSize;
    }
    Check(expanded == fits);
    if (fits) Check(expected == out && expected == ScratchBuffer);
    else Check(size == 0 || out[0] == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool allocated = AllocateEngineBuffers();
    Check(allocated);
    FuzzedDataProvider in(data, size);
    codePage = &CodePages[in.ConsumeIntegralInRange<size_t>(0, sizeof CodePages / sizeof *CodePages - 1)];
    SetLeadByteRanges(codePage->ranges, sizeof codePage->ranges);

    switch (in.ConsumeIntegralInRange(0, 10)) {
    case 0: {  // FindFolded
        const std::string pattern = Text(in, 64), text = Text(in, 512);
        const char* hit = FindFolded(pattern.c_str(), text.c_str());
        size_t expected = 0;
        while (expected <= text.size() && !MatchAt(text, expected, pattern)) expected += expected < text.size() ? CharAt(text, expected) : 1;
        if (expected > text.size() || (expected == text.size() && !pattern.empty())) Check(hit == nullptr);
        else Check(hit == text.c_str() + expected);
        break;
    }
    case 1: {  // ReplaceAll
        const std::string text = Text(in, 1024), pattern = Text(in, 16), replacement = Text(in, 64);
        Exact out(in.ConsumeIntegralInRange<size_t>(0, 5000));
        const char* result = ReplaceAll(text.c_str(), pattern.c_str(), replacement.c_str(), out.bytes, out.size);
        const std::string expected = Replaced(text, pattern, replacement);
        if (expected.size() < out.size) Check(result == out.bytes && expected == out.bytes);
        else Check(result == nullptr && (out.size == 0 || out.bytes[0] == 0));
        break;
    }
    case 2: {  // ExpandTemplate, after setting the placeholders
        SetVariables(in);
        const std::string templ = Text(in, 2048);
        Exact out(in.ConsumeIntegralInRange<size_t>(0, WorkBufferSize));
        CheckExpansion(templ.c_str(), out.bytes, out.size);
        break;
    }
    case 7: {  // A built-in script entry's texts, into the buffers the interpreter gives them
        SetVariables(in);
        const InstallTarget& target = TargetTable[in.ConsumeIntegralInRange(0, TargetCount - 1)];
        size_t entries = 0;
        while (target.script[entries].templateText) ++entries;
        const ScriptEntry& entry = target.script[in.ConsumeIntegralInRange<size_t>(0, entries - 1)];
        Exact templ(TemplateBufferSize), argument(WorkBufferSize), data(WorkBufferSize);
        CheckExpansion(entry.templateText, templ.bytes, templ.size);
        if (entry.argument.text) CheckExpansion(entry.argument.text, argument.bytes, argument.size);
        if (HoldsValueData(entry.op)) CheckExpansion(entry.stepOrValueData.text, data.bytes, data.size);
        break;
    }
    case 10: {  // The logon component's Version: read, written back, raised
        const std::string text = Text(in, 40);
        unsigned model[4];
        ComponentVersion old;
        const bool parsed = ParseComponentVersion(text.c_str(), &old);
        Check(parsed == VersionModel(text, model));
        for (unsigned i = 0; i < 4; ++i) Check(old.part[i] == (parsed ? model[i] : 0));
        ComponentVersion again;
        Check(ParseComponentVersion(VersionText(old).c_str(), &again) && CompareComponentVersions(again, old) == 0);
        VersionMoment now;
        unsigned* fields[] = {&now.year, &now.month, &now.day, &now.hour, &now.minute, &now.second, &now.milliseconds};
        for (unsigned* field : fields) *field = in.ConsumeIntegralInRange<unsigned>(0, in.ConsumeBool() ? 70000 : 99);
        ComponentVersion raised;
        const bool rose = RaiseComponentVersion(old, now, &raised);
        const unsigned clock[4] = {now.year, now.month * 100 + now.day, now.hour * 100 + now.minute,
                                   now.second * 1000 + now.milliseconds};
        bool highest = true, clockFits = true;
        for (unsigned i = 0; i < 4; ++i) highest = highest && old.part[i] == 65535;
        for (unsigned i = 0; i < 4; ++i) clockFits = clockFits && clock[i] <= 65535;
        Check(rose == !highest);
        Check(rose ? CompareComponentVersions(raised, old) > 0 : CompareComponentVersions(raised, old) == 0);
        for (unsigned i = 0; i < 4; ++i) Check(raised.part[i] <= 65535);
        // The clock's own value whenever it is above the old one.
        ComponentVersion fromClock;
        for (unsigned i = 0; i < 4; ++i) fromClock.part[i] = clock[i];
        if (clockFits && CompareComponentVersions(fromClock, old) > 0)
            for (unsigned i = 0; i < 4; ++i) Check(raised.part[i] == clock[i]);
        Check(ParseComponentVersion(VersionText(raised).c_str(), &again) && CompareComponentVersions(again, raised) == 0);
        break;
    }
    case 3: {  // TrimTrailingSeparator and CutToParentFolder, in place
        const std::string path = Text(in, PathSize);
        const bool cut = in.ConsumeBool();
        Exact buffer(path.size() + 1);
        memcpy(buffer.bytes, path.c_str(), path.size() + 1);
        if (cut) CutToParentFolder(buffer.bytes);
        else TrimTrailingSeparator(buffer.bytes);
        Check(std::string(buffer.bytes) == (cut ? Parent(path) : Trimmed(path)));
        break;
    }
    case 6: {  // TrimPathEnds, in place
        const std::string path = Text(in, PathSize);
        Exact buffer(path.size() + 1);
        memcpy(buffer.bytes, path.c_str(), path.size() + 1);
        TrimPathEnds(buffer.bytes);
        Check(std::string(buffer.bytes) == Ends(path));
        break;
    }
    case 8: {  // PurgedPackageEntry and RemoveWholeEntries, in place
        const std::string name = Text(in, 128), package = Text(in, 16), keep = Text(in, 128);
        const bool keeping = in.ConsumeBool();
        const bool purged = PurgedPackageEntry(name.c_str(), package.c_str(), keeping ? keep.c_str() : nullptr);
        Check(purged == (!(keeping && SamePathModel(name, keep)) &&
                         ((!package.empty() && Found(name, package)) || Found(name, "ovanlib."))));
        const std::string path = Text(in, 600), folder = Text(in, 64);
        Exact buffer(path.size() + 1);
        memcpy(buffer.bytes, path.c_str(), path.size() + 1);
        RemoveWholeEntries(buffer.bytes, folder.c_str());
        Check(std::string(buffer.bytes) == WithoutEntries(path, folder));
        break;
    }
    case 9: {  // RemoveEarlierEntries: each pattern composed into an exact scratch buffer
        const std::string folders[EntryFolderCount] = {Text(in, 40), Text(in, 40), Text(in, 40)};
        const std::string subFolder = Text(in, 20), path = Text(in, 600);
        Exact scratch(in.ConsumeIntegralInRange<size_t>(0, 80));
        Exact buffer(path.size() + 1);
        memcpy(buffer.bytes, path.c_str(), path.size() + 1);
        const char* const texts[EntryFolderCount] = {folders[0].c_str(), folders[1].c_str(), folders[2].c_str()};
        const bool whole = RemoveEarlierEntries(buffer.bytes, texts, subFolder.c_str(), scratch.bytes,
                                                static_cast<unsigned>(scratch.size));
        std::string expected = path;
        bool fits = true;
        for (const SearchPathPattern& pattern : SearchPathPatterns) {
            const std::string folder = pattern.folder == NoFolder ? "" : folders[pattern.folder];
            if (pattern.folder != NoFolder && folder.empty()) continue;
            const std::string entry = folder + (pattern.tail ? pattern.tail : "\\" + subFolder);
            if (entry.size() >= scratch.size) {
                fits = false;
                break;
            }
            expected = WithoutEntries(expected, entry);
        }
        Check(whole == fits);
        if (whole) Check(std::string(buffer.bytes) == expected);
        break;
    }
    case 4: {  // CopyText
        const std::string src = Text(in, 600);
        Exact dst(in.ConsumeIntegralInRange<size_t>(0, 600));
        const bool copied = CopyText(dst.bytes, dst.size, src.c_str());
        Check(copied == (src.size() < dst.size));
        if (copied) Check(src == dst.bytes);
        else if (dst.size) Check(dst.bytes[0] == 0);
        break;
    }
    case 5: {  // AppendText
        const std::string head = Text(in, 300), src = Text(in, 300);
        Exact dst(in.ConsumeIntegralInRange<size_t>(head.size() + 1, 700));
        memcpy(dst.bytes, head.c_str(), head.size() + 1);
        const bool appended = AppendText(dst.bytes, dst.size, src.c_str());
        Check(appended == (head.size() + src.size() < dst.size));
        Check(std::string(dst.bytes) == (appended ? head + src : head));
        Check(TextLength(dst.bytes) < dst.size);
        break;
    }
    }
    return 0;
}
