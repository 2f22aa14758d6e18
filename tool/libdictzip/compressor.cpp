#include "compressor.h"

#include "checksum.h"
#include "orderedpool.h"

#include <zlib.h>

#include <algorithm>

namespace dz {

namespace {

// One zlib deflate state per thread, set up once and reset for every chunk.
class Deflater {
public:
    Deflater() { ready_ = deflateInit2(&stream_, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) == Z_OK; }
    ~Deflater()
    {
        if (ready_)
            deflateEnd(&stream_);
    }
    Deflater(const Deflater &) = delete;
    Deflater &operator=(const Deflater &) = delete;
    bool ready() const { return ready_; }

    // Returns the compressed size, or 0 when zlib failed or the chunk did not fit.
    size_t deflateChunk(const uint8_t *in, size_t inSize, uint8_t *out, size_t outCapacity)
    {
        if (!ready_ || deflateReset(&stream_) != Z_OK)
            return 0;
        stream_.next_in = const_cast<Bytef *>(in);
        stream_.avail_in = static_cast<uInt>(inSize);
        stream_.next_out = out;
        stream_.avail_out = static_cast<uInt>(outCapacity);
        const int result = deflate(&stream_, Z_FULL_FLUSH);
        // A full output buffer may hide pending bytes: treat it as too large.
        if (result != Z_OK || stream_.avail_in != 0 || stream_.avail_out == 0)
            return 0;
        return outCapacity - stream_.avail_out;
    }

private:
    z_stream stream_{};
    bool ready_ = false;
};

struct CompressJob {
    std::vector<uint8_t> in;
    size_t inSize = 0;
    std::vector<uint8_t> out;
    size_t outSize = 0;
    uint32_t crc = 0;
    bool noMemory = false; // zlib could not set up its stream

    void run(Deflater &deflater)
    {
        noMemory = !deflater.ready();
        // Room for more than the table can record, so oversize is detected.
        out.resize(kMaxChunkCompressedSize + 1024);
        outSize = deflater.deflateChunk(in.data(), inSize, out.data(), out.size());
        crc = updateCrc(0, in.data(), inSize);
    }
};

} // namespace

Status compress(ByteSource &input, uint64_t inputSize, OutputTarget &output, const CompressSettings &settings)
{
    if (settings.chunkLength == 0 || settings.chunkLength > kMaxChunkLength)
        return Status::usage("chunk length must be between 1 and " + std::to_string(kMaxChunkLength));
    if (settings.chunksPerMember == 0 || settings.chunksPerMember > kMaxChunksPerMember)
        return Status::usage("bad number of chunks per member");

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
        header.hasName = true;
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
