// Compressor benchmark: our dictzip against gzip -9, pigz -9 and Debian's
// dictzip on a ~200 MB corpus of real text (manual pages and documentation
// from the installed Debian packages). Prints throughput, peak memory and
// output size for compress, decompress and test, the cost of 1,000 random
// range extracts, inflating with zlib against libdeflate in-process, and
// testing a file of 20,000 empty members against gzip -t.
// It prints figures; it passes or fails nothing.
//
//   dictzip_bench [--corpus-mb N] [--ranges N]

#include "io.h"
#include "reader.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Measure {
    bool ok = false;
    double seconds = 0;
    long peakKb = 0;
};

// Runs args[0] as a child, waits for it and writes "seconds peak-kB exit-code"
// to `resultPath`. This runs in a freshly executed copy of the benchmark, so
// the child is forked from a small process: Linux carries the forking
// parent's peak memory over into the child's, even across exec.
int launch(const char *resultPath, char **args)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(args[0], args);
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    FILE *result = std::fopen(resultPath, "w");
    if (!result)
        return 1;
    std::fprintf(result, "%.6f %ld %d\n", seconds, usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : 255);
    std::fclose(result);
    return 0;
}

std::string resultPath;

// Runs a program in `dir` with standard output sent to `out`, and measures it.
Measure runProgram(const std::vector<std::string> &args, const fs::path &dir, const char *out = "/dev/null")
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0)
            _exit(126);
        const int fd = open(out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
        std::vector<char *> argv{const_cast<char *>("dictzip_bench"), const_cast<char *>("--launch"),
                                 const_cast<char *>(resultPath.c_str())};
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv("/proc/self/exe", argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    Measure m;
    int exitCode = -1;
    FILE *result = std::fopen(resultPath.c_str(), "r");
    if (result) {
        if (std::fscanf(result, "%lf %ld %d", &m.seconds, &m.peakKb, &exitCode) != 3)
            exitCode = -1;
        std::fclose(result);
    }
    m.ok = exitCode == 0;
    return m;
}

bool available(const std::string &program)
{
    return program.find('/') != std::string::npos ? access(program.c_str(), X_OK) == 0
                                                  : runProgram({"sh", "-c", "command -v " + program}, ".").ok;
}

bool looksLikeText(const std::vector<char> &data)
{
    return !data.empty() && std::find(data.begin(), data.begin() + std::min<size_t>(data.size(), 4096), '\0') ==
                                data.begin() + std::min<size_t>(data.size(), 4096);
}

std::vector<char> readMaybeGzipped(const fs::path &path)
{
    std::vector<char> data;
    if (path.extension() == ".gz") {
        gzFile in = gzopen(path.c_str(), "rb");
        if (!in)
            return data;
        char buffer[1 << 16];
        int n;
        while ((n = gzread(in, buffer, sizeof buffer)) > 0)
            data.insert(data.end(), buffer, buffer + n);
        gzclose(in);
    } else if (fs::file_size(path) < (8u << 20)) {
        std::ifstream in(path, std::ios::binary);
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return data;
}

// Gathers text from the installed packages into `corpus`, cached across runs.
uint64_t buildCorpus(const fs::path &corpus, uint64_t target)
{
    std::error_code error;
    if (fs::exists(corpus) && fs::file_size(corpus) == target)
        return target;
    std::vector<fs::path> files;
    for (const char *root :
         {"/usr/share/man", "/usr/share/doc", "/usr/share/info", "/usr/share/dict", "/usr/share/common-licenses"}) {
        for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error), end;
             !error && it != end; it.increment(error))
            if (it->is_regular_file(error) && !it->is_symlink(error))
                files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    std::ofstream out(corpus, std::ios::binary | std::ios::trunc);
    uint64_t written = 0;
    size_t used = 0;
    std::vector<char> all; // kept to repeat from when the machine has less text than asked for
    for (const fs::path &file : files) {
        if (written >= target)
            break;
        std::vector<char> data = readMaybeGzipped(file);
        if (!looksLikeText(data))
            continue;
        data.resize(std::min<uint64_t>(data.size(), target - written));
        out.write(data.data(), data.size());
        written += data.size();
        ++used;
        if (all.size() < (64u << 20))
            all.insert(all.end(), data.begin(), data.end());
    }
    std::printf("corpus: %zu files of text from /usr/share", used);
    if (written < target && !all.empty()) {
        std::printf(", repeated to reach the size");
        while (written < target) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(all.size(), target - written));
            out.write(all.data(), n);
            written += n;
        }
    }
    std::printf("\n");
    return written;
}

bool sameContent(const fs::path &a, const fs::path &b)
{
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::vector<char> p(1 << 20), q(1 << 20);
    for (;;) {
        x.read(p.data(), p.size());
        y.read(q.data(), q.size());
        if (x.gcount() != y.gcount() || std::memcmp(p.data(), q.data(), x.gcount()) != 0)
            return false;
        if (x.gcount() == 0)
            return true;
    }
}

struct Tool {
    std::string label;
    std::vector<std::string> compress; // the file name is appended
    std::vector<std::string> decompress;
    std::vector<std::string> test;
    std::string suffix;
};

struct Row {
    std::string label;
    Measure compress, decompress, test;
    uint64_t outputSize = 0;
    bool roundTrip = false;
};

void placeCorpus(const fs::path &corpus, const fs::path &dir)
{
    fs::remove_all(dir);
    fs::create_directories(dir / "unpack");
    std::error_code error;
    fs::create_hard_link(corpus, dir / "corpus.txt", error);
    if (error)
        fs::copy_file(corpus, dir / "corpus.txt");
}

std::vector<std::string> with(std::vector<std::string> args, const std::string &last)
{
    args.push_back(last);
    return args;
}

class CountingSink : public dz::ByteSink {
public:
    uint64_t count = 0;
    dz::Status write(const void *, size_t n) override
    {
        count += n;
        return {};
    }
};

double mbPerSecond(uint64_t bytes, double seconds) { return seconds > 0 ? bytes / 1e6 / seconds : 0; }

} // namespace

int main(int argc, char **argv)
{
    if (argc > 3 && !std::strcmp(argv[1], "--launch"))
        return launch(argv[2], argv + 3);
    uint64_t corpusMb = 200;
    int ranges = 1000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--corpus-mb"))
            corpusMb = std::strtoull(argv[i + 1], nullptr, 10);
        else if (!std::strcmp(argv[i], "--ranges"))
            ranges = std::atoi(argv[i + 1]);
    }
    const fs::path cache = DICTZIP_BENCH_CACHE;
    const std::string ours = DICTZIP_PROGRAM;
    fs::create_directories(cache);
    resultPath = (cache / "measure").string();
    const fs::path corpus = cache / "corpus.txt";
    const uint64_t size = buildCorpus(corpus, corpusMb * 1000 * 1000);
    const long cores = sysconf(_SC_NPROCESSORS_ONLN);
    std::printf("corpus: %.1f MB at %s; %ld cores\n\n", size / 1e6, corpus.c_str(), cores);

    std::vector<Tool> tools = {
        {"gzip -9", {"gzip", "-9", "-k", "-f"}, {"gzip", "-d", "-k", "-f"}, {"gzip", "-t"}, ".gz"},
        {"pigz -9", {"pigz", "-9", "-k", "-f"}, {"pigz", "-d", "-k", "-f"}, {"pigz", "-t"}, ".gz"},
        {"Debian dictzip",
         {"/usr/bin/dictzip", "-k", "-f"},
         {"/usr/bin/dictzip", "-d", "-k", "-f"},
         {"/usr/bin/dictzip", "-t"},
         ".dz"},
        {"ours, 1 thread", {ours, "-j1", "-k", "-f"}, {ours, "-j1", "-d", "-k", "-f"}, {ours, "-j1", "-t"}, ".dz"},
        {"ours, all cores", {ours, "-k", "-f"}, {ours, "-d", "-k", "-f"}, {ours, "-t"}, ".dz"},
    };

    std::vector<Row> rows;
    for (const Tool &tool : tools) {
        if (!available(tool.compress[0])) {
            std::printf("%s: not installed, left out\n", tool.label.c_str());
            continue;
        }
        Row row;
        row.label = tool.label;
        const fs::path dir = cache / ("run-" + std::to_string(rows.size()));
        placeCorpus(corpus, dir);
        const std::string packed = "corpus.txt" + tool.suffix;
        row.compress = runProgram(with(tool.compress, "corpus.txt"), dir);
        row.outputSize = row.compress.ok ? fs::file_size(dir / packed) : 0;
        fs::rename(dir / packed, dir / "unpack" / packed);
        row.decompress = runProgram(with(tool.decompress, packed), dir / "unpack");
        row.roundTrip = row.decompress.ok && sameContent(dir / "unpack/corpus.txt", corpus);
        fs::remove(dir / "unpack/corpus.txt");
        row.test = runProgram(with(tool.test, packed), dir / "unpack");
        std::printf("%-16s done\n", tool.label.c_str());
        std::fflush(stdout);
        rows.push_back(row);
    }

    std::printf("\n%-16s | %9s %8s %12s | %9s %8s | %9s %8s | %s\n", "", "compress", "peak", "output", "decomp.",
                "peak", "test", "peak", "round trip");
    std::printf("%-16s | %9s %8s %12s | %9s %8s | %9s %8s |\n", "tool", "MB/s", "MB", "bytes", "MB/s", "MB", "MB/s",
                "MB");
    for (const Row &r : rows)
        std::printf("%-16s | %9.1f %8.1f %12llu | %9.1f %8.1f | %9.1f %8.1f | %s\n", r.label.c_str(),
                    mbPerSecond(size, r.compress.seconds), r.compress.peakKb / 1024.0,
                    static_cast<unsigned long long>(r.outputSize), mbPerSecond(size, r.decompress.seconds),
                    r.decompress.peakKb / 1024.0, mbPerSecond(size, r.test.seconds), r.test.peakKb / 1024.0,
                    r.roundTrip && r.compress.ok && r.test.ok ? "ok" : "FAILED");

    // Our file against Debian's: same name and time, so byte identity can be asked for.
    const Row *debian = nullptr, *oursAll = nullptr;
    for (const Row &r : rows) {
        if (r.label == "Debian dictzip")
            debian = &r;
        if (r.label == "ours, all cores")
            oursAll = &r;
    }
    const fs::path ourFile = cache / ("run-" + std::to_string(rows.size() - 1)) / "unpack/corpus.txt.dz";
    if (debian && oursAll) {
        const fs::path theirFile = cache / ("run-" + std::to_string(debian - rows.data())) / "unpack/corpus.txt.dz";
        std::printf(
            "\nagainst Debian's dictzip: compression %.2fx its throughput, output %+.3f%% (%s), "
            "decompression %.2fx, test %.2fx\n",
            debian->compress.seconds / oursAll->compress.seconds,
            100.0 * (double(oursAll->outputSize) - double(debian->outputSize)) / double(debian->outputSize),
            sameContent(ourFile, theirFile) ? "byte-identical" : "different bytes",
            debian->decompress.seconds / oursAll->decompress.seconds, debian->test.seconds / oursAll->test.seconds);
    }

    // Range extracts: each one a whole process, against a process that does nothing.
    if (oursAll && ranges > 0) {
        const fs::path dir = ourFile.parent_path();
        std::mt19937_64 random(42);
        std::vector<uint64_t> starts(ranges);
        for (uint64_t &s : starts)
            s = random() % (size - 1000);
        auto timeRuns = [&](int count, auto argsFor) {
            Measure total;
            total.ok = true;
            for (int i = 0; i < count; ++i) {
                const Measure m = runProgram(argsFor(i), dir);
                total.ok = total.ok && m.ok;
                total.seconds += m.seconds;
                total.peakKb = std::max(total.peakKb, m.peakKb);
            }
            total.seconds /= count;
            return total;
        };
        const Measure start = timeRuns(ranges, [&](int) { return std::vector<std::string>{ours, "-V"}; });
        const Measure extract = timeRuns(ranges, [&](int i) {
            return std::vector<std::string>{ours, "-s", std::to_string(starts[i]), "-e", "1000", "corpus.txt.dz"};
        });
        std::printf(
            "\n%d random 1,000-byte extracts: %.2f ms each (peak %.1f MB)%s; starting the program "
            "(-V): %.2f ms; ratio %.2f\n",
            ranges, extract.seconds * 1e3, extract.peakKb / 1024.0, extract.ok ? "" : " FAILED", start.seconds * 1e3,
            extract.seconds / start.seconds);
        // Checks one extract against the corpus itself.
        runProgram({ours, "-s", std::to_string(starts[0]), "-e", "1000", "corpus.txt.dz"}, dir,
                   (cache / "extract").c_str());
        std::ifstream whole(corpus, std::ios::binary);
        std::vector<char> expected(1000), got(1000);
        whole.seekg(static_cast<std::streamoff>(starts[0]));
        whole.read(expected.data(), 1000);
        std::ifstream(cache / "extract", std::ios::binary).read(got.data(), 1000);
        std::printf("  extract content: %s\n", expected == got ? "matches the corpus" : "WRONG");
        if (debian) {
            const int count = std::min(ranges, 20);
            const Measure theirs = timeRuns(count, [&](int i) {
                return std::vector<std::string>{"/usr/bin/dictzip",        "-d", "-c",   "-s",
                                                std::to_string(starts[i]), "-e", "1000", "corpus.txt.dz"};
            });
            std::printf("  Debian's dictzip, %d of the same extracts: %.2f ms each (peak %.1f MB)\n", count,
                        theirs.seconds * 1e3, theirs.peakKb / 1024.0);
        }
    }

    // Where libdeflate pays: the same file inflated in-process, one thread.
    if (oursAll && dz::haveLibdeflate()) {
        std::ifstream in(ourFile, std::ios::binary);
        const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        dz::MemorySource source(file);
        std::printf("\ninflating in-process, 1 thread, from memory:");
        for (bool libdeflate : {false, true}) {
            dz::ReadSettings settings;
            settings.libdeflate = libdeflate;
            CountingSink sink;
            const auto t0 = std::chrono::steady_clock::now();
            const dz::Status s = dz::decompress(source, &sink, settings);
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            std::printf(" %s %.0f MB/s%s", libdeflate ? "libdeflate" : "zlib", mbPerSecond(sink.count, seconds),
                        s.ok() ? "" : " FAILED");
        }
        std::printf("\n");
    }

    // What one member costs: 20,000 empty ones, ours against gzip -t on the same file.
    if (available("gzip")) {
        const fs::path dir = cache / "members";
        fs::create_directories(dir);
        std::ofstream(dir / "empty").close();
        runProgram({ours, "-k", "-f", "empty"}, dir);
        const std::vector<char> one = readMaybeGzipped(dir / "empty.dz");
        std::ofstream many(dir / "many.dz", std::ios::binary | std::ios::trunc);
        for (int i = 0; i < 20000; ++i)
            many.write(one.data(), one.size());
        many.close();
        const Measure oursTest = runProgram({ours, "-t", "many.dz"}, dir);
        const Measure gzipTest = runProgram({"gzip", "-t", "many.dz"}, dir);
        std::printf("\n20,000 empty members, -t: ours %.3f s%s, gzip -t %.3f s%s; ratio %.2f\n", oursTest.seconds,
                    oursTest.ok ? "" : " FAILED", gzipTest.seconds, gzipTest.ok ? "" : " FAILED",
                    oursTest.seconds / gzipTest.seconds);
    }
    return 0;
}
