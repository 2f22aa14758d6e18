#include "compressor.h"

#include "checksum.h"
#include "inflate.h"
#include "orderedpool.h"

#include <zlib.h>
#ifdef DICTZIP_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <algorithm>

namespace dz {

namespace {

// The empty stored block that ends a chunk: up to 3 header bits, then LEN 0 and NLEN.
constexpr size_t kMaxChunkEnd = 5;

// One thread's encoders, each set up on first use and reused for every chunk.
class Deflater {
public:
    Deflater() = default;
    ~Deflater()
    {
        if (zlibReady_)
            deflateEnd(&zlib_);
#ifdef DICTZIP_HAVE_LIBDEFLATE
        libdeflate_free_compressor(libdeflate_);
#endif
    }
    Deflater(const Deflater &) = delete;
    Deflater &operator=(const Deflater &) = delete;

    // Returns the compressed size, or 0 when the chunk did not fit; `noMemory` when
    // an encoder could not be set up.
    size_t deflateChunk(int level, const uint8_t *in, size_t inSize, uint8_t *out, size_t outCapacity, bool &noMemory)
    {
#ifdef DICTZIP_HAVE_LIBDEFLATE
        if (level > 0)
            return deflateLibdeflate(level, in, inSize, out, outCapacity, noMemory);
#else
        (void)level; // refused before any chunk is read
#endif
        return deflateZlib(in, inSize, out, outCapacity, noMemory);
    }

private:
    size_t deflateZlib(const uint8_t *in, size_t inSize, uint8_t *out, size_t outCapacity, bool &noMemory)
    {
        if (!zlibTried_) {
            zlibTried_ = true;
            zlibReady_ = deflateInit2(&zlib_, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) == Z_OK;
        }
        noMemory = !zlibReady_;
        if (!zlibReady_ || deflateReset(&zlib_) != Z_OK)
            return 0;
        zlib_.next_in = const_cast<Bytef *>(in);
        zlib_.avail_in = static_cast<uInt>(inSize);
        zlib_.next_out = out;
        zlib_.avail_out = static_cast<uInt>(outCapacity);
        const int result = deflate(&zlib_, Z_FULL_FLUSH);
        // A full output buffer may hide pending bytes: treat it as too large.
        if (result != Z_OK || zlib_.avail_in != 0 || zlib_.avail_out == 0)
            return 0;
        return outCapacity - zlib_.avail_out;
    }

#ifdef DICTZIP_HAVE_LIBDEFLATE
    size_t deflateLibdeflate(int level, const uint8_t *in, size_t inSize, uint8_t *out, size_t outCapacity,
                             bool &noMemory)
    {
        if (!libdeflate_) {
            libdeflate_ = libdeflate_alloc_compressor(level);
            scratch_.resize(kMaxChunkLength + 1);
        }
        noMemory = !libdeflate_ || !inflater_.ready();
        if (noMemory || outCapacity <= kMaxChunkEnd)
            return 0;
        const size_t size = libdeflate_deflate_compress(libdeflate_, in, inSize, out, outCapacity - kMaxChunkEnd);
        return size ? endWithoutFinalBlock(out, size, inSize) : 0;
    }

    // Turns libdeflate's stream in `data` into a chunk: its final block becomes an
    // ordinary one, and an empty stored block ends it on a byte boundary. The
    // stream is inflated block by block (zlib's Z_BLOCK) to find where the final
    // block's header is. Returns the new size (at most kMaxChunkEnd more), or 0
    // when the stream does not inflate to `expected` bytes.
    size_t endWithoutFinalBlock(uint8_t *data, size_t size, size_t expected)
    {
        z_stream &z = inflater_.stream;
        if (inflateReset(&z) != Z_OK)
            return 0;
        z.next_in = data;
        z.avail_in = static_cast<uInt>(size);
        z.next_out = scratch_.data();
        z.avail_out = static_cast<uInt>(std::min(scratch_.size(), expected + 1));
        size_t headerByte = 0; // the first block's header is the stream's first bit
        unsigned headerBit = 0;
        int endUnused = -1; // unused bits in the last byte, once the final block has ended
        for (;;) {
            const int code = inflate(&z, Z_BLOCK);
            if (code == Z_STREAM_END)
                break;
            if (code != Z_OK)
                return 0;
            // Bit 7: stopped at the end of a block, with fewer than 8 unused bits
            // (bits 0-2) in the last byte taken; bit 6: that block was the final one.
            if (z.data_type & 128) {
                const unsigned unused = z.data_type & 7;
                const size_t taken = static_cast<size_t>(z.next_in - data);
                if (z.data_type & 64)
                    endUnused = static_cast<int>(unused);
                else if (unused) {
                    headerByte = taken - 1;
                    headerBit = 8 - unused;
                } else {
                    headerByte = taken;
                    headerBit = 0;
                }
            }
        }
        if (endUnused < 0 || z.avail_in != 0 || z.total_out != expected)
            return 0;
        data[headerByte] &= static_cast<uint8_t>(~(1u << headerBit));
        data[size - 1] &= static_cast<uint8_t>((1u << (8 - endUnused)) - 1);
        // BFINAL 0 and BTYPE 00 go into the last byte's unused bits, or a byte of their own.
        if (endUnused < 3)
            data[size++] = 0;
        const uint8_t emptyStored[4] = {0x00, 0x00, 0xff, 0xff};
        std::copy(emptyStored, emptyStored + 4, data + size);
        return size + 4;
    }

    libdeflate_compressor *libdeflate_ = nullptr;
    ZlibInflate inflater_;
    std::vector<uint8_t> scratch_;
#endif
    z_stream zlib_{};
    bool zlibTried_ = false;
    bool zlibReady_ = false;
};

struct CompressJob {
    int level = 0;
    std::vector<uint8_t> in;
    size_t inSize = 0;
    std::vector<uint8_t> out;
    size_t outSize = 0;
    uint32_t crc = 0;
    bool noMemory = false; // an encoder could not be set up

    void run(Deflater &deflater)
    {
        // Room for more than the table can record, so oversize is detected.
        out.resize(kMaxChunkCompressedSize + 1024);
        outSize = deflater.deflateChunk(level, in.data(), inSize, out.data(), out.size(), noMemory);
        crc = updateCrc(0, in.data(), inSize);
    }
};

// gzip's XFL: 2 for the slowest compression, 4 for the fastest (as libdeflate marks its levels).
uint8_t extraFlags(int level) { return level == 0 || level >= 8 ? 2 : level < 2 ? 4 : 0; }

} // namespace

Status compress(ByteSource &input, uint64_t inputSize, OutputTarget &output, const CompressSettings &settings)
{
    if (settings.chunkLength == 0 || settings.chunkLength > kMaxChunkLength)
        return Status::usage("chunk length must be between 1 and " + std::to_string(kMaxChunkLength));
    if (settings.chunksPerMember == 0 || settings.chunksPerMember > kMaxChunksPerMember)
        return Status::usage("bad number of chunks per member");
    if (settings.level < 0 || settings.level > kMaxLevel)
        return Status::usage("compression level must be between 1 and " + std::to_string(kMaxLevel));
#ifndef DICTZIP_HAVE_LIBDEFLATE
    if (settings.level > 0)
        return Status::usage("compression levels need libdeflate, and this dictzip was built without it");
#endif

    const uint64_t totalChunks = (inputSize + settings.chunkLength - 1) / settings.chunkLength;
    const unsigned threads = settings.threads ? settings.threads : 1;
    OrderedPool<CompressJob, Deflater> pool(threads, threads > 1 ? 4 * size_t(threads) : 1);

    uint64_t chunkIndex = 0; // next chunk to read, over the whole input
    uint64_t written = 0;    // bytes of output so far
    bool stopped = false;
    Status failure;
    auto giveUp = [&] {
        if (settings.poll) {
            Status s = settings.poll();
            if (!s.ok()) {
                failure = s;
                stopped = true;
            }
        }
        return stopped;
    };

    // An empty input still gets one member, with no chunks.
    do {
        const uint64_t memberFirst = chunkIndex;
        const uint64_t memberChunks = std::min<uint64_t>(settings.chunksPerMember, totalChunks - memberFirst);

        MemberHeader header;
        header.mtime = settings.mtime;
        header.extraFlags = extraFlags(settings.level);
        header.hasName = !settings.name.empty();
        header.name = settings.name;
        header.hasTable = true;
        header.chunkLength = settings.chunkLength;
        header.chunkSizes.assign(memberChunks, 0);
        const std::vector<uint8_t> headerBytes = encodeHeader(header);
        const uint64_t headerOffset = written;
        Status s = output.write(headerBytes.data(), headerBytes.size());
        if (!s.ok())
            return s;
        written += headerBytes.size();

        uint32_t memberCrc = 0;
        uint64_t memberSize = 0;
        uint64_t collectedChunks = 0;
        while (collectedChunks < memberChunks) {
            if (chunkIndex < memberFirst + memberChunks && !pool.full()) {
                CompressJob &job = pool.next();
                job.level = settings.level;
                const uint64_t offset = chunkIndex * settings.chunkLength;
                job.inSize = static_cast<size_t>(std::min<uint64_t>(settings.chunkLength, inputSize - offset));
                job.in.resize(job.inSize);
                size_t got = 0;
                s = input.readAt(offset, job.in.data(), job.inSize, got);
                if (!s.ok())
                    return s;
                if (got != job.inSize)
                    return Status::input("file shrank while it was being compressed");
                pool.submit();
                ++chunkIndex;
                continue;
            }
            CompressJob *job = pool.collect(giveUp);
            if (!job)
                return failure;
            if (job->noMemory)
                return Status::memory();
            if (job->outSize == 0 || job->outSize > kMaxChunkCompressedSize)
                return Status::output("chunk " + std::to_string(memberFirst + collectedChunks) +
                                      " does not fit the chunk table");
            header.chunkSizes[collectedChunks] = static_cast<uint16_t>(job->outSize);
            s = output.write(job->out.data(), job->outSize);
            if (!s.ok())
                return s;
            written += job->outSize;
            memberCrc = combineCrc(memberCrc, job->crc, job->inSize);
            memberSize += job->inSize;
            ++collectedChunks;
            if (giveUp())
                return failure;
        }

        uint8_t tail[sizeof kFinalBlock + kTrailerSize];
        tail[0] = kFinalBlock[0];
        tail[1] = kFinalBlock[1];
        putLittle32(tail + 2, memberCrc);
        putLittle32(tail + 6, static_cast<uint32_t>(memberSize));
        s = output.write(tail, sizeof tail);
        if (!s.ok())
            return s;
        written += sizeof tail;

        if (memberChunks > 0) {
            const std::vector<uint8_t> table = encodeHeader(header);
            s = output.writeAt(headerOffset + kTableOffset, table.data() + kTableOffset, 2 * memberChunks);
            if (!s.ok())
                return s;
        }
    } while (chunkIndex < totalChunks);

    // A file that grew while it was read would lose its tail.
    uint8_t probe;
    size_t got = 0;
    Status s = input.readAt(inputSize, &probe, 1, got);
    if (!s.ok())
        return s;
    if (got != 0)
        return Status::input("file grew while it was being compressed");
    return {};
}

} // namespace dz
