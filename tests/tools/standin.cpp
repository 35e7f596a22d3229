// Stand-in for a development environment's command-line tools. Copied under
// the names dcc32.exe, make.exe and bpr2mak.exe into a simulated Bin folder,
// it behaves by its own file name:
//   dcc32 "X.dpk"        writes X.bpl in the current folder (X.dpl when the
//                        file standin.cfg beside the tool has a line ext=.dpl)
//                        and the compiled package X.dcp beside it
//   make /fX.bpk, /fX.mak  writes X.bpl (quotes around or after the name are
//                        dropped: one real command line ends in a stray quote),
//                        and beside it, as the linker does for a package
//                        project without output folders, X.bpi, X.lib, the
//                        object X.obj and the debug symbols X.tds
//   bpr2mak -oX.mak X.bpk  writes X.mak
// Any other name only records the call. Each line also=<file name> makes a
// tool that builds write that file too, beside its output. A line fail=<tool name> in
// standin.cfg makes that tool build nothing and end with exit code 1, as a
// compile that fails. A line wait=<tool name> makes that tool, once started,
// create <tool name>.waiting beside itself and wait until the test creates
// <tool name>.go there (two minutes at most, so that none is left behind),
// which holds its caller at a known step. A line end=<tool name> makes that
// tool, once it has done its work, end its caller as Task Manager ends a
// program (TerminateProcess), which stops an installation right after that
// step. Every call waits ~300 ms first
// (none with a line nowait, for timing the installer alone), so a caller
// that does not wait finds nothing yet, then appends the line
//   <tool name>|<full command line>|<current folder>
// to calls.log beside the tool. Output files name the tool and the source.
#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && Lower(text.substr(text.size() - tail.size())) == tail;
}

std::string FileName(const std::string& path)
{
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The words after the program name, split at blanks, quotes dropped.
std::vector<std::string> Arguments(const char* line)
{
    const char* p = line;
    bool quoted = false;
    while (*p && (quoted || (*p != ' ' && *p != '\t'))) {
        if (*p == '"') quoted = !quoted;
        ++p;
    }
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    quoted = false;
    for (; *p; ++p) {
        if (*p == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((*p == ' ' || *p == '\t') && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += *p;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

std::string ReadFileText(const std::string& path)
{
    std::string text;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return text;
    char chunk[512];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got) text.append(chunk, got);
    CloseHandle(file);
    return text;
}

void WriteFileText(const std::string& path, const std::string& text, bool append)
{
    HANDLE file = CreateFileA(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, 0, nullptr,
                              append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

bool FileThere(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool ConfigHasLine(const std::string& config, const std::string& wanted)
{
    size_t start = 0;
    while (start <= config.size()) {
        size_t end = config.find('\n', start);
        if (end == std::string::npos) end = config.size();
        std::string line = config.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (Lower(line) == wanted) return true;
        start = end + 1;
    }
    return false;
}

// The texts after key on the lines that begin with it.
std::vector<std::string> ConfigValues(const std::string& config, const std::string& key)
{
    std::vector<std::string> values;
    size_t start = 0;
    while (start < config.size()) {
        size_t end = config.find('\n', start);
        if (end == std::string::npos) end = config.size();
        std::string line = config.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (Lower(line.substr(0, key.size())) == key) values.push_back(line.substr(key.size()));
        start = end + 1;
    }
    return values;
}

// Strips the extension ext (case-insensitive) and any folder.
std::string BaseOf(const std::string& name, const std::string& ext) { return FileName(name.substr(0, name.size() - ext.size())); }

// Ends the process that started this one.
void EndCaller()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    DWORD parent = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID == GetCurrentProcessId()) parent = entry.th32ParentProcessID;
    CloseHandle(snapshot);
    HANDLE caller = parent ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, parent) : nullptr;
    if (!caller) return;
    TerminateProcess(caller, 9);
    WaitForSingleObject(caller, 10000);
    CloseHandle(caller);
}

}  // namespace

int main()
{
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    const std::string modulePath = module;
    const std::string folder = modulePath.substr(0, modulePath.find_last_of("\\/") + 1);
    std::string tool = Lower(FileName(modulePath));
    if (EndsWith(tool, ".exe")) tool.resize(tool.size() - 4);

    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    const char* commandLine = GetCommandLineA();
    const std::vector<std::string> args = Arguments(commandLine);

    const std::string config = ReadFileText(folder + "standin.cfg");
    if (ConfigHasLine(config, "wait=" + tool)) {
        WriteFileText(folder + tool + ".waiting", "", false);
        for (int waited = 0; !FileThere(folder + tool + ".go") && waited < 120000; waited += 50) Sleep(50);
    }
    if (!ConfigHasLine(config, "nowait")) Sleep(300);

    const bool fails = ConfigHasLine(config, "fail=" + tool);
    std::string output, source;
    std::vector<std::string> byProducts;  // beside output
    if (fails) {
        // builds nothing
    } else if (tool == "dcc32") {
        for (const std::string& arg : args)
            if (EndsWith(arg, ".dpk")) {
                const std::string ext = ConfigHasLine(config, "ext=.dpl") ? ".dpl" : ".bpl";
                output = BaseOf(arg, ".dpk") + ext;
                byProducts = {BaseOf(arg, ".dpk") + ".dcp"};
                source = arg;
                break;
            }
    } else if (tool == "make") {
        for (const std::string& arg : args) {
            if (arg.size() < 3 || (arg[0] != '/' && arg[0] != '-') || (arg[1] != 'f' && arg[1] != 'F')) continue;
            const std::string file = arg.substr(2);
            if (EndsWith(file, ".bpk") || EndsWith(file, ".mak")) {
                const std::string base = BaseOf(file, ".mak");
                output = base + ".bpl";
                byProducts = {base + ".bpi", base + ".lib", base + ".obj", base + ".tds"};
                source = file;
                break;
            }
        }
    } else if (tool == "bpr2mak") {
        for (const std::string& arg : args) {
            if (arg.size() > 2 && arg[0] == '-' && (arg[1] == 'o' || arg[1] == 'O')) output = FileName(arg.substr(2));
            else if (EndsWith(arg, ".bpk")) source = arg;
        }
    }
    // What a tool writes with the options a project sets (a map, a unit's
    // compiled file): no list of the installer's names it.
    if (!output.empty())
        for (const std::string& file : ConfigValues(config, "also=")) byProducts.push_back(file);
    if (!output.empty())
        WriteFileText(std::string(current) + "\\" + output, tool + " built " + output + " from " + source + "\r\n", false);
    for (const std::string& file : byProducts)
        WriteFileText(std::string(current) + "\\" + file, tool + " built " + file + " from " + source + "\r\n", false);

    WriteFileText(folder + "calls.log", tool + "|" + commandLine + "|" + current + "\r\n", true);
    if (ConfigHasLine(config, "end=" + tool)) EndCaller();
    return fails ? 1 : 0;
}
