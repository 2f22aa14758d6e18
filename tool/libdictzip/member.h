#pragma once
// Member by member: the steps that decompressing, listing and range extraction
// share. A member is a gzip header, deflate data and an 8-byte trailer
// (CRC-32 and size); a table member's data is its chunks and the final block.

#include "inflate.h"

#include <functional>
#include <optional>

namespace dz {

// What reading member after member reuses, kept for a whole file, so that many
// small members cost no allocations each.
struct MemberBuffers {
    StreamInflater stream; // members without a table, and unusual tails
    ChunkInflater chunk;   // single chunks: a member's last, or those of a range
    std::vector<uint8_t> in, out;
};

// Calls `visit` for each member from the start of the file; it gives the
// member's end, or sets `more` false to stop there. An empty file is not gzip.
// `poll` is asked before each member, so that many small members stop too.
using MemberVisit = std::function<Status(uint64_t offset, const MemberHeader &header, uint64_t &end, bool &more)>;
Status forEachMember(ByteSource &source, const Poll &poll, const MemberVisit &visit);

// Where a table member's chunk data ends; the file must be long enough to
// hold it and a trailer, which catches most truncations before any output.
Status chunkDataEnd(ByteSource &source, uint64_t memberOffset, const MemberHeader &header, uint64_t &dataEnd);

// Reads what follows a table member's last chunk (the empty final block unless
// the chunk carried it, then the trailer) and checks the member's size, and
// its CRC-32 when given. `end` is where the next member starts.
Status endTableMember(ByteSource &source, uint64_t dataEnd, bool endedStream, uint64_t size,
                      std::optional<uint32_t> crc, const Poll &poll, MemberBuffers &buffers, uint64_t &end);

// Reads chunk `index` of a table member, which starts at `position`, and
// inflates it on this thread into buffers.out.
Status inflateChunkAt(ByteSource &source, uint64_t position, const MemberHeader &header, size_t index,
                      bool useLibdeflate, MemberBuffers &buffers, ChunkResult &result);

// A table member's uncompressed size and end, found by inflating its last chunk only.
Status measureTableMember(ByteSource &source, uint64_t memberOffset, const MemberHeader &header, const Poll &poll,
                          MemberBuffers &buffers, uint64_t &size, uint64_t &end);

// Inflates a member without a table and checks its trailer, unless it stops
// early at `stopAfter` bytes of output (stream.stopped); `sink` may be null.
Status readPlainMember(ByteSource &source, uint64_t memberOffset, const MemberHeader &header, ByteSink *sink,
                       uint64_t stopAfter, const Poll &poll, MemberBuffers &buffers, StreamResult &stream,
                       uint64_t &end);

} // namespace dz
