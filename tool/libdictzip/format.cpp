#include "format.h"

#include <zlib.h>

namespace dz {

namespace {

constexpr uint8_t kFlagText = 0x01;
constexpr uint8_t kFlagHeaderCrc = 0x02;
constexpr uint8_t kFlagExtra = 0x04;
constexpr uint8_t kFlagName = 0x08;
constexpr uint8_t kFlagComment = 0x10;
constexpr uint8_t kFlagsReserved = 0xe0;

// Longest file name or comment accepted, so a hostile header cannot make us
// gather the whole file into memory.
constexpr size_t kMaxHeaderString = 64 * 1024;

// Reads a header field while keeping every byte for the optional header CRC.
class HeaderReader {
public:
    HeaderReader(ByteSource &source, uint64_t offset) : source_(source), position_(offset) {}

    Status take(size_t count, std::vector<uint8_t> &out)
    {
        out.resize(count);
        Status s = readExactly(source_, position_, out.data(), count);
        if (!s.ok())
            return s;
        position_ += count;
        seen_.insert(seen_.end(), out.begin(), out.end());
        return {};
    }

    Status takeString(std::string &out, const char *what)
    {
        out.clear();
        uint8_t block[256];
        for (;;) {
            size_t got = 0;
            Status s = source_.readAt(position_, block, sizeof block, got);
            if (!s.ok())
                return s;
            if (got == 0)
                return Status::corrupt("unexpected end of file");
            for (size_t i = 0; i < got; ++i) {
                if (block[i] == 0) {
                    seen_.insert(seen_.end(), block, block + i + 1);
                    position_ += i + 1;
                    return {};
                }
                out.push_back(static_cast<char>(block[i]));
            }
            if (out.size() > kMaxHeaderString)
                return Status::corrupt(std::string(what) + " in the gzip header is too long");
            seen_.insert(seen_.end(), block, block + got);
            position_ += got;
        }
    }

    uint64_t position() const { return position_; }
    uint32_t crc() const { return static_cast<uint32_t>(crc32(0, seen_.data(), static_cast<uInt>(seen_.size()))); }

private:
    ByteSource &source_;
    uint64_t position_;
    std::vector<uint8_t> seen_;
};

// Looks for a version 1 RA subfield. Returns a failure only for an RA table
// that is present but inconsistent; other odd extra fields are ignored, as
// every gzip reader ignores them.
Status parseExtraField(const std::vector<uint8_t> &extra, MemberHeader &header)
{
    size_t at = 0;
    while (extra.size() - at >= 4) {
        const uint8_t *sub = extra.data() + at;
        const size_t length = little16(sub + 2);
        if (length > extra.size() - at - 4)
            return {}; // malformed subfields: not a dictzip table
        if (sub[0] == 'R' && sub[1] == 'A') {
            if (header.hasTable)
                return Status::corrupt("two chunk tables in one header");
            if (length < 6)
                return Status::corrupt("chunk table too short");
            const uint8_t *data = sub + 4;
            if (little16(data) == 1) {
                const uint32_t chunkLength = little16(data + 2);
                const uint32_t chunkCount = little16(data + 4);
                if (length != 6 + 2 * size_t(chunkCount))
                    return Status::corrupt("chunk table length does not match its chunk count");
                if (chunkLength == 0 && chunkCount > 0)
                    return Status::corrupt("chunk table with a chunk length of 0");
                header.hasTable = true;
                header.chunkLength = chunkLength;
                header.chunkSizes.resize(chunkCount);
                for (uint32_t i = 0; i < chunkCount; ++i) {
                    header.chunkSizes[i] = static_cast<uint16_t>(little16(data + 6 + 2 * i));
                    if (header.chunkSizes[i] == 0)
                        return Status::corrupt("chunk table lists an empty chunk");
                }
            }
        }
        at += 4 + length;
    }
    return {};
}

} // namespace

uint64_t MemberHeader::compressedChunkBytes() const
{
    uint64_t total = 0;
    for (uint16_t size : chunkSizes)
        total += size;
    return total;
}

std::vector<uint8_t> encodeHeader(const MemberHeader &header)
{
    const size_t count = header.chunkSizes.size();
    std::vector<uint8_t> out(kTableOffset + 2 * count);
    uint8_t *p = out.data();
    p[0] = 0x1f;
    p[1] = 0x8b;
    p[2] = 8; // deflate
    p[3] = kFlagExtra | (header.hasName ? kFlagName : 0);
    putLittle32(p + 4, header.mtime);
    p[8] = header.extraFlags;
    p[9] = header.os;
    putLittle16(p + 10, static_cast<uint32_t>(10 + 2 * count));
    p[12] = 'R';
    p[13] = 'A';
    putLittle16(p + 14, static_cast<uint32_t>(6 + 2 * count));
    putLittle16(p + 16, 1);
    putLittle16(p + 18, header.chunkLength);
    putLittle16(p + 20, static_cast<uint32_t>(count));
    for (size_t i = 0; i < count; ++i)
        putLittle16(p + kTableOffset + 2 * i, header.chunkSizes[i]);
    if (header.hasName) {
        out.insert(out.end(), header.name.begin(), header.name.end());
        out.push_back(0);
    }
    return out;
}

std::string printable(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const auto byte = [&](size_t at) { return at < text.size() ? uint8_t(text[at]) : 0; };
        const uint8_t c = byte(i);
        // The length of a UTF-8 sequence that starts here, 0 when none does.
        size_t length = c >= 0x20 && c < 0x7f && c != '\\' ? 1
                        : c >= 0xc2 && c <= 0xdf           ? 2
                        : c >= 0xe0 && c <= 0xef           ? 3
                        : c >= 0xf0 && c <= 0xf4           ? 4
                                                           : 0;
        for (size_t k = 1; k < length; ++k)
            if ((byte(i + k) & 0xc0) != 0x80)
                length = 0;
        const uint32_t second = byte(i + 1);
        if ((c == 0xc2 && second < 0xa0) || (c == 0xe0 && second < 0xa0) || (c == 0xed && second >= 0xa0) ||
            (c == 0xf0 && second < 0x90) || (c == 0xf4 && second >= 0x90))
            length = 0; // C1 controls, overlong forms, surrogates, past U+10FFFF
        if (length) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        static const char hex[] = "0123456789abcdef";
        out += c == '\\' ? std::string("\\\\") : std::string{'\\', 'x', hex[c >> 4], hex[c & 15]};
        ++i;
    }
    return out;
}

Status startsMember(ByteSource &source, uint64_t offset, bool &starts)
{
    uint8_t magic[2];
    size_t got = 0;
    Status s = source.readAt(offset, magic, sizeof magic, got);
    starts = s.ok() && got == sizeof magic && magic[0] == 0x1f && magic[1] == 0x8b;
    return s;
}

Status parseHeader(ByteSource &source, uint64_t offset, MemberHeader &header)
{
    header = MemberHeader{};
    HeaderReader reader(source, offset);
    std::vector<uint8_t> fixed;
    Status read = reader.take(10, fixed);
    if (read.kind() == Failure::Corrupt || (read.ok() && (fixed[0] != 0x1f || fixed[1] != 0x8b)))
        return Status::corrupt("not in gzip format");
    if (!read.ok())
        return read;
    if (fixed[2] != 8)
        return Status::corrupt("unknown compression method");
    const uint8_t flags = fixed[3];
    if (flags & kFlagsReserved)
        return Status::corrupt("reserved gzip header flags are set");
    header.mtime = little32(fixed.data() + 4);
    header.extraFlags = fixed[8];
    header.os = fixed[9];

    if (flags & kFlagExtra) {
        std::vector<uint8_t> field;
        Status s = reader.take(2, field);
        if (s.ok())
            s = reader.take(little16(field.data()), field);
        if (s.ok())
            s = parseExtraField(field, header);
        if (!s.ok())
            return s;
    }
    if (flags & kFlagName) {
        header.hasName = true;
        Status s = reader.takeString(header.name, "file name");
        if (!s.ok())
            return s;
    }
    if (flags & kFlagComment) {
        std::string comment;
        Status s = reader.takeString(comment, "comment");
        if (!s.ok())
            return s;
    }
    if (flags & kFlagHeaderCrc) {
        const uint32_t expected = reader.crc() & 0xffff;
        std::vector<uint8_t> crc;
        Status s = reader.take(2, crc);
        if (!s.ok())
            return s;
        if (little16(crc.data()) != expected)
            return Status::corrupt("gzip header CRC mismatch");
    }
    (void)kFlagText; // a hint only; the data is read as bytes either way
    header.headerSize = reader.position() - offset;
    return {};
}

} // namespace dz
