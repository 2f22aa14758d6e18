#include "dictzip.h"

#include "trash.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include "frontend.h"

#ifdef Q_OS_WIN
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
const QLatin1String ownToolMark(dz::frontend::kVersionMark);
const QByteArray progressWord(dz::frontend::kProgressPrefix);
// Our own compressor leaves the file it replaces here, for the runner to put in the Trash.
const QLatin1String replacedToOption(dz::frontend::kReplacedToOption);
const QLatin1String asideInfix(dz::frontend::kAsideMark);
// What is kept of the tool's output: its version text, and each line of a message.
const qsizetype versionLimit = 4096;
const qsizetype lineLimit = 400;
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
            lastMessage = tr("cannot start %1: %2")
                              .arg(QDir::toNativeSeparators(toolPath), process.errorString());
        }
    });
    connect(&process, &QProcess::finished, this, [this](int, QProcess::ExitStatus status) {
        if (status == QProcess::CrashExit)
            lastMessage = tr("the compressor ended abnormally");
    });
    // Output is taken as it arrives, so that it never piles up in the process's buffer.
    connect(&process, &QProcess::readyRead, this, &DictZip::readOutput);
    probeVersion();
}

DictZip::~DictZip()
{
    // A run still going is stopped as Cancel stops it, so that what it replaces comes back.
    stop([] {});
}

DictZip::Direction DictZip::direction(const QString &path)
{
    return path.endsWith(dzSuffix, Qt::CaseInsensitive) ? Decompress : Compress;
}

QString DictZip::outputName(const QString &path)
{
    return direction(path) == Decompress ? path.chopped(dzSuffix.size()) : path + dzSuffix;
}

QStringList DictZip::arguments(const QString &path, bool keep, bool progress,
                               const QString &replacedTo)
{
    QStringList arguments;
    if (progress)
        arguments << QLatin1String(dz::frontend::kProgressOption);
    if (!replacedTo.isEmpty())
        arguments << replacedToOption << replacedTo;
    if (keep)
        arguments << QStringLiteral("-k");
    arguments << QStringLiteral("-f");
    if (direction(path) == Decompress)
        arguments << QStringLiteral("-d");
    return arguments << QDir::toNativeSeparators(path); // as the tool names it back
}

void DictZip::probeVersion()
{
    probing = true;
    versionBytes.clear(); // a second probe speaks of the tool there now
    launch({QStringLiteral("-V")});
    process.waitForFinished(probeTimeoutMs);
    readOutput();
    probing = false;
    QByteArray printed = versionBytes;
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
    // Text: the tool's lines end in "\r\n" on Windows.
    process.start(toolPath, arguments, QIODevice::ReadWrite | QIODevice::Text);
}

void DictZip::start(const QString &path, bool keep)
{
    output = outputName(path);
    lastMessage.clear();
    printed.clear();
    trashPath.clear();
    pendingLine.clear();
    bytesRead = reportsProgress ? 0 : -1;
    inputSize = QFileInfo(path).size();
    stopping = trashFailed = false;
    settled = false;
    if (!setAsideOldOutput()) {
        startFailed = true;
        settled = true;
        return;
    }
    // Our compressor sets aside whatever is there when it starts, even a file that
    // appeared after the look above.
    launch(arguments(path, keep, reportsProgress, reportsProgress ? aside : QString()));
}

// "-f" lets the tool replace an existing output; until the run has succeeded the previous
// file waits beside it, under a name of its own that nothing else uses.
bool DictZip::setAsideOldOutput()
{
    const QFileInfo info(output);
    outputWasFree = !Trash::present(output);
    const QString base = output + asideInfix + QString::number(QCoreApplication::applicationPid());
    aside = base;
    for (int n = 1; Trash::present(aside); ++n)
        aside = base + QLatin1Char('-') + QString::number(n);
    // A folder in the way is the tool's to refuse: it is neither moved nor trashed.
    if (outputWasFree || (info.isDir() && !info.isSymLink()))
        return true;
    QString why = Trash::refusal(output);
    if (why.isEmpty() && !reportsProgress)
        why = Trash::setAside(output, aside);
    if (why.isEmpty())
        return true;
    lastMessage =
        tr("not replaced: %1 exists and cannot be moved to the Trash: %2").arg(output, why);
    return false;
}

// Once the run has ended: after a success the previous file goes to the Trash; after a
// failure it comes back, if the tool has not put it back itself (it was killed, or it is
// not ours), and a stopped run's partial output goes.
void DictZip::settle()
{
    if (settled)
        return;
    settled = true;
    const bool asideThere = Trash::present(aside);
    QString why;
    if (exitCode() == 0) {
        if (asideThere && !(why = Trash::discard(aside, output, trashPath)).isEmpty()) {
            trashFailed = true;
            lastMessage = why;
        }
        return;
    }
    if (asideThere)
        why = Trash::putBack(aside, output);
    else if (outputWasFree && (stopping || process.exitStatus() == QProcess::CrashExit))
        QFile::remove(output);
    if (!why.isEmpty())
        lastMessage = lastMessage.isEmpty() ? why : lastMessage + QLatin1Char('\n') + why;
}

bool DictZip::waitForFinished(int ms)
{
    if (process.state() != QProcess::NotRunning)
        process.waitForFinished(ms);
    readOutput();
    if (process.state() != QProcess::NotRunning)
        return false;
    settle();
    return true;
}

// Progress lines are taken out of the tool's output; of the other lines the last few are
// kept, each cut to a length a person reads, so that a tool printing without end costs
// neither memory nor time. Called on every chunk that arrives, never with a backlog.
void DictZip::readOutput()
{
    const QByteArray chunk = process.readAll();
    if (probing) {
        versionBytes += chunk.left(versionLimit - versionBytes.size());
        return;
    }
    for (qsizetype from = 0; from < chunk.size();) {
        qsizetype end = chunk.indexOf('\n', from);
        const bool lineEnds = end >= 0;
        if (!lineEnds)
            end = chunk.size();
        // One byte past the limit tells takeLine() that the line was cut.
        pendingLine += chunk.mid(
            from, qMax<qsizetype>(0, qMin(end - from, lineLimit + 1 - pendingLine.size())));
        from = end + 1;
        if (lineEnds)
            takeLine();
    }
    if (process.state() == QProcess::NotRunning && !pendingLine.isEmpty())
        takeLine();
}

void DictZip::takeLine()
{
    QByteArray line = pendingLine.trimmed();
    pendingLine.clear();
    const QList<QByteArray> numbers = line.mid(progressWord.size()).split(' ');
    if (reportsProgress && line.startsWith(progressWord) && numbers.size() == 2) {
        bytesRead = numbers.at(0).toLongLong();
        inputSize = numbers.at(1).toLongLong();
        return;
    }
    if (line.isEmpty())
        return;
    const bool cut = line.size() > lineLimit;
    if (cut) {
        line.truncate(lineLimit);
        // Not inside a character: back to the lead byte, which goes too.
        while (!line.isEmpty() && (uchar(line.back()) & 0xc0) == 0x80)
            line.chop(1);
        if (!line.isEmpty() && uchar(line.back()) >= 0xc0)
            line.chop(1);
    }
    // A hint may follow the reason ("Try ... for help"): the last lines are kept, in UTF-8 as
    // the tool writes them, on Windows too.
    printed << QString::fromUtf8(line) + (cut ? QString(QChar(0x2026)) : QString());
    if (printed.size() > 3)
        printed.removeFirst();
    lastMessage = printed.join(QLatin1Char('\n'));
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
    if (startFailed || trashFailed || process.exitStatus() == QProcess::CrashExit)
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
    const std::wstring name = dz::frontend::stopEventName(process.processId());
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
    stopping = true;
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
