#ifndef DICTZIP_H
#define DICTZIP_H

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

// Runs the dictzip compressor that sits beside the program: one run at a time,
// judged by its exit code and by the size of the file it writes.
class DictZip : public QObject
{
    Q_OBJECT

public:
    enum Direction { Compress, Decompress };

    explicit DictZip(QObject *parent = nullptr);
    ~DictZip() override;

    // The one ".dz" rule: a path ending in ".dz", in any letter case, is decompressed
    // into the path without that ending; any other path is compressed into path + ".dz".
    static Direction direction(const QString &path);
    static QString outputName(const QString &path);
    // The tool's command line for a run on `path`, "-k" asking it to leave the input,
    // "--progress" asking our own compressor to tell how far it has read, and
    // `replacedTo` where it is to leave a file that the output replaces.
    static QStringList arguments(const QString &path, bool keep, bool progress = false,
                                 const QString &replacedTo = QString());

    // Starts a run on `path` in the direction the rule gives, and returns at once. A file
    // the run replaces is set aside for the run (by our own compressor as it starts, by
    // the runner for another) and goes to the Trash once the run has succeeded; a failed
    // or stopped run puts it back. Where no Trash could take it, nothing runs and the run
    // fails (exit code -1) with the reason as its message; so does a success whose
    // replaced file the Trash then refuses, which is kept under a name the message gives.
    void start(const QString &path, bool keep);
    bool waitForFinished(int ms);
    qint64 outputSize() const;
    int exitCode() const;
    QString version() const;
    // Whether the version probe could start the tool.
    bool toolFound() const { return found; }
    QString program() const { return toolPath; }
    // The last lines the last run printed, or why it did not run.
    QString message() const { return lastMessage; }
    // Where the file that the last run replaced went in the Trash; empty when it replaced
    // none, or when the Trash of another file system took it (GIO does not tell where).
    QString trashed() const { return trashPath; }
    // The share of its input that the run under way has read, 0 to 1; -1 when the tool
    // does not tell.
    double progress() const;
    bool tellsProgress() const { return reportsProgress; }

    // Stops the run under way and returns once it has ended: the tool is asked to stop,
    // so that it removes its partial output and puts back a file it set aside; one that
    // has not ended after a grace time is killed, and the runner cleans up after it.
    // `pump` runs between short waits. Returns false when no run was going.
    bool stop(const std::function<void()> &pump);

private:
    friend class TestDictZip;
    friend class TestBatchRun;

    void probeVersion();
    void launch(const QStringList &arguments);
    void askToStop();
    bool setAsideOldOutput();
    void readOutput();
    void settle();
    void takeLine();

    QString toolPath;
    QString output;
    QString versionText;
    QProcess process;
    bool startFailed = false;
    bool found = false;
    bool reportsProgress = false;
    // The output did not exist when the run started: what is there after a stop is partial.
    bool outputWasFree = false;
    QString aside; // where the file that the output replaces is kept during the run
    bool stopping = false;
    bool settled = true; // the ended run's files are in their final places
    bool trashFailed = false;
    bool probing = false;
    QByteArray versionBytes;
    QByteArray pendingLine; // the line being read, cut one byte past the limit
    QString lastMessage;
    QStringList printed; // the run's last lines, progress lines left out
    QString trashPath;
    qint64 bytesRead = -1;
    qint64 inputSize = 0;
};

#endif // DICTZIP_H
