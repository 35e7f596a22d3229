// The uninstall log: record bytes, the writer's limits and the file it leaves.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "test_files.h"
#include "uninstall_log.h"

namespace {

class LogFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "kvxlog_test";
        CreateDirectoryA(folder_.c_str(), nullptr);
        path_ = folder_ + "\\uninst.kvx";
        DeleteFileA(path_.c_str());
    }
    void TearDown() override
    {
        CloseLog();
        DeleteFileA(path_.c_str());
        RemoveDirectoryA(folder_.c_str());
    }
    std::string folder_, path_;
};

TEST(EncodeRecord, TypeTextTerminator)
{
    unsigned char bytes[32];
    std::memset(bytes, 0xEE, sizeof bytes);
    ASSERT_EQ(EncodeRecord(TargetCaption, " Shared Files", bytes, sizeof bytes), 15u);
    const unsigned char expected[15] = {0x02, 0x20, 0x53, 0x68, 0x61, 0x72, 0x65, 0x64,
                                        0x20, 0x46, 0x69, 0x6C, 0x65, 0x73, 0x00};
    EXPECT_EQ(0, std::memcmp(bytes, expected, sizeof expected));
    EXPECT_EQ(bytes[15], 0xEE);

    ASSERT_EQ(EncodeRecord(InstalledFile, "", bytes, 2), 2u);
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[2], 0x53);  // untouched

    EXPECT_EQ(EncodeRecord(ProductText, "ab", bytes, 3), 0u);  // needs 4
    EXPECT_EQ(EncodeRecord(ProductText, "", bytes, 1), 0u);
    EXPECT_EQ(EncodeRecord(0, "x", bytes, sizeof bytes), 0u);  // type 0 would end a reader
}

// What a log already holds counts only as whole records before any damage,
// text for text; a pair only as one record right after the other.
TEST(RecordsHold, WholeRecordsWithTheSameTextOnly)
{
    const struct {
        const char* what;
        std::string bytes;
        bool held, pairHeld;  // InstalledFile "C:\a"; UserKeyOpen "K" then KeyValueDelete "v"
    } cases[] = {
        {"both", std::string("\x01p\0\x03" "C:\\a\0\x09K\0\x05v\0", 15), true, true},
        {"a longer text", std::string("\x03" "C:\\ab\0\x09K\0\x05vw\0", 14), false, false},
        {"another type", std::string("\x0C" "C:\\a\0\x06K\0\x05v\0", 12), false, false},
        {"a record between the pair", std::string("\x09K\0\x08\0\x05v\0", 8), false, false},
        {"cut inside the last record", std::string("\x09K\0\x05v\0\x03" "C:\\a", 11), false, true},
        {"the pair's second cut", std::string("\x03" "C:\\a\0\x09K\0\x05v", 11), true, false},
        {"after a zero type byte", std::string("\x01p\0\0\x03" "C:\\a\0\x09K\0\x05v\0", 16), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto* data = reinterpret_cast<const std::uint8_t*>(c.bytes.data());
        EXPECT_EQ(RecordsHold(data, c.bytes.size(), InstalledFile, "C:\\a"), c.held);
        EXPECT_EQ(RecordsHoldPair(data, c.bytes.size(), UserKeyOpen, "K", KeyValueDelete, "v"), c.pairHeld);
    }
}

TEST_F(LogFile, RecordsLandInOrderWithNothingBetween)
{
    ASSERT_TRUE(OpenLog(path_.c_str()));
    EXPECT_TRUE(AppendRecord(ProductText, "Product\rline two"));
    EXPECT_TRUE(AppendRecord(TargetCaption, " Shared Files"));
    EXPECT_TRUE(AppendRecord(InstalledFile, ""));
    EXPECT_FALSE(FileExists(path_)) << "nothing is written before WriteLog";
    EXPECT_TRUE(WriteLog());
    const std::string expected = std::string("\x01Product\rline two", 17) + '\0' + "\x02 Shared Files" + '\0' +
                                 "\x03" + '\0';
    const auto bytes = ReadFileText(path_);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);
    EXPECT_EQ(TheUninstallLog.recordBuffer, nullptr) << "WriteLog releases the buffers";
    EXPECT_FALSE(AppendRecord(InstalledFile, "late")) << "nothing appends after WriteLog";
}

TEST_F(LogFile, AnOldLogIsReplacedNeverAppendedTo)
{
    ASSERT_TRUE(OpenLog(path_.c_str()));
    for (int i = 0; i < 50; ++i) AppendRecord(InstalledFile, "C:\\old\\file.txt");
    WriteLog();
    ASSERT_EQ(ReadFileText(path_).size(), 50u * 17);

    ASSERT_TRUE(OpenLog(path_.c_str()));
    AppendRecord(ProductText, "new");
    WriteLog();
    const auto bytes = ReadFileText(path_);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string("\x01new\0", 5));
}

// An earlier log, cut inside its last record, is carried over up to that
// record; then each record is on disk as soon as it is recorded, once.
TEST_F(LogFile, EarlierRecordsCarriedAndEachRecordOnDiskAtOnce)
{
    const std::string earlier = std::string("\x01old product\0\x03" "C:\\old\\kept.txt\0\x0D" "C:\\old", 37);
    ASSERT_TRUE(WriteFileText(path_, earlier));
    WriteFileText(path_ + ".new", "a new log that was never finished");
    ASSERT_TRUE(OpenLog(path_.c_str()));
    ASSERT_TRUE(AppendRecord(ProductText, "new"));
    CarryEarlierLog();
    EXPECT_EQ(ReadFileText(path_), earlier) << "the old file stays until a whole new one replaces it";
    ASSERT_TRUE(SaveLog());
    std::string expected = std::string("\x01new\0\x03" "C:\\old\\kept.txt\0", 22);
    EXPECT_EQ(ReadFileText(path_), expected);
    EXPECT_FALSE(FileExists(path_ + ".new"));
    EXPECT_TRUE(RecordAhead(InstalledFile, "C:\\new.txt"));
    expected += std::string("\x03" "C:\\new.txt\0", 12);
    EXPECT_EQ(ReadFileText(path_), expected) << "on disk before the step it undoes";
    EXPECT_TRUE(RecordAhead(InstalledFile, "C:\\old\\kept.txt")) << "held already";
    EXPECT_TRUE(RecordPairAhead(UserKeyOpen, "K", KeyValueDelete, "v"));
    EXPECT_TRUE(RecordPairAhead(UserKeyOpen, "K", KeyValueDelete, "w")) << "the same key, another value";
    EXPECT_TRUE(RecordPairAhead(UserKeyOpen, "K", KeyValueDelete, "v"));
    expected += std::string("\x09K\0\x05v\0\x09K\0\x05w\0", 12);
    EXPECT_EQ(ReadFileText(path_), expected);
    // Held: written as they come, flushed together; a second hold joins the first.
    HoldRecords();
    EXPECT_TRUE(RecordAhead(InstalledFile, "C:\\held.txt"));
    HoldRecords();
    EXPECT_TRUE(RecordPairAhead(UserKeyOpen, "K", KeyValueDelete, "x"));
    EXPECT_TRUE(FlushHeldRecords());
    EXPECT_TRUE(FlushHeldRecords()) << "nothing held";
    expected += std::string("\x03" "C:\\held.txt\0\x09K\0\x05x\0", 19);
    EXPECT_EQ(ReadFileText(path_), expected);
    EXPECT_TRUE(WriteLog());
    EXPECT_EQ(ReadFileText(path_), expected);
}

// A new log never holds less than the earlier one: one that cannot be carried
// whole is refused, while what a cut or a lost write leaves is carried.
TEST_F(LogFile, AnEarlierLogIsCarriedWholeOrRefused)
{
    std::string tooLarge;
    while (tooLarge.size() <= 65535) tooLarge += '\x03' + std::string(998, 'x') + '\0';
    // 65531 bytes of records after its product's: one more than the new log has left.
    std::string oneTooMany = std::string("\x01p\0", 3) + tooLarge.substr(0, 65000);
    oneTooMany += '\x03' + std::string(529, 'y') + '\0';
    const struct {
        const char* what;
        std::string bytes;  // "<none>": no earlier log
        bool carried;
    } cases[] = {
        {"none", "<none>", true},
        {"data after a zero type byte", std::string("\x01p\0\x03" "a\0\0\x03" "b\0", 10), false},
        {"zero bytes a lost write left", std::string("\x01p\0\x03" "a\0\0\0\0", 9), true},
        {"cut inside its last record", std::string("\x01p\0\x03" "a\0\x03" "b", 8), true},
        {"larger than a log can be", tooLarge, false},
        {"one byte more than there is room for", oneTooMany, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileA(path_.c_str());
        if (c.bytes != "<none>") ASSERT_TRUE(WriteFileText(path_, c.bytes));
        ASSERT_TRUE(OpenLog(path_.c_str()));
        ASSERT_TRUE(AppendRecord(ProductText, "new"));
        EXPECT_EQ(CarryEarlierLog(), c.carried);
        CloseLog();
        EXPECT_EQ(ReadFileText(path_), c.bytes == "<none>" ? "<missing>" : c.bytes) << "left as it was";
    }
}

TEST_F(LogFile, ARecordThatWouldNotFitIsRefusedWhole)
{
    ASSERT_TRUE(OpenLog(path_.c_str()));
    const std::string text(998, 'x');  // 1000-byte records
    for (int i = 0; i < 65; ++i) ASSERT_TRUE(AppendRecord(InstalledFile, text.c_str())) << i;
    EXPECT_EQ(LogLength(), 65000u);
    EXPECT_FALSE(AppendRecord(InstalledFile, std::string(534, 'y').c_str()));  // 536 > 535 left
    EXPECT_EQ(LogLength(), 65000u);
    EXPECT_TRUE(AppendRecord(InstalledFile, std::string(533, 'z').c_str()));  // exactly full
    EXPECT_EQ(LogLength(), 65535u);
    EXPECT_FALSE(AppendRecord(InstalledFile, ""));
    WriteLog();
    const auto bytes = ReadFileText(path_);
    ASSERT_EQ(bytes.size(), 65535u);
    // Whole records only: every record is an InstalledFile with its NUL.
    LogRecordReader reader(bytes.data(), bytes.size());
    std::size_t records = 0;
    for (LogRecordView record; reader.Next(record); ++records) {
        ASSERT_EQ(record.type, InstalledFile) << reader.Offset();
        ASSERT_TRUE(record.whole) << reader.Offset();
    }
    EXPECT_EQ(reader.Offset(), bytes.size()) << "no zero type byte";
    EXPECT_EQ(records, 66u);
}

TEST_F(LogFile, APathOf260CharactersOrMoreWritesNoLogAtAll)
{
    // The cut path would name a file the installer never meant to write.
    std::string longPath = folder_ + "\\" + std::string(260 - folder_.size() - 1, 'n');
    ASSERT_EQ(longPath.size(), 260u);
    const std::string cut = longPath.substr(0, 259);
    EXPECT_FALSE(OpenLog(longPath.c_str()));
    EXPECT_FALSE(AppendRecord(ProductText, "x"));
    EXPECT_FALSE(WriteLog()) << "no log means nothing to uninstall with";
    EXPECT_FALSE(FileExists(cut));
    EXPECT_FALSE(FileExists(longPath));

    std::string fits = longPath.substr(0, 259);
    EXPECT_TRUE(OpenLog(fits.c_str()));
    EXPECT_STREQ(TheUninstallLog.logPath, fits.c_str());
    CloseLog();
}

TEST_F(LogFile, AFileThatCannotBeCreatedStillReleasesTheBuffers)
{
    const std::string missing = folder_ + "\\no such folder\\uninst.kvx";
    const std::string inTheWay = folder_ + "\\in the way";
    ASSERT_TRUE(CreateDirectoryA(inTheWay.c_str(), nullptr));
    for (const std::string& path : {missing, inTheWay}) {
        ASSERT_TRUE(OpenLog(path.c_str()));
        AppendRecord(ProductText, "p");
        EXPECT_FALSE(WriteLog()) << path;
        EXPECT_EQ(ReadFileText(path), "<missing>") << path;
        EXPECT_EQ(TheUninstallLog.recordBuffer, nullptr);
        EXPECT_EQ(TheUninstallLog.logPath, nullptr);
    }
    RemoveDirectoryA(inTheWay.c_str());
}

}  // namespace
