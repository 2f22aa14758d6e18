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

#ifdef Q_OS_UNIX
#include <dirent.h>
#endif

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

// Bytes of a name that are not valid UTF-8 reach the program as U+FFFD, so such a path
// names no file, or another file whose name holds U+FFFD itself. It is refused when a
// folder on it holds an entry that decodes to the same name from other bytes. (QDir
// lists no such entry at all.)
bool lossyName(const QString &path)
{
#ifdef Q_OS_UNIX
    const QStringList parts = QFileInfo(path).absoluteFilePath().split(QLatin1Char('/'));
    QString folder = QStringLiteral("/");
    for (const QString &part : parts) {
        if (part.contains(QChar::ReplacementCharacter)) {
            DIR *entries = opendir(QFile::encodeName(folder).constData());
            bool alike = false;
            while (const dirent *entry = entries && !alike ? readdir(entries) : nullptr)
                alike = QFile::decodeName(entry->d_name) == part
                    && QFile::encodeName(part) != entry->d_name;
            if (entries)
                closedir(entries);
            if (alike)
                return true;
        }
        if (!part.isEmpty())
            folder += part + QLatin1Char('/');
    }
#else
    Q_UNUSED(path);
#endif
    return false;
}

} // namespace

void MainForm::processFiles(const QStringList &paths)
{
    // Events are pumped inside the batch, so a handler could try to start another one,
    // which would clear the rows that this one still writes to: refused.
    if (state != BatchState::Idle || paths.isEmpty())
        return;

    state = BatchState::Running;
    filesRefused = false;
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
        showInfo(QStringLiteral("[%1/%2] processing %3...")
                     .arg(QString::number(i + 1), QString::number(paths.size()),
                          QDir::toNativeSeparators(paths.at(i))));
        const Outcome outcome = runOne(paths.at(i), i, rows, pump, saved);
        ++counts[int(outcome)];
        if (outcome == Outcome::Failed && firstFailed < 0)
            firstFailed = i;
        if (outcome == Outcome::Cancelled)
            break;
    }

    ui->progressBar->hide();
    ui->pbCancel->hide();
    filesRefused = false; // from now on files are taken again
    showInfo((busy() ? QStringLiteral("Task finished") : QStringLiteral("Task cancelled"))
             + QStringLiteral(" \u2014 ")
             + (saved < 0 ? tr("%1 done, %2 failed, %3 cancelled; %4 bytes added")
                          : tr("%1 done, %2 failed, %3 cancelled; %4 bytes saved"))
                   .arg(counts[int(Outcome::Done)])
                   .arg(counts[int(Outcome::Failed)] + counts[int(Outcome::CannotOpen)])
                   .arg(counts[int(Outcome::Cancelled)])
                   .arg(qAbs(saved)));
    // The first failure's reason is shown at once, unless the user chose a row.
    rows.flush();
    if (firstFailed >= 0 && !ui->tvResult->currentItem())
        ui->tvResult->setCurrentItem(ui->tvResult->topLevelItem(firstFailed));
    // The details line takes its room first, so that the last row stays in view.
    layout()->activate();
    if (const int count = ui->tvResult->topLevelItemCount())
        ui->tvResult->scrollToItem(ui->tvResult->topLevelItem(count - 1));
    state = BatchState::Idle;
    announceEnd();
}

void MainForm::showInfo(const QString &text)
{
    infoText = text;
    ui->lInfo->setText(filesRefused ? text + QStringLiteral(" \u2014 ")
                               + tr("more files are taken once this batch has ended")
                                    : text);
}

void MainForm::refuseFiles()
{
    if (!filesRefused) {
        filesRefused = true;
        showInfo(infoText);
    }
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
    const bool lossy = lossyName(path);
    if (lossy || !info.exists()) {
        settle(rows, row, Outcome::CannotOpen);
        if (lossy)
            rows.setNote(row,
                         tr("the name is not valid UTF-8, so it could stand for another "
                            "file; rename the file to process it"));
        return Outcome::CannotOpen;
    }

    rows.setText(row, StatusColumn,
                 DictZip::direction(path) == DictZip::Decompress
                     ? QStringLiteral("decompressing...")
                     : QStringLiteral("compressing..."));
    rows.setColour(row, StatusColumn, Qt::darkBlue);
    const qint64 oldSize = info.size();
    rows.setSize(row, OldSizeColumn, oldSize);
    ui->progressBar->setValue(index * barScale);

    const auto showNewSize = [&] {
        const qint64 newSize = runner->outputSize();
        rows.setSize(row, NewSizeColumn, newSize);
        rows.setText(row, RatioColumn, ratioText(oldSize, newSize));
        rows.setColour(row, RatioColumn, Qt::darkBlue);
        if (runner->progress() >= 0)
            ui->progressBar->setValue(index * barScale + int(runner->progress() * barScale));
        return newSize;
    };

    // Paint the row, label and bar before the tool starts; a Cancel pressed meanwhile
    // keeps it from starting.
    pump();
    if (!busy()) {
        settle(rows, row, Outcome::Cancelled);
        return Outcome::Cancelled;
    }
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
        : tr("the previous %1 is in the Trash: %2")
              .arg(QFileInfo(DictZip::outputName(path)).fileName(),
                   QDir::toNativeSeparators(runner->trashed()));
    if (code == 0) {
        settle(rows, row, Outcome::Done);
        saved += oldSize - showNewSize();
        rows.setNote(row, trashNote);
        return Outcome::Done;
    }
    const Outcome outcome = stopped ? Outcome::Cancelled : Outcome::Failed;
    settle(rows, row, outcome, code);
    rows.setNote(row, stopped ? trashNote : joined(runner->message(), trashNote));
    return outcome;
}

// The row's outcome is kept as data; its status text and colour follow from it.
void MainForm::settle(ResultList &rows, QTreeWidgetItem *row, Outcome outcome, int code)
{
    row->setData(FileColumn, OutcomeRole, int(outcome));
    switch (outcome) {
    case Outcome::CannotOpen:
        rows.setText(row, StatusColumn, QStringLiteral("cannot open"));
        return;
    case Outcome::Done:
        rows.setText(row, StatusColumn, QStringLiteral("done"));
        rows.setColour(row, StatusColumn, Qt::darkGreen);
        return;
    case Outcome::Failed:
        rows.setText(row, StatusColumn, QStringLiteral("failed (%1)").arg(code));
        break;
    case Outcome::Cancelled:
        rows.setText(row, StatusColumn, QStringLiteral("cancelled"));
        break;
    }
    rows.setColour(row, StatusColumn, Qt::darkRed);
}

void MainForm::on_pbCancel_clicked()
{
    if (state == BatchState::Running)
        state = BatchState::Stopping;
}
