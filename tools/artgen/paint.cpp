#include "paint.h"

QImage render(int w, int h, qreal designW, qreal designH, const Draw &draw)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    // Fixed resolution so the pHYs chunk never depends on the machine.
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(w / designW, h / designH);
    draw(p);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage render(int size, const Draw &draw)
{
    return render(size, size, 128, 128, draw);
}

QColor rgba(QRgb rgb, int alpha)
{
    QColor c(rgb);
    c.setAlpha(alpha);
    return c;
}

QPen roundPen(const QColor &color, qreal width)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void softShadow(QPainter &p, const QPainterPath &shape, QPointF offset, qreal spread, int alpha)
{
    p.save();
    p.setPen(Qt::NoPen);
    const int steps = 6;
    for (int i = steps; i >= 1; --i) {
        QPainterPathStroker stroker;
        stroker.setWidth(2 * spread * i / steps);
        stroker.setJoinStyle(Qt::RoundJoin);
        p.setBrush(QColor(0, 0, 0, alpha / steps));
        p.drawPath((stroker.createStroke(shape) + shape).translated(offset));
    }
    p.restore();
}

QLinearGradient blend(QPointF from, QPointF to, QRgb first, QRgb last)
{
    QLinearGradient g(from, to);
    g.setColorAt(0, QColor(first));
    g.setColorAt(1, QColor(last));
    return g;
}

void drawRaised(
    QPainter &p, const QPainterPath &shape, const QBrush &fill, const QPen &outline, qreal lift)
{
    softShadow(p, shape, QPointF(0, lift), lift + 2, 80);
    p.setPen(outline);
    p.setBrush(fill);
    p.drawPath(shape);
}

void glassHighlight(QPainter &p, QPointF centre, qreal radius, int alpha)
{
    const QRectF sheen(centre.x() - radius * 0.78,
                       centre.y() - radius * 0.93,
                       radius * 1.56,
                       radius * 1.0);
    QLinearGradient g(sheen.topLeft(), sheen.bottomLeft());
    g.setColorAt(0, QColor(255, 255, 255, alpha));
    g.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(sheen);
}
