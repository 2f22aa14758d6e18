#include "modes.h"

#include "compressor.h"
#include "frontend.h"
#include "outputfile.h"
#include "platform.h"
#include "reader.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>

namespace dz {

Status interruptStatus()
{
    const int signalNumber = platform::pendingInterrupt();
    return signalNumber ? Status::interrupted(signalNumber, "interrupted by " + platform::signalName(signalNumber))
                        : Status{};
}

namespace {

// An input file, checked and opened for reading, that the reader takes as its byte source.
class InputFile : public ByteSource {
public:
    Status open(const std::string &path)
    {
        bool exists = false;
        int error = platform::pathInfo(path, true, info_, exists);
        if (error)
            return Status::input(platform::errorText(error));
        if (!exists)
            return Status::input("no such file");
        if (info_.directory)
            return Status::input("is a directory");
        if (!info_.regular)
            return Status::input("is not a regular file");
        error = platform::openForReading(path, file_);
        if (!error)
            error = file_.info(info_);
        if (error)
            return Status::input(platform::errorText(error));
        if (!info_.regular)
            return Status::input("is not a regular file");
        return {};
    }
    uint64_t size() const override { return info_.size; }
    Status readAt(uint64_t offset, void *buffer, size_t count, size_t &got) override
    {
        const int error = file_.readAt(offset, buffer, count, got);
        if (error)
            return Status::input("read error: " + platform::errorText(error));
        if (reportProgress)
            noteRead(offset + got);
        return {};
    }
    // For --progress (a front end's bar): the furthest byte read so far.
    bool reportProgress = false;
    platform::File &file() { return file_; }
    // What the file was when opened.
    const platform::FileInfo &info() const { return info_; }

private:
    void noteRead(uint64_t end)
    {
        const std::lock_guard<std::mutex> lock(progressMutex_);
        read_ = end > read_ ? end : read_;
        const auto now = std::chrono::steady_clock::now();
        // The line that says the whole input is read always goes out, so that a bar
        // reaches its end while the output is made final.
        const bool whole = read_ >= info_.size && !wholeReported_;
        if (!whole && now - lastReport_ < std::chrono::milliseconds(100))
            return;
        lastReport_ = now;
        wholeReported_ = wholeReported_ || whole;
        std::fprintf(stderr, "%s%llu %llu\n", frontend::kProgressPrefix, static_cast<unsigned long long>(read_),
                     static_cast<unsigned long long>(info_.size));
    }

    platform::File file_;
    platform::FileInfo info_;
    std::mutex progressMutex_;
    uint64_t read_ = 0;
    bool wholeReported_ = false;
    std::chrono::steady_clock::time_point lastReport_;
};

class FileTarget : public OutputTarget {
public:
    FileTarget(platform::File &file, std::string name) : file_(file), name_(std::move(name)) {}
    Status write(const void *data, size_t count) override { return check(file_.write(data, count)); }
    Status writeAt(uint64_t offset, const void *data, size_t count) override
    {
        return check(file_.writeAt(offset, data, count));
    }

private:
    Status check(int error) const
    {
        if (!error)
            return {};
        Status interrupted = interruptStatus();
        return interrupted.ok() ? Status::output("write error on " + name_ + ": " + platform::errorText(error))
                                : interrupted;
    }

    platform::File &file_;
    std::string name_;
};

// Standard output, for -c and ranges.
struct StandardOutput {
    platform::File file = platform::File::standardOutput();
    FileTarget target{file, "standard output"};
};

bool sameVersion(const platform::FileInfo &a, const platform::FileInfo &b)
{
    return a.size == b.size && a.modified == b.modified && a.modifiedNanos == b.modifiedNanos;
}

// Makes a complete output final (flushed to disk first when a file is about to go),
// then removes the input unless it is kept. A stop request counts only until
// the commit: past it the run has succeeded.
Status finish(OutputFile &output, InputFile &input, const Options &options, const std::string &path,
              std::optional<int64_t> mtime)
{
    Status s = interruptStatus();
    if (s.ok())
        s = output.commit(!options.keep || output.replacesOld(), input.info(), mtime);
    input.file().close();
    if (s.ok() && !options.keep) {
        const int error = platform::removeFile(path);
        if (error)
            s = Status::input("output complete, but the input cannot be removed: " + platform::errorText(error));
    }
    return s;
}

ReadSettings readSettings(const Options &options)
{
    ReadSettings settings;
    settings.threads = options.threads;
    settings.poll = interruptStatus;
    return settings;
}

Status compressFile(const Options &options, const std::string &path, InputFile &input, OutputFile &output)
{
    // Dictionary readers take the size and the chunk table from one member only.
    const uint64_t oneMember = uint64_t(kMaxChunksPerMember) * options.chunkLength;
    if (input.size() > oneMember && !options.multiMember)
        return Status::input("needs more than one member: with a chunk length of " +
                             std::to_string(options.chunkLength) + " a member holds at most " +
                             std::to_string(oneMember) +
                             " bytes, and dictionary readers read only the first (--multi-member writes it anyway)");
    // gzip's MTIME is unsigned 32-bit seconds, 0 for none.
    const int64_t modified = input.info().modified;
    const int64_t stored = options.latestTime ? std::min(modified, *options.latestTime) : modified;
    const bool storable = options.noName || (stored >= 0 && stored <= int64_t(UINT32_MAX));
    Status s = output.create(options.force);
    if (!s.ok())
        return s;
    FileTarget target(output.file(), output.path());
    CompressSettings settings;
    settings.chunkLength = options.chunkLength;
    settings.threads = options.threads;
    settings.level = options.level;
    settings.mtime = storable && !options.noName ? static_cast<uint32_t>(stored) : 0;
    settings.name = options.noName ? std::string() : platform::baseName(path);
    settings.poll = interruptStatus;
    s = compress(input, input.size(), target, settings);
    if (!s.ok())
        return s;

    platform::FileInfo after;
    const int error = input.file().info(after);
    if (error || !sameVersion(input.info(), after))
        return Status::input("file changed while it was being compressed");
    s = finish(output, input, options, path, modified);
    if (s.ok() && !storable)
        platform::printError("dictzip: " + path + ": modification time out of range, not stored");
    return s;
}

Status decompressFile(const Options &options, const std::string &path, InputFile &input, OutputFile &output)
{
    // Refuse what is not gzip before touching any existing output.
    MemberHeader header;
    Status s = parseHeader(input, 0, header);
    if (!s.ok())
        return s;
    if (options.toStdout) {
        StandardOutput out;
        return decompress(input, &out.target, readSettings(options));
    }
    s = output.create(options.force);
    if (!s.ok())
        return s;
    FileTarget target(output.file(), output.path());
    FileSummary summary;
    s = decompress(input, &target, readSettings(options), &summary);
    if (!s.ok())
        return s;
    return finish(output, input, options, path,
                  summary.first.mtime && !options.noName ? std::optional<int64_t>(summary.first.mtime) : std::nullopt);
}

// Files past one member are read whole only by gzip and by us.
void noteMembers(const std::string &path, const FileSummary &summary)
{
    if (summary.members > 1)
        platform::printError("dictzip: " + path + ": multi-member file (" + std::to_string(summary.members) +
                             " members): dictionary readers read only the first");
}

Status testFile(const Options &options, const std::string &path, InputFile &input)
{
    FileSummary summary;
    Status s = decompress(input, nullptr, readSettings(options), &summary);
    if (s.ok())
        noteMembers(path, summary);
    return s;
}

Status listFile(const Options &options, const std::string &path, InputFile &input, RunState &state)
{
    FileSummary summary;
    Status s = listFile(input, readSettings(options), summary);
    if (!s.ok())
        return s;
    if (!state.headingShown) {
        std::printf("%8s %8s %10s %14s %14s %7s  %s\n", "members", "chunks", "chunk len", "compressed", "uncompressed",
                    "ratio", "name");
        state.headingShown = true;
    }
    // The share of the size saved, as gzip -l shows it.
    const double ratio = summary.uncompressedSize
                             ? 100.0 * (1.0 - double(summary.compressedSize) / double(summary.uncompressedSize))
                             : 0.0;
    const std::string name = printable(summary.first.hasName ? summary.first.name : platform::baseName(path));
    std::printf("%8u %8llu %10u %14llu %14llu %6.1f%%  %s\n", summary.members,
                static_cast<unsigned long long>(summary.chunks), summary.chunkLength,
                static_cast<unsigned long long>(summary.compressedSize),
                static_cast<unsigned long long>(summary.uncompressedSize), ratio, name.c_str());
    std::fflush(stdout);
    noteMembers(path, summary);
    return {};
}

bool endsWithDz(const std::string &path)
{
    if (path.size() < 3 || path[path.size() - 3] != '.')
        return false;
    const char d = path[path.size() - 2], z = path[path.size() - 1];
    return (d == 'd' || d == 'D') && (z == 'z' || z == 'Z');
}

// The name a mode writes to; empty for those that write no file.
Status outputName(const Options &options, const std::string &path, std::string &name)
{
    if (options.mode == Mode::Compress)
        name = path + ".dz";
    if (options.mode != Mode::Decompress || options.toStdout)
        return {};
    if (!endsWithDz(path))
        return Status::input("name does not end in .dz");
    name = path.substr(0, path.size() - 3);
    if (name.empty() || platform::endsWithSeparator(name))
        return Status::input("no file name is left without the .dz");
    return {};
}

} // namespace

Status runMode(const Options &options, const std::string &path, RunState &state)
{
    std::string outputPath;
    Status s = outputName(options, path, outputPath);
    InputFile input;
    if (s.ok())
        s = input.open(path);
    if (!s.ok())
        return s;
    input.reportProgress = options.progress;
    OutputFile output(outputPath, options.replacedTo);
    switch (options.mode) {
    case Mode::Compress: return compressFile(options, path, input, output);
    case Mode::Decompress: return decompressFile(options, path, input, output);
    case Mode::Test: return testFile(options, path, input);
    case Mode::List: return listFile(options, path, input, state);
    case Mode::Range: {
        StandardOutput out;
        return extractRange(input, options.start, options.size, out.target, readSettings(options));
    }
    }
    return {};
}

} // namespace dz
