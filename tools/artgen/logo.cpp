#include "logo.h"

#include "paint.h"

#include <QRadialGradient>

void drawLogo(QPainter &p, int pixelSize)
{
    const bool detailed = pixelSize >= 48;
    const qreal onePixel = 256.0 / pixelSize;
    const QPointF centre(128, 128);

    QRadialGradient medal(QPointF(128, 100), 150, QPointF(110, 80));
    medal.setColorAt(0, QColor(0x3f69a8));
    medal.setColorAt(1, QColor(0x101d36));
    p.setPen(QPen(QColor(0x0b1428), qMax(5.0, onePixel)));
    p.setBrush(medal);
    p.drawEllipse(centre, 122, 122);
    p.setPen(QPen(QColor(0x8fb0e0), qMax(3.0, onePixel * 0.8)));
    p.setBrush(Qt::NoBrush);
    if (detailed)
        p.drawEllipse(centre, 112, 112);

    const QPointF bulbCentre(128, 98);
    QRadialGradient glow(bulbCentre, 112);
    glow.setColorAt(0.4, QColor(255, 214, 80, 170));
    glow.setColorAt(1.0, QColor(255, 214, 80, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(bulbCentre, 112, 112);

    QPainterPath glass;
    glass.addEllipse(bulbCentre, 66, 66);
    QPainterPath neck;
    neck.moveTo(82, 142);
    neck.quadTo(100, 160, 100, 180);
    neck.lineTo(156, 180);
    neck.quadTo(156, 160, 174, 142);
    neck.closeSubpath();
    glass = glass.united(neck);
    QRadialGradient light(bulbCentre, 80, bulbCentre - QPointF(16, 20));
    light.setColorAt(0, QColor(0xfffbe6));
    light.setColorAt(0.45, QColor(0xffe066));
    light.setColorAt(1, QColor(0xf0a000));
    p.setPen(QPen(QColor(0x9a6200), qMax(3.0, onePixel)));
    p.setBrush(light);
    p.drawPath(glass);

    // Screw base.
    const QRectF base(98, 178, 60, detailed ? 34 : 30);
    QLinearGradient metal(base.topLeft(), base.topRight());
    metal.setColorAt(0, QColor(0x8a8f96));
    metal.setColorAt(0.4, QColor(0xeef0f3));
    metal.setColorAt(1, QColor(0x60656c));
    p.setPen(QPen(QColor(0x2b2f35), qMax(3.0, onePixel)));
    p.setBrush(metal);
    p.drawRoundedRect(base, 8, 8);
    if (detailed) {
        p.setPen(QPen(QColor(0x4b5058), 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(102, 190), QPointF(154, 186));
        p.drawLine(QPointF(102, 201), QPointF(154, 197));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2b2f35));
    p.drawChord(QRectF(114, base.bottom() - 10, 28, 22), 180 * 16, 180 * 16);

    if (detailed) {
        QPainterPath letters;
        letters.moveTo(90, 72); // L
        letters.lineTo(90, 124);
        letters.lineTo(116, 124);
        letters.moveTo(122, 72); // W
        letters.lineTo(133, 124);
        letters.lineTo(145, 90);
        letters.lineTo(157, 124);
        letters.lineTo(168, 72);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0x1b2a4a), 12, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.drawPath(letters);
    }

    // Highlight on the glass.
    p.setPen(Qt::NoPen);
    QLinearGradient shine(QPointF(0, 36), QPointF(0, 80));
    shine.setColorAt(0, QColor(255, 255, 255, 200));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(shine);
    p.drawEllipse(QRectF(88, 38, 46, 30));
}

QImage logo(int size)
{
    return render(size, size, 256, 256, [size](QPainter &p) { drawLogo(p, size); });
}
