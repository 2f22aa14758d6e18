// The tool runner against the fake dictzip that sits beside this test.

#include "dictzip.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool writeFile(const QString &path, qint64 size)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'x')) == size;
}

} // namespace

class TestDictZip : public QObject
{
    Q_OBJECT

    QTemporaryDir work;
    QString logPath;

    QStringList lastArguments() const
    {
        QFile log(logPath);
        if (!log.open(QIODevice::ReadOnly))
            return {};
        const QList<QByteArray> lines = log.readAll().split('\n');
        return lines.size() < 2 ? QStringList() : QString::fromLocal8Bit(lines[lines.size() - 2]).split('\t');
    }

private slots:
    void init();
    void findsToolBeside();
    void version_data();
    void version();
    void mergedChannels();
    void runs_data();
    void runs();
    void workingDirectory();
    void exitCode_data();
    void exitCode();
    void waitWhileRunning();
    void outputSize();
};

void TestDictZip::init()
{
    for (const char *name : {"FAKEDICTZIP_VERSION", "FAKEDICTZIP_EXIT", "FAKEDICTZIP_SLEEP_MS",
                             "FAKEDICTZIP_BYTES", "FAKEDICTZIP_STEPS", "FAKEDICTZIP_CRASH"})
        qunsetenv(name);
    QVERIFY(work.isValid());
    logPath = work.filePath(QStringLiteral("arguments.log"));
    QFile::remove(logPath);
    qputenv("FAKEDICTZIP_LOG", QFile::encodeName(logPath));
}

void TestDictZip::findsToolBeside()
{
    DictZip runner;
    QCOMPARE(runner.program(), QCoreApplication::applicationDirPath() + QStringLiteral("/dictzip"));
    QCOMPARE(lastArguments(), QStringList{"-V"});
    // Nothing runs after the probe: the wait returns at once, whatever it is given.
    QElapsedTimer clock;
    clock.start();
    QVERIFY(runner.waitForFinished(60000));
    QVERIFY(clock.elapsed() < 10000);
}

void TestDictZip::version_data()
{
    QTest::addColumn<QByteArray>("printed"); // "\\0" and "\\n" as the fake reads them
    QTest::addColumn<QString>("expected");
    QTest::newRow("line end kept") << QByteArray("dictzip 1.2\\n") << QStringLiteral("dictzip 1.2\n");
    QTest::newRow("cut at zero byte") << QByteArray("dictzip 1.2\\0junk\\n") << QStringLiteral("dictzip 1.2");
    QTest::newRow("zero byte first") << QByteArray("\\0dictzip") << QString();
    QTest::newRow("nothing") << QByteArray() << QString();
    QTest::newRow("Latin-1") << QByteArray("caf\xe9 \xa9 1.2\\n") << QStringLiteral("caf\u00e9 \u00a9 1.2\n");
}

void TestDictZip::version()
{
    QFETCH(QByteArray, printed);
    QFETCH(QString, expected);
    qputenv("FAKEDICTZIP_VERSION", printed);
    const DictZip runner;
    QCOMPARE(runner.version(), expected);
}

void TestDictZip::mergedChannels()
{
    // The fake writes its argument log before the version: sent to its standard error,
    // the log line must land in the version text ahead of the version.
    qputenv("FAKEDICTZIP_LOG", "/dev/stderr");
    qputenv("FAKEDICTZIP_VERSION", "dictzip 1.2\\n");
    const DictZip runner;
    QCOMPARE(runner.version(), QStringLiteral("-V\ndictzip 1.2\n"));
}

void TestDictZip::runs_data()
{
    QTest::addColumn<bool>("decompress");
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("keep");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("output");

    QTest::newRow("compress") << false << "work/en.dsl" << false << QStringList{"-f"} << "work/en.dsl.dz";
    QTest::newRow("compress, keep") << false << "work/en.dsl" << true << QStringList{"-k", "-f"} << "work/en.dsl.dz";
    QTest::newRow("decompress") << true << "work/en.dsl.dz" << false << QStringList{"-f", "-d"} << "work/en.dsl";
    QTest::newRow("decompress, keep") << true << "work/en.dsl.dz" << true << QStringList{"-k", "-f", "-d"} << "work/en.dsl";
    QTest::newRow(".dz in a folder name") << true << "old.dz/en.dsl.dz" << true << QStringList{"-k", "-f", "-d"} << "old.dz/en.dsl";
    QTest::newRow("upper-case .DZ") << true << "work/EN.DSL.DZ" << true << QStringList{"-k", "-f", "-d"} << "work/EN.DSL";
    QTest::newRow("mixed-case .Dz") << true << "work/en.dsl.Dz" << false << QStringList{"-f", "-d"} << "work/en.dsl";
    QTest::newRow("blanks") << false << "my files/en dict.dsl" << true << QStringList{"-k", "-f"} << "my files/en dict.dsl.dz";
}

void TestDictZip::runs()
{
    QFETCH(bool, decompress);
    QFETCH(QString, input);
    QFETCH(bool, keep);
    QFETCH(QStringList, options);
    QFETCH(QString, output);

    const QString inputPath = work.filePath(input);
    QVERIFY(writeFile(inputPath, 1000));
    DictZip runner;
    if (decompress)
        runner.decompress(inputPath, keep);
    else
        runner.compress(inputPath, keep);
    QCOMPARE(runner.outputFile(), work.filePath(output));
    QVERIFY(runner.waitForFinished(30000));
    QCOMPARE(runner.exitCode(), 0);
    QCOMPARE(lastArguments(), options << inputPath);
    // The fake writes where the real tool would: the runner must measure that file.
    QVERIFY(QFile::exists(work.filePath(output)));
    QCOMPARE(runner.outputSize(), 1000);
    QFile::remove(inputPath);
    QFile::remove(work.filePath(output));
}

void TestDictZip::workingDirectory()
{
    // A relative path resolves in the program's folder, not in the caller's.
    const QString name = QStringLiteral("workdir-%1.txt").arg(QCoreApplication::applicationPid());
    QDir programDir(QCoreApplication::applicationDirPath());
    QVERIFY(writeFile(programDir.filePath(name), 10));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work.path()));
    DictZip runner;
    runner.compress(name, true);
    QVERIFY(runner.waitForFinished(30000));
    QDir::setCurrent(previous);
    const bool written = programDir.remove(name + QStringLiteral(".dz"));
    programDir.remove(name);
    QCOMPARE(runner.exitCode(), 0);
    QVERIFY(written);
}

void TestDictZip::exitCode_data()
{
    QTest::addColumn<QByteArray>("exit");
    QTest::addColumn<QByteArray>("crash");
    QTest::addColumn<int>("expected");
    QTest::newRow("success") << QByteArray("0") << QByteArray("0") << 0;
    QTest::newRow("failure") << QByteArray("3") << QByteArray("0") << 3;
    QTest::newRow("crash") << QByteArray("0") << QByteArray("1") << -1;
}

void TestDictZip::exitCode()
{
    QFETCH(QByteArray, exit);
    QFETCH(QByteArray, crash);
    QFETCH(int, expected);

    const QString input = work.filePath(QStringLiteral("exit.txt"));
    QVERIFY(writeFile(input, 10));
    DictZip runner;
    qputenv("FAKEDICTZIP_EXIT", exit);
    qputenv("FAKEDICTZIP_CRASH", crash);
    runner.compress(input, true);
    QVERIFY(runner.waitForFinished(30000));
    QCOMPARE(runner.exitCode(), expected);

    // The next run's outcome is its own.
    qunsetenv("FAKEDICTZIP_EXIT");
    qunsetenv("FAKEDICTZIP_CRASH");
    runner.compress(input, true);
    QVERIFY(runner.waitForFinished(30000));
    QCOMPARE(runner.exitCode(), 0);
}

void TestDictZip::waitWhileRunning()
{
    const QString input = work.filePath(QStringLiteral("slow.txt"));
    QVERIFY(writeFile(input, 10));
    DictZip runner;
    qputenv("FAKEDICTZIP_SLEEP_MS", "60000");
    runner.compress(input, true);
    QVERIFY(!runner.waitForFinished(100));
    runner.kill();
    QVERIFY(runner.waitForFinished(30000));
    QCOMPARE(runner.exitCode(), -1);
}

void TestDictZip::outputSize()
{
    const QString input = work.filePath(QStringLiteral("size.txt"));
    const QString output = input + QStringLiteral(".dz");
    QVERIFY(writeFile(input, 1000));
    DictZip runner;
    QCOMPARE(runner.outputSize(), 0); // no run yet, no output name

    qputenv("FAKEDICTZIP_BYTES", "300");
    runner.compress(input, true);
    QVERIFY(runner.waitForFinished(30000));
    QCOMPARE(runner.outputSize(), 300);
    // Each call looks afresh: the tool grows the file between polls.
    const qint64 huge = (Q_INT64_C(5) << 30) + 123;
    if (!QFile::resize(output, huge)) // sparse: no disk space needed
        QSKIP("this file system cannot hold a sparse file over 4 GiB");
    QCOMPARE(runner.outputSize(), huge);
    QVERIFY(QFile::remove(output));
    QCOMPARE(runner.outputSize(), 0);
}

QTEST_GUILESS_MAIN(TestDictZip)
#include "tst_dictzip.moc"
