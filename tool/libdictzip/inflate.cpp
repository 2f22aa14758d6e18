#include "inflate.h"

#include "checksum.h"

#ifdef DICTZIP_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <cstring>
#include <vector>

namespace dz {

namespace {

constexpr size_t kStreamBuffer = 64 * 1024;
// A stream's first read: small enough for ReadAhead's window, so that a member of
// a few bytes does not cost a read of a whole buffer.
constexpr size_t kFirstRead = 4 * 1024;

Status overflow() { return Status::corrupt("holds more than the chunk length"); }
Status invalid() { return Status::corrupt("invalid compressed data"); }

} // namespace

bool haveLibdeflate()
{
#ifdef DICTZIP_HAVE_LIBDEFLATE
    return true;
#else
    return false;
#endif
}

#ifdef DICTZIP_HAVE_LIBDEFLATE
ChunkInflater::ChunkInflater() : libdeflate_(libdeflate_alloc_decompressor()) {}
ChunkInflater::~ChunkInflater()
{
    if (libdeflate_)
        libdeflate_free_decompressor(libdeflate_);
}

Status ChunkInflater::inflateLibdeflate(const uint8_t *data, size_t size, uint8_t *out, size_t capacity,
                                        size_t &consumed, size_t &produced)
{
    if (!libdeflate_)
        return Status::memory();
    const libdeflate_result result = libdeflate_deflate_decompress_ex(libdeflate_, data, size + sizeof kChunkEnd, out,
                                                                      capacity, &consumed, &produced);
    if (result == LIBDEFLATE_INSUFFICIENT_SPACE)
        return overflow();
    return result == LIBDEFLATE_SUCCESS ? Status{} : invalid();
}
#else
ChunkInflater::ChunkInflater() = default;
ChunkInflater::~ChunkInflater() = default;
#endif

Status ChunkInflater::inflateZlib(const uint8_t *data, size_t size, uint8_t *out, size_t capacity, size_t &consumed,
                                  size_t &produced)
{
    z_stream &z = zlib_.stream;
    if (!zlib_.ready() || inflateReset(&z) != Z_OK)
        return Status::memory();
    z.next_in = const_cast<uint8_t *>(data);
    z.avail_in = static_cast<uInt>(size + sizeof kChunkEnd);
    z.next_out = out;
    z.avail_out = static_cast<uInt>(capacity);
    const int result = ::inflate(&z, Z_FINISH);
    if (result == Z_BUF_ERROR && z.avail_out == 0)
        return overflow();
    if (result != Z_STREAM_END)
        return invalid();
    consumed = size + sizeof kChunkEnd - z.avail_in;
    produced = capacity - z.avail_out;
    return {};
}

Status ChunkInflater::inflateChunk(const MemberHeader &header, size_t index, uint8_t *data, size_t size,
                                   bool useLibdeflate, uint8_t *out, ChunkResult &result)
{
    std::memcpy(data + size, kChunkEnd, sizeof kChunkEnd);
    size_t consumed = 0;
#ifdef DICTZIP_HAVE_LIBDEFLATE
    Status s = useLibdeflate ? inflateLibdeflate(data, size, out, header.chunkLength, consumed, result.produced)
                             : inflateZlib(data, size, out, header.chunkLength, consumed, result.produced);
#else
    (void)useLibdeflate;
    Status s = inflateZlib(data, size, out, header.chunkLength, consumed, result.produced);
#endif
    const bool last = index + 1 == header.chunkSizes.size();
    result.endedStream = consumed == size;
    if (s.ok() && consumed != size + sizeof kChunkEnd && !(last && result.endedStream))
        s = Status::corrupt("does not end where the chunk table says");
    else if (s.ok() && (result.produced == 0 || (!last && result.produced != header.chunkLength)))
        s = Status::corrupt("is shorter than the chunk length");
    return s.ok() ? s : s.within("chunk " + std::to_string(index));
}

Status StreamInflater::inflate(ByteSource &source, uint64_t position, ByteSink *sink, bool outputAllowed,
                               uint64_t stopAfter, const Poll &poll, StreamResult &result)
{
    result = StreamResult{};
    z_stream &z = zlib_.stream;
    if (!zlib_.ready() || inflateReset(&z) != Z_OK)
        return Status::memory();
    z.avail_in = 0; // what the last stream left unread is not this one's
    in_.resize(kStreamBuffer);
    out_.resize(kStreamBuffer);
    std::vector<uint8_t> &in = in_, &out = out_;
    uint64_t readPosition = position;
    for (size_t want = kFirstRead;; want = in.size()) {
        if (z.avail_in == 0) {
            size_t got = 0;
            Status s = source.readAt(readPosition, in.data(), want, got);
            if (!s.ok())
                return s;
            if (got == 0)
                return Status::corrupt("unexpected end of file");
            readPosition += got;
            z.next_in = in.data();
            z.avail_in = static_cast<uInt>(got);
        }
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        const int code = ::inflate(&z, Z_NO_FLUSH);
        if (code == Z_MEM_ERROR)
            return Status::memory();
        if (code != Z_OK && code != Z_STREAM_END && code != Z_BUF_ERROR)
            return invalid();
        size_t produced = out.size() - z.avail_out;
        if (produced > 0) {
            if (!outputAllowed)
                return Status::corrupt("data after the last chunk of the table");
            if (produced >= stopAfter - result.size) {
                produced = static_cast<size_t>(stopAfter - result.size);
                result.stopped = true;
            }
            result.crc = updateCrc(result.crc, out.data(), produced);
            result.size += produced;
            if (sink) {
                Status s = sink->write(out.data(), produced);
                if (!s.ok())
                    return s;
            }
            if (result.stopped)
                return {};
        }
        if (code == Z_STREAM_END)
            break;
        if (poll) {
            Status s = poll();
            if (!s.ok())
                return s;
        }
    }
    result.end = readPosition - z.avail_in;
    return {};
}

} // namespace dz
