#pragma once
// The dictzip file format: gzip (RFC 1952) members that carry a table of
// independently inflatable chunks in their extra field.
//
//   0    1    2    3    4         8     9    10     12
//   +----+----+----+----+---------+-----+----+------+
//   | 1f | 8b | 08 | FLG|  MTIME  | XFL | OS | XLEN |   FLG 0c: FEXTRA and FNAME
//   +----+----+----+----+---------+-----+----+------+
//   12   14    16      18      20      22
//   +----+-----+-------+-------+-------+-----------+-----+---------------+
//   | RA | LEN | VER 1 | CHLEN | CHCNT | size[0] . . . size[CHCNT - 1]  |
//   +----+-----+-------+-------+-------+-----------+-----+---------------+
//   +---------------+---------+-----+-------------+-------+-------+-------+
//   | file name  00 | chunk 0 | ... | chunk n - 1 | 03 00 | CRC32 | ISIZE |
//   +---------------+---------+-----+-------------+-------+-------+-------+
//
// Numbers are little-endian; XLEN = LEN + 4 = 10 + 2 * CHCNT. Every chunk holds
// CHLEN bytes of input (the last one may be shorter), deflated on its own and
// ended on a byte boundary by an empty stored block (00 00 FF FF, what a full
// flush writes), with no final block, so it inflates without the others. `03 00`
// is an empty final block; it is not counted in the table. Since XLEN is 16 bits, a
// member holds at most 32,762 chunks: longer inputs continue in further
// members, which plain gzip readers simply concatenate.

#include "io.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dz {

constexpr uint32_t kDefaultChunkLength = 58315;
constexpr uint32_t kMaxChunksPerMember = 32762;
constexpr size_t kMaxChunkCompressedSize = 65535;
// The empty final block that closes a member after its last chunk.
constexpr uint8_t kFinalBlock[2] = {0x03, 0x00};
constexpr size_t kTrailerSize = 8;

struct MemberHeader {
    uint32_t mtime = 0;
    uint8_t extraFlags = 2; // compressed at the best level
    uint8_t os = 3;         // Unix, as other dictzip writers put it
    bool hasName = false;
    std::string name;
    bool hasTable = false;
    uint32_t chunkLength = 0;
    std::vector<uint16_t> chunkSizes;

    // Filled in by parsing: where the deflate data starts, from the member's start.
    uint64_t headerSize = 0;

    uint64_t compressedChunkBytes() const;
};

// Bytes of a header with an RA table, FNAME when `hasName`, nothing else.
std::vector<uint8_t> encodeHeader(const MemberHeader &header);

// Where size[0] of the table sits within a header made by encodeHeader().
constexpr size_t kTableOffset = 22;

// Reads and checks the member header at `offset`. A member without a usable
// RA subfield comes back with hasTable false: it is read as plain gzip.
Status parseHeader(ByteSource &source, uint64_t offset, MemberHeader &header);

// Whether the bytes at `offset` start a gzip member (1f 8b), so that what
// follows the last member can be told from a damaged one.
Status startsMember(ByteSource &source, uint64_t offset, bool &starts);

// Header text fit for a terminal: control characters, bytes that are not
// UTF-8 and C1 controls come out as \xHH, a backslash as \\.
std::string printable(const std::string &text);

inline void putLittle16(uint8_t *p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void putLittle32(uint8_t *p, uint32_t v)
{
    putLittle16(p, v & 0xffff);
    putLittle16(p + 2, v >> 16);
}
inline uint32_t little16(const uint8_t *p) { return p[0] | (uint32_t(p[1]) << 8); }
inline uint32_t little32(const uint8_t *p) { return little16(p) | (little16(p + 2) << 16); }

} // namespace dz
