// A batch whose compressor is missing: each run fails to start and reads as failed.

#include "mainform.h"

#include "../guitest.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

class TestBatchNoTool : public QObject
{
    Q_OBJECT

private slots:
    void failedStart()
    {
        QTemporaryDir dir;
        const QString path = writeInput(dir.filePath("a.dsl"), 3);
        MainForm window;
        window.processFiles({path, path});
        auto *list = child<QTreeWidget>(window, "tvResult");
        QCOMPARE(list->topLevelItemCount(), 2);
        for (int i = 0; i < 2; ++i)
            QCOMPARE(list->topLevelItem(i)->text(1) + ' ' + list->topLevelItem(i)->text(2), "failed (-1) 3");
        QCOMPARE(child<QLabel>(window, "lInfo")->text(), QStringLiteral("Task finished"));
        QVERIFY(QFile::exists(path));
    }
};

QTEST_MAIN(TestBatchNoTool)
#include "tst_batchnotool.moc"
