// kvxlog: prints the records of an uninstall log (uninst.kvx) as lines.
//   kvxlog FILE      exit 0 for a whole log, 1 for a damaged one, 2 when unreadable
#include <cstdio>
#include <vector>

#include "log_text.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kvxlog uninst.kvx\n");
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "rb");
    if (!file) {
        std::perror(argv[1]);
        return 2;
    }
    std::vector<unsigned char> bytes;
    unsigned char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        std::fprintf(stderr, "%s: read error\n", argv[1]);
        return 2;
    }

    const LogListing listing = ListLog(bytes.data(), bytes.size());
    std::printf("%s: %zu records, %zu bytes\n", argv[1], listing.records, bytes.size());
    for (const auto& line : listing.lines) std::printf("%s\n", line.c_str());
    for (const auto& damage : listing.damage) std::printf("damaged: %s\n", damage.c_str());
    return listing.damage.empty() ? 0 : 1;
}
