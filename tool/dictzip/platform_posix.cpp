#include "platform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sched.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dz::platform {

namespace {

volatile std::sig_atomic_t interruptSignal = 0;

void onInterrupt(int signalNumber) { interruptSignal = signalNumber; }

void fillInfo(const struct stat &st, FileInfo &info)
{
    info.regular = S_ISREG(st.st_mode);
    info.directory = S_ISDIR(st.st_mode);
    info.size = static_cast<uint64_t>(st.st_size);
    info.modified = st.st_mtim.tv_sec;
    info.modifiedNanos = st.st_mtim.tv_nsec;
    info.permissions = st.st_mode & 07777;
    info.owner = st.st_uid;
    info.group = st.st_gid;
}

// Retries writes cut short by a signal, unless the signal asks us to stop.
bool retryAfter(ssize_t result) { return result < 0 && errno == EINTR && !interruptSignal; }

} // namespace

int File::info(FileInfo &info) const
{
    struct stat st;
    if (fstat(handle_, &st) != 0)
        return errno;
    fillInfo(st, info);
    return 0;
}

int File::readAt(uint64_t offset, void *buffer, size_t count, size_t &got)
{
    got = 0;
    auto *p = static_cast<char *>(buffer);
    while (got < count) {
        const ssize_t n = pread(handle_, p + got, count - got, static_cast<off_t>(offset + got));
        if (retryAfter(n))
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    return 0;
}

int File::write(const void *data, size_t count)
{
    const auto *p = static_cast<const char *>(data);
    while (count > 0) {
        const ssize_t n = ::write(handle_, p, count);
        if (retryAfter(n))
            continue;
        if (n < 0)
            return errno;
        p += n;
        count -= static_cast<size_t>(n);
    }
    return 0;
}

int File::writeAt(uint64_t offset, const void *data, size_t count)
{
    const auto *p = static_cast<const char *>(data);
    while (count > 0) {
        const ssize_t n = pwrite(handle_, p, count, static_cast<off_t>(offset));
        if (retryAfter(n))
            continue;
        if (n < 0)
            return errno;
        p += n;
        offset += static_cast<uint64_t>(n);
        count -= static_cast<size_t>(n);
    }
    return 0;
}

int File::sync() { return fsync(handle_) == 0 ? 0 : errno; }

int File::copyOwnerAndMode(const FileInfo &from)
{
    // As gzip does: both where we may (root), else the group alone (one of ours).
    if (fchown(handle_, from.owner, from.group) != 0)
        (void)fchown(handle_, static_cast<uid_t>(-1), from.group);
    struct stat st;
    if (fstat(handle_, &st) != 0)
        return errno;
    uint32_t mode = from.permissions;
    if (st.st_uid != from.owner)
        mode &= ~uint32_t(S_ISUID);
    if (st.st_gid != from.group)
        mode &= ~uint32_t(S_ISGID);
    return fchmod(handle_, mode) == 0 ? 0 : errno;
}

int File::setModified(int64_t seconds)
{
    if (static_cast<int64_t>(static_cast<time_t>(seconds)) != seconds)
        return EOVERFLOW;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = 0;
    return futimens(handle_, times) == 0 ? 0 : errno;
}

int File::close()
{
    int error = 0;
    if (handle_ >= 0 && owned_ && ::close(handle_) != 0 && errno != EINTR)
        error = errno;
    handle_ = -1;
    return error;
}

File File::standardOutput() { return File(STDOUT_FILENO, false); }

int openForReading(const std::string &path, File &file)
{
    const int handle = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (handle < 0)
        return errno;
    file = File(handle, true);
    return 0;
}

int createNew(const std::string &path, File &file)
{
    const int handle = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
    if (handle < 0)
        return errno;
    file = File(handle, true);
    return 0;
}

int pathInfo(const std::string &path, bool followLinks, FileInfo &info, bool &exists)
{
    struct stat st;
    exists = false;
    if ((followLinks ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0)
        return errno == ENOENT ? 0 : errno;
    exists = true;
    fillInfo(st, info);
    return 0;
}

int renameNoReplace(const std::string &from, const std::string &to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // File systems without RENAME_NOREPLACE: a hard link cannot replace either.
    if (link(from.c_str(), to.c_str()) != 0)
        return errno;
    return unlink(from.c_str()) == 0 ? 0 : errno;
}

int renameReplace(const std::string &from, const std::string &to)
{
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int removeFile(const std::string &path) { return unlink(path.c_str()) == 0 ? 0 : errno; }

int syncFolderOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int handle = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0)
        return errno;
    int error = fsync(handle) == 0 ? 0 : errno;
    ::close(handle);
    // Some file systems cannot sync a folder; that is not a failure of ours.
    return error == EINVAL || error == EROFS ? 0 : error;
}

bool isAlreadyExists(int error) { return error == EEXIST; }

std::string errorText(int error) { return std::strerror(error); }

std::string baseName(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool endsWithSeparator(const std::string &path) { return !path.empty() && path.back() == '/'; }

void installInterruptHandlers()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a blocked write returns so the flag is seen
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signalNumber, &action, nullptr);
}

int pendingInterrupt() { return interruptSignal; }

std::string signalName(int signalNumber)
{
    switch (signalNumber) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "signal " + std::to_string(signalNumber);
    }
}

unsigned processorCount()
{
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return static_cast<unsigned>(CPU_COUNT(&set));
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<unsigned>(online) : 1;
}

unsigned long processId() { return static_cast<unsigned long>(getpid()); }

void printError(const std::string &line)
{
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

} // namespace dz::platform
