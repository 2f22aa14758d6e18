// The compiled-in pictures and the Windows icon file.

#include <QFile>
#include <QImage>
#include <QTest>
#include <QtEndian>

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void images_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size"); // invalid: nothing there
        QTest::newRow("info") << ":/images/info.png" << QSize(32, 32);
        QTest::newRow("file-open") << ":/images/file-open.png" << QSize(32, 32);
        QTest::newRow("logo") << ":/images/logo.png" << QSize(120, 96);
        QTest::newRow("remove") << ":/images/remove.png" << QSize(32, 32);
        QTest::newRow("no such name") << ":/images/open.png" << QSize();
        QTest::newRow("other folder") << ":/icons/info.png" << QSize();
        QTest::newRow("root") << ":/logo.png" << QSize();
        QTest::newRow("letter case") << ":/images/Logo.png" << QSize();
    }
    void images()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QFile file(path);
        QCOMPARE(file.open(QIODevice::ReadOnly), size.isValid());
        if (!size.isValid())
            return;
        const QImage image(path);
        QCOMPARE(image.size(), size);
        QVERIFY(image.hasAlphaChannel());
        // PNG signature, then IHDR: bit depth 8, colour type 6 (RGBA), no interlace.
        const QByteArray head = file.read(29);
        QVERIFY(head.startsWith("\x89PNG\r\n\x1a\n"));
        QCOMPARE(head.mid(12, 4), QByteArray("IHDR"));
        QCOMPARE(head.mid(24, 5), QByteArray("\x08\x06\x00\x00\x00", 5));
    }

    void windowsIcon()
    {
        QFile file(QStringLiteral(IMAGES_DIR "/lexpack.ico"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray ico = file.readAll();
        const auto le16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(ico.constData() + at); };
        const auto le32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(ico.constData() + at); };
        QVERIFY(ico.size() > 6);
        QCOMPARE(QList<quint16>({le16(0), le16(2), le16(4)}), QList<quint16>({0, 1, 4})); // an icon of 4 entries

        const QList<QSize> sizes = {{120, 96}, {32, 32}, {16, 16}, {64, 64}};
        for (int i = 0; i < sizes.size(); ++i) {
            const qsizetype entry = 6 + 16 * i;
            const int width = sizes[i].width(), height = sizes[i].height();
            const int maskStride = (width + 31) / 32 * 4;
            QCOMPARE(QSize(quint8(ico[entry]), quint8(ico[entry + 1])), sizes[i]);
            QCOMPARE(le16(entry + 4), quint16(1)); // planes
            QCOMPARE(le16(entry + 6), quint16(32)); // bits per pixel
            const quint32 bytes = le32(entry + 8), offset = le32(entry + 12);
            QVERIFY(offset + bytes <= quint32(ico.size()));
            QCOMPARE(bytes, quint32(40 + 4 * width * height + maskStride * height));

            // An uncompressed BMP entry (a PNG entry would start with its signature).
            QCOMPARE(QList<quint32>(
                         {le32(offset), le32(offset + 4), le32(offset + 8), le16(offset + 14), le32(offset + 16)}),
                     QList<quint32>({40, quint32(width), quint32(2 * height), 32, 0}));

            // Rows run bottom-up; the AND mask marks exactly the transparent pixels.
            QImage picture(width, height, QImage::Format_ARGB32);
            const qsizetype colours = offset + 40, mask = colours + 4 * width * height;
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const int row = height - 1 - y;
                    const QRgb pixel = le32(colours + 4 * (row * width + x));
                    picture.setPixel(x, y, pixel);
                    const bool masked = quint8(ico[mask + row * maskStride + x / 8]) & (0x80 >> (x % 8));
                    QCOMPARE(masked, qAlpha(pixel) == 0);
                }
            }
            if (i == 0)
                QCOMPARE(picture, QImage(":/images/logo.png").convertToFormat(QImage::Format_ARGB32));
        }
    }
};

QTEST_GUILESS_MAIN(TestResources)
#include "tst_resources.moc"
