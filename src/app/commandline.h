#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QStringList>

// What this start is for: a window with `files` to take in as if dropped, or, when
// `exitCode` is 0 or more, nothing more (help, version or a bad option was answered).
struct StartRequest
{
    QStringList files;
    // Qt's own options that came before any file and before "--", each with its value:
    // the only arguments the application object that builds the window gets to see.
    QStringList qtOptions;
    int exitCode = -1;
};

// The program's arguments, argv[0] first: on Windows the Unicode command line, elsewhere
// each argument decoded as file names are.
QStringList programArguments(int argc, char *argv[]);

// Reads `arguments`; needs a QCoreApplication but no display.
StartRequest readCommandLine(const QStringList &arguments);

#endif // COMMANDLINE_H
