#include "templates.h"

#include "memory.h"

TemplateVariable VariableTable[VariableCount + 1] = {
    {"$HOME_DIR$", nullptr},
    {"$SUB_DIR$", nullptr},
    {"$SUB_FILE$", nullptr},
    {"$DELPHI_DIR$", nullptr},
    {"$SYS_DIR$", nullptr},
    {"$DELPHI_REG$", nullptr},
    {"$HOME_OLD$", nullptr},
    {"$DELPHI_DIR_SHORT$", nullptr},
    {"$UNINST_DIR$", nullptr},
    {nullptr, nullptr},
};

char* ScratchBuffer = nullptr;
char* TemplateBuffer = nullptr;
char* ArgumentBuffer = nullptr;
char* DataBuffer = nullptr;
char* PatternBuffer = nullptr;
char* ResultBuffer = nullptr;

namespace {

struct WorkBuffer {
    char** slot;
    std::size_t size;
};

// Released in this order too, scratch first, after the values.
constexpr WorkBuffer WorkBuffers[] = {
    {&ScratchBuffer, WorkBufferSize},  {&TemplateBuffer, TemplateBufferSize},
    {&ArgumentBuffer, WorkBufferSize}, {&DataBuffer, WorkBufferSize},
    {&PatternBuffer, WorkBufferSize},  {&ResultBuffer, WorkBufferSize},
};

}  // namespace

bool AllocateEngineBuffers()
{
    for (TemplateVariable* row = VariableTable; row->name; ++row) {
        if (!row->value) row->value = static_cast<char*>(AllocZeroed(ValueSize));
        if (!row->value) {
            ReleaseEngineBuffers();
            return false;
        }
    }
    for (const WorkBuffer& buffer : WorkBuffers) {
        if (!*buffer.slot) *buffer.slot = static_cast<char*>(AllocZeroed(buffer.size));
        if (!*buffer.slot) {
            ReleaseEngineBuffers();
            return false;
        }
    }
    return true;
}

void ReleaseEngineBuffers()
{
    for (TemplateVariable* row = VariableTable; row->name; ++row) {
        FreeZeroed(row->value);
        row->value = nullptr;
    }
    for (const WorkBuffer& buffer : WorkBuffers) {
        FreeZeroed(*buffer.slot);
        *buffer.slot = nullptr;
    }
}

std::size_t TextLength(const char* text)
{
    std::size_t length = 0;
    while (text[length]) ++length;
    return length;
}

bool CopyText(char* dst, std::size_t dstSize, const char* src)
{
    if (dstSize == 0) return false;
    std::size_t length = TextLength(src);
    if (length >= dstSize) {
        dst[0] = '\0';
        return false;
    }
    for (std::size_t i = 0; i <= length; ++i) dst[i] = src[i];
    return true;
}

bool AppendText(char* dst, std::size_t dstSize, const char* src)
{
    std::size_t used = TextLength(dst);
    if (used >= dstSize) return false;
    if (TextLength(src) >= dstSize - used) return false;
    return CopyText(dst + used, dstSize - used, src);
}

bool SetVariable(VariableIndex index, const char* text)
{
    return CopyText(VariableTable[index].value, ValueSize, text);
}

const char* VariableValue(VariableIndex index) { return VariableTable[index].value; }

namespace {

bool LeadBytes[256];

}  // namespace

void SetLeadByteRanges(const unsigned char* ranges, std::size_t size)
{
    for (bool& lead : LeadBytes) lead = false;
    for (std::size_t i = 0; i + 1 < size && ranges[i]; i += 2)
        for (unsigned c = ranges[i]; c <= ranges[i + 1] && c < 256; ++c) LeadBytes[c] = true;
}

bool IsLeadByte(unsigned char c) { return LeadBytes[c]; }

char* ReplaceAll(const char* text, const char* pattern, const char* replacement, char* out,
                 std::size_t outSize)
{
    if (!pattern[0]) return CopyText(out, outSize, text) ? out : nullptr;

    const std::size_t patternLength = TextLength(pattern);
    const std::size_t replacementLength = TextLength(replacement);
    std::size_t written = 0;
    auto put = [&](const char* from, std::size_t count) {
        if (count > outSize - written) return false;
        for (std::size_t i = 0; i < count; ++i) out[written + i] = from[i];
        written += count;
        return true;
    };

    const char* read = text;
    for (;;) {
        const char* hit = FindFolded(pattern, read);
        if (!hit) {
            if (!put(read, TextLength(read) + 1)) break;
            return out;
        }
        if (!put(read, static_cast<std::size_t>(hit - read)) || !put(replacement, replacementLength))
            break;
        read = hit + patternLength;
    }
    if (outSize) out[0] = '\0';
    return nullptr;
}

bool ExpandTemplate(const char* templ, char* out, std::size_t outSize)
{
    // Each substitution reads the one before it out of ScratchBuffer: a
    // template or an output there would be overwritten half-way.
    if (out == ScratchBuffer || templ == ScratchBuffer || out == templ) {
        if (outSize) out[0] = '\0';
        return false;
    }
    const char* source = templ;
    for (const TemplateVariable* row = VariableTable; row->name; ++row) {
        if (!ReplaceAll(source, row->name, row->value, out, outSize) ||
            !CopyText(ScratchBuffer, WorkBufferSize, out)) {
            if (outSize) out[0] = '\0';
            ScratchBuffer[0] = '\0';
            return false;
        }
        source = ScratchBuffer;
    }
    return true;
}

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Where TrimTrailingSeparator cuts, or null. Index 0 is never a candidate,
// and neither is a separator right after a colon.
char* TrailingSeparator(char* path)
{
    if (!*path) return nullptr;
    char* cut = nullptr;
    bool afterColon = *path == ':' && NextChar(path) == path + 1;
    for (char* at = NextChar(path); *at; at = NextChar(at)) {
        const char* next = NextChar(at);
        const bool single = next == at + 1;
        const char c = *at;
        if (single && IsSeparator(c)) cut = afterColon ? nullptr : at;
        else if (!single || (c != ' ' && c != '"')) cut = nullptr;
        afterColon = single && c == ':';
    }
    return cut;
}

}  // namespace

void TrimTrailingSeparator(char* path)
{
    if (char* cut = TrailingSeparator(path)) *cut = '\0';
}

void CutToParentFolder(char* path)
{
    TrimTrailingSeparator(path);
    if (!*path) return;
    // The last separator or colon after the first character decides.
    char* last = nullptr;
    for (char* at = NextChar(path); *at; at = NextChar(at))
        if (NextChar(at) == at + 1 && (IsSeparator(*at) || *at == ':')) last = at;
    if (last && *last != ':') *last = '\0';
}

void TrimPathEnds(char* path)
{
    std::size_t skip = 0;
    while (path[skip] == ' ') ++skip;
    if (path[skip] == '"') ++skip;
    if (skip) {
        std::size_t i = 0;
        do path[i] = path[i + skip];
        while (path[i++]);
    }
    for (;;) {
        // The last character that is no blank or quote, and where the tail of
        // blanks and quotes behind it begins.
        char* lastKept = nullptr;
        char* tail = nullptr;
        bool afterColon = false, keptAfterColon = false;
        for (char* at = path; *at; at = NextChar(at)) {
            const bool single = NextChar(at) == at + 1;
            if (at != path && single && (*at == ' ' || *at == '"')) {
                if (!tail) tail = at;
            } else {
                lastKept = at;
                keptAfterColon = afterColon;
                tail = nullptr;
            }
            afterColon = single && *at == ':';
        }
        if (tail) *tail = '\0';
        if (!lastKept || lastKept == path || NextChar(lastKept) != lastKept + 1 || !IsSeparator(*lastKept) ||
            keptAfterColon)
            return;
        *lastKept = '\0';
    }
}
