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
    ReadSettings settings;

    MemoryTarget whole;
    FileSummary summary;
    settings.libdeflate = true;
    const bool decompressed = decompress(source, &whole, settings, &summary).ok();

    MemoryTarget viaZlib;
    settings.threads = 2;
    settings.libdeflate = false;
    if (decompress(source, &viaZlib, settings).ok() != decompressed || (decompressed && viaZlib.bytes != whole.bytes))
        std::abort();
    settings.threads = 1;

    FileSummary listed;
    const bool listedOk = listFile(source, settings, listed).ok();
    if (decompressed && (!listedOk || listed.uncompressedSize != whole.bytes.size()))
        std::abort();

    MemoryTarget everything;
    if (decompressed && (!extractRange(source, 0, ~uint64_t(0), everything, settings).ok() ||
                         everything.bytes != whole.bytes))
        std::abort();

    // A range somewhere, chosen by the input itself.
    const uint64_t start = size > 2 ? (uint64_t(data[0]) << 8 | data[1]) * 13 : 0;
    const uint64_t length = size > 3 ? uint64_t(data[2]) * 97 + 1 : 1;
    MemoryTarget part;
    const bool extracted = extractRange(source, start, length, part, settings).ok();
    if (decompressed) {
        const uint64_t from = std::min<uint64_t>(start, whole.bytes.size());
        const uint64_t to = std::min<uint64_t>(whole.bytes.size(), from + length);
        if (!extracted || part.bytes.size() != to - from ||
            !std::equal(part.bytes.begin(), part.bytes.end(), whole.bytes.begin() + from))
            std::abort();
    }
    return 0;
}
