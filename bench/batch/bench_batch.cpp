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
#include <ctime>

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

// Per file: wall-clock milliseconds, and the CPU milliseconds of this process alone (the
// window's own work, without the tool's), the best of the rounds taken.
struct Cost
{
    double wall = 1e9;
    double cpu = 1e9;
};

template<typename Work>
void measure(Cost &best, int files, Work work)
{
    QElapsedTimer clock;
    const std::clock_t cpuStart = std::clock();
    clock.start();
    work();
    best.wall = std::min(best.wall, clock.nsecsElapsed() / 1e6 / files);
    best.cpu = std::min(best.cpu, double(std::clock() - cpuStart) * 1000 / CLOCKS_PER_SEC / files);
}

void batch(Cost &best, MainForm &window, const QStringList &paths)
{
    measure(best, int(paths.size()), [&] { window.processFiles(paths); });
}

// The same tool runs with nothing around them: one QProcess, started and awaited per file.
void plain(Cost &best, const QString &tool, const QStringList &paths)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(QCoreApplication::applicationDirPath());
    measure(best, int(paths.size()), [&] {
        for (const QString &path : paths) {
            process.start(tool, {QStringLiteral("-k"), QStringLiteral("-f"), path});
            process.waitForFinished(-1);
        }
    });
}

void print(const char *what, const Cost &cost)
{
    std::printf("%-26s %6.3f ms per file (%.3f ms CPU in the window's process)\n", what, cost.wall, cost.cpu);
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

    // Rounds taken in turns, so that a change in the machine's load falls on all alike.
    Cost per100, per1000, perLargest, plain1000;
    for (int round = 0; round < 3; ++round) {
        batch(per100, window, all.mid(0, 100));
        batch(per1000, window, all.mid(0, 1000));
        plain(plain1000, tool, all.mid(0, 1000));
        if (round < 2)
            batch(perLargest, window, all);
    }

    const QByteArray largestName = QByteArray::number(largest);
    print("batch of 100 files", per100);
    print("batch of 1000 files", per1000);
    print(QByteArray("batch of " + largestName + " files").constData(), perLargest);
    print("plain loop, 1000 runs", plain1000);
    std::printf("%-26s %6.2f (goal: at most 1.5)\n", QByteArray("per file, " + largestName + " : 100").constData(),
                perLargest.wall / per100.wall);
    std::printf("%-26s %6.2f (goal: at most 1.3)\n", "1000 files, batch : plain", per1000.wall / plain1000.wall);
    return 0;
}
