// The main window: the switch to another language, and what a drop hands to the batch.

#include "mainform.h"

#include "../guitest.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QTreeWidget>

namespace {

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

const QStringList english{"Lexpack - Lexpacker",
                          "Open...",
                          "Ctrl+O",
                          "Keep original file(s)",
                          "",
                          "About...",
                          "F1",
                          "Exit",
                          "Ctrl+Q",
                          "Cancel",
                          "",
                          "Use Open button or drag and drop files you want to (de)compress over the window",
                          "Ready",
                          "File",
                          "Status",
                          "Old size",
                          "New size",
                          "%"};

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT

private slots:
    void retranslation()
    {
        MainForm window;
        QCOMPARE(texts(window), english);
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

    // Each dropped URL gives one path, in order, repeats and non-local ones included.
    void drop()
    {
        QTemporaryDir dir;
        const QString a = writeInput(dir.filePath("a.dsl"), 10), b = writeInput(dir.filePath("b.dz"), 10);
        MainForm window;
        QVERIFY(dragAndDrop(window,
                            {QUrl::fromLocalFile(b), QUrl::fromLocalFile(a), QUrl::fromLocalFile(b),
                             QUrl("https://example.org/"), QUrl::fromLocalFile(dir.path())}));
        QStringList paths;
        for (int row = 0; row < 5; ++row)
            paths << child<QTreeWidget>(window, "tvResult")->topLevelItem(row)->text(0);
        QCOMPARE(paths, (QStringList{b, a, b, QString(), dir.path()}));
    }

    // Typed into Qt's own dialog with the DSL filter in force, all three names reach the
    // batch, though the filter shows only one of them.
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

    // The Windows icon as mingw's resource compiler builds it from lexpack.rc: one icon
    // group IDI_ICON1 whose images are, in order, the very bytes of those in lexpack.ico.
    void windowsIcon()
    {
#ifndef WINDRES
        QSKIP("x86_64-w64-mingw32-windres not found");
#else
        QTemporaryDir dir;
        QCOMPARE(
            QProcess::execute(WINDRES, {"-I", RC_INCLUDE, "-O", "res", "-i", RC_FILE, "-o", dir.filePath("r.res")}), 0);
        QFile resFile(dir.filePath("r.res")), icoFile(ICO_FILE);
        QVERIFY(resFile.open(QIODevice::ReadOnly) && icoFile.open(QIODevice::ReadOnly));
        const QByteArray res = resFile.readAll(), ico = icoFile.readAll();
        const auto le = [](const QByteArray &bytes, qsizetype at, int size) {
            quint32 value = 0;
            for (int i = size - 1; i >= 0; --i)
                value = value << 8 | quint8(at + i < bytes.size() ? bytes[at + i] : 0);
            return value;
        };
        // Each entry: data size, header size, then type and name (0xffff and a number, or UTF-16 text).
        QMap<QString, QByteArray> resources;
        for (qsizetype at = 0, headerSize; at + 8 <= res.size(); at += (headerSize + le(res, at, 4) + 3) & ~3u) {
            QVERIFY((headerSize = le(res, at + 4, 4)) >= 24);
            QStringList key;
            for (qsizetype p = at + 8; key.size() < 2; p += 2) {
                const bool number = le(res, p, 2) == 0xffff;
                QString text = number ? "#" + QString::number(le(res, p += 2, 2)) : QString();
                for (; !number && le(res, p, 2); p += 2)
                    text += QChar(char16_t(le(res, p, 2)));
                key << text;
            }
            resources[key.join('/')] = res.mid(at + headerSize, le(res, at, 4));
        }
        const QByteArray group = resources.value("#14/IDI_ICON1");
        QCOMPARE(QList<quint32>({quint32(group.size()), le(group, 4, 2), le(ico, 4, 2)}),
                 QList<quint32>({6 + 14 * 4, 4, 4}));
        for (int i = 0; i < 4; ++i)
            QCOMPARE(resources.value("#3/#" + QString::number(le(group, 6 + 14 * i + 12, 2))),
                     ico.mid(le(ico, 6 + 16 * i + 12, 4), le(ico, 6 + 16 * i + 8, 4)));
#endif
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
