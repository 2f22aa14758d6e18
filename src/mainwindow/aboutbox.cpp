#include "mainform.h"

void MainForm::on_pbAbout_clicked()
{
}
