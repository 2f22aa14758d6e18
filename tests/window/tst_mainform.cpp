// The main window: its languages, the Open dialog's typed names and filters.

#include "language.h"
#include "mainform.h"

#include "../guitest.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

class TestMainForm : public QObject
{
    Q_OBJECT

private slots:
    // A language change to German and back, with the shipped catalogue and Qt's for the Open dialog.
    void retranslation()
    {
        MainForm window;
        auto *list = child<QTreeWidget>(window, "tvResult");
        const auto texts = [&] {
            return QStringList{window.windowTitle(), child<QAbstractButton>(window, "pbOpenFile")->text(),
                               child<QLabel>(window, "lInfo")->text(), list->headerItem()->text(0),
                               list->headerItem()->text(1)};
        };
        const QStringList english = texts();
        child<QLabel>(window, "lInfo")->setText(QStringLiteral("Task finished"));
        QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
        auto catalogues = std::make_unique<QObject>();
        installTranslations(QStringLiteral(LEXPACK_TRANSLATIONS), catalogues.get());
        QCoreApplication::processEvents(); // the language change is posted
        QStringList shown = texts();
        QCOMPARE(shown.takeAt(3), QStringLiteral("File"));
        // A batch: the batch's own texts stay English, the texts added to them follow the language.
        QTemporaryDir dir;
        window.show();
        window.processFiles({writeInput(dir.filePath("a.dsl"), 10), dir.filePath("gone")});
        emit list->customContextMenuRequested(list->visualItemRect(list->topLevelItem(0)).center());
        QWidget *menu = QApplication::activePopupWidget();
        QVERIFY(menu);
        shown << list->topLevelItem(0)->text(1) << child<QLabel>(window, "lInfo")->text()
              << list->headerItem()->toolTip(4) << menu->actions().first()->text();
        menu->close();
        During answer([] { return QApplication::activeModalWidget() != nullptr; },
                      [&] {
                          QWidget *dialog = QApplication::activeModalWidget();
                          for (QAbstractButton *button : child<QDialogButtonBox>(*dialog, "buttonBox")->buttons())
                              shown << button->text();
                          dialog->close();
                      });
        child<QAbstractButton>(window, "pbOpenFile")->click();
        // Title, Open, Ready, Status; after a batch a row's status, the summary, the % header's tooltip and the
        // row menu's first entry; then the dialog's buttons.
        QCOMPARE(shown,
                 QString("Lexpack - Wörterbuchpacker|Öffnen...|Bereit|Status|done|Task finished — 1 fertig, 1 "
                         "fehlgeschlagen, 0 abgebrochen; 0 Bytes gespart|Neue Größe als Anteil der alten Größe|"
                         "Enthaltenden Ordner öffnen|&Öffnen|Abbrechen")
                     .split('|'));
        QLocale::setDefault(QLocale::c());
        catalogues.reset();
        QCoreApplication::processEvents();
        QCOMPARE(texts(), english);
    }

    // Typed into Qt's own dialog under the DSL filter, all three names reach the batch; "All
    // files (*.*)" lists every file, names without a dot too.
    void openDialog()
    {
        QTemporaryDir dir;
        QStringList paths;
        for (const char *name : {"a.dict", "b.dsl", "c.txt", "d"})
            paths << writeInput(dir.filePath(name), 1);
        MainForm window;
        for (const bool allFiles : {true, false}) {
            During type([] { return QApplication::activeModalWidget(); },
                        [&] {
                            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
                            auto *edit = child<QLineEdit>(*dialog, "fileNameEdit");
                            auto *files = child<QAbstractItemView>(*dialog, "listView");
                            QApplication::setActiveWindow(dialog);
                            if (allFiles) {
                                QTest::keyClick(child(*dialog, "fileTypeCombo"), Qt::Key_End);
                                // Accepted in any case, so that a short list fails below rather than hangs.
                                static_cast<void>(
                                    QTest::qWaitFor([&] { return files->model()->rowCount(files->rootIndex()) == 4; }));
                                return files->selectAll(), dialog->accept();
                            }
                            edit->setFocus(); // as a user types, else the dialog rewrites the line from its list
                            edit->setText("\"a.dict\" \"b.dsl\" \"c.txt\"");
                            QTest::keyClick(edit, Qt::Key_Return);
                        });
            const QString started = QDir::currentPath(); // the dialog opens in "."
            QDir::setCurrent(dir.path());
            child<QAbstractButton>(window, "pbOpenFile")->click();
            QDir::setCurrent(started);
            auto *list = child<QTreeWidget>(window, "tvResult");
            QCOMPARE(list->topLevelItemCount(), allFiles ? 4 : 3);
            for (int row = 0; row < list->topLevelItemCount(); ++row)
                QCOMPARE(list->topLevelItem(row)->text(0) + list->topLevelItem(row)->text(1),
                         QDir::toNativeSeparators(paths.at(row)) + "done");
            for (const QString &path : paths)
                QFile::remove(path + ".dz"); // nothing to replace next time, as no Trash takes files under wine
        }
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
