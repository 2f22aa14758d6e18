// The dictzip program as the window and users run it: file handling, byte
// identity with Debian's dictzip, gzip interoperability, ranges, and every
// failure with its exit code and the folder checked afterwards.

#include "check.h"
#include "testdata.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

const char *const kProgram = DICTZIP_PROGRAM;
const char *const kDebianDictzip = "/usr/bin/dictzip";

struct RunOptions {
    std::string stdoutPath; // empty: captured
    long fileSizeLimit = -1;
};

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

Bytes readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path &path, const Bytes &data)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(data.data()), data.size());
}

void setModified(const fs::path &path, time_t seconds)
{
    struct utimbuf times = {seconds, seconds};
    utime(path.c_str(), &times);
}

// A scratch folder: `work` is where the tool runs, the rest holds captured output.
class Scratch {
public:
    Scratch()
    {
        char pattern[] = "/tmp/dictzip-test-XXXXXX";
        root_ = mkdtemp(pattern);
        fs::create_directory(work());
    }
    ~Scratch() { fs::remove_all(root_); }
    fs::path work() const { return root_ / "work"; }
    fs::path operator/(const std::string &name) const { return work() / name; }

    pid_t start(const std::vector<std::string> &args, const RunOptions &options = {}, const fs::path &tool = kProgram)
    {
        const fs::path out = options.stdoutPath.empty() ? root_ / "stdout" : fs::path(options.stdoutPath);
        const fs::path err = root_ / "stderr";
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(work().c_str()) != 0)
                _exit(126);
            const int outFile = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int errFile = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(outFile, 1);
            dup2(errFile, 2);
            if (options.fileSizeLimit >= 0) {
                struct rlimit limit = {rlim_t(options.fileSizeLimit), rlim_t(options.fileSizeLimit)};
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
    RunResult finish(pid_t pid, const RunOptions &options = {})
    {
        RunResult result;
        int status = 0;
        for (int waited = 0; waitpid(pid, &status, WNOHANG) == 0; ++waited) {
            if (!CHECK_MSG(waited < 6000, "the tool did not end within a minute")) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                break;
            }
            usleep(10000);
        }
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        if (options.stdoutPath.empty()) {
            const Bytes out = readFile(root_ / "stdout");
            result.out.assign(out.begin(), out.end());
        }
        const Bytes err = readFile(root_ / "stderr");
        result.err.assign(err.begin(), err.end());
        return result;
    }

    RunResult run(const std::vector<std::string> &args, const RunOptions &options = {}, const fs::path &tool = kProgram)
    {
        return finish(start(args, options, tool), options);
    }

    // Names and contents of everything in the work folder.
    std::map<std::string, Bytes> snapshot() const
    {
        std::map<std::string, Bytes> all;
        for (const auto &entry : fs::directory_iterator(work()))
            all[entry.path().filename()] = entry.is_regular_file() ? readFile(entry.path()) : Bytes{'?'};
        return all;
    }
    std::set<std::string> names() const
    {
        std::set<std::string> all;
        for (const auto &entry : fs::directory_iterator(work()))
            all.insert(entry.path().filename());
        return all;
    }

private:
    fs::path root_;
};

Bytes slice(const Bytes &data, uint64_t start, uint64_t length)
{
    if (start >= data.size())
        return {};
    return Bytes(data.begin() + start, data.begin() + std::min<uint64_t>(data.size(), start + length));
}

std::string gzipProgram()
{
    for (const char *path : {"/usr/bin/gzip", "/bin/gzip"})
        if (access(path, X_OK) == 0)
            return path;
    return {};
}

} // namespace

TEST(versionIsOneLineOnStandardOutput)
{
    Scratch scratch;
    const RunResult r = scratch.run({"-V"});
    CHECK(r.exitCode == 0);
    CHECK(r.out.rfind("dictzip ", 0) == 0 && r.out.find("zlib ") != std::string::npos);
    CHECK(r.out.find('\n') == r.out.size() - 1);
}

TEST(filesAreNamedKeptAndRemovedAsAsked)
{
    Scratch scratch;
    const Bytes data = testdata::text(200000);
    writeFile(scratch / "a.txt", data);
    setModified(scratch / "a.txt", 1600000000);
    chmod((scratch / "a.txt").c_str(), 0640);

    CHECK(scratch.run({"-f", "a.txt"}).exitCode == 0);
    CHECK(scratch.names() == std::set<std::string>{"a.txt.dz"});
    CHECK((fs::status(scratch / "a.txt.dz").permissions() & fs::perms::all) ==
          (fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read));

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

    fs::create_directory(scratch / "my folder");
    writeFile(scratch / "my folder/en dict.dsl", data);
    CHECK(scratch.run({"-k", "-f", "my folder/en dict.dsl"}).exitCode == 0);
    CHECK(scratch.run({"-t", "my folder/en dict.dsl.dz"}).exitCode == 0);
    const RunResult listed = scratch.run({"-l", "my folder/en dict.dsl.dz"});
    CHECK(listed.exitCode == 0 && listed.out.find(" en dict.dsl\n") != std::string::npos);
}

TEST(outputIsByteIdenticalToDebianDictzip)
{
    if (access(kDebianDictzip, X_OK) != 0)
        SKIP("Debian's dictzip is not installed");
    struct Row {
        const char *name;
        Bytes data;
    };
    const Row rows[] = {
        {"empty", {}},
        {"one byte", {'\n'}},
        {"one chunk", testdata::text(58315)},
        {"one chunk and a byte", testdata::text(58316)},
        {"many chunks", testdata::text(700000, 2)},
        {"random", testdata::random(200000)},
    };
    Scratch scratch;
    fs::create_directory(scratch / "debian");
    for (const Row &row : rows) {
        for (const char *dir : {".", "debian"}) {
            writeFile(scratch / dir / "dict.dsl", row.data);
            setModified(scratch / dir / "dict.dsl", 1234567890);
        }
        CHECK(scratch.run({"-k", "-f", "debian/dict.dsl"}, {}, kDebianDictzip).exitCode == 0);
        const Bytes theirs = readFile(scratch / "debian/dict.dsl.dz");
        for (const char *threads : {"-j1", "-j3"}) {
            CHECK(scratch.run({"-k", "-f", threads, "dict.dsl"}).exitCode == 0);
            CHECK_MSG(readFile(scratch / "dict.dsl.dz") == theirs, std::string(row.name) + " " + threads);
        }
        // And Debian's reader takes our file back (it refuses even its own empty file).
        if (row.data.empty())
            continue;
        fs::remove(scratch / "debian/dict.dsl");
        fs::copy_file(scratch / "dict.dsl.dz", scratch / "debian/dict.dsl.dz", fs::copy_options::overwrite_existing);
        CHECK(scratch.run({"-d", "-f", "debian/dict.dsl.dz"}, {}, kDebianDictzip).exitCode == 0);
        CHECK_MSG(readFile(scratch / "debian/dict.dsl") == row.data, row.name);
    }
}

TEST(gzipReadsOurFilesAndWeReadGzipFiles)
{
    const std::string gzip = gzipProgram();
    if (gzip.empty())
        SKIP("gzip is not installed");
    Scratch scratch;
    const Bytes data = testdata::text(300000, 4);
    writeFile(scratch / "a.txt", data);
    CHECK(scratch.run({"-k", "a.txt"}).exitCode == 0);
    RunResult r = scratch.run({"-dc", "a.txt.dz"}, {}, gzip);
    CHECK(r.exitCode == 0 && Bytes(r.out.begin(), r.out.end()) == data);

    // A plain gzip file under a .dz name has no chunk table and is read all the same.
    CHECK(scratch.run({"-9", "-c", "a.txt"}, {(scratch / "g.txt.dz").string()}, gzip).exitCode == 0);
    CHECK(scratch.run({"-t", "g.txt.dz"}).exitCode == 0);
    CHECK(scratch.run({"-k", "-d", "g.txt.dz"}).exitCode == 0);
    CHECK(readFile(scratch / "g.txt") == data);

    // With one-byte chunks a 40,000-byte input needs two members.
    const Bytes small = testdata::text(40000, 6);
    writeFile(scratch / "m.txt", small);
    CHECK(scratch.run({"-k", "--chunk-length", "1", "m.txt"}).exitCode == 0);
    r = scratch.run({"-l", "m.txt.dz"});
    CHECK(r.exitCode == 0 && r.out.find("       2    40000          1 ") != std::string::npos);
    r = scratch.run({"-dc", "m.txt.dz"}, {}, gzip);
    CHECK(r.exitCode == 0 && Bytes(r.out.begin(), r.out.end()) == small);
    r = scratch.run({"-s", "32700", "-e", "100", "m.txt.dz"});
    CHECK(r.exitCode == 0 && Bytes(r.out.begin(), r.out.end()) == slice(small, 32700, 100));
}

TEST(rangesFromTheCommandLine)
{
    Scratch scratch;
    const Bytes data = testdata::text(200000, 8);
    writeFile(scratch / "a.txt", data);
    CHECK(scratch.run({"-k", "a.txt"}).exitCode == 0);
    struct Row {
        std::vector<std::string> args;
        uint64_t start, length;
    };
    const Row rows[] = {
        {{"-s", "0", "-e", "1000"}, 0, 1000},
        {{"-s", "58000", "-e", "1000"}, 58000, 1000},        // across a chunk boundary
        {{"--start=199990", "--size=1000"}, 199990, 1000},   // cut at the end
        {{"-s300000", "-e10"}, 300000, 10},                  // past the end: nothing
        {{"-s", "150000"}, 150000, 1000000},                 // to the end
    };
    for (const Row &row : rows) {
        std::vector<std::string> args = row.args;
        args.push_back("a.txt.dz");
        const RunResult r = scratch.run(args);
        CHECK_MSG(r.exitCode == 0 && Bytes(r.out.begin(), r.out.end()) == slice(data, row.start, row.length),
                  row.args[0]);
    }
}

TEST(failuresLeaveTheFolderAsItWas)
{
    const Bytes text = testdata::text(100000, 12);
    const Bytes good = [&] {
        Scratch s;
        writeFile(s / "x", text);
        CHECK(s.run({"x"}).exitCode == 0);
        return readFile(s / "x.dz");
    }();
    auto damaged = [&](size_t at) {
        Bytes f = good;
        f[at] ^= 0x40;
        return f;
    };
    auto cut = [&](size_t size) { return Bytes(good.begin(), good.begin() + size); };

    struct Row {
        const char *name;
        std::function<void(Scratch &)> setup;
        std::vector<std::string> args;
        int exitCode;
        RunOptions options;
    };
    const bool root = geteuid() == 0;
    const Row rows[] = {
        {"missing input", [](Scratch &) {}, {"-k", "-f", "missing.txt"}, 2},
        {"directory", [](Scratch &s) { fs::create_directory(s / "folder"); }, {"-f", "folder"}, 2},
        {"fifo", [](Scratch &s) { mkfifo((s / "pipe").c_str(), 0644); }, {"-f", "pipe"}, 2},
        {"device", [](Scratch &s) { fs::create_symlink("/dev/zero", s / "zero"); }, {"-f", "zero"}, 2},
        {"output exists", [&](Scratch &s) { writeFile(s / "a", text); writeFile(s / "a.dz", {'o'}); }, {"a"}, 4},
        {"no .dz ending", [&](Scratch &s) { writeFile(s / "a.txt", good); }, {"-f", "-d", "a.txt"}, 2},
        {"output is a folder", [&](Scratch &s) { writeFile(s / "d.dz", good); fs::create_directory(s / "d"); },
         {"-f", "-d", "d.dz"}, 4},
        {"not gzip", [&](Scratch &s) { writeFile(s / "n.dz", text); }, {"-f", "-d", "n.dz"}, 3},
        {"empty .dz", [&](Scratch &s) { writeFile(s / "e.dz", {}); }, {"-d", "e.dz"}, 3},
        {"truncated over an old output", [&](Scratch &s) { writeFile(s / "t.dz", cut(good.size() - 9));
                                                           writeFile(s / "t", {'o', 'l', 'd'}); },
         {"-f", "-d", "t.dz"}, 3},
        {"truncated table", [&](Scratch &s) { writeFile(s / "t.dz", cut(30)); }, {"-d", "t.dz"}, 3},
        {"bad CRC", [&](Scratch &s) { writeFile(s / "c.dz", damaged(good.size() - 7)); }, {"-d", "c.dz"}, 3},
        {"bad size", [&](Scratch &s) { writeFile(s / "c.dz", damaged(good.size() - 3)); }, {"-d", "c.dz"}, 3},
        {"bad table", [&](Scratch &s) { writeFile(s / "b.dz", damaged(22)); }, {"-k", "-d", "b.dz"}, 3},
        {"bad chunk data", [&](Scratch &s) { writeFile(s / "b.dz", damaged(good.size() / 2)); }, {"-d", "b.dz"}, 3},
        {"test of a bad file", [&](Scratch &s) { writeFile(s / "c.dz", damaged(good.size() - 7)); }, {"-t", "c.dz"}, 3},
        {"unknown option", [](Scratch &) {}, {"--bogus", "a"}, 1},
        {"no file", [](Scratch &) {}, {"-k"}, 1},
        {"-c without -d", [&](Scratch &s) { writeFile(s / "a", text); }, {"-c", "a"}, 1},
        {"zero threads", [&](Scratch &s) { writeFile(s / "a", text); }, {"-j", "0", "a"}, 1},
        {"chunk too long", [&](Scratch &s) { writeFile(s / "a", text); }, {"--chunk-length=70000", "a"}, 1},
        {"two modes", [&](Scratch &s) { writeFile(s / "a.dz", good); }, {"-t", "-l", "a.dz"}, 1},
        {"file size limit", [&](Scratch &s) { writeFile(s / "r", testdata::random(1000000));
                                              writeFile(s / "r.dz", {'o', 'l', 'd'}); },
         {"-f", "r"}, 4, {"", 300000}},
        {"disk full on standard output", [&](Scratch &s) { writeFile(s / "g.dz", good); },
         {"-d", "-c", "g.dz"}, 4, {"/dev/full", -1}},
        {"unreadable input", [&](Scratch &s) { writeFile(s / "u", text); chmod((s / "u").c_str(), 0); },
         {"-f", "u"}, root ? 0 : 2},
    };
    for (const Row &row : rows) {
        if (row.exitCode == 0)
            continue; // permissions do not stop root
        Scratch scratch;
        row.setup(scratch);
        const auto before = scratch.snapshot();
        const RunResult r = scratch.run(row.args, row.options);
        CHECK_MSG(r.exitCode == row.exitCode, std::string(row.name) + ": exit " + std::to_string(r.exitCode));
        CHECK_MSG(scratch.snapshot() == before, row.name);
        const size_t lines = std::count(r.err.begin(), r.err.end(), '\n');
        CHECK_MSG(r.err.rfind("dictzip: ", 0) == 0 && lines == (row.exitCode == 1 ? 2u : 1u), row.name + (": " + r.err));
    }
}

TEST(signalMidRunRemovesPartialOutputAndRestoresTheOld)
{
    Scratch scratch;
    // Long enough that compressing it with one thread takes a good while.
    writeFile(scratch / "big.txt", testdata::text(60u << 20, 21));
    writeFile(scratch / "big.txt.dz", {'o', 'l', 'd'});
    const auto before = scratch.snapshot();
    for (const auto &[signalNumber, exitCode] : {std::pair{SIGTERM, 143}, std::pair{SIGINT, 130}}) {
        const pid_t pid = scratch.start({"-f", "-j1", "big.txt"});
        // Wait until the new output has grown past its header.
        bool grew = false;
        for (int i = 0; i < 2000 && !grew; ++i) {
            std::error_code error;
            grew = fs::file_size(scratch / "big.txt.dz", error) > 100000 && !error;
            if (!grew)
                usleep(5000);
        }
        CHECK(grew);
        kill(pid, signalNumber);
        const RunResult r = scratch.finish(pid);
        CHECK_MSG(r.exitCode == exitCode, std::to_string(r.exitCode) + " " + r.err);
        CHECK(r.err.find("big.txt: interrupted by SIG") != std::string::npos);
        CHECK(scratch.snapshot() == before);
    }
}

int main(int argc, char **argv) { return check::runAll(argc, argv); }
