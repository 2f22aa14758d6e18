#include "mainform.h"
#include "ui_mainform.h"

#include "dictzip.h"

#include <QEvent>
#include <QHeaderView>

MainForm::MainForm(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::MainForm)
    , runner(nullptr)
{
    ui->setupUi(this);
    QHeaderView *header = ui->tvResult->header();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    ui->progressBar->hide();
    ui->pbCancel->hide();
#ifndef Q_OS_WIN
    // Windows takes the icon from the executable's resource; elsewhere the window carries it.
    setWindowIcon(QIcon(QStringLiteral(":/images/logo.png")));
#endif
    runner = new DictZip(this);
    // Closing the window (Exit, Escape, the close box) cancels a running batch, so the
    // program never goes on working with no window on screen.
    connect(this, &QDialog::finished, this, &MainForm::on_pbCancel_clicked);
}

MainForm::~MainForm()
{
    delete ui;
}

void MainForm::changeEvent(QEvent *e)
{
    QDialog::changeEvent(e);
    if (e->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}
