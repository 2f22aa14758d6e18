// A stand-in for dictzip: writes the output dictzip would, grown in steps as "<input>.fake"
// says (exit, sleep_ms, bytes, crash, ignore_term, say: printed on stderr, noise: a line of that
// many bytes on stderr first, -1 for one without end), in four steps, waits
// while "<input>.hold" exists, removes the input unless -k, and its partial output on
// SIGTERM (exit 143). FAKEDICTZIP_LOG gets each run's arguments, joined by tabs.

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

static std::string output;

int main(int argc, char **argv)
{
    bool keep = false, decompress = false;
    std::string input, line;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        line += (i > 1 ? "\t" : "") + arg;
        keep |= arg == "-k", decompress |= arg == "-d";
        input = arg[0] != '-' ? arg : input;
    }
    if (const char *log = std::getenv("FAKEDICTZIP_LOG"))
        std::ofstream(log, std::ios::app) << line << '\n';
    if (line == "-V")
        return std::puts("fake 1") < 0;

    std::map<std::string, std::string> text = {{"bytes", "-1"}};
    std::ifstream sidecar(input + ".fake");
    for (std::string entry; std::getline(sidecar, entry);)
        if (entry.find('=') != std::string::npos)
            text[entry.substr(0, entry.find('='))] = entry.substr(entry.find('=') + 1);
    const auto setting = [&](const char *key) { return std::atoll(text[key].c_str()); };
    struct stat info = {};
    if (input.empty() || stat(input.c_str(), &info) != 0)
        return 2;

    const bool dz = input.size() >= 3 && strcasecmp(input.c_str() + input.size() - 3, ".dz") == 0;
    output = decompress && dz ? input.substr(0, input.size() - 3) : input + ".dz";
    std::signal(
        SIGTERM, setting("ignore_term") ? SIG_IGN : [](int) { unlink(output.c_str()), _exit(143); });
    const long long bytes = setting("bytes") >= 0 ? setting("bytes") : (long long)info.st_size;
    const long long steps = 4;
    FILE *file = std::fopen(output.c_str(), "wb"); // sparse: large sizes take no disk
    for (long long left = setting("noise"), n = 0; left != 0; left -= left > 0 ? n : 0)
        n = left < 0 || left > 65536 ? 65536 : left, std::fwrite(std::string(n, 'x').data(), 1, n, stderr);
    for (long long step = 1; file && step <= steps; ++step) {
        std::this_thread::sleep_for(std::chrono::milliseconds(setting("sleep_ms") / steps));
        if (ftruncate(fileno(file), bytes * step / steps) != 0)
            return 3;
    }
    if (!file || std::fclose(file) != 0)
        return 3;
    for (int waited = 0; access((input + ".hold").c_str(), F_OK) == 0 && waited < 3000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::fputs(("\n" + text["say"] + "\n").c_str(), stderr); // blank lines are no message
    if (setting("crash"))
        std::abort();
    if (setting("exit") == 0 && !keep)
        std::remove(input.c_str());
    return int(setting("exit"));
}
