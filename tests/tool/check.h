#pragma once
// A very small test harness and its data. TEST(name) registers a case, CHECK
// records a failure with its line and goes on, SKIP ends a case as skipped;
// the program prints one line per case and returns 1 if any failed.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

namespace check {

struct Case {
    const char *name;
    void (*body)();
};
inline std::vector<Case> cases;
inline int failures = 0;
struct Register {
    Register(const char *name, void (*body)()) { cases.push_back({name, body}); }
};

inline bool report(bool ok, const char *expression, int line, const std::string &context)
{
    if (!ok)
        std::printf("  line %d: CHECK(%s) failed %s\n", line, expression, context.c_str());
    failures += !ok;
    return ok;
}

inline int runAll()
{
    int failed = 0;
    for (const Case &c : cases) {
        const int before = failures;
        std::string verdict = "PASS ";
        try {
            c.body();
        } catch (const std::string &skipped) {
            verdict = "SKIP (" + skipped + ") ";
        }
        failed += failures > before;
        std::printf("%s%s\n", failures > before ? "FAIL " : verdict.c_str(), c.name);
        std::fflush(stdout);
    }
    std::printf("%d of %zu failed\n", failed, cases.size());
    return failed ? 1 : 0;
}

// Text made of dictionary words, or incompressible bytes; the same for the same seed.
inline Bytes text(size_t size, uint32_t seed = 1, bool random = false)
{
    static const char *const words[] = {"dictionary", "headword", "the", "of", "entry", "noun", "verb",
                                        "a",          "plural",   "see", "also", "meaning", "usage", "[m1]"};
    Bytes out;
    for (uint32_t state = seed * 2654435761u + 1; out.size() < size;) {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        const std::string word = random ? std::string(1, char(state >> 24)) : words[state % 14] + std::string(" ");
        out.insert(out.end(), word.begin(), word.end());
        if (!random && state % 9 == 0)
            out.back() = '\n';
    }
    out.resize(size);
    return out;
}
inline Bytes random(size_t size, uint32_t seed = 7) { return text(size, seed, true); }

inline Bytes slice(const Bytes &data, uint64_t start, uint64_t length)
{
    start = std::min<uint64_t>(start, data.size());
    return Bytes(data.begin() + start, data.begin() + start + std::min<uint64_t>(data.size() - start, length));
}

} // namespace check

#define TEST(name)                                          \
    static void name();                                     \
    static const check::Register name##Registered(#name, name); \
    static void name()
#define CHECK_MSG(condition, context) check::report(static_cast<bool>(condition), #condition, __LINE__, (context))
#define CHECK(condition) CHECK_MSG(condition, "")
#define SKIP(reason) throw std::string(reason)
