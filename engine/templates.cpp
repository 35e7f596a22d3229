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

const char* FindFolded(const char* pattern, const char* text)
{
    if (!pattern[0]) return text;
    for (const char* start = text; *start; ++start) {
        std::size_t i = 0;
        while (pattern[i] && start[i] &&
               FoldRule(static_cast<unsigned char>(pattern[i]), static_cast<unsigned char>(start[i])))
            ++i;
        if (!pattern[i]) return start;
        if (!start[i]) return nullptr;  // the text ended inside a partial match
    }
    return nullptr;
}

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

void TrimTrailingSeparator(char* path)
{
    std::size_t length = TextLength(path);
    if (length == 0) return;
    for (std::size_t i = length - 1; i > 0; --i) {
        char c = path[i];
        if (c == ' ' || c == '"') continue;
        if (c == '\\' || c == '/') path[i] = '\0';
        return;
    }
}

void CutToParentFolder(char* path)
{
    TrimTrailingSeparator(path);
    std::size_t length = TextLength(path);
    if (length == 0) return;
    for (std::size_t i = length - 1; i > 0; --i) {
        char c = path[i];
        if (c == '\\' || c == '/') {
            path[i] = '\0';
            return;
        }
        if (c == ':') return;
    }
}
