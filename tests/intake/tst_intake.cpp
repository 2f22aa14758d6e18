// File intake: the Open dialog and drag and drop, each starting a real batch with the
// fake compressor, and both refused while a batch runs.

#include "mainform.h"

#include "modalanswer.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest>

namespace {

QTreeWidget *resultList(MainForm &form)
{
    return form.findChild<QTreeWidget *>(QStringLiteral("tvResult"));
}

QString info(MainForm &form)
{
    return form.findChild<QLabel *>(QStringLiteral("lInfo"))->text();
}

QStringList rowPaths(MainForm &form)
{
    QStringList paths;
    QTreeWidget *list = resultList(form);
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        paths << list->topLevelItem(row)->text(0);
    return paths;
}

void clickOpen(MainForm &form)
{
    form.findChild<QPushButton *>(QStringLiteral("pbOpenFile"))->click();
}

// Straight to the window's handlers: QApplication would route a drop only to a widget
// whose drag enter it saw accepted, which would hide a handler that fails to refuse.
bool sendDragEnter(MainForm &form, const QMimeData &data)
{
    QDragEnterEvent event(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                          Qt::NoModifier);
    static_cast<QObject &>(form).event(&event);
    return event.isAccepted() && event.dropAction() == event.proposedAction();
}

void sendDrop(MainForm &form, const QMimeData &data)
{
    QDropEvent event(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                     Qt::NoModifier);
    static_cast<QObject &>(form).event(&event);
}

// Each tool run the fake compressor logged since the last call, version probes left out.
QStringList toolRuns(const QString &logPath)
{
    QFile log(logPath);
    QStringList runs;
    if (log.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : log.readAll().split('\n'))
            if (!line.isEmpty() && line != "-V")
                runs << QString::fromLocal8Bit(line);
        log.remove();
    }
    return runs;
}

} // namespace

class TestIntake : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void dragEnterWhenIdle();
    void drop_data();
    void drop();
    void refusedWhileBusy_data();
    void refusedWhileBusy();
    void openChoosesFiles();
    void openCancelled();

private:
    QString file(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    QString logPath;
};

void TestIntake::initTestCase()
{
    QVERIFY(dir.isValid());
    // The Open dialog starts in the current directory.
    QVERIFY(QDir::setCurrent(dir.path()));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    logPath = file("runs.log");
    qputenv("FAKEDICTZIP_LOG", logPath.toLocal8Bit());
}

void TestIntake::init()
{
    for (const char *name : {"a.dsl", "b.dz", "c.DZ", "d.txt", "e.dsl"}) {
        QFile input(file(name));
        QVERIFY(input.open(QIODevice::WriteOnly));
        input.write(QByteArray(100, 'x'));
    }
    toolRuns(logPath);
}

void TestIntake::dragEnterWhenIdle()
{
    MainForm form;
    QMimeData files, text;
    files.setUrls({QUrl::fromLocalFile(file("a.dsl"))});
    text.setText(QStringLiteral("some text"));
    // The content is not looked at: plain text is welcome too (its drop does nothing).
    QVERIFY(sendDragEnter(form, files));
    QVERIFY(sendDragEnter(form, text));
}

void TestIntake::drop_data()
{
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<QStringList>("rows");

    const QUrl a = QUrl::fromLocalFile(file("a.dsl"));
    const QUrl b = QUrl::fromLocalFile(file("b.dz"));
    QTest::newRow("files in order, repeats kept")
        << QList<QUrl>{b, a, b} << QStringList{file("b.dz"), file("a.dsl"), file("b.dz")};
    QTest::newRow("folder, not expanded")
        << QList<QUrl>{QUrl::fromLocalFile(file("folder"))} << QStringList{file("folder")};
    QTest::newRow("web page gives an empty path")
        << QList<QUrl>{a, QUrl(QStringLiteral("https://example.org/index.html"))}
        << QStringList{file("a.dsl"), QString()};
    QTest::newRow("no URLs") << QList<QUrl>{} << QStringList{};
}

void TestIntake::drop()
{
    QFETCH(QList<QUrl>, urls);
    QFETCH(QStringList, rows);

    MainForm form;
    QMimeData data;
    if (urls.isEmpty())
        data.setText(QStringLiteral("some text"));
    else
        data.setUrls(urls);
    sendDrop(form, data);

    // The batch ran inside the drop.
    QCOMPARE(rowPaths(form), rows);
    QCOMPARE(info(form), rows.isEmpty() ? QStringLiteral("Ready") : QStringLiteral("Task finished"));
    QVERIFY(!form.isBusy());
    if (!rows.isEmpty() && rows.last().isEmpty())
        QCOMPARE(resultList(form)->topLevelItem(rows.size() - 1)->text(1), QStringLiteral("cannot open"));
}

void TestIntake::refusedWhileBusy_data()
{
    QTest::addColumn<bool>("cancelFirst");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("ending");
    QTest::newRow("batch running") << false << QStringLiteral("done") << QStringLiteral("Task finished");
    // After Cancel, `busy` is clear while the batch still waits for its tool run to stop:
    // files that arrive then must not slip into that batch's last moments.
    QTest::newRow("cancelled run stopping") << true << QStringLiteral("cancelled")
                                            << QStringLiteral("Task cancelled");
}

void TestIntake::refusedWhileBusy()
{
    QFETCH(bool, cancelFirst);
    QFETCH(QString, status);
    QFETCH(QString, ending);

    MainForm form;
    QFile sidecar(file("a.dsl.fake"));
    if (cancelFirst) {
        // A run that ignores the polite stop keeps the batch waiting on it.
        QVERIFY(sidecar.open(QIODevice::WriteOnly));
        sidecar.write("sleep_ms=20000\nignore_term=1\n");
        sidecar.close();
        QTimer::singleShot(0, &form, [&] {
            form.findChild<QPushButton *>(QStringLiteral("pbCancel"))->click();
        });
    }
    QMimeData late;
    late.setUrls({QUrl::fromLocalFile(file("e.dsl"))});
    bool inBatch = false;
    bool dragAccepted = true;
    bool dialogShown = false;

    // Opens no dialog if Open is refused; closes it if not.
    ModalAnswer answer([&](QWidget *dialog) {
        dialogShown = true;
        dialog->close();
    });
    // Fires in the batch's first event pump, or while the cancelled run is being stopped.
    QTimer::singleShot(cancelFirst ? 1000 : 0, &form, [&] {
        inBatch = cancelFirst ? !form.isBusy() && QFile::exists(file("a.dsl.dz")) : form.isBusy();
        dragAccepted = sendDragEnter(form, late);
        sendDrop(form, late);
        clickOpen(form);
    });
    form.processFiles({file("a.dsl")});
    sidecar.remove();

    QVERIFY(inBatch);
    QVERIFY(!dragAccepted);
    QVERIFY(!dialogShown);
    // The running batch went on undisturbed and nothing else ran.
    QCOMPARE(rowPaths(form), QStringList{file("a.dsl")});
    QCOMPARE(resultList(form)->topLevelItem(0)->text(1), status);
    QCOMPARE(info(form), ending);
    QCOMPARE(toolRuns(logPath).size(), 1);

    // Idle again: drags are welcome.
    QVERIFY(sendDragEnter(form, late));
}

void TestIntake::openChoosesFiles()
{
    MainForm form;
    QFileDialog *seen = nullptr;
    QString title, filter;
    QStringList filters, chosen;
    QWidget *parent = nullptr;
    QDir startedIn;
    ModalAnswer answer([&](QWidget *dialog) {
        seen = qobject_cast<QFileDialog *>(dialog);
        if (!seen) {
            dialog->close();
            return;
        }
        title = seen->windowTitle();
        parent = seen->parentWidget();
        startedIn = seen->directory();
        filters = seen->nameFilters();
        filter = seen->selectedNameFilter();
        // The user shows all files and types five names, in no particular order. The list
        // applies a filter later, and a typed name it does not show yet is not picked up.
        seen->selectNameFilter(filters.last());
        const QStringList names = {"e.dsl", "b.dz", "d.txt", "a.dsl", "c.DZ"};
        auto *model = seen->findChild<QFileSystemModel *>();
        auto shown = [&] {
            const QModelIndex folder = model->index(dir.path());
            int count = 0;
            for (int row = 0; row < model->rowCount(folder); ++row)
                count += names.contains(model->index(row, 0, folder).data().toString());
            return count == names.size();
        };
        QDeadlineTimer deadline(10000);
        while (!shown() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        seen->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
            ->setText('"' + names.join(QStringLiteral("\" \"")) + '"');
        chosen = seen->selectedFiles();
        QMetaObject::invokeMethod(seen, "accept");
        if (seen->isVisible())
            seen->reject();
    });
    clickOpen(form);

    QVERIFY(seen);
    QCOMPARE(title, QStringLiteral("Choose files to process"));
    QCOMPARE(parent, &form);
    QCOMPARE(startedIn, QDir(dir.path()));
    QCOMPARE(filters, QStringList({"DSL dictionaries - compress (*.dsl)",
                                   "DictZip dictionaries - uncompress (*.dz)", "All files (*.*)"}));
    QCOMPARE(filter, filters.first());

    // The batch ran inside the click, over the files in the order the dialog gave them.
    QCOMPARE(chosen.size(), 5);
    QCOMPARE(rowPaths(form), chosen);
    QCOMPARE(info(form), QStringLiteral("Task finished"));
    // The filter does not decide the operation: .dz in any case is decompressed, the rest compressed.
    const QStringList runs = toolRuns(logPath);
    QCOMPARE(runs.size(), 5);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(runs.at(i).contains("\t-d\t"), chosen.at(i).endsWith(".dz", Qt::CaseInsensitive));
}

void TestIntake::openCancelled()
{
    MainForm form;
    form.processFiles({file("a.dsl")});
    toolRuns(logPath);

    for (int opening = 0; opening < 2; ++opening) {
        QDir startedIn;
        ModalAnswer answer([&](QWidget *dialog) {
            auto *files = qobject_cast<QFileDialog *>(dialog);
            if (files) {
                startedIn = files->directory();
                // Wandering off must not carry over to the next opening.
                files->setDirectory(file("folder"));
            }
            QMetaObject::invokeMethod(dialog, "reject");
        });
        clickOpen(form);
        QVERIFY(answer.answered());
        QCOMPARE(startedIn, QDir(dir.path()));
    }

    // No batch: the previous results stay.
    QCOMPARE(rowPaths(form), QStringList{file("a.dsl")});
    QCOMPARE(resultList(form)->topLevelItem(0)->text(1), QStringLiteral("done"));
    QCOMPARE(info(form), QStringLiteral("Task finished"));
    QVERIFY(toolRuns(logPath).isEmpty());
}

QTEST_MAIN(TestIntake)
#include "tst_intake.moc"
