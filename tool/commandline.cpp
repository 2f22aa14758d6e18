#include "commandline.h"

#include "compressor.h"
#include "platform.h"
#include "reader.h"

#include <zlib.h>
#ifdef DICTZIP_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace dz {

namespace {

const char kHelp[] =
    "Usage: dictzip [options] file...\n"
    "Compresses each file to file.dz in the dictzip format (gzip with a chunk table\n"
    "for random access), or with -d restores file from file.dz.\n"
    "\n"
    "  -d, --decompress      decompress file.dz (any letter case) to file\n"
    "  -c, --stdout          decompress to standard output; the input is kept\n"
    "  -t, --test            check every chunk, CRC-32 and size; write nothing\n"
    "  -l, --list            list members, chunks, sizes, ratio and name\n"
    "  -s, --start OFFSET    write uncompressed data from byte OFFSET to standard\n"
    "                        output, reading only the chunks needed\n"
    "  -e, --size SIZE       with -s: write at most SIZE bytes (cut at the end)\n"
    "  -f, --force           replace an existing output file\n"
    "  -k, --keep            keep the input file\n"
    "  -j, --threads N       work with N threads (default: one per core)\n"
    "      --chunk-length N  bytes of input per chunk, 1 to 58315 (default 58315)\n"
    "  -V, --version         print the version and exit\n"
    "  -h, --help            print this help and exit\n"
    "  --                    end of options\n"
    "\n"
    "The output is written under its final name and grows as the run goes. On any\n"
    "failure it is removed, a file it replaced under -f is put back, and the input\n"
    "is kept; the input is removed only after the output is complete and on disk.\n"
    "With several files, a failed one is reported and the others go on.\n"
    "\n"
    "Exit codes (the first failure's, with several files):\n"
    "  0    success\n"
    "  1    usage error (bad option or argument)\n"
    "  2    input error (missing, not a regular file, unreadable, changed while\n"
    "       read, or a name to decompress that does not end in .dz)\n"
    "  3    corrupt data (not gzip, bad header, chunk table, CRC-32 or size)\n"
    "  4    output error (exists without -f, cannot be created or written)\n"
    "  128+N  interrupted by signal N (130 SIGINT, 143 SIGTERM)\n";

enum class Mode { Compress, Decompress, Test, List, Range };

struct Options {
    Mode mode = Mode::Compress;
    bool force = false;
    bool keep = false;
    bool toStdout = false;
    uint64_t start = 0;
    uint64_t size = std::numeric_limits<uint64_t>::max();
    unsigned threads = 0;
    uint32_t chunkLength = kDefaultChunkLength;
    bool help = false;
    bool version = false;
    std::vector<std::string> files;
};

std::string versionLine()
{
    std::string line = "dictzip " DICTZIP_VERSION " (Lexpack), zlib ";
    line += zlibVersion();
#ifdef DICTZIP_HAVE_LIBDEFLATE
    line += ", libdeflate " LIBDEFLATE_VERSION_STRING;
#endif
    return line;
}

bool parseNumber(const std::string &text, uint64_t max, uint64_t &value)
{
    if (text.empty() || text.size() > 20)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (max - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

Status parseOptions(int argc, char **argv, Options &options)
{
    bool decompress = false, test = false, list = false, range = false;
    bool optionsEnded = false;

    // Applies one option; `value` is its argument when it takes one.
    auto apply = [&](const std::string &name, const std::string &value) -> Status {
        uint64_t number = 0;
        // clang-format off
        if (name == "d" || name == "decompress") decompress = true;
        else if (name == "c" || name == "stdout") options.toStdout = true;
        else if (name == "t" || name == "test") test = true;
        else if (name == "l" || name == "list") list = true;
        else if (name == "f" || name == "force") options.force = true;
        else if (name == "k" || name == "keep") options.keep = true;
        else if (name == "V" || name == "version") options.version = true;
        else if (name == "h" || name == "help") options.help = true;
        // clang-format on
        else if (name == "s" || name == "start" || name == "e" || name == "size") {
            if (!parseNumber(value, std::numeric_limits<uint64_t>::max(), number))
                return Status::usage("bad number for --" + name + ": '" + value + "'");
            (name == "s" || name == "start" ? options.start : options.size) = number;
            range = true;
        } else if (name == "j" || name == "threads") {
            if (!parseNumber(value, 1024, number) || number == 0)
                return Status::usage("bad thread count: '" + value + "' (1 to 1024)");
            options.threads = static_cast<unsigned>(number);
        } else if (name == "chunk-length") {
            if (!parseNumber(value, kMaxChunkLength, number) || number == 0)
                return Status::usage("bad chunk length: '" + value + "' (1 to " + std::to_string(kMaxChunkLength) +
                                     ")");
            options.chunkLength = static_cast<uint32_t>(number);
        } else {
            return Status::usage("unknown option '" + std::string(name.size() == 1 ? "-" : "--") + name + "'");
        }
        return {};
    };
    auto takesValue = [](const std::string &name) {
        return name == "s" || name == "start" || name == "e" || name == "size" || name == "j" || name == "threads" ||
               name == "chunk-length";
    };

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            options.files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg.compare(0, 2, "--") == 0) {
            std::string name = arg.substr(2), value;
            const size_t equals = name.find('=');
            const bool inlineValue = equals != std::string::npos;
            if (inlineValue) {
                value = name.substr(equals + 1);
                name.resize(equals);
            }
            if (takesValue(name) && !inlineValue) {
                if (i + 1 >= argc)
                    return Status::usage("option '--" + name + "' needs a value");
                value = argv[++i];
            } else if (!takesValue(name) && inlineValue) {
                return Status::usage("option '--" + name + "' takes no value");
            }
            Status s = apply(name, value);
            if (!s.ok())
                return s;
        } else {
            for (size_t at = 1; at < arg.size(); ++at) {
                const std::string name(1, arg[at]);
                std::string value;
                if (takesValue(name)) {
                    if (at + 1 < arg.size())
                        value = arg.substr(at + 1);
                    else if (i + 1 < argc)
                        value = argv[++i];
                    else
                        return Status::usage("option '-" + name + "' needs a value");
                    at = arg.size();
                }
                Status s = apply(name, value);
                if (!s.ok())
                    return s;
            }
        }
    }

    if (options.help || options.version)
        return {};
    if (int(test) + int(list) + int(range) > 1)
        return Status::usage("choose only one of -t, -l and -s/-e");
    if (list)
        options.mode = Mode::List;
    else if (test)
        options.mode = Mode::Test;
    else if (range)
        options.mode = Mode::Range;
    else if (decompress)
        options.mode = Mode::Decompress;
    else if (options.toStdout)
        return Status::usage("-c writes decompressed data only; add -d");
    if (options.files.empty())
        return Status::usage("no file given");
    if (options.threads == 0)
        options.threads = platform::processorCount();
    return {};
}

Status interruptStatus()
{
    const int signalNumber = platform::pendingInterrupt();
    return signalNumber ? Status::interrupted(signalNumber, "interrupted by " + platform::signalName(signalNumber))
                        : Status{};
}

// An input file, checked and opened for reading, that the reader takes as its byte source.
class InputFile : public ByteSource {
public:
    Status open(const std::string &path);
    uint64_t size() const override { return info_.size; }
    Status readAt(uint64_t offset, void *buffer, size_t count, size_t &got) override
    {
        const int error = file_.readAt(offset, buffer, count, got);
        return error ? Status::input("read error: " + platform::errorText(error)) : Status{};
    }
    platform::File &file() { return file_; }
    // What the file was when opened.
    const platform::FileInfo &info() const { return info_; }

private:
    platform::File file_;
    platform::FileInfo info_;
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

// An output file written under its final name. A file that stood there before
// is moved aside in the same folder first and comes back if the run fails;
// it is removed only once the new file is complete.
class OutputFile {
public:
    explicit OutputFile(std::string path) : path_(std::move(path)) {}
    ~OutputFile() { abandon(); }
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    const std::string &path() const { return path_; }
    platform::File &file() { return file_; }
    bool replacesOld() const { return !backup_.empty(); }

    Status create(bool force)
    {
        platform::FileInfo info;
        bool exists = false;
        int error = platform::pathInfo(path_, false, info, exists);
        if (error)
            return Status::output("cannot check " + path_ + ": " + platform::errorText(error));
        if (exists) {
            if (!force)
                return Status::output(path_ + " already exists; use -f to replace it");
            if (info.directory)
                return Status::output(path_ + " is a directory");
            for (int attempt = 0; backup_.empty(); ++attempt) {
                std::string candidate = path_ + ".dictzip-old-" + std::to_string(platform::processId());
                if (attempt)
                    candidate += "-" + std::to_string(attempt);
                error = platform::renameNoReplace(path_, candidate);
                if (!error)
                    backup_ = candidate;
                else if (!platform::isAlreadyExists(error) || attempt == 99)
                    return Status::output("cannot move the existing " + path_ +
                                          " aside: " + platform::errorText(error));
            }
        }
        error = platform::createNew(path_, file_);
        if (error) {
            abandon();
            return Status::output("cannot create " + path_ + ": " + platform::errorText(error));
        }
        created_ = true;
        return {};
    }

    // Finishes the file. `durable` makes it reach the disk before anything is
    // deleted on its account; `modified` < 0 leaves the time as it is.
    Status commit(bool durable, uint32_t permissions, int64_t modified)
    {
        int error = durable ? file_.sync() : 0;
        if (!error) {
            // Best effort: some file systems keep neither.
            (void)file_.setPermissions(permissions);
            if (modified >= 0)
                (void)file_.setModified(modified);
            error = file_.close();
        }
        if (!error && durable)
            error = platform::syncFolderOf(path_);
        if (error)
            return Status::output("write error on " + path_ + ": " + platform::errorText(error));
        committed_ = true;
        if (!backup_.empty() && (error = platform::removeFile(backup_)) != 0)
            platform::printError("dictzip: warning: the file replaced by " + path_ + " is still there as " + backup_ +
                                 ": " + platform::errorText(error));
        return {};
    }

    // Removes a partial output and puts back the file it replaced.
    void abandon()
    {
        if (committed_)
            return;
        file_.close();
        int error = 0;
        if (!backup_.empty()) {
            // Over our own partial file the rename is one atomic step.
            error = created_ ? platform::renameReplace(backup_, path_) : platform::renameNoReplace(backup_, path_);
            if (error)
                platform::printError("dictzip: " + path_ + ": could not put the previous file back; it is kept as " +
                                     backup_ + ": " + platform::errorText(error));
        }
        if (created_ && (backup_.empty() || error))
            (void)platform::removeFile(path_);
        created_ = false;
        backup_.clear();
        committed_ = true;
    }

private:
    std::string path_;
    std::string backup_;
    platform::File file_;
    bool created_ = false;
    bool committed_ = false;
};

Status InputFile::open(const std::string &path)
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

bool sameVersion(const platform::FileInfo &a, const platform::FileInfo &b)
{
    return a.size == b.size && a.modified == b.modified && a.modifiedNanos == b.modifiedNanos;
}

Status removeInput(const std::string &path)
{
    const int error = platform::removeFile(path);
    return error ? Status::input("output complete, but the input cannot be removed: " + platform::errorText(error))
                 : Status{};
}

// Makes a complete output final (flushed to disk first when a file is about to go),
// then removes the input unless it is kept.
Status finish(OutputFile &output, platform::File &input, const Options &options, const std::string &path,
              uint32_t permissions, int64_t mtime)
{
    Status s = interruptStatus();
    if (s.ok())
        s = output.commit(!options.keep || output.replacesOld(), permissions, mtime);
    input.close();
    if (s.ok() && !options.keep)
        s = removeInput(path);
    return s;
}

ReadSettings readSettings(const Options &options)
{
    ReadSettings settings;
    settings.threads = options.threads;
    settings.poll = interruptStatus;
    return settings;
}

Status compressFile(const Options &options, const std::string &path)
{
    InputFile input;
    Status s = input.open(path);
    if (!s.ok())
        return s;
    OutputFile output(path + ".dz");
    s = output.create(options.force);
    if (!s.ok())
        return s;

    FileTarget target(output.file(), output.path());
    CompressSettings settings;
    settings.chunkLength = options.chunkLength;
    settings.threads = options.threads;
    settings.mtime = static_cast<uint32_t>(input.info().modified);
    settings.name = platform::baseName(path);
    settings.poll = interruptStatus;
    s = compress(input, input.size(), target, settings);
    if (!s.ok())
        return s;

    platform::FileInfo after;
    const int error = input.file().info(after);
    if (error || !sameVersion(input.info(), after))
        return Status::input("file changed while it was being compressed");
    return finish(output, input.file(), options, path, input.info().permissions, -1);
}

bool endsWithDz(const std::string &path)
{
    if (path.size() < 3 || path[path.size() - 3] != '.')
        return false;
    const char d = path[path.size() - 2], z = path[path.size() - 1];
    return (d == 'd' || d == 'D') && (z == 'z' || z == 'Z');
}

Status decompressFile(const Options &options, const std::string &path)
{
    std::string outputPath;
    if (!options.toStdout) {
        if (!endsWithDz(path))
            return Status::input("name does not end in .dz");
        outputPath = path.substr(0, path.size() - 3);
        if (outputPath.empty() || platform::endsWithSeparator(outputPath))
            return Status::input("no file name is left without the .dz");
    }
    InputFile input;
    Status s = input.open(path);
    if (!s.ok())
        return s;
    // Refuse what is not gzip before touching any existing output.
    MemberHeader header;
    s = input.size() == 0 ? Status::corrupt("empty file, not in gzip format") : parseHeader(input, 0, header);
    if (!s.ok())
        return s;

    if (options.toStdout) {
        platform::File out = platform::File::standardOutput();
        FileTarget target(out, "standard output");
        return decompress(input, &target, readSettings(options));
    }

    OutputFile output(outputPath);
    s = output.create(options.force);
    if (!s.ok())
        return s;
    FileTarget target(output.file(), output.path());
    FileSummary summary;
    s = decompress(input, &target, readSettings(options), &summary);
    if (!s.ok())
        return s;
    return finish(output, input.file(), options, path, input.info().permissions,
                  summary.first.mtime ? int64_t(summary.first.mtime) : -1);
}

Status testFile(const Options &options, const std::string &path)
{
    InputFile input;
    Status s = input.open(path);
    if (!s.ok())
        return s;
    return decompress(input, nullptr, readSettings(options));
}

Status listFile(const Options &options, const std::string &path, bool &headingShown)
{
    InputFile input;
    Status s = input.open(path);
    if (!s.ok())
        return s;
    FileSummary summary;
    s = listFile(input, readSettings(options), summary);
    if (!s.ok())
        return s;
    if (!headingShown) {
        std::printf("%8s %8s %10s %14s %14s %7s  %s\n", "members", "chunks", "chunk len", "compressed", "uncompressed",
                    "ratio", "name");
        headingShown = true;
    }
    const double ratio = summary.uncompressedSize
                             ? 100.0 * (1.0 - double(summary.compressedSize) / double(summary.uncompressedSize))
                             : 0.0;
    const std::string name = summary.first.hasName ? summary.first.name : platform::baseName(path);
    std::printf("%8u %8llu %10u %14llu %14llu %6.1f%%  %s\n", summary.members,
                static_cast<unsigned long long>(summary.chunks), summary.chunkLength,
                static_cast<unsigned long long>(summary.compressedSize),
                static_cast<unsigned long long>(summary.uncompressedSize), ratio, name.c_str());
    std::fflush(stdout);
    return {};
}

Status extractFile(const Options &options, const std::string &path)
{
    InputFile input;
    Status s = input.open(path);
    if (!s.ok())
        return s;
    platform::File out = platform::File::standardOutput();
    FileTarget target(out, "standard output");
    return extractRange(input, options.start, options.size, target, readSettings(options));
}

} // namespace

int runCommandLine(int argc, char **argv)
{
    Options options;
    Status s = parseOptions(argc, argv, options);
    if (!s.ok()) {
        platform::printError("dictzip: " + s.message() + "\nTry 'dictzip -h' for help.");
        return s.exitCode();
    }
    if (options.help) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("%s\n", versionLine().c_str());
        return 0;
    }

    platform::installInterruptHandlers();
    int exitCode = 0;
    bool headingShown = false;
    for (const std::string &path : options.files) {
        switch (options.mode) {
        case Mode::Compress: s = compressFile(options, path); break;
        case Mode::Decompress: s = decompressFile(options, path); break;
        case Mode::Test: s = testFile(options, path); break;
        case Mode::List: s = listFile(options, path, headingShown); break;
        case Mode::Range: s = extractFile(options, path); break;
        }
        if (!s.ok()) {
            platform::printError("dictzip: " + path + ": " + s.message());
            if (exitCode == 0)
                exitCode = s.exitCode();
        }
        if (s.kind() == Failure::Interrupted)
            return s.exitCode();
        // A signal that came after the last check still ends the run.
        if ((s = interruptStatus()).kind() == Failure::Interrupted) {
            platform::printError("dictzip: " + path + ": " + s.message());
            return s.exitCode();
        }
    }
    return exitCode;
}

} // namespace dz
