#pragma once
// Checks shared by the test programs, each reporting the line that called it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_files.h"

inline void PrintTo(const LogRecord& record, std::ostream* os) { *os << record.type << " \"" << record.text << '"'; }

// The value holds exactly bytes (Sz for a text and its terminator).
#define EXPECT_REGISTRY(root, key, name, bytes) EXPECT_TRUE(RegistryHolds(root, key, name, bytes))

inline ::testing::AssertionResult RegistryHolds(HKEY root, const std::string& key, const char* name,
                                                const std::string& bytes)
{
    const std::string actual = RegistryBytes(root, key, name);
    if (actual == bytes) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << key << " \"" << name << "\" holds " << ::testing::PrintToString(actual)
                                         << ", not " << ::testing::PrintToString(bytes);
}

// The log holds exactly the expected records, in order: each one that differs
// is named by its index.
#define EXPECT_LOG(records, expected) ExpectLog(__FILE__, __LINE__, records, expected)

inline void ExpectLog(const char* file, int line, const std::vector<LogRecord>& records,
                      const std::vector<LogRecord>& expected)
{
    const std::size_t count = std::max(records.size(), expected.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (i >= records.size())
            ADD_FAILURE_AT(file, line) << "record " << i << " missing: " << ::testing::PrintToString(expected[i]);
        else if (i >= expected.size())
            ADD_FAILURE_AT(file, line) << "record " << i << " unexpected: " << ::testing::PrintToString(records[i]);
        else if (!(records[i] == expected[i]))
            ADD_FAILURE_AT(file, line) << "record " << i << " is " << ::testing::PrintToString(records[i])
                                       << ", not " << ::testing::PrintToString(expected[i]);
    }
}
