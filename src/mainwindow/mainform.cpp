#include "mainform.h"
#include "ui_mainform.h"

#include "dictzip.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTreeWidget>

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
    // Paths and the compressor's words are shown as they are, never read as markup.
    ui->lInfo->setTextFormat(Qt::PlainText);

    // Why a row failed, readable and selectable, under the list; hidden while empty.
    details = new QLabel(this);
    details->setObjectName(QStringLiteral("lDetails"));
    details->setAccessibleName(tr("Details of the selected file"));
    details->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Maximum);
    details->setTextFormat(Qt::PlainText);
    details->setWordWrap(true);
    details->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    details->hide();
    ui->verticalLayout->insertWidget(ui->verticalLayout->indexOf(ui->tvResult) + 1, details);
    connect(ui->tvResult, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *row) { showDetails(row); });
    connect(ui->tvResult, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *row) {
        if (row == ui->tvResult->currentItem())
            showDetails(row);
    });
    ui->tvResult->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->tvResult, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        // Not exec(): a batch may be pumping events in this handler's caller.
        if (QTreeWidgetItem *row = ui->tvResult->itemAt(at)) {
            QMenu *menu = rowMenu(row);
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(ui->tvResult->viewport()->mapToGlobal(at));
        }
    });
#ifndef Q_OS_WIN
    // Windows takes the icon from the executable's resource; elsewhere the window carries it.
    setWindowIcon(QIcon(QStringLiteral(":/images/logo.png")));
#endif
    runner = new DictZip(this);
    noteMissingTool();
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
    if (e->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        noteMissingTool();
    }
}
