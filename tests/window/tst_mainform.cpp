// The main window as built: widgets, texts, icons, tab order, Exit, and the switch to
// another language.

#include "mainform.h"

#include "../guitest.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTranslator>
#include <QTreeWidget>

namespace {

QImage argb(const QImage &image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

// Every text that a language change re-applies: title, each button's text and shortcut,
// the labels, then the header's columns.
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

// clang-format off
const QStringList english{"Lexpack - Lexpacker", "Open...", "Ctrl+O", "Keep original file(s)", "", "About...", "F1",
                          "Exit", "Ctrl+Q", "Cancel", "",
                          "Use Open button or drag and drop files you want to (de)compress over the window", "Ready",
                          "File", "Status", "Old size", "New size", "%"};
// clang-format on

void showActive(MainForm &window)
{
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT

private slots:
    void construction()
    {
        MainForm window;
        QCOMPARE(texts(window), english);
        QCOMPARE(window.size(), QSize(539, 323));
        QVERIFY(window.acceptDrops() && window.isSizeGripEnabled());
        QVERIFY(child<QCheckBox>(window, "cbKeepFiles")->isChecked());
        QVERIFY(child<QLabel>(window, "lHelp")->font().italic());
        // Ignored: a long message is cut at the label's edge instead of widening the window.
        QCOMPARE(child<QLabel>(window, "lInfo")->sizePolicy().horizontalPolicy(), QSizePolicy::Ignored);

        auto *list = child<QTreeWidget>(window, "tvResult");
        QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(list->textElideMode(), Qt::ElideLeft);
        QVERIFY(!list->rootIsDecorated() && list->allColumnsShowFocus() && !list->header()->stretchLastSection());
        for (int column = 0; column < 5; ++column)
            QCOMPARE(list->header()->sectionResizeMode(column),
                     column ? QHeaderView::ResizeToContents : QHeaderView::Stretch);

#ifndef Q_OS_WIN
        QCOMPARE(argb(window.windowIcon().pixmap(QSize(120, 96)).toImage()), argb(QImage(":/images/logo.png")));
#endif
        for (const auto &[name, icon] : {std::pair{"pbOpenFile", ":/images/file-open.png"},
                                         {"pbAbout", ":/images/info.png"},
                                         {"pbExit", ":/images/remove.png"}}) {
            const QIcon shown = child<QPushButton>(window, name)->icon();
            QCOMPARE(shown.availableSizes(), QList<QSize>{QSize(32, 32)});
            QCOMPARE(argb(shown.pixmap(QSize(32, 32)).toImage()), argb(QImage(icon)));
        }
        QVERIFY(child<QPushButton>(window, "pbCancel")->icon().isNull());

        window.show();
        QVERIFY(child(window, "progressBar")->isHidden() && child(window, "pbCancel")->isHidden());
    }

    void tabOrder()
    {
        MainForm window;
        showActive(window);
        child(window, "pbOpenFile")->setFocus();
        QStringList order{QApplication::focusWidget()->objectName()};
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(order, (QStringList{"pbOpenFile", "cbKeepFiles", "pbAbout", "pbExit", "tvResult", "pbOpenFile"}));
    }

    void exitAccepts_data()
    {
        QTest::addColumn<bool>("byShortcut");
        QTest::newRow("button") << false;
        QTest::newRow("Ctrl+Q") << true;
    }
    void exitAccepts()
    {
        // What main() relies on: Exit accepts and hides the only window, so the loop ends with 0.
        QFETCH(bool, byShortcut);
        MainForm window;
        showActive(window);
        QTimer::singleShot(0, &window, [&] {
            if (byShortcut)
                QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
            else
                child<QPushButton>(window, "pbExit")->click();
        });
        QTimer::singleShot(20000, &window, [] { QCoreApplication::exit(99); });
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(window.result(), int(QDialog::Accepted));
        QVERIFY(window.isHidden());
    }

    void retranslation()
    {
        MainForm window;
        child<QLabel>(window, "lInfo")->setText(QStringLiteral("Task finished"));
        QTranslator german; // tst_mainform_de.ts, compiled by lrelease at build time
        QVERIFY(german.load(QStringLiteral(":/tst_mainform_de.qm")));
        QVERIFY(QCoreApplication::installTranslator(&german));
        QEvent change(QEvent::LanguageChange);
        QCoreApplication::sendEvent(&window, &change);

        // The catalogue translates "File" too: the first column must ignore it.
        QCOMPARE(texts(window),
                 (QStringList{"Lexpack - Wörterbuchpacker", "Öffnen...", "Alt+F", "Originaldatei(en) behalten", "",
                              "Über...", "F2", "Beenden", "Ctrl+B", "Abbrechen", "",
                              "Dateien öffnen oder auf das Fenster ziehen", "Bereit", "File", "Zustand", "Alte Größe",
                              "Neue Größe", "v. H."}));

        QVERIFY(QCoreApplication::removeTranslator(&german));
        QCoreApplication::sendEvent(&window, &change);
        QCOMPARE(texts(window), english);
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
