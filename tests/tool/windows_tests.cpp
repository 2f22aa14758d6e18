// What Windows changes for dictzip.exe: a UTF-16 command line, drive letters,
// backslashes and names outside any code page or past MAX_PATH, devices,
// binary standard output, the stop event; and the failures both systems share.

#include "driver.h"
#include "stopevent.h"

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

// Quoted so that the C runtime splits the command line back into `argument`;
// none of ours holds a quote or ends in a backslash.
std::wstring quote(const std::wstring &argument)
{
    return argument.find_first_of(L" \t") == std::wstring::npos ? argument : L"\"" + argument + L"\"";
}

bool present(const fs::path &path) { return GetFileAttributesW(longName(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

class Scratch : public Folder {
public:
    // In a process group of its own, so that Ctrl+Break reaches the tool alone.
    PROCESS_INFORMATION start(const std::vector<std::string> &args)
    {
        std::wstring commandLine = quote(program().wstring());
        for (const std::string &a : args)
            commandLine += L" " + quote(fs::u8path(a).wstring());
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        auto capture = [&](const char *name) {
            return CreateFileW((root_ / name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                               nullptr);
        };
        const HANDLE out = capture("stdout"), err = capture("stderr");
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = INVALID_HANDLE_VALUE;
        startup.hStdOutput = out;
        startup.hStdError = err;
        PROCESS_INFORMATION process = {};
        CHECK_MSG(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP, nullptr,
                                 work().c_str(), &startup, &process),
                  "cannot start " + fs::path(commandLine).u8string());
        CloseHandle(out);
        CloseHandle(err);
        return process;
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
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return {int(exitCode), readFile<std::string>(root_ / "stdout"), readFile<std::string>(root_ / "stderr")};
    }

    RunResult run(const std::vector<std::string> &args) { return finish(start(args)); }
};

} // namespace

TEST(windowsPathsRoundTrip)
{
    Scratch scratch;
    const std::string unicode = u8"W\u00f6rterbuch \u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac \U0001F600.dsl";
    fs::path deep = scratch / "my folder"; // deep enough that the full name passes the old 260-character limit
    for (fs::create_directories(deep); deep.wstring().size() < 300; CreateDirectoryW(longName(deep).c_str(), nullptr))
        deep /= L"a rather long folder name";
    const struct {
        const char *name;
        fs::path file;        // where the input is
        std::string argument; // how it is named to the tool
    } rows[] = {
        {"relative, backslash and blanks", scratch / "my folder" / "en dict.dsl", "my folder\\en dict.dsl"},
        {"drive letter, non-ASCII, past MAX_PATH", deep / fs::u8path(unicode), (deep / fs::u8path(unicode)).u8string()},
    };
    // Line ends and Ctrl+Z, which a text-mode standard output would rewrite.
    Bytes data = testdata::text(150000, 9, true);
    for (size_t i = 0; i < data.size(); i += 97)
        std::copy_n("\n\r\x1a", 3, data.begin() + i);
    for (const auto &row : rows) {
        writeFile(row.file, data);
        CHECK_MSG(scratch.run({"-k", row.argument}).exitCode == 0 && present(row.file), row.name);
        // The gzip header keeps the base name in UTF-8; the listing is text, with CRLF.
        const RunResult r = scratch.run({"-l", row.argument + ".dz"});
        CHECK_MSG(r.out.find("  " + row.file.filename().u8string() + "\r\n") != std::string::npos, row.name + r.out);
        CHECK_MSG(scratch.run({"-dc", row.argument + ".dz"}).bytes() == data, row.name);
        DeleteFileW(longName(row.file).c_str());
        CHECK_MSG(scratch.run({"-d", row.argument + ".dz"}).exitCode == 0 && readFile(row.file) == data, row.name);
        DeleteFileW(longName(row.file).c_str()); // the folder's own removal does not reach past MAX_PATH
    }
    for (; deep != scratch / "my folder"; deep = deep.parent_path())
        CHECK(RemoveDirectoryW(longName(deep).c_str()));
}

TEST(failuresLeaveTheFolderAsItWas)
{
    auto cases = commonFailures<Scratch>();
    cases.push_back({"device", {}, {"-f", "NUL"}, 2});
    checkFailures(cases);
}

// A window stops the tool through the named event.
TEST(stoppingMidRunRemovesPartialOutputAndRestoresTheOld)
{
    checkStoppedMidRun<Scratch>(
        "a stop request",
        [](const PROCESS_INFORMATION &process) {
            const std::wstring name = dz::stopEventName(process.dwProcessId);
            const HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str());
            const bool set = event && SetEvent(event);
            return CloseHandle(event), set;
        },
        143);
}

int main(int argc, char **argv) { return check::runAll(argc, argv); }
