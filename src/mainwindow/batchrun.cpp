#include "mainform.h"
#include "ui_mainform.h"

#include "dictzip.h"
#include "eventpump.h"
#include "resultlist.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTreeWidgetItem>

#include <climits>

// The batch: every path goes through dictzip in turn, one row each, with live sizes.
// It runs inside the handler that started it and keeps the window alive by pumping
// events between short waits on the tool.

namespace {

// How often a run's output is measured, and so how long a Cancel may take to be noticed.
const int pollSliceMs = 500;

// new x 100 / old in whole percent; an empty input has no ratio.
QString ratioText(qint64 oldSize, qint64 newSize)
{
    return oldSize > 0 ? QString::number(newSize * 100 / oldSize) : QString();
}

QString joined(const QString &first, const QString &second)
{
    return first.isEmpty() || second.isEmpty() ? first + second
                                               : first + QLatin1String("; ") + second;
}

} // namespace

void MainForm::processFiles(const QStringList &paths)
{
    // Events are pumped inside the batch, so a handler could try to start another one,
    // which would clear the rows that this one still writes to: refused.
    if (state != BatchState::Idle || paths.isEmpty())
        return;

    state = BatchState::Running;
    ui->lInfo->setAccessibleDescription(QString());
    ui->tvResult->clear();
    showDetails(nullptr);
    ResultList rows(ui->tvResult);
    EventPump pump(this, rows);
    // Whole files are steps of barScale, so that at each file's start the bar stands
    // where a bar of one step per file would.
    barScale = runner->tellsProgress()
        ? int(qMax<qsizetype>(1, qMin<qsizetype>(1000, INT_MAX / paths.size())))
        : 1;
    ui->progressBar->setMaximum(int(paths.size()) * barScale);
    ui->progressBar->setValue(0);
    ui->progressBar->show();
    ui->pbCancel->show();

    // A run still going (a version probe that outlived its wait) would otherwise be taken
    // for this batch's first run. User input waits: no batch may start inside this one.
    runner->stop([&] { pump(QEventLoop::ExcludeUserInputEvents); });

    int counts[4] = {};
    qint64 saved = 0;
    int firstFailed = -1; // each path has a row, in order
    for (int i = 0; i < paths.size() && busy(); ++i) {
        ui->lInfo->setText(
            QStringLiteral("[%1/%2] processing %3...")
                .arg(QString::number(i + 1), QString::number(paths.size()), paths.at(i)));
        const Outcome outcome = runOne(paths.at(i), i, rows, pump, saved);
        ++counts[int(outcome)];
        if (outcome == Outcome::Failed && firstFailed < 0)
            firstFailed = i;
        if (outcome == Outcome::Cancelled)
            break;
    }

    ui->progressBar->hide();
    ui->pbCancel->hide();
    ui->lInfo->setText((busy() ? QStringLiteral("Task finished") : QStringLiteral("Task cancelled"))
                       + QStringLiteral(" \u2014 %1 done, %2 failed, %3 cancelled; %4 bytes %5")
                             .arg(counts[int(Outcome::Done)])
                             .arg(counts[int(Outcome::Failed)] + counts[int(Outcome::CannotOpen)])
                             .arg(counts[int(Outcome::Cancelled)])
                             .arg(qAbs(saved))
                             .arg(saved < 0 ? QLatin1String("added") : QLatin1String("saved")));
    // The first failure's reason is shown at once, unless the user chose a row.
    rows.flush();
    if (firstFailed >= 0 && !ui->tvResult->currentItem())
        ui->tvResult->setCurrentItem(ui->tvResult->topLevelItem(firstFailed));
    state = BatchState::Idle;
    announceEnd();
}

void MainForm::announceEnd()
{
    // A user who looked away is called back; a screen reader reads the end out.
    if (!isActiveWindow())
        QApplication::alert(this);
    ui->lInfo->setAccessibleDescription(ui->lInfo->text());
    for (const QAccessible::Event type : {QAccessible::DescriptionChanged, QAccessible::Alert}) {
        QAccessibleEvent event(ui->lInfo, type);
        QAccessible::updateAccessibility(&event);
    }
}

MainForm::Outcome MainForm::runOne(const QString &path, int index, ResultList &rows,
                                   EventPump &pump, qint64 &saved)
{
    QTreeWidgetItem *row = rows.addRow(path);
    const QFileInfo info(path);
    if (!info.exists()) {
        rows.setText(row, StatusColumn, QStringLiteral("cannot open"));
        return Outcome::CannotOpen;
    }

    rows.setText(row, StatusColumn,
                 DictZip::direction(path) == DictZip::Decompress
                     ? QStringLiteral("decompressing...")
                     : QStringLiteral("compressing..."));
    rows.setColour(row, StatusColumn, Qt::darkBlue);
    const qint64 oldSize = info.size();
    rows.setText(row, OldSizeColumn, QString::number(oldSize));
    ui->progressBar->setValue(index * barScale);

    const auto showNewSize = [&] {
        const qint64 newSize = runner->outputSize();
        rows.setText(row, NewSizeColumn, QString::number(newSize));
        rows.setText(row, RatioColumn, ratioText(oldSize, newSize));
        rows.setColour(row, RatioColumn, Qt::darkBlue);
        if (runner->progress() >= 0)
            ui->progressBar->setValue(index * barScale + int(runner->progress() * barScale));
        return newSize;
    };

    // Paint the row, label and bar before the tool starts.
    pump();
    runner->start(path, ui->cbKeepFiles->isChecked());

    // One poll slice. Painting that the pump held back is done early in it, so a longer
    // run is never waited on with its row unpainted.
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
        if (!busy())
            break;
    }

    // Cancelled with the run still going: stop it, so that nothing works on behind the
    // user's back and the next run never overlaps this one. A run that ended before it
    // could be stopped reports what it did: "cancelled" for a file whose original is
    // already replaced would mislead.
    const bool stopped = !ended && runner->stop([&] { pump(QEventLoop::ExcludeUserInputEvents); });
    const int code = runner->exitCode();
    // Every run that replaced a file says where the old one is; a cancelled run leaves
    // no partial output in its place (see DictZip::stop).
    const QString trashNote = runner->trashed().isEmpty()
        ? QString()
        : QStringLiteral("the previous %1 is in the Trash: %2")
              .arg(QFileInfo(DictZip::outputName(path)).fileName(),
                   QDir::toNativeSeparators(runner->trashed()));
    if (code == 0) {
        rows.setText(row, StatusColumn, QStringLiteral("done"));
        rows.setColour(row, StatusColumn, Qt::darkGreen);
        saved += oldSize - showNewSize();
        rows.setNote(row, trashNote);
        return Outcome::Done;
    }
    rows.setText(row, StatusColumn,
                 stopped ? QStringLiteral("cancelled") : QStringLiteral("failed (%1)").arg(code));
    rows.setColour(row, StatusColumn, Qt::darkRed);
    rows.setNote(row, stopped ? trashNote : joined(runner->message(), trashNote));
    return stopped ? Outcome::Cancelled : Outcome::Failed;
}

void MainForm::on_pbCancel_clicked()
{
    if (state == BatchState::Running)
        state = BatchState::Stopping;
}
