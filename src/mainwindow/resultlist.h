#ifndef RESULTLIST_H
#define RESULTLIST_H

#include <QHeaderView>
#include <QList>
#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

enum ResultColumn {
    FileColumn,
    StatusColumn,
    OldSizeColumn,
    NewSizeColumn,
    RatioColumn,
    ResultColumnCount
};
// A row's note (why it failed, where a replaced file went), stored on its File column.
const int NoteRole = Qt::UserRole;
// How the row's file ended, as the batch's own value; its status text is derived from it.
const int OutcomeRole = Qt::UserRole + 1;

// The result list as a batch fills it, at a cost per file that does not grow with the
// list. A tree view lays out all its rows again after each insertion, and columns sized
// to their contents re-measure up to a thousand rows on every change. So for the length
// of a batch rows have a uniform height (one line of text each), new rows join the list
// together when the window is next painted, and columns 1 to 4 are sized from the cells
// written, widening only, as they would while rows are added. The header's own modes
// come back, with one full measurement, when the batch ends.
class ResultList
{
public:
    explicit ResultList(QTreeWidget *list);
    ~ResultList();

    QTreeWidgetItem *addRow(const QString &path);
    void setText(QTreeWidgetItem *row, int column, const QString &text);
    // A size in bytes, with the locale's own KB, MB or GB form as its tooltip.
    void setSize(QTreeWidgetItem *row, int column, qint64 size);
    // The colour is stored as a QColor, under the foreground role of that one column. On
    // a dark list it is made lighter, in the same hue, until it is readable there.
    void setColour(QTreeWidgetItem *row, int column, Qt::GlobalColor colour);
    // The note, also the tooltip of the status and ratio columns (the File column's is the path).
    void setNote(QTreeWidgetItem *row, const QString &note);
    // WCAG 2 contrast ratio of two colours, from 1 to 21.
    static qreal contrast(const QColor &a, const QColor &b);
    // Puts the rows added since the last call into the list.
    void flush();

private:
    void fit(QTreeWidgetItem *row, int column);
    int bounded(int width) const;

    QTreeWidget *list;
    QList<QTreeWidgetItem *> pending;
    bool uniformRows;
    QHeaderView::ResizeMode modes[ResultColumnCount] = {};
};

#endif // RESULTLIST_H
