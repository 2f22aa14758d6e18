// The format library on data in memory: round trips, the header byte by byte,
// multi-member files, ranges, files from other writers, and corrupt input.

#include "check.h"
#include "testdata.h"

#include "compressor.h"
#include "format.h"
#include "reader.h"

#include <zlib.h>

#include <functional>
#include <limits>

using namespace dz;

namespace {

Bytes compressBytes(const Bytes &data, CompressSettings settings = {})
{
    MemorySource source(data);
    MemoryTarget target;
    if (settings.name.empty())
        settings.name = "data.txt";
    Status s = compress(source, data.size(), target, settings);
    CHECK_MSG(s.ok(), s.message());
    return target.bytes;
}

Status decompressBytes(const Bytes &file, Bytes &out, unsigned threads = 1, bool libdeflate = true,
                       FileSummary *summary = nullptr)
{
    MemorySource source(file);
    MemoryTarget target;
    Status s = decompress(source, &target, ReadSettings{threads, libdeflate}, summary);
    out = target.bytes;
    return s;
}

Bytes extract(const Bytes &file, uint64_t start, uint64_t length, Status &s)
{
    MemorySource source(file);
    MemoryTarget target;
    s = extractRange(source, start, length, target, ReadSettings{});
    return target.bytes;
}

// zlib's deflate as other writers use it: raw (windowBits -15) or gzip (31).
Bytes deflated(const uint8_t *data, size_t size, int windowBits, int flush)
{
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, size) + 64);
    z.next_in = const_cast<uint8_t *>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, flush);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

// zlib's inflate of everything it can read: raw, or gzip member after member.
Bytes inflated(const uint8_t *data, size_t size, int windowBits)
{
    z_stream z{};
    inflateInit2(&z, windowBits);
    z.next_in = const_cast<uint8_t *>(data);
    z.avail_in = static_cast<uInt>(size);
    Bytes out;
    for (int code = Z_OK; code == Z_OK || (code == Z_STREAM_END && z.avail_in && inflateReset(&z) == Z_OK);) {
        uint8_t block[65536];
        z.next_out = block;
        z.avail_out = sizeof block;
        code = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), block, block + sizeof block - z.avail_out);
    }
    inflateEnd(&z);
    return out;
}

uint32_t crcOf(const Bytes &data) { return static_cast<uint32_t>(crc32(0, data.data(), data.size())); }

void append(Bytes &to, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        to.push_back(uint8_t(value >> 8 * i));
}

} // namespace

TEST(roundTripsAtEveryShape)
{
    struct Row {
        const char *name;
        Bytes data;
        uint32_t chunkLength;
    };
    const Row rows[] = {
        {"empty", {}, kDefaultChunkLength},
        {"one byte", {'x'}, kDefaultChunkLength},
        {"exactly one chunk", testdata::text(kDefaultChunkLength), kDefaultChunkLength},
        {"one chunk and a byte", testdata::text(kDefaultChunkLength + 1), kDefaultChunkLength},
        {"many small chunks", testdata::text(20 * 4096 + 17), 4096},
        {"random binary", testdata::random(300000), kDefaultChunkLength},
        {"chunk length 1", testdata::text(300), 1},
    };
    for (const Row &row : rows) {
        const Bytes file = compressBytes(row.data, {row.chunkLength});
        CHECK_MSG(compressBytes(row.data, {row.chunkLength, kMaxChunksPerMember, 3}) == file, row.name);
        for (const auto &[threads, libdeflate] : {std::pair{1u, false}, {1u, true}, {4u, false}, {4u, true}}) {
            Bytes back;
            FileSummary summary;
            Status s = decompressBytes(file, back, threads, libdeflate, &summary);
            CHECK_MSG(s.ok() && back == row.data && summary.uncompressedSize == row.data.size(),
                      std::string(row.name) + ": " + s.message());
        }
        MemorySource source(file);
        FileSummary listed;
        CHECK_MSG(listFile(source, ReadSettings{}, listed).ok() && listed.uncompressedSize == row.data.size() &&
                      listed.chunks == (row.data.size() + row.chunkLength - 1) / row.chunkLength,
                  row.name);
    }
}

TEST(headerAndTableFieldByField)
{
    const Bytes data = testdata::text(100000, 5);
    const Bytes f = compressBytes(data, {30000, kMaxChunksPerMember, 1, 0x12345678, "words.txt"});
    const uint8_t *p = f.data();
    CHECK(p[0] == 0x1f && p[1] == 0x8b && p[2] == 8 && p[3] == 0x0c); // FEXTRA | FNAME
    CHECK(little32(p + 4) == 0x12345678 && p[8] == 2 && p[9] == 3);
    CHECK(little16(p + 10) == 10 + 2 * 4 && p[12] == 'R' && p[13] == 'A' && little16(p + 14) == 6 + 2 * 4);
    CHECK(little16(p + 16) == 1 && little16(p + 18) == 30000 && little16(p + 20) == 4);
    const size_t nameAt = 22 + 2 * 4;
    CHECK(std::string(reinterpret_cast<const char *>(p + nameAt)) == "words.txt");
    size_t at = nameAt + sizeof "words.txt";
    for (int i = 0; i < 4; ++i) {
        // Every chunk inflates on its own to a full chunk length (the last to the rest).
        const size_t size = little16(p + 22 + 2 * i);
        CHECK(inflated(p + at, size, -15) == testdata::slice(data, 30000 * i, 30000));
        at += size;
    }
    CHECK(p[at] == 0x03 && p[at + 1] == 0x00 && at + 10 == f.size());
    CHECK(little32(p + at + 2) == crcOf(data) && little32(p + at + 6) == data.size());
}

// Members of 3, 3, 3 and 2 chunks read as one stream, whole or in ranges.
TEST(multiMemberFilesAndRanges)
{
    const Bytes data = testdata::text(10500, 11);
    const Bytes single = compressBytes(data, {1000}), multi = compressBytes(data, {1000, 3});
    Bytes back;
    FileSummary summary;
    Status s = decompressBytes(multi, back, 2, true, &summary);
    CHECK_MSG(s.ok() && back == data && summary.members == 4 && summary.chunks == 11, s.message());
    CHECK(inflated(multi.data(), multi.size(), 31) == data); // zlib's gzip reader, member after member

    const uint64_t max = std::numeric_limits<uint64_t>::max();
    const struct {
        uint64_t start, length;
    } rows[] = {{0, 10},  {995, 10}, {2998, 7},  {3000, 1000}, {2500, 4000}, {10495, 100}, {10500, 10}, {20000, 10},
                {0, max}, {5, 0},    {10499, 1}, {max, max},   {8999, 1502}, {9000, 1500}, {1, 10498}};
    for (const auto &file : {single, multi}) {
        for (const auto &row : rows) {
            const Bytes got = extract(file, row.start, row.length, s);
            CHECK_MSG(s.ok() && got == testdata::slice(data, row.start, row.length),
                      std::to_string(row.start) + "+" + std::to_string(row.length) + ": " + s.message());
        }
    }
}

TEST(filesFromOtherWritersAreRead)
{
    const Bytes data = testdata::text(25000, 13);
    // A dictzip member whose last chunk carries the final block itself, with
    // another subfield before RA, a comment and a header CRC.
    std::vector<Bytes> chunks;
    for (size_t at = 0; at < data.size(); at += 10000) {
        const size_t size = std::min<size_t>(10000, data.size() - at);
        chunks.push_back(deflated(data.data() + at, size, -15, at + size == data.size() ? Z_FINISH : Z_FULL_FLUSH));
    }
    Bytes extra = {'A', 'P', 2, 0, 'x', 'y', 'R', 'A', 12, 0, 1, 0, 0x10, 0x27, 3, 0};
    for (const auto &c : chunks)
        append(extra, c.size(), 2);
    Bytes file = {0x1f, 0x8b, 8, 0x04 | 0x10 | 0x02, 0, 0, 0, 0, 0, 255, uint8_t(extra.size()), 0};
    file.insert(file.end(), extra.begin(), extra.end());
    const char comment[] = "a comment";
    file.insert(file.end(), comment, comment + sizeof comment);
    append(file, crcOf(file), 2);
    for (const auto &c : chunks)
        file.insert(file.end(), c.begin(), c.end());
    append(file, crcOf(data), 4);
    append(file, data.size(), 4);

    // Followed by a plain gzip member, as concatenated files are.
    const Bytes second = testdata::text(5000, 14), plain = deflated(second.data(), second.size(), 31, Z_FINISH);
    Bytes both = file, expected = data;
    both.insert(both.end(), plain.begin(), plain.end());
    expected.insert(expected.end(), second.begin(), second.end());
    for (bool libdeflate : {false, true}) {
        Bytes back;
        Status s = decompressBytes(both, back, 2, libdeflate);
        CHECK_MSG(s.ok() && back == expected, s.message());
    }
    Status s;
    CHECK(extract(both, 24990, 20, s) == testdata::slice(expected, 24990, 20) && s.ok());
    CHECK(extract(both, 29000, 5000, s) == testdata::slice(expected, 29000, 5000) && s.ok());

    Bytes badHeaderCrc = file, back;
    badHeaderCrc[12 + extra.size() + sizeof comment] ^= 1;
    CHECK(decompressBytes(badHeaderCrc, back).kind() == Failure::Corrupt);
}

TEST(corruptFilesFailAsCorrupt)
{
    const Bytes data = testdata::text(3 * 4096 + 100, 17);
    const Bytes good = compressBytes(data, {4096});
    const size_t dataStart = 22 + 2 * 4 + sizeof "data.txt";
    const size_t end = good.size();

    struct Row {
        const char *name;
        std::function<void(Bytes &)> damage;
    };
    auto truncateTo = [](size_t size) { return [size](Bytes &f) { f.resize(size); }; };
    auto flip = [](size_t at) { return [at](Bytes &f) { f[at] ^= 0x55; }; };
    const Row rows[] = {
        {"empty file", truncateTo(0)},
        {"cut in the fixed header", truncateTo(6)},
        {"cut in the table", truncateTo(25)},
        {"cut in the name", truncateTo(dataStart - 3)},
        {"cut in the first chunk", truncateTo(dataStart + 10)},
        {"cut before the final block", truncateTo(end - 10)},
        {"last byte missing", truncateTo(end - 1)},
        {"not gzip", [](Bytes &f) { f[0] = 'P'; }},
        {"other method", [](Bytes &f) { f[2] = 7; }},
        {"reserved flag", [](Bytes &f) { f[3] |= 0x80; }},
        {"chunk count disagrees with length", [](Bytes &f) { f[20] = 3; }},
        {"chunk length too small", [](Bytes &f) { putLittle16(f.data() + 18, 4000); }},
        {"chunk length too large", [](Bytes &f) { putLittle16(f.data() + 18, 5000); }},
        {"table size one more", [](Bytes &f) { putLittle16(f.data() + 22, little16(f.data() + 22) + 1); }},
        {"table size one less", [](Bytes &f) { putLittle16(f.data() + 24, little16(f.data() + 24) - 1); }},
        {"table size zero", [](Bytes &f) { putLittle16(f.data() + 26, 0); }},
        {"byte flipped in a chunk", flip(dataStart + 200)},
        {"CRC flipped", flip(end - 6)},
        {"size flipped", flip(end - 2)},
        {"final block damaged", flip(end - 10)},
        {"garbage after the end",
         [](Bytes &f) {
             f.push_back(0);
             f.push_back(1);
         }},
        {"second member cut short", [&](Bytes &f) { f.insert(f.end(), good.begin(), good.begin() + 40); }},
    };
    for (const Row &row : rows) {
        Bytes file = good, back;
        row.damage(file);
        for (bool libdeflate : {false, true}) {
            const Status s = decompressBytes(file, back, 2, libdeflate);
            CHECK_MSG(s.kind() == Failure::Corrupt, std::string(row.name) + ": " + s.message());
        }
    }
}

TEST(inputThatChangesOrAnInterruptStopsCompression)
{
    const Bytes data = testdata::text(50000);
    MemorySource source(data);
    MemoryTarget target;
    CompressSettings settings{1000};
    CHECK(compress(source, data.size() + 10, target, settings).kind() == Failure::Input); // shrank
    CHECK(compress(source, data.size() - 10, target, settings).kind() == Failure::Input); // grew

    int polls = 0;
    settings.threads = 2;
    settings.poll = [&polls] { return ++polls < 5 ? Status{} : Status::interrupted(15, "interrupted"); };
    const Status s = compress(source, data.size(), target, settings);
    CHECK(s.kind() == Failure::Interrupted && s.exitCode() == 143);
}

int main(int argc, char **argv) { return check::runAll(argc, argv); }
