#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QStringList>

// What this start is for: a window with `files` to take in as if dropped, or, when
// `exitCode` is 0 or more, nothing more (help, version or a bad option was answered).
struct StartRequest
{
    QStringList files;
    int exitCode = -1;
};

// Reads the arguments of the running QCoreApplication; needs no display.
StartRequest readCommandLine();

#endif // COMMANDLINE_H
