#pragma once
// Reads dictzip files, and plain gzip files too.
//
// A member with a chunk table is read chunk by chunk: each chunk, followed by
// an empty final block (kChunkEnd), is a complete deflate stream, so workers
// inflate chunks in parallel (with libdeflate where available) and the main
// thread writes them in order and checks the member's CRC-32 and size. After
// the chunks, only empty blocks may remain before the trailer. Members without
// a table are inflated as one stream with zlib. Range extraction (range.cpp)
// reads the headers and the chunks the range touches, nothing else.

#include "format.h"
#include "inflate.h"
#include "io.h"

#include <string>

namespace dz {

struct ReadSettings {
    unsigned threads = 1;
    bool libdeflate = true; // ignored when built without libdeflate
    Poll poll;
};

struct FileSummary {
    unsigned members = 0;
    uint64_t chunks = 0;
    uint32_t chunkLength = 0; // of the first member with a table; 0 when none has one
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    MemberHeader first;
};

// Inflates every member, checking CRC-32 and size of each; `sink` may be null
// (testing). The summary, when given, is filled in on success.
Status decompress(ByteSource &source, ByteSink *sink, const ReadSettings &settings, FileSummary *summary = nullptr);

// Walks the members to count chunks and sizes without inflating table members.
Status listFile(ByteSource &source, const ReadSettings &settings, FileSummary &summary);

// Writes uncompressed bytes [start, start + length) to `sink`, cut at the end of the data.
Status extractRange(ByteSource &source, uint64_t start, uint64_t length, ByteSink &sink, const ReadSettings &settings);

} // namespace dz
