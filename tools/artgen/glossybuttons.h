#pragma once

#include <QPainter>

struct DiscColours
{
    QRgb centre, middle, edge, outline;
    int sheen;
};

// A round glossy push button in a thin metal ring, centred on a wide transparent canvas.
void drawGlossyDisc(QPainter &p, qreal width, qreal height, const DiscColours &c);
