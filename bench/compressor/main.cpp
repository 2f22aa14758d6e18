// Compressor benchmark. By default: our levels against our default on a real
// dictionary text of 40 MB or more (Debian's GCIDE from the package dict-gcide
// when it is installed, else manual pages and documentation from the installed
// packages), each one's size and its compression and decompression speed as
// ratios to the default's, measured in one run on 2 threads, and the chunks
// inflated by plain libdeflate outside our reader for comparison; then files of
// 20,000 small members tested, listed and decompressed, beside gzip -t on the
// same file. With --tools, also our dictzip against gzip -9, pigz -9 and Debian's
// dictzip on a ~200 MB corpus: throughput, peak memory and output size for
// compress, decompress and test, the cost of 1,000 random range extracts, and
// inflating with zlib against libdeflate in-process.
// It prints figures; it passes or fails nothing.
//
//   dictzip_bench [--tools] [--corpus-mb N] [--ranges N] [--threads N]

#include "io.h"
#include "reader.h"

#include <zlib.h>
#ifdef DICTZIP_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

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
    double cpuSeconds = 0; // user and system time of the process
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
    const double cpu =
        usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::fprintf(result, "%.6f %ld %d %.6f\n", seconds, usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : 255,
                 cpu);
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
        dup2(open("/dev/null", O_WRONLY), 2); // the notes of a multi-member file, for instance
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
        if (std::fscanf(result, "%lf %ld %d %lf", &m.seconds, &m.peakKb, &exitCode, &m.cpuSeconds) != 4)
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

// Our dictzip against gzip -9, pigz -9 and Debian's dictzip on a corpus of `corpusMb` MB.
void compareTools(const fs::path &cache, const std::string &ours, uint64_t corpusMb, int ranges)
{
    const fs::path corpus = cache / "corpus.txt";
    const uint64_t size = buildCorpus(corpus, corpusMb * 1000 * 1000);
    std::printf("corpus: %.1f MB at %s\n\n", size / 1e6, corpus.c_str());

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
}

// The dictionary text the levels are measured on: Debian's GCIDE when dict-gcide is
// installed, repeated from its start up to `minimum` bytes if it is shorter; else the corpus.
fs::path dictionaryText(const fs::path &cache, uint64_t minimum)
{
    const fs::path text = cache / "dictionary.txt", gcide = "/usr/share/dictd/gcide.dict.dz";
    if (fs::exists(text) && fs::file_size(text) >= minimum)
        return text;
    std::vector<char> data;
    if (fs::exists(gcide)) {
        gzFile in = gzopen(gcide.c_str(), "rb");
        char buffer[1 << 16];
        for (int n; in && (n = gzread(in, buffer, sizeof buffer)) > 0;)
            data.insert(data.end(), buffer, buffer + n);
        if (in)
            gzclose(in);
    }
    if (data.empty()) {
        std::printf(
            "dict-gcide is not installed (apt-get install dict-gcide): manual pages and documentation instead\n");
        buildCorpus(cache / "corpus.txt", minimum);
        return cache / "corpus.txt";
    }
    const size_t gcideSize = data.size();
    while (data.size() < minimum)
        data.insert(data.end(), data.begin(), data.begin() + std::min<size_t>(gcideSize, minimum - data.size()));
    std::ofstream(text, std::ios::binary).write(data.data(), data.size());
    std::printf("dictionary text: Debian's GCIDE, %.1f MB%s\n", gcideSize / 1e6,
                data.size() > gcideSize ? ", its start repeated up to the size" : "");
    return text;
}

// The best of `runs` runs, by wall-clock time; a failed run fails the measure.
Measure best(int runs, const std::vector<std::string> &args, const fs::path &dir, const char *out = "/dev/null")
{
    Measure least;
    for (int i = 0; i < runs; ++i) {
        const Measure m = runProgram(args, dir, out);
        if (!m.ok)
            return m;
        if (i == 0 || m.seconds < least.seconds)
            least = m;
    }
    return least;
}

// The chunks of a one-member file inflated by plain libdeflate in-process, outside
// our reader: each chunk's best of five, summed, in seconds (0 without libdeflate),
// so that a busy machine hardly shows. Beside our own -dc it tells the decoder's
// work on the data from our program's.
double plainInflate(const fs::path &file)
{
#ifdef DICTZIP_HAVE_LIBDEFLATE
    std::ifstream in(file, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    dz::MemorySource source(bytes);
    dz::MemberHeader header;
    if (!dz::parseHeader(source, 0, header).ok())
        return 0;
    libdeflate_decompressor *decompressor = libdeflate_alloc_decompressor();
    std::vector<uint8_t> chunk(dz::kMaxChunkCompressedSize + 2), out(header.chunkLength);
    double total = 0;
    uint64_t at = header.headerSize;
    for (const uint16_t size : header.chunkSizes) {
        std::memcpy(chunk.data(), bytes.data() + at, size);
        std::memcpy(chunk.data() + size, dz::kFinalBlock, 2); // as any reader ends a chunk
        at += size;
        double best = 0;
        for (int pass = 0; pass < 5; ++pass) {
            const auto t0 = std::chrono::steady_clock::now();
            size_t produced = 0;
            if (libdeflate_deflate_decompress(decompressor, chunk.data(), size + 2, out.data(), out.size(),
                                              &produced) != LIBDEFLATE_SUCCESS)
                return libdeflate_free_decompressor(decompressor), 0;
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            best = pass == 0 ? seconds : std::min(best, seconds);
        }
        total += best;
    }
    libdeflate_free_decompressor(decompressor);
    return total;
#else
    (void)file;
    return 0;
#endif
}

// Our levels against our default on `text`: size, compression and decompression speed as
// ratios to the default's, on `threads` threads, each the best of three runs (five to decompress).
void compareLevels(const fs::path &cache, const std::string &ours, const fs::path &text, unsigned threads)
{
    const uint64_t size = fs::file_size(text);
    const std::string j = "-j" + std::to_string(threads);
    const fs::path dir = cache / "levels";
    std::printf(
        "\nlevels on %.1f MB, %u threads, best of 3 runs (5 to decompress); speeds and sizes against the default's\n",
        size / 1e6, threads);
    std::printf("%-8s | %12s %7s | %9s %7s %9s | %9s %7s %9s %10s | %s\n", "level", "bytes", "size", "compress",
                "speed", "CPU", "decomp.", "speed", "CPU", "libdeflate", "round trip");
    Measure base, baseBack;
    uint64_t baseSize = 0;
    double basePlain = 0;
    for (const char *level : {"default", "-1", "-6", "-9", "-12"}) {
        placeCorpus(text, dir);
        std::vector<std::string> args = {ours, j, "-k", "-f"};
        if (std::strcmp(level, "default") != 0)
            args.push_back(level);
        const Measure packed = best(3, with(args, "corpus.txt"), dir);
        const uint64_t bytes = packed.ok ? fs::file_size(dir / "corpus.txt.dz") : 0;
        const Measure back = best(5, {ours, j, "-dc", "corpus.txt.dz"}, dir);
        runProgram({ours, j, "-dc", "corpus.txt.dz"}, dir, (dir / "unpack/corpus.txt").c_str());
        const bool same = packed.ok && back.ok && sameContent(dir / "unpack/corpus.txt", text) &&
                          runProgram({ours, j, "-t", "corpus.txt.dz"}, dir).ok &&
                          runProgram({"gzip", "-t", "corpus.txt.dz"}, dir).ok;
        const double plain = plainInflate(dir / "corpus.txt.dz");
        if (!baseSize)
            base = packed, baseBack = back, baseSize = bytes, basePlain = plain;
        std::printf("%-8s | %12llu %7.3f | %7.1f/s %6.2fx %8.2fx | %7.1f/s %6.2fx %8.2fx %9.2fx | %s\n", level,
                    static_cast<unsigned long long>(bytes), double(bytes) / double(baseSize),
                    mbPerSecond(size, packed.seconds), base.seconds / packed.seconds,
                    base.cpuSeconds / packed.cpuSeconds, mbPerSecond(size, back.seconds),
                    baseBack.seconds / back.seconds, baseBack.cpuSeconds / back.cpuSeconds,
                    plain > 0 ? basePlain / plain : 0.0, same ? "ok (ours -t, gzip -t)" : "FAILED");
        std::fflush(stdout);
    }
    std::printf(
        "(speeds in MB/s of input; the ratios are the default's time over this level's, wall clock and CPU;\n"
        " libdeflate: the same chunks inflated by plain libdeflate in-process, each its best of 5, outside our "
        "reader)\n");
}

// What one member costs: 20,000 small ones, tested, listed and decompressed by us,
// beside gzip -t on the same file, each the best of three runs.
void manyMembers(const fs::path &cache, const std::string &ours)
{
    const fs::path dir = cache / "members";
    fs::create_directories(dir);
    std::ofstream(dir / "empty").close();
    std::ofstream(dir / "line") << "headword\n  a line of its definition, as a dictionary has many\n";
    runProgram({ours, "-k", "-f", "empty"}, dir);
    runProgram({ours, "-k", "-f", "line"}, dir);
    runProgram({"sh", "-c", "gzip -n < empty > empty.gz"}, dir);
    std::printf("\n20,000 members in one file, seconds (ratio to gzip -t on the same file):\n");
    for (const auto &[label, member] : {std::pair{"empty dictzip members", "empty.dz"},
                                        {"dictzip members of one line", "line.dz"},
                                        {"empty gzip members", "empty.gz"}}) {
        std::ifstream in(dir / member, std::ios::binary);
        const std::vector<char> one((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream many(dir / "many.dz", std::ios::binary | std::ios::trunc);
        for (int i = 0; i < 20000; ++i)
            many.write(one.data(), one.size());
        many.close();
        const Measure gzipTest = best(3, {"gzip", "-t", "many.dz"}, dir);
        std::printf("  %-28s gzip -t %.3f", label, gzipTest.seconds);
        for (const char *mode : {"-t", "-l", "-dc"}) {
            const Measure m = best(3, {ours, mode, "many.dz"}, dir);
            std::printf(" | %s %.3f (%.2fx)%s", mode, m.seconds, m.seconds / gzipTest.seconds, m.ok ? "" : " FAILED");
        }
        std::printf("\n");
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 3 && !std::strcmp(argv[1], "--launch"))
        return launch(argv[2], argv + 3);
    uint64_t corpusMb = 200;
    int ranges = 1000;
    unsigned threads = 2;
    bool tools = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--tools"))
            tools = true;
        else if (i + 1 < argc && !std::strcmp(argv[i], "--corpus-mb"))
            corpusMb = std::strtoull(argv[++i], nullptr, 10);
        else if (i + 1 < argc && !std::strcmp(argv[i], "--ranges"))
            ranges = std::atoi(argv[++i]);
        else if (i + 1 < argc && !std::strcmp(argv[i], "--threads"))
            threads = static_cast<unsigned>(std::atoi(argv[++i]));
    }
    const fs::path cache = DICTZIP_BENCH_CACHE;
    const std::string ours = DICTZIP_PROGRAM;
    fs::create_directories(cache);
    resultPath = (cache / "measure").string();
    std::printf("%ld cores\n", sysconf(_SC_NPROCESSORS_ONLN));
    compareLevels(cache, ours, dictionaryText(cache, 40 * 1000 * 1000), threads);
    manyMembers(cache, ours);
    if (tools)
        compareTools(cache, ours, corpusMb, ranges);
    return 0;
}
