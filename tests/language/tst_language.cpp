// The window and Qt's Open dialog in the locale's language, with the installed catalogues.

#include "language.h"
#include "mainform.h"

#include "../guitest.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void windowFollowsLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("texts"); // title, Open, Ready, then the Open dialog's buttons
        QTest::newRow("German") << "de_DE"
                                << QStringList{"Lexpack - Wörterbuchpacker", "Öffnen...", "Bereit", "&Öffnen",
                                               "Abbrechen"};
        QTest::newRow("Russian") << "ru_RU"
                                 << QStringList{"Lexpack - упаковщик словарей", "Открыть...", "Готово", "&Открыть",
                                                "Отмена"};
        // No catalogue of ours: the window stays English while Qt's dialog speaks French.
        QTest::newRow("French") << "fr_FR"
                                << QStringList{"Lexpack - Lexpacker", "Open...", "Ready", "&Ouvrir", "Annuler"};
    }
    void windowFollowsLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QStringList, texts);
        QLocale::setDefault(QLocale(locale));
        QObject catalogues;
        installTranslations(QStringLiteral(LEXPACK_TRANSLATIONS), &catalogues);
        MainForm window;
        QStringList shown{window.windowTitle(), child<QPushButton>(window, "pbOpenFile")->text(),
                          child<QLabel>(window, "lInfo")->text()};
        During answer([] { return QApplication::activeModalWidget() != nullptr; },
                      [&] {
                          QWidget *dialog = QApplication::activeModalWidget();
                          for (QAbstractButton *button : child<QDialogButtonBox>(*dialog, "buttonBox")->buttons())
                              shown << button->text();
                          dialog->close();
                      });
        child<QPushButton>(window, "pbOpenFile")->click();
        QCOMPARE(shown, texts);
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
