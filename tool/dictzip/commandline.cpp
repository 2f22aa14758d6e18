#include "commandline.h"

#include "modes.h"
#include "options.h"
#include "platform.h"

#include <cstdio>
#include <new>

namespace dz {

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
    RunState state;
    for (const std::string &path : options.files) {
        // A stop request between files ends the run before the next one; one
        // that comes after a file's output is committed does not undo it.
        if ((s = interruptStatus()).kind() == Failure::Interrupted) {
            platform::printError("dictzip: " + path + ": " + s.message());
            return s.exitCode();
        }
        try {
            s = runMode(options, path, state);
        } catch (const std::bad_alloc &) { // the output is cleaned up on the way out
            s = Status::memory();
        }
        if (!s.ok()) {
            platform::printError("dictzip: " + path + ": " + s.message());
            if (exitCode == 0)
                exitCode = s.exitCode();
        }
        if (s.kind() == Failure::Interrupted)
            return s.exitCode();
    }
    return exitCode;
}

} // namespace dz
