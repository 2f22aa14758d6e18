// A stand-in for our dictzip: writes the output dictzip would, grown in four steps as "<input>.fake" says (exit,
// sleep_ms, bytes, crash, ignore_term, say: printed on stderr with dictzip's hint, appear: an output was there,
// noise: a line of that many bytes on stderr first, -1 for one without end), each after a progress line if asked,
// waits while "<input>.hold" exists, removes the input unless -k, and its partial output on SIGTERM or its stop
// event on Windows (exit 143), putting back the output it moved to --replaced-to. Its version text goes on after a
// zero byte; with FAKEDICTZIP_FOREIGN set it speaks as another dictzip. FAKEDICTZIP_LOG gets each other run's
// arguments, joined by tabs.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include <strings.h>
#ifdef _WIN32
#include "frontend.h"
#include <windows.h>
#endif

static std::string output, aside;

// What a stopped or failed run leaves: the output it moved aside back in place, else no output.
static void undo()
{
    std::error_code error;
    aside.empty() ? void(std::filesystem::remove(output, error)) : std::filesystem::rename(aside, output, error);
}

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
    if (line == "-V") {
        const char *foreign = std::getenv("FAKEDICTZIP_FOREIGN");
        return (foreign && *foreign ? std::puts("fake 1") : std::printf("dictzip 1 (Lexpack)\n%cafter", 0)) < 0;
    }
    if (const char *log = std::getenv("FAKEDICTZIP_LOG"))
        std::ofstream(log, std::ios::app | std::ios::binary) << line << '\n';

    std::map<std::string, std::string> text = {{"bytes", "-1"}};
    std::ifstream sidecar(input + ".fake");
    for (std::string entry; std::getline(sidecar, entry);)
        text[entry.substr(0, entry.find('='))] = entry.substr(entry.find('=') + 1);
    const auto setting = [&](const char *key) { return std::atoll(text[key].c_str()); };
    std::error_code error;
    const auto size = std::filesystem::file_size(input, error);
    if (error)
        return 2;

    const bool dz = input.size() >= 3 && strcasecmp(input.c_str() + input.size() - 3, ".dz") == 0;
    output = decompress && dz ? input.substr(0, input.size() - 3) : input + ".dz";
    if (setting("appear"))
        std::ofstream(output) << "appeared";
    if (!aside.empty() && std::filesystem::exists(output) && std::rename(output.c_str(), aside.c_str()) != 0)
        return 4;
    const auto stopped = [](int) { undo(), std::_Exit(143); };
    std::signal(SIGTERM, setting("ignore_term") ? SIG_IGN : stopped);
#ifdef _WIN32 // asked to stop through the event that dictzip.exe watches; one ignoring it makes one nobody sees
    const std::wstring name = dz::frontend::stopEventName(GetCurrentProcessId());
    const HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, setting("ignore_term") ? nullptr : name.c_str());
    const auto sleep = [&](long long ms) {
        WaitForSingleObject(stop, DWORD(ms)) == WAIT_OBJECT_0 ? stopped(0) : void();
    };
#else
    const auto sleep = [](long long ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
#endif
    const long long bytes = setting("bytes") >= 0 ? setting("bytes") : (long long)size;
    if (!std::ofstream(output, std::ios::binary)) // resized in steps, sparse: large sizes take no disk
        return 3;
    for (long long left = setting("noise"), n = 0; left != 0; left -= left > 0 ? n : 0)
        n = left < 0 || left > 65536 ? 65536 : left, std::fwrite(std::string(n, 'x').data(), 1, n, stderr), sleep(0);
    for (long long step = 1; step <= 4; ++step) {
        if (progress)
            std::fprintf(stderr, "progress %lld %lld\n", (long long)size * (step - 1) / 4, (long long)size);
        sleep(setting("sleep_ms") / 4);
        std::filesystem::resize_file(output, bytes * step / 4, error);
        if (error)
            return 3;
    }
    for (int waited = 0; std::filesystem::exists(input + ".hold") && waited < 3000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // A blank line first ends any noise: blank lines are no message.
    std::fputs(text["say"].empty() ? "" : ("\n" + text["say"] + "\nTry 'dictzip -h' for help.\n").c_str(), stderr);
    if (setting("crash"))
#ifdef _WIN32 // as an access violation ends a program, with no debugger to start under wine
        TerminateProcess(GetCurrentProcess(), 0xC0000005);
#else
        std::abort();
#endif
    if (setting("exit") == 0 && !keep)
        std::remove(input.c_str());
    if (setting("exit") != 0 && !aside.empty())
        undo();
    return int(setting("exit"));
}
