// The runner where the tool is missing, and where the program's folder has a blank in
// its name. This test lives in a folder of its own ("tool placement") and puts a copy
// of the fake dictzip beside itself only while it needs one.

#include "dictzip.h"

#include "../guitest.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

class TestToolPlacement : public QObject
{
    Q_OBJECT

    QTemporaryDir work;
    const QString besideMe = QCoreApplication::applicationDirPath() + QStringLiteral("/dictzip");

    // Compresses `input` and returns the exit code the runner reports.
    static int run(DictZip &runner, const QString &input)
    {
        runner.compress(input, true);
        QElapsedTimer clock;
        clock.start();
        return runner.waitForFinished(60000) && clock.elapsed() < 10000 ? runner.exitCode() : 99;
    }

private slots:
    void init()
    {
        QVERIFY(work.isValid());
        QFile::remove(besideMe); // left over from an interrupted run
        QVERIFY(!QFile::exists(besideMe));
    }
    void cleanup() { QFile::remove(besideMe); }

    void missingTool()
    {
        QElapsedTimer clock;
        clock.start();
        DictZip runner;
        QVERIFY2(clock.elapsed() < 10000, "the version probe waited for a tool that is not there");
        QVERIFY(runner.version().isEmpty());
        QVERIFY(runner.waitForFinished(60000));
        QCOMPARE(run(runner, work.filePath(QStringLiteral("en.dsl"))), -1);
        QCOMPARE(runner.outputSize(), 0);
    }

    void folderWithBlank()
    {
        QVERIFY(QFile::copy(QStringLiteral(FAKE_TOOL), besideMe));
        qputenv("FAKEDICTZIP_VERSION", "fake 1\\n");
        DictZip runner;
        QVERIFY(runner.program().contains(QLatin1Char(' ')));
        QCOMPARE(runner.version(), QStringLiteral("fake 1\n"));
        const QString input = writeInput(work.filePath(QStringLiteral("en.dsl")), 0);
        QCOMPARE(run(runner, input), 0);

        // A start that fails after a success must not pass the old 0 on.
        QVERIFY(QFile::remove(besideMe));
        QCOMPARE(run(runner, input), -1);
    }
};

QTEST_GUILESS_MAIN(TestToolPlacement)
#include "tst_toolplacement.moc"
