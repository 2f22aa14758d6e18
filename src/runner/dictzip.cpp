#include "dictzip.h"

#include <QCoreApplication>
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

void DictZip::probeVersion()
{
    start({QStringLiteral("-V")});
    process.waitForFinished(probeTimeoutMs);
    QByteArray output = process.readAllStandardOutput();
    const int zero = output.indexOf('\0');
    if (zero >= 0)
        output.truncate(zero);
    versionText = QString::fromLatin1(output);
}

void DictZip::start(const QStringList &arguments)
{
    startFailed = false;
    process.start(toolPath, arguments, QIODevice::ReadWrite);
}

void DictZip::compress(const QString &path, bool keep)
{
    outputName = path + QLatin1String(".dz");
    QStringList arguments;
    if (keep)
        arguments << QStringLiteral("-k");
    arguments << QStringLiteral("-f") << path;
    start(arguments);
}

void DictZip::decompress(const QString &path, bool keep)
{
    outputName = decompressedName(path);
    QStringList arguments;
    if (keep)
        arguments << QStringLiteral("-k");
    arguments << QStringLiteral("-f") << QStringLiteral("-d") << path;
    start(arguments);
}

QString DictZip::decompressedName(const QString &path)
{
    if (path.endsWith(QLatin1String(".dz"), Qt::CaseInsensitive))
        return path.chopped(3);
    return path;
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
    const QFileInfo info(outputName);
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

void DictZip::terminate()
{
    if (process.state() == QProcess::NotRunning)
        return;
#ifdef Q_OS_WIN
    // A console program never sees the WM_CLOSE that QProcess::terminate() posts; dictzip
    // watches a named event instead and stops cleanly (partial output removed) when it is set.
    const std::wstring name = dz::stopEventName(process.processId());
    if (HANDLE stop = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str())) {
        SetEvent(stop);
        CloseHandle(stop);
    }
#endif
    process.terminate();
}

void DictZip::kill()
{
    if (process.state() != QProcess::NotRunning)
        process.kill();
}
