#include "member.h"

#include <limits>

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
                      std::optional<uint32_t> crc, const Poll &poll, MemberBuffers &buffers, uint64_t &end)
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
        Status s =
            buffers.stream.inflate(source, position, nullptr, false, std::numeric_limits<uint64_t>::max(), poll, tail);
        if (!s.ok())
            return s;
        position = tail.end;
    }
    return checkTrailer(source, position, size, crc, end);
}

Status inflateChunkAt(ByteSource &source, uint64_t position, const MemberHeader &header, size_t index,
                      bool useLibdeflate, MemberBuffers &buffers, ChunkResult &result)
{
    buffers.in.resize(kMaxChunkCompressedSize + sizeof kChunkEnd);
    buffers.out.resize(header.chunkLength);
    const size_t size = header.chunkSizes[index];
    Status s = readExactly(source, position, buffers.in.data(), size);
    return s.ok() ? buffers.chunk.inflateChunk(header, index, buffers.in.data(), size, useLibdeflate,
                                               buffers.out.data(), result)
                  : s;
}

Status measureTableMember(ByteSource &source, uint64_t memberOffset, const MemberHeader &header, const Poll &poll,
                          MemberBuffers &buffers, uint64_t &size, uint64_t &end)
{
    uint64_t dataEnd = 0;
    Status s = chunkDataEnd(source, memberOffset, header, dataEnd);
    if (!s.ok())
        return s;
    size = 0;
    ChunkResult result;
    if (!header.chunkSizes.empty()) {
        const size_t last = header.chunkSizes.size() - 1;
        s = inflateChunkAt(source, dataEnd - header.chunkSizes[last], header, last, true, buffers, result);
        if (!s.ok())
            return s;
        size = uint64_t(last) * header.chunkLength + result.produced;
    }
    return endTableMember(source, dataEnd, result.endedStream, size, std::nullopt, poll, buffers, end);
}

Status readPlainMember(ByteSource &source, uint64_t memberOffset, const MemberHeader &header, ByteSink *sink,
                       uint64_t stopAfter, const Poll &poll, MemberBuffers &buffers, StreamResult &stream,
                       uint64_t &end)
{
    Status s = buffers.stream.inflate(source, memberOffset + header.headerSize, sink, true, stopAfter, poll, stream);
    if (!s.ok() || stream.stopped)
        return s;
    return checkTrailer(source, stream.end, stream.size, stream.crc, end);
}

} // namespace dz
