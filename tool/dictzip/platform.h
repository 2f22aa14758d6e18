#pragma once
// Everything that talks to the operating system: files, renames, signals,
// processor count. platform_posix.cpp and platform_windows.cpp (the
// wide-character API) implement it; the format code never sees the difference.
// Paths are UTF-8; functions return 0 or an error number (errno, or Windows'
// GetLastError()) that errorText() describes.

#include <cstddef>
#include <cstdint>
#include <string>

namespace dz::platform {

struct FileInfo {
    bool regular = false;
    bool directory = false;
    uint64_t size = 0;
    int64_t modified = 0; // seconds since 1970
    int64_t modifiedNanos = 0;
    uint32_t permissions = 0;      // the permission bits, to copy to an output
    uint32_t owner = 0, group = 0; // POSIX user and group ids; 0 on Windows
};

class File {
public:
    File() = default;
    ~File() { close(); }
    File(File &&other) noexcept : handle_(other.handle_), owned_(other.owned_) { other.handle_ = -1; }
    File &operator=(File &&other) noexcept
    {
        if (this != &other) {
            close();
            handle_ = other.handle_;
            owned_ = other.owned_;
            other.handle_ = -1;
        }
        return *this;
    }
    File(const File &) = delete;
    File &operator=(const File &) = delete;

    bool isOpen() const { return handle_ != -1; }
    int info(FileInfo &info) const;
    int readAt(uint64_t offset, void *buffer, size_t count, size_t &got);
    int write(const void *data, size_t count); // all of it, or an error
    int writeAt(uint64_t offset, const void *data, size_t count);
    int sync();
    // Gives the file the owner and group of `from` where the process may, and
    // its permissions; set-user-id and set-group-id are kept only with the
    // owner and group they were set for.
    int copyOwnerAndMode(const FileInfo &from);
    int setModified(int64_t seconds);
    int close();

    static File standardOutput();

private:
    friend int openForReading(const std::string &, File &);
    friend int createNew(const std::string &, File &);
    File(intptr_t handle, bool owned) : handle_(handle), owned_(owned) {}

    intptr_t handle_ = -1; // a file descriptor, or a Windows HANDLE
    bool owned_ = false;
};

// Opens without blocking on a FIFO or a device, so the caller can refuse them.
int openForReading(const std::string &path, File &file);
// Fails when the name exists, whatever it names.
int createNew(const std::string &path, File &file);

// `exists` false, with 0 returned, when nothing is there. Does not follow a
// symbolic link when `followLinks` is false.
int pathInfo(const std::string &path, bool followLinks, FileInfo &info, bool &exists);
int renameNoReplace(const std::string &from, const std::string &to);
int renameReplace(const std::string &from, const std::string &to);
int removeFile(const std::string &path);
// Makes a new or renamed entry in the folder of `path` durable.
int syncFolderOf(const std::string &path);
bool isAlreadyExists(int error);
std::string errorText(int error);

std::string baseName(const std::string &path);
bool endsWithSeparator(const std::string &path);

// SIGINT, SIGTERM and SIGHUP only raise a flag that the work polls, so every
// run can clean up after itself. Returns the signal number, or 0. On Windows
// the console's events stand in: Ctrl+C is SIGINT, Ctrl+Break, logoff and
// shutdown are SIGTERM, closing the console window is SIGHUP; and a named
// event, "Local\dictzip-stop-<process id>", once set, is SIGTERM too.
void installInterruptHandlers();
int pendingInterrupt();
std::string signalName(int signalNumber);

unsigned processorCount();
unsigned long processId();

// A diagnostic line to standard error.
void printError(const std::string &line);

#ifdef _WIN32
// Windows passes the command line in UTF-16 (wmain); the narrow argv would be
// in the ANSI code page and lose every name outside it.
std::string utf8FromWide(const wchar_t *text);
#endif

} // namespace dz::platform
