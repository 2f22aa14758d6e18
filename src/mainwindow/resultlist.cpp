#include "resultlist.h"

#include <QColor>
#include <QTreeWidget>

ResultList::ResultList(QTreeWidget *list)
    : list(list)
    , uniformRows(list->uniformRowHeights())
{
    list->setUniformRowHeights(true);
    QHeaderView *header = list->header();
    for (int column = StatusColumn; column < ResultColumnCount; ++column) {
        modes[column] = header->sectionResizeMode(column);
        if (modes[column] != QHeaderView::ResizeToContents)
            continue;
        header->setSectionResizeMode(column, QHeaderView::Fixed);
        header->resizeSection(column, bounded(header->sectionSizeHint(column)));
    }
}

ResultList::~ResultList()
{
    flush();
    list->setUniformRowHeights(uniformRows);
    QHeaderView *header = list->header();
    for (int column = StatusColumn; column < ResultColumnCount; ++column) {
        if (modes[column] == QHeaderView::ResizeToContents)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
}

QTreeWidgetItem *ResultList::addRow(const QString &path)
{
    auto *row = new QTreeWidgetItem;
    row->setText(FileColumn, path);
    row->setToolTip(FileColumn, path); // the column elides long paths
    pending.append(row);
    return row;
}

void ResultList::setText(QTreeWidgetItem *row, int column, const QString &text)
{
    row->setText(column, text);
    if (row->treeWidget())
        fit(row, column);
}

void ResultList::setColour(QTreeWidgetItem *row, int column, Qt::GlobalColor colour)
{
    row->setData(column, Qt::ForegroundRole, QColor(colour));
}

void ResultList::setNote(QTreeWidgetItem *row, const QString &note)
{
    row->setData(FileColumn, NoteRole, note);
    for (int column = StatusColumn; column < ResultColumnCount; ++column)
        row->setToolTip(column, note);
}

void ResultList::flush()
{
    if (pending.isEmpty())
        return;
    list->addTopLevelItems(pending);
    for (QTreeWidgetItem *row : std::as_const(pending)) {
        for (int column = StatusColumn; column < ResultColumnCount; ++column)
            fit(row, column);
    }
    pending.clear();
}

void ResultList::fit(QTreeWidgetItem *row, int column)
{
    if (modes[column] != QHeaderView::ResizeToContents || row->text(column).isEmpty())
        return;
    const int width = bounded(list->sizeHintForIndex(list->indexFromItem(row, column)).width());
    QHeaderView *header = list->header();
    if (width > header->sectionSize(column))
        header->resizeSection(column, width);
}

int ResultList::bounded(int width) const
{
    const QHeaderView *header = list->header();
    return qBound(header->minimumSectionSize(), width, header->maximumSectionSize());
}
