#include "mainform.h"
#include "ui_mainform.h"

#include "dictzip.h"

#include <QColor>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QScopedValueRollback>
#include <QTreeWidgetItem>

// The batch: every path goes through dictzip in turn, one row each, with live sizes.
// It runs inside the handler that started it and keeps the window alive by pumping
// events between short waits on the tool.

namespace {

enum Column { FileColumn, StatusColumn, OldSizeColumn, NewSizeColumn, RatioColumn, ColumnCount };

// How often a run's output is measured, and so how long a Cancel may take to be noticed.
const int pollSliceMs = 500;
// A cancelled run is asked to stop first, so that it can remove its partial output; one
// that has not ended after this long is killed.
const int stopGraceMs = 2000;
const int stopSliceMs = 50;
// Painting the window costs more than a quick tool run, so a batch paints at most this
// often: a run of many small files is not slowed by frames nobody could see.
const int frameMs = 40;

// new x 100 / old in whole percent; an empty input has no ratio.
QString ratioText(qint64 oldSize, qint64 newSize)
{
    return oldSize > 0 ? QString::number(newSize * 100 / oldSize) : QString();
}

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
    explicit ResultList(QTreeWidget *list)
        : list(list)
        , uniformRows(list->uniformRowHeights())
    {
        list->setUniformRowHeights(true);
        QHeaderView *header = list->header();
        for (int column = StatusColumn; column < ColumnCount; ++column) {
            modes[column] = header->sectionResizeMode(column);
            if (modes[column] != QHeaderView::ResizeToContents)
                continue;
            header->setSectionResizeMode(column, QHeaderView::Fixed);
            header->resizeSection(column, bounded(header->sectionSizeHint(column)));
        }
    }

    ~ResultList()
    {
        flush();
        list->setUniformRowHeights(uniformRows);
        QHeaderView *header = list->header();
        for (int column = StatusColumn; column < ColumnCount; ++column) {
            if (modes[column] == QHeaderView::ResizeToContents)
                header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
        }
    }

    QTreeWidgetItem *addRow(const QString &path)
    {
        auto *row = new QTreeWidgetItem;
        row->setText(FileColumn, path);
        pending.append(row);
        return row;
    }

    void setText(QTreeWidgetItem *row, int column, const QString &text)
    {
        row->setText(column, text);
        if (row->treeWidget())
            fit(row, column);
    }

    // The colour is stored as a QColor, under the foreground role of that one column.
    void setColour(QTreeWidgetItem *row, int column, Qt::GlobalColor colour)
    {
        row->setData(column, Qt::ForegroundRole, QColor(colour));
    }

    // Puts the rows added since the last call into the list.
    void flush()
    {
        if (pending.isEmpty())
            return;
        list->addTopLevelItems(pending);
        for (QTreeWidgetItem *row : std::as_const(pending)) {
            for (int column = StatusColumn; column < ColumnCount; ++column)
                fit(row, column);
        }
        pending.clear();
    }

private:
    void fit(QTreeWidgetItem *row, int column)
    {
        if (modes[column] != QHeaderView::ResizeToContents || row->text(column).isEmpty())
            return;
        const int width = bounded(list->sizeHintForIndex(list->indexFromItem(row, column)).width());
        QHeaderView *header = list->header();
        if (width > header->sectionSize(column))
            header->resizeSection(column, width);
    }

    int bounded(int width) const
    {
        const QHeaderView *header = list->header();
        return qBound(header->minimumSectionSize(), width, header->maximumSectionSize());
    }

    QTreeWidget *list;
    QList<QTreeWidgetItem *> pending;
    bool uniformRows;
    QHeaderView::ResizeMode modes[ColumnCount] = {};
};

// Pumps the event loop for the batch, painting the window (and bringing in new rows) at
// most once a frame. What was held back is painted at the next pump that is due, or by
// paintNow() while a longer run is waited on.
class EventPump : public QObject
{
public:
    EventPump(QWidget *window, ResultList &rows)
        : window(window)
        , rows(rows)
    {
        window->installEventFilter(this);
    }

    ~EventPump() override
    {
        window->removeEventFilter(this);
        resume();
    }

    void operator()(QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents)
    {
        if (msUntilPaint() == 0) {
            resume();
            sincePaint.start();
        } else if (!held) {
            window->setUpdatesEnabled(false);
            held = true;
        }
        QCoreApplication::processEvents(flags);
    }

    bool paintHeld() const { return held; }

    int msUntilPaint() const
    {
        return sincePaint.isValid() ? int(qMax<qint64>(0, frameMs - sincePaint.elapsed())) : 0;
    }

    // Paints what was held back, without handling any other event.
    void paintNow()
    {
        resume();
        window->repaint();
        sincePaint.start();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A modal dialog opened during a pump keeps the batch in that pump: the window
        // must not stay stale under it.
        if (watched == window && event->type() == QEvent::WindowBlocked)
            resume();
        return false;
    }

private:
    void resume()
    {
        rows.flush();
        if (held) {
            held = false;
            window->setUpdatesEnabled(true); // marks the whole window for painting
        }
    }

    QWidget *window;
    ResultList &rows;
    QElapsedTimer sincePaint;
    bool held = false;
};

// Stops the run under way and returns once it has ended. User input waits meanwhile:
// `busy` is already clear, so a click or a drop now would start a batch inside this one.
void stopRun(DictZip *runner, EventPump &pump)
{
    runner->terminate();
    QElapsedTimer clock;
    clock.start();
    bool killed = false;
    while (!runner->waitForFinished(stopSliceMs)) {
        if (!killed && clock.hasExpired(stopGraceMs)) {
            runner->kill();
            killed = true;
        }
        pump(QEventLoop::ExcludeUserInputEvents);
    }
}

} // namespace

void MainForm::processFiles(const QStringList &paths)
{
    // Events are pumped inside the batch, so a handler could try to start another one,
    // which would clear the rows that this one still writes to.
    Q_ASSERT_X(!inBatch, "MainForm::processFiles", "a batch is already running");
    if (inBatch || paths.isEmpty())
        return;
    const QScopedValueRollback<bool> batchGuard(inBatch, true);

    busy = true;
    ui->tvResult->clear();
    ResultList rows(ui->tvResult);
    EventPump pump(this, rows);
    ui->progressBar->setMaximum(int(paths.size()));
    ui->progressBar->setValue(0);
    ui->progressBar->show();
    ui->pbCancel->show();

    // A run still going (a version probe that outlived its wait) would otherwise be taken
    // for this batch's first run.
    if (!runner->waitForFinished(0))
        stopRun(runner, pump);

    for (int i = 0; i < paths.size(); ++i) {
        const QString &path = paths.at(i);
        ui->lInfo->setText(QStringLiteral("[%1/%2] processing %3...")
                               .arg(QString::number(i + 1), QString::number(paths.size()), path));
        QTreeWidgetItem *row = rows.addRow(path);

        const QFileInfo info(path);
        if (!info.exists()) {
            rows.setText(row, StatusColumn, QStringLiteral("cannot open"));
            continue;
        }

        const bool decompress = path.toLower().endsWith(QLatin1String(".dz"));
        rows.setText(row, StatusColumn,
                     decompress ? QStringLiteral("decompressing...")
                                : QStringLiteral("compressing..."));
        rows.setColour(row, StatusColumn, Qt::darkBlue);
        const qint64 oldSize = info.size();
        rows.setText(row, OldSizeColumn, QString::number(oldSize));
        ui->progressBar->setValue(i);

        const auto showNewSize = [&] {
            const qint64 newSize = runner->outputSize();
            rows.setText(row, NewSizeColumn, QString::number(newSize));
            rows.setText(row, RatioColumn, ratioText(oldSize, newSize));
            rows.setColour(row, RatioColumn, Qt::darkBlue);
        };

        // Paint the row, label and bar before the tool starts.
        pump();

        const bool keep = ui->cbKeepFiles->isChecked();
        if (decompress)
            runner->decompress(path, keep);
        else
            runner->compress(path, keep);

        // One poll slice. Painting that the pump held back is done early in it, so a
        // longer run is never waited on with its row unpainted.
        const auto waitSlice = [&] {
            if (!pump.paintHeld())
                return runner->waitForFinished(pollSliceMs);
            QElapsedTimer slice;
            slice.start();
            if (runner->waitForFinished(pump.msUntilPaint()))
                return true;
            pump.paintNow();
            return runner->waitForFinished(int(qMax<qint64>(0, pollSliceMs - slice.elapsed())));
        };

        bool ended = false;
        while (!(ended = waitSlice())) {
            showNewSize();
            pump();
            if (!busy)
                break;
        }

        // Cancelled with the run still going: stop it, so that nothing works on behind
        // the user's back and the next run never overlaps this one.
        bool stopped = false;
        if (!ended && !runner->waitForFinished(0)) {
            stopRun(runner, pump);
            stopped = true;
        }

        // A run that ended before it could be stopped reports what it did: "cancelled"
        // for a file whose original is already replaced would mislead.
        const int code = runner->exitCode();
        if (code == 0) {
            rows.setText(row, StatusColumn, QStringLiteral("done"));
            rows.setColour(row, StatusColumn, Qt::darkGreen);
            showNewSize();
        } else {
            rows.setText(row, StatusColumn,
                         stopped ? QStringLiteral("cancelled")
                                 : QStringLiteral("failed (%1)").arg(code));
            rows.setColour(row, StatusColumn, Qt::darkRed);
        }

        if (!busy)
            break;
    }

    ui->progressBar->hide();
    ui->pbCancel->hide();
    ui->lInfo->setText(busy ? QStringLiteral("Task finished") : QStringLiteral("Task cancelled"));
    busy = false;
}

void MainForm::on_pbCancel_clicked()
{
    busy = false;
}
