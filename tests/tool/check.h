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
struct Skip {
    std::string reason;
};
inline std::vector<Case> &cases()
{
    static std::vector<Case> all;
    return all;
}
inline int failuresInCase = 0;

struct Register {
    Register(const char *name, void (*body)()) { cases().push_back({name, body}); }
};

inline bool report(bool ok, const char *expression, const char *file, int line, const std::string &context)
{
    if (!ok)
        std::printf("  %s:%d: CHECK(%s) failed%s%s\n", file, line, expression, context.empty() ? "" : ": ",
                    context.c_str());
    failuresInCase += !ok;
    return ok;
}

// Runs every case, or those whose name contains argv[1].
inline int runAll(int argc, char **argv)
{
    static const char *const verdicts[] = {"PASS", "FAIL", "SKIP"};
    int counts[3] = {};
    for (const Case &c : cases()) {
        if (argc > 1 && !std::strstr(c.name, argv[1]))
            continue;
        failuresInCase = 0;
        std::string skip;
        try {
            c.body();
        } catch (const Skip &s) {
            skip = " (" + s.reason + ")";
        }
        const int verdict = failuresInCase ? 1 : skip.empty() ? 0 : 2;
        ++counts[verdict];
        std::printf("%s %s%s\n", verdicts[verdict], c.name, skip.c_str());
        std::fflush(stdout);
    }
    std::printf("%d passed, %d failed, %d skipped\n", counts[0], counts[1], counts[2]);
    return counts[1] ? 1 : 0;
}

} // namespace check

#define TEST(name)                                              \
    static void name();                                         \
    static const check::Register name##Registered(#name, name); \
    static void name()

#define CHECK(condition) check::report(static_cast<bool>(condition), #condition, __FILE__, __LINE__, "")
#define CHECK_MSG(condition, context) \
    check::report(static_cast<bool>(condition), #condition, __FILE__, __LINE__, (context))
#define SKIP(reason) \
    throw check::Skip { reason }
