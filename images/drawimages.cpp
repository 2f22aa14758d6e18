// Draws Lexpack's pictures: the three 32x32 button icons, the 120x96 logo, the Windows
// icon file and the desktop icons. The outputs are committed; redraw them with
//
//     cmake --build build --target redraw_images
//
// which writes into this folder. Letters use DejaVu Sans Bold (fonts-dejavu-core) when
// it is installed, so redrawing elsewhere may move an edge pixel or two.
//
// lexpack.ico holds, in this order, the logo at 120x96 (the same pixels as logo.png)
// and the logo squeezed into 32x32, 16x16 and 64x64. Every entry is an uncompressed
// 32-bit BMP with its AND mask:
//
//   ICONDIR        reserved 0, type 1, count                          6 bytes
//   ICONDIRENTRY   w, h, 0 colours, 0, planes 1, 32 bpp, size, offset  16 bytes each
//   image          BITMAPINFOHEADER (height doubled: colour + mask)   40 bytes
//                  BGRA rows, bottom row first                        4*w*h bytes
//                  AND mask, 1 bit a pixel, rows padded to 32 bits    h*((w+31)/32*4)

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtEndian>

#include <cstdio>
#include <functional>

namespace {

const QSizeF logoSize(120, 96);

QImage canvas(QSize size, const std::function<void(QPainter &)> &draw)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    painter.end();
    // Straight alpha: what PNG stores and what an icon's BMP entry expects.
    return image.convertToFormat(QImage::Format_ARGB32);
}

// A glossy disc filling the 32x32 square, lit from the top left.
void drawDisc(QPainter &painter, QColor light, QColor dark, QColor rim)
{
    QRadialGradient fill(QPointF(12, 10), 20, QPointF(11, 8));
    fill.setColorAt(0, light);
    fill.setColorAt(1, dark);
    painter.setPen(QPen(rim, 1.2));
    painter.setBrush(fill);
    painter.drawEllipse(QPointF(16, 16), 14.6, 14.6);

    QLinearGradient shine(QPointF(0, 3), QPointF(0, 16));
    shine.setColorAt(0, QColor(255, 255, 255, 140));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shine);
    painter.drawEllipse(QRectF(6, 3, 20, 12));
}

void drawInfo(QPainter &painter)
{
    drawDisc(painter, QColor(0x8c, 0xc4, 0xff), QColor(0x10, 0x4a, 0xb0), QColor(0x0a, 0x2f, 0x78));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(16, 9.2), 2.4, 2.4);
    QPainterPath stem;
    stem.moveTo(12.5, 13.5);
    stem.lineTo(18, 13.5);
    stem.lineTo(18, 22.5);
    stem.lineTo(20, 22.5);
    stem.lineTo(20, 25);
    stem.lineTo(12, 25);
    stem.lineTo(12, 22.5);
    stem.lineTo(14, 22.5);
    stem.lineTo(14, 16);
    stem.lineTo(12.5, 16);
    stem.closeSubpath();
    painter.drawPath(stem);
}

void drawFolder(QPainter &painter)
{
    const QColor rim(0x0d, 0x3c, 0x8c);

    // Back of the folder with its tab.
    QPainterPath back;
    back.moveTo(2.5, 7.5);
    back.lineTo(3.5, 5);
    back.lineTo(11, 5);
    back.lineTo(13, 7.5);
    back.lineTo(26, 7.5);
    back.quadTo(27.5, 7.5, 27.5, 9);
    back.lineTo(27.5, 27);
    back.lineTo(2.5, 27);
    back.closeSubpath();
    QLinearGradient backFill(QPointF(0, 5), QPointF(0, 27));
    backFill.setColorAt(0, QColor(0x4f, 0x8f, 0xe0));
    backFill.setColorAt(1, QColor(0x1c, 0x55, 0xb0));
    painter.setPen(QPen(rim, 1));
    painter.setBrush(backFill);
    painter.drawPath(back);

    // A sheet of paper peeking out.
    painter.setPen(QPen(QColor(0x90, 0x98, 0xa8), 0.8));
    painter.setBrush(QColor(0xfa, 0xfa, 0xf6));
    painter.drawRect(QRectF(6, 9.5, 19, 12));

    // The front flap, swung open towards the viewer.
    QPainterPath front;
    front.moveTo(7, 13.5);
    front.lineTo(30.5, 13.5);
    front.lineTo(26.5, 27);
    front.lineTo(2.5, 27);
    front.closeSubpath();
    QLinearGradient frontFill(QPointF(0, 13.5), QPointF(0, 27));
    frontFill.setColorAt(0, QColor(0x9c, 0xcc, 0xff));
    frontFill.setColorAt(1, QColor(0x2e, 0x6f, 0xd0));
    painter.setPen(QPen(rim, 1));
    painter.setBrush(frontFill);
    painter.drawPath(front);
}

void drawRemove(QPainter &painter)
{
    drawDisc(painter, QColor(0xff, 0x8a, 0x7a), QColor(0xb0, 0x10, 0x10), QColor(0x6e, 0x05, 0x05));
    QPen cross(Qt::white, 4.2, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(cross);
    painter.drawLine(QPointF(10.5, 10.5), QPointF(21.5, 21.5));
    painter.drawLine(QPointF(21.5, 10.5), QPointF(10.5, 21.5));
}

// One line of the logo: the word's outline scaled to fill `box` (keeping its
// proportions), centred, with a soft shadow and a darker rim.
void drawWord(QPainter &painter, const QString &word, const QRectF &box, const QGradientStops &colours,
              const QColor &rim)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(100);
    QPainterPath path;
    path.addText(0, 0, font, word);
    const QRectF bounds = path.boundingRect();
    const qreal scale = qMin(box.width() / bounds.width(), box.height() / bounds.height());
    QTransform fit;
    fit.translate(box.center().x(), box.center().y());
    fit.scale(scale, scale);
    fit.translate(-bounds.center().x(), -bounds.center().y());
    path = fit.map(path);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 60));
    painter.drawPath(path.translated(1.5, 1.5));

    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setStops(colours);
    painter.setPen(QPen(rim, 1.1));
    painter.setBrush(fill);
    painter.drawPath(path);
}

// The logo in a 120x96 frame; the painter's transform squeezes it into other sizes.
void drawLogo(QPainter &painter)
{
    drawWord(painter, QStringLiteral("Lex"), QRectF(8, 3, 104, 41),
             {{0, QColor(0x9c, 0xd4, 0xff)}, {0.5, QColor(0x2a, 0x72, 0xd8)}, {1, QColor(0x0b, 0x30, 0x8a)}},
             QColor(0x06, 0x22, 0x60));
    drawWord(painter, QStringLiteral("pack"), QRectF(3, 49, 112, 43),
             {{0.1, QColor(0xff, 0xb0, 0x28)},
              {0.4, QColor(0xf0, 0x68, 0x14)},
              {0.75, QColor(0xb0, 0x18, 0x08)},
              {1, QColor(0x7a, 0x00, 0x00)}},
             QColor(0x5a, 0x08, 0x00));
}

QImage logoIn(QSize size)
{
    return canvas(size, [size](QPainter &painter) {
        painter.scale(size.width() / logoSize.width(), size.height() / logoSize.height());
        drawLogo(painter);
    });
}

void appendLe16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void appendLe32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

// One icon entry's image data: BITMAPINFOHEADER, BGRA rows bottom-up, AND mask.
QByteArray bmpEntry(const QImage &image)
{
    const int width = image.width();
    const int height = image.height();
    const int maskStride = (width + 31) / 32 * 4;
    QByteArray out;
    appendLe32(out, 40);
    appendLe32(out, quint32(width));
    appendLe32(out, quint32(height * 2));
    appendLe16(out, 1);
    appendLe16(out, 32);
    appendLe32(out, 0); // BI_RGB: uncompressed
    appendLe32(out, quint32(width * height * 4 + maskStride * height));
    appendLe32(out, 0);
    appendLe32(out, 0);
    appendLe32(out, 0);
    appendLe32(out, 0);
    for (int y = height - 1; y >= 0; --y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < width; ++x)
            appendLe32(out, row[x]); // 0xAARRGGBB little-endian is B, G, R, A
    }
    for (int y = height - 1; y >= 0; --y) {
        QByteArray mask(maskStride, '\0');
        const QRgb *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            if (qAlpha(row[x]) == 0)
                mask[x / 8] = char(mask[x / 8] | (0x80 >> (x % 8)));
        }
        out += mask;
    }
    return out;
}

QByteArray iconFile(const QList<QImage> &images)
{
    QByteArray header;
    appendLe16(header, 0);
    appendLe16(header, 1);
    appendLe16(header, quint16(images.size()));
    QByteArray data;
    quint32 offset = 6 + 16 * images.size();
    for (const QImage &image : images) {
        const QByteArray entry = bmpEntry(image);
        header.append(char(image.width() & 0xff)); // 0 stands for 256
        header.append(char(image.height() & 0xff));
        header.append('\0');
        header.append('\0');
        appendLe16(header, 1);
        appendLe16(header, 32);
        appendLe32(header, quint32(entry.size()));
        appendLe32(header, offset);
        offset += entry.size();
        data += entry;
    }
    return header + data;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "drawimages: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool savePng(const QImage &image, const QString &path)
{
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "drawimages: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // Fonts need a GUI application, a window system does not.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: drawimages <images folder>\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));

    const QImage logo = logoIn(logoSize.toSize());
    bool ok = savePng(canvas(QSize(32, 32), drawInfo), dir.filePath(QStringLiteral("info.png")))
        && savePng(canvas(QSize(32, 32), drawFolder), dir.filePath(QStringLiteral("file-open.png")))
        && savePng(logo, dir.filePath(QStringLiteral("logo.png")))
        && savePng(canvas(QSize(32, 32), drawRemove), dir.filePath(QStringLiteral("remove.png")));

    ok = ok
        && writeFile(dir.filePath(QStringLiteral("lexpack.ico")),
                     iconFile({logo, logoIn(QSize(32, 32)), logoIn(QSize(16, 16)), logoIn(QSize(64, 64))}));

    // The desktop icon theme's layout, ready to be installed under share/icons.
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        ok = ok && dir.mkpath(folder)
            && savePng(logoIn(QSize(size, size)), dir.filePath(folder + QStringLiteral("/lexpack.png")));
    }
    return ok ? 0 : 1;
}
