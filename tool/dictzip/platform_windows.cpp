#include "platform.h"
#include "frontend.h"

#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601 // Windows 7: GetActiveProcessorCount, SetFileInformationByHandle
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace dz::platform {

namespace {

constexpr int kSigHup = 1, kSigInt = 2, kSigTerm = 15;

// Written by the console's handler thread, read by the workers.
volatile LONG interruptSignal = 0;
volatile LONG interruptEvent = 0;

// A program that started us without a console it shares (a GUI's QProcess)
// cannot send Ctrl+Break, and TerminateProcess leaves no chance to clean up.
// It sets this event instead: "Local\dictzip-stop-<process id>".
HANDLE stopEvent = nullptr;
constexpr LONG kStopRequest = 0x100; // beside the CTRL_*_EVENT numbers

BOOL WINAPI onConsoleEvent(DWORD event)
{
    const LONG signalNumber = event == CTRL_C_EVENT ? kSigInt : event == CTRL_CLOSE_EVENT ? kSigHup : kSigTerm;
    if (InterlockedCompareExchange(&interruptSignal, signalNumber, 0) == 0)
        InterlockedExchange(&interruptEvent, static_cast<LONG>(event));
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // Windows ends the process as soon as this handler returns. Holding it
        // lets the main thread clean up and exit with its own code; Windows
        // gives up waiting after about five seconds.
        Sleep(INFINITE);
    }
    return TRUE;
}

std::wstring wideFromUtf8(const std::string &text)
{
    if (text.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string utf8FromWide(const std::wstring &wide)
{
    if (wide.empty())
        return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size, nullptr, nullptr);
    return text;
}

// A path for the wide API. Long ones get the \\?\ prefix, which lifts the
// 260-character limit but takes only full paths with backslashes.
std::wstring widePath(const std::string &path)
{
    std::wstring wide = wideFromUtf8(path);
    if (wide.size() < 240 || wide.compare(0, 4, L"\\\\?\\") == 0)
        return wide;
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return wide;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return wide;
    full.resize(length);
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

HANDLE toHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
intptr_t fromHandle(HANDLE handle) { return reinterpret_cast<intptr_t>(handle); }

int lastError() { return static_cast<int>(GetLastError()); }

// Seconds and nanoseconds since 1970 from 100-nanosecond steps since 1601.
constexpr int64_t kEpochDifference = 116444736000000000LL;

void fillTimes(const FILETIME &time, FileInfo &info)
{
    const int64_t ticks =
        static_cast<int64_t>((uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime) - kEpochDifference;
    int64_t seconds = ticks / 10000000, rest = ticks % 10000000;
    if (rest < 0) {
        --seconds;
        rest += 10000000;
    }
    info.modified = seconds;
    info.modifiedNanos = rest * 100;
}

// Windows has one permission of its own, read-only; it maps to the write bits.
uint32_t permissionsOf(DWORD attributes) { return attributes & FILE_ATTRIBUTE_READONLY ? 0444 : 0666; }

int fillInfo(HANDLE handle, FileInfo &info)
{
    info = FileInfo{};
    // Consoles, NUL and pipes are not files on disk, whatever their names say.
    if (GetFileType(handle) != FILE_TYPE_DISK)
        return 0;
    BY_HANDLE_FILE_INFORMATION data;
    if (!GetFileInformationByHandle(handle, &data))
        return lastError();
    const bool link = data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
    info.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !link;
    info.regular = !(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) && !link;
    info.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    fillTimes(data.ftLastWriteTime, info);
    info.permissions = permissionsOf(data.dwFileAttributes);
    return 0;
}

OVERLAPPED at(uint64_t offset)
{
    OVERLAPPED overlapped = {};
    overlapped.Offset = static_cast<DWORD>(offset);
    overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return overlapped;
}

constexpr DWORD kMaxStep = 1u << 30;

// Virus scanners and indexers open fresh files for a moment without sharing
// them; renaming or deleting then fails for a while, so it is tried again.
template <typename Operation> bool retryWhileShared(Operation operation)
{
    for (int attempt = 0;; ++attempt) {
        if (operation())
            return true;
        const DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) || attempt == 20)
            return false;
        Sleep(50);
        SetLastError(error);
    }
}

} // namespace

int File::info(FileInfo &info) const { return fillInfo(toHandle(handle_), info); }

int File::readAt(uint64_t offset, void *buffer, size_t count, size_t &got)
{
    got = 0;
    auto *p = static_cast<char *>(buffer);
    while (got < count) {
        OVERLAPPED overlapped = at(offset + got);
        DWORD n = 0;
        if (!ReadFile(toHandle(handle_), p + got, static_cast<DWORD>(std::min<size_t>(count - got, kMaxStep)), &n,
                      &overlapped)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
                break;
            return lastError();
        }
        if (n == 0)
            break;
        got += n;
    }
    return 0;
}

int File::write(const void *data, size_t count)
{
    const auto *p = static_cast<const char *>(data);
    while (count > 0) {
        DWORD n = 0;
        if (!WriteFile(toHandle(handle_), p, static_cast<DWORD>(std::min<size_t>(count, kMaxStep)), &n, nullptr))
            return lastError();
        p += n;
        count -= n;
    }
    return 0;
}

int File::writeAt(uint64_t offset, const void *data, size_t count)
{
    // A positioned WriteFile moves the file pointer, which pwrite does not:
    // put it back so that the next write() appends where the last one ended.
    LARGE_INTEGER position = {}, zero = {};
    if (!SetFilePointerEx(toHandle(handle_), zero, &position, FILE_CURRENT))
        return lastError();
    const auto *p = static_cast<const char *>(data);
    while (count > 0) {
        OVERLAPPED overlapped = at(offset);
        DWORD n = 0;
        if (!WriteFile(toHandle(handle_), p, static_cast<DWORD>(std::min<size_t>(count, kMaxStep)), &n, &overlapped))
            return lastError();
        p += n;
        offset += n;
        count -= n;
    }
    return SetFilePointerEx(toHandle(handle_), position, nullptr, FILE_BEGIN) ? 0 : lastError();
}

int File::sync() { return FlushFileBuffers(toHandle(handle_)) ? 0 : lastError(); }

// Windows has no owner to give here; only read-only crosses over.
int File::copyOwnerAndMode(const FileInfo &from)
{
    if (from.permissions & 0222)
        return 0;
    BY_HANDLE_FILE_INFORMATION data;
    if (!GetFileInformationByHandle(toHandle(handle_), &data))
        return lastError();
    FILE_BASIC_INFO basic = {}; // zero times: left as they are
    basic.FileAttributes = data.dwFileAttributes | FILE_ATTRIBUTE_READONLY;
    return SetFileInformationByHandle(toHandle(handle_), FileBasicInfo, &basic, sizeof basic) ? 0 : lastError();
}

int File::setModified(int64_t seconds)
{
    const uint64_t ticks = static_cast<uint64_t>(seconds * 10000000 + kEpochDifference);
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return SetFileTime(toHandle(handle_), nullptr, nullptr, &time) ? 0 : lastError();
}

int File::close()
{
    int error = 0;
    if (handle_ != -1 && owned_ && !CloseHandle(toHandle(handle_)))
        error = lastError();
    handle_ = -1;
    return error;
}

File File::standardOutput()
{
    const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    return File(handle ? fromHandle(handle) : -1, false);
}

int openForReading(const std::string &path, File &file)
{
    // Shared every way, as on POSIX: others may read, write, rename or delete it meanwhile.
    const HANDLE handle =
        CreateFileW(widePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return lastError();
    file = File(fromHandle(handle), true);
    return 0;
}

int createNew(const std::string &path, File &file)
{
    // Readable while it grows, so a window can show its size.
    const HANDLE handle = CreateFileW(widePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return lastError();
    file = File(fromHandle(handle), true);
    return 0;
}

int pathInfo(const std::string &path, bool followLinks, FileInfo &info, bool &exists)
{
    exists = false;
    // No access asked for: this opens files locked by others, and folders too.
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
    if (!followLinks)
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    const HANDLE handle = CreateFileW(widePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME)
            return 0;
        return static_cast<int>(error);
    }
    exists = true;
    const int error = fillInfo(handle, info);
    CloseHandle(handle);
    return error;
}

int renameNoReplace(const std::string &from, const std::string &to)
{
    const std::wstring source = widePath(from), target = widePath(to);
    return retryWhileShared([&] { return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH); })
               ? 0
               : lastError();
}

int renameReplace(const std::string &from, const std::string &to)
{
    const std::wstring source = widePath(from), target = widePath(to);
    return retryWhileShared([&] {
        return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    })
               ? 0
               : lastError();
}

int removeFile(const std::string &path)
{
    const std::wstring wide = widePath(path);
    if (retryWhileShared([&] { return DeleteFileW(wide.c_str()); }))
        return 0;
    const int error = lastError();
    // Unlike unlink, DeleteFile refuses a read-only file; the folder's owner may
    // still remove it, so the attribute goes first and comes back on failure.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (error != ERROR_ACCESS_DENIED || attributes == INVALID_FILE_ATTRIBUTES ||
        !(attributes & FILE_ATTRIBUTE_READONLY) ||
        !SetFileAttributesW(wide.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY)))
        return error;
    if (DeleteFileW(wide.c_str()))
        return 0;
    const int again = lastError();
    SetFileAttributesW(wide.c_str(), attributes);
    return again;
}

// Folders cannot be flushed without administrator rights (that takes the whole
// volume). NTFS logs new entries in its journal, and renames are write-through.
int syncFolderOf(const std::string &) { return 0; }

bool isAlreadyExists(int error) { return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS; }

std::string errorText(int error)
{
    wchar_t *buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    std::string text = length ? utf8FromWide(std::wstring(buffer, length)) : std::string();
    LocalFree(buffer);
    // One line without the full stop, like strerror.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text.empty() ? "error " + std::to_string(error) : text;
}

std::string baseName(const std::string &path)
{
    const size_t separator = path.find_last_of("/\\:");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// "C:" names the current folder of drive C, not a file.
bool endsWithSeparator(const std::string &path)
{
    return !path.empty() && (path.back() == '/' || path.back() == '\\' || path.back() == ':');
}

void installInterruptHandlers()
{
    // A process started in a new process group has Ctrl+C switched off; switch it back on.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    stopEvent = CreateEventW(nullptr, TRUE, FALSE, frontend::stopEventName(GetCurrentProcessId()).c_str());
}

int pendingInterrupt()
{
    if (!interruptSignal && stopEvent && WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0 &&
        InterlockedCompareExchange(&interruptSignal, kSigTerm, 0) == 0)
        InterlockedExchange(&interruptEvent, kStopRequest);
    return static_cast<int>(interruptSignal);
}

std::string signalName(int signalNumber)
{
    if (signalNumber != 0 && signalNumber == interruptSignal) {
        switch (interruptEvent) {
        case CTRL_C_EVENT: return "Ctrl+C";
        case CTRL_BREAK_EVENT: return "Ctrl+Break";
        case CTRL_CLOSE_EVENT: return "closing the console";
        case CTRL_LOGOFF_EVENT: return "logoff";
        case CTRL_SHUTDOWN_EVENT: return "shutdown";
        case kStopRequest: return "a stop request";
        }
    }
    return "signal " + std::to_string(signalNumber);
}

unsigned processorCount()
{
    const DWORD count = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    return count > 0 ? static_cast<unsigned>(count) : 1;
}

unsigned long processId() { return GetCurrentProcessId(); }

void printError(const std::string &line)
{
    std::fflush(stdout);
    // A console shows UTF-16 as it is; a pipe or file gets UTF-8 bytes.
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (handle && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        const std::wstring wide = wideFromUtf8(line + "\n");
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

std::string utf8FromWide(const wchar_t *text) { return text ? utf8FromWide(std::wstring(text)) : std::string(); }

} // namespace dz::platform
