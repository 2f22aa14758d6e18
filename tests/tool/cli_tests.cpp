// The dictzip program as the window and users run it: file handling, ranges,
// the listing, byte identity with Debian's dictzip, gzip reading our members,
// and every failure with its exit code and the folder checked afterwards.

#include "driver.h"

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

namespace {

void setModified(const fs::path &path, time_t seconds)
{
    struct utimbuf times = {seconds, seconds};
    utime(path.c_str(), &times);
}

class Scratch : public Folder {
public:
    std::string stdoutPath; // for the runs to come; empty: captured
    long fileSizeLimit = -1;

    pid_t start(const std::vector<std::string> &args, const char *tool = DICTZIP_PROGRAM)
    {
        const fs::path out = stdoutPath.empty() ? root_ / "stdout" : fs::path(stdoutPath), err = root_ / "stderr";
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
            dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            struct rlimit limit = {rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
            if (fileSizeLimit >= 0 && setrlimit(RLIMIT_FSIZE, &limit) == 0)
                signal(SIGXFSZ, SIG_IGN); // so writes fail with EFBIG instead
            std::vector<char *> argv{const_cast<char *>(tool)};
            for (const std::string &a : args)
                argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            if (chdir(work().c_str()) == 0)
                execv(tool, argv.data());
            _exit(127);
        }
        return pid;
    }

    // Waits at most a minute; a tool that hangs is killed and fails the check.
    RunResult finish(pid_t pid)
    {
        int status = 0;
        for (int waited = 0; waitpid(pid, &status, WNOHANG) == 0; ++waited, usleep(10000))
            if (!CHECK_MSG(waited < 6000, "the tool did not end within a minute"))
                kill(pid, SIGKILL);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status),
                stdoutPath.empty() ? readFile<std::string>(root_ / "stdout") : "",
                readFile<std::string>(root_ / "stderr")};
    }

    RunResult run(const std::vector<std::string> &args, const char *tool = DICTZIP_PROGRAM)
    {
        return finish(start(args, tool));
    }
};

} // namespace

TEST(filesAreNamedKeptAndRemovedAsAsked)
{
    Scratch s;
    CHECK(s.run({"-V"}).out.rfind("dictzip ", 0) == 0);
    const Bytes data = testdata::text(200000);
    writeFile(s / "a.txt", data);
    setModified(s / "a.txt", 1600000000);
    chmod((s / "a.txt").c_str(), 0640);
    CHECK(s.run({"-f", "a.txt"}).exitCode == 0 && s.snapshot().size() == 1);
    CHECK((fs::status(s / "a.txt.dz").permissions() & fs::perms::all) ==
          (fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read));
    CHECK(s.run({"-s", "58000", "-e", "1000", "a.txt.dz"}).bytes() == slice(data, 58000, 1000));
    CHECK(s.run({"--start=199990", "--size=1000", "a.txt.dz"}).bytes() == slice(data, 199990, 1000));

    // The listing: members, chunks, chunk length, sizes, the share saved and the stored name.
    const auto packed = fs::file_size(s / "a.txt.dz");
    char line[200];
    std::snprintf(line, sizeof line, "%8u %8u %10u %14llu %14u %6.1f%%  a.txt\n", 1, 4, 58315,
                  (unsigned long long)packed, 200000, 100.0 * (1 - packed / 200000.0));
    fs::create_directory(s / "my folder");
    fs::copy_file(s / "a.txt.dz", s / "my folder/b.dz");
    CHECK_MSG(s.run({"-l", "my folder/b.dz"}).out.find(line) != std::string::npos, line);

    // The window's progress lines: how far the input is read, out of its size.
    CHECK(s.run({"--progress", "-k", "-f", "-d", "a.txt.dz"}).err.find(" " + std::to_string(packed) + "\n") !=
          std::string::npos);
    CHECK(readFile(s / "a.txt") == data);
    struct stat st;
    CHECK(stat((s / "a.txt").c_str(), &st) == 0 && st.st_mtime == 1600000000);
    // The window's compress run over an existing output replaces it and leaves nothing else.
    writeFile(s / "a.txt.dz", {'o', 'l', 'd'});
    CHECK(s.run({"-k", "-f", "a.txt"}).exitCode == 0 && s.snapshot().size() == 4);
    fs::rename(s / "a.txt.dz", s / "UPPER.TXT.DZ");
    CHECK(s.run({"-f", "-d", "UPPER.TXT.DZ"}).exitCode == 0 && readFile(s / "UPPER.TXT") == data);

    // With one-byte chunks 40,000 bytes need two members, which gzip reads as one stream.
    writeFile(s / "m.txt", slice(data, 0, 40000));
    CHECK(s.run({"-k", "--chunk-length", "1", "m.txt"}).exitCode == 0);
    CHECK(s.run({"-dc", "m.txt.dz"}, "/bin/gzip").bytes() == slice(data, 0, 40000));
}

TEST(outputIsByteIdenticalToDebianDictzip)
{
    Scratch s;
    fs::create_directory(s / "debian");
    for (const Bytes &data :
         {Bytes{}, testdata::text(58316), testdata::text(700000, 2), testdata::text(200000, 7, true)}) {
        for (const char *name : {"dict.dsl", "debian/dict.dsl"}) {
            writeFile(s / name, data);
            setModified(s / name, 1234567890);
        }
        CHECK(s.run({"-k", "-f", "debian/dict.dsl"}, "/usr/bin/dictzip").exitCode == 0);
        for (const char *threads : {"-j1", "-j3"}) {
            CHECK(s.run({"-k", "-f", threads, "dict.dsl"}).exitCode == 0);
            CHECK_MSG(readFile(s / "dict.dsl.dz") == readFile(s / "debian/dict.dsl.dz"), threads);
        }
    }
}

TEST(failuresLeaveTheFolderAsItWas)
{
    const Bytes text = testdata::text(100000, 12);
    Bytes good;
    auto cases = commonFailures<Scratch>(text, good);
    cases.insert(cases.end(),
                 {
                     {"fifo", {}, {"-f", "pipe"}, 2, [](Scratch &s) { mkfifo((s / "pipe").c_str(), 0644); }},
                     {"device", {}, {"-f", "zero"}, 2, [](Scratch &s) { fs::create_symlink("/dev/zero", s / "zero"); }},
                     {"file size limit",
                      {{"r", testdata::text(1000000, 7, true)}, {"r.dz", {'o', 'l', 'd'}}},
                      {"-f", "r"},
                      4,
                      [](Scratch &s) { s.fileSizeLimit = 300000; }},
                     {"disk full on standard output",
                      {{"g.dz", good}},
                      {"-d", "-c", "g.dz"},
                      4,
                      [](Scratch &s) { s.stdoutPath = "/dev/full"; }},
                 });
    if (geteuid() != 0) // permissions do not stop root
        cases.push_back(
            {"unreadable input", {{"u", text}}, {"-f", "u"}, 2, [](Scratch &s) { chmod((s / "u").c_str(), 0); }});
    checkFailures(cases);
}

TEST(signalMidRunRemovesPartialOutputAndRestoresTheOld)
{
    checkStoppedMidRun<Scratch>(
        "SIGTERM", [](pid_t pid) { return kill(pid, SIGTERM) == 0; }, 143);
    checkStoppedMidRun<Scratch>(
        "SIGINT", [](pid_t pid) { return kill(pid, SIGINT) == 0; }, 130);
}

int main(int argc, char **argv) { return check::runAll(argc, argv); }
