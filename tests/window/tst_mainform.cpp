// The main window: its languages and names typed into the Open dialog.

#include "language.h"
#include "mainform.h"

#include "../guitest.h"

#include <QAbstractButton>
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
        QTest::addColumn<QStringList>("changed"); // title, Open, Ready, Status, then the dialog's buttons
        QTest::newRow("German")
            << "de_DE"
            << QStringList{"Lexpack - Wörterbuchpacker", "Öffnen...", "Bereit", "Status", "&Öffnen", "Abbrechen"};
        QTest::newRow("Russian")
            << "ru_RU"
            << QStringList{"Lexpack - упаковщик словарей", "Открыть...", "Готово", "Состояние", "&Открыть", "Отмена"};
    }
    void retranslation()
    {
        QFETCH(QString, locale);
        QFETCH(QStringList, changed);
        MainForm window;
        const QStringList english = texts(window);
        child<QLabel>(window, "lInfo")->setText(QStringLiteral("Task finished"));
        QLocale::setDefault(QLocale(locale));
        auto catalogues = std::make_unique<QObject>();
        installTranslations(QStringLiteral(LEXPACK_TRANSLATIONS), catalogues.get());
        QCoreApplication::processEvents(); // the language change is posted
        QStringList shown = texts(window);
        QCOMPARE(shown.takeAt(3), QStringLiteral("File"));
        During answer([] { return QApplication::activeModalWidget() != nullptr; },
                      [&] {
                          QWidget *dialog = QApplication::activeModalWidget();
                          for (QAbstractButton *button : child<QDialogButtonBox>(*dialog, "buttonBox")->buttons())
                              shown << button->text();
                          dialog->close();
                      });
        child<QAbstractButton>(window, "pbOpenFile")->click();
        QCOMPARE(shown, changed);
        QLocale::setDefault(QLocale::c());
        catalogues.reset();
        QCoreApplication::processEvents();
        QCOMPARE(texts(window), english);
    }

    // Typed into Qt's own dialog under the DSL filter, all three names reach the batch.
    void typedNames()
    {
        QTemporaryDir dir;
        QStringList paths;
        for (const char *name : {"a.dict", "b.dsl", "c.txt"})
            paths << writeInput(dir.filePath(name), 1);
        MainForm window;
        During type([] { return QApplication::activeModalWidget(); },
                    [] {
                        auto *edit = child<QLineEdit>(*QApplication::activeModalWidget(), "fileNameEdit");
                        QApplication::setActiveWindow(edit->window());
                        edit->setFocus(); // as a user types, else the dialog rewrites the line from its list
                        edit->setText("\"a.dict\" \"b.dsl\" \"c.txt\"");
                        QTest::keyClick(edit, Qt::Key_Return);
                    });
        const QString started = QDir::currentPath(); // the dialog opens in "."
        QDir::setCurrent(dir.path());
        child<QAbstractButton>(window, "pbOpenFile")->click();
        QDir::setCurrent(started);
        auto *list = child<QTreeWidget>(window, "tvResult");
        QCOMPARE(list->topLevelItemCount(), 3);
        for (int row = 0; row < 3; ++row)
            QCOMPARE(list->topLevelItem(row)->text(0) + list->topLevelItem(row)->text(1), paths.at(row) + "done");
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
