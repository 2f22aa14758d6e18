// The batch run against the fake compressor: rows, sizes, colours, Cancel, closing.

#include "dictzip.h"
#include "mainform.h"

#include "../guitest.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

namespace {

// Runs `action` once, in the first event pump (of a batch) in which `when` holds.
struct During : QObject
{
    During(std::function<bool()> when, std::function<void()> action)
    {
        connect(&timer, &QTimer::timeout, this, [=] {
            if (!fired && when()) {
                fired = true;
                action();
            }
        });
        timer.start(0);
    }
    QTimer timer;
    bool fired = false;
};

// Calls `paint` whenever `widget` is about to paint.
struct OnPaint : QObject
{
    OnPaint(QWidget *widget, std::function<void()> paint)
        : paint(std::move(paint))
    {
        widget->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            paint();
        return false;
    }
    std::function<void()> paint;
};

} // namespace

class TestBatchRun : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MainForm> window;

    QString makeFile(const QString &name, qint64 size, const QByteArray &fake = {})
    {
        return writeInput(dir->filePath(name), size, fake);
    }
    QStringList toolRuns() const { return ::toolRuns(dir->filePath("runs.log")); }
    QTreeWidget *list() const { return child<QTreeWidget>(*window, "tvResult"); }
    QTreeWidgetItem *row(int i) const { return list()->topLevelItem(i); }
    QStringList cells(int i) const
    {
        QStringList texts;
        for (int column = 0; column < 5; ++column)
            texts << row(i)->text(column);
        return texts;
    }
    QStringList statuses() const
    {
        QStringList texts;
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            texts << row(i)->text(1);
        return texts;
    }
    // Row i exists and its run has been polled at least once.
    bool polled(int i) const { return list()->topLevelItemCount() == i + 1 && !row(i)->text(3).isEmpty(); }
    QString info() const { return child<QLabel>(*window, "lInfo")->text(); }
    bool hidden(const char *name) const { return child(*window, name)->isHidden(); }
    void click(const char *name) { QTest::mouseClick(child(*window, name), Qt::LeftButton); }
    void checkIdle(const QString &text)
    {
        QCOMPARE(info(), text);
        QVERIFY(!window->isBusy());
        QVERIFY(hidden("progressBar") && hidden("pbCancel"));
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        qputenv("FAKEDICTZIP_LOG", dir->filePath("runs.log").toLocal8Bit());
        window = std::make_unique<MainForm>();
    }
    void cleanup()
    {
        window.reset(); // before its folder goes
        dir.reset();
    }

    void oneFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QByteArray>("fake");
        QTest::addColumn<QString>("options"); // what comes before the path on the tool's command line
        QTest::addColumn<QStringList>("cells"); // columns 1 to 4

        const QString pack = "-k\t-f\t", unpack = "-k\t-f\t-d\t";
        const QStringList same{"done", "5", "5", "100"};
        QTest::newRow("1,000 -> 333") << "a.dsl" << qint64(1000) << QByteArray("bytes=333") << pack
                                      << QStringList{"done", "1000", "333", "33"};
        QTest::newRow("10,000,000 -> 40,000,000") << "b.dsl.dz" << qint64(10000000) << QByteArray("bytes=40000000")
                                                  << unpack << QStringList{"done", "10000000", "40000000", "400"};
        QTest::newRow("3,000,000,000 bytes") << "c.dsl" << qint64(3000000000) << QByteArray("bytes=1000") << pack
                                             << QStringList{"done", "3000000000", "1000", "0"};
        QTest::newRow("empty: no ratio") << "d.dsl" << qint64(0) << QByteArray() << pack
                                         << QStringList{"done", "0", "0", ""};
        QTest::newRow(".DZ") << "E.DSL.DZ" << qint64(5) << QByteArray() << unpack << same;
        QTest::newRow(".dz.dsl") << "f.dz.dsl" << qint64(5) << QByteArray() << pack << same;
        QTest::newRow("dz, no dot") << "gdz" << qint64(5) << QByteArray() << pack << same;
        QTest::newRow("exit 1 in a slice")
            << "h.dsl" << qint64(10) << QByteArray("exit=1") << pack << QStringList{"failed (1)", "10", "", ""};
        QTest::newRow("crash") << "i.dsl" << qint64(10) << QByteArray("crash=1") << pack
                               << QStringList{"failed (-1)", "10", "", ""};
    }
    void oneFile()
    {
        QFETCH(QString, name);
        QFETCH(qint64, size);
        QFETCH(QByteArray, fake);
        QFETCH(QString, options);
        QFETCH(QStringList, cells);

        const QString path = makeFile(name, size, fake);
        window->processFiles({path});

        QCOMPARE(toolRuns(), QStringList{options + path});
        QCOMPARE(list()->topLevelItemCount(), 1);
        QCOMPARE(this->cells(0), QStringList{path} + cells);
        const bool done = cells.at(0) == "done";
        QCOMPARE(row(0)->data(1, Qt::ForegroundRole).value<QColor>(), QColor(done ? Qt::darkGreen : Qt::darkRed));
        QCOMPARE(row(0)->data(4, Qt::ForegroundRole), done ? QVariant(QColor(Qt::darkBlue)) : QVariant());
        checkIdle("Task finished");
    }

    void missingPaths()
    {
        auto *bar = child<QProgressBar>(*window, "progressBar");
        QSignalSpy values(bar, &QProgressBar::valueChanged);
        const QString missing = dir->filePath("gone.dsl");
        window->processFiles({makeFile("one.dsl", 4), missing, makeFile("three.dsl", 4)});

        QCOMPARE(statuses(), (QStringList{"done", "cannot open", "done"}));
        QCOMPARE(cells(1), (QStringList{missing, "cannot open", "", "", ""}));
        QVERIFY(!row(1)->data(1, Qt::ForegroundRole).isValid());
        QCOMPARE(toolRuns().size(), 2);
        QCOMPARE(bar->maximum(), 3);
        QCOMPARE(values.size(), 2); // 0 at the start, 2 for the third path, never 3
        QCOMPARE(values.at(1).at(0).toInt(), 2);
        checkIdle("Task finished");

        // Nothing exists: no tool runs, the bar never moves from 0.
        values.clear();
        window->processFiles({missing, QString()});
        QCOMPARE(statuses(), (QStringList{"cannot open", "cannot open"}));
        QCOMPARE(toolRuns().size(), 2);
        QCOMPARE(values.size(), 1);
        QCOMPARE(values.at(0).at(0).toInt(), 0);
        checkIdle("Task finished");

        // An empty list changes nothing at all.
        child<QLabel>(*window, "lInfo")->setText("unchanged");
        window->processFiles({});
        QCOMPARE(statuses().size(), 2);
        checkIdle("unchanged");
    }

    // A two-second run: its growing output shows in at least two polls, and the columns
    // fit their contents exactly as the header's own sizing would.
    void growingOutputAndColumns()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->processFiles({makeFile("wide.dsl", 3000000000, "bytes=1")}); // columns must narrow again
        const QString path = makeFile("slow.dsl", 4000, "sleep_ms=2000\nsteps=4\nbytes=4000");
        QSet<QString> seen;
        bool fitted = true, shown = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (!polled(0))
                return;
            seen << row(0)->text(3);
            shown = !hidden("progressBar") && !hidden("pbCancel") && info() == "[1/1] processing " + path + "...";
            for (int column = 1; column <= 4; ++column) {
                const int contents = static_cast<QAbstractItemView *>(list())->sizeHintForColumn(column);
                fitted = fitted
                    && list()->header()->sectionSize(column)
                        == qMax(list()->header()->sectionSizeHint(column), contents);
            }
        });
        poll.start(0);
        window->processFiles({path});

        QVERIFY2(seen.size() >= 2, qPrintable(QStringList(seen.values()).join(' ')));
        QVERIFY(shown);
        QVERIFY(fitted);
        QCOMPARE(row(0)->text(3), QStringLiteral("4000"));
        // The header's own sizing is back after the batch.
        QCOMPARE(list()->header()->sectionResizeMode(1), QHeaderView::ResizeToContents);
        QVERIFY(!list()->uniformRowHeights());
    }

    // The second of three files runs for a while: its row is painted before its first
    // poll, and unticking the check box meanwhile affects the third file only.
    void secondOfThreeFiles()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        bool paintedEarly = false;
        OnPaint watch(list()->viewport(), [&] {
            paintedEarly = paintedEarly || (list()->topLevelItemCount() == 2 && row(1)->text(3).isEmpty());
        });
        const QStringList paths{makeFile("1.dsl", 4), makeFile("2.dsl", 4, "sleep_ms=800"), makeFile("3.dsl", 4)};
        During untick([&] { return polled(1); }, [&] { click("cbKeepFiles"); });
        window->processFiles(paths);

        QVERIFY(paintedEarly);
        QVERIFY(untick.fired);
        QCOMPARE(toolRuns(), QStringList({"-k\t-f\t" + paths[0], "-k\t-f\t" + paths[1], "-f\t" + paths[2]}));
        QVERIFY(QFile::exists(paths[1]) && !QFile::exists(paths[2]));
    }

    void cancel_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("target"); // the file in whose run Cancel is clicked
        QTest::addColumn<bool>("atOnce"); // in the pump before that run, not after its first poll
        QTest::addColumn<QByteArray>("fake");
        QTest::addColumn<QString>("status");

        // Runs still going are stopped: the input stays, nothing after it runs.
        QTest::newRow("middle file") << 3 << 1 << false << QByteArray("sleep_ms=30000") << "cancelled";
        QTest::newRow("last file") << 2 << 1 << false << QByteArray("sleep_ms=30000") << "cancelled";
        QTest::newRow("terminate ignored")
            << 2 << 0 << false << QByteArray("sleep_ms=30000\nignore_term=1") << "cancelled";
        // Runs that had ended when the cancel was noticed report their real outcome.
        QTest::newRow("ended in its slice") << 2 << 0 << true << QByteArray() << "done";
        QTest::newRow("failed in its slice") << 2 << 0 << true << QByteArray("exit=3") << "failed (3)";
        QTest::newRow("ended during the pump") << 2 << 0 << false << QByteArray("sleep_ms=700") << "done";
    }
    void cancel()
    {
        QFETCH(int, files);
        QFETCH(int, target);
        QFETCH(bool, atOnce);
        QFETCH(QByteArray, fake);
        QFETCH(QString, status);

        child<QCheckBox>(*window, "cbKeepFiles")->setChecked(false);
        QStringList paths;
        for (int i = 0; i < files; ++i)
            paths << makeFile(QString::number(i) + ".dsl", 100, i == target ? fake : QByteArray());
        During cancel([&] { return atOnce || polled(target); },
                      [&] {
                          click("pbCancel");
                          if (!atOnce && status != "cancelled") // the run ends while the pump still runs
                              window->toolRunner()->waitForFinished(10000);
                      });
        QElapsedTimer clock;
        clock.start();
        window->processFiles(paths);

        QVERIFY(cancel.fired);
        QVERIFY2(clock.elapsed() < 15000, "the cancelled run was waited out");
        QVERIFY(window->toolRunner()->waitForFinished(0));
        QCOMPARE(toolRuns().size(), target + 1);
        QCOMPARE(statuses(), QStringList(target, "done") << status);
        QCOMPARE(row(target)->data(1, Qt::ForegroundRole).value<QColor>(),
                 QColor(status == "done" ? Qt::darkGreen : Qt::darkRed));
        QCOMPARE(QFile::exists(paths[target]), status != "done"); // the fake removes it on success only
        checkIdle("Task cancelled");

        window->processFiles({makeFile("next.dsl", 1)});
        QCOMPARE(statuses(), QStringList{"done"});
    }

    void closingEndsBatch_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Exit") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("close box") << 2;
    }
    // Closing the window mid-batch stops the run, and the event loop (as main() runs it)
    // then ends.
    void closingEndsBatch()
    {
        QFETCH(int, how);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QString path = makeFile("slow.dsl", 100, "sleep_ms=30000");
        QTimer::singleShot(0, window.get(), [&] { window->processFiles({path}); });
        During close([&] { return polled(0); },
                     [&] {
                         how == 0       ? click("pbExit")
                             : how == 1 ? QTest::keyClick(window.get(), Qt::Key_Escape)
                                        : void(window->close());
                     });
        QTimer::singleShot(20000, &close, [] { QCoreApplication::exit(99); });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(QCoreApplication::exec(), 0);

        QVERIFY(clock.elapsed() < 15000);
        QVERIFY(!window->isVisible());
        QVERIFY(window->toolRunner()->waitForFinished(0));
        QCOMPARE(statuses(), QStringList{"cancelled"});
        QCOMPARE(info(), QStringLiteral("Task cancelled"));
    }

    void nestedBatchRefused()
    {
#ifdef QT_NO_DEBUG
        const QString outer = makeFile("outer.dsl", 10, "sleep_ms=700");
        During nested([&] { return polled(0); }, [&] { window->processFiles({makeFile("inner.dsl", 10)}); });
        window->processFiles({outer});
        QVERIFY(nested.fired);
        QCOMPARE(toolRuns().size(), 1);
        QCOMPARE(statuses(), QStringList{"done"});
        QCOMPARE(row(0)->text(0), outer);
#else
        QSKIP("processFiles asserts on a nested call in debug builds");
#endif
    }
};

QTEST_MAIN(TestBatchRun)
#include "tst_batchrun.moc"
