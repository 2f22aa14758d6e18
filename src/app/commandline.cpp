#include "commandline.h"

#include "dictzip.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#endif

namespace {

// In UTF-8, as the compressor writes, to a file or pipe; a console on Windows gets UTF-16,
// which it shows whatever its code page (the local 8-bit code page cannot hold every name).
void print(FILE *stream, const QString &text)
{
#ifdef Q_OS_WIN
    // A GUI program has no console of its own: unless its output is redirected, answer
    // in the console it was started from.
    if (!GetStdHandle(STD_OUTPUT_HANDLE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
    const auto console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(console, &mode)) {
        WriteConsoleW(console, reinterpret_cast<const wchar_t *>(text.utf16()), DWORD(text.size()),
                      &written, nullptr);
        return;
    }
#endif
    std::fputs(text.toUtf8().constData(), stream);
    std::fflush(stream);
}

QString versionLine()
{
    const DictZip tool; // asks the compressor beside the program for its version
    const QString compressor = tool.version().section(QLatin1Char('\n'), 0, 0).trimmed();
    return QStringLiteral("lexpack %1, %2\n")
        .arg(QCoreApplication::applicationVersion(),
             compressor.isEmpty()
                 ? QStringLiteral("no compressor found beside %1")
                       .arg(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()))
                 : QStringLiteral("compressor: %1").arg(compressor));
}

} // namespace

StartRequest readCommandLine()
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Compresses each FILE to FILE.dz and decompresses each .dz file,\n"
                       "as if the files had been dropped on the window."));
    // Qt's own "-platform", "-style"... are single-dash words; the application object
    // that builds the window takes them, so they are accepted here and left to it.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    for (const char *name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "style", "stylesheet",
          "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "display"}) {
        QCommandLineOption qtOption(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }
    for (const char *name : {"reverse", "widgetcount"}) {
        QCommandLineOption qtOption(QString::fromLatin1(name));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("files to compress or decompress"),
                                 QStringLiteral("[FILE...]"));

    StartRequest request;
    if (!parser.parse(QCoreApplication::arguments())) {
        print(stderr,
              QStringLiteral("lexpack: %1\n\n%2").arg(parser.errorText(), parser.helpText()));
        request.exitCode = 1;
    } else if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        print(stdout, parser.helpText());
        request.exitCode = 0;
    } else if (parser.isSet(version)) {
        print(stdout, versionLine());
        request.exitCode = 0;
    } else {
        // Against the working directory the program was started in, as a drop's paths are.
        for (const QString &file : parser.positionalArguments())
            request.files << (file.isEmpty() ? file : QFileInfo(file).absoluteFilePath());
    }
    return request;
}
