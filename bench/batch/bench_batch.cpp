// Prints what a batch costs per file beyond the tool runs themselves, and whether that
// cost grows with the number of rows. The compressor beside this program is the fake
// one, which exits at once.

#include "mainform.h"

#include <QApplication>
#include <QtGlobal>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

QStringList makeFiles(const QString &dir, int count)
{
    QStringList paths;
    paths.reserve(count);
    const QByteArray content(200, 'x');
    for (int i = 0; i < count; ++i) {
        const QString path = QStringLiteral("%1/word%2.dsl").arg(dir).arg(i, 5, 10, QLatin1Char('0'));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            std::exit(1);
        }
        paths << path;
    }
    return paths;
}

// Milliseconds per file, the best of `rounds` batches (the least disturbed by other load).
double batchPerFile(MainForm &window, const QStringList &paths, int rounds)
{
    double best = 1e9;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        window.processFiles(paths);
        best = std::min(best, clock.nsecsElapsed() / 1e6 / paths.size());
    }
    return best;
}

// The same tool runs with nothing around them: one QProcess, started and awaited per file.
double plainPerFile(const QString &tool, const QStringList &paths, int rounds)
{
    double best = 1e9;
    for (int round = 0; round < rounds; ++round) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setWorkingDirectory(QCoreApplication::applicationDirPath());
        QElapsedTimer clock;
        clock.start();
        for (const QString &path : paths) {
            process.start(tool, {QStringLiteral("-k"), QStringLiteral("-f"), path});
            process.waitForFinished(-1);
        }
        best = std::min(best, clock.nsecsElapsed() / 1e6 / paths.size());
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The offscreen platform warns on every change of the window's size hints.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type != QtDebugMsg && type != QtWarningMsg && type != QtInfoMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    // An argument replaces the largest batch, for a quicker look.
    const int largest = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 10000;
    const QStringList all = makeFiles(dir.path(), largest);
    const QString tool = QCoreApplication::applicationDirPath() + QStringLiteral("/dictzip");

    MainForm window;
    window.show();

    // Warm up caches and the process machinery once.
    window.processFiles(all.mid(0, 20));

    const double per100 = batchPerFile(window, all.mid(0, 100), 5);
    // Taken in turns, so that a change in the machine's load falls on both alike.
    double per1000 = 1e9, plain1000 = 1e9;
    for (int round = 0; round < 3; ++round) {
        per1000 = std::min(per1000, batchPerFile(window, all.mid(0, 1000), 1));
        plain1000 = std::min(plain1000, plainPerFile(tool, all.mid(0, 1000), 1));
    }
    const double perLargest = batchPerFile(window, all, 1);

    std::printf("batch of   100 files: %.3f ms per file\n", per100);
    std::printf("batch of  1000 files: %.3f ms per file\n", per1000);
    std::printf("batch of %5d files: %.3f ms per file\n", largest, perLargest);
    std::printf("ratio %5d : 100     %.2f   (goal <= 1.5)\n", largest, perLargest / per100);
    std::printf("plain loop, 1000 runs: %.3f ms per run\n", plain1000);
    std::printf("batch 1000 : plain    %.2f   (goal <= 1.3)\n", per1000 / plain1000);
    return 0;
}
