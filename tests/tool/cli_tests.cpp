// The dictzip program as the window and users run it: file handling, ranges,
// the listing, times and owners, gzip reading our members, stops, and every
// failure with its exit code and the folder checked afterwards.

#include "driver.h"

#include <csignal>
#include <sstream>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

namespace {

struct stat statOf(const fs::path &path)
{
    struct stat st = {};
    return stat(path.c_str(), &st), st;
}

class Scratch : public Folder {
public:
    uid_t user = 0; // runs the tool as this user; 0: as we are

    pid_t start(const Args &args, const char *tool = DICTZIP_PROGRAM)
    {
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(open((root_ / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
            dup2(open((root_ / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            std::vector<char *> argv{const_cast<char *>(tool)};
            for (const std::string &a : args)
                argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            if ((!user || setuid(user) == 0) && chdir(work().c_str()) == 0)
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
                readFile<std::string>(root_ / "stdout"), readFile<std::string>(root_ / "stderr")};
    }

    RunResult run(const Args &args, const char *tool = DICTZIP_PROGRAM) { return finish(start(args, tool)); }
};

} // namespace

TEST(filesAreNamedKeptAndRemovedAsAsked)
{
    Scratch s;
    const Bytes data = testdata::text(200000);
    writeFile(s / "a.txt", data);
    CHECK(s.run({"-f", "a.txt"}).exitCode == 0 && s.snapshot().size() == 1);
    CHECK(s.run({"-s", "58000", "--size=1000", "a.txt.dz"}).bytes() == slice(data, 58000, 1000));
    // The listing: members, chunks, chunk length, sizes and the stored name.
    const std::string packed = std::to_string(fs::file_size(s / "a.txt.dz"));
    const std::string listed = s.run({"-l", "a.txt.dz"}).out;
    std::istringstream row(listed.substr(listed.find('\n') + 1));
    const Args fields{std::istream_iterator<std::string>(row), {}};
    CHECK_MSG(fields.size() == 7 && fields == Args({"1", "4", "58315", packed, "200000", fields[5], "a.txt"}), listed);
    // The window's progress lines: how far the input is read, out of its size, at last all of it.
    CHECK(has(s.run({"--progress", "-k", "-f", "-d", "a.txt.dz"}).err, "progress " + packed + " " + packed + "\n"));
    CHECK(readFile(s / "a.txt") == data);
    // Ranges of a plain gzip file of two members: within the first, past its start, and across both.
    CHECK(s.run({"-c", "gzip -c a.txt a.txt >a.txt.gz"}, "/bin/sh").exitCode == 0);
    Bytes twice = data;
    twice.insert(twice.end(), data.begin(), data.end());
    for (const uint64_t start : {58000, 190000})
        CHECK(s.run({"-s", std::to_string(start), "-e", "70000", "a.txt.gz"}).bytes() == slice(twice, start, 70000));
    fs::remove(s / "a.txt.gz"); // --best packs smaller than the default
    CHECK(s.run({"-k", "-f", "--best", "a.txt"}).exitCode == 0 &&
          fs::file_size(s / "a.txt.dz") < std::stod(packed) * 0.97);
    // The window's compress run over an existing output replaces it and leaves nothing else.
    writeFile(s / "a.txt.dz", {'o', 'l', 'd'});
    const RunResult packing = s.run({"--progress", "-k", "-f", "a.txt"});
    CHECK(packing.exitCode == 0 && s.snapshot().size() == 2 && has(packing.err, "progress 200000 200000\n"));

    // One member holds 32,762 one-byte chunks; more only when asked, and said so.
    writeFile(s / "m.txt", slice(data, 0, 32762));
    CHECK(s.run({"-f", "--chunk-length", "1", "m.txt"}).exitCode == 0);
    writeFile(s / "m.txt", slice(data, 0, 32763));
    CHECK(s.run({"-k", "-f", "--chunk-length", "1", "--multi-member", "m.txt"}).exitCode == 0);
    CHECK(s.run({"-dc", "m.txt.dz"}, "/bin/gzip").bytes() == slice(data, 0, 32763));
    for (const char *mode : {"-t", "-l"})
        CHECK_MSG(has(s.run({mode, "m.txt.dz"}).err, "m.txt.dz: multi-member file (2 members)"), mode);
    // A hostile stored name reaches the terminal escaped.
    const std::string hostile = "e\x1b[2J\x7f\xc2\x9b\xff\n";
    writeFile(s / hostile, data);
    CHECK(s.run({hostile}).exitCode == 0 &&
          has(s.run({"-l", hostile + ".dz"}).out, "  e\\x1b[2J\\x7f\\xc2\\x9b\\xff\\x0a\n"));
}

// gzip stores times from 1970 to 2106, others as 0 with a warning, and those
// restore nothing; the .dz gets the input's time. Run as root, outputs get the
// input's owner, set-id bits and all.
TEST(timesAndOwnersCarryOver)
{
    Scratch s;
    const bool root = geteuid() == 0;
    for (const int64_t when : {int64_t(1600000000), int64_t(-157766400), int64_t(7258118400)}) {
        writeFile(s / "t", {'x'});
        const utimbuf times = {time_t(when), time_t(when)};
        CHECK(utime((s / "t").c_str(), &times) == 0);
        CHECK(!root || (chown((s / "t").c_str(), 65534, 65534) == 0 && chmod((s / "t").c_str(), 04755) == 0));
        const bool storable = when == 1600000000;
        const RunResult r = s.run({"-f", "t"});
        CHECK_MSG(r.exitCode == 0 && statOf(s / "t.dz").st_mtime == when &&
                      (storable || slice(readFile(s / "t.dz"), 4, 4) == Bytes(4, 0)) &&
                      has(r.err, "t: modification time out of range, not stored") != storable,
                  std::to_string(when) + r.err);
        const time_t before = time(nullptr);
        const struct stat st = (s.run({"-d", "t.dz"}), statOf(s / "t"));
        CHECK(storable ? st.st_mtime == when : st.st_mtime + 1 >= before);
        CHECK(!root || (st.st_uid == 65534 && st.st_gid == 65534 && (st.st_mode & 07777) == 04755));
    }
    // Reproducible headers (flags, time, XFL): SOURCE_DATE_EPOCH caps the stored time,
    // -n stores neither name nor time, and XFL marks the fastest and the slowest levels.
    const std::tuple<const char *, const char *, Bytes> headers[] = {
        {"SOURCE_DATE_EPOCH=1500000000", "-9", {0x0c, 0x00, 0x2f, 0x68, 0x59, 2}},
        {"SOURCE_DATE_EPOCH=1700000000", "-1", {0x0c, 0x00, 0x10, 0x5e, 0x5f, 4}},
        {"SOURCE_DATE_EPOCH=", "-n", {0x04, 0, 0, 0, 0, 2}},
        {"SOURCE_DATE_EPOCH=soon", "-k", {}}};
    for (const auto &[epoch, option, header] : headers) {
        writeFile(s / "t", {'x'});
        const utimbuf times = {1600000000, 1600000000};
        const RunResult r =
            (utime((s / "t").c_str(), &times), s.run({epoch, DICTZIP_PROGRAM, "-f", option, "t"}, "/usr/bin/env"));
        CHECK_MSG(header.empty() ? r.exitCode == 1 : r.exitCode == 0 && slice(readFile(s / "t.dz"), 3, 6) == header,
                  epoch + r.err);
    }
    if (!root)
        return void(std::printf("  owners skipped: not run as root\n"));
    // Run by nobody, root's set-user-id file cannot keep its owner, so the bit goes.
    writeFile(s / "r", {'x'});
    CHECK(chmod((s / "r").c_str(), 04755) == 0 && chmod(s.work().c_str(), 0777) == 0);
    s.user = 65534;
    CHECK(s.run({"-k", "r"}).exitCode == 0 && (statOf(s / "r.dz").st_mode & 07777) == 0755);
}

// A stop before the output is committed (or before the handlers are in place)
// leaves the input and no output; one after it leaves a success.
TEST(aLateStopDoesNotUndoACommittedRun)
{
    Scratch s;
    const Bytes data = testdata::text(4u << 20, 3);
    // Held by strace for a while after filling in the table, its last write before the commit,
    // a run still takes a stop as a stop.
    writeFile(s / "h", slice(data, 0, 100000));
    const pid_t tracer =
        s.start({"-qq", "-o", "/dev/null", "-e", "inject=pwrite64:delay_exit=3000000", DICTZIP_PROGRAM, "h"},
                "/usr/bin/strace");
    Bytes table;
    for (int i = 0; i < 2000 && (table.size() < 2 || (table[0] | table[1]) == 0); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5)), table = slice(readFile(s / "h.dz"), 22, 2);
    const std::string traced = "/proc/" + std::to_string(tracer) + "/task/" + std::to_string(tracer) + "/children";
    const pid_t tool = std::atoi(readFile<std::string>(traced).c_str());
    CHECK(tool > 0 && kill(tool, SIGTERM) == 0);
    CHECK(s.finish(tracer).exitCode == 143 && s.snapshot().size() == 1 && fs::exists(s / "h"));
    writeFile(s / "k", data);
    CHECK(s.run({"k"}).exitCode == 0);
    const Bytes packed = readFile(s / "k.dz");
    const auto t0 = std::chrono::steady_clock::now();
    CHECK(s.run({"-d", "k.dz"}).exitCode == 0);
    const auto step = (std::chrono::steady_clock::now() - t0) / 25; // the stops spread over a run and past it
    for (int i = 0; i < 40; ++i) {
        fs::remove(s / "k");
        writeFile(s / "k.dz", packed);
        const pid_t pid = s.start({"-d", "k.dz"});
        std::this_thread::sleep_for(step * i);
        kill(pid, SIGTERM);
        const RunResult r = s.finish(pid);
        CHECK_MSG(r.exitCode == 0 ? !fs::exists(s / "k.dz") && readFile(s / "k") == data && r.err.empty()
                                  : (r.exitCode == 143 || r.exitCode == 1000 + SIGTERM) && fs::exists(s / "k.dz") &&
                                        !fs::exists(s / "k"),
                  std::to_string(i) + ": exit " + std::to_string(r.exitCode) + " " + r.err);
    }
}

TEST(failuresLeaveTheFolderAsItWas)
{
    checkFailures<Scratch>({{"fifo", {}, {"-f", "p"}, 2, [](const Folder &s) { mkfifo((s / "p").c_str(), 0644); }}});
}

TEST(signalMidRunRemovesPartialOutputAndRestoresTheOld)
{
    for (const int signal : {SIGTERM, SIGINT})
        checkStoppedMidRun<Scratch>(
            signal == SIGTERM ? "SIGTERM" : "SIGINT", [signal](pid_t pid) { return kill(pid, signal) == 0; },
            128 + signal);
}
