#include "icofile.h"

#include <QBuffer>
#include <QDataStream>

namespace {

QByteArray pngData(const QImage &image)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

// BITMAPINFOHEADER, bottom-up BGRA rows, then the 1-bit AND mask (1 = transparent).
// The header height counts both the colour rows and the mask rows.
QByteArray dibData(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    const int maskStride = ((w + 31) / 32) * 4;

    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(40) << qint32(w) << qint32(2 * h) << quint16(1) << quint16(32) << quint32(0)
        << quint32(w * h * 4 + maskStride * h) << qint32(0) << qint32(0) << quint32(0)
        << quint32(0);

    for (int y = h - 1; y >= 0; --y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            out << quint8(qBlue(row[x])) << quint8(qGreen(row[x])) << quint8(qRed(row[x]))
                << quint8(qAlpha(row[x]));
    }
    for (int y = h - 1; y >= 0; --y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        QByteArray mask(maskStride, '\0');
        for (int x = 0; x < w; ++x) {
            if (qAlpha(row[x]) == 0)
                mask[x / 8] = char(mask[x / 8] | (0x80 >> (x % 8)));
        }
        out.writeRawData(mask.constData(), mask.size());
    }
    return data;
}

} // namespace

QByteArray icoFile(const QVector<QImage> &images)
{
    QVector<QByteArray> blobs;
    for (const QImage &image : images)
        blobs << (image.width() >= 256 ? pngData(image) : dibData(image));

    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(images.size()); // ICONDIR, type 1 = icon

    quint32 offset = 6 + 16 * images.size();
    for (int i = 0; i < images.size(); ++i) {
        const QImage &image = images.at(i);
        // A stored 0 means 256 in the one-byte width and height fields.
        out << quint8(image.width() & 0xff) << quint8(image.height() & 0xff) << quint8(0)
            << quint8(0) << quint16(1) << quint16(32) << quint32(blobs.at(i).size()) << offset;
        offset += blobs.at(i).size();
    }
    for (const QByteArray &blob : blobs)
        out.writeRawData(blob.constData(), blob.size());
    return file;
}
