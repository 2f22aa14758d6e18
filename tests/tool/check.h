#pragma once
// A very small test harness: TEST(name) registers a case, and CHECK prints a
// failure with its line and goes on.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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

// Runs every case, or those whose name holds argv[1].
inline int runAll(int argc = 1, char **argv = nullptr)
{
    int failed = 0;
    for (const auto &[name, body] : cases) {
        if (argc > 1 && !std::strstr(name, argv[1]))
            continue;
        const int before = failures;
        body();
        failed += failures > before;
        std::printf("%s %s\n", failures > before ? "FAIL" : "PASS", name);
        std::fflush(stdout);
    }
    return failed ? 1 : 0;
}

} // namespace check

#define TEST(name)                                              \
    static void name();                                         \
    static const check::Register name##Registered(#name, name); \
    static void name()
#define CHECK_MSG(condition, context) check::report(static_cast<bool>(condition), #condition, __LINE__, (context))
#define CHECK(condition) CHECK_MSG(condition, "")
