#pragma once
// Inflating: single chunks of a table member (zlib or libdeflate, chosen at
// run time), and whole deflate streams read piece by piece (zlib).

#include "format.h"
#include "io.h"

#include <vector>

#include <zlib.h>

struct libdeflate_decompressor;

namespace dz {

// A raw inflate stream that ends itself.
class ZlibInflate {
public:
    ZlibInflate() { ready_ = inflateInit2(&stream, -15) == Z_OK; }
    ~ZlibInflate()
    {
        if (ready_)
            inflateEnd(&stream);
    }
    ZlibInflate(const ZlibInflate &) = delete;
    ZlibInflate &operator=(const ZlibInflate &) = delete;
    bool ready() const { return ready_; }

    z_stream stream{};

private:
    bool ready_ = false;
};

struct ChunkResult {
    size_t produced = 0;
    bool endedStream = false; // the chunk carried the member's final block
};

// What a chunk is inflated with after it, in place of the member's `03 00`: an
// empty final block too, but a stored one, which needs no Huffman tables; the
// static ones would be built anew for every chunk after its dynamic blocks.
constexpr uint8_t kChunkEnd[] = {0x01, 0x00, 0x00, 0xff, 0xff};

// Per-thread state to inflate single chunks.
class ChunkInflater {
public:
    ChunkInflater();
    ~ChunkInflater();
    ChunkInflater(const ChunkInflater &) = delete;
    ChunkInflater &operator=(const ChunkInflater &) = delete;

    // Inflates chunk `index` of a member from `data`, which has room for
    // kChunkEnd after its `size`, and checks that it is whole: a full chunk
    // length unless it is the last, ending on a block boundary, and the final
    // block only in the last chunk. `out` holds a chunk length.
    Status inflateChunk(const MemberHeader &header, size_t index, uint8_t *data, size_t size, bool useLibdeflate,
                        uint8_t *out, ChunkResult &result);

private:
    // Both inflate `size` bytes and kChunkEnd after them; `consumed` is all of
    // it when the chunk ends on a block boundary, `size` when it carries the
    // final block itself.
    Status inflateZlib(const uint8_t *data, size_t size, uint8_t *out, size_t capacity, size_t &consumed,
                       size_t &produced);
#ifdef DICTZIP_HAVE_LIBDEFLATE
    Status inflateLibdeflate(const uint8_t *data, size_t size, uint8_t *out, size_t capacity, size_t &consumed,
                             size_t &produced);
    libdeflate_decompressor *libdeflate_ = nullptr;
#endif
    ZlibInflate zlib_;
};

struct StreamResult {
    uint32_t crc = 0;
    uint64_t size = 0;
    uint64_t end = 0;     // first byte after the deflate stream
    bool stopped = false; // stopped early, at `stopAfter` bytes of output
};

// Whole deflate streams, one after another, with one zlib state and one pair of
// buffers: reading many small members allocates nothing per member.
class StreamInflater {
public:
    // Inflates a deflate stream from `position` to its end, or until `stopAfter`
    // bytes are out. With `outputAllowed` false the stream must hold empty blocks
    // only (a table member's tail). `sink` may be null.
    Status inflate(ByteSource &source, uint64_t position, ByteSink *sink, bool outputAllowed, uint64_t stopAfter,
                   const Poll &poll, StreamResult &result);

private:
    ZlibInflate zlib_;
    std::vector<uint8_t> in_, out_;
};

// Whether chunks can be inflated with libdeflate in this build.
bool haveLibdeflate();

} // namespace dz
