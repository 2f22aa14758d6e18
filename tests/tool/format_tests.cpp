// The format library on data in memory: round trips, multi-member files,
// ranges, listing, files from other writers, corrupt input and stop requests.

#include "check.h"
#include "testdata.h"

#include "compressor.h"
#include "reader.h"

#include <functional>
#include <limits>

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
    out = target.bytes;
    return s;
}

} // namespace

// Every shape reads back whole with any thread count and inflater, lists, and
// reads in ranges; the last in chunks of 1,000 in members of 3, 3, 3 and 2.
TEST(roundTripsAtEveryShape)
{
    const uint32_t kAll = kMaxChunksPerMember;
    const struct {
        Bytes data;
        uint32_t chunkLength, perMember;
    } rows[] = {{{}, kDefaultChunkLength, kAll},
                {testdata::text(kDefaultChunkLength), kDefaultChunkLength, kAll},
                {testdata::text(kDefaultChunkLength + 1), kDefaultChunkLength, kAll},
                {testdata::text(300000, 7, true), kDefaultChunkLength, kAll},
                {testdata::text(300), 1, kAll},
                {testdata::text(10500, 11), 1000, 3}};
    const uint64_t max = std::numeric_limits<uint64_t>::max();
    const std::pair<uint64_t, uint64_t> ranges[] = {{995, 10},   {2998, 7},  {2500, 4000}, {10495, 100},
                                                    {10500, 10}, {max, max}, {8999, 1502}};
    for (const auto &row : rows) {
        const Bytes file = compressBytes(row.data, {row.chunkLength, row.perMember});
        CHECK(compressBytes(row.data, {row.chunkLength, row.perMember, 3}) == file);
        const std::string size = std::to_string(row.data.size());
        for (const auto &[threads, libdeflate] : {std::pair{1u, false}, {1u, true}, {4u, false}, {4u, true}}) {
            Bytes back;
            const Status s = readBack(file, back, ReadSettings{threads, libdeflate, nullptr});
            CHECK_MSG(s.ok() && back == row.data, size + ": " + s.message());
        }
        MemorySource source(file);
        FileSummary summary;
        CHECK_MSG(listFile(source, ReadSettings{}, summary).ok() && summary.uncompressedSize == row.data.size() &&
                      summary.chunks == (row.data.size() + row.chunkLength - 1) / row.chunkLength &&
                      summary.members == std::max<uint64_t>(1, (summary.chunks + row.perMember - 1) / row.perMember),
                  size);
        for (const auto &[start, length] : ranges) {
            Bytes got;
            const Status s = readBack(file, got, ReadSettings{}, start, length);
            CHECK_MSG(s.ok() && got == slice(row.data, start, length),
                      size + "@" + std::to_string(start) + s.message());
        }
    }
}

TEST(corruptFilesFailAsCorrupt)
{
    const Bytes text = testdata::text(3 * 4096 + 100, 17), good = compressBytes(text, {4096});
    const size_t dataStart = 22 + 2 * 4 + sizeof "data.txt", end = good.size();
    auto cut = [](size_t size) { return [size](Bytes &f) { f.resize(size); }; };
    auto flip = [](size_t at) { return [at](Bytes &f) { f[at] ^= 0x55; }; };
    auto add16 = [](size_t at, int add) {
        return [at, add](Bytes &f) { putLittle16(&f[at], little16(&f[at]) + add); };
    };
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
        {"table size one more", add16(22, 1)},
        {"table size zero", [](Bytes &f) { putLittle16(&f[26], 0); }},
        {"byte flipped in a chunk", flip(dataStart + 200)},
        {"CRC flipped", flip(end - 6)},
        {"size flipped", flip(end - 2)},
        {"final block damaged", flip(end - 10)},
        {"garbage after the end", [](Bytes &f) { f.push_back(0); }},
        {"second member cut short", [&](Bytes &f) { f.insert(f.end(), good.begin(), good.begin() + 40); }},
        // Where gzip readers stop: the final block in a middle chunk.
        {"final block in a middle chunk",
         [&](Bytes &f) {
             f.insert(f.begin() + dataStart + little16(&f[22]) + little16(&f[24]), {3, 0}), add16(24, 2)(f);
         }},
        {"header CRC flipped", [&](Bytes &f) { f = other, f[dataStart + 3] ^= 1; }},
    };
    for (const auto &[name, damage] : rows) {
        Bytes file = good, back;
        damage(file);
        for (bool libdeflate : {false, true}) {
            const Status s = readBack(file, back, ReadSettings{2, libdeflate, nullptr});
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
        CHECK(compress(source, data.size() + 10, target, settings).kind() == Failure::Input); // shrank
        CHECK(compress(source, data.size() - 10, target, settings).kind() == Failure::Input); // grew
        // Asked between chunks, a stop request ends the work at once.
        int polls = 0;
        settings.poll = [&polls] { return ++polls < 5 ? Status{} : Status::interrupted(15, "interrupted"); };
        const Status s = compress(source, data.size(), target, settings);
        CHECK_MSG(s.kind() == Failure::Interrupted && s.exitCode() == 143 && polls == 5, std::to_string(threads));
    }
    // Reading stops between members too, however small they are.
    Bytes empties = compressBytes({}), back;
    empties.insert(empties.end(), empties.begin(), empties.end());
    CHECK(readBack(empties, back, {1, true, [] { return Status::interrupted(15, "interrupted"); }}).kind() ==
          Failure::Interrupted);
}

int main(int argc, char **argv) { return check::runAll(argc, argv); }
