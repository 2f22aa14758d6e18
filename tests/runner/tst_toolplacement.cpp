// The runner where the tool is missing, and where the program's folder has a blank in
// its name. This test lives in a folder of its own ("tool placement") and puts a copy
// of the fake dictzip beside itself only while it needs one.

#include "dictzip.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestToolPlacement : public QObject
{
    Q_OBJECT

    QTemporaryDir work;
    const QString besideMe = QCoreApplication::applicationDirPath() + QStringLiteral("/dictzip");

private slots:
    void init();
    void cleanup();
    void missingTool();
    void folderWithBlank();
};

void TestToolPlacement::init()
{
    QVERIFY(work.isValid());
    QFile::remove(besideMe); // left over from an interrupted run
    QVERIFY(!QFile::exists(besideMe));
}

void TestToolPlacement::cleanup()
{
    QFile::remove(besideMe);
}

void TestToolPlacement::missingTool()
{
    QElapsedTimer clock;
    clock.start();
    DictZip runner;
    QVERIFY2(clock.elapsed() < 10000, "the version probe waited for a tool that is not there");
    QVERIFY(runner.version().isEmpty());
    QVERIFY(runner.waitForFinished(60000));

    const QString input = work.filePath(QStringLiteral("en.dsl"));
    runner.compress(input, true);
    clock.restart();
    QVERIFY(runner.waitForFinished(60000));
    QVERIFY(clock.elapsed() < 10000);
    QCOMPARE(runner.exitCode(), -1);
    QCOMPARE(runner.outputSize(), 0);
}

void TestToolPlacement::folderWithBlank()
{
    QVERIFY(QFile::copy(QStringLiteral(FAKE_TOOL), besideMe));
    qputenv("FAKEDICTZIP_VERSION", "fake 1\\n");
    DictZip runner;
    QVERIFY(runner.program().contains(QLatin1Char(' ')));
    QCOMPARE(runner.version(), QStringLiteral("fake 1\n"));

    const QString input = work.filePath(QStringLiteral("en.dsl"));
    QFile file(input);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    runner.compress(input, true);
    QVERIFY(runner.waitForFinished(30000));
    QCOMPARE(runner.exitCode(), 0);

    // A start that fails after a success must not pass the old 0 on.
    QVERIFY(QFile::remove(besideMe));
    runner.compress(input, true);
    QVERIFY(runner.waitForFinished(30000));
    QCOMPARE(runner.exitCode(), -1);
}

QTEST_GUILESS_MAIN(TestToolPlacement)
#include "tst_toolplacement.moc"
