// The main window: its languages, names typed into the Open dialog, its Windows icon.

#include "language.h"
#include "mainform.h"

#include "../guitest.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QtEndian>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

// Every text a language change re-applies: title, buttons with shortcuts, labels, header.
QStringList texts(const MainForm &window)
{
    QStringList all{window.windowTitle()};
    for (const char *name : {"pbOpenFile", "cbKeepFiles", "pbAbout", "pbExit", "pbCancel"}) {
        auto *button = child<QAbstractButton>(window, name);
        all << button->text() << button->shortcut().toString();
    }
    all << child<QLabel>(window, "lHelp")->text() << child<QLabel>(window, "lInfo")->text();
    QTreeWidgetItem *header = child<QTreeWidget>(window, "tvResult")->headerItem();
    for (int column = 0; column < header->columnCount(); ++column)
        all << header->text(column);
    return all;
}

const QStringList english =
    QStringLiteral("Lexpack - Lexpacker|Open...|Ctrl+O|Keep original file(s)||About...|F1|Exit|Ctrl+Q|Cancel||"
                   "Use Open button or drag and drop files you want to (de)compress over the window|"
                   "Ready|File|Status|Old size|New size|%")
        .split('|');

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
        QCOMPARE(texts(window), english);
        child<QLabel>(window, "lInfo")->setText(QStringLiteral("Task finished"));
        QLocale::setDefault(QLocale(locale));
        auto catalogues = std::make_unique<QObject>();
        installTranslations(QStringLiteral(LEXPACK_TRANSLATIONS), catalogues.get());
        QCoreApplication::processEvents(); // the language change is posted
        QStringList shown = texts(window);
        QCOMPARE(shown.at(13), QStringLiteral("File"));
        shown = QStringList{shown.at(0), shown.at(1), shown.at(12), shown.at(14)};
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
        QCOMPARE(texts(window).mid(0, 12), english.mid(0, 12));
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

    // windres's build of lexpack.rc: a group IDI_ICON1, each image of lexpack.ico, and the
    // version record with the version given in both its forms.
    void windowsIcon()
    {
#ifndef WINDRES
        QSKIP("x86_64-w64-mingw32-windres not found");
#else
        QTemporaryDir dir;
        QCOMPARE(QProcess::execute(WINDRES,
                                   {"-DLEXPACK_VERSION_DOTTED=9.8.7", "-DLEXPACK_VERSION_RC=9,8,7,0", "-I", RC_INCLUDE,
                                    "-O", "res", "-i", RC_FILE, "-o", dir.filePath("r.res")}),
                 0);
        QFile resFile(dir.filePath("r.res")), icoFile(ICO_FILE);
        QVERIFY(resFile.open(QIODevice::ReadOnly) && icoFile.open(QIODevice::ReadOnly));
        const QByteArray res = resFile.readAll(), ico = icoFile.readAll();
        const auto le32 = [&](qsizetype at) { return qsizetype(qFromLittleEndian<quint32>(ico.constData() + at)); };
        QVERIFY(res.contains(QByteArray(reinterpret_cast<const char *>(u"IDI_ICON1"), 18))); // the group's name
        QVERIFY(res.contains(QByteArray::fromHex("bd04effe000001000800090000000700")) // signature, 1.0, 9.8.7.0
                && res.contains(QByteArray(reinterpret_cast<const char *>(u"9.8.7"), 10)));
        QCOMPARE(qFromLittleEndian<quint16>(ico.constData() + 4), 4);
        for (int i = 0; i < 4; ++i)
            QVERIFY(res.contains(ico.mid(le32(6 + 16 * i + 12), le32(6 + 16 * i + 8))));
#endif
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
