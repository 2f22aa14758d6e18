#pragma once
// CRC-32 as gzip defines it; libdeflate's is several times faster than zlib's
// where it is available.

#include <cstddef>
#include <cstdint>

#include <zlib.h>
#ifdef DICTZIP_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace dz {

inline uint32_t updateCrc(uint32_t crc, const uint8_t *data, size_t size)
{
#ifdef DICTZIP_HAVE_LIBDEFLATE
    return libdeflate_crc32(crc, data, size);
#else
    while (size > 0) {
        const uInt step = size > 0x40000000 ? 0x40000000 : static_cast<uInt>(size);
        crc = static_cast<uint32_t>(crc32(crc, data, step));
        data += step;
        size -= step;
    }
    return crc;
#endif
}

// The CRC of A followed by B, from the CRCs of both and the length of B.
inline uint32_t combineCrc(uint32_t crcA, uint32_t crcB, uint64_t lengthB)
{
#ifdef Z_LARGE64
    return static_cast<uint32_t>(crc32_combine64(crcA, crcB, static_cast<z_off64_t>(lengthB)));
#else
    // Windows' zlib has only the z_off_t (long, 32 bits) form; B is never more
    // than one chunk here.
    return static_cast<uint32_t>(crc32_combine(crcA, crcB, static_cast<z_off_t>(lengthB)));
#endif
}

} // namespace dz
