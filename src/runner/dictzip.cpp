#include "dictzip.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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
}

DictZip::DictZip(QObject *parent)
    : QObject(parent)
{
    toolPath = QCoreApplication::applicationDirPath() + QLatin1String(toolName);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(QCoreApplication::applicationDirPath());
    // A run that never started must not read as success (its exit code would be a stale 0).
    connect(&process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            startFailed = true;
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

QStringList DictZip::arguments(const QString &path, bool keep)
{
    QStringList arguments;
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
}

void DictZip::launch(const QStringList &arguments)
{
    startFailed = false;
    process.start(toolPath, arguments, QIODevice::ReadWrite);
}

void DictZip::start(const QString &path, bool keep)
{
    output = outputName(path);
    launch(arguments(path, keep));
}

bool DictZip::waitForFinished(int ms)
{
    if (process.state() == QProcess::NotRunning)
        return true;
    process.waitForFinished(ms);
    return process.state() == QProcess::NotRunning;
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
    return true;
}
