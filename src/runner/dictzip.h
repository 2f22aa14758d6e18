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
    // The tool's command line for a run on `path`, "-k" asking it to leave the input.
    static QStringList arguments(const QString &path, bool keep);

    // Starts a run on `path` in the direction the rule gives, and returns at once.
    void start(const QString &path, bool keep);
    bool waitForFinished(int ms);
    qint64 outputSize() const;
    int exitCode() const;
    QString version() const;

    // Stops the run under way and returns once it has ended: the tool is asked to stop,
    // so that it removes its partial output and puts back a file it set aside; one that
    // has not ended after a grace time is killed. `pump` runs between short waits.
    // Returns false when no run was going.
    bool stop(const std::function<void()> &pump);

private:
    friend class TestDictZip;

    void probeVersion();
    void launch(const QStringList &arguments);
    void askToStop();

    QString toolPath;
    QString output;
    QString versionText;
    QProcess process;
    bool startFailed = false;
};

#endif // DICTZIP_H
