// The resources of the built install.exe, read the way Windows reads them: the
// payload by number, the uninstaller inside it, the signatures of the files,
// the text conventions, the picture, the icon and the version information.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "drive_kit.h"
#include "test_files.h"

namespace {

using Bytes = std::vector<unsigned char>;

bool Begins(const Bytes& bytes, const void* prefix, size_t length)
{
    return bytes.size() >= length && std::memcmp(bytes.data(), prefix, length) == 0;
}

std::string Hex(const Bytes& bytes, size_t count)
{
    std::string text;
    char pair[4];
    for (size_t i = 0; i < count && i < bytes.size(); ++i) {
        snprintf(pair, sizeof pair, "%02X ", bytes[i]);
        text += pair;
    }
    return text;
}

uint32_t Le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

// One entry of a file in the 32-bit .res format: its type and name as "#N" or
// the name's text, and its data.
struct ResEntry {
    std::string type, name;
    Bytes data;
};

// Reads an ordinal (FFFF, id) or a NUL-terminated UTF-16 name at p.
const unsigned char* ReadResId(const unsigned char* p, const unsigned char* end, std::string& id)
{
    if (end - p >= 4 && Le16(p) == 0xFFFF) {
        id = "#" + std::to_string(Le16(p + 2));
        return p + 4;
    }
    id.clear();
    while (end - p >= 2 && Le16(p) != 0) {
        id += char(Le16(p));
        p += 2;
    }
    return p + 2;
}

// The entries after the leading empty one; false when the chain does not end
// exactly at the end of the file.
bool ParseRes(const Bytes& file, std::vector<ResEntry>& entries)
{
    const unsigned char* p = file.data();
    const unsigned char* end = p + file.size();
    bool first = true;
    while (p < end) {
        if (end - p < 32) return false;
        uint32_t dataSize = Le32(p), headerSize = Le32(p + 4);
        if (headerSize < 32 || headerSize > uint32_t(end - p) || dataSize > uint32_t(end - p) - headerSize) return false;
        ResEntry entry;
        const unsigned char* q = ReadResId(p + 8, p + headerSize, entry.type);
        ReadResId(q, p + headerSize, entry.name);
        entry.data.assign(p + headerSize, p + headerSize + dataSize);
        if (!first) entries.push_back(entry);
        first = false;
        size_t next = (headerSize + dataSize + 3) & ~size_t(3);
        p += next < size_t(end - p) ? next : size_t(end - p);
    }
    return true;
}

class InstallerResources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        path_ = BuildFolder() + "\\install.exe";
        module_ = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite()
    {
        if (module_) FreeLibrary(module_);
        module_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(module_, nullptr) << "cannot load " << path_ << " as data, error " << GetLastError(); }

    static bool Find(LPCSTR name, LPCSTR type, Bytes& bytes)
    {
        HRSRC info = FindResourceA(module_, name, type);
        if (!info) return false;
        HGLOBAL data = LoadResource(module_, info);
        DWORD size = SizeofResource(module_, info);
        const unsigned char* p = static_cast<const unsigned char*>(LockResource(data));
        bytes.assign(p, p + (p ? size : 0));
        return true;
    }
    static Bytes Payload(int number)
    {
        Bytes bytes;
        Find(MAKEINTRESOURCEA(number), MAKEINTRESOURCEA(10), bytes);
        return bytes;
    }

    static std::string path_;
    static HMODULE module_;
};
std::string InstallerResources::path_;
HMODULE InstallerResources::module_;

// The catalogue: every payload number with what its bytes must begin with,
// read from the payload's manifest, which this program carries as a resource.
enum Kind { Text, CrLfText, Program, ResFile, Help, Unit, Form, Omf };
struct PayloadRow {
    int number;
    Kind kind;
    const char* signature;  // leading bytes of a compiled unit
};

struct FormatName {
    const char* name;
    Kind kind;
    const char* signature;
};
constexpr FormatName kFormats[] = {
    {"text", Text, nullptr},
    {"crlf", CrLfText, nullptr},
    {"exe", Program, nullptr},
    {"res", ResFile, nullptr},
    {"hlp", Help, nullptr},
    {"dfm", Form, nullptr},
    {"omf", Omf, nullptr},
    {"dcu-d3", Unit, "\x41\x86\x51\x44"},
    {"dcu-d4", Unit, "\xD8\xA6\x68\x47"},
    {"dcu-d5", Unit, "\x8B\x14\x1F\xF2"},
    {"dcu-d6", Unit, "\xDD\x00\x00\x0E"},
    {"dcu-d7", Unit, "\xDF\x00\x00\x0F"},
    {"dcu-cb3", Unit, "\xC8\x96\x58\x47"},
};

// Its rows: number, file, format, origin; '#' begins a comment line. A row
// this test cannot read fails the test rather than dropping out of it.
std::vector<PayloadRow> ReadManifest()
{
    std::vector<PayloadRow> rows;
    HRSRC info = FindResourceA(nullptr, "PAYLOAD_MANIFEST", MAKEINTRESOURCEA(10));
    const char* data = info ? static_cast<const char*>(LockResource(LoadResource(nullptr, info))) : nullptr;
    if (!data) {
        ADD_FAILURE() << "the manifest is not in this program";
        return rows;
    }
    std::istringstream lines(std::string(data, SizeofResource(nullptr, info)));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string number, file, format, origin;
        if (!(fields >> number) || number[0] == '#') continue;
        fields >> file >> format >> origin;
        const FormatName* known = nullptr;
        for (const FormatName& f : kFormats)
            if (format == f.name) known = &f;
        if (!known || origin.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
            ADD_FAILURE() << "manifest row not understood: " << line;
            continue;
        }
        rows.push_back({std::stoi(number), known->kind, known->signature});
    }
    return rows;
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR names)
{
    auto* set = reinterpret_cast<std::set<std::string>*>(names);
    set->insert(IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : std::string(name));
    return TRUE;
}

TEST_F(InstallerResources, DataResourcesAreTheCatalogueAndDvclal)
{
    std::set<std::string> expected = {"DVCLAL"}, found;
    const std::vector<PayloadRow> catalogue = ReadManifest();
    for (const PayloadRow& row : catalogue) expected.insert("#" + std::to_string(row.number));
    EnumResourceNamesA(module_, MAKEINTRESOURCEA(10), CollectName, reinterpret_cast<LONG_PTR>(&found));
    EXPECT_EQ(found, expected);

    for (const PayloadRow& row : catalogue) EXPECT_FALSE(Payload(row.number).empty()) << "resource " << row.number;

    Bytes none;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(Find(MAKEINTRESOURCEA(71), MAKEINTRESOURCEA(10), none));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));

    Bytes dvclal;
    ASSERT_TRUE(Find("DVCLAL", MAKEINTRESOURCEA(10), dvclal));
    EXPECT_EQ(dvclal.size(), 16u);
}

TEST_F(InstallerResources, UninstallerIsKvxpurgeByteForByte)
{
    const std::string file = ReadFileText(BuildFolder() + "\\kvxpurge.exe");
    ASSERT_NE(file, "<missing>");
    const Bytes program(file.begin(), file.end());
    Bytes payload = Payload(7);
    EXPECT_EQ(payload.size(), program.size());
    EXPECT_TRUE(payload == program);
}

TEST_F(InstallerResources, DelphiPackageResourceFilesAreOneFile)
{
    Bytes d5 = Payload(501);
    ASSERT_FALSE(d5.empty());
    EXPECT_TRUE(Payload(601) == d5);
    EXPECT_TRUE(Payload(701) == d5);
}

TEST_F(InstallerResources, LeadingBytesOfEachFormat)
{
    const unsigned char emptyRes[32] = {0, 0, 0, 0, 0x20, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0};
    const unsigned char help[4] = {0x3F, 0x5F, 0x03, 0x00};
    const std::vector<PayloadRow> catalogue = ReadManifest();
    ASSERT_FALSE(catalogue.empty());
    for (const PayloadRow& row : catalogue) {
        Bytes bytes = Payload(row.number);
        SCOPED_TRACE("resource " + std::to_string(row.number) + ", begins " + Hex(bytes, 8));
        switch (row.kind) {
        case Program: EXPECT_TRUE(Begins(bytes, "MZ", 2)); break;
        case ResFile: EXPECT_TRUE(Begins(bytes, emptyRes, sizeof emptyRes)); break;
        case Help: EXPECT_TRUE(Begins(bytes, help, sizeof help)); break;
        case Unit: EXPECT_TRUE(Begins(bytes, row.signature, 4)); break;
        case Form: {
            ASSERT_GE(bytes.size(), 8u);
            uint32_t headerSize = Le32(&bytes[4]);
            ASSERT_LE(headerSize + 4, bytes.size());
            EXPECT_EQ(std::string(bytes.begin() + headerSize, bytes.begin() + headerSize + 4), "TPF0");
            std::string type, name;
            ReadResId(ReadResId(&bytes[8], &bytes[0] + headerSize, type), &bytes[0] + headerSize, name);
            EXPECT_EQ(type, "#10");
            EXPECT_EQ(name, "TFORM1");
            break;
        }
        case Omf: {
            // THEADR first; then the records, each type, length, body and
            // checksum, must end exactly at the end of the file.
            EXPECT_TRUE(Begins(bytes, "\x80", 1));
            size_t at = 0;
            while (at + 3 <= bytes.size()) at += 3 + Le16(&bytes[at + 1]);
            EXPECT_EQ(at, bytes.size());
            break;
        }
        case Text:
        case CrLfText:
            EXPECT_EQ(std::memchr(bytes.data(), 0, bytes.size()), nullptr) << "a NUL byte in text";
            break;
        }
    }
}

TEST_F(InstallerResources, ReadmeAndLicenceUseCrLf)
{
    for (int number : {200, 203}) {
        Bytes text = Payload(number);
        ASSERT_GT(text.size(), 2u);
        size_t bare = 0, lines = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '\n') continue;
            ++lines;
            if (i == 0 || text[i - 1] != '\r') ++bare;
        }
        EXPECT_GT(lines, 10u) << "resource " << number;
        EXPECT_EQ(bare, 0u) << "resource " << number << ": line ends without CR";
        EXPECT_TRUE(text[text.size() - 2] == '\r' && text.back() == '\n') << "resource " << number;
    }
}

TEST_F(InstallerResources, TextsNameWhatTheyBuild)
{
    struct Row {
        int number;
        std::vector<const char*> holds;
    };
    const Row rows[] = {
        {300,  {"package ovanlibd3;", "{$R *.res}", "{$R ostrevane.dcr}", "requires", "vcl30", "contains", "ostrevane;"}},
        {400,  {"package ovanlibd4;", "{$R *.res}", "{$R ostrevane.dcr}", "requires", "vcl40", "contains", "ostrevane;"}},
        {500,  {"package ovanlibd5;", "{$R *.res}", "{$R ostrevane.dcr}", "requires", "vcl50", "contains", "ostrevane;"}},
        {600,  {"package ovanlibd6;", "{$R *.res}", "{$R ostrevane.dcr}", "requires", "vcl;", "contains", "ostrevane;"}},
        {700,  {"package ovanlibd7;", "{$R *.res}", "{$R ostrevane.dcr}", "requires", "vcl;", "contains", "ostrevane;"}},
        {8301, {"USERES(\"ovanlibb3.res\")", "ostrevane.obj", "USERES(\"ostrevane.dcr\")", "USEPACKAGE(\"vcl35.bpi\")"}},
        {8401, {"USERES(\"ovanlibb4.res\")", "ostrevane.obj", "USERES(\"ostrevane.dcr\")", "USEPACKAGE(\"vcl40.bpi\")"}},
        {8501, {"USERES(\"ovanlibb5.res\")", "ostrevane.obj", "USERES(\"ostrevane.dcr\")", "USEPACKAGE(\"vcl50.bpi\")"}},
        {8601, {"USERES(\"ovanlibb6.res\")", "ostrevane.obj", "USERES(\"ostrevane.dcr\")", "USEPACKAGE(\"vcl.bpi\")"}},
        {8300, {"PROJECT = ovanlibb3.bpl", "OBJFILES = ovanlibb3.obj ostrevane.obj"}},
        {8400, {"PROJECT = ovanlibb4.bpl", "OBJFILES = ovanlibb4.obj ostrevane.obj"}},
        {8500, {"<?xml", "<PROJECT value=\"ovanlibb5.bpl\"/>", "ostrevane.obj"}},
        {8600, {"<?xml", "<PROJECT value=\"ovanlibb6.bpl\"/>", "ostrevane.obj"}},
        {8305, {"class PASCALIMPLEMENTATION TOstrevane", "C++Builder 3"}},
        {8405, {"class PASCALIMPLEMENTATION TOstrevane", "C++Builder 4"}},
        {8505, {"class PASCALIMPLEMENTATION TOstrevane", "C++Builder 5"}},
        {8605, {"class PASCALIMPLEMENTATION TOstrevane", "C++Builder 6"}},
        {1,    {"program ostrevdemo;", "unit1 in 'unit1.pas'"}},
        {5,    {"unit unit1;", "TOstrevane", "DEMOKEYS"}},
        {6,    {"object Form1: TForm1", "object Ostrevane1: TOstrevane"}},
        {2,    {"PROJECT = ostrevdemo.exe"}},
        {3,    {"USEFORM(\"unit1.cpp\", Form1)"}},
        {8,    {"#include \"unit1.h\""}},
        {11,   {"class TForm1 : public TForm", "TOstrevane *Ostrevane1;"}},
        {202,  {":Base ostrevane.hlp\r\n", ":Title "}},
        {200,  {"Ostrevane v3.10 (trial)", "Quillmere Software"}},
        {203,  {"Ostrevane v3.10 (trial)", "Quillmere Software"}},
    };
    for (const Row& row : rows) {
        Bytes bytes = Payload(row.number);
        std::string text(bytes.begin(), bytes.end());
        for (const char* part : row.holds)
            EXPECT_NE(text.find(part), std::string::npos) << "resource " << row.number << " lacks " << part;
    }
    Bytes cnt = Payload(202);
    EXPECT_TRUE(Begins(cnt, ":Base ostrevane.hlp", 19));
}

TEST_F(InstallerResources, ResourceFilesHoldTheirEntries)
{
    struct Row {
        int number;
        std::multiset<std::string> types;  // one per entry, "#N" for each numbered type
        const char* namedType;             // the entry that must carry a name
        const char* name;
    };
    const Row rows[] = {
        // number  entry types                     named entry
        {4,    {"#3", "#14", "#10"},             "#14", "MAINICON"},
        {10,   {"#3", "#14"},                    "#14", "MAINICON"},
        {72,   {"#10"},                          "#10", "HOOKDLL"},
        {100,  {"#2"},                           "#2",  "TOSTREVANE"},
        {301,  {"#16"},                          nullptr, nullptr},
        {401,  {"#3", "#14", "#16"},             "#14", "MAINICON"},
        {501,  {"#3", "#14", "#16"},             "#14", "MAINICON"},
        {8302, {"#3", "#14", "#16"},             "#14", "MAINICON"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("resource " + std::to_string(row.number));
        std::vector<ResEntry> entries;
        ASSERT_TRUE(ParseRes(Payload(row.number), entries));
        std::multiset<std::string> types;
        for (const ResEntry& entry : entries) types.insert(entry.type);
        EXPECT_EQ(types, row.types);
        if (!row.namedType) continue;
        bool named = false;
        for (const ResEntry& entry : entries) named |= entry.type == row.namedType && entry.name == row.name;
        EXPECT_TRUE(named) << row.name;
    }
}

TEST_F(InstallerResources, HookLibraryAndPaletteBitmap)
{
    std::vector<ResEntry> entries;
    ASSERT_TRUE(ParseRes(Payload(72), entries));
    ASSERT_EQ(entries.size(), 1u);
    const Bytes& dll = entries[0].data;
    ASSERT_TRUE(Begins(dll, "MZ", 2));
    ASSERT_GT(dll.size(), 0x40u);
    uint32_t pe = Le32(&dll[0x3C]);
    ASSERT_LE(pe + 24, dll.size());
    EXPECT_TRUE(Begins(Bytes(dll.begin() + pe, dll.begin() + pe + 4), "PE\0\0", 4));
    EXPECT_EQ(Le16(&dll[pe + 4]), IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(Le16(&dll[pe + 22]) & IMAGE_FILE_DLL);

    entries.clear();
    ASSERT_TRUE(ParseRes(Payload(100), entries));
    ASSERT_EQ(entries.size(), 1u);
    const Bytes& bitmap = entries[0].data;
    ASSERT_GE(bitmap.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER header;
    std::memcpy(&header, bitmap.data(), sizeof header);
    EXPECT_EQ(header.biWidth, 24);
    EXPECT_EQ(header.biHeight, 24);
    EXPECT_EQ(header.biBitCount, 4);
    EXPECT_EQ(header.biCompression, DWORD(BI_RGB));
    EXPECT_EQ(bitmap.size(), 40u + 16 * 4 + 24 * 12);
}

TEST_F(InstallerResources, WizardPictureIs200By300With256Colours)
{
    HBITMAP picture = static_cast<HBITMAP>(LoadImageA(module_, MAKEINTRESOURCEA(1), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(picture, nullptr);
    BITMAP info = {};
    ASSERT_EQ(GetObjectA(picture, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmWidth, 200);
    EXPECT_EQ(info.bmHeight, 300);
    EXPECT_EQ(info.bmBitsPixel, 8);
    DeleteObject(picture);

    Bytes raw;
    ASSERT_TRUE(Find(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(2), raw));
    BITMAPINFOHEADER header;
    ASSERT_GE(raw.size(), sizeof header);
    std::memcpy(&header, raw.data(), sizeof header);
    EXPECT_EQ(header.biCompression, DWORD(BI_RGB));
    EXPECT_TRUE(header.biClrUsed == 256 || header.biClrUsed == 0);
    EXPECT_EQ(raw.size(), sizeof header + 256 * 4 + 200 * 300);
}

TEST_F(InstallerResources, WindowIconIsOne32By32ImageIn16Colours)
{
    Bytes group;
    ASSERT_TRUE(Find(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14), group));
    ASSERT_EQ(group.size(), 6u + 14);
    EXPECT_EQ(Le16(&group[4]), 1) << "images in the group";
    EXPECT_EQ(group[6], 32);
    EXPECT_EQ(group[7], 32);
    EXPECT_EQ(group[8], 16) << "colours";
    EXPECT_EQ(Le16(&group[12]), 4) << "bits per pixel";
    Bytes image;
    ASSERT_TRUE(Find(MAKEINTRESOURCEA(Le16(&group[18])), MAKEINTRESOURCEA(3), image));

    HICON icon = static_cast<HICON>(LoadImageA(module_, MAKEINTRESOURCEA(1), IMAGE_ICON, 32, 32, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP colour = {};
    ASSERT_NE(info.hbmColor, nullptr);
    GetObjectA(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, 32);
    EXPECT_EQ(colour.bmHeight, 32);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
}

TEST_F(InstallerResources, VersionInformation)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path_.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path_.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof *fixed);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0x2u);
    EXPECT_EQ(fixed->dwFileOS, 0x4u);
    EXPECT_EQ(fixed->dwFileType, 0x1u);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0419);
    EXPECT_EQ(translation[1], 1251);

    const struct {
        const char* key;
        const char* value;
    } strings[] = {
        {"CompanyName",      "Quillmere Software"},
        {"FileDescription",  "KVX Installation"},
        {"FileVersion",      "1.0.3.0"},
        {"InternalName",     "install"},
        {"LegalCopyright",   "Copyright (c) 1999-2004 Quillmere Software"},
        {"LegalTrademarks",  ""},
        {"OriginalFilename", "install.exe"},
        {"ProductName",      "Ostrevane Installation"},
        {"ProductVersion",   "1.0.3.0"},
    };
    for (const auto& row : strings) {
        std::string query = std::string("\\StringFileInfo\\041904E3\\") + row.key;
        char* value = nullptr;
        length = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) << row.key;
        EXPECT_STREQ(value, row.value) << row.key;
    }
}

}  // namespace
