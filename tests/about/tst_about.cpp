// The About box: what it shows, under a translation, and what it does to a running batch.

#include "mainform.h"

#include "../guitest.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <optional>

namespace {

#if defined(Q_OS_WIN)
const QString edition = QStringLiteral("MS Windows edition");
#elif defined(Q_OS_LINUX)
const QString edition = QStringLiteral("Linux edition");
#else
const QString edition;
#endif

// Clicks About on `form` and returns the box it opened; `whileOpen` runs before it closes.
QMessageBox *openAbout(MainForm &form, const std::function<void(QMessageBox *)> &whileOpen)
{
    QMessageBox *seen = nullptr;
    ModalAnswer answer([&](QWidget *dialog) {
        seen = qobject_cast<QMessageBox *>(dialog);
        if (seen)
            whileOpen(seen);
        if (seen && seen->button(QMessageBox::Ok))
            seen->button(QMessageBox::Ok)->click();
        else
            dialog->close();
    });
    child<QPushButton>(form, "pbAbout")->click();
    return seen;
}

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void contents_data()
    {
        QTest::addColumn<QByteArray>("printed"); // as the fake compressor is told to print it
        QTest::addColumn<bool>("translated");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("body");

        const QString body = "<b>Lexpacker</b><br>" + edition
            + "<br>version " LEXPACK_VERSION "<br><br>Made by "
              "<a href=\"https://lexpack.org/\">the Lexpack developers</a><hr>Qt " QT_VERSION_STR
              " by <a href=\"https://www.qt.io\">The Qt Company</a><br><br>";
        QTest::newRow("plain") << QByteArray("dictzip 1.13\\n") << false << "About Lexpack" << body + "dictzip 1.13\n";
        // The version text last and as printed: no escaping, no placeholder taken from it.
        QTest::newRow("markup, percent, line break") << QByteArray("<i>dz</i> 2.0 %1 100%\\nsecond line") << false
                                                     << "About Lexpack" << body + "<i>dz</i> 2.0 %1 100%\nsecond line";
        QTest::newRow("nothing printed") << QByteArray("") << false << "About Lexpack" << body;
        // Each value lands in its own placeholder whatever order the translation puts them in.
        QTest::newRow("translated") << QByteArray("dz %1\\n") << true << "Über Lexpack"
                                    << "<i>dz %1\n|" QT_VERSION_STR "|" + edition + "|0.1.0</i>";
    }
    void contents()
    {
        QFETCH(QByteArray, printed);
        QFETCH(bool, translated);
        QFETCH(QString, title);
        QFETCH(QString, body);

        qputenv("FAKEDICTZIP_VERSION", printed);
        MainForm form;
        std::optional<Catalogue> catalogue;
        if (translated) {
            catalogue.emplace([](const QString &source) {
                if (source == "About Lexpack")
                    return QStringLiteral("Über Lexpack");
                return source.startsWith("<b>Lexpacker</b>") ? QStringLiteral("<i>%4|%3|%2|%1</i>") : QString();
            });
        }
        QStringList seen;
        QImage icon;
        QVERIFY(openAbout(form, [&](QMessageBox *box) {
            seen << box->windowTitle() << box->informativeText() << box->text()
                 << QString::number(box->parentWidget() == &form) << QString::number(box->buttons().size());
            icon = box->iconPixmap().toImage();
        }));
        QCOMPARE(seen, (QStringList{title, body, "", "1", "1"}));
        const QImage logo(QStringLiteral(":/images/logo.png"));
        QVERIFY(!logo.isNull());
        QCOMPARE(icon.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 logo.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }

    void holdsRunningBatch()
    {
        qputenv("FAKEDICTZIP_VERSION", "dz\\n");
        QTemporaryDir dir;
        // Long enough that the box opens while the run is still going.
        const QString slow = writeInput(dir.filePath(QStringLiteral("slow.dsl")), 1000, "sleep_ms=1500\nsteps=3\n");
        const QString next = writeInput(dir.filePath(QStringLiteral("next.dsl")), 1000);

        MainForm form;
        auto *list = child<QTreeWidget>(form, "tvResult");
        QStringList whileOpen;
        // Opens the box from the batch's first poll, once the first run has started.
        QTimer opener;
        QObject::connect(&opener, &QTimer::timeout, [&] {
            if (!QFile::exists(slow + ".dz"))
                return;
            opener.stop();
            openAbout(form, [&](QMessageBox *) {
                // The run goes on while the box is open and ends; the batch does not move on.
                QDeadlineTimer deadline(20000);
                while (QFileInfo(slow + ".dz").size() < 1000 && !deadline.hasExpired())
                    QThread::msleep(50);
                QThread::msleep(1000);
                whileOpen << QString::number(QFileInfo(slow + ".dz").size())
                          << QString::number(list->topLevelItemCount()) << list->topLevelItem(0)->text(1);
            });
        });
        opener.start(20);
        form.processFiles({slow, next});

        QCOMPARE(whileOpen, (QStringList{"1000", "1", "compressing..."}));
        // Closing the box let the batch carry on where it was.
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("done"));
        QCOMPARE(list->topLevelItem(1)->text(1), QStringLiteral("done"));
        QVERIFY(!form.isBusy());
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
