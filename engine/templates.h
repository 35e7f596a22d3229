#pragma once
// Template placeholders and the engine's text routines. Plain byte work: this
// file and templates.cpp must not need <windows.h>.
#include <cstddef>

#include "folded_text.h"
#include "path_text.h"

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

// The lead bytes of the ANSI code page. In the double-byte code pages of
// Japanese, Chinese and Korean Windows a lead byte and the byte after it are
// one character, and that second byte may be 0x5C, the backslash. ranges
// holds pairs of first and last lead byte, as the platform reports them,
// closed by a zero pair or by size; no pair means a single-byte code page,
// which is also the state before the first call. IsLeadByte answers from them.
void SetLeadByteRanges(const unsigned char* ranges, std::size_t size);

// AfterFolded and FindFolded (folded_text.h) compare under the FoldRule.

// Writes text with every occurrence of pattern replaced into out (outSize
// bytes; out must not overlap text). Returns out, or null when the result
// would not fit: out then holds the empty text. An empty pattern copies the
// text unchanged.
char* ReplaceAll(const char* text, const char* pattern, const char* replacement, char* out,
                 std::size_t outSize);

// Expands every placeholder of templ into out (outSize bytes). Returns
// false, with out holding the empty text, when an intermediate text or the
// result does not fit, or when templ or out is ScratchBuffer, which the
// expansion works in, or both are one buffer: the caller must not act on the
// expansion then.
bool ExpandTemplate(const char* templ, char* out, std::size_t outSize);

// Paths are walked by character: a separator is a backslash or slash that is
// a character of its own, never the second byte of a double-byte one.
// Cuts one trailing separator, with the blanks and double quotes behind it,
// in place. The first character is never looked at, and the separator of a
// drive's root ("C:\") is never cut: "C:" would be the current folder there.
void TrimTrailingSeparator(char* path);
// Trims, then cuts the path to its parent folder, in place; a colon stops.
void CutToParentFolder(char* path);
// Takes off leading blanks and a leading double quote, then every trailing
// blank, double quote and separator, keeping a drive root's separator and
// the first character.
void TrimPathEnds(char* path);
