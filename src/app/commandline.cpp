#include "commandline.h"

#include "dictzip.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
// After windows.h, which they need.
#include <io.h>
#include <shellapi.h>
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
                 ? QCoreApplication::translate("CommandLine", "no compressor found beside %1")
                       .arg(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()))
                 : QCoreApplication::translate("CommandLine", "compressor: %1").arg(compressor));
}

// Qt's own options: "-platform", "-style"... are single-dash words, taken by the
// application object that builds the window.
const char *const qtValueOptions[] = {
    "platform",        "platformpluginpath", "platformtheme", "plugin",  "style",  "stylesheet",
    "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "session", "display"};
const char *const qtFlagOptions[] = {"reverse", "widgetcount"};

// Qt's help names the program as its 8-bit argv does, which on Windows cannot hold every
// folder's name: the usage line gets the name the program was started by.
QString helpText(const QCommandLineParser &parser, const QString &program)
{
    QString text = parser.helpText();
    const QString qtName = QCoreApplication::arguments().value(0);
    const qsizetype at = qtName.isEmpty() ? -1 : text.indexOf(qtName);
    if (!program.isEmpty() && at >= 0 && at < text.indexOf(QLatin1Char('\n')))
        text.replace(at, qtName.size(), program);
    return text;
}

} // namespace

QStringList programArguments(int argc, char *argv[])
{
    QStringList arguments;
#ifdef Q_OS_WIN
    // argv holds the arguments in the ANSI code page, which cannot hold every name.
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    int count = 0;
    if (wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i)
            arguments << QString::fromWCharArray(wide[i]);
        LocalFree(wide);
    }
#else
    for (int i = 0; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
#endif
    return arguments;
}

StartRequest readCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "CommandLine",
        "Compresses each FILE to FILE.dz and decompresses each .dz file,\n"
        "as if the files had been dropped on the window."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    for (const char *name : qtValueOptions) {
        QCommandLineOption qtOption(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }
    for (const char *name : qtFlagOptions) {
        QCommandLineOption qtOption(QString::fromLatin1(name));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }
    parser.addPositionalArgument(
        QStringLiteral("FILE"),
        QCoreApplication::translate("CommandLine", "files to compress or decompress"),
        QStringLiteral("[FILE...]"));

    StartRequest request;
    if (!parser.parse(arguments)) {
        print(stderr,
              QStringLiteral("lexpack: %1\n\n%2")
                  .arg(parser.errorText(), helpText(parser, arguments.value(0))));
        request.exitCode = 1;
    } else if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        print(stdout, helpText(parser, arguments.value(0)));
        request.exitCode = 0;
    } else if (parser.isSet(version)) {
        print(stdout, versionLine());
        request.exitCode = 0;
    } else {
        for (const char *name : qtValueOptions) {
            for (const QString &value : parser.values(QString::fromLatin1(name)))
                request.qtOptions << QLatin1Char('-') + QLatin1String(name) << value;
        }
        for (const char *name : qtFlagOptions) {
            if (parser.isSet(QString::fromLatin1(name)))
                request.qtOptions << QLatin1Char('-') + QLatin1String(name);
        }
        // Against the working directory the program was started in, as a drop's paths are.
        for (const QString &file : parser.positionalArguments())
            request.files << (file.isEmpty() ? file : QFileInfo(file).absoluteFilePath());
    }
    return request;
}
