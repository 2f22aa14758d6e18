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

namespace {

// Texts a language change re-applies (title, a button, a label, a header) and the File header it leaves.
QStringList texts(const MainForm &window)
{
    QTreeWidgetItem *header = child<QTreeWidget>(window, "tvResult")->headerItem();
    return {window.windowTitle(), child<QAbstractButton>(window, "pbOpenFile")->text(),
            child<QLabel>(window, "lInfo")->text(), header->text(0), header->text(1)};
}

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT

private slots:
    // A language change both ways, with the shipped catalogues and Qt's for the Open dialog.
    void retranslation_data()
    {
        QTest::addColumn<QString>("locale");
        // Title, Open, Ready, Status; after a batch a row's status, the summary, the % header's
        // tooltip and the row menu's first entry; then the dialog's buttons.
        QTest::addColumn<QString>("changed");
        QTest::newRow("German")
            << "de_DE"
            << "Lexpack - Wörterbuchpacker|Öffnen...|Bereit|Status|done|Task finished — 1 fertig, 1 "
               "fehlgeschlagen, 0 abgebrochen; 0 Bytes gespart|Neue Größe als Anteil der alten Größe|"
               "Enthaltenden Ordner öffnen|&Öffnen|Abbrechen";
        QTest::newRow("Russian")
            << "ru_RU"
            << "Lexpack - упаковщик словарей|Открыть...|Готово|Состояние|done|Task finished — готово: "
               "1, с ошибкой: 1, отменено: 0; сэкономлено байт: 0|Новый размер в процентах от старого|"
               "Открыть папку с файлом|&Открыть|Отмена";
    }
    void retranslation()
    {
        QFETCH(QString, locale);
        QFETCH(QString, changed);
        MainForm window;
        const QStringList english = texts(window);
        child<QLabel>(window, "lInfo")->setText(QStringLiteral("Task finished"));
        QLocale::setDefault(QLocale(locale));
        auto catalogues = std::make_unique<QObject>();
        installTranslations(QStringLiteral(LEXPACK_TRANSLATIONS), catalogues.get());
        QCoreApplication::processEvents(); // the language change is posted
        QStringList shown = texts(window);
        QCOMPARE(shown.takeAt(3), QStringLiteral("File"));
        // A batch: the batch's own texts stay English, the texts added to them follow the language.
        QTemporaryDir dir;
        window.show();
        window.processFiles({writeInput(dir.filePath("a.dsl"), 10), dir.filePath("gone")});
        auto *list = child<QTreeWidget>(window, "tvResult");
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
        QCOMPARE(shown, changed.split('|'));
        QLocale::setDefault(QLocale::c());
        catalogues.reset();
        QCoreApplication::processEvents();
        QCOMPARE(texts(window), english);
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
