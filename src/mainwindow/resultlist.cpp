#include "resultlist.h"

#include <cmath>

#include <QColor>
#include <QDir>
#include <QLocale>
#include <QPalette>
#include <QTextDocument>
#include <QTreeWidget>

namespace {

// A tooltip that looks like markup is shown as rich text; a name or a message never is.
QString plainToolTip(const QString &text)
{
    return Qt::mightBeRichText(text) ? QLatin1String("<p style='white-space:pre-wrap'>")
            + text.toHtmlEscaped() + QLatin1String("</p>")
                                     : text;
}

} // namespace

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
    const QString shown = QDir::toNativeSeparators(path); // "D:\a.txt" on Windows
    row->setText(FileColumn, shown);
    row->setToolTip(FileColumn, plainToolTip(shown)); // the column elides long paths
    pending.append(row);
    return row;
}

void ResultList::setText(QTreeWidgetItem *row, int column, const QString &text)
{
    row->setText(column, text);
    if (row->treeWidget())
        fit(row, column);
}

void ResultList::setSize(QTreeWidgetItem *row, int column, qint64 size)
{
    setText(row, column, QString::number(size));
    row->setToolTip(column,
                    QLocale().formattedDataSize(size, 1, QLocale::DataSizeTraditionalFormat));
}

void ResultList::setColour(QTreeWidgetItem *row, int column, Qt::GlobalColor colour)
{
    QColor shown(colour);
    const QColor background = list->palette().color(QPalette::Base);
    if (background.lightnessF() < 0.5) {
        // Lighter steps of the same hue until readable; white, the last, is all there is.
        const float hue = shown.hslHueF(), saturation = shown.hslSaturationF();
        for (float lightness = shown.lightnessF();
             contrast(shown, background) < 4.5 && lightness < 1;) {
            lightness = qMin(1.0f, lightness + 0.05f);
            shown = QColor::fromHslF(hue, saturation, lightness);
        }
    }
    row->setData(column, Qt::ForegroundRole, shown);
}

qreal ResultList::contrast(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &colour) {
        const auto linear = [](qreal c) {
            return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF())
            + 0.0722 * linear(colour.blueF());
    };
    const qreal la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

void ResultList::setNote(QTreeWidgetItem *row, const QString &note)
{
    row->setData(FileColumn, NoteRole, note);
    for (int column : {StatusColumn, RatioColumn})
        row->setToolTip(column, plainToolTip(note));
}

void ResultList::flush()
{
    if (pending.isEmpty())
        return;
    list->addTopLevelItems(pending);
    list->scrollToItem(pending.last()); // the running row stays in view
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
