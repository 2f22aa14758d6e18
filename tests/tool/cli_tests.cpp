// The dictzip program as the window and users run it: file handling, ranges,
// byte identity with Debian's dictzip, gzip interoperability, and every
// failure with its exit code and the folder checked afterwards.

#include "driver.h"

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

namespace {

const char *const kProgram = DICTZIP_PROGRAM;
const char *const kDebianDictzip = "/usr/bin/dictzip";

void setModified(const fs::path &path, time_t seconds)
{
    struct utimbuf times = {seconds, seconds};
    utime(path.c_str(), &times);
}

class Scratch : public Folder {
public:
    std::string stdoutPath; // for the runs to come; empty: captured
    long fileSizeLimit = -1;

    pid_t start(const std::vector<std::string> &args, const fs::path &tool = kProgram)
    {
        const fs::path out = stdoutPath.empty() ? root_ / "stdout" : fs::path(stdoutPath), err = root_ / "stderr";
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(work().c_str()) != 0)
                _exit(126);
            dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
            dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            if (fileSizeLimit >= 0) {
                struct rlimit limit = {rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
                setrlimit(RLIMIT_FSIZE, &limit);
                signal(SIGXFSZ, SIG_IGN); // so writes fail with EFBIG instead
            }
            std::vector<char *> argv{const_cast<char *>(tool.c_str())};
            for (const std::string &a : args)
                argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            execv(tool.c_str(), argv.data());
            _exit(127);
        }
        return pid;
    }

    // Waits at most a minute; a tool that hangs is killed and fails the check.
    RunResult finish(pid_t pid)
    {
        int status = 0;
        for (int waited = 0; waitpid(pid, &status, WNOHANG) == 0; ++waited) {
            if (!CHECK_MSG(waited < 6000, "the tool did not end within a minute")) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
            }
            usleep(10000);
        }
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status),
                stdoutPath.empty() ? readFile<std::string>(root_ / "stdout") : "",
                readFile<std::string>(root_ / "stderr")};
    }

    RunResult run(const std::vector<std::string> &args, const fs::path &tool = kProgram)
    {
        return finish(start(args, tool));
    }
};

} // namespace

TEST(filesAreNamedKeptAndRemovedAsAsked)
{
    Scratch scratch;
    RunResult r = scratch.run({"-V"});
    CHECK(r.exitCode == 0 && r.out.rfind("dictzip ", 0) == 0 && r.out.find("zlib ") != std::string::npos);
    CHECK(r.out.find('\n') == r.out.size() - 1);

    const Bytes data = testdata::text(200000);
    writeFile(scratch / "a.txt", data);
    setModified(scratch / "a.txt", 1600000000);
    chmod((scratch / "a.txt").c_str(), 0640);
    CHECK(scratch.run({"-f", "a.txt"}).exitCode == 0);
    CHECK(scratch.names() == std::set<std::string>{"a.txt.dz"});
    CHECK((fs::status(scratch / "a.txt.dz").permissions() & fs::perms::all) ==
          (fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read));

    const struct {
        std::vector<std::string> args;
        uint64_t start, length;
    } ranges[] = {
        {{"-s", "58000", "-e", "1000", "a.txt.dz"}, 58000, 1000},      // across a chunk boundary
        {{"--start=199990", "--size=1000", "a.txt.dz"}, 199990, 1000}, // cut at the end
        {{"-s300000", "-e10", "a.txt.dz"}, 300000, 10},                // past the end: nothing
        {{"-s", "150000", "a.txt.dz"}, 150000, 1000000},               // to the end
    };
    for (const auto &range : ranges) {
        r = scratch.run(range.args);
        CHECK_MSG(r.exitCode == 0 && r.bytes() == slice(data, range.start, range.length), range.args[0]);
    }

    CHECK(scratch.run({"-k", "-f", "-d", "a.txt.dz"}).exitCode == 0);
    CHECK(readFile(scratch / "a.txt") == data);
    struct stat st;
    CHECK(stat((scratch / "a.txt").c_str(), &st) == 0 && st.st_mtime == 1600000000);

    // The window's compress run over an existing output replaces it and leaves nothing else.
    writeFile(scratch / "a.txt.dz", {'o', 'l', 'd'});
    CHECK(scratch.run({"-k", "-f", "a.txt"}).exitCode == 0);
    CHECK(scratch.names() == (std::set<std::string>{"a.txt", "a.txt.dz"}));

    fs::rename(scratch / "a.txt.dz", scratch / "UPPER.TXT.DZ");
    fs::copy_file(scratch / "UPPER.TXT.DZ", scratch / "mixed.Dz");
    CHECK(scratch.run({"-f", "-d", "UPPER.TXT.DZ", "mixed.Dz"}).exitCode == 0);
    CHECK(readFile(scratch / "UPPER.TXT") == data && readFile(scratch / "mixed") == data);
    CHECK(scratch.names() == (std::set<std::string>{"a.txt", "UPPER.TXT", "mixed"}));

    // The header names the file without its folder.
    fs::create_directory(scratch / "my folder");
    writeFile(scratch / "my folder/en dict.dsl", data);
    CHECK(scratch.run({"-k", "-f", "my folder/en dict.dsl"}).exitCode == 0);
    r = scratch.run({"-l", "my folder/en dict.dsl.dz"});
    CHECK(r.exitCode == 0 && r.out.find(" en dict.dsl\n") != std::string::npos);
}

TEST(outputIsByteIdenticalToDebianDictzip)
{
    if (access(kDebianDictzip, X_OK) != 0)
        SKIP("Debian's dictzip is not installed");
    const Bytes rows[] = {
        {}, {'\n'}, testdata::text(58315), testdata::text(58316), testdata::text(700000, 2), testdata::random(200000)};
    Scratch scratch;
    fs::create_directory(scratch / "debian");
    for (const Bytes &data : rows) {
        const std::string size = std::to_string(data.size()) + " bytes";
        for (const char *dir : {".", "debian"}) {
            writeFile(scratch / dir / "dict.dsl", data);
            setModified(scratch / dir / "dict.dsl", 1234567890);
        }
        CHECK(scratch.run({"-k", "-f", "debian/dict.dsl"}, kDebianDictzip).exitCode == 0);
        const Bytes theirs = readFile(scratch / "debian/dict.dsl.dz");
        for (const char *threads : {"-j1", "-j3"}) {
            CHECK(scratch.run({"-k", "-f", threads, "dict.dsl"}).exitCode == 0);
            CHECK_MSG(readFile(scratch / "dict.dsl.dz") == theirs, size + " " + threads);
        }
        // And Debian's reader takes our file back (it refuses even its own empty file).
        if (data.empty())
            continue;
        fs::remove(scratch / "debian/dict.dsl");
        fs::copy_file(scratch / "dict.dsl.dz", scratch / "debian/dict.dsl.dz", fs::copy_options::overwrite_existing);
        CHECK(scratch.run({"-d", "-f", "debian/dict.dsl.dz"}, kDebianDictzip).exitCode == 0);
        CHECK_MSG(readFile(scratch / "debian/dict.dsl") == data, size);
    }
}

TEST(gzipReadsOurFilesAndWeReadGzipFiles)
{
    const char *const gzip = "/bin/gzip";
    if (access(gzip, X_OK) != 0)
        SKIP("gzip is not installed");
    Scratch scratch;
    const Bytes data = testdata::text(300000, 4);
    writeFile(scratch / "a.txt", data);
    CHECK(scratch.run({"-k", "a.txt"}).exitCode == 0);
    CHECK(scratch.run({"-dc", "a.txt.dz"}, gzip).bytes() == data);

    // A plain gzip file under a .dz name has no chunk table and is read all the same.
    writeFile(scratch / "g.txt.dz", scratch.run({"-9", "-c", "a.txt"}, gzip).bytes());
    CHECK(scratch.run({"-t", "g.txt.dz"}).exitCode == 0);
    CHECK(scratch.run({"-k", "-d", "g.txt.dz"}).exitCode == 0);
    CHECK(readFile(scratch / "g.txt") == data);

    // With one-byte chunks a 40,000-byte input needs two members.
    const Bytes small = testdata::text(40000, 6);
    writeFile(scratch / "m.txt", small);
    CHECK(scratch.run({"-k", "--chunk-length", "1", "m.txt"}).exitCode == 0);
    CHECK(scratch.run({"-l", "m.txt.dz"}).out.find("       2    40000          1 ") != std::string::npos);
    CHECK(scratch.run({"-dc", "m.txt.dz"}, gzip).bytes() == small);
    CHECK(scratch.run({"-s", "32700", "-e", "100", "m.txt.dz"}).bytes() == slice(small, 32700, 100));
}

TEST(failuresLeaveTheFolderAsItWas)
{
    const Bytes text = testdata::text(100000, 12), good = packed<Scratch>(text);
    auto cases = commonFailures<Scratch>(text, good);
    // clang-format off
    cases.insert(cases.end(), {
        {"fifo", {}, {"-f", "pipe"}, 2, [](Scratch &s) { mkfifo((s / "pipe").c_str(), 0644); }},
        {"device", {}, {"-f", "zero"}, 2, [](Scratch &s) { fs::create_symlink("/dev/zero", s / "zero"); }},
        {"file size limit", {{"r", testdata::random(1000000)}, {"r.dz", {'o', 'l', 'd'}}}, {"-f", "r"}, 4,
         [](Scratch &s) { s.fileSizeLimit = 300000; }},
        {"disk full on standard output", {{"g.dz", good}}, {"-d", "-c", "g.dz"}, 4,
         [](Scratch &s) { s.stdoutPath = "/dev/full"; }},
    });
    // clang-format on
    if (geteuid() != 0) // permissions do not stop root
        cases.push_back(
            {"unreadable input", {{"u", text}}, {"-f", "u"}, 2, [](Scratch &s) { chmod((s / "u").c_str(), 0); }});
    checkFailures(cases);
}

TEST(signalMidRunRemovesPartialOutputAndRestoresTheOld)
{
    Scratch scratch;
    checkStoppedMidRun(
        scratch, "SIGTERM", [](pid_t pid) { return kill(pid, SIGTERM) == 0; }, 143);
    checkStoppedMidRun(
        scratch, "SIGINT", [](pid_t pid) { return kill(pid, SIGINT) == 0; }, 130);
}

int main(int argc, char **argv) { return check::runAll(argc, argv); }
