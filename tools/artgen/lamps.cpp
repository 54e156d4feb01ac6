#include "lamps.h"

#include "paint.h"

#include <QRadialGradient>

void drawDome(QPainter &p, const DomeColours &c)
{
    const QPointF centre(64, 64);
    if (c.glows) {
        QRadialGradient halo(centre, 63);
        halo.setColorAt(0.70, rgba(c.middle, 200));
        halo.setColorAt(0.85, rgba(c.middle, 90));
        halo.setColorAt(1.00, rgba(c.middle, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(halo);
        p.drawEllipse(centre, 63, 63);
    } else {
        QPainterPath disc;
        disc.addEllipse(centre, 50, 50);
        softShadow(p, disc, QPointF(0, 3), 5, 70);
    }

    const QPointF lit(30, 20);
    const QPointF shaded(98, 108);
    p.setPen(QPen(QColor(0x4a4a4a), 1.5));
    p.setBrush(blend(lit, shaded, 0xf4f4f4, 0x6c6c6c));
    p.drawEllipse(centre, 50, 50);
    p.setPen(Qt::NoPen);
    p.setBrush(blend(lit, shaded, 0x5e5e5e, 0xe0e0e0));
    p.drawEllipse(centre, 46, 46);

    QRadialGradient glass(centre, 43, QPointF(56, 52));
    glass.setColorAt(0.00, QColor(c.centre));
    glass.setColorAt(0.45, QColor(c.middle));
    glass.setColorAt(0.85, QColor(c.edge));
    glass.setColorAt(1.00, QColor(c.rim));
    p.setBrush(glass);
    p.drawEllipse(centre, 43, 43);

    glassHighlight(p, centre, 40, c.sheen);

    // Light caught at the lower edge of the glass.
    QRadialGradient catchLight(QPointF(64, 100), 26);
    catchLight.setColorAt(0, QColor(255, 255, 255, c.sheen / 3));
    catchLight.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(catchLight);
    p.drawEllipse(QRectF(40, 88, 48, 16));
}
