#include "mainform.h"
#include "ui_mainform.h"

#include "dictzip.h"
#include "resultlist.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QUrl>

// What a row has to say beyond its status: its note (the compressor's message, where
// the replaced file went) below the list, and a menu to reach the file.

void MainForm::showDetails(QTreeWidgetItem *row)
{
    const QString note = row ? row->data(FileColumn, NoteRole).toString() : QString();
    details->setText(note);
    details->setVisible(!note.isEmpty());
}

QMenu *MainForm::rowMenu(QTreeWidgetItem *row)
{
    const QString path = row->text(FileColumn);
    const QString note = row->data(FileColumn, NoteRole).toString();
    auto *menu = new QMenu(this);
    menu->addAction(tr("Open containing folder"), this,
                    [path] {
                        QDesktopServices::openUrl(
                            QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
                    })
        ->setEnabled(!path.isEmpty());
    menu->addAction(tr("Copy path"), this, [path] { QGuiApplication::clipboard()->setText(path); });
    menu->addAction(tr("Copy error"), this, [note] { QGuiApplication::clipboard()->setText(note); })
        ->setEnabled(!note.isEmpty()
                     && row->data(FileColumn, OutcomeRole).toInt() != int(Outcome::Done));
    return menu;
}

// Said at once rather than only by the "failed (-1)" of every row later; the window's
// own "Ready" stays first.
void MainForm::noteMissingTool()
{
    if (!runner->toolFound())
        ui->lInfo->setText(
            ui->lInfo->text() + QStringLiteral(" \u2014 ")
            + tr("compressor not found: %1").arg(QDir::toNativeSeparators(runner->program())));
}
