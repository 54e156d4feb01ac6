#pragma once

#include <QPainter>

struct DomeColours
{
    QRgb centre, middle, edge, rim;
    int sheen;
    bool glows;
};

// A glass dome in a metal bezel, seen from the front, for the lamp indicators. Lit domes
// get a halo so that a blinking indicator is noticeable from across the room.
void drawDome(QPainter &p, const DomeColours &c);
