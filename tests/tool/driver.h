#pragma once
// What the Linux and the Windows drivers of the dictzip program share: files,
// a scratch folder, the failures both systems meet alike, and a run stopped
// midway. Each driver derives a Scratch from Folder that starts the program
// its own way: start(args), finish(process) and run(args) giving a RunResult.

#include "check.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <thread>
#include <tuple>

namespace fs = std::filesystem;
using testdata::slice;
using Args = std::vector<std::string>;

struct RunResult {
    int exitCode = -1;
    std::string out, err;
    Bytes bytes() const { return Bytes(out.begin(), out.end()); }
};

inline bool has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }
inline Bytes flipped(Bytes data, size_t at) { return data[at] ^= 0x40, data; }

// Our own file access reaches past MAX_PATH on Windows, whatever the system's long-path setting.
inline fs::path longName(const fs::path &path)
{
#ifdef _WIN32
    if (path.is_absolute())
        return L"\\\\?\\" + fs::path(path).make_preferred().wstring();
#endif
    return path;
}

template <class Container = Bytes> Container readFile(const fs::path &path)
{
    std::ifstream in(longName(path), std::ios::binary);
    return Container(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const fs::path &path, const Bytes &data)
{
    std::ofstream(longName(path), std::ios::binary).write(reinterpret_cast<const char *>(data.data()), data.size());
}

// A new folder under the system's temporary one: the program runs in `work`,
// and its captured output goes beside it.
class Folder {
public:
    Folder() { fs::create_directories(work()); }
    ~Folder()
    {
        std::error_code error;
        for (const auto &entry : fs::recursive_directory_iterator(root_, error)) // Windows keeps read-only files
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, error);
        fs::remove_all(root_, error);
    }
    fs::path work() const { return root_ / "work"; }
    fs::path operator/(const std::string &utf8Name) const { return work() / fs::u8path(utf8Name); }

    // Every name under `work` with its contents and permissions.
    std::map<fs::path, Bytes> snapshot() const
    {
        std::map<fs::path, Bytes> all;
        for (const auto &entry : fs::recursive_directory_iterator(work())) {
            Bytes &content = all[entry.path()];
            content = entry.is_regular_file() ? readFile(entry.path()) : Bytes{};
            content.push_back(uint8_t(entry.status().permissions()));
        }
        return all;
    }

protected:
    const fs::path root_ =
        fs::temp_directory_path() /
        ("dictzip-test-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
};

// A failure: files put in the folder first (a name ending in '/' is a folder),
// anything else to arrange, the arguments, and the exit code.
struct FailureCase {
    const char *name;
    std::vector<std::pair<std::string, Bytes>> files;
    Args args;
    int exitCode;
    std::function<void(const Folder &)> arrange = nullptr;
};

// The failures of both systems and then `own`. Each ends with its exit code,
// one line "dictzip: ..." (usage errors add a line of help), and the folder
// exactly as it was.
template <class Scratch> void checkFailures(const std::vector<FailureCase> &own)
{
    Scratch s;
    const Bytes text = testdata::text(100000, 12), old = {'o', 'l', 'd'};
    writeFile(s / "x", text);
    CHECK(s.run({"x"}).exitCode == 0);
    const Bytes good = readFile(s / "x.dz");
    std::vector<FailureCase> cases = {
        {"missing input", {}, {"-k", "-f", "missing.txt"}, 2},
        {"directory", {{"folder/", {}}}, {"-f", "folder"}, 2},
        {"output exists", {{"a", text}, {"a.dz", old}}, {"a"}, 4},
        {"no .dz ending", {{"a.txt", good}}, {"-f", "-d", "a.txt"}, 2},
        {"output is a folder", {{"d.dz", good}, {"d/", {}}}, {"-f", "-d", "d.dz"}, 4},
        {"not gzip", {{"n.dz", text}}, {"-f", "-d", "n.dz"}, 3},
        {"empty .dz", {{"e.dz", {}}, {"e", old}}, {"-f", "-d", "e.dz"}, 3},
        {"cut short, over a read-only file",
         {{"t.dz", slice(good, 0, good.size() - 9)}, {"t", old}},
         {"-f", "-d", "t.dz"},
         3,
         [](const Folder &s) { fs::permissions(s / "t", fs::perms::owner_read); }},
        {"bad CRC", {{"c.dz", flipped(good, good.size() - 7)}, {"c", old}}, {"-f", "-d", "--replaced-to=o", "c.dz"}, 3},
        {"replaced file's place taken", {{"a", text}, {"a.dz", old}, {"o", old}}, {"-f", "--replaced-to=o", "a"}, 4},
        {"test of bad chunk data", {{"b.dz", flipped(good, good.size() / 2)}}, {"-t", "b.dz"}, 3},
        {"unknown option", {}, {"--bogus", "a"}, 1},
        {"more than one member holds", {{"a", slice(text, 0, 32763)}}, {"--chunk-length", "1", "a"}, 2},
    };
    cases.insert(cases.end(), own.begin(), own.end());
    for (const auto &c : cases) {
        Scratch scratch;
        for (const auto &[name, data] : c.files)
            name.back() == '/' ? void(fs::create_directory(scratch / name)) : writeFile(scratch / name, data);
        if (c.arrange)
            c.arrange(scratch);
        const auto before = scratch.snapshot();
        const RunResult r = scratch.run(c.args);
        const size_t lines = std::count(r.err.begin(), r.err.end(), '\n');
        CHECK_MSG(r.exitCode == c.exitCode && scratch.snapshot() == before && r.err.rfind("dictzip: ", 0) == 0 &&
                      lines == (c.exitCode == 1 ? 2u : 1u),
                  c.name + (": exit " + std::to_string(r.exitCode) + ", " + r.err));
    }
}

// Packs a large file over an old output with one thread, stops the program
// once the new output has grown, and checks that the folder is as it was.
template <class Scratch, class Stop> void checkStoppedMidRun(const std::string &how, Stop stop, int exitCode)
{
    Scratch scratch;
    writeFile(scratch / "big.txt", testdata::text(60u << 20, 21));
    writeFile(scratch / "big.txt.dz", {'o', 'l', 'd'});
    const auto before = scratch.snapshot();
    const auto process = scratch.start({"-f", "-j1", "big.txt"});
    std::error_code error;
    for (int i = 0; i < 2000 && !(fs::file_size(scratch / "big.txt.dz", error) > 100000 && !error); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    CHECK_MSG(stop(process), how);
    const RunResult r = scratch.finish(process);
    CHECK_MSG(r.exitCode == exitCode && has(r.err, "big.txt: interrupted by " + how) && scratch.snapshot() == before,
              how + ": " + std::to_string(r.exitCode) + " " + r.err);
}
