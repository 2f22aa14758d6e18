#include "reader.h"

#include "checksum.h"
#include "member.h"
#include "orderedpool.h"

#include <algorithm>
#include <limits>
#include <memory>

namespace dz {

namespace {

// Reads the trailer at `position` and checks the member's size, and its CRC-32 when given.
Status checkTrailer(ByteSource &source, uint64_t position, uint64_t size, std::optional<uint32_t> crc, uint64_t &end)
{
    uint8_t trailer[kTrailerSize];
    Status s = readExactly(source, position, trailer, sizeof trailer);
    if (!s.ok())
        return s;
    end = position + kTrailerSize;
    if (crc && little32(trailer) != *crc)
        return Status::corrupt("CRC-32 mismatch");
    if (little32(trailer + 4) != static_cast<uint32_t>(size))
        return Status::corrupt("length mismatch");
    return {};
}

} // namespace

Status forEachMember(ByteSource &source, const Poll &poll, const MemberVisit &visit)
{
    uint64_t offset = 0;
    unsigned index = 0;
    do {
        if (poll) {
            Status s = poll();
            if (!s.ok())
                return s;
        }
        bool starts = true;
        Status s = index > 0 ? startsMember(source, offset, starts) : Status{};
        if (s.ok() && !starts)
            s = Status::corrupt("trailing garbage after the compressed data");
        MemberHeader header;
        if (s.ok())
            s = parseHeader(source, offset, header);
        uint64_t end = 0;
        bool more = true;
        if (s.ok())
            s = visit(offset, header, end, more);
        if (!s.ok())
            return index > 0 ? s.within("member " + std::to_string(index + 1)) : s;
        if (!more)
            break;
        offset = end;
        ++index;
    } while (offset < source.size());
    return {};
}

Status chunkDataEnd(ByteSource &source, uint64_t memberOffset, const MemberHeader &header, uint64_t &dataEnd)
{
    dataEnd = memberOffset + header.headerSize + header.compressedChunkBytes();
    if (dataEnd > source.size() || source.size() - dataEnd < kTrailerSize)
        return Status::corrupt("unexpected end of file: the chunk table points past it");
    return {};
}

Status endTableMember(ByteSource &source, uint64_t dataEnd, bool endedStream, uint64_t size,
                      std::optional<uint32_t> crc, const Poll &poll, uint64_t &end)
{
    uint64_t position = dataEnd;
    uint8_t tail[sizeof kFinalBlock] = {};
    size_t got = 0;
    // The tail is nearly always the bare final block: no inflater needed.
    if (!endedStream && source.readAt(position, tail, sizeof tail, got).ok() && got == sizeof tail &&
        tail[0] == kFinalBlock[0] && tail[1] == kFinalBlock[1]) {
        position += sizeof tail;
    } else if (!endedStream) {
        StreamResult tail;
        Status s = inflateStream(source, position, nullptr, false, std::numeric_limits<uint64_t>::max(), poll, tail);
        if (!s.ok())
            return s;
        position = tail.end;
    }
    return checkTrailer(source, position, size, crc, end);
}

Status measureTableMember(ByteSource &source, uint64_t memberOffset, const MemberHeader &header, const Poll &poll,
                          uint64_t &size, uint64_t &end)
{
    uint64_t dataEnd = 0;
    Status s = chunkDataEnd(source, memberOffset, header, dataEnd);
    if (!s.ok())
        return s;
    size = 0;
    ChunkResult result;
    if (!header.chunkSizes.empty()) {
        const size_t last = header.chunkSizes.size() - 1;
        std::vector<uint8_t> in(header.chunkSizes[last] + 2), out(header.chunkLength);
        s = readExactly(source, dataEnd - header.chunkSizes[last], in.data(), header.chunkSizes[last]);
        ChunkInflater inflater;
        if (s.ok())
            s = inflater.inflateChunk(header, last, in.data(), header.chunkSizes[last], true, out.data(), result);
        if (!s.ok())
            return s;
        size = uint64_t(last) * header.chunkLength + result.produced;
    }
    return endTableMember(source, dataEnd, result.endedStream, size, std::nullopt, poll, end);
}

Status readPlainMember(ByteSource &source, uint64_t memberOffset, const MemberHeader &header, ByteSink *sink,
                       uint64_t stopAfter, const Poll &poll, StreamResult &stream, uint64_t &end)
{
    Status s = inflateStream(source, memberOffset + header.headerSize, sink, true, stopAfter, poll, stream);
    if (!s.ok() || stream.stopped)
        return s;
    return checkTrailer(source, stream.end, stream.size, stream.crc, end);
}

namespace {

struct DecompressJob {
    const MemberHeader *header = nullptr;
    size_t index = 0;
    bool useLibdeflate = true;
    std::vector<uint8_t> in; // chunk bytes plus two spare
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
                             const ReadSettings &settings, std::unique_ptr<DecompressPool> &sharedPool, uint64_t &size,
                             uint64_t &end)
{
    uint64_t dataEnd = 0;
    Status s = chunkDataEnd(source, memberOffset, header, dataEnd);
    if (!s.ok())
        return s;

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
            job.in.resize(kMaxChunkCompressedSize + 2);
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
    return endTableMember(source, dataEnd, endedStream, size, crc, settings.poll, end);
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
    Status s =
        forEachMember(source, settings.poll, [&](uint64_t offset, const MemberHeader &header, uint64_t &end, bool &) {
            uint64_t size = 0;
            StreamResult stream;
            Status m = header.hasTable
                           ? decompressTableMember(source, offset, header, sink, settings, pool, size, end)
                           : readPlainMember(source, offset, header, sink, std::numeric_limits<uint64_t>::max(),
                                             settings.poll, stream, end);
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
    return forEachMember(
        source, settings.poll, [&](uint64_t offset, const MemberHeader &header, uint64_t &end, bool &) {
            uint64_t size = 0;
            StreamResult stream;
            Status m = header.hasTable
                           ? measureTableMember(source, offset, header, settings.poll, size, end)
                           : readPlainMember(source, offset, header, nullptr, std::numeric_limits<uint64_t>::max(),
                                             settings.poll, stream, end);
            addMember(summary, header, header.hasTable ? size : stream.size);
            return m;
        });
}

} // namespace dz
