#include "reader.h"

#include "checksum.h"
#include "orderedpool.h"

#include <zlib.h>
#ifdef DICTZIP_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <algorithm>
#include <limits>
#include <memory>

namespace dz {

namespace {

constexpr size_t kStreamBuffer = 64 * 1024;

Status noMemory() { return Status::output("out of memory"); }

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

// Per-thread state to inflate single chunks.
class ChunkInflater {
public:
    ChunkInflater()
    {
#ifdef DICTZIP_HAVE_LIBDEFLATE
        libdeflate_ = libdeflate_alloc_decompressor();
#endif
    }
    ~ChunkInflater()
    {
#ifdef DICTZIP_HAVE_LIBDEFLATE
        if (libdeflate_)
            libdeflate_free_decompressor(libdeflate_);
#endif
    }
    ChunkInflater(const ChunkInflater &) = delete;
    ChunkInflater &operator=(const ChunkInflater &) = delete;

    // Inflates `size` bytes at `data` followed by an empty final block, which
    // this writes into the two spare bytes after them. `consumed` tells where
    // the stream ended: size + 2 when the chunk ends on a block boundary as it
    // should, size when the chunk carries the final block itself.
    Status inflate(uint8_t *data, size_t size, bool useLibdeflate, uint8_t *out, size_t capacity, size_t &consumed,
                   size_t &produced)
    {
        data[size] = kFinalBlock[0];
        data[size + 1] = kFinalBlock[1];
#ifdef DICTZIP_HAVE_LIBDEFLATE
        if (useLibdeflate) {
            if (!libdeflate_)
                return noMemory();
            const libdeflate_result result =
                libdeflate_deflate_decompress_ex(libdeflate_, data, size + 2, out, capacity, &consumed, &produced);
            if (result == LIBDEFLATE_INSUFFICIENT_SPACE)
                return Status::corrupt("holds more than the chunk length");
            if (result != LIBDEFLATE_SUCCESS)
                return Status::corrupt("invalid compressed data");
            return {};
        }
#else
        (void)useLibdeflate;
#endif
        if (!zlib_.ready() || inflateReset(&zlib_.stream) != Z_OK)
            return noMemory();
        z_stream &z = zlib_.stream;
        z.next_in = data;
        z.avail_in = static_cast<uInt>(size + 2);
        z.next_out = out;
        z.avail_out = static_cast<uInt>(capacity);
        const int result = ::inflate(&z, Z_FINISH);
        if (result == Z_STREAM_END) {
            consumed = size + 2 - z.avail_in;
            produced = capacity - z.avail_out;
            return {};
        }
        if (result == Z_BUF_ERROR && z.avail_out == 0)
            return Status::corrupt("holds more than the chunk length");
        return Status::corrupt("invalid compressed data");
    }

private:
    ZlibInflate zlib_;
#ifdef DICTZIP_HAVE_LIBDEFLATE
    libdeflate_decompressor *libdeflate_ = nullptr;
#endif
};

struct ChunkResult {
    size_t produced = 0;
    bool endedStream = false; // the chunk carried the member's final block
};

// Inflates chunk `index` of a member and checks that it is whole: a full chunk
// length unless it is the last, ending on a block boundary, and the final
// block only in the last chunk.
Status inflateChunk(ChunkInflater &inflater, const MemberHeader &header, size_t index, uint8_t *data, size_t size,
                    bool useLibdeflate, uint8_t *out, ChunkResult &result)
{
    const bool last = index + 1 == header.chunkSizes.size();
    size_t consumed = 0;
    Status s = inflater.inflate(data, size, useLibdeflate, out, header.chunkLength, consumed, result.produced);
    if (s.ok()) {
        result.endedStream = consumed == size;
        if (consumed != size + 2 && !(last && result.endedStream))
            s = Status::corrupt("does not end where the chunk table says");
        else if (result.produced == 0 || (!last && result.produced != header.chunkLength))
            s = Status::corrupt("is shorter than the chunk length");
    }
    return s.ok() ? s : s.within("chunk " + std::to_string(index));
}

struct StreamResult {
    uint32_t crc = 0;
    uint64_t size = 0;
    uint64_t end = 0;     // first byte after the deflate stream
    bool stopped = false; // stopped early, at `stopAfter` bytes of output
};

// Inflates a deflate stream from `position` to its end with zlib. With
// `outputAllowed` false the stream must hold empty blocks only (a table
// member's tail).
Status inflateStream(ByteSource &source, uint64_t position, ByteSink *sink, bool outputAllowed, uint64_t stopAfter,
                     const Poll &poll, StreamResult &result)
{
    result = StreamResult{};
    ZlibInflate zlib;
    if (!zlib.ready())
        return noMemory();
    z_stream &z = zlib.stream;
    std::vector<uint8_t> in(kStreamBuffer), out(kStreamBuffer);
    uint64_t readPosition = position;
    for (;;) {
        if (z.avail_in == 0) {
            size_t got = 0;
            Status s = source.readAt(readPosition, in.data(), in.size(), got);
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
        if (code != Z_OK && code != Z_STREAM_END && code != Z_BUF_ERROR)
            return Status::corrupt("invalid compressed data");
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

struct Trailer {
    uint32_t crc = 0;
    uint32_t size = 0;
    uint64_t end = 0; // where the next member starts
};

Status readTrailer(ByteSource &source, uint64_t position, Trailer &trailer)
{
    uint8_t bytes[kTrailerSize];
    Status s = readExactly(source, position, bytes, sizeof bytes);
    if (!s.ok())
        return s;
    trailer.crc = little32(bytes);
    trailer.size = little32(bytes + 4);
    trailer.end = position + kTrailerSize;
    return {};
}

Status checkTrailer(const Trailer &trailer, uint32_t crc, uint64_t size)
{
    if (trailer.crc != crc)
        return Status::corrupt("CRC-32 mismatch");
    if (trailer.size != static_cast<uint32_t>(size))
        return Status::corrupt("length mismatch");
    return {};
}

// Reads what follows a table member's chunks: the empty final block unless
// the last chunk carried it, then the trailer.
Status finishTableMember(ByteSource &source, uint64_t position, bool endedStream, const Poll &poll, Trailer &trailer)
{
    if (!endedStream) {
        StreamResult tail;
        Status s = inflateStream(source, position, nullptr, false, std::numeric_limits<uint64_t>::max(), poll, tail);
        if (!s.ok())
            return s;
        position = tail.end;
    }
    return readTrailer(source, position, trailer);
}

// Where a table member's chunk data ends; the file must be long enough to
// hold it and a trailer, which catches most truncations before any output.
Status chunkDataEnd(ByteSource &source, uint64_t memberOffset, const MemberHeader &header, uint64_t &end)
{
    end = memberOffset + header.headerSize + header.compressedChunkBytes();
    if (end > source.size() || source.size() - end < kTrailerSize)
        return Status::corrupt("unexpected end of file: the chunk table points past it");
    return {};
}

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
        out.resize(header->chunkLength);
        status = inflateChunk(inflater, *header, index, in.data(), inSize, useLibdeflate, out.data(), result);
        if (status.ok())
            crc = updateCrc(0, out.data(), result.produced);
    }
};

// Inflates a table member in parallel; returns the uncompressed size and where the member ends.
Status decompressTableMember(ByteSource &source, uint64_t memberOffset, const MemberHeader &header, ByteSink *sink,
                             const ReadSettings &settings, uint64_t &size, uint64_t &end)
{
    uint64_t dataEnd = 0;
    Status s = chunkDataEnd(source, memberOffset, header, dataEnd);
    if (!s.ok())
        return s;

    const unsigned threads = std::max(1u, settings.threads);
    OrderedPool<DecompressJob, ChunkInflater> pool(threads, threads > 1 ? 4 * size_t(threads) : 1);
    const size_t count = header.chunkSizes.size();
    uint64_t readPosition = memberOffset + header.headerSize;
    size_t nextToRead = 0;
    size_t collected = 0;
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
        if (nextToRead < count && !pool.full()) {
            DecompressJob &job = pool.next();
            job.header = &header;
            job.index = nextToRead;
            job.useLibdeflate = settings.libdeflate;
            job.inSize = header.chunkSizes[nextToRead];
            job.in.resize(kMaxChunkCompressedSize + 2);
            s = readExactly(source, readPosition, job.in.data(), job.inSize);
            if (!s.ok())
                return s;
            readPosition += job.inSize;
            ++nextToRead;
            pool.submit();
            continue;
        }
        DecompressJob *job = pool.collect(giveUp);
        if (!job)
            return failure;
        if (!job->status.ok())
            return job->status;
        if (sink) {
            s = sink->write(job->out.data(), job->result.produced);
            if (!s.ok())
                return s;
        }
        crc = combineCrc(crc, job->crc, job->result.produced);
        size += job->result.produced;
        endedStream = job->result.endedStream;
        ++collected;
        if (giveUp())
            return failure;
    }

    Trailer trailer;
    s = finishTableMember(source, dataEnd, endedStream, settings.poll, trailer);
    if (s.ok())
        s = checkTrailer(trailer, crc, size);
    end = trailer.end;
    return s;
}

Status decompressPlainMember(ByteSource &source, uint64_t dataOffset, ByteSink *sink, const ReadSettings &settings,
                             uint64_t &size, uint64_t &end)
{
    StreamResult stream;
    Status s =
        inflateStream(source, dataOffset, sink, true, std::numeric_limits<uint64_t>::max(), settings.poll, stream);
    if (!s.ok())
        return s;
    Trailer trailer;
    s = readTrailer(source, stream.end, trailer);
    if (s.ok())
        s = checkTrailer(trailer, stream.crc, stream.size);
    size = stream.size;
    end = trailer.end;
    return s;
}

// Finds a table member's uncompressed size and end by inflating its last chunk only.
Status measureTableMember(ByteSource &source, uint64_t memberOffset, const MemberHeader &header, const Poll &poll,
                          uint64_t &size, uint64_t &end)
{
    uint64_t dataEnd = 0;
    Status s = chunkDataEnd(source, memberOffset, header, dataEnd);
    if (!s.ok())
        return s;
    size = 0;
    bool endedStream = false;
    if (!header.chunkSizes.empty()) {
        const size_t last = header.chunkSizes.size() - 1;
        std::vector<uint8_t> in(header.chunkSizes[last] + 2), out(header.chunkLength);
        s = readExactly(source, dataEnd - header.chunkSizes[last], in.data(), header.chunkSizes[last]);
        if (!s.ok())
            return s;
        ChunkInflater inflater;
        ChunkResult result;
        s = inflateChunk(inflater, header, last, in.data(), header.chunkSizes[last], true, out.data(), result);
        if (!s.ok())
            return s;
        size = uint64_t(last) * header.chunkLength + result.produced;
        endedStream = result.endedStream;
    }
    Trailer trailer;
    s = finishTableMember(source, dataEnd, endedStream, poll, trailer);
    if (!s.ok())
        return s;
    if (trailer.size != static_cast<uint32_t>(size))
        return Status::corrupt("length mismatch");
    end = trailer.end;
    return {};
}

// Passes on only the part of a stream that falls in a range.
class RangeSink : public ByteSink {
public:
    RangeSink(ByteSink &inner, uint64_t skip) : inner_(inner), skip_(skip) {}
    Status write(const void *data, size_t count) override
    {
        const auto *p = static_cast<const uint8_t *>(data);
        const size_t skipped = static_cast<size_t>(std::min<uint64_t>(skip_, count));
        skip_ -= skipped;
        return count > skipped ? inner_.write(p + skipped, count - skipped) : Status{};
    }

private:
    ByteSink &inner_;
    uint64_t skip_;
};

// Walks members, calling `visit(offset, header)`, which returns the member's end.
template <class Visit> Status forEachMember(ByteSource &source, Visit visit)
{
    if (source.size() == 0)
        return Status::corrupt("empty file, not in gzip format");
    uint64_t offset = 0;
    unsigned index = 0;
    while (offset < source.size()) {
        MemberHeader header;
        Status s = parseHeader(source, offset, header);
        if (!s.ok() && index > 0 && s.message() == "not in gzip format")
            s = Status::corrupt("trailing garbage after the compressed data");
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
    }
    return {};
}

} // namespace

bool haveLibdeflate()
{
#ifdef DICTZIP_HAVE_LIBDEFLATE
    return true;
#else
    return false;
#endif
}

namespace {

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

Status decompress(ByteSource &source, ByteSink *sink, const ReadSettings &settings, FileSummary *summary)
{
    FileSummary total;
    total.compressedSize = source.size();
    Status s = forEachMember(source, [&](uint64_t offset, const MemberHeader &header, uint64_t &end, bool &) {
        uint64_t size = 0;
        Status m = header.hasTable
                       ? decompressTableMember(source, offset, header, sink, settings, size, end)
                       : decompressPlainMember(source, offset + header.headerSize, sink, settings, size, end);
        addMember(total, header, size);
        return m;
    });
    if (s.ok() && summary)
        *summary = total;
    return s;
}

Status listFile(ByteSource &source, const ReadSettings &settings, FileSummary &summary)
{
    summary = FileSummary{};
    summary.compressedSize = source.size();
    return forEachMember(source, [&](uint64_t offset, const MemberHeader &header, uint64_t &end, bool &) {
        uint64_t size = 0;
        Status m = header.hasTable
                       ? measureTableMember(source, offset, header, settings.poll, size, end)
                       : decompressPlainMember(source, offset + header.headerSize, nullptr, settings, size, end);
        addMember(summary, header, size);
        return m;
    });
}

Status extractRange(ByteSource &source, uint64_t start, uint64_t length, ByteSink &sink, const ReadSettings &settings)
{
    const uint64_t stop =
        length > std::numeric_limits<uint64_t>::max() - start ? std::numeric_limits<uint64_t>::max() : start + length;
    if (length == 0)
        return {};
    uint64_t base = 0; // uncompressed offset where the current member starts
    ChunkInflater inflater;
    std::vector<uint8_t> in, out;
    return forEachMember(source, [&](uint64_t offset, const MemberHeader &header, uint64_t &end, bool &more) {
        if (!header.hasTable) {
            RangeSink ranged(sink, start > base ? start - base : 0);
            StreamResult stream;
            Status s =
                inflateStream(source, offset + header.headerSize, &ranged, true, stop - base, settings.poll, stream);
            if (!s.ok() || stream.stopped) {
                more = false;
                return s;
            }
            Trailer trailer;
            s = readTrailer(source, stream.end, trailer);
            if (s.ok())
                s = checkTrailer(trailer, stream.crc, stream.size);
            base += stream.size;
            end = trailer.end;
            more = base < stop;
            return s;
        }

        const size_t count = header.chunkSizes.size();
        const uint64_t first = start > base ? (start - base) / std::max<uint32_t>(header.chunkLength, 1) : 0;
        if (first >= count) { // the range starts after this member
            uint64_t size = 0;
            Status s = measureTableMember(source, offset, header, settings.poll, size, end);
            base += size;
            more = base < stop;
            return s;
        }
        uint64_t dataEnd = 0;
        Status s = chunkDataEnd(source, offset, header, dataEnd);
        if (!s.ok())
            return s;
        uint64_t position = offset + header.headerSize;
        for (size_t i = 0; i < first; ++i)
            position += header.chunkSizes[i];
        in.resize(kMaxChunkCompressedSize + 2);
        out.resize(header.chunkLength);
        for (size_t i = first; i < count; ++i) {
            const uint64_t chunkStart = base + uint64_t(i) * header.chunkLength;
            if (chunkStart >= stop) {
                more = false;
                return Status{};
            }
            s = readExactly(source, position, in.data(), header.chunkSizes[i]);
            ChunkResult result;
            if (s.ok())
                s = inflateChunk(inflater, header, i, in.data(), header.chunkSizes[i], settings.libdeflate, out.data(),
                                 result);
            if (!s.ok())
                return s;
            position += header.chunkSizes[i];
            const uint64_t from = std::max(start, chunkStart) - chunkStart;
            const uint64_t to = std::min<uint64_t>(stop - chunkStart, result.produced);
            if (from < to) {
                s = sink.write(out.data() + from, static_cast<size_t>(to - from));
                if (!s.ok())
                    return s;
            }
            if (i + 1 == count) { // the range goes on past this member
                Trailer trailer;
                s = finishTableMember(source, dataEnd, result.endedStream, settings.poll, trailer);
                if (!s.ok())
                    return s;
                const uint64_t size = uint64_t(i) * header.chunkLength + result.produced;
                if (trailer.size != static_cast<uint32_t>(size))
                    return Status::corrupt("length mismatch");
                base += size;
                end = trailer.end;
            }
        }
        more = base < stop;
        return Status{};
    });
}

} // namespace dz
