#include "mainform.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

// Open dialog and drag and drop: both hand a list of paths to processFiles() as they
// come, without checking, sorting or removing duplicates; the batch judges each path.

namespace {

// Qt's own dialog selects in its list every typed name that the filter in force shows,
// and once anything is selected it returns the selection alone: typed names that the
// filter hides were lost. Its file name line always holds the chosen names (picking
// in the list writes them there), so the dialog is made to answer from that line. A
// native dialog has neither widget and answers as it does.
class OpenDialog : public QFileDialog
{
public:
    using QFileDialog::QFileDialog;

protected:
    void accept() override
    {
        const auto *typed = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        const auto *list = findChild<QAbstractItemView *>(QStringLiteral("listView"));
        if (typed && list && !typed->text().isEmpty())
            list->selectionModel()->clearSelection();
        QFileDialog::accept();
    }
};

} // namespace

void MainForm::on_pbOpenFile_clicked()
{
    // The batch pumps events, so this click can arrive inside a running batch; a second
    // batch started there would clear the rows the first one still writes. Refused, as
    // drags are, until a cancelled batch has stopped its tool run; the button stays enabled.
    if (refusesFiles())
        return refuseFiles();

    // What QFileDialog::getOpenFileNames() does, with the dialog above.
    OpenDialog dialog(this, QStringLiteral("Choose files to process"), QStringLiteral("."),
                      QStringLiteral("DSL dictionaries - compress (*.dsl);;"
                                     "DictZip dictionaries - uncompress (*.dz);;"
                                     "All files (*.*)"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    // In Qt's own dialog (where the system has none) "*.*" asks for a dot; "All files" are
    // all files. The dialog sets its list's filter on a change of type, and this comes after it.
    if (auto *types = dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"))) {
        connect(
            types, &QComboBox::currentIndexChanged, &dialog,
            [&dialog, types] {
                auto *list = dialog.findChild<QFileSystemModel *>();
                if (list && types->currentIndex() == types->count() - 1)
                    list->setNameFilters({QStringLiteral("*")});
            },
            Qt::QueuedConnection);
    }
    processFiles(dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList());
}

void MainForm::dragEnterEvent(QDragEnterEvent *event)
{
    // Left unaccepted while a batch runs: no drop cursor over a window that is working.
    if (refusesFiles())
        return refuseFiles();
    event->acceptProposedAction();
}

void MainForm::dropEvent(QDropEvent *event)
{
    // A drop can still arrive during a batch (its drag entered before the batch began).
    if (refusesFiles())
        return refuseFiles();

    QStringList paths;
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl &url : urls) {
        QString path = url.toLocalFile(); // empty for a non-local URL; the batch reports it
#ifndef Q_OS_WIN
        // The name's own bytes, decoded as every other name is: one that is not valid
        // UTF-8 is then told apart by the batch, whatever the URL's own decoding made of it.
        if (!path.isEmpty() && url.host().isEmpty())
            path = QFile::decodeName(
                QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
#endif
        paths << path;
    }
    processFiles(paths);
}
