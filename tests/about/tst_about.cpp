// The About box: what it shows, under a translation, and what it does to a running batch.

#include "mainform.h"

#include "../intake/modalanswer.h"

#include <QAbstractButton>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>
#include <QTreeWidget>
#include <QtTest>

namespace {

#if defined(Q_OS_WIN)
const QString edition = QStringLiteral("MS Windows edition");
#elif defined(Q_OS_LINUX)
const QString edition = QStringLiteral("Linux edition");
#else
const QString edition;
#endif

struct AboutSeen
{
    QString title;
    QString text;
    QString body;
    QImage icon;
    QWidget *parent = nullptr;
    int buttons = -1;
};

// Clicks About on `form` and reads the box that opens; `whileOpen` runs before it closes.
AboutSeen openAbout(MainForm &form, const std::function<void()> &whileOpen = {})
{
    AboutSeen seen;
    ModalAnswer answer([&](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        if (box) {
            seen = {box->windowTitle(), box->text(), box->informativeText(),
                    box->iconPixmap().toImage(), box->parentWidget(), int(box->buttons().size())};
        }
        if (whileOpen)
            whileOpen();
        if (box && box->button(QMessageBox::Ok))
            box->button(QMessageBox::Ok)->click();
        else
            dialog->close();
    });
    form.findChild<QPushButton *>(QStringLiteral("pbAbout"))->click();
    if (!answer.answered())
        qWarning("no modal dialog opened");
    return seen;
}

// Answers only in the window's context, as a catalogue made with the window's sources would.
class ReversingCatalogue : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        if (qstrcmp(context, "MainForm") != 0)
            return {};
        if (qstrcmp(source, "About Lexpack") == 0)
            return QStringLiteral("Über Lexpack");
        if (QByteArray(source).startsWith("<b>Lexpacker</b>"))
            return QStringLiteral("<i>%4|%3|%2|%1</i>");
        return {};
    }
};

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void contents_data();
    void contents();
    void translated();
    void holdsRunningBatch();
};

void TestAbout::contents_data()
{
    QTest::addColumn<QByteArray>("printed"); // as the fake compressor is told to print it
    QTest::addColumn<QString>("version");

    QTest::newRow("plain") << QByteArray("dictzip 1.13\\n") << QStringLiteral("dictzip 1.13\n");
    QTest::newRow("markup, percent, line break")
        << QByteArray("<i>dz</i> 2.0 %1 100%\\nsecond line")
        << QStringLiteral("<i>dz</i> 2.0 %1 100%\nsecond line");
    QTest::newRow("nothing printed") << QByteArray("") << QString();
}

void TestAbout::contents()
{
    QFETCH(QByteArray, printed);
    QFETCH(QString, version);

    qputenv("FAKEDICTZIP_VERSION", printed);
    MainForm form;
    const AboutSeen seen = openAbout(form);

    QCOMPARE(seen.title, QStringLiteral("About Lexpack"));
    QCOMPARE(seen.parent, &form);
    QCOMPARE(seen.buttons, 1);
    QVERIFY(seen.text.isEmpty());

    const QImage logo(QStringLiteral(":/images/logo.png"));
    QVERIFY(!logo.isNull());
    QCOMPARE(seen.icon.convertToFormat(QImage::Format_ARGB32_Premultiplied),
             logo.convertToFormat(QImage::Format_ARGB32_Premultiplied));

    // Version text last and as printed: no escaping, no placeholder taken from it.
    QVERIFY2(seen.body.startsWith("<b>Lexpacker</b><br>" + edition + "<br>version 0.1.0<br><br>"),
             qPrintable(seen.body));
    QVERIFY(seen.body.contains(QStringLiteral("<hr>Qt " QT_VERSION_STR " ")));
    QVERIFY(seen.body.endsWith("<br><br>" + version));
    QCOMPARE(seen.body.count(QStringLiteral("<a href=")), 2);
    QVERIFY(seen.body.contains(QStringLiteral("https://www.qt.io")));
}

void TestAbout::translated()
{
    qputenv("FAKEDICTZIP_VERSION", "dz %1\\n");
    MainForm form;
    ReversingCatalogue catalogue;
    QCoreApplication::installTranslator(&catalogue);
    const AboutSeen seen = openAbout(form);
    QCoreApplication::removeTranslator(&catalogue);

    // Each value lands in its own placeholder whatever order the translation puts them in.
    QCOMPARE(seen.title, QStringLiteral("Über Lexpack"));
    QCOMPARE(seen.body, "<i>dz %1\n|" QT_VERSION_STR "|" + edition + "|0.1.0</i>");
}

void TestAbout::holdsRunningBatch()
{
    qputenv("FAKEDICTZIP_VERSION", "dz\\n");
    QTemporaryDir dir;
    const QString slow = dir.filePath(QStringLiteral("slow.dsl"));
    const QString next = dir.filePath(QStringLiteral("next.dsl"));
    for (const QString &path : {slow, next}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1000, 'x'));
    }
    {
        // Long enough that the box opens while the run is still going.
        QFile sidecar(slow + ".fake");
        QVERIFY(sidecar.open(QIODevice::WriteOnly));
        sidecar.write("sleep_ms=1500\nsteps=3\n");
    }

    MainForm form;
    auto *list = form.findChild<QTreeWidget *>(QStringLiteral("tvResult"));
    int rowsWhileOpen = -1;
    QString statusWhileOpen;
    qint64 outputWhileOpen = -1;

    // Opens the box from the batch's first poll, once the first run has started.
    QTimer opener;
    QObject::connect(&opener, &QTimer::timeout, [&] {
        if (!QFile::exists(slow + ".dz"))
            return;
        opener.stop();
        openAbout(form, [&] {
            // The run goes on while the box is open and ends; the batch does not move on.
            QDeadlineTimer deadline(20000);
            while (QFileInfo(slow + ".dz").size() < 1000 && !deadline.hasExpired())
                QThread::msleep(50);
            QThread::msleep(1000);
            outputWhileOpen = QFileInfo(slow + ".dz").size();
            rowsWhileOpen = list->topLevelItemCount();
            statusWhileOpen = list->topLevelItem(0)->text(1);
        });
    });
    opener.start(20);

    form.processFiles({slow, next});

    QCOMPARE(outputWhileOpen, qint64(1000));
    QCOMPARE(rowsWhileOpen, 1);
    QCOMPARE(statusWhileOpen, QStringLiteral("compressing..."));
    // Closing the box let the batch carry on where it was.
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("done"));
    QCOMPARE(list->topLevelItem(1)->text(1), QStringLiteral("done"));
    QVERIFY(!form.isBusy());
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
