// The compiled-in pictures and the Windows icon file.

#include <QFile>
#include <QImage>
#include <QTest>
#include <QtEndian>

namespace {

quint16 le16(const QByteArray &data, qsizetype at)
{
    return qFromLittleEndian<quint16>(data.constData() + at);
}

quint32 le32(const QByteArray &data, qsizetype at)
{
    return qFromLittleEndian<quint32>(data.constData() + at);
}

QImage argb(const QString &path)
{
    return QImage(path).convertToFormat(QImage::Format_ARGB32);
}

const QString imagesDir = QStringLiteral(IMAGES_DIR);

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void images_data();
    void images();
    void wrongPaths_data();
    void wrongPaths();
    void windowsIcon();
};

void TestResources::images_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("info") << ":/images/info.png" << QSize(32, 32);
    QTest::newRow("file-open") << ":/images/file-open.png" << QSize(32, 32);
    QTest::newRow("logo") << ":/images/logo.png" << QSize(120, 96);
    QTest::newRow("remove") << ":/images/remove.png" << QSize(32, 32);
}

void TestResources::images()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    const QImage image(path);
    QCOMPARE(image.size(), size);
    QVERIFY(image.hasAlphaChannel());

    // PNG header: IHDR's bit depth 8, colour type 6 (RGBA), interlace 0.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(29);
    QVERIFY(head.startsWith("\x89PNG\r\n\x1a\n"));
    QCOMPARE(head.mid(12, 4), QByteArray("IHDR"));
    QCOMPARE(int(head[24]), 8);
    QCOMPARE(int(head[25]), 6);
    QCOMPARE(int(head[28]), 0);
}

void TestResources::wrongPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("no such name") << ":/images/open.png";
    QTest::newRow("other folder") << ":/icons/info.png";
    QTest::newRow("root") << ":/logo.png";
    QTest::newRow("letter case") << ":/images/Logo.png";
}

void TestResources::wrongPaths()
{
    QFETCH(QString, path);
    QVERIFY(!QFile::exists(path));
    QVERIFY(QImage(path).isNull());
}

void TestResources::windowsIcon()
{
    QFile file(imagesDir + QStringLiteral("/lexpack.ico"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray ico = file.readAll();
    QVERIFY(ico.size() > 6);
    QCOMPARE(le16(ico, 0), quint16(0));
    QCOMPARE(le16(ico, 2), quint16(1));
    QCOMPARE(le16(ico, 4), quint16(4));

    const QList<QSize> sizes = {{120, 96}, {32, 32}, {16, 16}, {64, 64}};
    for (int i = 0; i < sizes.size(); ++i) {
        const qsizetype entry = 6 + 16 * i;
        const int width = sizes[i].width();
        const int height = sizes[i].height();
        const int maskStride = (width + 31) / 32 * 4;
        QCOMPARE(quint8(ico[entry]), quint8(width));
        QCOMPARE(quint8(ico[entry + 1]), quint8(height));
        QCOMPARE(le16(ico, entry + 4), quint16(1));
        QCOMPARE(le16(ico, entry + 6), quint16(32));
        const quint32 bytes = le32(ico, entry + 8);
        const quint32 offset = le32(ico, entry + 12);
        QVERIFY(offset + bytes <= quint32(ico.size()));
        QCOMPARE(bytes, quint32(40 + 4 * width * height + maskStride * height));

        // An uncompressed BMP entry (a PNG entry would start with its signature).
        QCOMPARE(le32(ico, offset), quint32(40));
        QCOMPARE(le32(ico, offset + 4), quint32(width));
        QCOMPARE(le32(ico, offset + 8), quint32(2 * height));
        QCOMPARE(le16(ico, offset + 14), quint16(32));
        QCOMPARE(le32(ico, offset + 16), quint32(0));

        // Rows run bottom-up; the AND mask marks exactly the transparent pixels.
        QImage picture(width, height, QImage::Format_ARGB32);
        const qsizetype colours = offset + 40;
        const qsizetype mask = colours + 4 * width * height;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const int row = height - 1 - y;
                const QRgb pixel = le32(ico, colours + 4 * (row * width + x));
                picture.setPixel(x, y, pixel);
                const bool masked = quint8(ico[mask + row * maskStride + x / 8]) & (0x80 >> (x % 8));
                QCOMPARE(masked, qAlpha(pixel) == 0);
            }
        }
        if (i == 0)
            QCOMPARE(picture, argb(QStringLiteral(":/images/logo.png")));
    }
}

QTEST_GUILESS_MAIN(TestResources)
#include "tst_resources.moc"
