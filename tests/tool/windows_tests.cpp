// What Windows changes for dictzip.exe: a UTF-16 command line, drive letters,
// backslashes and names outside any code page or past MAX_PATH, devices,
// binary standard output, the stop event; and the failures both systems share.

#include "driver.h"
#include "frontend.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

// The program sits in the build's bin folder, DICTZIP_RELATIVE away from us.
fs::path program()
{
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), DWORD(self.size())));
    return (fs::path(self).parent_path() / fs::u8path(DICTZIP_RELATIVE)).lexically_normal();
}

class Scratch : public Folder {
public:
    // In a process group of its own, so that Ctrl+Break reaches the tool alone.
    PROCESS_INFORMATION start(const Args &args)
    {
        // Quoted so that the C runtime splits it back; none of ours holds a quote or ends in a backslash.
        std::wstring commandLine = L"\"" + program().wstring() + L"\"";
        for (const std::string &a : args)
            commandLine += L" \"" + fs::u8path(a).wstring() + L"\"";
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        auto capture = [&](const char *name) {
            return CreateFileW((root_ / name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                               nullptr);
        };
        const HANDLE out = capture("stdout"), err = capture("stderr");
        STARTUPINFOW startup = {sizeof startup};
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = INVALID_HANDLE_VALUE, startup.hStdOutput = out, startup.hStdError = err;
        PROCESS_INFORMATION process = {};
        CHECK_MSG(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP, nullptr,
                                 work().c_str(), &startup, &process),
                  "cannot start " + fs::path(commandLine).u8string());
        return CloseHandle(out), CloseHandle(err), process;
    }

    // Waits at most a minute; a tool that hangs is ended and fails the check.
    RunResult finish(const PROCESS_INFORMATION &process)
    {
        if (!CHECK_MSG(WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0,
                       "the tool did not end within a minute")) {
            TerminateProcess(process.hProcess, 1000);
            WaitForSingleObject(process.hProcess, INFINITE);
        }
        DWORD exitCode = 0;
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread), CloseHandle(process.hProcess);
        return {int(exitCode), readFile<std::string>(root_ / "stdout"), readFile<std::string>(root_ / "stderr")};
    }

    RunResult run(const Args &args) { return finish(start(args)); }
};

} // namespace

TEST(windowsPathsRoundTrip)
{
    Scratch scratch;
    const std::string unicode = u8"W\u00f6rterbuch \u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac \U0001F600.dsl";
    fs::path deep = scratch / "my folder"; // deep enough that the full name passes the old 260-character limit
    for (fs::create_directories(deep); deep.wstring().size() < 300; CreateDirectoryW(longName(deep).c_str(), nullptr))
        deep /= L"a rather long folder name";
    // What the case is, where the input is, and how it is named to the tool.
    const std::tuple<std::string, fs::path, std::string> rows[] = {
        {"relative, backslash and blanks", scratch / "my folder" / "en dict.dsl", "my folder\\en dict.dsl"},
        {"drive letter, non-ASCII, past MAX_PATH", deep / fs::u8path(unicode), (deep / fs::u8path(unicode)).u8string()},
    };
    // Line ends and Ctrl+Z, which a text-mode standard output would rewrite.
    Bytes data = testdata::text(150000, 9, true);
    for (size_t i = 0; i < data.size(); i += 97)
        std::copy_n("\n\r\x1a", 3, data.begin() + i);
    for (const auto &[name, file, argument] : rows) {
        writeFile(file, data);
        CHECK_MSG(scratch.run({"-k", argument}).exitCode == 0 &&
                      GetFileAttributesW(longName(file).c_str()) != INVALID_FILE_ATTRIBUTES,
                  name);
        // The gzip header keeps the base name in UTF-8; the listing is text, with CRLF.
        const RunResult r = scratch.run({"-l", argument + ".dz"});
        CHECK_MSG(has(r.out, "  " + file.filename().u8string() + "\r\n"), name + r.out);
        CHECK_MSG(scratch.run({"-dc", argument + ".dz"}).bytes() == data, name);
        DeleteFileW(longName(file).c_str());
        CHECK_MSG(scratch.run({"-d", argument + ".dz"}).exitCode == 0 && readFile(file) == data, name);
        DeleteFileW(longName(file).c_str()); // the folder's own removal does not reach past MAX_PATH
    }
    for (; deep != scratch / "my folder"; deep = deep.parent_path())
        CHECK(RemoveDirectoryW(longName(deep).c_str()));
}

TEST(failuresLeaveTheFolderAsItWas) { checkFailures<Scratch>({{"device", {}, {"-f", "NUL"}, 2}}); }

// A window stops the tool through the named event.
TEST(stoppingMidRunRemovesPartialOutputAndRestoresTheOld)
{
    checkStoppedMidRun<Scratch>(
        "a stop request",
        [](const PROCESS_INFORMATION &process) {
            const HANDLE event =
                OpenEventW(EVENT_MODIFY_STATE, FALSE, dz::frontend::stopEventName(process.dwProcessId).c_str());
            const bool set = event && SetEvent(event);
            return CloseHandle(event), set;
        },
        143);
}
