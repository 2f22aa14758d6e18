// The format library on data in memory: round trips, multi-member files,
// ranges, listing, files from other writers, corrupt input and stop requests.

#include "check.h"
#include "compressor.h"
#include "reader.h"

#include <functional>
#include <limits>
#include <tuple>

using namespace dz;
using testdata::slice;

namespace {

Bytes compressBytes(const Bytes &data, CompressSettings settings = {})
{
    MemorySource source(data);
    MemoryTarget target;
    settings.name = "data.txt";
    CHECK(compress(source, data.size(), target, settings).ok());
    return target.bytes;
}

// Reads `file` whole, or with `length` > 0 the range from `start`.
Status readBack(const Bytes &file, Bytes &out, ReadSettings settings = {}, uint64_t start = 0, uint64_t length = 0)
{
    MemorySource source(file);
    MemoryTarget target;
    Status s = length ? extractRange(source, start, length, target, settings) : decompress(source, &target, settings);
    return out = target.bytes, s;
}

} // namespace

// Every shape and level is the same bytes with any thread count, reads back whole
// (length 0) and in ranges with either inflater, and lists; the last in chunks of
// 1,000 in members of 3, 3, 3 and 2.
TEST(roundTripsAtEveryShape)
{
    const uint32_t all = kMaxChunksPerMember, usual = kDefaultChunkLength;
    const std::tuple<size_t, uint32_t, uint32_t, int> rows[] = {
        {0, usual, all, 0},      {usual, usual, all, 12}, {usual + 1, usual, all, 0}, {300000, usual, all, 0},
        {300000, usual, all, 1}, {300, 1, all, 6},        {10500, 1000, 3, 0},        {10500, 1000, 3, 9}};
    const uint64_t max = std::numeric_limits<uint64_t>::max();
    const std::pair<uint64_t, uint64_t> ranges[] = {{0, 0},       {995, 10},   {2998, 7},  {2500, 4000},
                                                    {10495, 100}, {10500, 10}, {max, max}, {8999, 1502}};
    for (const auto &[bytes, chunkLength, perMember, level] : rows) {
        if (level && !haveLibdeflate()) // levels are libdeflate's
            continue;
        const Bytes data = testdata::text(bytes, 11, bytes > 100000); // the largest incompressible
        const Bytes file = compressBytes(data, {chunkLength, perMember, 1, level});
        CHECK(compressBytes(data, {chunkLength, perMember, 3, level}) == file);
        const std::string size = std::to_string(data.size()) + " at level " + std::to_string(level);
        for (const auto &[start, length] : ranges)
            for (const ReadSettings &settings : {ReadSettings{1, false}, {1, true}, {4, false}, {4, true}}) {
                Bytes got;
                const Status s = readBack(file, got, settings, start, length);
                CHECK_MSG(s.ok() && got == (length ? slice(data, start, length) : data),
                          size + "@" + std::to_string(start) + s.message());
            }
        MemorySource source(file);
        FileSummary summary;
        CHECK_MSG(listFile(source, ReadSettings{}, summary).ok() && summary.uncompressedSize == data.size() &&
                      summary.chunks == (data.size() + chunkLength - 1) / chunkLength &&
                      summary.members == std::max<uint64_t>(1, (summary.chunks + perMember - 1) / perMember),
                  size);
    }
}

TEST(corruptFilesFailAsCorrupt)
{
    const Bytes text = testdata::text(3 * 4096 + 100, 17), good = compressBytes(text, {4096});
    const size_t dataStart = 22 + 2 * 4 + sizeof "data.txt", end = good.size();
    const size_t second = dataStart + little16(&good[22]) + little16(&good[24]); // where the second chunk starts
    auto cut = [](size_t size) { return [size](Bytes &f) { f.resize(size); }; };
    auto flip = [](size_t at) { return [at](Bytes &f) { f[at] ^= 0x55; }; };
    auto add16 = [](size_t at, int n) { return [=](Bytes &f) { putLittle16(&f[at], little16(&f[at]) + n); }; };
    // As other writers make it: a comment, a header CRC, the final block in the last chunk.
    Bytes other = good;
    other[3] |= 0x12;
    add16(28, 2)(other);
    other.insert(other.begin() + dataStart, {'h', 'i', 0});
    const uLong headerCrc = crc32(0, other.data(), uInt(dataStart + 3));
    other.insert(other.begin() + dataStart + 3, {uint8_t(headerCrc), uint8_t(headerCrc >> 8)});
    const std::pair<const char *, std::function<void(Bytes &)>> rows[] = {
        {"empty file", cut(0)},
        {"cut in the table", cut(25)},
        {"cut in the first chunk", cut(dataStart + 10)},
        {"last byte missing", cut(end - 1)},
        {"not gzip", flip(0)},
        {"reserved flag", [](Bytes &f) { f[3] |= 0x80; }},
        {"chunk count disagrees with length", add16(20, -1)},
        {"chunk length too small", add16(18, -96)},
        {"chunk length too large", add16(18, 96)},
        {"table size one more", add16(22, 1)},
        {"table size zero", [](Bytes &f) { putLittle16(&f[26], 0); }},
        {"byte flipped in a chunk", flip(dataStart + 200)},
        {"CRC flipped", flip(end - 6)},
        {"size flipped", flip(end - 2)},
        {"one chunk, CRC flipped", [&](Bytes &f) { f = compressBytes(slice(text, 0, 99)), f[f.size() - 6] ^= 1; }},
        {"final block damaged", flip(end - 10)},
        {"garbage after the end", [](Bytes &f) { f.push_back(0); }},
        {"second member cut short", [&](Bytes &f) { f.insert(f.end(), good.begin(), good.begin() + 40); }},
        // Where gzip readers stop: the final block in a middle chunk.
        {"final block in a middle chunk",
         [&](Bytes &f) {
             f.insert(f.begin() + second, {3, 0}), add16(24, 2)(f);
         }},
        {"header CRC flipped", [&](Bytes &f) { f = other, f[dataStart + 3] ^= 1; }},
    };
    for (const auto &[name, damage] : rows) {
        Bytes file = good, back;
        damage(file);
        for (bool libdeflate : {false, true}) {
            const Status s = readBack(file, back, ReadSettings{2, libdeflate});
            CHECK_MSG(s.kind() == Failure::Corrupt, name + (": " + s.message()));
        }
    }
    Bytes back;
    CHECK(readBack(other, back).ok() && back == text);
}

TEST(inputThatChangesOrAStopRequestStopsCompression)
{
    const Bytes data = testdata::text(50000);
    MemorySource source(data);
    for (unsigned threads : {1u, 2u}) {
        MemoryTarget target;
        CompressSettings settings{1000, kMaxChunksPerMember, threads};
        for (const size_t size : {data.size() + 10, data.size() - 10}) // shrank, grew
            CHECK(compress(source, size, target, settings).kind() == Failure::Input);
        // Asked between chunks, a stop request ends the work at once.
        int polls = 0;
        settings.poll = [&polls] { return ++polls < 5 ? Status{} : Status::interrupted(15, "interrupted"); };
        const Status s = compress(source, data.size(), target, settings);
        CHECK_MSG(s.kind() == Failure::Interrupted && s.exitCode() == 143 && polls == 5, std::to_string(threads));
    }
    // Reading stops between members too, however small they are.
    const Bytes empty = compressBytes({});
    Bytes empties = empty, back;
    empties.insert(empties.end(), empty.begin(), empty.end());
    CHECK(readBack(empties, back, {1, true, [] { return Status::interrupted(15, "interrupted"); }}).kind() ==
          Failure::Interrupted);
}
