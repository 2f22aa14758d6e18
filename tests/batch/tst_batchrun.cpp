// The batch run against the fake compressor: rows, Cancel, closing, refusals, replaced files.

#include "dictzip.h"
#include "mainform.h"

#include "../guitest.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTreeWidget>

#include <cmath>
#include <memory>
#include <tuple>

// Calls `paint` whenever a widget it filters is about to paint.
struct OnPaint : QObject
{
    std::function<void()> paint;
    bool eventFilter(QObject *, QEvent *event) override { return event->type() == QEvent::Paint && (paint(), false); }
};

class TestBatchRun : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MainForm> window;

    QString makeFile(const QString &name, qint64 size, const QByteArray &fake = {})
    {
        return writeInput(dir->filePath(name), size, fake);
    }
    // The fake compressor's runs, each its arguments joined by tabs, version probes left out.
    QStringList toolRuns() const
    {
        QFile log(dir->filePath("runs.log"));
        QStringList runs = QString(log.open(QIODevice::ReadOnly) ? log.readAll() : "").split('\n', Qt::SkipEmptyParts);
        runs.removeAll("-V");
        return runs;
    }
    QTreeWidget *list() const { return child<QTreeWidget>(*window, "tvResult"); }
    QTreeWidgetItem *row(int i) const { return list()->topLevelItem(i); }
    QStringList column(int column) const
    {
        QStringList texts;
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            texts << row(i)->text(column);
        return texts;
    }
    // Row i is the last one and its run has been polled at least once.
    bool polled(int i) const { return list()->topLevelItemCount() == i + 1 && !row(i)->text(3).isEmpty(); }
    QColor colour(int i, int column) const { return row(i)->data(column, Qt::ForegroundRole).value<QColor>(); }
    QString info() const { return child<QLabel>(*window, "lInfo")->text(); }
    void click(const char *name) { QTest::mouseClick(child(*window, name), Qt::LeftButton); }
    // Under wine no file can go to the Recycle Bin: wine's IFileOperation, which Qt uses, does nothing.
    static bool trashTakesFiles()
    {
        QTemporaryFile probe;
        return QSysInfo::kernelType() != "winnt" || !probe.open()
            || (probe.close(), QFile::moveToTrash(probe.fileName()));
    }
    bool toolIdle() const { return window->findChild<DictZip *>()->waitForFinished(0); }
    void checkIdle(const QString &text)
    {
        QVERIFY2(info().startsWith(text), qPrintable(info()));
        QVERIFY(child(*window, "progressBar")->isHidden() && child(*window, "pbCancel")->isHidden());
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        qputenv("FAKEDICTZIP_LOG", dir->filePath("runs.log").toLocal8Bit());
        // The Trash in the test's folder; anything Qt puts in the current folder lands there too.
        qputenv("HOME", dir->path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", dir->filePath("data").toLocal8Bit());
        QVERIFY(QDir().mkpath(dir->filePath("data")) && QDir::setCurrent(dir->path()));
        window = std::make_unique<MainForm>();
    }
    void cleanup()
    {
        window.reset(); // before its folder goes
        dir.reset();
    }

    void droppedPaths_data()
    {
        QTest::addColumn<QColor>("base");
        QTest::newRow("light list") << QColor(Qt::white);
        QTest::newRow("dark list") << QColor(40, 40, 40);
    }
    // Each dropped URL gives a row, in order, repeats and non-local ones included; a failed row
    // tells why; on a dark list each colour keeps its hue at 4.5:1 (WCAG 2).
    void droppedPaths()
    {
        QFETCH(QColor, base);
        if (!trashTakesFiles())
            QSKIP("the second run of a.dsl replaces a.dsl.dz, and no Trash can take it here");
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QPalette palette = list()->palette();
        palette.setColor(QPalette::Base, base);
        list()->setPalette(palette);
        auto *bar = child<QProgressBar>(*window, "progressBar");
        QSignalSpy values(bar, &QProgressBar::valueChanged);
        const QString why = "cannot create bad.dsl.dz: Permission denied";
        const QStringList paths{makeFile("a.dsl", 1000, "bytes=333"),
                                dir->filePath("gone.dsl"),
                                makeFile("b.dsl.DZ", 10000000, "bytes=40000000"),
                                makeFile("c.dsl", 3000000000, "bytes=3000000000"),
                                makeFile("d.dsl", 0),
                                makeFile("bad.dsl", 10, "exit=1\nsay=" + why.toUtf8())};
        QList<QUrl> urls;
        for (int i : {0, 1, 0, 2, 3, 4, 5})
            urls << QUrl::fromLocalFile(paths[i]);
        QVERIFY(dragAndDrop(*window, urls << QUrl("https://example.org/")));

        QStringList cells; // columns 1 to 4
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            cells << QStringList{row(i)->text(1), row(i)->text(2), row(i)->text(3), row(i)->text(4)}.join('|');
        QCOMPARE(cells,
                 QStringList({"done|1000|333|33", "cannot open|||", "done|1000|333|33", "done|10000000|40000000|400",
                              "done|3000000000|3000000000|100", "done|0|0|", "failed (1)|10||", "cannot open|||"}));
        QCOMPARE(column(0), (QStringList{paths[0], paths[1], paths[0], paths[2], paths[3], paths[4], paths[5], ""}));
        QCOMPARE(toolRuns().size(), 6);
        // Set at the files run, 0 at the start, never to the maximum.
        QList<int> set{bar->maximum()};
        for (const auto &value : values)
            set << value.at(0).toInt();
        QCOMPARE(set, QList<int>({8, 0, 2, 3, 4, 5, 6}));
        checkIdle("Task finished — 5 done, 3 failed, 0 cancelled; 29998666 bytes added");
        QCOMPARE(QStringList({row(6)->toolTip(0), row(6)->toolTip(1), child<QLabel>(*window, "lDetails")->text()}),
                 QStringList({paths[5], why, why}));
        const auto luminance = [](const QColor &c) {
            const auto linear = [](float v) {
                return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
            };
            return 0.2126f * linear(c.redF()) + 0.7152f * linear(c.greenF()) + 0.0722f * linear(c.blueF()) + 0.05f;
        };
        const QVariant none;
        for (const auto &[i, column, light] : QList<std::tuple<int, int, QVariant>>{{0, 1, QColor(Qt::darkGreen)},
                                                                                    {0, 4, QColor(Qt::darkBlue)},
                                                                                    {6, 1, QColor(Qt::darkRed)},
                                                                                    {6, 4, none},
                                                                                    {1, 1, none}}) {
            if (!light.isValid() || base == Qt::white) {
                QCOMPARE(row(i)->data(column, Qt::ForegroundRole), light);
                continue;
            }
            QCOMPARE(colour(i, column).hslHue(), light.value<QColor>().hslHue());
            QVERIFY(luminance(colour(i, column)) / luminance(base) >= 4.5);
        }
    }

    // The second row is painted before its first poll; the check box unticked then, and About
    // opened, affect the third file only, and do not hold the batch.
    void secondOfThreeFiles()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QStringList paths{makeFile("1.dsl", 4), makeFile("2.dsl", 4), makeFile("3.dsl", 4)};
        QFile hold(paths[1] + ".hold");
        QVERIFY(hold.open(QIODevice::WriteOnly));
        bool seen = false, paintedEarly = false;
        OnPaint painted;
        painted.paint = [&] {
            if (list()->topLevelItemCount() == 2 && !seen)
                seen = true, paintedEarly = row(1)->text(3).isEmpty();
        };
        list()->viewport()->installEventFilter(&painted);
        During untick([&] { return polled(1); },
                      [&] {
                          click("cbKeepFiles");
                          hold.remove(); // the run may end now
                          click("pbAbout");
                      });
        QTimer::singleShot(20000, window.get(), [] { QApplication::activeModalWidget()->close(); });
        window->processFiles(paths);

        QVERIFY(QApplication::activeModalWidget() && QApplication::activeModalWidget()->isVisible());
        QVERIFY(paintedEarly);
        QVERIFY(untick.fired);
        QCOMPARE(toolRuns(), QStringList({"-k\t-f\t" + paths[0], "-k\t-f\t" + paths[1], "-f\t" + paths[2]}));
        QVERIFY(QFile::exists(paths[1]) && !QFile::exists(paths[2]));
    }

    void cancel_data()
    {
        QTest::addColumn<QString>("how"); // Cancel, or closing the window, after which main()'s event loop ends
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("target"); // the file in whose run Cancel is clicked
        QTest::addColumn<QByteArray>("fake");
        QTest::addColumn<QString>("status");

        // Runs still going stop: the input stays, no partial output, nothing after it runs.
        QTest::newRow("middle file") << "Cancel" << 3 << 1 << QByteArray("sleep_ms=30000") << "cancelled";
        QTest::newRow("last file") << "Cancel" << 2 << 1 << QByteArray("sleep_ms=30000") << "cancelled";
        QTest::newRow("stop ignored") << "Cancel" << 2 << 0 << QByteArray("sleep_ms=30000\nignore_term=1")
                                      << "cancelled";
        // Runs that had ended when the cancel was noticed report their real outcome; with no
        // sleep the cancel comes in the pump before the run, not after its first poll.
        QTest::newRow("ended in its slice") << "Cancel" << 2 << 0 << QByteArray() << "done";
        QTest::newRow("failed in its slice") << "Cancel" << 2 << 0 << QByteArray("exit=3") << "failed (3)";
        QTest::newRow("ended during the pump") << "Cancel" << 2 << 0 << QByteArray("sleep_ms=700") << "done";
        for (const char *how : {"Exit", "Escape", "close box"})
            QTest::newRow(how) << how << 1 << 0 << QByteArray("sleep_ms=30000") << "cancelled";
    }
    void cancel()
    {
        QFETCH(QString, how);
        QFETCH(int, files);
        QFETCH(int, target);
        QFETCH(QByteArray, fake);
        QFETCH(QString, status);
        const bool atOnce = !fake.contains("sleep_ms");

        child<QCheckBox>(*window, "cbKeepFiles")->setChecked(false);
        QStringList paths;
        for (int i = 0; i < files; ++i)
            paths << makeFile(QString::number(i) + ".dsl", 100, i == target ? fake : QByteArray());
        During cancel([&] { return atOnce || polled(target); },
                      [&] {
                          how == "Cancel"       ? click("pbCancel")
                              : how == "Exit"   ? click("pbExit")
                              : how == "Escape" ? QTest::keyClick(window.get(), Qt::Key_Escape)
                                                : void(window->close());
                          if (!atOnce && status != "cancelled") // the run ends while the pump still runs
                              window->findChild<DictZip *>()->waitForFinished(10000);
                      });
        if (how == "Cancel") {
            window->processFiles(paths);
        } else {
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window.get()));
            QTimer::singleShot(0, window.get(), [&] { window->processFiles(paths); });
            QTimer::singleShot(20000, &cancel, [] { QCoreApplication::exit(99); });
            QCOMPARE(QCoreApplication::exec(), 0);
            QVERIFY(!window->isVisible());
        }

        QVERIFY(cancel.fired);
        QVERIFY(toolIdle());
        QCOMPARE(toolRuns().size(), target + 1);
        QCOMPARE(column(1), QStringList(target, "done") << status);
        QCOMPARE(colour(target, 1), QColor(status == "done" ? Qt::darkGreen : Qt::darkRed));
        QCOMPARE(QFile::exists(paths[target]), status != "done"); // the fake removes it on success only
        QCOMPARE(QFile::exists(paths[target] + ".dz"), status != "cancelled");
        checkIdle("Task cancelled");

        window->processFiles({makeFile("next.dsl", 1)});
        QCOMPARE(column(1), QStringList{"done"});
    }

    void replace_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("fake");
        QTest::addColumn<QString>("status");
        QTest::newRow("decompress over an edited file") << "a.dsl.dz" << QByteArray() << "done";
        QTest::newRow("no Trash: nothing runs") << "c.dsl" << QByteArray() << "failed (-1)";
        QTest::newRow("killed: no partial output")
            << "d.dsl.dz" << QByteArray("sleep_ms=30000\nignore_term=1") << "cancelled";
    }
    // The file a run replaces is in the Trash, or where no Trash can take it, left alone.
    void replace()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, fake);
        QFETCH(QString, status);
        const bool trash = status != "failed (-1)"; // else no Trash can take the file the run replaces
        if (trash && !trashTakesFiles())
            QSKIP("no Trash can take a file here");
        const QString path = makeFile(name, 100, fake), old = DictZip::outputName(path);
        writeInput(old, 7); // the runs write as much as they read: 100 bytes
        if (!trash)
            qputenv("XDG_DATA_HOME", path.toLocal8Bit()); // a file: no Trash folder can be made there
        During cancel([&] { return status == "cancelled" && polled(0); }, [&] { click("pbCancel"); });
        window->processFiles({path});

        const QString trashed = dir->filePath("data/Trash/files/" + QFileInfo(old).fileName());
        QCOMPARE(column(1), QStringList{status});
        QCOMPARE(toolRuns().size(), int(trash));
        QVERIFY(QFile::exists(path) && !QFile::exists(dir->filePath("files")));
        QCOMPARE(QFile::exists(old), status != "cancelled");
        QCOMPARE(QFileInfo(trash ? trashed : old).size(), 7);
        QVERIFY(row(0)->toolTip(1).contains(trash ? trashed : "cannot be moved to the Trash"));
    }

    void filesRefused_data()
    {
        QTest::addColumn<bool>("cancelFirst");
        QTest::newRow("batch running") << false;
        // Files arriving while a cancelled run stops must not slip into that batch.
        QTest::newRow("cancelled run stopping") << true;
    }
    void filesRefused()
    {
        QFETCH(bool, cancelFirst);
        // The run waits for its hold file to go, and does not stop when asked.
        const QString first = makeFile("a.dsl", 100, "ignore_term=1");
        QFile hold(first + ".hold");
        QVERIFY(hold.open(QIODevice::WriteOnly));
        bool accepted = true, dialogShown = false;
        During dialog([] { return QApplication::activeModalWidget(); },
                      [&] {
                          dialogShown = true;
                          QApplication::activeModalWidget()->close();
                      });
        During cancel([&] { return cancelFirst && polled(0); }, [&] { click("pbCancel"); });
        During late([&] { return polled(0) && cancel.fired == cancelFirst; },
                    [&] {
                        accepted = dragAndDrop(*window, {QUrl::fromLocalFile(makeFile("late.dsl", 1))});
                        child<QPushButton>(*window, "pbOpenFile")->click();
                        hold.remove();
                    });
        window->processFiles({first});

        QVERIFY(late.fired);
        QVERIFY(!accepted && !dialogShown);
        QCOMPARE(toolRuns().size(), 1);
        checkIdle(cancelFirst ? "Task cancelled" : "Task finished");
        QVERIFY(dragAndDrop(*window, {QUrl::fromLocalFile(dir->filePath("late.dsl"))})); // idle again
    }
};

QTEST_MAIN(TestBatchRun)
#include "tst_batchrun.moc"
