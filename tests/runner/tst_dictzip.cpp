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
    // The arguments, the path last and "-k" where the input is kept, then the output: only a trailing ".dz", in
    // any letter case, is taken off.
    void commandLine_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("output");
        for (const char *row : {"-f D:/work/en.dsl|D:/work/en.dsl.dz", "-k -f -d D:/work/en.dsl.dz|D:/work/en.dsl",
                                "-f -d D:/old.dz/en.dz|D:/old.dz/en", "-f -d EN.DSL.Dz|EN.DSL",
                                "-f f.dz.dsl|f.dz.dsl.dz", "-f gdz|gdz.dz"})
            QTest::newRow(row) << QString(row).section('|', 0, 0) << QString(row).section('|', 1);
    }
    void commandLine()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, output);
        const QString path = arguments.section(' ', -1); // given as "D:\work\en.dsl" on Windows
        QCOMPARE(DictZip::arguments(path, arguments.contains("-k")).join(' '), QDir::toNativeSeparators(arguments));
        QCOMPARE(DictZip::outputName(path), output);
    }

    void run_data()
    {
        QTest::addColumn<QByteArray>("fake");
        QTest::addColumn<QString>("end"); // waited for, stopped, or the runner deleted with the window
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("message"); // how it starts; the tool writes UTF-8, on Windows too
        QTest::newRow("failure") << QByteArray("exit=3\nsay=словарь.dsl: нет места") << "wait" << 3
                                 << "словарь.dsl: нет места\nTry 'dictzip -h' for help.";
        QTest::newRow("crash") << QByteArray("crash=1") << "wait" << -1 << QString();
        QTest::newRow("a 10 MB line") << QByteArray("exit=4\nnoise=10000000\nsay=the reason") << "wait" << 4
                                      << QString(400, 'x') + QChar(0x2026) + "\nthe reason\n";
        QTest::newRow("killed after the grace time")
            << QByteArray("sleep_ms=60000\nignore_term=1") << "stop" << -1 << QString();
        QTest::newRow("deleted") << QByteArray("sleep_ms=60000\nignore_term=1") << "delete" << -1 << QString();
        QTest::newRow("output without end") << QByteArray("noise=-1") << "stop" << 143 << QString();
    }
    // Each after a successful run, whose 0 must not be passed on, and over its output: a run that fails or
    // is stopped leaves no partial output and what it replaces in place (never in the Trash, which wine's
    // cannot take); only a deaf one is killed, with events pumped meanwhile.
    void run()
    {
        QFETCH(QByteArray, fake);
        QFETCH(QString, end);
        QFETCH(int, expected);
        QFETCH(QString, message);
        const QString input = writeInput(work.filePath(QTest::currentDataTag() + QString(".txt")), 10);
        auto *runner = new DictZip;
        runner->start(input, true);
        QVERIFY(runner->waitForFinished(30000) && runner->exitCode() == 0);
        const qint64 previous = QFileInfo(input + ".dz").size();
        writeInput(input, 100, fake);
        runner->start(input, true);
        int pumps = 0;
        if (end == "wait")
            QVERIFY(runner->waitForFinished(30000));
        else // once the run has begun its output
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(input + ".dz").size() == 0, 20000);
        if (end == "stop")
            QVERIFY(runner->stop([&] { ++pumps; }));
        if (end != "delete")
            QVERIFY(runner->exitCode() == expected && runner->message().size() < 1000
                    && runner->message().startsWith(message));
        delete runner;
        QCOMPARE(QFileInfo(input + ".dz").size(), previous);
        QVERIFY(pumps > 0 || expected != -1 || end != "stop");
    }

    void hostileTrash_data()
    {
        QTest::addColumn<QString>("setup"); // shell; $F is the files' folder, $H the home
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("trashed");
        // A file system of its own (GIO keeps no Trash on tmpfs), with a folder of another's.
        const QString drive =
            "truncate -s 4M $F.img && mkfs.ext2 -q $F.img && mount -o loop $F.img $F && mkdir $F/x && ";
        for (const QString &row : QStringList{
                 ".Trash-UID link, another file system|" + drive + "ln -s x $F/.Trash-$(id -u)|a|",
                 ".Trash/UID link|" + drive + "mkdir -m 1777 $F/.Trash && ln -s ../x $F/.Trash/$(id -u)|a|1",
                 "read-only info/|I=$H/data/Trash/info; mkdir -m 700 $H/data && mkdir -p $I && mount --bind -r $I "
                 "$I|a|",
                 "% and a newline|true|sale 100%25 off\nPath=b|1", "no ~/.local/share|unset XDG_DATA_HOME|a|1"}) {
            const QStringList cells = row.split('|');
            QTest::addRow("%s", qPrintable(cells[0])) << cells[1] << cells[2] << !cells[3].isEmpty();
        }
    }
    // In seconds, in a process (as root a mount namespace) of its own: nothing outside the user's own
    // Trash, names as they were unless the Trash has the file named once, and a private data folder.
    void hostileTrash()
    {
        QFETCH(QString, setup);
        QFETCH(QString, name);
        QFETCH(bool, trashed);
#ifdef Q_OS_WIN
        QSKIP("the freedesktop.org Trash is not Windows'");
#endif
        if (qEnvironmentVariableIsSet("LEXPACK_REPLACE")) { // the runner in the process prepared below
            DictZip runner;
            runner.start(qEnvironmentVariable("LEXPACK_REPLACE"), true);
            QVERIFY(runner.waitForFinished(9000));
            return void(std::printf("exit %d: %s\n", runner.exitCode(), qPrintable(runner.message())));
        }
        const bool mounts = QProcess::execute("unshare", {"-m", "true"}) == 0; // as root
        if (setup.contains("mount") && !mounts)
            QSKIP("needs root and a mount namespace");
        QProcess child;
        const QString script = "exec 2>&1; F=" + work.filePath("f") + " H=" + work.filePath("h") + " N='" + name
            + "'; export HOME=$H XDG_DATA_HOME=$H/data; rm -rf $F $H; mkdir $F $H && " + setup
            + " && head -c 9 /dev/zero > \"$F/$N\" && printf 1234567 > \"$F/$N.dz\" && LEXPACK_REPLACE=\"$F/$N\" "
              "timeout 10 \"$0\" \"$1\"\n D=${XDG_DATA_HOME:-$H/.local/share}\n"
              "echo \"previous: $(wc -c < \"$F/$N.dz\") data: $(stat -c %a $D)\"\n"
              "find $F -path \"$F/x/*\" -o -name '*dictzip-old*' | sed 's/^/stray: /'\n"
              "cat $F/.Trash*/*/info/* $F/.Trash-*/info/* $D/Trash/info/*";
        child.start(mounts ? "unshare" : "sh",
                    (mounts ? QStringList{"-m", "sh"} : QStringList())
                        << "-c" << script << QCoreApplication::applicationFilePath()
                        << QString("hostileTrash:") + QTest::currentDataTag());
        QVERIFY(child.waitForFinished(20000));
        const QString out = child.readAll();
        QVERIFY2(out.contains(trashed ? "exit 0:" : "exit -1: not replaced") && !out.contains("stray: ")
                     && out.contains(QString("previous: %1 data: 700").arg(trashed ? 9 : 7)),
                 qPrintable(out));
        const QByteArray path = QByteArray::fromPercentEncoding(out.section("\nPath=", 1).section('\n', 0, 0).toUtf8());
        QVERIFY(out.count("\nPath=") == int(trashed) && path.endsWith(name.toUtf8() + ".dz") == trashed);
    }
};

QTEST_MAIN(TestDictZip)
#include "tst_dictzip.moc"
