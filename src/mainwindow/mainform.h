#ifndef MAINFORM_H
#define MAINFORM_H

#include <QDialog>
#include <QStringList>

class DictZip;
class QDragEnterEvent;
class QDropEvent;

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

    // Runs one batch over `paths` and returns when it has ended (see batchrun.cpp).
    void processFiles(const QStringList &paths);

    bool isBusy() const { return busy; }
    DictZip *toolRunner() const { return runner; }

protected:
    void changeEvent(QEvent *e) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private slots:
    void on_pbOpenFile_clicked();
    void on_pbAbout_clicked();
    void on_pbCancel_clicked();

private:
    Ui::MainForm *ui;
    DictZip *runner;
    bool busy;
    // Set for the whole of processFiles, cancel included (busy is already clear then).
    bool inBatch = false;
    // Intake refuses new files until a cancelled batch has really ended, too.
    bool refusesFiles() const { return busy || inBatch; }
};

#endif // MAINFORM_H
