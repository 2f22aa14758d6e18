// dictzip.exe as Windows runs it: a UTF-16 command line, drive letters,
// backslashes, blanks and names outside any code page, read-only files, files
// held open by other programs, binary standard output, the stop event and
// Ctrl+Break; failures with their exit codes and the folder checked afterwards.

#include "check.h"
#include "testdata.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

std::string utf8(const std::wstring &wide)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), text.data(), size, nullptr, nullptr);
    return text;
}

// The program sits in the build's bin folder, DICTZIP_RELATIVE away from us.
fs::path program()
{
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), DWORD(self.size())));
    return (fs::path(self).parent_path() / fs::u8path(DICTZIP_RELATIVE)).lexically_normal();
}

// Quoted so that the C runtime splits the command line back into `argument`.
std::wstring quote(const std::wstring &argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

// Our own file access goes through the \\?\ form, so that it reaches past
// MAX_PATH whatever the system's long-path setting.
std::wstring longName(const fs::path &path)
{
    return path.is_absolute() ? L"\\\\?\\" + path.wstring() : path.wstring();
}

Bytes readFile(const fs::path &path)
{
    Bytes data;
    const HANDLE file = CreateFileW(longName(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return data;
    uint8_t block[65536];
    DWORD got = 0;
    while (ReadFile(file, block, sizeof block, &got, nullptr) && got > 0)
        data.insert(data.end(), block, block + got);
    CloseHandle(file);
    return data;
}

void writeFile(const fs::path &path, const Bytes &data)
{
    const HANDLE file = CreateFileW(longName(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    CHECK_MSG(file != INVALID_HANDLE_VALUE && WriteFile(file, data.data(), DWORD(data.size()), &written, nullptr) &&
                  written == data.size(),
              "cannot write " + path.u8string());
    CloseHandle(file);
}

bool present(const fs::path &path) { return GetFileAttributesW(longName(path).c_str()) != INVALID_FILE_ATTRIBUTES; }
bool readOnly(const fs::path &path) { return GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY; }
void setReadOnly(const fs::path &path) { SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY); }

// Removes read-only files too, and names past MAX_PATH (given in the \\?\ form).
void removeTree(const std::wstring &path)
{
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &entry)) {
        const std::wstring name = entry.cFileName, child = path + L"\\" + name;
        if (name == L"." || name == L"..")
            continue;
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            removeTree(child);
        else
            DeleteFileW(child.c_str());
    }
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
    RemoveDirectoryW(path.c_str());
}

struct RunResult {
    DWORD exitCode = DWORD(-1);
    std::string out, err;
};

// A scratch folder under %TEMP%: the tool runs in `work`, its output goes beside it.
class Scratch {
public:
    Scratch()
    {
        static int counter = 0;
        root_ = fs::temp_directory_path() /
                (L"dictzip-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter));
        fs::create_directories(work());
    }
    ~Scratch() { removeTree(longName(root_)); }
    fs::path work() const { return root_ / L"work"; }
    fs::path operator/(const std::wstring &name) const { return work() / name; }

    PROCESS_INFORMATION start(const std::vector<std::wstring> &args, DWORD flags = 0)
    {
        std::wstring commandLine = quote(program().wstring());
        for (const std::wstring &a : args)
            commandLine += L" " + quote(a);
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        const HANDLE out = CreateFileW((root_ / L"stdout").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                       CREATE_ALWAYS, 0, nullptr);
        const HANDLE err = CreateFileW((root_ / L"stderr").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                       CREATE_ALWAYS, 0, nullptr);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = INVALID_HANDLE_VALUE;
        startup.hStdOutput = out;
        startup.hStdError = err;
        PROCESS_INFORMATION process = {};
        CHECK_MSG(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr,
                                 work().c_str(), &startup, &process),
                  "cannot start " + utf8(commandLine));
        CloseHandle(out);
        CloseHandle(err);
        return process;
    }

    // Waits at most a minute; a tool that hangs is ended and fails the check.
    RunResult finish(const PROCESS_INFORMATION &process)
    {
        RunResult result;
        if (!CHECK_MSG(WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0,
                       "the tool did not end within a minute")) {
            TerminateProcess(process.hProcess, 1000);
            WaitForSingleObject(process.hProcess, INFINITE);
        }
        GetExitCodeProcess(process.hProcess, &result.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        const Bytes out = readFile(root_ / L"stdout"), err = readFile(root_ / L"stderr");
        result.out.assign(out.begin(), out.end());
        result.err.assign(err.begin(), err.end());
        return result;
    }

    RunResult run(const std::vector<std::wstring> &args) { return finish(start(args)); }

    // Everything under `work`, folders included, with contents and read-only flags.
    std::map<std::wstring, Bytes> snapshot() const
    {
        std::map<std::wstring, Bytes> all;
        for (const auto &entry : fs::recursive_directory_iterator(work())) {
            Bytes content = entry.is_regular_file() ? readFile(entry.path()) : Bytes{'/'};
            content.push_back(readOnly(entry.path()) ? 'r' : 'w');
            all[entry.path().lexically_relative(work()).wstring()] = content;
        }
        return all;
    }

private:
    fs::path root_;
};

} // namespace

TEST(windowsPathsRoundTrip)
{
    Scratch scratch;
    const std::wstring unicode = L"W\u00f6rterbuch \u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac "
                                 L"\u65e5\u672c\u8a9e \U0001F600.dsl";
    fs::create_directories(scratch / L"my folder");
    // Deep enough that the full name passes the old 260-character limit.
    fs::path deep = scratch.work();
    while (deep.wstring().size() < 300) {
        deep /= L"a rather long folder name";
        CreateDirectoryW(longName(deep).c_str(), nullptr);
    }

    struct Row {
        const char *name;
        fs::path file;        // where the input is
        std::wstring argument; // how it is named to the tool
    };
    const std::wstring absolute = (scratch / unicode).wstring();
    std::wstring forward = (scratch / L"forward.dsl").wstring();
    std::replace(forward.begin(), forward.end(), L'\\', L'/');
    const Row rows[] = {
        {"relative, backslash and blanks", scratch / L"my folder" / L"en dict.dsl", L"my folder\\en dict.dsl"},
        {"drive letter, non-ASCII", scratch / unicode, absolute},
        {"relative, non-ASCII", scratch / L"my folder" / unicode, L".\\my folder\\" + unicode},
        {"forward slashes", scratch / L"forward.dsl", forward},
        {"longer than MAX_PATH", deep / unicode, (deep / unicode).wstring()},
    };
    const Bytes data = testdata::text(150000, 3);
    for (const Row &row : rows) {
        writeFile(row.file, data);
        fs::path packed = row.file;
        packed += L".dz";
        RunResult r = scratch.run({L"-k", row.argument});
        CHECK_MSG(r.exitCode == 0 && present(packed) && present(row.file), row.name + (": " + r.err));
        // The gzip header keeps the base name in UTF-8; the listing is text, with CRLF.
        r = scratch.run({L"-l", row.argument + L".dz"});
        CHECK_MSG(r.exitCode == 0 && r.out.find("  " + utf8(row.file.filename().wstring()) + "\r\n") != std::string::npos,
                  row.name + (": " + r.out));
        DeleteFileW(longName(row.file).c_str());
        r = scratch.run({L"-d", row.argument + L".dz"});
        CHECK_MSG(r.exitCode == 0 && readFile(row.file) == data && !present(packed), row.name + (": " + r.err));
    }
}

TEST(replacingKeepsNothingBehindAndReadOnlyFilesGoLikeOthers)
{
    Scratch scratch;
    const Bytes data = testdata::text(100000, 5);
    writeFile(scratch / L"a.dsl", data);
    writeFile(scratch / L"a.dsl.dz", {'o', 'l', 'd'});
    CHECK(scratch.run({L"-k", L"-f", L"a.dsl"}).exitCode == 0);
    CHECK(scratch.snapshot().size() == 2 && readFile(scratch / L"a.dsl.dz").size() > 3);

    // A read-only input is removed as unlink would, and its output is read-only too.
    setReadOnly(scratch / L"a.dsl");
    RunResult r = scratch.run({L"-f", L"a.dsl"});
    CHECK_MSG(r.exitCode == 0 && !present(scratch / L"a.dsl") && readOnly(scratch / L"a.dsl.dz"), r.err);

    // Unpacking over a read-only file replaces it, and the read-only .dz goes.
    writeFile(scratch / L"a.dsl", {'o', 'l', 'd'});
    setReadOnly(scratch / L"a.dsl");
    r = scratch.run({L"-f", L"-d", L"A.DSL.DZ"});
    CHECK_MSG(r.exitCode == 0 && readFile(scratch / L"A.DSL") == data, r.err);
    CHECK(scratch.snapshot().size() == 1);
}

TEST(standardOutputIsBinary)
{
    Scratch scratch;
    // Line ends and Ctrl+Z would be rewritten by a text-mode stream.
    Bytes data = testdata::random(70000, 9);
    for (size_t i = 0; i < data.size(); i += 97) {
        data[i] = '\n';
        data[i + 1] = '\r';
        data[i + 2] = 0x1a;
    }
    writeFile(scratch / L"b.bin", data);
    CHECK(scratch.run({L"-k", L"b.bin"}).exitCode == 0);
    RunResult r = scratch.run({L"-d", L"-c", L"b.bin.dz"});
    CHECK(r.exitCode == 0 && Bytes(r.out.begin(), r.out.end()) == data);
    r = scratch.run({L"-s", L"58000", L"-e", L"1000", L"b.bin.dz"});
    CHECK(r.exitCode == 0 && Bytes(r.out.begin(), r.out.end()) == Bytes(data.begin() + 58000, data.begin() + 59000));
}

TEST(failuresLeaveTheFolderAsItWas)
{
    const Bytes text = testdata::text(100000, 12);
    const Bytes good = [&] {
        Scratch s;
        writeFile(s / L"x", text);
        CHECK(s.run({L"x"}).exitCode == 0);
        return readFile(s / L"x.dz");
    }();
    auto damaged = [&](size_t at) {
        Bytes f = good;
        f[at] ^= 0x40;
        return f;
    };
    struct Row {
        const char *name;
        std::function<void(Scratch &)> setup;
        std::vector<std::wstring> args;
        DWORD exitCode;
        const wchar_t *held = nullptr; // open in another program meanwhile,
        DWORD heldShare = 0;           // which shares it this way
    };
    const Row rows[] = {
        {"missing input", [](Scratch &) {}, {L"-k", L"-f", L"missing.txt"}, 2},
        {"missing folder", [](Scratch &) {}, {L"-f", L"Q:\\no\\such\\folder\\a.txt"}, 2},
        {"directory", [](Scratch &s) { fs::create_directory(s / L"folder"); }, {L"-f", L"folder"}, 2},
        {"device", [](Scratch &) {}, {L"-f", L"NUL"}, 2},
        {"wildcard in the name", [](Scratch &) {}, {L"-f", L"a*.txt"}, 2},
        {"output exists", [&](Scratch &s) { writeFile(s / L"a", text); writeFile(s / L"a.dz", {'o'}); }, {L"a"}, 4},
        {"output held open", [&](Scratch &s) { writeFile(s / L"a", text); writeFile(s / L"a.dz", {'o'}); },
         {L"-f", L"a"}, 4, L"a.dz", FILE_SHARE_READ},
        {"input held open", [&](Scratch &s) { writeFile(s / L"a", text); }, {L"-f", L"a"}, 2, L"a", 0},
        {"no .dz ending", [&](Scratch &s) { writeFile(s / L"a.txt", good); }, {L"-f", L"-d", L"a.txt"}, 2},
        {"output is a folder", [&](Scratch &s) { writeFile(s / L"d.dz", good); fs::create_directory(s / L"d"); },
         {L"-f", L"-d", L"d.dz"}, 4},
        {"not gzip", [&](Scratch &s) { writeFile(s / L"n.dz", text); }, {L"-f", L"-d", L"n.dz"}, 3},
        {"truncated over a read-only old output",
         [&](Scratch &s) { writeFile(s / L"t.dz", Bytes(good.begin(), good.end() - 9));
                           writeFile(s / L"t", {'o', 'l', 'd'}); setReadOnly(s / L"t"); },
         {L"-f", L"-d", L"t.dz"}, 3},
        {"bad chunk data", [&](Scratch &s) { writeFile(s / L"b.dz", damaged(good.size() / 2)); }, {L"-d", L"b.dz"}, 3},
        {"unknown option", [](Scratch &) {}, {L"--bogus", L"a"}, 1},
    };
    for (const Row &row : rows) {
        Scratch scratch;
        row.setup(scratch);
        const auto before = scratch.snapshot();
        HANDLE held = INVALID_HANDLE_VALUE;
        if (row.held)
            held = CreateFileW((scratch / row.held).c_str(), GENERIC_READ, row.heldShare, nullptr, OPEN_EXISTING, 0,
                               nullptr);
        const RunResult r = scratch.run(row.args);
        if (row.held)
            CHECK_MSG(held != INVALID_HANDLE_VALUE && CloseHandle(held), row.name);
        CHECK_MSG(r.exitCode == row.exitCode, std::string(row.name) + ": exit " + std::to_string(r.exitCode));
        CHECK_MSG(scratch.snapshot() == before, row.name);
        const size_t lines = std::count(r.err.begin(), r.err.end(), '\n');
        CHECK_MSG(r.err.rfind("dictzip: ", 0) == 0 && lines == (row.exitCode == 1 ? 2u : 1u), row.name + (": " + r.err));
    }
}

// A window stops the tool through the named event; a console user through Ctrl+Break.
bool setStopEvent(DWORD pid)
{
    const std::wstring name = L"Local\\dictzip-stop-" + std::to_wstring(pid);
    const HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str());
    const bool set = event && SetEvent(event);
    if (event)
        CloseHandle(event);
    return set;
}

bool sendCtrlBreak(DWORD pid) { return GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, pid); }

TEST(stoppingMidRunRemovesPartialOutputAndRestoresTheOld)
{
    struct Row {
        const char *name;
        bool (*stop)(DWORD pid);
        const char *message;
        bool needsConsole;
    };
    const Row rows[] = {
        {"stop event", setStopEvent, "big.txt: interrupted by a stop request", false},
        {"Ctrl+Break", sendCtrlBreak, "big.txt: interrupted by Ctrl+Break", true},
    };
    Scratch scratch;
    writeFile(scratch / L"big.txt", testdata::text(60u << 20, 21));
    writeFile(scratch / L"big.txt.dz", {'o', 'l', 'd'});
    const auto before = scratch.snapshot();
    for (const Row &row : rows) {
        // Console events travel through a console; wine started without a terminal has none.
        DWORD processes[4];
        if (row.needsConsole && GetConsoleProcessList(processes, 4) == 0) {
            std::printf("  %s not tried: no console to send it through\n", row.name);
            continue;
        }
        const PROCESS_INFORMATION process = scratch.start({L"-f", L"-j1", L"big.txt"}, CREATE_NEW_PROCESS_GROUP);
        bool grew = false;
        for (int i = 0; i < 2000 && !grew; ++i) {
            std::error_code error;
            grew = fs::file_size(scratch / L"big.txt.dz", error) > 100000 && !error;
            if (!grew)
                Sleep(5);
        }
        CHECK_MSG(grew && row.stop(process.dwProcessId), row.name);
        const RunResult r = scratch.finish(process);
        CHECK_MSG(r.exitCode == 143 && r.err.find(row.message) != std::string::npos,
                  row.name + (": " + std::to_string(r.exitCode) + " " + r.err));
        CHECK_MSG(scratch.snapshot() == before, row.name);
    }
}

int main(int argc, char **argv) { return check::runAll(argc, argv); }
