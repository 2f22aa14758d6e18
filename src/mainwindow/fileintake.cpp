#include "mainform.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QUrl>

// Open dialog and drag and drop: both hand a list of paths to processFiles() as they
// come, without checking, sorting or removing duplicates; the batch judges each path.

void MainForm::on_pbOpenFile_clicked()
{
    // The batch pumps events, so this click can arrive inside a running batch; a second
    // batch started there would clear the rows the first one still writes. Refused, as
    // drags are, until a cancelled batch has stopped its tool run; the button stays enabled.
    if (refusesFiles())
        return;

    const QStringList files = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Choose files to process"), QStringLiteral("."),
        QStringLiteral("DSL dictionaries - compress (*.dsl);;"
                       "DictZip dictionaries - uncompress (*.dz);;"
                       "All files (*.*)"));
    processFiles(files);
}

void MainForm::dragEnterEvent(QDragEnterEvent *event)
{
    // Left unaccepted while a batch runs: no drop cursor over a window that is working.
    if (refusesFiles())
        return;
    event->acceptProposedAction();
}

void MainForm::dropEvent(QDropEvent *event)
{
    // A drop can still arrive during a batch (its drag entered before the batch began).
    if (refusesFiles())
        return;

    QStringList paths;
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl &url : urls)
        paths << url.toLocalFile(); // empty for a non-local URL; the batch reports it
    processFiles(paths);
}
