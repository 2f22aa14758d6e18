#include "mainform.h"

#include <QDragEnterEvent>
#include <QDropEvent>

// Open dialog and drag and drop: both hand a list of paths to processFiles().

void MainForm::on_pbOpenFile_clicked()
{
}

void MainForm::dragEnterEvent(QDragEnterEvent *event)
{
    Q_UNUSED(event);
}

void MainForm::dropEvent(QDropEvent *event)
{
    Q_UNUSED(event);
}
