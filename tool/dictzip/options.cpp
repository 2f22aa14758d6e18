#include "options.h"

#include "frontend.h"
#include "platform.h"

#include <algorithm>
#include <cstdlib>

#include <zlib.h>
#ifdef DICTZIP_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace dz {

extern const char kHelp[] =
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
    "      --replaced-to PATH\n"
    "                        with -f and one file: move a file that the output\n"
    "                        replaces to PATH, which must not exist, and leave it\n"
    "                        there once the output is complete\n"
    "  -j, --threads N       work with N threads (default: one per core)\n"
    "      --chunk-length N  bytes of input per chunk, 1 to 58315 (default 58315)\n"
    "  -1 ... -12            deflate every chunk with libdeflate at this level\n"
    "                        instead of zlib's best. On dictionary text: -1 packs\n"
    "                        at 7x the default's speed, 7% larger; -6 as small as\n"
    "                        the default at 4x its speed; -9 2% smaller at 1.8x;\n"
    "                        -12 the smallest, 5% smaller, at half the speed.\n"
    "                        Every reader reads every level, unpacking it 3 to 8%\n"
    "                        slower than the default; only the default (no level)\n"
    "                        writes byte for byte what Debian's dictzip writes\n"
    "      --fast, --best    the same as -1 and -12\n"
    "  -n, --no-name         store neither the input's name nor its time, so that\n"
    "                        the same input gives the same file anywhere; a set\n"
    "                        SOURCE_DATE_EPOCH caps the stored time; with -d, the\n"
    "                        stored time is not given to the output\n"
    "      --progress        tell how far each input is read, in lines \"progress\n"
    "                        READ SIZE\" on standard error, ten a second at most\n"
    "                        and one as soon as the whole input is read\n"
    "      --multi-member    compress files longer than one member holds (32,762\n"
    "                        chunks: 1.91 GB at the default chunk length); only\n"
    "                        gzip and this dictzip read such files whole\n"
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
    "  5    out of memory\n"
    "  128+N  interrupted by signal N (130 SIGINT, 143 SIGTERM)\n";

std::string versionLine()
{
    std::string line = std::string("dictzip " DICTZIP_VERSION " ") + frontend::kVersionMark + ", zlib ";
    line += zlibVersion();
#ifdef DICTZIP_HAVE_LIBDEFLATE
    line += ", libdeflate " LIBDEFLATE_VERSION_STRING;
#endif
    return line;
}

namespace {

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

} // namespace

Status parseOptions(int argc, char **argv, Options &options)
{
    bool decompress = false, test = false, list = false, range = false;
    bool optionsEnded = false;

    // Applies one option; `value` is its argument when it takes one.
    auto apply = [&](const std::string &name, const std::string &value) -> Status {
        uint64_t number = 0;
        if (name == "d" || name == "decompress")
            decompress = true;
        else if (name == "c" || name == "stdout")
            options.toStdout = true;
        else if (name == "t" || name == "test")
            test = true;
        else if (name == "l" || name == "list")
            list = true;
        else if (name == "f" || name == "force")
            options.force = true;
        else if (name == "k" || name == "keep")
            options.keep = true;
        else if ("--" + name == frontend::kProgressOption)
            options.progress = true;
        else if ("--" + name == frontend::kReplacedToOption)
            options.replacedTo = value;
        else if (name == "multi-member")
            options.multiMember = true;
        else if (name == "n" || name == "no-name")
            options.noName = true;
        else if (name == "fast" || name == "best")
            options.level = name == "fast" ? 1 : kMaxLevel;
        else if (name == "V" || name == "version")
            options.version = true;
        else if (name == "h" || name == "help")
            options.help = true;
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
               name == "chunk-length" || name == "replaced-to";
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
                if (arg[at] >= '0' && arg[at] <= '9') { // a level, as gzip's -9, of one or two digits
                    const size_t end = std::min(arg.find_first_not_of("0123456789", at), arg.size());
                    const std::string digits = arg.substr(at, end - at);
                    uint64_t level = 0;
                    if (!parseNumber(digits, kMaxLevel, level) || level == 0)
                        return Status::usage("bad compression level: '-" + digits + "' (-1 to -" +
                                             std::to_string(kMaxLevel) + ")");
                    options.level = static_cast<int>(level);
                    at = end - 1;
                    continue;
                }
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
    if (!options.replacedTo.empty() && options.files.size() > 1)
        return Status::usage("--replaced-to takes one file");
    if (options.threads == 0)
        options.threads = platform::processorCount();
    // The reproducible-builds convention: no file time later than this goes into an output.
    const char *epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (epoch && *epoch && options.mode == Mode::Compress) {
        uint64_t seconds = 0;
        if (!parseNumber(epoch, std::numeric_limits<int64_t>::max(), seconds))
            return Status::usage("SOURCE_DATE_EPOCH is not a number of seconds: '" + std::string(epoch) + "'");
        options.latestTime = static_cast<int64_t>(seconds);
    }
    return {};
}

} // namespace dz
