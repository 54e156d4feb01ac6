#include "switches.h"

#include "paint.h"

#include <QRadialGradient>

void drawSwitch(QPainter &p, qreal width, bool on)
{
    const QRectF track(8, 16, width - 16, 120);
    const qreal radius = track.height() / 2;
    QPainterPath trackPath;
    trackPath.addRoundedRect(track, radius, radius);
    drawRaised(p,
               trackPath,
               blend(track.topLeft(),
                     track.bottomLeft(),
                     on ? 0x24892f : 0x4e4e4e,
                     on ? 0x5fd46b : 0x8c8c8c),
               QPen(QColor(on ? 0x17591e : 0x383838), 4),
               4);

    const qreal knobR = 50;
    const qreal inset = 10;
    const qreal knobX = on ? track.right() - inset - knobR : track.left() + inset + knobR;
    const QPointF knob(knobX, track.center().y());

    // The mark sits in the middle of the free part of the track.
    const qreal freeLeft = on ? track.left() + radius * 0.6 : knob.x() + knobR;
    const qreal freeRight = on ? knob.x() - knobR : track.right() - radius * 0.6;
    const QPointF mark((freeLeft + freeRight) / 2, track.center().y());
    p.setBrush(Qt::NoBrush);
    p.setPen(roundPen(QColor(on ? 0xffffff : 0xe8e8e8), 13));
    if (on)
        p.drawLine(QPointF(mark.x(), mark.y() - 30), QPointF(mark.x(), mark.y() + 30));
    else
        p.drawEllipse(mark, 24, 28);

    QPainterPath knobPath;
    knobPath.addEllipse(knob, knobR, knobR);
    QRadialGradient knobFill(knob, knobR, knob - QPointF(14, 18));
    knobFill.setColorAt(0, QColor(0xffffff));
    knobFill.setColorAt(0.6, QColor(0xe6e6e6));
    knobFill.setColorAt(1, QColor(0xa9a9a9));
    drawRaised(p, knobPath, knobFill, QPen(QColor(0x5a5a5a), 3), 4);
}
