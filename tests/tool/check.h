#pragma once
// A very small test harness and its data: TEST(name) registers a case, and
// CHECK prints a failure with its line and goes on.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

namespace check {

inline std::vector<std::pair<const char *, void (*)()>> cases;
inline int failures = 0;

struct Register {
    Register(const char *name, void (*body)()) { cases.push_back({name, body}); }
};

inline bool report(bool ok, const char *what, int line, const std::string &context)
{
    if (!ok)
        std::printf("  line %d: %s failed %s\n", line, what, context.c_str());
    failures += !ok;
    return ok;
}

inline int runAll()
{
    int failed = 0;
    for (const auto &[name, body] : cases) {
        const int before = failures;
        body();
        failed += failures > before;
        std::printf("%s %s\n", failures > before ? "FAIL" : "PASS", name);
        std::fflush(stdout);
    }
    return failed ? 1 : 0;
}

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

} // namespace check

#define TEST(name)                                              \
    static void name();                                         \
    static const check::Register name##Registered(#name, name); \
    static void name()
#define CHECK_MSG(condition, context) check::report(static_cast<bool>(condition), #condition, __LINE__, (context))
#define CHECK(condition) CHECK_MSG(condition, "")
