// Range extraction: only the headers and the chunks a range touches are read;
// members wholly before the range are measured from their last chunk.
#include "reader.h"

#include "member.h"

#include <algorithm>
#include <limits>

namespace dz {

namespace {

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

// Where one member's uncompressed bytes start, and the range [start, stop).
struct Span {
    uint64_t base, start, stop;
};

// Writes a table member's part of the range. `size` and `end` are the
// member's unless the range ends inside it, which sets `done`.
Status extractFromTable(ByteSource &source, uint64_t offset, const MemberHeader &header, const Span &span,
                        ByteSink &sink, const ReadSettings &settings, MemberBuffers &buffers, uint64_t &size,
                        uint64_t &end, bool &done)
{
    const size_t count = header.chunkSizes.size();
    const uint64_t first =
        span.start > span.base ? (span.start - span.base) / std::max<uint32_t>(header.chunkLength, 1) : 0;
    if (first >= count) // the range starts after this member
        return measureTableMember(source, offset, header, settings.poll, buffers, size, end);
    uint64_t dataEnd = 0;
    Status s = chunkDataEnd(source, offset, header, dataEnd);
    if (!s.ok())
        return s;
    uint64_t position = offset + header.headerSize;
    for (size_t i = 0; i < first; ++i)
        position += header.chunkSizes[i];
    ChunkResult result;
    for (size_t i = first; i < count; ++i) {
        const uint64_t chunkStart = span.base + uint64_t(i) * header.chunkLength;
        if (chunkStart >= span.stop) {
            done = true;
            return {};
        }
        s = inflateChunkAt(source, position, header, i, settings.libdeflate, buffers, result);
        if (!s.ok())
            return s;
        position += header.chunkSizes[i];
        const uint64_t from = std::max(span.start, chunkStart) - chunkStart;
        const uint64_t to = std::min<uint64_t>(span.stop - chunkStart, result.produced);
        if (from < to && !(s = sink.write(buffers.out.data() + from, static_cast<size_t>(to - from))).ok())
            return s;
    }
    size = uint64_t(count - 1) * header.chunkLength + result.produced;
    return endTableMember(source, dataEnd, result.endedStream, size, std::nullopt, settings.poll, buffers, end);
}

} // namespace

Status extractRange(ByteSource &file, uint64_t start, uint64_t length, ByteSink &sink, const ReadSettings &settings)
{
    ReadAhead source(file);
    if (length == 0)
        return {};
    const uint64_t max = std::numeric_limits<uint64_t>::max();
    Span span{0, start, length > max - start ? max : start + length};
    MemberBuffers buffers;
    return forEachMember(
        source, settings.poll, [&](uint64_t offset, const MemberHeader &header, uint64_t &end, bool &more) {
            uint64_t size = 0;
            bool done = false;
            Status s;
            if (header.hasTable) {
                s = extractFromTable(source, offset, header, span, sink, settings, buffers, size, end, done);
            } else {
                RangeSink ranged(sink, span.start > span.base ? span.start - span.base : 0);
                StreamResult stream;
                s = readPlainMember(source, offset, header, &ranged, span.stop - span.base, settings.poll, buffers,
                                    stream, end);
                size = stream.size;
                done = stream.stopped;
            }
            span.base += size;
            more = !done && span.base < span.stop;
            return s;
        });
}

} // namespace dz
