// The tool runner: command lines with no process, then runs of the fake compressor.

#include "dictzip.h"

#include "../guitest.h"

#include <QTemporaryDir>
#include <QTest>

class TestDictZip : public QObject
{
    Q_OBJECT

    QTemporaryDir work;

private slots:
    void commandLine_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("output");

        QTest::newRow("compress") << "D:/work/en.dsl" << false << QStringList{"-f", "D:/work/en.dsl"}
                                  << "D:/work/en.dsl.dz";
        QTest::newRow("decompress, keep")
            << "D:/work/en.dsl.dz" << true << QStringList{"-k", "-f", "-d", "D:/work/en.dsl.dz"} << "D:/work/en.dsl";
        QTest::newRow("only the trailing .dz goes")
            << "D:/old.dz/en.dz" << false << QStringList{"-f", "-d", "D:/old.dz/en.dz"} << "D:/old.dz/en";
        QTest::newRow("other case") << "EN.DSL.Dz" << false << QStringList{"-f", "-d", "EN.DSL.Dz"} << "EN.DSL";
        QTest::newRow(".dz.dsl") << "f.dz.dsl" << false << QStringList{"-f", "f.dz.dsl"} << "f.dz.dsl.dz";
        QTest::newRow("dz, no dot") << "gdz" << false << QStringList{"-f", "gdz"} << "gdz.dz";
    }
    void commandLine()
    {
        QFETCH(QString, path);
        QFETCH(bool, keep);
        QFETCH(QStringList, arguments);
        QFETCH(QString, output);
        QCOMPARE(DictZip::arguments(path, keep), arguments);
        QCOMPARE(DictZip::outputName(path), output);
        QCOMPARE(DictZip::direction(path), arguments.contains("-d") ? DictZip::Decompress : DictZip::Compress);
    }

    void exitCode_data()
    {
        QTest::addColumn<QByteArray>("fake");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("message"); // the tool writes UTF-8, on Windows too
        QTest::newRow("success") << QByteArray() << 0 << QString();
        QTest::newRow("failure") << QByteArray("exit=3\nsay=словарь.dsl: нет места") << 3 << "словарь.dsl: нет места";
        QTest::newRow("crash") << QByteArray("crash=1") << -1 << QString();
        QTest::newRow("failed start") << QByteArray("missing tool") << -1 << QString();
    }
    // Each after a successful run: nothing of that run's 0 may be passed on. Neither run
    // replaces a file, which wine's Recycle Bin could not take.
    void exitCode()
    {
        QFETCH(QByteArray, fake);
        QFETCH(int, expected);
        QFETCH(QString, message);
        const QString input = writeInput(work.filePath(QTest::currentDataTag() + QString(".txt")), 10);
        DictZip runner;
        runner.start(input, true);
        QVERIFY(runner.waitForFinished(30000) && runner.exitCode() == 0 && QFile::remove(input + ".dz"));
        if (fake == "missing tool")
            runner.toolPath = work.filePath("dictzip");
        writeInput(input, 10, fake);
        runner.start(input, true);
        QVERIFY(runner.waitForFinished(30000));
        QCOMPARE(runner.exitCode(), expected);
        QVERIFY(message.isEmpty() || runner.message() == message);
    }

    void stop_data()
    {
        QTest::addColumn<QByteArray>("fake");
        QTest::newRow("stops when asked") << QByteArray("sleep_ms=60000");
        QTest::newRow("killed after the grace time") << QByteArray("sleep_ms=60000\nignore_term=1");
    }
    // A stopped run leaves no partial output; only one that does not listen is killed.
    void stop()
    {
        QFETCH(QByteArray, fake);
        const QString input = writeInput(work.filePath("stop.dsl"), 100, fake);
        DictZip runner;
        QVERIFY(!runner.stop([] {}));
        runner.start(input, true);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(input + ".dz"), 20000);
        int pumps = 0;
        QVERIFY(runner.stop([&] { ++pumps; }) && runner.waitForFinished(0) && !QFile::exists(input + ".dz"));
        const bool killed = fake.contains("ignore_term");
        QCOMPARE(runner.exitCode(), killed ? -1 : 143);
        QVERIFY(pumps > 0 || !killed);
    }
};

QTEST_MAIN(TestDictZip)
#include "tst_dictzip.moc"
