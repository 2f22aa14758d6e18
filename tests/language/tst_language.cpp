// The window, and Qt's Open dialog inside it, in the language of the locale, with the
// catalogues the program installs.

#include "language.h"
#include "mainform.h"

#include "../guitest.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void windowFollowsLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("texts");  // title, Open, help line, Status, Ready
        QTest::addColumn<QStringList>("buttons"); // of the Open dialog
        QTest::newRow("German") << "de_DE"
                                << QStringList{"Lexpack - Wörterbuchpacker", "Öffnen...",
                                               "Dateien zum (De-)Komprimieren mit „Öffnen...“ wählen oder auf das "
                                               "Fenster ziehen",
                                               "Status", "Bereit"}
                                << QStringList{"&Öffnen", "Abbrechen"};
        QTest::newRow("Russian") << "ru_RU"
                                 << QStringList{"Lexpack - упаковщик словарей", "Открыть...",
                                                "Нажмите «Открыть...» или перетащите на окно файлы, которые нужно "
                                                "сжать или распаковать",
                                                "Состояние", "Готово"}
                                 << QStringList{"&Открыть", "Отмена"};
        QTest::newRow("no catalogue") << "fr_FR"
                                      << QStringList{"Lexpack - Lexpacker", "Open...",
                                                     "Use Open button or drag and drop files you want to (de)compress "
                                                     "over the window",
                                                     "Status", "Ready"}
                                      << QStringList{"&Ouvrir", "Annuler"};
    }
    void windowFollowsLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, buttons);
        QLocale::setDefault(QLocale(locale));
        QObject catalogues;
        installTranslations(QStringLiteral(LEXPACK_TRANSLATIONS), &catalogues);

        MainForm window;
        QCOMPARE((QStringList{window.windowTitle(), child<QPushButton>(window, "pbOpenFile")->text(),
                              child<QLabel>(window, "lHelp")->text(),
                              child<QTreeWidget>(window, "tvResult")->headerItem()->text(1),
                              child<QLabel>(window, "lInfo")->text()}),
                 texts);

        QStringList shown;
        ModalAnswer answer([&](QWidget *dialog) {
            for (QAbstractButton *button : child<QDialogButtonBox>(*dialog, "buttonBox")->buttons())
                shown << button->text();
            dialog->close();
        });
        child<QPushButton>(window, "pbOpenFile")->click();
        QCOMPARE(shown, buttons);
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
