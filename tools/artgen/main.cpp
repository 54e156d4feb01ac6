// Draws the images of the program's resource collection into the directory given on the
// command line. Every shape is drawn from geometry (no fonts, no files read), so the
// output depends only on this source and the Qt raster engine.

#include "icofile.h"

#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSaveFile>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

using Draw = std::function<void(QPainter &)>;

// Renders `draw`, which works in a design space of `designW` x `designH` units, into a
// transparent image of `w` x `h` pixels.
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

// A soft shadow: concentric translucent copies of `shape`, growing outwards.
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

// A two-colour linear gradient running from `from` to `to`.
QLinearGradient blend(QPointF from, QPointF to, QRgb first, QRgb last)
{
    QLinearGradient g(from, to);
    g.setColorAt(0, QColor(first));
    g.setColorAt(1, QColor(last));
    return g;
}

// A part standing `lift` units above the surface: its shadow, then its filled outline.
void drawRaised(
    QPainter &p, const QPainterPath &shape, const QBrush &fill, const QPen &outline, qreal lift)
{
    softShadow(p, shape, QPointF(0, lift), lift + 2, 80);
    p.setPen(outline);
    p.setBrush(fill);
    p.drawPath(shape);
}

// A white sheen over the upper part of a round shape, the usual "glass" highlight.
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

// ---------------------------------------------------------------- lamp indicators

struct DomeColours
{
    QRgb centre, middle, edge, rim;
    int sheen;
    bool glows;
};

// A glass dome in a metal bezel, seen from the front. Lit domes get a halo so that a
// blinking indicator is noticeable from across the room.
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

// ---------------------------------------------------------------- lamp switch

// A rocker-style toggle: a pill-shaped track with a round knob. Off: grey track, knob
// left, "O" mark. On: green track, knob right, "I" mark. Shown at about a third of its
// size, so every line is thick.
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

// ---------------------------------------------------------------- glossy buttons

struct DiscColours
{
    QRgb centre, middle, edge, outline;
    int sheen;
};

// A round glossy push button in a thin metal ring, centred on a wide transparent canvas.
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

// ---------------------------------------------------------------- small icons

// A window with a side panel holding a tree, for the button that opens the side menu.
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

// A red round button with the power symbol, for leaving the program.
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

// A bold green check mark.
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

// A steel gear with ten teeth.
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

// A toolkit badge reading "Qt", drawn as strokes on a dark rounded plate.
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

// A blue block arrow pointing up, for 48-pixel icons (design space 48 x 48).
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

// ---------------------------------------------------------------- product logo

// A glowing light bulb with the letters "LW" on a dark blue medallion (design space
// 256 x 256). Small renderings leave out the letters and the screw threads, which
// would only blur.
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

// ---------------------------------------------------------------- output

bool writeFile(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        std::fprintf(stderr,
                     "artgen: cannot write %s: %s\n",
                     qPrintable(path),
                     qPrintable(file.errorString()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: artgen OUTPUT_DIRECTORY\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists()) {
        std::fprintf(stderr, "artgen: no such directory: %s\n", argv[1]);
        return 2;
    }

    const DomeColours off{0x8a8a8a, 0x474747, 0x242424, 0x101010, 130, false};
    const DomeColours yellow{0xfffbe0, 0xffe24a, 0xf2b400, 0xa87000, 210, true};
    const DomeColours green{0xeaffdf, 0x5fe05f, 0x1f9f25, 0x0b5a10, 200, true};
    const DomeColours red{0xffe3dc, 0xff5a46, 0xd21e10, 0x700a04, 200, true};

    const DiscColours black{0x5a5a5a, 0x1e1e1e, 0x020202, 0x000000, 150};
    const DiscColours white{0xffffff, 0xf6f6f6, 0xc9c9c9, 0x8a8a8a, 230};
    const DiscColours lightGreen{0xe0ffd2, 0x93ea74, 0x45a92e, 0x2d7a1c, 220};

    struct Png
    {
        const char *name;
        QImage image;
    };
    const auto dome = [](const DomeColours &c) {
        return render(128, [c](QPainter &p) { drawDome(p, c); });
    };
    const auto disc = [](const DiscColours &c) {
        return render(535, 300, 535, 300, [c](QPainter &p) { drawGlossyDisc(p, 535, 300, c); });
    };
    const Png pngs[] = {
        {"VORNA.png", logo(256)},
        {"view-sidetree.png", render(128, drawSideTree)},
        {"application-exit-4.png", render(128, drawExit)},
        {"button-off.png", dome(off)},
        {"button-yellow.png", dome(yellow)},
        {"button-green.png", dome(green)},
        {"button-red.png", dome(red)},
        {"switch-off.png",
         render(349, 152, 349, 152, [](QPainter &p) { drawSwitch(p, 349, false); })},
        {"switch-on.png", render(351, 152, 351, 152, [](QPainter &p) { drawSwitch(p, 351, true); })},
        {"Glossy_Button_Black.png", disc(black)},
        {"Glossy_Button_White.png", disc(white)},
        {"Glossy_Button_Light_Green.png", disc(lightGreen)},
        {"Qt.png", render(211, 176, 211, 176, drawQtBadge)},
        {"dialog-ok-2.png", render(128, drawOk)},
        {"configure-2.png", render(128, drawGear)},
    };

    bool ok = true;
    for (const Png &png : pngs) {
        const QString path = out.filePath(QString::fromLatin1(png.name));
        if (!png.image.save(path, "PNG")) {
            std::fprintf(stderr, "artgen: cannot write %s\n", qPrintable(path));
            ok = false;
        }
    }

    // The desktop's menu icons, in the layout of the hicolor theme they are installed into.
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        const QString path = out.filePath(folder + QStringLiteral("/lumo-win.png"));
        if (!out.mkpath(folder) || !logo(size).save(path, "PNG")) {
            std::fprintf(stderr, "artgen: cannot write %s\n", qPrintable(path));
            ok = false;
        }
    }

    ok &= writeFile(out.filePath("VORNA.ico"),
                    icoFile({logo(256), logo(48), logo(32), logo(24), logo(16)}));
    const QImage up = render(48, 48, 48, 48, drawArrowUp);
    ok &= writeFile(out.filePath("arrow-up.ico"), icoFile({up}));
    ok &= writeFile(out.filePath("arrow-down.ico"),
                    icoFile({up.transformed(QTransform().rotate(180))}));
    return ok ? 0 : 1;
}
