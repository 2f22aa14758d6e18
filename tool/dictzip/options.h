#pragma once
// The command line's options: what to do, to which files, and how.

#include "compressor.h"
#include "status.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace dz {

enum class Mode { Compress, Decompress, Test, List, Range };

struct Options {
    Mode mode = Mode::Compress;
    bool force = false;
    bool keep = false;
    bool toStdout = false;
    bool progress = false;  // "progress READ SIZE" lines on standard error
    std::string replacedTo; // where a replaced output goes and stays (one file only)
    uint64_t start = 0;
    uint64_t size = std::numeric_limits<uint64_t>::max();
    unsigned threads = 0; // after parsing, one per core unless given
    uint32_t chunkLength = kDefaultChunkLength;
    int level = 0;                     // 0: zlib's best, byte for byte as Debian's dictzip
    bool noName = false;               // neither the name nor the time in the header
    std::optional<int64_t> latestTime; // SOURCE_DATE_EPOCH: no later time is stored
    bool multiMember = false;          // allow files longer than one member holds
    bool help = false;
    bool version = false;
    std::vector<std::string> files;
};

// Fills in `options` from the arguments; any failure is a usage error.
Status parseOptions(int argc, char **argv, Options &options);

// The text of -h and the line of -V.
extern const char kHelp[];
std::string versionLine();

} // namespace dz
