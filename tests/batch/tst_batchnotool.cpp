// A batch whose compressor is missing: each run fails to start and reads as failed.

#include "mainform.h"

#include <QFile>
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
        const QString path = dir.filePath("a.dsl");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("abc") == 3);
        file.close();

        MainForm window;
        window.processFiles({path, path});
        auto *list = window.findChild<QTreeWidget *>("tvResult");
        QCOMPARE(list->topLevelItemCount(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(list->topLevelItem(i)->text(1), QStringLiteral("failed (-1)"));
            QCOMPARE(list->topLevelItem(i)->text(2), QStringLiteral("3"));
        }
        QCOMPARE(window.findChild<QLabel *>("lInfo")->text(), QStringLiteral("Task finished"));
        QVERIFY(QFile::exists(path));
    }
};

QTEST_MAIN(TestBatchNoTool)
#include "tst_batchnotool.moc"
