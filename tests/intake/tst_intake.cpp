// File intake: the Open dialog and drag and drop, each starting a real batch with the
// fake compressor, and both refused while a batch runs.

#include "mainform.h"

#include "../guitest.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest>

namespace {

// Column `column` of each row, then the line under the list.
QStringList shown(MainForm &form, int column = 0)
{
    QStringList cells;
    auto *list = child<QTreeWidget>(form, "tvResult");
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        cells << list->topLevelItem(row)->text(column);
    return cells << child<QLabel>(form, "lInfo")->text();
}

// Straight to the window's handlers: QApplication would route a drop only to a widget
// whose drag enter it saw accepted, which would hide a handler that fails to refuse.
bool sendDragEnter(MainForm &form, const QMimeData &data)
{
    QDragEnterEvent event(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject &>(form).event(&event);
    return event.isAccepted() && event.dropAction() == event.proposedAction();
}

void sendDrop(MainForm &form, const QMimeData &data)
{
    QDropEvent event(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject &>(form).event(&event);
}

} // namespace

class TestIntake : public QObject
{
    Q_OBJECT

    QString file(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    QString logPath;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        // The Open dialog starts in the current directory.
        QVERIFY(QDir::setCurrent(dir.path()));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        logPath = file("runs.log");
        qputenv("FAKEDICTZIP_LOG", logPath.toLocal8Bit());
    }
    void init()
    {
        for (const char *name : {"a.dsl", "b.dz", "c.DZ", "d.txt", "e.dsl"})
            writeInput(file(name), 100);
        toolRuns(logPath, true);
    }

    void drop_data()
    {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<QStringList>("shown");

        const QUrl a = QUrl::fromLocalFile(file("a.dsl"));
        const QUrl b = QUrl::fromLocalFile(file("b.dz"));
        const QString finished = QStringLiteral("Task finished");
        QTest::newRow("files in order, repeats kept")
            << QList<QUrl>{b, a, b} << QStringList{file("b.dz"), file("a.dsl"), file("b.dz"), finished};
        QTest::newRow("folder, not expanded")
            << QList<QUrl>{QUrl::fromLocalFile(file("folder"))} << QStringList{file("folder"), finished};
        QTest::newRow("web page gives an empty path")
            << QList<QUrl>{a, QUrl(QStringLiteral("https://example.org/index.html"))}
            << QStringList{file("a.dsl"), QString(), finished};
        // The content is not looked at: plain text is welcome too, and its drop does nothing.
        QTest::newRow("no URLs") << QList<QUrl>{} << QStringList{"Ready"};
    }
    void drop()
    {
        QFETCH(QList<QUrl>, urls);
        QFETCH(QStringList, shown);

        MainForm form;
        QMimeData data;
        if (urls.isEmpty())
            data.setText(QStringLiteral("some text"));
        else
            data.setUrls(urls);
        QVERIFY(sendDragEnter(form, data));
        sendDrop(form, data);
        // The batch ran inside the drop.
        QCOMPARE(::shown(form), shown);
        QVERIFY(!form.isBusy());
    }

    void refusedWhileBusy_data()
    {
        QTest::addColumn<bool>("cancelFirst");
        QTest::addColumn<QStringList>("shown"); // status, then the line under the list
        QTest::newRow("batch running") << false << QStringList{"done", "Task finished"};
        // After Cancel, `busy` is clear while the batch still waits for its tool run to stop:
        // files that arrive then must not slip into that batch's last moments.
        QTest::newRow("cancelled run stopping") << true << QStringList{"cancelled", "Task cancelled"};
    }
    void refusedWhileBusy()
    {
        QFETCH(bool, cancelFirst);
        QFETCH(QStringList, shown);

        MainForm form;
        if (cancelFirst) {
            // A run that ignores the polite stop keeps the batch waiting on it.
            writeInput(file("a.dsl"), 100, "sleep_ms=20000\nignore_term=1\n");
            QTimer::singleShot(0, &form, [&] { child<QPushButton>(form, "pbCancel")->click(); });
        }
        QMimeData late;
        late.setUrls({QUrl::fromLocalFile(file("e.dsl"))});
        bool inBatch = false, dragAccepted = true, dialogShown = false;
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
            child<QPushButton>(form, "pbOpenFile")->click();
        });
        form.processFiles({file("a.dsl")});
        QFile::remove(file("a.dsl.fake"));

        QVERIFY(inBatch);
        QVERIFY(!dragAccepted);
        QVERIFY(!dialogShown);
        // The running batch went on undisturbed and nothing else ran.
        QCOMPARE(::shown(form, 1), shown);
        QCOMPARE(toolRuns(logPath), QStringList{"-k\t-f\t" + file("a.dsl")});
        // Idle again: drags are welcome.
        QVERIFY(sendDragEnter(form, late));
    }

    void openDialog_data()
    {
        QTest::addColumn<bool>("choose");
        QTest::newRow("files chosen") << true;
        QTest::newRow("cancelled") << false;
    }
    void openDialog()
    {
        QFETCH(bool, choose);
        MainForm form;
        form.processFiles({file("a.dsl")});
        toolRuns(logPath, true);

        QStringList seen, chosen;
        // Opened twice: wandering off in the first must not carry over to the second.
        for (int opening = 0; opening < 2; ++opening) {
            ModalAnswer answer([&](QWidget *dialog) {
                auto *files = qobject_cast<QFileDialog *>(dialog);
                if (!files)
                    return dialog->close(), void();
                seen << files->windowTitle() << QString::number(files->parentWidget() == &form)
                     << files->directory().absolutePath() << files->nameFilters() << files->selectedNameFilter();
                if (!choose) {
                    files->setDirectory(file("folder"));
                    return QMetaObject::invokeMethod(files, "reject"), void();
                }
                // The user shows all files and types five names, in no particular order. The list
                // applies a filter later, and a typed name it does not show yet is not picked up.
                files->selectNameFilter(files->nameFilters().last());
                const QStringList names = {"e.dsl", "b.dz", "d.txt", "a.dsl", "c.DZ"};
                auto *model = files->findChild<QFileSystemModel *>();
                const auto listed = [&] {
                    const QModelIndex folder = model->index(dir.path());
                    int count = 0;
                    for (int row = 0; row < model->rowCount(folder); ++row)
                        count += names.contains(model->index(row, 0, folder).data().toString());
                    return count == names.size();
                };
                QDeadlineTimer deadline(10000);
                while (!listed() && !deadline.hasExpired())
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
                child<QLineEdit>(*files, "fileNameEdit")->setText('"' + names.join("\" \"") + '"');
                chosen = files->selectedFiles();
                QMetaObject::invokeMethod(files, "accept");
                if (files->isVisible())
                    files->reject();
            });
            child<QPushButton>(form, "pbOpenFile")->click();
            QVERIFY(answer.answered());
        }

        const QStringList once{"Choose files to process",
                               "1",
                               QDir(dir.path()).absolutePath(),
                               "DSL dictionaries - compress (*.dsl)",
                               "DictZip dictionaries - uncompress (*.dz)",
                               "All files (*.*)",
                               "DSL dictionaries - compress (*.dsl)"};
        QCOMPARE(seen, once + once);
        const QStringList runs = toolRuns(logPath);
        if (!choose) {
            // No batch: the previous results stay.
            QCOMPARE(shown(form, 1), (QStringList{"done", "Task finished"}));
            QVERIFY(runs.isEmpty());
            return;
        }
        // The batch ran inside the click, over the files in the order the dialog gave them.
        QCOMPARE(chosen.size(), 5);
        QCOMPARE(shown(form), chosen + QStringList{"Task finished"});
        // The filter does not decide the operation: .dz in any case is decompressed, the rest compressed.
        QCOMPARE(runs.size(), 10);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(runs.at(5 + i).contains("\t-d\t"), chosen.at(i).endsWith(".dz", Qt::CaseInsensitive));
    }
};

QTEST_MAIN(TestIntake)
#include "tst_intake.moc"
