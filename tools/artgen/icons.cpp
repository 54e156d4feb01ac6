#include "icons.h"

#include "paint.h"

#include <QRadialGradient>

#include <cmath>

void drawSideTree(QPainter &p)
{
    const QRectF frame(10, 16, 108, 96);
    QPainterPath framePath;
    framePath.addRoundedRect(frame, 10, 10);
    softShadow(p, framePath, QPointF(0, 3), 4, 70);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xfbfbfb));
    p.drawPath(framePath);

    p.save();
    p.setClipPath(framePath);
    p.setBrush(blend(QPointF(0, 16), QPointF(0, 34), 0x5b86c5, 0x3a649f));
    p.drawRect(QRectF(10, 16, 108, 18));
    p.setBrush(QColor(0xdbe6f4));
    p.drawRect(QRectF(10, 34, 46, 78));
    p.restore();

    p.setPen(QPen(QColor(0x9fb4cf), 3));
    p.drawLine(QPointF(56, 34), QPointF(56, 112));

    // The tree: two top-level nodes, the first one open with two children.
    p.setPen(roundPen(QColor(0x3a649f), 3));
    p.drawLine(QPointF(22, 50), QPointF(22, 90));
    p.drawLine(QPointF(22, 64), QPointF(30, 64));
    p.drawLine(QPointF(22, 78), QPointF(30, 78));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3a649f));
    for (const QPointF &node : {QPointF(22, 46), QPointF(22, 94)})
        p.drawRoundedRect(QRectF(node.x() - 6, node.y() - 6, 12, 12), 2, 2);
    p.setBrush(QColor(0x6d96cf));
    for (const QPointF &node : {QPointF(35, 64), QPointF(35, 78)})
        p.drawRoundedRect(QRectF(node.x() - 5, node.y() - 5, 10, 10), 2, 2);
    p.setBrush(QColor(0x8fa3bd));
    p.drawRoundedRect(QRectF(31, 43, 18, 6), 3, 3);
    p.drawRoundedRect(QRectF(43, 61, 8, 6), 3, 3);
    p.drawRoundedRect(QRectF(43, 75, 8, 6), 3, 3);
    p.drawRoundedRect(QRectF(31, 91, 18, 6), 3, 3);

    p.setBrush(QColor(0xc3ccd8));
    const qreal lines[][2] = {{44, 48}, {58, 38}, {72, 44}, {86, 30}};
    for (const auto &line : lines)
        p.drawRoundedRect(QRectF(64, line[0], line[1], 7), 3.5, 3.5);

    p.setPen(QPen(QColor(0x2c3e57), 4));
    p.setBrush(Qt::NoBrush);
    p.drawPath(framePath);
}

void drawExit(QPainter &p)
{
    const QPointF centre(64, 64);
    QPainterPath disc;
    disc.addEllipse(centre, 54, 54);
    QRadialGradient fill(centre + QPointF(0, 18), 70);
    fill.setColorAt(0, QColor(0xff6a55));
    fill.setColorAt(0.6, QColor(0xdd2a18));
    fill.setColorAt(1, QColor(0x8e1309));
    drawRaised(p, disc, fill, QPen(QColor(0x6e0d06), 3), 3);

    // Power symbol: a ring open at the top with a bar through the gap.
    p.setBrush(Qt::NoBrush);
    p.setPen(roundPen(QColor(0xffffff), 11));
    p.drawArc(QRectF(36, 40, 56, 56), 120 * 16, 300 * 16);
    p.drawLine(QPointF(64, 30), QPointF(64, 64));

    glassHighlight(p, centre, 50, 150);
}

void drawOk(QPainter &p)
{
    QPainterPath check;
    check.moveTo(22, 66);
    check.lineTo(52, 96);
    check.lineTo(108, 32);

    p.setBrush(Qt::NoBrush);
    p.setPen(roundPen(QColor(0, 0, 0, 60), 28));
    p.drawPath(check.translated(0, 3));
    p.setPen(roundPen(QColor(0x1d6b1f), 28));
    p.drawPath(check);
    p.setPen(QPen(blend(QPointF(0, 30), QPointF(0, 100), 0x9cf07a, 0x2e9e2e),
                  19,
                  Qt::SolidLine,
                  Qt::RoundCap,
                  Qt::RoundJoin));
    p.drawPath(check);
}

void drawGear(QPainter &p)
{
    const QPointF centre(64, 64);
    const int teeth = 10;
    const qreal outer = 56;
    const qreal root = 44;
    QPainterPath gear;
    for (int i = 0; i < teeth; ++i) {
        const qreal step = 2 * M_PI / teeth;
        const qreal a = i * step - M_PI / 2;
        // Root arc, then the tooth flanks; the tip is narrower than the base.
        const QPointF points[] = {
            centre + QPointF(std::cos(a - step * 0.30), std::sin(a - step * 0.30)) * root,
            centre + QPointF(std::cos(a - step * 0.17), std::sin(a - step * 0.17)) * outer,
            centre + QPointF(std::cos(a + step * 0.17), std::sin(a + step * 0.17)) * outer,
            centre + QPointF(std::cos(a + step * 0.30), std::sin(a + step * 0.30)) * root,
        };
        if (i == 0)
            gear.moveTo(points[0]);
        else
            gear.lineTo(points[0]);
        for (int k = 1; k < 4; ++k)
            gear.lineTo(points[k]);
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(centre, 17, 17);
    gear = gear.subtracted(hole);

    const QPointF lit(20, 10);
    const QPointF shaded(108, 118);
    drawRaised(p,
               gear,
               blend(lit, shaded, 0xe3e7ec, 0x6f7884),
               QPen(QColor(0x3e4650), 3, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin),
               3);
    p.setPen(QPen(blend(lit, shaded, 0x7d8692, 0xdde2e8), 5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, 29, 29);
}

void drawQtBadge(QPainter &p)
{
    const QRectF plate(6, 8, 199, 160);
    QPainterPath platePath;
    platePath.addRoundedRect(plate, 30, 30);
    drawRaised(p,
               platePath,
               blend(plate.topLeft(), plate.bottomLeft(), 0x3b4f63, 0x1a2632),
               QPen(QColor(0x0f1820), 3),
               3);

    const QColor letter(0x8fe063);
    p.setBrush(Qt::NoBrush);
    p.setPen(roundPen(letter, 17));
    // Q: an oval with a tail through its lower right.
    const QPointF q(80, 86);
    p.drawEllipse(q, 34, 42);
    p.drawLine(q + QPointF(14, 22), q + QPointF(38, 50));
    // t: a stem curving right at its foot, and a cross bar.
    QPainterPath t;
    t.moveTo(146, 50);
    t.lineTo(146, 112);
    t.quadTo(146, 128, 164, 128);
    t.lineTo(170, 128);
    p.drawPath(t);
    p.drawLine(QPointF(130, 78), QPointF(168, 78));

    QPainterPath sheen;
    sheen.addRoundedRect(plate.adjusted(4, 4, -4, -plate.height() * 0.55), 26, 26);
    QLinearGradient shine(plate.topLeft(), plate.topLeft() + QPointF(0, plate.height() * 0.45));
    shine.setColorAt(0, QColor(255, 255, 255, 60));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawPath(sheen);
}

void drawArrowUp(QPainter &p)
{
    const QPolygonF arrow({QPointF(24, 4),
                           QPointF(44, 25),
                           QPointF(32, 25),
                           QPointF(32, 44),
                           QPointF(16, 44),
                           QPointF(16, 25),
                           QPointF(4, 25)});
    QPainterPath path;
    path.addPolygon(arrow);
    path.closeSubpath();
    drawRaised(p,
               path,
               blend(QPointF(0, 4), QPointF(0, 44), 0x7ab4ff, 0x1f5cb8),
               QPen(QColor(0x143e7d), 2, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin),
               1);
}
