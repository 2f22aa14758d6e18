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

std::vector<uint8_t> compressBytes(const std::vector<uint8_t> &data, CompressSettings settings = {})
{
    MemorySource source(data);
    MemoryTarget target;
    if (settings.name.empty())
        settings.name = "data.txt";
    Status s = compress(source, data.size(), target, settings);
    CHECK_MSG(s.ok(), s.message());
    return target.bytes;
}

Status decompressBytes(const std::vector<uint8_t> &file, std::vector<uint8_t> &out, unsigned threads = 1,
                       bool libdeflate = true, FileSummary *summary = nullptr)
{
    MemorySource source(file);
    MemoryTarget target;
    ReadSettings settings;
    settings.threads = threads;
    settings.libdeflate = libdeflate;
    Status s = decompress(source, &target, settings, summary);
    out = target.bytes;
    return s;
}

std::vector<uint8_t> extract(const std::vector<uint8_t> &file, uint64_t start, uint64_t length, Status &s)
{
    MemorySource source(file);
    MemoryTarget target;
    s = extractRange(source, start, length, target, ReadSettings{});
    return target.bytes;
}

std::vector<uint8_t> slice(const std::vector<uint8_t> &data, uint64_t start, uint64_t length)
{
    if (start >= data.size())
        return {};
    const uint64_t end = std::min<uint64_t>(data.size(), start + std::min<uint64_t>(length, data.size()));
    return std::vector<uint8_t>(data.begin() + start, data.begin() + end);
}

// Raw deflate of one chunk the way other writers may close a member: with Z_FINISH.
std::vector<uint8_t> deflateRaw(const uint8_t *data, size_t size, int flush)
{
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(deflateBound(&z, size) + 16);
    z.next_in = const_cast<uint8_t *>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, flush);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

std::vector<uint8_t> plainGzip(const std::vector<uint8_t> &data, bool withHeaderExtras)
{
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    gz_header header{};
    char name[] = "plain.txt", comment[] = "made by zlib";
    if (withHeaderExtras) {
        header.name = reinterpret_cast<Bytef *>(name);
        header.comment = reinterpret_cast<Bytef *>(comment);
        header.hcrc = 1;
        deflateSetHeader(&z, &header);
    }
    std::vector<uint8_t> out(deflateBound(&z, data.size()) + 64);
    z.next_in = const_cast<uint8_t *>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

uint32_t crcOf(const std::vector<uint8_t> &data) { return static_cast<uint32_t>(crc32(0, data.data(), data.size())); }

} // namespace

TEST(roundTripsAtEveryShape)
{
    struct Row {
        const char *name;
        std::vector<uint8_t> data;
        uint32_t chunkLength;
    };
    const Row rows[] = {
        {"empty", {}, kDefaultChunkLength},
        {"one byte", {'x'}, kDefaultChunkLength},
        {"exactly one chunk", testdata::text(kDefaultChunkLength), kDefaultChunkLength},
        {"one chunk and a byte", testdata::text(kDefaultChunkLength + 1), kDefaultChunkLength},
        {"many small chunks", testdata::text(20 * 4096 + 17), 4096},
        {"random binary", testdata::random(300000), kDefaultChunkLength},
        {"text", testdata::text(500000, 3), kDefaultChunkLength},
        {"chunk length 1", testdata::text(300), 1},
    };
    for (const Row &row : rows) {
        CompressSettings one;
        one.chunkLength = row.chunkLength;
        CompressSettings three = one;
        three.threads = 3;
        const std::vector<uint8_t> file = compressBytes(row.data, one);
        CHECK_MSG(compressBytes(row.data, three) == file, row.name);
        for (unsigned threads : {1u, 4u}) {
            for (bool libdeflate : {false, true}) {
                std::vector<uint8_t> back;
                FileSummary summary;
                Status s = decompressBytes(file, back, threads, libdeflate, &summary);
                CHECK_MSG(s.ok(), std::string(row.name) + ": " + s.message());
                CHECK_MSG(back == row.data, row.name);
                CHECK_MSG(summary.uncompressedSize == row.data.size(), row.name);
            }
        }
        MemorySource source(file);
        FileSummary listed;
        CHECK_MSG(listFile(source, ReadSettings{}, listed).ok(), row.name);
        CHECK_MSG(listed.chunks == (row.data.size() + row.chunkLength - 1) / row.chunkLength, row.name);
        CHECK_MSG(listed.uncompressedSize == row.data.size(), row.name);
    }
}

TEST(headerAndTableFieldByField)
{
    const std::vector<uint8_t> data = testdata::text(100000, 5);
    CompressSettings settings;
    settings.chunkLength = 30000;
    settings.mtime = 0x12345678;
    settings.name = "words.txt";
    const std::vector<uint8_t> f = compressBytes(data, settings);
    const uint8_t *p = f.data();
    CHECK(p[0] == 0x1f && p[1] == 0x8b && p[2] == 8);
    CHECK(p[3] == 0x0c); // FEXTRA | FNAME
    CHECK(little32(p + 4) == 0x12345678);
    CHECK(p[8] == 2 && p[9] == 3);
    CHECK(little16(p + 10) == 10 + 2 * 4);
    CHECK(p[12] == 'R' && p[13] == 'A');
    CHECK(little16(p + 14) == 6 + 2 * 4);
    CHECK(little16(p + 16) == 1);
    CHECK(little16(p + 18) == 30000);
    CHECK(little16(p + 20) == 4);
    const size_t nameAt = 22 + 2 * 4;
    CHECK(std::string(reinterpret_cast<const char *>(p + nameAt)) == "words.txt");
    size_t at = nameAt + sizeof "words.txt";
    for (int i = 0; i < 4; ++i) {
        // Every chunk inflates on its own to a full chunk length (the last to the rest).
        const size_t size = little16(p + 22 + 2 * i);
        std::vector<uint8_t> chunk(p + at, p + at + size), out(30000);
        z_stream z{};
        inflateInit2(&z, -15);
        z.next_in = chunk.data();
        z.avail_in = static_cast<uInt>(chunk.size());
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        const int code = inflate(&z, Z_SYNC_FLUSH);
        CHECK(code == Z_OK && z.avail_in == 0);
        CHECK(out.size() - z.avail_out == (i < 3 ? 30000u : 10000u));
        CHECK(std::equal(out.begin(), out.end() - z.avail_out, data.begin() + 30000 * i));
        inflateEnd(&z);
        at += size;
    }
    CHECK(p[at] == 0x03 && p[at + 1] == 0x00);
    CHECK(little32(p + at + 2) == crcOf(data));
    CHECK(little32(p + at + 6) == data.size());
    CHECK(at + 10 == f.size());
}

TEST(multiMemberFilesReadAsOneStream)
{
    const std::vector<uint8_t> data = testdata::text(10500, 9);
    CompressSettings settings;
    settings.chunkLength = 1000;
    settings.chunksPerMember = 3; // 11 chunks: members of 3, 3, 3 and 2
    const std::vector<uint8_t> file = compressBytes(data, settings);

    std::vector<uint8_t> back;
    FileSummary summary;
    Status s = decompressBytes(file, back, 2, true, &summary);
    CHECK_MSG(s.ok(), s.message());
    CHECK(back == data);
    CHECK(summary.members == 4 && summary.chunks == 11);

    // zlib's own gzip reader goes through the members one after another.
    std::vector<uint8_t> viaZlib(data.size() + 1);
    size_t consumed = 0, produced = 0;
    while (consumed < file.size()) {
        z_stream z{};
        inflateInit2(&z, 31);
        z.next_in = const_cast<uint8_t *>(file.data() + consumed);
        z.avail_in = static_cast<uInt>(file.size() - consumed);
        z.next_out = viaZlib.data() + produced;
        z.avail_out = static_cast<uInt>(viaZlib.size() - produced);
        const int code = inflate(&z, Z_FINISH);
        CHECK(code == Z_STREAM_END);
        consumed = file.size() - z.avail_in;
        produced = viaZlib.size() - z.avail_out;
        inflateEnd(&z);
        if (code != Z_STREAM_END)
            break;
    }
    viaZlib.resize(produced);
    CHECK(viaZlib == data);
}

TEST(rangesReturnExactlyTheBytesThatExist)
{
    const std::vector<uint8_t> data = testdata::text(10500, 11);
    CompressSettings single, multi;
    single.chunkLength = multi.chunkLength = 1000;
    multi.chunksPerMember = 3;
    const uint64_t max = std::numeric_limits<uint64_t>::max();
    struct Row {
        uint64_t start, length;
    };
    const Row rows[] = {{0, 10},      {995, 10},    {2998, 7},     {3000, 1000}, {2500, 4000}, {10495, 100},
                        {10500, 10},  {20000, 10},  {0, max},      {5, 0},       {10499, 1},   {max, max},
                        {8999, 1502}, {9000, 1500}, {1, 10498}};
    for (const auto &file : {compressBytes(data, single), compressBytes(data, multi)}) {
        for (const Row &row : rows) {
            Status s;
            const std::vector<uint8_t> got = extract(file, row.start, row.length, s);
            const std::string where = std::to_string(row.start) + "+" + std::to_string(row.length);
            CHECK_MSG(s.ok(), where + ": " + s.message());
            CHECK_MSG(got == slice(data, row.start, row.length), where);
        }
    }
}

TEST(filesFromOtherWritersAreRead)
{
    const std::vector<uint8_t> data = testdata::text(25000, 13);
    // A dictzip member whose last chunk carries the final block itself, with
    // another subfield before RA, a comment and a header CRC.
    std::vector<std::vector<uint8_t>> chunks;
    for (size_t at = 0; at < data.size(); at += 10000) {
        const size_t size = std::min<size_t>(10000, data.size() - at);
        chunks.push_back(deflateRaw(data.data() + at, size, at + size == data.size() ? Z_FINISH : Z_FULL_FLUSH));
    }
    std::vector<uint8_t> extra = {'A', 'P', 2, 0, 'x', 'y', 'R', 'A', 12, 0, 1, 0, 0x10, 0x27, 3, 0};
    for (const auto &c : chunks) {
        extra.push_back(static_cast<uint8_t>(c.size()));
        extra.push_back(static_cast<uint8_t>(c.size() >> 8));
    }
    std::vector<uint8_t> file = {0x1f, 0x8b, 8, 0x04 | 0x10 | 0x02, 0, 0, 0, 0, 0, 255,
                                 static_cast<uint8_t>(extra.size()), 0};
    file.insert(file.end(), extra.begin(), extra.end());
    const char comment[] = "a comment";
    file.insert(file.end(), comment, comment + sizeof comment);
    const uint32_t headerCrc = crcOf(file);
    file.push_back(static_cast<uint8_t>(headerCrc));
    file.push_back(static_cast<uint8_t>(headerCrc >> 8));
    for (const auto &c : chunks)
        file.insert(file.end(), c.begin(), c.end());
    uint8_t trailer[8];
    putLittle32(trailer, crcOf(data));
    putLittle32(trailer + 4, static_cast<uint32_t>(data.size()));
    file.insert(file.end(), trailer, trailer + 8);

    // Followed by a plain gzip member, as concatenated files are.
    const std::vector<uint8_t> second = testdata::text(5000, 14);
    const std::vector<uint8_t> plain = plainGzip(second, true);
    std::vector<uint8_t> both = file;
    both.insert(both.end(), plain.begin(), plain.end());
    std::vector<uint8_t> expected = data;
    expected.insert(expected.end(), second.begin(), second.end());

    for (bool libdeflate : {false, true}) {
        std::vector<uint8_t> back;
        Status s = decompressBytes(both, back, 2, libdeflate);
        CHECK_MSG(s.ok(), s.message());
        CHECK(back == expected);
    }
    Status s;
    CHECK(extract(both, 24990, 20, s) == slice(expected, 24990, 20) && s.ok());
    CHECK(extract(both, 29000, 5000, s) == slice(expected, 29000, 5000) && s.ok());

    std::vector<uint8_t> badHeaderCrc = file, back;
    badHeaderCrc[12 + extra.size() + sizeof comment] ^= 1;
    CHECK(decompressBytes(badHeaderCrc, back).kind() == Failure::Corrupt);
}

TEST(corruptFilesFailAsCorrupt)
{
    const std::vector<uint8_t> data = testdata::text(3 * 4096 + 100, 17);
    CompressSettings settings;
    settings.chunkLength = 4096;
    const std::vector<uint8_t> good = compressBytes(data, settings);
    const size_t dataStart = 22 + 2 * 4 + sizeof "data.txt";
    const size_t end = good.size();

    struct Row {
        const char *name;
        std::function<void(std::vector<uint8_t> &)> damage;
    };
    auto truncateTo = [](size_t size) { return [size](std::vector<uint8_t> &f) { f.resize(size); }; };
    auto flip = [](size_t at) { return [at](std::vector<uint8_t> &f) { f[at] ^= 0x55; }; };
    const Row rows[] = {
        {"empty file", truncateTo(0)},
        {"cut in the fixed header", truncateTo(6)},
        {"cut in the table", truncateTo(25)},
        {"cut in the name", truncateTo(dataStart - 3)},
        {"cut in the first chunk", truncateTo(dataStart + 10)},
        {"cut before the final block", truncateTo(end - 10)},
        {"cut in the trailer", truncateTo(end - 3)},
        {"last byte missing", truncateTo(end - 1)},
        {"not gzip", [](std::vector<uint8_t> &f) { f[0] = 'P'; }},
        {"other method", [](std::vector<uint8_t> &f) { f[2] = 7; }},
        {"reserved flag", [](std::vector<uint8_t> &f) { f[3] |= 0x80; }},
        {"chunk count disagrees with length", [](std::vector<uint8_t> &f) { f[20] = 3; }},
        {"chunk length too small", [](std::vector<uint8_t> &f) { putLittle16(f.data() + 18, 4000); }},
        {"chunk length too large", [](std::vector<uint8_t> &f) { putLittle16(f.data() + 18, 5000); }},
        {"table size one more", [](std::vector<uint8_t> &f) { putLittle16(f.data() + 22, little16(f.data() + 22) + 1); }},
        {"table size one less", [](std::vector<uint8_t> &f) { putLittle16(f.data() + 24, little16(f.data() + 24) - 1); }},
        {"table size zero", [](std::vector<uint8_t> &f) { putLittle16(f.data() + 26, 0); }},
        {"byte flipped in a chunk", flip(dataStart + 200)},
        {"CRC flipped", flip(end - 6)},
        {"size flipped", flip(end - 2)},
        {"final block damaged", flip(end - 10)},
        {"garbage after the end", [](std::vector<uint8_t> &f) { f.push_back(0); f.push_back(1); }},
        {"second member cut short", [&](std::vector<uint8_t> &f) { f.insert(f.end(), good.begin(), good.begin() + 40); }},
    };
    for (const Row &row : rows) {
        std::vector<uint8_t> file = good, back;
        row.damage(file);
        for (bool libdeflate : {false, true}) {
            const Status s = decompressBytes(file, back, 2, libdeflate);
            CHECK_MSG(s.kind() == Failure::Corrupt, std::string(row.name) + ": " + s.message());
        }
        // Listing and ranges need not notice everything, but must not crash.
        MemorySource source(file);
        FileSummary summary;
        (void)listFile(source, ReadSettings{}, summary);
        Status s;
        extract(file, 4000, 9000, s);
    }
}

TEST(inputThatChangesOrAnInterruptStopsCompression)
{
    const std::vector<uint8_t> data = testdata::text(50000);
    MemorySource source(data);
    MemoryTarget target;
    CompressSettings settings;
    settings.chunkLength = 1000;
    CHECK(compress(source, data.size() + 10, target, settings).kind() == Failure::Input); // shrank
    CHECK(compress(source, data.size() - 10, target, settings).kind() == Failure::Input); // grew

    int polls = 0;
    settings.threads = 2;
    settings.poll = [&polls] { return ++polls < 5 ? Status{} : Status::interrupted(15, "interrupted"); };
    const Status s = compress(source, data.size(), target, settings);
    CHECK(s.kind() == Failure::Interrupted && s.exitCode() == 143);
}

int main(int argc, char **argv) { return check::runAll(argc, argv); }
