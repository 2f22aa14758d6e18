#include "reader.h"

#include "checksum.h"
#include "member.h"
#include "orderedpool.h"

#include <algorithm>
#include <limits>
#include <memory>

namespace dz {

namespace {

struct DecompressJob {
    const MemberHeader *header = nullptr;
    size_t index = 0;
    bool useLibdeflate = true;
    std::vector<uint8_t> in; // chunk bytes, then room for kChunkEnd
    size_t inSize = 0;
    std::vector<uint8_t> out;
    ChunkResult result;
    uint32_t crc = 0;
    Status status;

    void run(ChunkInflater &inflater)
    {
        status = inflater.inflateChunk(*header, index, in.data(), inSize, useLibdeflate, out.data(), result);
        if (status.ok())
            crc = updateCrc(0, out.data(), result.produced);
    }
};

using DecompressPool = OrderedPool<DecompressJob, ChunkInflater>;

// Inflates a table member's chunks in parallel and writes them in order. The
// pool serves every member of the file; it is started by the first with chunks.
Status decompressTableMember(ByteSource &source, uint64_t memberOffset, const MemberHeader &header, ByteSink *sink,
                             const ReadSettings &settings, std::unique_ptr<DecompressPool> &sharedPool,
                             MemberBuffers &buffers, uint64_t &size, uint64_t &end)
{
    uint64_t dataEnd = 0;
    Status s = chunkDataEnd(source, memberOffset, header, dataEnd);
    if (!s.ok())
        return s;

    // One chunk cannot be shared out: handing it to a worker would cost more than inflating it here.
    if (header.chunkSizes.size() == 1) {
        ChunkResult result;
        s = inflateChunkAt(source, memberOffset + header.headerSize, header, 0, settings.libdeflate, buffers, result);
        if (s.ok() && sink)
            s = sink->write(buffers.out.data(), result.produced);
        if (!s.ok())
            return s;
        size = result.produced;
        return endTableMember(source, dataEnd, result.endedStream, size,
                              updateCrc(0, buffers.out.data(), result.produced), settings.poll, buffers, end);
    }
    const unsigned threads = std::max(1u, settings.threads);
    if (!sharedPool && !header.chunkSizes.empty())
        sharedPool = std::make_unique<DecompressPool>(threads, threads > 1 ? 4 * size_t(threads) : 1);
    DecompressPool *pool = sharedPool.get(); // null only when there are no chunks
    // Jobs still queued on a failure point at this member's header: the pool goes with
    // them (its workers joined) before the header can go.
    struct DropUnfinished {
        std::unique_ptr<DecompressPool> &pool;
        ~DropUnfinished()
        {
            if (pool && !pool->empty())
                pool.reset();
        }
    } dropUnfinished{sharedPool};
    const size_t count = header.chunkSizes.size();
    uint64_t readPosition = memberOffset + header.headerSize;
    size_t nextToRead = 0, collected = 0;
    uint32_t crc = 0;
    size = 0;
    bool endedStream = false;
    Status failure;
    auto giveUp = [&] {
        if (settings.poll)
            failure = settings.poll();
        return !failure.ok();
    };

    while (collected < count) {
        if (nextToRead < count && !pool->full()) {
            DecompressJob &job = pool->next();
            job.header = &header;
            job.index = nextToRead;
            job.useLibdeflate = settings.libdeflate;
            job.inSize = header.chunkSizes[nextToRead];
            // Sized here rather than in a worker, where running out of memory could not be reported.
            job.in.resize(kMaxChunkCompressedSize + sizeof kChunkEnd);
            job.out.resize(header.chunkLength);
            s = readExactly(source, readPosition, job.in.data(), job.inSize);
            if (!s.ok())
                return s;
            readPosition += job.inSize;
            ++nextToRead;
            pool->submit();
            continue;
        }
        DecompressJob *job = pool->collect(giveUp);
        if (!job)
            return failure;
        if (!job->status.ok())
            return job->status;
        if (sink && !(s = sink->write(job->out.data(), job->result.produced)).ok())
            return s;
        crc = combineCrc(crc, job->crc, job->result.produced);
        size += job->result.produced;
        endedStream = job->result.endedStream;
        ++collected;
        if (giveUp())
            return failure;
    }
    return endTableMember(source, dataEnd, endedStream, size, crc, settings.poll, buffers, end);
}

// Adds one member's figures to the summary of its file.
void addMember(FileSummary &summary, const MemberHeader &header, uint64_t uncompressedSize)
{
    if (summary.members++ == 0)
        summary.first = header;
    if (header.hasTable && summary.chunkLength == 0)
        summary.chunkLength = header.chunkLength;
    summary.chunks += header.chunkSizes.size();
    summary.uncompressedSize += uncompressedSize;
}

} // namespace

Status decompress(ByteSource &file, ByteSink *sink, const ReadSettings &settings, FileSummary *summary)
{
    ReadAhead source(file);
    FileSummary total;
    total.compressedSize = source.size();
    std::unique_ptr<DecompressPool> pool;
    MemberBuffers buffers;
    Status s =
        forEachMember(source, settings.poll, [&](uint64_t offset, const MemberHeader &header, uint64_t &end, bool &) {
            uint64_t size = 0;
            StreamResult stream;
            Status m = header.hasTable
                           ? decompressTableMember(source, offset, header, sink, settings, pool, buffers, size, end)
                           : readPlainMember(source, offset, header, sink, std::numeric_limits<uint64_t>::max(),
                                             settings.poll, buffers, stream, end);
            addMember(total, header, header.hasTable ? size : stream.size);
            return m;
        });
    if (s.ok() && summary)
        *summary = total;
    return s;
}

Status listFile(ByteSource &file, const ReadSettings &settings, FileSummary &summary)
{
    ReadAhead source(file);
    summary = FileSummary{};
    summary.compressedSize = source.size();
    MemberBuffers buffers;
    return forEachMember(
        source, settings.poll, [&](uint64_t offset, const MemberHeader &header, uint64_t &end, bool &) {
            uint64_t size = 0;
            StreamResult stream;
            Status m = header.hasTable
                           ? measureTableMember(source, offset, header, settings.poll, buffers, size, end)
                           : readPlainMember(source, offset, header, nullptr, std::numeric_limits<uint64_t>::max(),
                                             settings.poll, buffers, stream, end);
            addMember(summary, header, header.hasTable ? size : stream.size);
            return m;
        });
}

} // namespace dz
