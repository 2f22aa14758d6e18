#include "mainform.h"

void MainForm::processFiles(const QStringList &paths)
{
    Q_UNUSED(paths);
}

void MainForm::on_pbCancel_clicked()
{
    busy = false;
}
