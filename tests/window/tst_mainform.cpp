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

// Every text that a language change re-applies, in the order the form applies them,
// with the header's column 0 first.
QStringList texts(const MainForm &window)
{
    const auto button = [&](const char *name) { return child<QPushButton>(window, name); };
    QStringList all{window.windowTitle(), button("pbOpenFile")->text(), button("pbOpenFile")->shortcut().toString(),
                    child<QCheckBox>(window, "cbKeepFiles")->text(), button("pbAbout")->text(),
                    button("pbAbout")->shortcut().toString(), button("pbExit")->text(),
                    button("pbExit")->shortcut().toString(), child<QLabel>(window, "lHelp")->text()};
    QTreeWidgetItem *header = child<QTreeWidget>(window, "tvResult")->headerItem();
    for (int column = 0; column < header->columnCount(); ++column)
        all << header->text(column);
    return all << child<QLabel>(window, "lInfo")->text() << button("pbCancel")->text();
}

const QStringList english{"Lexpack - Lexpacker", "Open...", "Ctrl+O", "Keep original file(s)", "About...", "F1",
                          "Exit", "Ctrl+Q", "Use Open button or drag and drop files you want to (de)compress over the window",
                          "File", "Status", "Old size", "New size", "%", "Ready", "Cancel"};

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT

private slots:
    void construction();
    void layout();
    void tabOrder();
    void exitAccepts_data();
    void exitAccepts();
    void retranslation();
};

void TestMainForm::construction()
{
    MainForm window;
    QCOMPARE(window.size(), QSize(539, 323));
    QVERIFY(window.acceptDrops());
    QVERIFY(window.isSizeGripEnabled());
    QVERIFY(!window.hasMouseTracking());
    QCOMPARE(texts(window), english);
    QVERIFY(!window.isBusy());
    QCOMPARE(window.toolRunner()->parent(), &window);
#ifndef Q_OS_WIN
    QCOMPARE(pixels(window.windowIcon(), QSize(120, 96)), QImage(":/images/logo.png").convertToFormat(QImage::Format_ARGB32));
#endif
    QVERIFY(child<QCheckBox>(window, "cbKeepFiles")->isChecked());
    for (const auto &[name, icon] : {std::pair{"pbOpenFile", ":/images/file-open.png"},
                                     {"pbAbout", ":/images/info.png"}, {"pbExit", ":/images/remove.png"}}) {
        const QIcon shown = child<QPushButton>(window, name)->icon();
        QCOMPARE(shown.availableSizes(), QList<QSize>{QSize(32, 32)});
        QCOMPARE(pixels(shown, QSize(32, 32)), QImage(icon).convertToFormat(QImage::Format_ARGB32));
    }
    QVERIFY(child<QPushButton>(window, "pbCancel")->icon().isNull());
    QCOMPARE(child<QPushButton>(window, "pbCancel")->sizePolicy(), QSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum));

    auto *help = child<QLabel>(window, "lHelp");
    QVERIFY(help->font().italic() && !help->font().underline() && help->font().weight() == QFont::Normal);

    auto *info = child<QLabel>(window, "lInfo");
    QCOMPARE(info->font().weight(), QFont::Normal);
    QCOMPARE(info->textInteractionFlags(), Qt::NoTextInteraction);
    // Ignored: a long message is cut at the label's edge instead of widening the window.
    QCOMPARE(info->sizePolicy(), QSizePolicy(QSizePolicy::Ignored, QSizePolicy::Maximum));

    auto *progress = child<QProgressBar>(window, "progressBar");
    QCOMPARE(progress->minimumSize(), QSize(150, 0));
    QCOMPARE(progress->sizePolicy(), QSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum));
    QCOMPARE(progress->value(), 24);

    auto *list = child<QTreeWidget>(window, "tvResult");
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(list->textElideMode(), Qt::ElideLeft);
    QVERIFY(!list->rootIsDecorated() && !list->itemsExpandable() && !list->expandsOnDoubleClick());
    QVERIFY(list->allColumnsShowFocus());
    QVERIFY(list->header()->highlightSections());
    QVERIFY(!list->header()->stretchLastSection());
    QCOMPARE(list->header()->sectionResizeMode(0), QHeaderView::Stretch);
    for (int column = 1; column < 5; ++column)
        QCOMPARE(list->header()->sectionResizeMode(column), QHeaderView::ResizeToContents);

    window.show();
    QVERIFY(progress->isHidden());
    QVERIFY(child<QPushButton>(window, "pbCancel")->isHidden());
}

void TestMainForm::layout()
{
    MainForm window;
    QBoxLayout *vertical = qobject_cast<QVBoxLayout *>(window.layout());
    QVERIFY(vertical);
    QCOMPARE(vertical->contentsMargins(), QMargins(11, 11, 11, 11));

    // Each layout's items by object name ("" for the gap), all at stretch 0 and spacing 6.
    const auto items = [](QBoxLayout *box) {
        QStringList names;
        for (int i = 0; i < box->count(); ++i) {
            QLayoutItem *item = box->itemAt(i);
            QObject *object = item->widget() ? static_cast<QObject *>(item->widget()) : item->layout();
            names << (object ? object->objectName() : QString()) + (box->stretch(i) ? "+stretch" : "");
        }
        return names + QStringList{QString::number(box->spacing())};
    };
    auto *top = window.findChild<QHBoxLayout *>("horizontalLayout");
    auto *bottom = window.findChild<QHBoxLayout *>("horizontalLayout_2");
    QCOMPARE(items(vertical), (QStringList{"horizontalLayout", "lHelp", "tvResult", "horizontalLayout_2", "6"}));
    QCOMPARE(items(top), (QStringList{"pbOpenFile", "cbKeepFiles", "", "pbAbout", "pbExit", "6"}));
    QCOMPARE(items(bottom), (QStringList{"lInfo", "progressBar", "pbCancel", "6"}));
    QCOMPARE(top->contentsMargins(), QMargins());

    QSpacerItem *gap = top->itemAt(2)->spacerItem();
    QCOMPARE(gap->sizeHint(), QSize(178, 20));
    QCOMPARE(gap->sizePolicy(), QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum));
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
    // What main() relies on: Exit accepts and hides the only window, so the loop ends with 0.
    QFETCH(bool, byShortcut);
    MainForm window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTimer::singleShot(0, &window, [&] {
        if (byShortcut)
            QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
        else
            child<QPushButton>(window, "pbExit")->click();
    });
    QTimer guard;
    connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
    guard.start(20000);
    QCOMPARE(QApplication::exec(), 0);
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QVERIFY(window.isHidden());
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

    // The catalogue translates "File" too: the first column must ignore it.
    QCOMPARE(texts(window), (QStringList{"Lexpack - Wörterbuchpacker", "Öffnen...", "Alt+F", "Originaldatei(en) behalten",
                                         "Über...", "F2", "Beenden", "Ctrl+B", "Dateien öffnen oder auf das Fenster ziehen",
                                         "File", "Zustand", "Alte Größe", "Neue Größe", "v. H.", "Bereit", "Abbrechen"}));

    QVERIFY(QCoreApplication::removeTranslator(&german));
    QCoreApplication::sendEvent(&window, &change);
    QCOMPARE(texts(window), english);
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
