#include "glossybuttons.h"

#include "paint.h"

#include <QRadialGradient>

void drawGlossyDisc(QPainter &p, qreal width, qreal height, const DiscColours &c)
{
    const QPointF centre(width / 2, height / 2 - 2);
    const qreal outer = 136;
    const qreal inner = 125;

    QPainterPath ring;
    ring.addEllipse(centre, outer, outer);
    drawRaised(p,
               ring,
               blend(centre - QPointF(0, outer), centre + QPointF(0, outer), 0xf6f6f6, 0x707070),
               QPen(QColor(0x505050), 2.5),
               5);

    QRadialGradient body(centre + QPointF(0, inner * 0.45), inner * 1.35);
    body.setColorAt(0.0, QColor(c.centre));
    body.setColorAt(0.5, QColor(c.middle));
    body.setColorAt(1.0, QColor(c.edge));
    p.setPen(QPen(QColor(c.outline), 3));
    p.setBrush(body);
    p.drawEllipse(centre, inner, inner);

    p.save();
    QPainterPath clip;
    clip.addEllipse(centre, inner - 2, inner - 2);
    p.setClipPath(clip);
    glassHighlight(p, centre, inner, c.sheen);
    p.restore();
}
