#pragma once
// Writes a dictzip file: the input cut into chunks, the chunks deflated in
// parallel and written in order.
//
// The main thread reads chunk after chunk into the free slots of an
// OrderedPool, workers deflate them and compute each chunk's CRC, and the main
// thread writes the results in input order and folds the CRCs together with
// crc32_combine. Chunks never depend on one another, so the output is the same
// bytes whatever the number of threads. A member's header goes out first with a
// zeroed table, so the file grows from the start; the table is filled in when
// the member's last chunk is written.
//
// Without a level, a chunk is zlib's level 9 (memLevel 9, raw, each chunk from a
// reset stream, ended with a full flush): byte for byte what Debian's dictzip
// writes. With a level, libdeflate deflates each chunk as a whole stream; its
// final block is then made an ordinary one and an empty stored block (00 00 FF
// FF, what a flush writes) ends the chunk on a byte boundary, the way zlib's
// gzjoin example joins streams. Either way a chunk ends on a byte-aligned block
// boundary and refers to nothing outside itself, which is all a reader needs to
// inflate chunks alone and in any order.

#include "format.h"
#include "io.h"

#include <string>

namespace dz {

struct CompressSettings {
    uint32_t chunkLength = kDefaultChunkLength;
    uint32_t chunksPerMember = kMaxChunksPerMember; // smaller only in tests
    unsigned threads = 1;
    int level = 0; // 0: zlib's best, as Debian's dictzip; 1 to kMaxLevel: libdeflate's level
    uint32_t mtime = 0;
    std::string name; // stored as FNAME (the input's base name); empty: none
    Poll poll;
};

constexpr int kMaxLevel = 12;

// Largest chunk length whose deflated form always fits the 16-bit table.
constexpr uint32_t kMaxChunkLength = kDefaultChunkLength;

// Compresses exactly `inputSize` bytes of `input`; the input growing or
// shrinking meanwhile is an input failure.
Status compress(ByteSource &input, uint64_t inputSize, OutputTarget &output, const CompressSettings &settings);

} // namespace dz
