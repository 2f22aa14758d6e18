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

inline bool report(bool ok, const char *what, int line, const std::string &context)
{
    if (!ok && ++failures)
        std::printf("  line %d: %s failed %s\n", line, what, context.c_str());
    return ok;
}

// Runs every case, or those whose name holds argv[1].
inline int runAll(int argc = 1, char **argv = nullptr)
{
    for (const auto &[name, body] : cases) {
        const int before = failures;
        if (argc < 2 || std::strstr(name, argv[1])) {
            body();
            std::printf("%s %s\n", failures > before ? "FAIL" : "PASS", name);
            std::fflush(stdout);
        }
    }
    return failures ? 1 : 0;
}

} // namespace check

#define TEST(name)                                                                      \
    static void name();                                                                 \
    static const bool name##Registered = (check::cases.push_back({#name, name}), true); \
    static void name()
#define CHECK_MSG(condition, context) check::report(static_cast<bool>(condition), #condition, __LINE__, (context))
#define CHECK(condition) CHECK_MSG(condition, "")
