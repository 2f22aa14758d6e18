#pragma once

namespace dz {

// Runs the dictzip command line and returns the process exit code.
int runCommandLine(int argc, char **argv);

} // namespace dz
