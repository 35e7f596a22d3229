#pragma once
// Template placeholders and the engine's text routines. Plain byte work: this
// file and templates.cpp must not need <windows.h>.
#include <cstddef>

// Limits of the fixed buffers, in bytes, terminator included.
constexpr std::size_t ValueSize = 261;          // one placeholder's value
constexpr std::size_t PathSize = 260;           // a Windows path buffer
constexpr std::size_t TemplateBufferSize = 2080;
constexpr std::size_t WorkBufferSize = 4096;    // scratch, argument, data, pattern, result

struct TemplateVariable {
    const char* name;  // "$NAME$"; null closes the table
    char* value;       // ValueSize bytes, zero-filled at allocation
};

// Row numbers of the VariableTable; the order is the order of substitution.
enum VariableIndex {
    HomeDir,          // $HOME_DIR$
    SubDir,           // $SUB_DIR$
    SubFile,          // $SUB_FILE$
    DelphiDir,        // $DELPHI_DIR$
    SysDir,           // $SYS_DIR$
    DelphiReg,        // $DELPHI_REG$
    HomeOld,          // $HOME_OLD$
    DelphiDirShort,   // $DELPHI_DIR_SHORT$
    UninstDir,        // $UNINST_DIR$: where the uninstaller's program file goes
    VariableCount
};

extern TemplateVariable VariableTable[VariableCount + 1];

extern char* ScratchBuffer;   // WorkBufferSize: intermediate text of ExpandTemplate
extern char* TemplateBuffer;  // TemplateBufferSize: the current entry's expansion
extern char* ArgumentBuffer;  // WorkBufferSize
extern char* DataBuffer;      // WorkBufferSize
extern char* PatternBuffer;   // WorkBufferSize
extern char* ResultBuffer;    // WorkBufferSize

// Allocates the nine values and the six work buffers, zero-filled. On a
// failed allocation everything allocated so far is released again and the
// result is false.
bool AllocateEngineBuffers();
// Frees the values, then the work buffers; safe to call when nothing is held.
void ReleaseEngineBuffers();

// The one bounded copy into a fixed buffer. Copies src with its terminator
// into dst of dstSize bytes. When src does not fit, dst becomes the empty
// text and the result is false: a cut text never reaches a caller.
bool CopyText(char* dst, std::size_t dstSize, const char* src);
// Appends src to the text in dst under the same rule; on no fit dst is left
// as it was and the result is false.
bool AppendText(char* dst, std::size_t dstSize, const char* src);

// Sets a placeholder's value; a value over 260 characters leaves the empty
// text and gives false.
bool SetVariable(VariableIndex index, const char* text);
const char* VariableValue(VariableIndex index);

std::size_t TextLength(const char* text);

// Two bytes are equal when they are equal with bit 0x20 set on both.
inline bool FoldRule(unsigned char a, unsigned char b) { return (a | 0x20) == (b | 0x20); }

// First occurrence of pattern in text under the FoldRule, or null. An empty
// pattern is found at the start of the text.
const char* FindFolded(const char* pattern, const char* text);

// Writes text with every occurrence of pattern replaced into out (outSize
// bytes; out must not overlap text). Returns out, or null when the result
// would not fit: out then holds the empty text. An empty pattern copies the
// text unchanged.
char* ReplaceAll(const char* text, const char* pattern, const char* replacement, char* out,
                 std::size_t outSize);

// Expands every placeholder of templ into out (outSize bytes; never
// ScratchBuffer, never templ itself). Returns false, with out holding the
// empty text, when an intermediate text or the result does not fit: the
// caller must not act on the expansion then.
bool ExpandTemplate(const char* templ, char* out, std::size_t outSize);

// Cuts one trailing backslash or slash, with the blanks and double quotes
// behind it, in place. Index 0 is never looked at.
void TrimTrailingSeparator(char* path);
// Trims, then cuts the path to its parent folder, in place; a colon stops.
void CutToParentFolder(char* path);
