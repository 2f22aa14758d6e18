#include "mainform.h"

#include "dictzip.h"

#include <QMessageBox>
#include <QPixmap>

namespace {

// Shown beside the product name; the platform is fixed at build time.
#if defined(Q_OS_WIN)
const char editionText[] = "MS Windows edition";
#elif defined(Q_OS_MACOS)
const char editionText[] = "macOS edition";
#elif defined(Q_OS_LINUX)
const char editionText[] = "Linux edition";
#elif defined(Q_OS_FREEBSD)
const char editionText[] = "FreeBSD edition";
#else
const char editionText[] = "Unix edition";
#endif

const char applicationVersion[] = LEXPACK_VERSION;

} // namespace

void MainForm::on_pbAbout_clicked()
{
    const QString edition = QString::fromLatin1(editionText);

    // Not exec(): a batch pumps events from inside this handler's caller, and a nested
    // event loop here would hold the batch until the box is closed. Window-modal, like a
    // dialog of this window, and gone once closed.
    auto *box = new QMessageBox(this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIconPixmap(QPixmap(QStringLiteral(":/images/logo.png")));
    box->setWindowTitle(tr("About Lexpack"));

    // One arg() per value, in placeholder order: the tool's version text goes in last,
    // so a percent sequence in it is shown as it is rather than taken for a placeholder.
    // It is the tool's word, shown as text: markup in it is not read as markup.
    const QString body = tr("<b>Lexpacker</b><br>%2<br>version %1<br><br>"
                            "Made by <a href=\"https://lexpack.org/\">the Lexpack developers</a>"
                            "<hr>Qt %3 "
                            "by <a href=\"https://www.qt.io\">The Qt Company</a>"
                            "<br><br>%4")
                             .arg(QLatin1String(applicationVersion), 0, QLatin1Char(' '))
                             .arg(edition, 0, QLatin1Char(' '))
                             .arg(QLatin1String(QT_VERSION_STR), 0, QLatin1Char(' '))
                             .arg(runner->version().toHtmlEscaped(), 0, QLatin1Char(' '));
    box->setInformativeText(body);
    box->open();
}
