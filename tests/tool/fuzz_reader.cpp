// libFuzzer target: any bytes, read as a dictzip file through every reader
// path. Beyond not crashing, hanging or reading out of bounds, the paths must
// agree: a file that decompresses also lists and extracts to the same bytes.

#include "io.h"
#include "reader.h"

#include <algorithm>
#include <cstdlib>

using namespace dz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    MemorySource source(data, size);
    MemoryTarget whole, viaZlib, everything, part;
    FileSummary summary, listed;
    const bool decompressed = decompress(source, &whole, ReadSettings{1, true}, &summary).ok();
    const bool zlibOk = decompress(source, &viaZlib, ReadSettings{2, false}).ok();
    const bool listedOk = listFile(source, ReadSettings{}, listed).ok();
    const bool everythingOk = extractRange(source, 0, ~uint64_t(0), everything, ReadSettings{}).ok();
    // A range somewhere, chosen by the input itself.
    const uint64_t start = size > 2 ? (uint64_t(data[0]) << 8 | data[1]) * 13 : 0;
    const uint64_t length = size > 3 ? uint64_t(data[2]) * 97 + 1 : 1;
    const bool partOk = extractRange(source, start, length, part, ReadSettings{}).ok();
    const std::vector<uint8_t> &bytes = whole.bytes;
    const uint64_t from = std::min<uint64_t>(start, bytes.size()), to = std::min<uint64_t>(bytes.size(), from + length);
    if (zlibOk != decompressed ||
        (decompressed && (viaZlib.bytes != bytes || !listedOk || listed.uncompressedSize != bytes.size() ||
                          !everythingOk || everything.bytes != bytes || !partOk ||
                          part.bytes != std::vector<uint8_t>(bytes.begin() + from, bytes.begin() + to))))
        std::abort();
    return 0;
}
