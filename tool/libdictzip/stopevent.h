#pragma once
// The named event through which the window asks a running dictzip.exe to stop.
// A console program started without a console of its own never sees Ctrl+Break
// or the WM_CLOSE that QProcess::terminate() posts, so dictzip creates this event
// at start-up and treats it, once set, as SIGTERM. The window and the tool both
// build the name here, so the two cannot drift apart.

#include <string>

namespace dz {

inline std::wstring stopEventName(unsigned long processId)
{
    return L"Local\\dictzip-stop-" + std::to_wstring(processId);
}

} // namespace dz
