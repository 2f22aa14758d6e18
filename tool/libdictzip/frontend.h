#pragma once
// What dictzip and the window that runs it agree on: an option, the lines and
// the version mark the window reads, the name of a file kept aside, the exit
// codes and the stop event. Both sides include this header (standard C++ only),
// so neither types these on its own and the two cannot drift apart.

#include <string>

namespace dz {

// Kinds of failure; each has its own exit code so scripts can tell them apart.
enum class Failure : int {
    None = 0,
    Usage = 1,         // bad options or arguments
    Input = 2,         // missing, non-regular, unreadable or changing input
    Corrupt = 3,       // not gzip, or a bad header, table, chunk, CRC or size
    Output = 4,        // output exists, cannot be created, or writing it failed
    Memory = 5,        // out of memory, or zlib could not set up a stream
    Interrupted = 128, // SIGINT or SIGTERM; the exit code is 128 + signal
};

namespace frontend {

// Asks for lines "progress READ SIZE" on standard error, ten a second at most,
// and one as soon as the whole input is read.
constexpr char kProgressOption[] = "--progress";
constexpr char kProgressPrefix[] = "progress ";
// In the version line (-V) of our own dictzip: only it is asked for progress.
constexpr char kVersionMark[] = "(Lexpack)";
// A file replaced under -f waits in its folder as NAME + kAsideMark + process id
// until the new one is complete.
constexpr char kAsideMark[] = ".dictzip-old-";
// With this option and a path, the replaced file waits there instead, and stays
// there once the run has succeeded, for the window to put in the Trash.
constexpr char kReplacedToOption[] = "--replaced-to";

// The named event through which the window asks a running dictzip.exe to stop.
// A console program started without a console of its own never sees Ctrl+Break
// or the WM_CLOSE that QProcess::terminate() posts, so dictzip creates this event
// at start-up and treats it, once set, as SIGTERM.
inline std::wstring stopEventName(unsigned long processId)
{
    return L"Local\\dictzip-stop-" + std::to_wstring(processId);
}

} // namespace frontend
} // namespace dz
