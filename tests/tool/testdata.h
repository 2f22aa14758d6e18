#pragma once
// Deterministic test inputs: text made of words, and incompressible bytes;
// and the part of some data that a range asks for.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

namespace testdata {

inline uint32_t nextRandom(uint32_t &state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

inline Bytes text(size_t size, uint32_t seed = 1)
{
    static const char *const words[] = {"dictionary", "headword", "the",    "of",     "translation", "entry",
                                        "noun",       "verb",     "a",      "plural", "see",         "also",
                                        "archaic",    "meaning",  "origin", "usage",  "example",     "[m1]"};
    Bytes out;
    out.reserve(size + 16);
    uint32_t state = seed * 2654435761u + 1;
    while (out.size() < size) {
        const std::string word = words[nextRandom(state) % (sizeof words / sizeof *words)];
        out.insert(out.end(), word.begin(), word.end());
        out.push_back(nextRandom(state) % 9 == 0 ? '\n' : ' ');
    }
    out.resize(size);
    return out;
}

inline Bytes random(size_t size, uint32_t seed = 7)
{
    Bytes out(size);
    uint32_t state = seed * 2246822519u + 3;
    for (uint8_t &b : out)
        b = static_cast<uint8_t>(nextRandom(state) >> 24);
    return out;
}

inline Bytes slice(const Bytes &data, uint64_t start, uint64_t length)
{
    start = std::min<uint64_t>(start, data.size());
    return Bytes(data.begin() + start, data.begin() + start + std::min<uint64_t>(data.size() - start, length));
}

} // namespace testdata
