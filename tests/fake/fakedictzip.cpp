// A stand-in for the dictzip compressor that tests put beside their executables.
// It does no compression; the test steers it.
//
// Environment (defaults for every run):
//   FAKEDICTZIP_LOG       append one line per run: the arguments joined by tabs
//   FAKEDICTZIP_VERSION   text printed for -V; "\0" and "\n" stand for a zero byte and a line end
//   FAKEDICTZIP_EXIT      exit code (default 0)
//   FAKEDICTZIP_SLEEP_MS  how long a run takes (default 0)
//   FAKEDICTZIP_BYTES     final size of the output file (default: the input's size)
//   FAKEDICTZIP_STEPS     in how many steps the output grows over the run (default 4)
//   FAKEDICTZIP_CRASH     when set to 1, the run ends by abort() after its sleep
//   FAKEDICTZIP_IGNORE_TERM  when set to 1, the run ignores SIGTERM (only SIGKILL stops it)
// A file "<input>.fake" beside the input overrides them for that input, one
// "key=value" per line with the keys exit, sleep_ms, bytes, steps, crash, ignore_term.
//
// Like the real tool it writes "<input>.dz", or the input without its ".dz" with -d,
// and removes the input after a successful run unless -k is given.

#include <cctype>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

long long envNumber(const char *name, long long fallback)
{
    const char *value = std::getenv(name);
    return value && *value ? std::atoll(value) : fallback;
}

std::string unescape(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '0' || text[i + 1] == 'n')) {
            out += text[i + 1] == '0' ? '\0' : '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool endsWithDz(const std::string &path)
{
    if (path.size() < 3)
        return false;
    std::string tail = path.substr(path.size() - 3);
    for (char &c : tail)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".dz";
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);

    if (const char *log = std::getenv("FAKEDICTZIP_LOG")) {
        std::ofstream out(log, std::ios::app);
        for (size_t i = 0; i < args.size(); ++i)
            out << (i ? "\t" : "") << args[i];
        out << '\n';
    }

    bool keep = false, decompress = false;
    std::string input;
    for (const std::string &arg : args) {
        if (arg == "-V") {
            const char *version = std::getenv("FAKEDICTZIP_VERSION");
            const std::string text = unescape(version ? version : "fakedictzip 1.0\\n");
            std::fwrite(text.data(), 1, text.size(), stdout);
            return int(envNumber("FAKEDICTZIP_EXIT", 0));
        }
        if (arg == "-k")
            keep = true;
        else if (arg == "-d")
            decompress = true;
        else if (arg != "-f")
            input = arg;
    }

    std::map<std::string, long long> settings = {
        {"exit", envNumber("FAKEDICTZIP_EXIT", 0)},    {"sleep_ms", envNumber("FAKEDICTZIP_SLEEP_MS", 0)},
        {"bytes", envNumber("FAKEDICTZIP_BYTES", -1)}, {"steps", envNumber("FAKEDICTZIP_STEPS", 4)},
        {"crash", envNumber("FAKEDICTZIP_CRASH", 0)},  {"ignore_term", envNumber("FAKEDICTZIP_IGNORE_TERM", 0)},
    };
    std::ifstream sidecar(input + ".fake");
    for (std::string line; std::getline(sidecar, line);) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos)
            settings[line.substr(0, eq)] = std::atoll(line.c_str() + eq + 1);
    }

    if (settings["ignore_term"])
        std::signal(SIGTERM, SIG_IGN);

    struct stat info = {};
    if (input.empty() || stat(input.c_str(), &info) != 0) {
        std::fprintf(stderr, "fakedictzip: cannot open %s\n", input.c_str());
        return settings["exit"] ? int(settings["exit"]) : 2;
    }

    const std::string output =
        decompress ? (endsWithDz(input) ? input.substr(0, input.size() - 3) : input) : input + ".dz";
    const long long bytes = settings["bytes"] >= 0 ? settings["bytes"] : (long long)info.st_size;
    const long long steps = settings["steps"] > 0 ? settings["steps"] : 1;
    const auto slice = std::chrono::milliseconds(settings["sleep_ms"] / steps);

    // Grow the output in steps; large sizes stay sparse so tests need no real disk space.
    FILE *file = std::fopen(output.c_str(), "wb");
    if (!file)
        return 3;
    for (long long step = 1; step <= steps; ++step) {
        std::this_thread::sleep_for(slice);
        if (ftruncate(fileno(file), bytes * step / steps) != 0)
            return 3;
    }
    std::fclose(file);

    if (settings["crash"])
        std::abort();
    const int code = int(settings["exit"]);
    if (code == 0 && !keep)
        std::remove(input.c_str());
    return code;
}
