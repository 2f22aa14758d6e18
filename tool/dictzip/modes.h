#pragma once
// What dictzip does to one file: compress, decompress, test, list or extract
// a range.

#include "options.h"
#include "status.h"

#include <string>

namespace dz {

// What a run carries from one file to the next.
struct RunState {
    bool headingShown = false; // the -l heading, printed once
};

// Checks the names, opens the input at `path` once for every mode, and does
// to it what `options` asks.
Status runMode(const Options &options, const std::string &path, RunState &state);

// A pending SIGINT, SIGTERM or SIGHUP as a failure; success when there is none.
Status interruptStatus();

} // namespace dz
