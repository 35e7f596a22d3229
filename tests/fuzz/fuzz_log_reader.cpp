// The uninstaller's record reader, its containment tests and its command
// line on any bytes. Input: one mode byte, then the log. The mode picks the
// log's folder and what the path seam answers for the records' texts: the
// text itself, a refusal, or one fixed answer (the bytes up to the first NUL
// after the mode byte), whatever the text; and whether bytes of a double-byte
// code page's lead range begin a character. No answer is a model of the
// platform's resolution: every check holds for any answer the seam gives.
// The checks against byte-wise expectations hold in a single-byte code page.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "command_line.h"
#include "log_records.h"
#include "ownership_rules.h"
#include "user_texts.h"

namespace {

void Check(bool condition);
void CheckAnswer(bool accepted, const char* text, const char* out);

enum SeamAnswer { TextItself, Refusal, FixedText };
SeamAnswer seamAnswer;
std::string fixedAnswer;
bool answeringLogPath;  // the log's own path is always taken as it stands
bool doubleByte;        // lead bytes as in a Japanese code page

void CheckByteWise(bool condition)
{
    if (!doubleByte) Check(condition);
}

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c | 0x20);
    return text;
}

std::vector<std::string> Split(const std::string& text)
{
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == '\\') parts.emplace_back();
        else parts.back() += c;
    }
    return parts;
}

bool IsLetter(char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

// The seam's answer for path, as FullPathOf gives it; false for a refusal
// or an answer that does not fit a path buffer.
bool Seam(const char* path, std::string& full)
{
    if (answeringLogPath || seamAnswer == TextItself) full = path;
    else if (seamAnswer == FixedText) full = fixedAnswer;
    else return false;
    return full.size() < PathSize;
}

bool PlainName(const std::string& name)
{
    if (name.empty() || name.back() == '.' || name.back() == ' ') return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == ':' || c == '/') return false;
    return true;
}

// What ContainedPath must yield for this text, found independently.
bool ExpectedInside(const char* text, const std::string& folder, std::string& full)
{
    if (!(IsLetter(text[0]) && text[1] == ':' && (text[2] == '\\' || text[2] == '/'))) return false;
    if (!Seam(text, full) || folder.empty()) return false;
    if (!(full.size() > 3 && IsLetter(full[0]) && full[1] == ':' && full[2] == '\\')) return false;
    const std::vector<std::string> names = Split(full.substr(3));
    for (const std::string& name : names)
        if (!PlainName(name)) return false;
    const std::string head = Lower(folder) + "\\";
    if (Lower(full).compare(0, head.size(), head) != 0 || full.size() == head.size()) return false;
    const std::vector<std::string> below = Split(full.substr(head.size()));
    for (size_t i = 0; i + 1 < below.size(); ++i)
        if (Lower(below[i]) == "link") return false;
    return true;
}

bool ExpectedOwned(bool machine, const std::string& key)
{
    const std::string lower = Lower(key);
    std::vector<std::string> owned = {"software\\quillmere\\ostrevane"};
    if (machine) owned.push_back("software\\microsoft\\windows\\currentversion\\uninstall\\ostrevane");
    for (const std::string& p : owned)
        if (lower == p || lower.compare(0, p.size() + 1, p + "\\") == 0) return true;
    return false;
}

// The kind of key a held-key record may open, found independently.
KeyKind ExpectedKind(bool machine, const std::string& key)
{
    const std::string lower = Lower(key);
    if (ExpectedOwned(machine, key)) return ProductKey;
    if (machine) return lower == "software\\microsoft\\windows\\help" ? HelpKey : UnownedKey;
    for (const char* environment : {"delphi\\3.0", "delphi\\4.0", "delphi\\5.0", "delphi\\6.0", "delphi\\7.0",
                                    "c++builder\\3.0", "c++builder\\4.0", "c++builder\\5.0", "c++builder\\6.0"}) {
        const std::string head = std::string("software\\borland\\") + environment + "\\";
        if (lower == head + "known packages") return PackagesKey;
        if (lower == head + "library") return LibraryKey;
    }
    return UnownedKey;
}

// The search path without the last whole occurrence of entry.
std::string WithoutEntry(const std::string& value, const std::string& entry)
{
    const std::string lower = Lower(value), wanted = Lower(entry);
    for (size_t at = value.size() + 1; !wanted.empty() && at-- > 0;) {
        if (lower.compare(at, wanted.size(), wanted) != 0) continue;
        const size_t end = at + wanted.size();
        if (end == value.size() || value[end] == ';') return value.substr(0, at) + value.substr(end);
    }
    // The entry standing first, without its separator: it goes with the one after it.
    const std::string first = wanted.size() > 1 && wanted[0] == ';' ? wanted.substr(1) : "";
    const size_t end = first.size();
    if (!first.empty() && lower.compare(0, end, first) == 0 && (end == value.size() || value[end] == ';'))
        return value.substr(end == value.size() ? end : end + 1);
    return value;
}

bool HasExtension(const std::string& name, const std::vector<std::string>& extensions)
{
    for (const std::string& extension : extensions)
        if (name.size() > extension.size() && Lower(name).compare(name.size() - 4, 4, extension) == 0) return true;
    return false;
}

// The full path when text names a file right in folder, as the checks want it.
bool ExpectedRightIn(const char* text, const std::string& folder, std::string& full)
{
    if (!(IsLetter(text[0]) && text[1] == ':')) return false;
    if (!Seam(text, full) || !(full.size() > 3 && IsLetter(full[0]) && full[1] == ':' && full[2] == '\\'))
        return false;
    for (const std::string& name : Split(full.substr(3)))
        if (!PlainName(name)) return false;
    const size_t last = full.rfind('\\');
    return Lower(full.substr(0, last)) == Lower(folder);
}

void CheckTwoPartRecords(int type, const char* text, const std::string& folder)
{
    char first[PathSize];
    const char* second = SplitRecord(text, first);
    const char* tab = strchr(text, '\t');
    Check((second != nullptr) == (tab != nullptr && size_t(tab - text) < PathSize));
    if (!second) return Check(first[0] == 0);
    Check(std::string(first) == std::string(text, tab) && second == tab + 1);
    if (type == SearchPathEntry) {
        std::string full;
        const std::string name = Lower(first);
        CheckByteWise(OwnedSearchPathEntry(first, second, folder.c_str()) ==
              ((name == "search path" || name == "searchpath") && second[0] == ';' &&
               ExpectedInside(second + 1, folder, full)));
        // The part before the TAB as a search path, the rest as the entry.
        std::vector<char> value(first, first + strlen(first) + 1);
        const bool removed = RemoveSearchPathEntry(value.data(), second);
        const std::string expected = WithoutEntry(first, second);
        CheckByteWise(std::string(value.data()) == expected && removed == (expected != first));
    } else {
        Check(ProductHelpLine(second) == (std::string(second) == "\r\n:Link ostrevane.hlp\r\n" ||
                                          std::string(second) == "\r\n:INDEX Corvex Lib Help=ostrevane.hlp\r\n"));
        char out[PathSize];
        std::string full;
        const bool help = EnvironmentHelpFile(first, "C:\\Delphi 7", out);
        CheckByteWise(help == (ExpectedRightIn(first, "C:\\Delphi 7\\Help", full) &&
                       HasExtension(full.substr(full.rfind('\\') + 1), {".cfg", ".ohi", ".ohl"})));
        CheckAnswer(help, first, out);
        // The part after the TAB as a file's content, the product's line taken out.
        std::string content = second;
        const std::string line = "\r\n:Link ostrevane.hlp\r\n";
        const unsigned length = RemoveLastText(&content[0], unsigned(content.size()), line.c_str());
        const size_t at = std::string(second).rfind(line);
        Check(std::string(content.data(), length) ==
              (at == std::string::npos ? std::string(second) : std::string(second).erase(at, line.size())));
    }
}

void Check(bool condition)
{
    if (!condition) abort();
}

// Whatever the code page: an accepted path is the seam's answer for text, a
// refused one leaves out empty.
void CheckAnswer(bool accepted, const char* text, const char* out)
{
    std::string full;
    Check(accepted ? Seam(text, full) && full == out : out[0] == 0);
}

const char* const LogPaths[] = {
    "C:\\Ostrevane\\uninst.kvx",
    "C:\\Program Files\\Ostrevane Home\\uninst.kvx",
    "d:\\uninst.kvx",
    "C:\\Ostrevane\\sub\\..\\uninst.kvx",
    "\\\\server\\share\\Ostrevane\\uninst.kvx",
    "uninst.kvx",
    "C:/Ostrevane/link/uninst.kvx",
    "C:\\Ostrevane.\\uninst.kvx",
    "C:\\Ostrevane\\Link\\uninst.kvx",
};
constexpr unsigned LogPathCount = sizeof LogPaths / sizeof *LogPaths;

}  // namespace

bool FullPathOf(const char* path, char* out, unsigned outSize)
{
    std::string full;
    if (!Seam(path, full) || full.size() >= outSize) return false;
    memcpy(out, full.c_str(), full.size() + 1);
    return true;
}

bool IsLeadByte(unsigned char c) { return doubleByte && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)); }

// The test's own choice of links: every folder named "link".
bool IsReparsePoint(const char* path)
{
    const char* name = strrchr(path, '\\');
    return Lower(name ? name + 1 : path) == "link";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    seamAnswer = static_cast<SeamAnswer>(data[0] % 3);
    const unsigned logPathRow = (data[0] / 3) % LogPathCount;
    doubleByte = (data[0] / (3 * LogPathCount)) & 1;
    ++data;
    --size;
    fixedAnswer.clear();
    if (seamAnswer == FixedText) {
        const void* nul = memchr(data, 0, size);
        const size_t length = nul ? static_cast<const uint8_t*>(nul) - data : size;
        fixedAnswer.assign(reinterpret_cast<const char*>(data), length);
        data += nul ? length + 1 : length;
        size -= nul ? length + 1 : length;
    }

    // The first three are plain drive paths; the others are refused: a folder
    // with "..", a share, a relative path, forward slashes, a name ending in a
    // dot, a link.
    const char* const logPath = LogPaths[logPathRow];
    char folder[PathSize];
    answeringLogPath = true;
    const bool folderFound = LogFolderOf(logPath, folder);
    answeringLogPath = false;
    Check(folderFound == (logPathRow < 3));
    Check(folderFound == (folder[0] != 0));
    if (folderFound) Check(strncmp(logPath, folder, strlen(folder)) == 0 && logPath[strlen(folder)] == '\\');

    // An exact copy, so that the sanitizer sees any read past the end.
    char* bytes = static_cast<char*>(malloc(size ? size : 1));
    memcpy(bytes, data, size);
    logData = bytes;
    readPosition = logData;
    dataEnd = logData + size;

    unsigned records = 0;
    for (;;) {
        const char* before = readPosition;
        const int type = ReadNextRecord();
        if (type == 0) break;
        Check(++records <= size);
        Check(readPosition > before && readPosition <= dataEnd);
        Check(currentText == before + 1 && currentText <= dataEnd);
        if (type == UnterminatedRecord) {
            Check(readPosition == dataEnd && memchr(currentText, 0, dataEnd - currentText) == nullptr);
            continue;
        }
        Check(type >= 1 && type <= 255);
        const char* nul = static_cast<const char*>(memchr(currentText, 0, dataEnd - currentText));
        Check(nul != nullptr && readPosition == nul + 1);

        if (type == InstalledFile) {
            char out[PathSize];
            const bool inside = ContainedPath(currentText, folder, out);
            std::string full;
            CheckByteWise(inside == ExpectedInside(currentText, folder, full));
            CheckAnswer(inside, currentText, out);
            const size_t length = strlen(folder);
            if (inside) Check(Lower(out).compare(0, length + 1, Lower(folder) + "\\") == 0 && out[length + 1] != 0);
        } else if (type == MachineKeyOpen || type == UserKeyDelete || type == MachineKeyDelete) {
            const bool machine = type != UserKeyDelete;
            CheckByteWise(OwnedKey(machine, currentText) == ExpectedOwned(machine, currentText));
            CheckByteWise(HeldKeyKind(machine, currentText) == ExpectedKind(machine, currentText));
        } else if (type == UserKeyOpen) {
            CheckByteWise(HeldKeyKind(false, currentText) == ExpectedKind(false, currentText));
            char key[PathSize], name[EnvironmentNameSize + 1];
            name[EnvironmentNameSize] = 'x';  // sentinel
            const std::string text = currentText;
            const size_t last = text.rfind('\\');
            const bool named = EnvironmentKeyOf(currentText, key);
            CheckByteWise(named == (last != std::string::npos && text.size() < PathSize));
            if (named) {
                CheckByteWise(text.compare(0, last, key) == 0 && key[last] == 0);
                EnvironmentNameOf(key, name);
                Check(name[EnvironmentNameSize] == 'x' && strlen(name) < EnvironmentNameSize);
                if (text.rfind("Software\\Borland\\Delphi\\7.0\\", 0) == 0 && text.find('\\', 28) == std::string::npos)
                    Check(std::string(name) == "Delphi 7");
            }
        } else if (type == KeyValueDelete) {
            std::string full;
            const std::string name = Lower(currentText);
            Check(OwnedValue(ProductKey, currentText, folder) == (currentText[0] != 0));
            CheckByteWise(OwnedValue(PackagesKey, currentText, folder) == ExpectedInside(currentText, folder, full));
            CheckByteWise(OwnedValue(HelpKey, currentText, folder) == (name == "ostrevane.hlp" || name == "ostrevane.cnt"));
            Check(!OwnedValue(LibraryKey, currentText, folder) && !OwnedValue(UnownedKey, currentText, folder));
        } else if (type == SearchPathEntry || type == HelpLine) {
            CheckTwoPartRecords(type, currentText, folder);
        } else if (type == ProductFile) {
            const char* const folders[] = {"C:\\Windows\\System32", "C:\\Windows", ""};
            char out[PathSize];
            std::string full;
            bool expected = false;
            for (const char* f : {"C:\\Windows\\System32", "C:\\Windows"})
                expected = expected || ExpectedRightIn(currentText, f, full);
            const std::string name = Lower(full.substr(full.rfind('\\') + 1));
            expected = expected && (name == "kvxpurge.exe" || name == "kvxuser.exe" || name == "ovanlibd3.dpl" ||
                                    (name.size() == 13 && name.compare(0, 7, "ovanlib") == 0 &&
                                     ((name[7] == 'd' && name[8] >= '4' && name[8] <= '7') ||
                                      (name[7] == 'b' && name[8] >= '3' && name[8] <= '6')) &&
                                     name.compare(9, 4, ".bpl") == 0));
            const bool owned = ProductFilePath(currentText, folders, 3, out);
            CheckByteWise(owned == expected);
            CheckAnswer(owned, currentText, out);
        } else if (type == CreatedFolder) {
            char out[PathSize];
            std::string full;
            bool expected = ExpectedInside(currentText, folder, full);
            if (!expected && IsLetter(currentText[0]) && currentText[1] == ':' && folderFound) {
                const bool answered = Seam(currentText, full);
                expected = answered && Lower(full) == Lower(folder);
                // A folder above the log's, below a drive's root, with plain names.
                bool plain = answered && full.size() > 3 && IsLetter(full[0]) && full[1] == ':' &&
                             full[2] == '\\';
                if (plain)
                    for (const std::string& name : Split(full.substr(3))) plain = plain && PlainName(name);
                const std::string head = Lower(full) + "\\";
                expected = expected || (plain && Lower(folder).compare(0, head.size(), head) == 0);
            }
            const bool contained = ContainedFolder(currentText, folder, out);
            CheckByteWise(contained == expected);
            CheckAnswer(contained, currentText, out);
        } else if (type == LogonComponent) {
            CheckByteWise(LogonComponentKey(currentText) ==
                          (Lower(currentText) == "software\\microsoft\\active setup\\installed components\\"
                                                 "{3b7e52c1-9a4d-4f08-b6e2-7d15c0a9e384}"));
        } else if (type == NoAction) {
            char other[PathSize];
            if (LogFolderOf(currentText, other)) Check(other[0] != 0 && other[1] == ':');
        }
        if (records == 1) {
            // The first record's text as a command line.
            char path[PathSize + 1];
            path[PathSize] = 'x';  // sentinel
            const char* named = LogPathText(currentText, path);
            Check(path[PathSize] == 'x');
            if (named == path) Check(strlen(path) < PathSize && strstr(currentText, path) != nullptr);
            else Check(named >= currentText && named <= nul);
            if (QuietCommand(currentText)) Check(strstr(currentText, "/S") || strstr(currentText, "/s"));
            uint32_t count = 0;
            memcpy(&count, currentText, std::min<size_t>(4, nul - currentText));
            if (count == 0) count = 1;
            char left[LeftTextSize];
            FormatLeftFiles(count, left);
            Check(std::string(left) == std::to_string(count) +
                                           (count == 1 ? " file could not be deleted !"
                                                       : " files could not be deleted !"));
            FormatLeftItems(count, left);
            Check(std::string(left) == std::to_string(count) +
                                           (count == 1 ? " item could not be removed !"
                                                       : " items could not be removed !"));
            CheckByteWise(SameText(currentText, Lower(currentText).c_str()));
            Check(!SameText(currentText, (std::string(currentText) + "x").c_str()));
        }
    }
    free(bytes);
    logData = nullptr;
    return 0;
}
