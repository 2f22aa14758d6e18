#ifndef MAINFORM_H
#define MAINFORM_H

#include <QDialog>
#include <QStringList>

class DictZip;
class EventPump;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QMenu;
class QTreeWidgetItem;
class ResultList;

namespace Ui {
class MainForm;
}

// The program's one window: picks files, runs them through dictzip one by one
// and shows a live row per file.
class MainForm : public QDialog
{
    Q_OBJECT

public:
    explicit MainForm(QWidget *parent = nullptr);
    ~MainForm() override;

    // Runs one batch over `paths` and returns when it has ended (see batchrun.cpp); does
    // nothing while another batch runs.
    void processFiles(const QStringList &paths);

protected:
    void changeEvent(QEvent *e) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private slots:
    void on_pbOpenFile_clicked();
    void on_pbAbout_clicked();
    void on_pbCancel_clicked();

private:
    // Stopping: Cancel was pressed and the batch is still ending its current tool run.
    enum class BatchState { Idle, Running, Stopping };
    enum class Outcome { CannotOpen, Done, Failed, Cancelled };

    Outcome runOne(const QString &path, int index, ResultList &rows, EventPump &pump,
                   qint64 &saved);
    // Rows (see rowdetails.cpp): the selected row's note below the list, and its menu.
    void showDetails(QTreeWidgetItem *row);
    QMenu *rowMenu(QTreeWidgetItem *row);
    void settle(ResultList &rows, QTreeWidgetItem *row, Outcome outcome, int code = 0);
    void noteMissingTool();
    void announceEnd();
    // The information line: `text`, and while a batch runs, that files were refused.
    void showInfo(const QString &text);
    void refuseFiles();
    // True while a batch runs and has not been cancelled.
    bool busy() const { return state == BatchState::Running; }
    // Intake refuses new files until a cancelled batch has really ended, too.
    bool refusesFiles() const { return state != BatchState::Idle; }

    Ui::MainForm *ui;
    DictZip *runner;
    BatchState state = BatchState::Idle;
    QLabel *details;
    QString infoText;
    bool filesRefused = false;
    // Progress bar steps per file: more than one when the tool tells how far it has read.
    int barScale = 1;
};

#endif // MAINFORM_H
