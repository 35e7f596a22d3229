#pragma once
// Turns the bytes of an uninstall log into readable lines, and says where a
// file is damaged. Plain byte work, for Linux and Windows alike.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct LogListing {
    std::vector<std::string> lines;   // one per record
    std::vector<std::string> damage;  // empty for a whole log
    std::size_t records = 0;
};

const char* RecordTypeName(std::uint8_t type);
// The text with CR, LF, tabs and other control bytes shown as escapes.
std::string ShowText(const std::uint8_t* text, std::size_t length);
LogListing ListLog(const std::uint8_t* data, std::size_t size);
