// The main window as built: widgets, texts, shortcuts, column sizing, tab order,
// Exit, and the switch to another language.

#include "dictzip.h"
#include "mainform.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QTreeWidget>

namespace {

template <typename T>
T *child(const MainForm &window, const char *name)
{
    T *widget = window.findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no %s named %s", T::staticMetaObject.className(), name);
    return widget;
}

QImage pixels(const QIcon &icon, QSize size)
{
    return icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
}

QStringList headerTexts(const MainForm &window)
{
    QTreeWidgetItem *header = child<QTreeWidget>(window, "tvResult")->headerItem();
    QStringList texts;
    for (int column = 0; column < header->columnCount(); ++column)
        texts << header->text(column);
    return texts;
}

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT

private slots:
    void window();
    void layout();
    void buttons_data();
    void buttons();
    void labels();
    void resultList();
    void tabOrder();
    void exitAccepts_data();
    void exitAccepts();
    void exitEndsEventLoop();
    void retranslation();
};

void TestMainForm::window()
{
    MainForm window;
    QCOMPARE(window.objectName(), QStringLiteral("MainForm"));
    QCOMPARE(window.size(), QSize(539, 323));
    QVERIFY(window.acceptDrops());
    QVERIFY(window.isSizeGripEnabled());
    QVERIFY(!window.hasMouseTracking());
    QCOMPARE(window.windowTitle(), QStringLiteral("Lexpack - Lexpacker"));
    QVERIFY(!window.isBusy());
    QVERIFY(window.toolRunner());
    QCOMPARE(window.toolRunner()->parent(), &window);
#ifndef Q_OS_WIN
    QCOMPARE(pixels(window.windowIcon(), QSize(120, 96)), QImage(":/images/logo.png").convertToFormat(QImage::Format_ARGB32));
#endif
    QVERIFY(child<QCheckBox>(window, "cbKeepFiles")->isChecked());

    window.show();
    QVERIFY(child<QProgressBar>(window, "progressBar")->isHidden());
    QVERIFY(child<QPushButton>(window, "pbCancel")->isHidden());
    QVERIFY(child<QLabel>(window, "lInfo")->isVisible());
}

void TestMainForm::layout()
{
    MainForm window;
    auto *vertical = qobject_cast<QVBoxLayout *>(window.layout());
    QVERIFY(vertical);
    QCOMPARE(vertical->objectName(), QStringLiteral("verticalLayout"));
    QCOMPARE(vertical->spacing(), 6);
    QCOMPARE(vertical->contentsMargins(), QMargins(11, 11, 11, 11));

    // Layout, then the object names of its items in order ("" for the gap).
    const QList<QPair<QString, QStringList>> rows = {
        {"verticalLayout", {"horizontalLayout", "lHelp", "tvResult", "horizontalLayout_2"}},
        {"horizontalLayout", {"pbOpenFile", "cbKeepFiles", "", "pbAbout", "pbExit"}},
        {"horizontalLayout_2", {"lInfo", "progressBar", "pbCancel"}},
    };
    for (const auto &[name, expected] : rows) {
        QBoxLayout *box = name == "verticalLayout" ? vertical : window.findChild<QBoxLayout *>(name);
        QVERIFY2(box, qPrintable(name));
        QStringList items;
        for (int i = 0; i < box->count(); ++i) {
            QLayoutItem *item = box->itemAt(i);
            QObject *object = item->widget() ? static_cast<QObject *>(item->widget()) : item->layout();
            items << (object ? object->objectName() : QString());
            QCOMPARE(box->stretch(i), 0);
            QCOMPARE(item->alignment(), Qt::Alignment());
        }
        QCOMPARE(items, expected);
        QCOMPARE(box->spacing(), 6);
        if (box != vertical)
            QCOMPARE(box->contentsMargins(), QMargins());
    }

    QSpacerItem *gap = window.findChild<QBoxLayout *>("horizontalLayout")->itemAt(2)->spacerItem();
    QVERIFY(gap);
    QCOMPARE(gap->sizeHint(), QSize(178, 20));
    QCOMPARE(gap->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(gap->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
}

void TestMainForm::buttons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::addColumn<QString>("icon");

    QTest::newRow("open") << "pbOpenFile" << "Open..." << QKeySequence("Ctrl+O") << ":/images/file-open.png";
    QTest::newRow("about") << "pbAbout" << "About..." << QKeySequence(Qt::Key_F1) << ":/images/info.png";
    QTest::newRow("exit") << "pbExit" << "Exit" << QKeySequence("Ctrl+Q") << ":/images/remove.png";
    QTest::newRow("cancel") << "pbCancel" << "Cancel" << QKeySequence() << QString();
}

void TestMainForm::buttons()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QKeySequence, shortcut);
    QFETCH(QString, icon);

    MainForm window;
    auto *button = child<QPushButton>(window, qPrintable(name));
    QCOMPARE(button->text(), text);
    QCOMPARE(button->shortcut(), shortcut);
    if (icon.isEmpty()) {
        QVERIFY(button->icon().isNull());
    } else {
        QCOMPARE(button->icon().availableSizes(), QList<QSize>{QSize(32, 32)});
        QCOMPARE(pixels(button->icon(), QSize(32, 32)), QImage(icon).convertToFormat(QImage::Format_ARGB32));
    }
    if (name == "pbCancel") {
        QCOMPARE(button->sizePolicy().horizontalPolicy(), QSizePolicy::Maximum);
        QCOMPARE(button->sizePolicy().verticalPolicy(), QSizePolicy::Maximum);
    }
}

void TestMainForm::labels()
{
    MainForm window;
    QCOMPARE(child<QCheckBox>(window, "cbKeepFiles")->text(), QStringLiteral("Keep original file(s)"));

    auto *help = child<QLabel>(window, "lHelp");
    QCOMPARE(help->text(), QStringLiteral("Use Open button or drag and drop files you want to (de)compress over the window"));
    QVERIFY(help->font().italic());
    QVERIFY(!help->font().underline());
    QCOMPARE(help->font().weight(), QFont::Normal);

    auto *info = child<QLabel>(window, "lInfo");
    QCOMPARE(info->text(), QStringLiteral("Ready"));
    QCOMPARE(info->font().weight(), QFont::Normal);
    QCOMPARE(info->textInteractionFlags(), Qt::NoTextInteraction);
    // Ignored: a long message is cut at the label's edge instead of widening the window.
    QCOMPARE(info->sizePolicy().horizontalPolicy(), QSizePolicy::Ignored);
    QCOMPARE(info->sizePolicy().verticalPolicy(), QSizePolicy::Maximum);

    auto *progress = child<QProgressBar>(window, "progressBar");
    QCOMPARE(progress->minimumSize(), QSize(150, 0));
    QCOMPARE(progress->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    QCOMPARE(progress->sizePolicy().horizontalPolicy(), QSizePolicy::Maximum);
    QCOMPARE(progress->sizePolicy().verticalPolicy(), QSizePolicy::Maximum);
    QCOMPARE(progress->value(), 24);
}

void TestMainForm::resultList()
{
    MainForm window;
    auto *list = child<QTreeWidget>(window, "tvResult");
    QCOMPARE(headerTexts(window), (QStringList{"File", "Status", "Old size", "New size", "%"}));
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(list->textElideMode(), Qt::ElideLeft);
    QVERIFY(!list->rootIsDecorated());
    QVERIFY(!list->itemsExpandable());
    QVERIFY(list->allColumnsShowFocus());
    QVERIFY(!list->expandsOnDoubleClick());

    QHeaderView *header = list->header();
    QVERIFY(header->highlightSections());
    QVERIFY(!header->stretchLastSection());
    QCOMPARE(header->sectionResizeMode(0), QHeaderView::Stretch);
    for (int column = 1; column < 5; ++column)
        QCOMPARE(header->sectionResizeMode(column), QHeaderView::ResizeToContents);
}

void TestMainForm::tabOrder()
{
    MainForm window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    child<QPushButton>(window, "pbOpenFile")->setFocus();
    QStringList order{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, (QStringList{"pbOpenFile", "cbKeepFiles", "pbAbout", "pbExit", "tvResult", "pbOpenFile"}));
}

void TestMainForm::exitAccepts_data()
{
    QTest::addColumn<bool>("byShortcut");
    QTest::newRow("button") << false;
    QTest::newRow("Ctrl+Q") << true;
}

void TestMainForm::exitAccepts()
{
    QFETCH(bool, byShortcut);
    MainForm window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    if (byShortcut)
        QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    else
        child<QPushButton>(window, "pbExit")->click();
    // A shortcut clicks its button animated, after a short timer.
    QTRY_COMPARE(window.result(), int(QDialog::Accepted));
    QVERIFY(window.isHidden());
}

void TestMainForm::exitEndsEventLoop()
{
    // What main() relies on: Exit closes the only window, and the loop returns 0.
    MainForm window;
    window.show();
    QTimer::singleShot(0, child<QPushButton>(window, "pbExit"), &QPushButton::click);
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
    guard.start(20000);
    QCOMPARE(QApplication::exec(), 0);
}

void TestMainForm::retranslation()
{
    MainForm window;
    child<QLabel>(window, "lInfo")->setText(QStringLiteral("Task finished"));

    QTranslator german;
    QVERIFY(german.load(QStringLiteral(":/tst_mainform_de.qm")));
    QVERIFY(QCoreApplication::installTranslator(&german));
    QEvent change(QEvent::LanguageChange);
    QCoreApplication::sendEvent(&window, &change);

    QCOMPARE(window.windowTitle(), QStringLiteral("Lexpack - Wörterbuchpacker"));
    QCOMPARE(child<QPushButton>(window, "pbOpenFile")->text(), QStringLiteral("Öffnen..."));
    QCOMPARE(child<QPushButton>(window, "pbOpenFile")->shortcut(), QKeySequence("Alt+F"));
    QCOMPARE(child<QCheckBox>(window, "cbKeepFiles")->text(), QStringLiteral("Originaldatei(en) behalten"));
    QCOMPARE(child<QPushButton>(window, "pbAbout")->text(), QStringLiteral("Über..."));
    QCOMPARE(child<QPushButton>(window, "pbAbout")->shortcut(), QKeySequence(Qt::Key_F2));
    QCOMPARE(child<QPushButton>(window, "pbExit")->text(), QStringLiteral("Beenden"));
    QCOMPARE(child<QPushButton>(window, "pbExit")->shortcut(), QKeySequence("Ctrl+B"));
    QCOMPARE(child<QLabel>(window, "lHelp")->text(), QStringLiteral("Dateien öffnen oder auf das Fenster ziehen"));
    // The catalogue translates "File" too: the first column must ignore it.
    QCOMPARE(headerTexts(window), (QStringList{"File", "Zustand", "Alte Größe", "Neue Größe", "v. H."}));
    QCOMPARE(child<QLabel>(window, "lInfo")->text(), QStringLiteral("Bereit"));
    QCOMPARE(child<QPushButton>(window, "pbCancel")->text(), QStringLiteral("Abbrechen"));

    QVERIFY(QCoreApplication::removeTranslator(&german));
    QCoreApplication::sendEvent(&window, &change);
    QCOMPARE(window.windowTitle(), QStringLiteral("Lexpack - Lexpacker"));
    QCOMPARE(headerTexts(window), (QStringList{"File", "Status", "Old size", "New size", "%"}));
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
