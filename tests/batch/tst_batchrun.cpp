// The batch run against the fake compressor: rows, sizes, colours, Cancel, closing.

#include "dictzip.h"
#include "mainform.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

namespace {

// Runs `action` once, at the first event pump (of the batch) in which `when` holds.
class During : public QObject
{
public:
    During(std::function<bool()> when, std::function<void()> action)
    {
        connect(&timer, &QTimer::timeout, this, [this, when, action] {
            if (!fired && when()) {
                fired = true;
                action();
            }
        });
        timer.start(0);
    }
    bool fired = false;

private:
    QTimer timer;
};

// Calls `paint` whenever `widget` is about to paint.
class OnPaint : public QObject
{
public:
    OnPaint(QWidget *widget, std::function<void()> paint)
        : paint(std::move(paint))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            paint();
        return false;
    }

private:
    std::function<void()> paint;
};

} // namespace

class TestBatchRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void oneFile_data();
    void oneFile();
    void direction_data();
    void direction();
    void missingPaths();
    void emptyListChangesNothing();
    void growingOutputAndColumns();
    void secondOfThreeFiles();
    void cancel_data();
    void cancel();
    void closingEndsBatch_data();
    void closingEndsBatch();
    void nestedBatchRefused();

private:
    QString makeFile(const QString &name, qint64 size, const QByteArray &fake = {});
    QStringList toolRuns() const;
    QTreeWidget *list() const { return window->findChild<QTreeWidget *>("tvResult"); }
    QTreeWidgetItem *row(int i) const { return list()->topLevelItem(i); }
    QString info() const { return window->findChild<QLabel *>("lInfo")->text(); }
    QWidget *widget(const char *name) const { return window->findChild<QWidget *>(name); }
    void click(const char *name);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MainForm> window;
};

void TestBatchRun::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    qputenv("FAKEDICTZIP_LOG", dir->filePath("runs.log").toLocal8Bit());
    window = std::make_unique<MainForm>();
}

void TestBatchRun::cleanup()
{
    window.reset();
    dir.reset();
}

QString TestBatchRun::makeFile(const QString &name, qint64 size, const QByteArray &fake)
{
    const QString path = dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size)) // sparse: big sizes cost no disk
        qFatal("cannot create %s", qPrintable(path));
    if (!fake.isEmpty()) {
        QFile sidecar(path + ".fake");
        if (!sidecar.open(QIODevice::WriteOnly) || sidecar.write(fake) != fake.size())
            qFatal("cannot create %s.fake", qPrintable(path));
    }
    return path;
}

// The tool's compress and decompress runs so far, one line of arguments each.
QStringList TestBatchRun::toolRuns() const
{
    QFile log(dir->filePath("runs.log"));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QStringList runs = QString::fromLocal8Bit(log.readAll()).split('\n', Qt::SkipEmptyParts);
    runs.removeAll(QStringLiteral("-V"));
    return runs;
}

void TestBatchRun::click(const char *name)
{
    QTest::mouseClick(window->findChild<QAbstractButton *>(name), Qt::LeftButton);
}

void TestBatchRun::oneFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QByteArray>("fake");
    QTest::addColumn<QStringList>("cells"); // columns 1 to 4
    QTest::addColumn<int>("colour");

    QTest::newRow("1,000 -> 333") << "a.dsl" << qint64(1000) << QByteArray("bytes=333")
                                  << QStringList{"done", "1000", "333", "33"} << int(Qt::darkGreen);
    QTest::newRow("10,000,000 -> 40,000,000")
        << "b.dsl.dz" << qint64(10000000) << QByteArray("bytes=40000000")
        << QStringList{"done", "10000000", "40000000", "400"} << int(Qt::darkGreen);
    QTest::newRow("3,000,000,000 bytes") << "big.dsl" << qint64(3000000000) << QByteArray("bytes=1000")
                                         << QStringList{"done", "3000000000", "1000", "0"} << int(Qt::darkGreen);
    QTest::newRow("empty input: no ratio") << "empty.dsl" << qint64(0) << QByteArray()
                                           << QStringList{"done", "0", "0", ""} << int(Qt::darkGreen);
    QTest::newRow("exit 1 within a slice") << "c.dsl" << qint64(10) << QByteArray("exit=1")
                                           << QStringList{"failed (1)", "10", "", ""} << int(Qt::darkRed);
    QTest::newRow("crash") << "d.dsl" << qint64(10) << QByteArray("crash=1")
                           << QStringList{"failed (-1)", "10", "", ""} << int(Qt::darkRed);
}

void TestBatchRun::oneFile()
{
    QFETCH(QString, name);
    QFETCH(qint64, size);
    QFETCH(QByteArray, fake);
    QFETCH(QStringList, cells);
    QFETCH(int, colour);

    const QString path = makeFile(name, size, fake);
    window->processFiles({path});

    QCOMPARE(list()->topLevelItemCount(), 1);
    QCOMPARE(row(0)->text(0), path);
    for (int column = 1; column <= 4; ++column)
        QCOMPARE(row(0)->text(column), cells.at(column - 1));
    QCOMPARE(row(0)->data(1, Qt::ForegroundRole).value<QColor>(), QColor(Qt::GlobalColor(colour)));
    if (colour == Qt::darkGreen)
        QCOMPARE(row(0)->data(4, Qt::ForegroundRole).value<QColor>(), QColor(Qt::darkBlue));
    QCOMPARE(info(), QStringLiteral("Task finished"));
    QVERIFY(!window->isBusy());
    QVERIFY(widget("progressBar")->isHidden());
    QVERIFY(widget("pbCancel")->isHidden());
}

void TestBatchRun::direction_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("decompress");
    QTest::newRow(".dz") << "a.dz" << true;
    QTest::newRow(".DZ") << "A.DSL.DZ" << true;
    QTest::newRow(".Dz") << "a.Dz" << true;
    QTest::newRow(".dz.dsl") << "a.dz.dsl" << false;
    QTest::newRow("dz without dot") << "adz" << false;
}

void TestBatchRun::direction()
{
    QFETCH(QString, name);
    QFETCH(bool, decompress);
    const QString path = makeFile(name, 5);
    window->processFiles({path});
    const QString expected = decompress ? "-k\t-f\t-d\t" + path : "-k\t-f\t" + path;
    QCOMPARE(toolRuns(), QStringList{expected});
    QCOMPARE(row(0)->text(1), QStringLiteral("done"));
}

void TestBatchRun::missingPaths()
{
    auto *bar = window->findChild<QProgressBar *>("progressBar");
    QSignalSpy values(bar, &QProgressBar::valueChanged);
    const QString missing = dir->filePath("gone.dsl");
    const QStringList paths{makeFile("one.dsl", 4), missing, makeFile("three.dsl", 4)};
    window->processFiles(paths);

    QCOMPARE(list()->topLevelItemCount(), 3);
    QCOMPARE(row(1)->text(0), missing);
    QCOMPARE(row(1)->text(1), QStringLiteral("cannot open"));
    QVERIFY(!row(1)->data(1, Qt::ForegroundRole).isValid());
    QVERIFY(row(1)->text(2).isEmpty() && row(1)->text(3).isEmpty() && row(1)->text(4).isEmpty());
    QCOMPARE(row(2)->text(1), QStringLiteral("done"));
    QCOMPARE(toolRuns().size(), 2);
    QCOMPARE(bar->maximum(), 3);
    QCOMPARE(values.size(), 2); // 0 at the start, then 2 for the third path; never 3
    QCOMPARE(values.at(1).at(0).toInt(), 2);
    QCOMPARE(info(), QStringLiteral("Task finished"));

    // A batch in which nothing exists runs no tool and never moves the bar.
    values.clear();
    window->processFiles({missing, QString()});
    QCOMPARE(list()->topLevelItemCount(), 2);
    QCOMPARE(row(1)->text(1), QStringLiteral("cannot open"));
    QCOMPARE(toolRuns().size(), 2);
    QCOMPARE(values.size(), 1);
    QCOMPARE(values.at(0).at(0).toInt(), 0);
    QCOMPARE(info(), QStringLiteral("Task finished"));
}

void TestBatchRun::emptyListChangesNothing()
{
    window->processFiles({makeFile("a.dsl", 3)});
    window->processFiles({});
    QCOMPARE(list()->topLevelItemCount(), 1);
    QCOMPARE(info(), QStringLiteral("Task finished"));
    QVERIFY(!window->isBusy());
}

// A run of two seconds: its growing output shows in at least two polls, while the
// columns fit their contents as the header's own sizing would.
void TestBatchRun::growingOutputAndColumns()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->processFiles({makeFile("wide.dsl", 3000000000, "bytes=1")}); // columns start narrow again
    const QString path = makeFile("slow.dsl", 4000, "sleep_ms=2000\nsteps=4\nbytes=4000");
    QSet<QString> seen;
    bool fitted = true, visible = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        if (list()->topLevelItemCount() != 1 || row(0)->text(3).isEmpty())
            return;
        seen << row(0)->text(3);
        visible = widget("progressBar")->isVisible() && widget("pbCancel")->isVisible()
                  && info() == "[1/1] processing " + path + "...";
        for (int column = 1; column <= 4; ++column) {
            const int wanted = qMax(list()->header()->sectionSizeHint(column), static_cast<QAbstractItemView *>(list())->sizeHintForColumn(column));
            fitted = fitted && list()->header()->sectionSize(column) == wanted;
        }
    });
    poll.start(0);
    window->processFiles({path});

    QVERIFY2(seen.size() >= 2, qPrintable(QStringList(seen.values()).join(' ')));
    QVERIFY(visible);
    QVERIFY(fitted);
    QCOMPARE(row(0)->text(3), QStringLiteral("4000"));
    QCOMPARE(list()->header()->sectionResizeMode(1), QHeaderView::ResizeToContents);
    QVERIFY(!list()->uniformRowHeights());
}

// The second of three files runs for a while: its row is painted before its first poll
// (painting is paced, never put off for a whole slice), and unticking the check box
// meanwhile affects the third file only.
void TestBatchRun::secondOfThreeFiles()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    bool paintedEarly = false;
    OnPaint watch(list()->viewport(), [&] {
        paintedEarly = paintedEarly || (list()->topLevelItemCount() == 2 && row(1)->text(3).isEmpty());
    });
    const QStringList paths{makeFile("1.dsl", 4), makeFile("2.dsl", 4, "sleep_ms=800"), makeFile("3.dsl", 4)};
    During untick([&] { return list()->topLevelItemCount() == 2 && !row(1)->text(3).isEmpty(); },
                  [&] { click("cbKeepFiles"); });
    window->processFiles(paths);

    QVERIFY(paintedEarly);
    QVERIFY(untick.fired);
    QCOMPARE(toolRuns(), QStringList({"-k\t-f\t" + paths[0], "-k\t-f\t" + paths[1], "-f\t" + paths[2]}));
    QVERIFY(QFile::exists(paths[1]));
    QVERIFY(!QFile::exists(paths[2]));
}

void TestBatchRun::cancel_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("slow"); // the file whose run is cancelled, or -1 for a pump of the first
    QTest::addColumn<QByteArray>("fake");
    QTest::addColumn<QString>("status");

    // Stopped runs: the cancelled row, nothing after it, the input left in place.
    QTest::newRow("middle file") << 3 << 1 << QByteArray("sleep_ms=30000") << "cancelled";
    QTest::newRow("last file") << 2 << 1 << QByteArray("sleep_ms=30000") << "cancelled";
    QTest::newRow("tool ignores terminate")
        << 2 << 0 << QByteArray("sleep_ms=30000\nignore_term=1") << "cancelled";
    // Runs that had ended when the cancel was noticed report their real outcome.
    QTest::newRow("ended within its slice") << 2 << -1 << QByteArray() << "done";
    QTest::newRow("failed within its slice") << 2 << -1 << QByteArray("exit=3") << "failed (3)";
    QTest::newRow("ended during the pump") << 2 << 0 << QByteArray("sleep_ms=700") << "done";
}

void TestBatchRun::cancel()
{
    QFETCH(int, files);
    QFETCH(int, slow);
    QFETCH(QByteArray, fake);
    QFETCH(QString, status);

    window->findChild<QCheckBox *>("cbKeepFiles")->setChecked(false);
    QStringList paths;
    for (int i = 0; i < files; ++i)
        paths << makeFile(QString::number(i) + ".dsl", 100, i == qMax(slow, 0) ? fake : QByteArray());
    const int target = qMax(slow, 0);
    const bool waitForEnd = status != "cancelled" && slow >= 0;

    // Cancel is clicked in the first pump after the target file's first poll, or at once.
    During cancelClick(
        [&] {
            return slow < 0 || (list()->topLevelItemCount() == target + 1 && !row(target)->text(3).isEmpty());
        },
        [&] {
            click("pbCancel");
            if (waitForEnd) // the run ends while the pump still runs
                window->toolRunner()->waitForFinished(10000);
        });
    QElapsedTimer clock;
    clock.start();
    window->processFiles(paths);

    QVERIFY(cancelClick.fired);
    QVERIFY2(clock.elapsed() < 15000, "the cancelled run was not stopped");
    QCOMPARE(list()->topLevelItemCount(), target + 1);
    for (int i = 0; i < target; ++i)
        QCOMPARE(row(i)->text(1), QStringLiteral("done"));
    QCOMPARE(row(target)->text(1), status);
    QCOMPARE(row(target)->data(1, Qt::ForegroundRole).value<QColor>(),
             QColor(status == "done" ? Qt::darkGreen : Qt::darkRed));
    QCOMPARE(toolRuns().size(), target + 1);
    QCOMPARE(QFile::exists(paths[target]), status != "done"); // the fake removes it on success only
    QVERIFY(window->toolRunner()->waitForFinished(0));
    QCOMPARE(info(), QStringLiteral("Task cancelled"));
    QVERIFY(!window->isBusy());
    QVERIFY(widget("progressBar")->isHidden());
    QVERIFY(widget("pbCancel")->isHidden());

    // The next batch starts afresh and finishes.
    window->processFiles({makeFile("next.dsl", 1)});
    QCOMPARE(list()->topLevelItemCount(), 1);
    QCOMPARE(row(0)->text(1), QStringLiteral("done"));
}

void TestBatchRun::closingEndsBatch_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("Exit") << 0;
    QTest::newRow("Escape") << 1;
    QTest::newRow("close box") << 2;
}

// Closing the window mid-batch stops the run and lets the event loop end, as the
// program's main() runs it.
void TestBatchRun::closingEndsBatch()
{
    QFETCH(int, how);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    const QString path = makeFile("slow.dsl", 100, "sleep_ms=30000");

    QTimer::singleShot(0, window.get(), [&] { window->processFiles({path}); });
    During close([&] { return list()->topLevelItemCount() == 1 && !row(0)->text(3).isEmpty(); },
                 [&] {
                     if (how == 0)
                         click("pbExit");
                     else if (how == 1)
                         QTest::keyClick(window.get(), Qt::Key_Escape);
                     else
                         window->close();
                 });
    QTimer safety;
    safety.setSingleShot(true);
    connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    safety.start(20000);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(QCoreApplication::exec(), 0);

    QVERIFY(clock.elapsed() < 15000);
    QVERIFY(!window->isVisible());
    QCOMPARE(row(0)->text(1), QStringLiteral("cancelled"));
    QCOMPARE(info(), QStringLiteral("Task cancelled"));
    QVERIFY(window->toolRunner()->waitForFinished(0));
}

void TestBatchRun::nestedBatchRefused()
{
#ifdef QT_NO_DEBUG
    const QString outer = makeFile("outer.dsl", 10, "sleep_ms=700");
    const QString inner = makeFile("inner.dsl", 10);
    During nested([&] { return list()->topLevelItemCount() == 1 && !row(0)->text(3).isEmpty(); },
                  [&] { window->processFiles({inner}); });
    window->processFiles({outer});
    QVERIFY(nested.fired);
    QCOMPARE(list()->topLevelItemCount(), 1);
    QCOMPARE(row(0)->text(0), outer);
    QCOMPARE(row(0)->text(1), QStringLiteral("done"));
    QCOMPARE(toolRuns().size(), 1);
#else
    QSKIP("processFiles asserts on a nested call in debug builds");
#endif
}

QTEST_MAIN(TestBatchRun)
#include "tst_batchrun.moc"
