#ifndef DICTZIP_H
#define DICTZIP_H

#include <QObject>
#include <QProcess>
#include <QString>

// Runs the dictzip compressor that sits beside the program: one run at a time,
// judged by its exit code and by the size of the file it writes.
class DictZip : public QObject
{
    Q_OBJECT

public:
    explicit DictZip(QObject *parent = nullptr);
    ~DictZip() override;

    void compress(const QString &path, bool keep);
    void decompress(const QString &path, bool keep);
    bool waitForFinished(int ms);
    qint64 outputSize() const;
    int exitCode() const;
    QString version() const;

    // Asks the run under way to stop (SIGTERM on Unix); kill() ends it outright.
    void terminate();
    void kill();

    QString program() const { return toolPath; }
    QString outputFile() const { return outputName; }

    // The name the tool writes when it decompresses `path`: the path without its
    // trailing ".dz", in any letter case.
    static QString decompressedName(const QString &path);

private:
    void probeVersion();
    void start(const QStringList &arguments);

    QString toolPath;
    QString outputName;
    QString versionText;
    QProcess process;
    bool startFailed = false;
};

#endif // DICTZIP_H
