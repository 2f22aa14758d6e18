#include "dictzip.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include "stopevent.h"
#include <windows.h>
#endif

namespace {
#ifdef Q_OS_WIN
const char toolName[] = "\\dictzip.exe";
#else
const char toolName[] = "/dictzip";
#endif
const int probeTimeoutMs = 30000;
// A run asked to stop gets this long to clean up before it is killed.
const int stopGraceMs = 2000;
const int stopSliceMs = 50;
const QLatin1String dzSuffix(".dz");
// Our own compressor says so in its version line; only it is asked for progress lines.
const QLatin1String ownToolMark("(Lexpack)");
const QByteArray progressWord("progress ");
}

DictZip::DictZip(QObject *parent)
    : QObject(parent)
{
    toolPath = QCoreApplication::applicationDirPath() + QLatin1String(toolName);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(QCoreApplication::applicationDirPath());
    // A run that never started must not read as success (its exit code would be a stale 0).
    connect(&process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            startFailed = true;
            lastMessage =
                QStringLiteral("cannot start %1: %2").arg(toolPath, process.errorString());
        }
    });
    connect(&process, &QProcess::started, this, [this] { pid = process.processId(); });
    connect(&process, &QProcess::finished, this, [this](int, QProcess::ExitStatus status) {
        if (status == QProcess::CrashExit)
            lastMessage = QStringLiteral("the compressor ended abnormally");
    });
    probeVersion();
}

DictZip::~DictZip()
{
    // What QProcess would do anyway, without its warning about a process still running.
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
}

DictZip::Direction DictZip::direction(const QString &path)
{
    return path.endsWith(dzSuffix, Qt::CaseInsensitive) ? Decompress : Compress;
}

QString DictZip::outputName(const QString &path)
{
    return direction(path) == Decompress ? path.chopped(dzSuffix.size()) : path + dzSuffix;
}

QStringList DictZip::arguments(const QString &path, bool keep, bool progress)
{
    QStringList arguments;
    if (progress)
        arguments << QStringLiteral("--progress");
    if (keep)
        arguments << QStringLiteral("-k");
    arguments << QStringLiteral("-f");
    if (direction(path) == Decompress)
        arguments << QStringLiteral("-d");
    return arguments << path;
}

void DictZip::probeVersion()
{
    launch({QStringLiteral("-V")});
    process.waitForFinished(probeTimeoutMs);
    QByteArray printed = process.readAllStandardOutput();
    const int zero = printed.indexOf('\0');
    if (zero >= 0)
        printed.truncate(zero);
    versionText = QString::fromLatin1(printed);
    found = !startFailed;
    reportsProgress = versionText.contains(ownToolMark);
}

void DictZip::launch(const QStringList &arguments)
{
    startFailed = false;
    process.start(toolPath, arguments, QIODevice::ReadWrite);
}

void DictZip::start(const QString &path, bool keep)
{
    output = outputName(path);
    lastMessage.clear();
    printed.clear();
    trashPath.clear();
    pendingLine.clear();
    pid = 0;
    bytesRead = reportsProgress ? 0 : -1;
    inputSize = QFileInfo(path).size();
    if (!moveOldOutputToTrash()) {
        startFailed = true;
        return;
    }
    launch(arguments(path, keep, reportsProgress));
}

// "-f" lets the tool replace an existing output; the user gets it back from the Trash.
bool DictZip::moveOldOutputToTrash()
{
    const QFileInfo info(output);
    outputWasFree = !info.exists() && !info.isSymLink();
    // A folder in the way is the tool's to refuse: it is not moved.
    if (outputWasFree || info.isDir())
        return true;
    QString trashed;
    if (QFile::moveToTrash(output, &trashed) && !QDir::isRelativePath(trashed)) {
        trashPath = trashed;
        outputWasFree = true;
        return true;
    }
    if (!trashed.isEmpty()) {
        // Qt 6.4 on Linux, finding no trash folder, takes the current folder for one.
        QFile::rename(trashed, output);
        const QDir fakeTrash(QFileInfo(QFileInfo(trashed).path()).path());
        QFile::remove(fakeTrash.filePath(QLatin1String("info/") + QFileInfo(trashed).fileName()
                                         + QLatin1String(".trashinfo")));
        fakeTrash.rmdir(QStringLiteral("files"));
        fakeTrash.rmdir(QStringLiteral("info"));
    }
    lastMessage =
        QStringLiteral("not replaced: %1 exists and cannot be moved to the Trash").arg(output);
    return false;
}

bool DictZip::waitForFinished(int ms)
{
    if (process.state() != QProcess::NotRunning)
        process.waitForFinished(ms);
    readOutput();
    return process.state() == QProcess::NotRunning;
}

// Progress lines are taken out of the tool's output; any other line may be its message.
void DictZip::readOutput()
{
    pendingLine += process.readAll();
    const bool ended = process.state() == QProcess::NotRunning;
    for (qsizetype end;
         (end = pendingLine.indexOf('\n')) >= 0 || (ended && !pendingLine.isEmpty());) {
        if (end < 0)
            end = pendingLine.size();
        const QByteArray line = pendingLine.left(end).trimmed();
        pendingLine.remove(0, end + 1);
        const QList<QByteArray> numbers = line.mid(progressWord.size()).split(' ');
        if (reportsProgress && line.startsWith(progressWord) && numbers.size() == 2) {
            bytesRead = numbers.at(0).toLongLong();
            inputSize = numbers.at(1).toLongLong();
        } else if (!line.isEmpty()) {
            // A hint may follow the reason ("Try ... for help"): the last lines are kept.
            printed << QString::fromUtf8(line); // as the tool writes it, on Windows too
            if (printed.size() > 3)
                printed.removeFirst();
            lastMessage = printed.join(QLatin1Char('\n'));
        }
    }
}

double DictZip::progress() const
{
    if (bytesRead < 0 || inputSize <= 0)
        return -1;
    return qBound(0.0, double(bytesRead) / double(inputSize), 1.0);
}

qint64 DictZip::outputSize() const
{
    // A fresh QFileInfo each call: the tool grows the file between polls.
    const QFileInfo info(output);
    return info.exists() ? info.size() : 0;
}

int DictZip::exitCode() const
{
    if (startFailed || process.exitStatus() == QProcess::CrashExit)
        return -1;
    return process.exitCode();
}

QString DictZip::version() const
{
    return versionText;
}

void DictZip::askToStop()
{
#ifdef Q_OS_WIN
    // A console program never sees the WM_CLOSE that QProcess::terminate() posts; dictzip
    // watches a named event instead and stops cleanly when it is set.
    const std::wstring name = dz::stopEventName(process.processId());
    if (HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str())) {
        SetEvent(event);
        CloseHandle(event);
    }
#endif
    process.terminate();
}

bool DictZip::stop(const std::function<void()> &pump)
{
    if (waitForFinished(0))
        return false;
    askToStop();
    QElapsedTimer clock;
    clock.start();
    bool killed = false;
    while (!waitForFinished(stopSliceMs)) {
        if (!killed && clock.hasExpired(stopGraceMs)) {
            process.kill();
            killed = true;
        }
        pump();
    }
    if (exitCode() != 0)
        removePartialOutput();
    return true;
}

// Our tool, asked to stop, cleans up itself; one that was killed, or a tool that does
// not clean up, may leave a partial output and the file it set aside for the run.
void DictZip::removePartialOutput()
{
    if (!outputWasFree || output.isEmpty())
        return;
    QFile::remove(output);
    const QString aside = output + QLatin1String(".dictzip-old-") + QString::number(pid);
    if (QFile::exists(aside))
        QFile::rename(aside, output);
}
