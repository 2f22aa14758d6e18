#pragma once
// Deterministic test inputs, and the part of some data that a range asks for.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

namespace testdata {

// Lines of dictionary words, or incompressible bytes; the same for the same seed.
inline Bytes text(size_t size, uint32_t seed = 1, bool random = false)
{
    static const char *const words[] = {"dictionary ", "headword ", "the ", "of ", "noun ", "see also ", "[m1] "};
    Bytes out;
    for (uint32_t state = seed * 2654435761u + 1; out.size() < size;) {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        const std::string word = random ? std::string(1, char(state >> 24)) : words[state % 7];
        out.insert(out.end(), word.begin(), word.end());
        if (!random && state % 9 == 0)
            out.back() = '\n';
    }
    out.resize(size);
    return out;
}

inline Bytes slice(const Bytes &data, uint64_t start, uint64_t length)
{
    start = std::min<uint64_t>(start, data.size());
    return Bytes(data.begin() + start, data.begin() + start + std::min<uint64_t>(data.size() - start, length));
}

} // namespace testdata
