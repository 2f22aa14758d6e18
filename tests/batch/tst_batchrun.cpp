// The batch run against the fake compressor: rows, Cancel, closing, refusals, replaced files.

#include "dictzip.h"
#include "mainform.h"
#include "resultlist.h"

#include "../guitest.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTextDocument>
#include <QTreeWidget>

#include <cstdio>
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

    QTemporaryDir home; // GLib reads HOME and XDG_DATA_HOME once, so one for the whole run
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MainForm> window;

    QString makeFile(const QString &name, qint64 size, const QByteArray &fake = {})
    {
        return writeInput(dir->filePath(name), size, fake);
    }
    // The fake compressor's runs (no version probes), arguments joined by tabs, without "--progress".
    QStringList toolRuns() const
    {
        QFile log(dir->filePath("runs.log"));
        return QString(log.open(QIODevice::ReadOnly) ? log.readAll() : "")
            .split('\n', Qt::SkipEmptyParts)
            .replaceInStrings("--progress\t", "");
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
    bool exposed() { return window->show(), QTest::qWaitForWindowExposed(window.get()); }
    // Under wine no file can go to the Recycle Bin: wine's IFileOperation, which Qt uses, does nothing.
    static bool trashTakesFiles()
    {
        QTemporaryFile probe;
        return QSysInfo::kernelType() != "winnt" || !probe.open()
            || (probe.close(), QFile::moveToTrash(probe.fileName()));
    }
    void checkIdle(const QString &text)
    {
        QVERIFY2(info().startsWith(text), qPrintable(info()));
        QVERIFY(child(*window, "progressBar")->isHidden() && child(*window, "pbCancel")->isHidden());
    }

private slots:
    void init()
    {
        qputenv("HOME", home.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit());
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid() && QDir::setCurrent(dir->path()));
        qputenv("FAKEDICTZIP_LOG", dir->filePath("runs.log").toLocal8Bit());
        qunsetenv("FAKEDICTZIP_FOREIGN");
        QDir(home.filePath("data/Trash")).removeRecursively();
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
    // A row per dropped URL, in order, repeats and non-local ones too; a failed row tells why; dark lists at 4.5:1.
    void droppedPaths()
    {
        QFETCH(QColor, base);
        if (!trashTakesFiles())
            QSKIP("the second run of a.dsl replaces a.dsl.dz, and no Trash can take it here");
        window->resize(539, 200); // too low for all rows
        QVERIFY(exposed());
        QPalette palette = list()->palette();
        palette.setColor(QPalette::Base, base);
        list()->setPalette(palette);
        const QString why = "cannot create <b>bad</b>.dsl.dz: Permission denied";
        const QStringList paths{makeFile("a.dsl", 1000, "bytes=333"),
                                dir->filePath("gone.dsl"),
                                makeFile("b.dsl.DZ", 10000000, "bytes=40000000"),
                                makeFile("c.dsl", 3000000000, "bytes=3000000000"),
                                makeFile("d.dsl", 0),
                                makeFile("bad.dsl", 10, "exit=1\nsay=" + why.toUtf8())};
        QList<QUrl> urls;
        for (int i : {0, 1, 0, 2, 3, 4, 5})
            urls << QUrl::fromLocalFile(paths[i]);
        // Bytes that are not UTF-8, beside a file named as they decode: neither is taken.
        const QByteArray raw = QFile::encodeName(dir->path()) + "/\xff\xfe.txt";
        std::fclose(std::fopen(raw.constData(), "w"));
        const QString alike = makeFile("\uFFFD\uFFFD.txt", 5);
        urls << QUrl("https://example.org/") << QUrl::fromEncoded("file://" + raw.toPercentEncoding("/"));
        QVERIFY(dragAndDrop(*window, urls));

        QStringList cells; // columns 1 to 4
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            cells << QStringList{row(i)->text(1), row(i)->text(2), row(i)->text(3), row(i)->text(4)}.join('|');
        QCOMPARE(cells,
                 QStringList({"done|1000|333|33", "cannot open|||", "done|1000|333|33", "done|10000000|40000000|400",
                              "done|3000000000|3000000000|100", "done|0|0|", "failed (1)|10||", "cannot open|||",
                              "cannot open|||"}));
        QCOMPARE(column(0),
                 QStringList({paths[0], paths[1], paths[0], paths[2], paths[3], paths[4], paths[5], "", alike}));
        QVERIFY(!QFile::exists(alike + ".dz") && row(8)->toolTip(1).startsWith("the name is not valid UTF-8"));
        std::remove(raw.constData()); // Qt sees no such name, nor can it remove it
        QVERIFY(list()->viewport()->rect().intersects(list()->visualItemRect(row(8)))); // the last row in view
        checkIdle("Task finished — 5 done, 4 failed, 0 cancelled; 29998666 bytes added");
        // Names and messages are shown as plain text; the compressor's error is the reason, not the hint
        // that follows it; sizes also as a person reads them.
        QTextDocument tip;
        tip.setHtml(row(6)->toolTip(1));
        auto *details = child<QLabel>(*window, "lDetails");
        QCOMPARE(QStringList({row(6)->toolTip(0), tip.toPlainText().section('\n', 0, 0),
                              details->text().section('\n', 0, 0), row(4)->toolTip(2)}),
                 QStringList({paths[5], why, why, "2.8 GB"}));
        QVERIFY(details->textFormat() == Qt::PlainText
                && child<QLabel>(*window, "lInfo")->textFormat() == Qt::PlainText);
        // WebAIM's figures for grey, red and blue on white.
        for (const auto &[rgb, ratio] : QList<std::pair<int, int>>{{0x767676, 454}, {0xff0000, 400}, {0x0000ff, 859}})
            QCOMPARE(qRound(ResultList::contrast(QColor::fromRgb(rgb), Qt::white) * 100), ratio);
        for (const auto &[i, column, light] : QList<std::tuple<int, int, QVariant>>{{0, 1, QColor(Qt::darkGreen)},
                                                                                    {0, 4, QColor(Qt::darkBlue)},
                                                                                    {6, 1, QColor(Qt::darkRed)},
                                                                                    {6, 4, {}},
                                                                                    {1, 1, {}}}) {
            if (!light.isValid() || base == Qt::white)
                QCOMPARE(row(i)->data(column, Qt::ForegroundRole), light);
            else
                QVERIFY(colour(i, column).hslHue() == light.value<QColor>().hslHue()
                        && ResultList::contrast(colour(i, column), base) >= 4.5);
        }
    }

    // The second row is painted before its first poll, with its count and the bar; the check box unticked
    // then, About and a row's menu opened, affect the third file only, and do not hold the batch.
    void secondOfThreeFiles()
    {
        QVERIFY(exposed());
        const QStringList paths{makeFile("1.dsl", 4), makeFile("2.dsl", 4), makeFile("3.dsl", 4)};
        const QString hold = writeInput(paths[1] + ".hold", 0);
        auto *bar = child<QProgressBar>(*window, "progressBar");
        bool seen = false, paintedEarly = false;
        int early = 0, value = 0;
        OnPaint painted;
        painted.paint = [&] {
            if (list()->topLevelItemCount() == 2 && !seen)
                seen = true, paintedEarly = row(1)->text(3).isEmpty(), early = bar->value();
        };
        list()->viewport()->installEventFilter(&painted);
        QString shown, refused;
        bool accepted = true;
        // Held with 3/4 of the second file read. Files are refused then, and that is said at once.
        During untick([&] { return polled(1) && row(1)->text(3) == "4"; },
                      [&] {
                          shown = info(), value = bar->value();
                          click("pbOpenFile");
                          refused = info();
                          accepted = dragAndDrop(*window, {QUrl::fromLocalFile(paths[0])});
                          window->processFiles({paths[0]}); // as a handler inside a pump might
                          click("cbKeepFiles");
                          QFile::remove(hold); // the run may end now
                          click("pbAbout");
                          emit list()->customContextMenuRequested(list()->visualItemRect(row(0)).center());
                      });
        QTimer::singleShot(20000, window.get(), [] { QApplication::closeAllWindows(); });
        window->processFiles(paths);

        auto *about = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(about && about->isVisible() && qobject_cast<QMenu *>(QApplication::activePopupWidget()));
        // The edition and the version each in its place; the compressor's text up to its zero byte.
        QVERIFY(about->informativeText().contains("edition<br>version " LEXPACK_VERSION "<br>")
                && about->informativeText().endsWith("<br><br>dictzip 1 (Lexpack)\n"));
        QVERIFY(paintedEarly && untick.fired && !accepted
                && refused.endsWith(" — more files are taken once this batch has ended"));
        QCOMPARE(shown, "[2/3] processing " + QDir::toNativeSeparators(paths[1]) + "...");
        // One file of three done at the second's start; then into the second, not from the bar's start.
        QCOMPARE(early * 3, bar->maximum());
        QVERIFY2(value > bar->maximum() / 2 && value < bar->maximum() * 2 / 3, qPrintable(QString::number(value)));
        // Ours is always told where a file in the way goes (the fake logs the option, not its path).
        const QString aside = "--replaced-to\t";
        QCOMPARE(toolRuns(),
                 QStringList({aside + "-k\t-f\t" + paths[0], aside + "-k\t-f\t" + paths[1], aside + "-f\t" + paths[2]})
                     .replaceInStrings("/", QDir::separator()));
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
        QTest::newRow("stop ignored") << "Cancel" << 2 << 0 << QByteArray("sleep_ms=30000\nignore_term=1")
                                      << "cancelled";
        // With no sleep the cancel comes in the pump before the run, which then never starts; a run
        // that had ended when the cancel was noticed reports its real outcome.
        QTest::newRow("before the run starts") << "Cancel" << 2 << 0 << QByteArray() << "cancelled";
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
        // Files that come while the run stops, or in the next batch, are refused.
        const QString next = makeFile("next.dsl", 1);
        bool accepted = true;
        During late([&] { return cancel.fired && !child(*window, "pbCancel")->isHidden(); },
                    [&] {
                        accepted = dragAndDrop(*window, {QUrl::fromLocalFile(next)});
                        window->processFiles({next}); // as a handler inside a pump might
                    });
        if (how == "Cancel") {
            window->processFiles(paths);
        } else {
            QVERIFY(exposed());
            QTimer::singleShot(0, window.get(), [&] { window->processFiles(paths); });
            QTimer::singleShot(20000, &cancel, [] { QCoreApplication::exit(99); });
            QCOMPARE(QCoreApplication::exec(), 0);
            QVERIFY(!window->isVisible());
        }

        QVERIFY(cancel.fired && window->findChild<DictZip *>()->waitForFinished(0)); // the tool is idle
        QCOMPARE(toolRuns().size(), target + int(!atOnce));
        QCOMPARE(column(1), QStringList(target, "done") << status);
        QCOMPARE(colour(target, 1), QColor(status == "done" ? Qt::darkGreen : Qt::darkRed));
        QCOMPARE(QFile::exists(paths[target]), status != "done"); // the fake removes it on success only
        QCOMPARE(QFile::exists(paths[target] + ".dz"), status != "cancelled");
        // A cancelled row is counted as cancelled alone, and is not shown as the first failure.
        checkIdle("Task cancelled");
        QVERIFY(info().contains(QString("0 failed, %1 cancelled").arg(int(status == "cancelled"))));
        QCOMPARE(list()->currentItem(), nullptr);

        window->processFiles({next});
        QVERIFY(late.fired && !accepted);
        QCOMPARE(column(1), QStringList{"done"});
    }

    void replace_data()
    {
        // The fake, the fake as our own compressor, the real one or none; the input (a trailing slash makes
        // a folder); the fake's settings; the status.
        for (const char *column : {"tool", "name", "fake", "status"})
            QTest::addColumn<QString>(column);
        // Done: the previous file in the Trash, restored under its name; else in place, none in the Trash.
        for (const char *row :
             {"decompress over an edited file|fake|a.dsl.dz||done", "ours, over a link to a folder|real|l.dsl||done",
              "a file that appeared as the run began|own|p.dsl|appear=1|done",
              "damaged input|real|d.dsl.dz||failed (3)",
              "damaged input, another compressor|fake|d.dsl.dz|exit=3|failed (3)",
              "Cancel, killed|fake|k.dsl.dz|sleep_ms=30000;ignore_term=1|cancelled",
              "Cancel, ours killed|own|k.dsl.dz|sleep_ms=30000;ignore_term=1|cancelled",
              "window closed|own|w.dsl|sleep_ms=30000|cancelled", "missing compressor|none|m.dsl.dz||failed (-1)",
              "folder named like the output|real|x.dz/||failed (2)"}) {
            const QStringList cells = QString(row).replace(';', '\n').split('|');
            QTest::addRow("%s", qPrintable(cells[0])) << cells[1] << cells[2] << cells[3] << cells[4];
        }
    }
    void replace()
    {
        QFETCH(QString, tool);
        QFETCH(QString, name);
        QFETCH(QString, fake);
        QFETCH(QString, status);
        if (status == "done" && !trashTakesFiles())
            QSKIP("no Trash can take a file here");
        const auto entry = [](const QFileInfo &info) { return info.symLinkTarget() + QString::number(info.size()); };
        auto *runner = window->findChild<DictZip *>();
        qputenv("FAKEDICTZIP_FOREIGN", tool == "fake" ? "1" : "");
        runner->toolPath = tool == "real" ? DICTZIP_PROGRAM : tool == "none" ? "/nowhere/dictzip" : runner->toolPath;
        runner->probeVersion();
        const QString path = dir->filePath(QString(name).remove('/')), old = DictZip::outputName(path);
        QVERIFY(name.endsWith('/') ? QDir().mkdir(path) : !makeFile(name, 100, fake.toUtf8()).isEmpty());
        QVERIFY(name.startsWith('l') ? QDir().mkdir(dir->filePath("to")) && QFile::link(dir->filePath("to"), old)
                                     : fake.contains("appear") || !writeInput(old, 7).isEmpty());
        const QString previous = fake.contains("appear") ? "8" : entry(QFileInfo(old));
        const QString why = status == "done" ? "is in the Trash" : tool == "none" ? "cannot start" : "";
        During cancel([&] { return status == "cancelled" && polled(0); },
                      [&] { click(name.startsWith('w') ? "pbExit" : "pbCancel"); });
        window->processFiles({path});

        QCOMPARE(column(1), QStringList{status});
        QCOMPARE(toolRuns().isEmpty(), tool == "none" || tool == "real");
        // Ours, the real one too, is known by its version text and tells how far it has read.
        QVERIFY(runner->tellsProgress() == (tool == "real" || tool == "own")
                && (status != "done" || (runner->progress() > 0) == (tool != "fake")));
        QVERIFY(QFileInfo::exists(path) && QDir(dir->path()).entryList({"*dictzip-old*"}, QDir::System).isEmpty()
                && row(0)->toolTip(1).contains(why));
        QProcess trash; // a freedesktop.org Trash tool lists and restores what went there
        trash.start("trash-list");
        const QStringList listed = QString(trash.waitForFinished(20000) ? trash.readAll() : "").split('\n').filter(old);
        QCOMPARE(listed.size(), int(status == "done"));
        QCOMPARE(entry(QFileInfo(old)) == previous, status != "done");
        if (!listed.isEmpty() && listed[0].endsWith(' ' + old) && QFile::rename(old, old + ".new"))
            QProcess::execute("sh", {"-c", "echo 0 | trash-restore '" + old + "'"});
        QCOMPARE(entry(QFileInfo(old)), previous);
    }
};

QTEST_MAIN(TestBatchRun)
#include "tst_batchrun.moc"
