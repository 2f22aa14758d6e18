#pragma once
// A very small test harness: TEST(name) registers a case, and CHECK prints a
// failure with its line and goes on. And the deterministic inputs the tests use.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

namespace check {

inline std::vector<std::pair<const char *, void (*)()>> cases;
inline int failures = 0;

inline bool report(bool ok, const char *what, int line, const std::string &context)
{
    return ok || (++failures, std::printf("  line %d: %s failed %s\n", line, what, context.c_str()) < 0);
}

// Runs every case, or those whose name holds argv[1].
inline int runAll(int argc, char **argv)
{
    for (const auto &[name, body] : cases)
        if (const int before = failures; argc < 2 || std::strstr(name, argv[1])) {
            body();
            std::printf("%s %s\n", failures > before ? "FAIL" : "PASS", name);
            std::fflush(stdout);
        }
    return failures ? 1 : 0;
}

} // namespace check

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
    return out.resize(size), out;
}

// The part of `data` that a range asks for.
inline Bytes slice(const Bytes &data, uint64_t start, uint64_t length)
{
    start = std::min<uint64_t>(start, data.size());
    return Bytes(data.begin() + start, data.begin() + start + std::min<uint64_t>(data.size() - start, length));
}

} // namespace testdata

#define TEST(name)                                                                      \
    static void name();                                                                 \
    static const bool name##Registered = (check::cases.push_back({#name, name}), true); \
    static void name()
#define CHECK_MSG(condition, context) check::report(static_cast<bool>(condition), #condition, __LINE__, (context))
#define CHECK(condition) CHECK_MSG(condition, "")
int main(int argc, char **argv) { return check::runAll(argc, argv); }
