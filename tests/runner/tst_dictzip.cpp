// The tool runner against the fake dictzip that sits beside this test.

#include "dictzip.h"

#include "../guitest.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

class TestDictZip : public QObject
{
    Q_OBJECT

    QTemporaryDir work;
    QString logPath;

private slots:
    void init()
    {
        for (const char *name : {"FAKEDICTZIP_VERSION", "FAKEDICTZIP_EXIT", "FAKEDICTZIP_SLEEP_MS", "FAKEDICTZIP_BYTES",
                                 "FAKEDICTZIP_STEPS", "FAKEDICTZIP_CRASH"})
            qunsetenv(name);
        QVERIFY(work.isValid());
        logPath = work.filePath(QStringLiteral("arguments.log"));
        QFile::remove(logPath);
        qputenv("FAKEDICTZIP_LOG", QFile::encodeName(logPath));
    }

    void findsToolBeside()
    {
        DictZip runner;
        QCOMPARE(runner.program(), QCoreApplication::applicationDirPath() + QStringLiteral("/dictzip"));
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("-V\n"));
        // Nothing runs after the probe: the wait returns at once, whatever it is given.
        QElapsedTimer clock;
        clock.start();
        QVERIFY(runner.waitForFinished(60000));
        QVERIFY(clock.elapsed() < 10000);
    }

    void version_data()
    {
        QTest::addColumn<QByteArray>("printed"); // "\\0" and "\\n" as the fake reads them
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QString>("expected");
        QTest::newRow("line end kept") << QByteArray("dictzip 1.2\\n") << QByteArray() << "dictzip 1.2\n";
        QTest::newRow("cut at zero byte") << QByteArray("dictzip 1.2\\0junk\\n") << QByteArray() << "dictzip 1.2";
        QTest::newRow("zero byte first") << QByteArray("\\0dictzip") << QByteArray() << QString();
        QTest::newRow("nothing") << QByteArray() << QByteArray() << QString();
        QTest::newRow("Latin-1") << QByteArray("caf\xe9 \xa9 1.2\\n") << QByteArray() << "caf\u00e9 \u00a9 1.2\n";
        // The fake logs its arguments before the version: sent to its standard error, that
        // line must land in the version text ahead of the version.
        QTest::newRow("channels merged") << QByteArray("dictzip 1.2\\n") << QByteArray("/dev/stderr")
                                         << "-V\ndictzip 1.2\n";
    }
    void version()
    {
        QFETCH(QByteArray, printed);
        QFETCH(QByteArray, log);
        QFETCH(QString, expected);
        qputenv("FAKEDICTZIP_VERSION", printed);
        if (!log.isEmpty())
            qputenv("FAKEDICTZIP_LOG", log);
        QCOMPARE(DictZip().version(), expected);
    }

    void runs_data()
    {
        QTest::addColumn<bool>("decompress");
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("output");

        // clang-format off
        QTest::newRow("compress") << false << "work/en.dsl" << false << "-f" << "work/en.dsl.dz";
        QTest::newRow("compress, keep") << false << "work/en.dsl" << true << "-k\t-f" << "work/en.dsl.dz";
        QTest::newRow("decompress") << true << "work/en.dsl.dz" << false << "-f\t-d" << "work/en.dsl";
        QTest::newRow("decompress, keep") << true << "work/en.dsl.dz" << true << "-k\t-f\t-d" << "work/en.dsl";
        QTest::newRow(".dz in a folder name") << true << "old.dz/en.dsl.dz" << true << "-k\t-f\t-d" << "old.dz/en.dsl";
        QTest::newRow("upper-case .DZ") << true << "work/EN.DSL.DZ" << true << "-k\t-f\t-d" << "work/EN.DSL";
        QTest::newRow("mixed-case .Dz") << true << "work/en.dsl.Dz" << false << "-f\t-d" << "work/en.dsl";
        QTest::newRow("blanks") << false << "my files/en dict.dsl" << true << "-k\t-f" << "my files/en dict.dsl.dz";
        // clang-format on
    }
    void runs()
    {
        QFETCH(bool, decompress);
        QFETCH(QString, input);
        QFETCH(bool, keep);
        QFETCH(QString, options);
        QFETCH(QString, output);

        const QString inputPath = writeInput(work.filePath(input), 1000);
        DictZip runner;
        if (decompress)
            runner.decompress(inputPath, keep);
        else
            runner.compress(inputPath, keep);
        QCOMPARE(runner.outputFile(), work.filePath(output));
        QVERIFY(runner.waitForFinished(30000));
        QCOMPARE(runner.exitCode(), 0);
        QCOMPARE(toolRuns(logPath), QStringList{options + '\t' + inputPath});
        // The fake writes where the real tool would: the runner must measure that file.
        QCOMPARE(runner.outputSize(), 1000);
        QFile::remove(inputPath);
        QVERIFY(QFile::remove(work.filePath(output)));
    }

    void workingDirectory()
    {
        // A relative path resolves in the program's folder, not in the caller's.
        const QString name = QStringLiteral("workdir-%1.txt").arg(QCoreApplication::applicationPid());
        QDir programDir(QCoreApplication::applicationDirPath());
        writeInput(programDir.filePath(name), 10);
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

    void exitCode_data()
    {
        QTest::addColumn<QByteArray>("fake");
        QTest::addColumn<int>("expected");
        QTest::newRow("success") << QByteArray() << 0;
        QTest::newRow("failure") << QByteArray("exit=3") << 3;
        QTest::newRow("crash") << QByteArray("crash=1") << -1;
        QTest::newRow("killed") << QByteArray("sleep_ms=60000") << -1;
    }
    void exitCode()
    {
        QFETCH(QByteArray, fake);
        QFETCH(int, expected);
        const QString input = writeInput(work.filePath(QStringLiteral("exit.txt")), 10, fake);
        DictZip runner;
        runner.compress(input, true);
        if (fake.startsWith("sleep")) {
            QVERIFY(!runner.waitForFinished(100));
            runner.kill();
        }
        QVERIFY(runner.waitForFinished(30000));
        QCOMPARE(runner.exitCode(), expected);

        // The next run's outcome is its own.
        writeInput(input, 10);
        runner.compress(input, true);
        QVERIFY(runner.waitForFinished(30000));
        QCOMPARE(runner.exitCode(), 0);
    }

    void outputSize()
    {
        const QString input = writeInput(work.filePath(QStringLiteral("size.txt")), 1000, "bytes=300");
        const QString output = input + QStringLiteral(".dz");
        DictZip runner;
        QCOMPARE(runner.outputSize(), 0); // no run yet, no output name
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
};

QTEST_GUILESS_MAIN(TestDictZip)
#include "tst_dictzip.moc"
