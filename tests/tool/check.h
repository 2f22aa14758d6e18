#pragma once
// A very small test harness: TEST(name) registers a case, CHECK records a
// failure with its file and line and goes on, SKIP ends a case as skipped.
// The program prints one line per case and "N passed, N failed, N skipped".

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace check {

struct Case {
    const char *name;
    void (*body)();
};

inline std::vector<Case> &cases()
{
    static std::vector<Case> all;
    return all;
}

struct State {
    int failuresInCase = 0;
    bool skipped = false;
    std::string skipReason;
};

inline State &state()
{
    static State s;
    return s;
}

struct Register {
    Register(const char *name, void (*body)()) { cases().push_back({name, body}); }
};

inline bool report(bool ok, const char *expression, const char *file, int line, const std::string &context)
{
    if (!ok) {
        ++state().failuresInCase;
        std::printf("  %s:%d: CHECK(%s) failed%s%s\n", file, line, expression, context.empty() ? "" : ": ",
                    context.c_str());
    }
    return ok;
}

struct Skip {};

// Runs every case, or those whose name contains argv[1].
inline int runAll(int argc, char **argv)
{
    int passed = 0, failed = 0, skipped = 0;
    for (const Case &c : cases()) {
        if (argc > 1 && !std::strstr(c.name, argv[1]))
            continue;
        state() = State{};
        try {
            c.body();
        } catch (Skip) {
        }
        if (state().failuresInCase) {
            ++failed;
            std::printf("FAIL %s\n", c.name);
        } else if (state().skipped) {
            ++skipped;
            std::printf("SKIP %s (%s)\n", c.name, state().skipReason.c_str());
        } else {
            ++passed;
            std::printf("PASS %s\n", c.name);
        }
        std::fflush(stdout);
    }
    std::printf("%d passed, %d failed, %d skipped\n", passed, failed, skipped);
    return failed ? 1 : 0;
}

} // namespace check

#define TEST(name)                                                \
    static void name();                                           \
    static const check::Register name##Registered(#name, name);   \
    static void name()

#define CHECK(condition) check::report(static_cast<bool>(condition), #condition, __FILE__, __LINE__, "")
#define CHECK_MSG(condition, context) \
    check::report(static_cast<bool>(condition), #condition, __FILE__, __LINE__, (context))
#define SKIP(reason)                          \
    do {                                      \
        check::state().skipped = true;        \
        check::state().skipReason = (reason); \
        throw check::Skip{};                  \
    } while (0)
