#include "log_text.h"

#include <cstdio>

#include "log_format.h"

namespace {

struct TypeName {
    std::uint8_t type;
    const char* name;
};

constexpr TypeName TypeNames[] = {
    {ProductText, "ProductText"},       {TargetCaption, "TargetCaption"},
    {InstalledFile, "InstalledFile"},   {MachineKeyOpen, "MachineKeyOpen"},
    {KeyValueDelete, "KeyValueDelete"}, {UserKeyDelete, "UserKeyDelete"},
    {MachineKeyDelete, "MachineKeyDelete"}, {NoAction, "NoAction"},
    {UserKeyOpen, "UserKeyOpen"},       {SearchPathEntry, "SearchPathEntry"},
    {HelpLine, "HelpLine"},             {ProductFile, "ProductFile"},
    {CreatedFolder, "CreatedFolder"},   {LogonComponent, "LogonComponent"},
};
static_assert(sizeof TypeNames / sizeof *TypeNames == LastRecordType, "every record type has its name");

std::string Format(const char* format, std::size_t a, std::size_t b = 0)
{
    char line[160];
    std::snprintf(line, sizeof line, format, a, b);
    return line;
}

}  // namespace

const char* RecordTypeName(std::uint8_t type)
{
    for (const TypeName& row : TypeNames)
        if (row.type == type) return row.name;
    return "Unknown";
}

std::string ShowText(const std::uint8_t* text, std::size_t length)
{
    std::string shown;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t c = text[i];
        switch (c) {
        case '\r': shown += "\\r"; break;
        case '\n': shown += "\\n"; break;
        case '\t': shown += "\\t"; break;
        case '\\': shown += '\\'; break;  // paths stay readable
        default:
            if (c < 0x20 || c == 0x7F) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\x%02X", c);
                shown += escape;
            } else {
                shown += static_cast<char>(c);
            }
        }
    }
    return shown;
}

LogListing ListLog(const std::uint8_t* data, std::size_t size)
{
    LogListing listing;
    LogRecordReader reader(data, size);
    LogRecordView record;
    for (std::size_t at = 0; reader.Next(record); at = reader.Offset()) {
        const std::string text = ShowText(reinterpret_cast<const std::uint8_t*>(record.text), record.length);
        char head[64];
        std::snprintf(head, sizeof head, "%4zu  %-16s ", listing.records + 1, RecordTypeName(record.type));
        std::string line = head;
        if (record.type > LastRecordType) line += Format("(type %zu) ", record.type);
        line += "\"" + text + "\"";
        if (!record.whole) {
            listing.damage.push_back(Format("last record at offset %zu has no terminating NUL: "
                                            "the uninstaller passes it over",
                                            at));
            line += "  [no NUL]";
        }
        listing.lines.push_back(line);
        ++listing.records;
    }
    const std::size_t at = reader.Offset();
    if (at < size)
        listing.damage.push_back(Format("zero type byte at offset %zu: the uninstaller stops here, "
                                        "%zu bytes after it are never read",
                                        at, size - at - 1));
    return listing;
}
