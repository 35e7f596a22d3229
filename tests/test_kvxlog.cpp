// The vendor's log reader: readable lines and the places where a log is damaged.
#include <gtest/gtest.h>

#include <string>

#include "log_text.h"

namespace {

LogListing List(const std::string& bytes)
{
    return ListLog(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

TEST(Kvxlog, ListsEveryRecordWithItsTypeName)
{
    const std::string log = std::string("\x01Line one\rLine two\0", 19) + std::string("\x02 Shared Files\0", 15) +
                            std::string("\x03" "C:\\Tools\\readme.txt\0", 21) + std::string("\x0F" "odd\0", 5) +
                            std::string("\x03\0", 2) + std::string("\x0ASearch Path\t;C:\\O\0", 19) +
                            std::string("\x0D" "C:\\O\0", 6) + std::string("\x0E" "Software\\Active\0", 17);
    const LogListing listing = List(log);
    ASSERT_EQ(listing.records, 8u);
    EXPECT_TRUE(listing.damage.empty());
    EXPECT_EQ(listing.lines[0], "   1  ProductText      \"Line one\\rLine two\"");
    EXPECT_EQ(listing.lines[1], "   2  TargetCaption    \" Shared Files\"");
    EXPECT_EQ(listing.lines[2], "   3  InstalledFile    \"C:\\Tools\\readme.txt\"");
    EXPECT_EQ(listing.lines[3], "   4  Unknown          (type 15) \"odd\"");
    EXPECT_EQ(listing.lines[4], "   5  InstalledFile    \"\"");
    EXPECT_EQ(listing.lines[5], "   6  SearchPathEntry  \"Search Path\\t;C:\\O\"");
    EXPECT_EQ(listing.lines[6], "   7  CreatedFolder    \"C:\\O\"");
    EXPECT_EQ(listing.lines[7], "   8  LogonComponent   \"Software\\Active\"");
}

TEST(Kvxlog, SaysWhereALogIsDamaged)
{
    struct Case {
        std::string bytes;
        std::size_t records;
        const char* damage;  // the start of the one damage line, or null
    };
    const Case cases[] = {
        {"", 0, nullptr},
        {std::string("\x01p\0\0\x03x\0", 7), 1, "zero type byte at offset 3"},
        {std::string("\x01p\0\x03" "C:\\cut", 9), 2, "last record at offset 3 has no terminating NUL"},
        {std::string("\x03", 1), 1, "last record at offset 0 has no terminating NUL"},
        {std::string("\0", 1), 0, "zero type byte at offset 0"},
    };
    for (const Case& c : cases) {
        const LogListing listing = List(c.bytes);
        EXPECT_EQ(listing.records, c.records);
        if (!c.damage) {
            EXPECT_TRUE(listing.damage.empty());
            continue;
        }
        ASSERT_EQ(listing.damage.size(), 1u);
        EXPECT_EQ(listing.damage[0].rfind(c.damage, 0), 0u) << listing.damage[0];
    }
}

TEST(Kvxlog, ControlBytesAreShownAsEscapes)
{
    const std::uint8_t text[] = {'a', '\r', '\n', '\t', 0x01, 0x7F, 0xE9, 'z'};
    EXPECT_EQ(ShowText(text, sizeof text), "a\\r\\n\\t\\x01\\x7F\xE9z");
}

}  // namespace
