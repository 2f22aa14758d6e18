// A stand-in for the dictzip compressor that tests put beside their executables. It does
// no compression: like the real tool it writes "<input>.dz", or the input without its
// ".dz" with -d, grows that file while it works, removes the input after a successful run
// unless -k is given, and on SIGTERM removes its partial output and exits with 143.
//
// FAKEDICTZIP_LOG names a file that gets one line per run, the arguments joined by tabs;
// FAKEDICTZIP_VERSION is printed for -V ("\0" and "\n" stand for a zero byte and a line
// end). A file "<input>.fake" steers the run on that input, one "key=value" a line: exit
// (code), sleep_ms (length of the run), bytes (final size, default the input's), steps
// (of growth, default 4), crash (abort at the end), ignore_term (only SIGKILL stops it),
// say (a line printed last on standard error). While "<input>.hold" exists the run waits
// (at most 30 s) before it ends. With --progress, each step of growth begins with a line
// "progress <bytes read> <input size>" on standard error, the last one short of the end.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string output;

void stopped(int)
{
    unlink(output.c_str());
    _exit(143);
}

} // namespace

int main(int argc, char **argv)
{
    bool keep = false, decompress = false, progress = false;
    std::string input, line;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        line += (i > 1 ? "\t" : "") + arg;
        keep = keep || arg == "-k";
        decompress = decompress || arg == "-d";
        progress = progress || arg == "--progress";
        if (arg[0] != '-')
            input = arg;
    }
    if (const char *log = std::getenv("FAKEDICTZIP_LOG"))
        std::ofstream(log, std::ios::app) << line << '\n';
    if (line == "-V") {
        const std::string text = std::getenv("FAKEDICTZIP_VERSION") ? std::getenv("FAKEDICTZIP_VERSION") : "fake 1\\n";
        for (size_t i = 0; i < text.size(); ++i) {
            const bool escape = text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '0' || text[i + 1] == 'n');
            std::putchar(escape ? (text[++i] == '0' ? '\0' : '\n') : text[i]);
        }
        return 0;
    }

    std::map<std::string, std::string> text = {{"bytes", "-1"}, {"steps", "4"}};
    std::ifstream sidecar(input + ".fake");
    for (std::string entry; std::getline(sidecar, entry);) {
        if (entry.find('=') != std::string::npos)
            text[entry.substr(0, entry.find('='))] = entry.substr(entry.find('=') + 1);
    }
    std::map<std::string, long long> settings;
    for (const auto &[key, value] : text)
        settings[key] = std::atoll(value.c_str());
    struct stat info
    {
    };
    if (input.empty() || stat(input.c_str(), &info) != 0)
        return 2;

    const bool dz = input.size() >= 3 && strcasecmp(input.c_str() + input.size() - 3, ".dz") == 0;
    output = decompress && dz ? input.substr(0, input.size() - 3) : input + ".dz";
    std::signal(SIGTERM, settings["ignore_term"] ? SIG_IGN : stopped);
    const long long bytes = settings["bytes"] >= 0 ? settings["bytes"] : (long long)info.st_size;
    const long long steps = settings["steps"] > 0 ? settings["steps"] : 1;
    // Large sizes stay sparse, so tests need no real disk space.
    FILE *file = std::fopen(output.c_str(), "wb");
    for (long long step = 1; file && step <= steps; ++step) {
        if (progress)
            std::fprintf(stderr, "progress %lld %lld\n", (long long)info.st_size * (step - 1) / steps,
                         (long long)info.st_size);
        std::this_thread::sleep_for(std::chrono::milliseconds(settings["sleep_ms"] / steps));
        if (ftruncate(fileno(file), bytes * step / steps) != 0)
            return 3;
    }
    if (!file || std::fclose(file) != 0)
        return 3;
    for (int waited = 0; access((input + ".hold").c_str(), F_OK) == 0 && waited < 3000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    if (!text["say"].empty())
        std::fprintf(stderr, "%s\n", text["say"].c_str());
    if (settings["crash"])
        std::abort();
    if (settings["exit"] == 0 && !keep)
        std::remove(input.c_str());
    return int(settings["exit"]);
}
