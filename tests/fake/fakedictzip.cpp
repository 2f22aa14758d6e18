// A stand-in for our dictzip: writes the output dictzip would, grown in four steps as "<input>.fake" says (exit,
// sleep_ms, bytes, crash, ignore_term, say: printed on stderr with dictzip's hint, appear: an output was there,
// noise: a line of that many bytes on stderr first, -1 for one without end), each after a progress line if asked,
// waits while "<input>.hold" exists, removes the input unless -k, and its partial output on SIGTERM (exit 143),
// putting back the output it moved to --replaced-to. Its version text goes on after a zero byte; with
// FAKEDICTZIP_FOREIGN set it speaks as another dictzip. FAKEDICTZIP_LOG gets each other run's arguments, joined by
// tabs.

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

static std::string output, aside;

int main(int argc, char **argv)
{
    bool keep = false, decompress = false, progress = false;
    std::string input, line;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        line += (i > 1 ? "\t" : "") + arg;
        keep |= arg == "-k", decompress |= arg == "-d", progress |= arg == "--progress";
        aside = arg == "--replaced-to" && i + 1 < argc ? argv[++i] : aside;
        input = arg[0] != '-' ? arg : input;
    }
    if (line == "-V")
        return (*(std::getenv("FAKEDICTZIP_FOREIGN") ?: "") ? std::puts("fake 1")
                                                            : std::printf("dictzip 1 (Lexpack)\n%cafter", 0))
            < 0;
    if (const char *log = std::getenv("FAKEDICTZIP_LOG"))
        std::ofstream(log, std::ios::app) << line << '\n';

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
    if (setting("appear"))
        std::ofstream(output) << "appeared";
    if (!aside.empty() && access(output.c_str(), F_OK) == 0 && std::rename(output.c_str(), aside.c_str()) != 0)
        return 4;
    std::signal(
        SIGTERM, setting("ignore_term") ? SIG_IGN : [](int) {
            aside.empty() ? unlink(output.c_str()) : std::rename(aside.c_str(), output.c_str());
            _exit(143);
        });
    const long long size = info.st_size, bytes = setting("bytes") >= 0 ? setting("bytes") : size;
    const long long steps = 4;
    FILE *file = std::fopen(output.c_str(), "wb"); // sparse: large sizes take no disk
    for (long long left = setting("noise"), n = 0; left != 0; left -= left > 0 ? n : 0)
        n = left < 0 || left > 65536 ? 65536 : left, std::fwrite(std::string(n, 'x').data(), 1, n, stderr);
    for (long long step = 1; file && step <= steps; ++step) {
        if (progress)
            std::fprintf(stderr, "progress %lld %lld\n", size * (step - 1) / steps, size);
        std::this_thread::sleep_for(std::chrono::milliseconds(setting("sleep_ms") / steps));
        if (ftruncate(fileno(file), bytes * step / steps) != 0)
            return 3;
    }
    if (!file || std::fclose(file) != 0)
        return 3;
    for (int waited = 0; access((input + ".hold").c_str(), F_OK) == 0 && waited < 3000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // A blank line first ends any noise: blank lines are no message.
    std::fputs(text["say"].empty() ? "" : ("\n" + text["say"] + "\nTry 'dictzip -h' for help.\n").c_str(), stderr);
    if (setting("crash"))
        std::abort();
    if (setting("exit") == 0 && !keep)
        std::remove(input.c_str());
    if (setting("exit") != 0 && !aside.empty())
        std::rename(aside.c_str(), output.c_str());
    return int(setting("exit"));
}
