#pragma once
// Writes a dictzip file: the input cut into chunks, the chunks deflated in
// parallel and written in order.
//
// The main thread reads chunk after chunk into the free slots of an
// OrderedPool, workers deflate them (zlib level 9, memLevel 9, raw, each chunk
// from a reset stream, ended with a full flush) and compute each chunk's CRC,
// and the main thread writes the results in input order and folds the CRCs
// together with crc32_combine. Chunks never depend on one another, so the
// output is the same bytes whatever the number of threads. A member's header
// goes out first with a zeroed table, so the file grows from the start; the
// table is filled in when the member's last chunk is written.

#include "format.h"
#include "io.h"

#include <string>

namespace dz {

struct CompressSettings {
    uint32_t chunkLength = kDefaultChunkLength;
    uint32_t chunksPerMember = kMaxChunksPerMember; // smaller only in tests
    unsigned threads = 1;
    uint32_t mtime = 0;
    std::string name; // stored as FNAME; the input's base name
    Poll poll;
};

// Largest chunk length whose deflated form always fits the 16-bit table.
constexpr uint32_t kMaxChunkLength = kDefaultChunkLength;

// Compresses exactly `inputSize` bytes of `input`; the input growing or
// shrinking meanwhile is an input failure.
Status compress(ByteSource &input, uint64_t inputSize, OutputTarget &output, const CompressSettings &settings);

} // namespace dz
