#pragma once

#include <QImage>
#include <QPainter>

// The product logo: a glowing light bulb with the letters "LW" on a dark blue medallion
// (design space 256 x 256), used for the window icon, the Windows icon and the desktop's
// hicolor icons. Small renderings leave out the letters and the screw threads, which
// would only blur.
void drawLogo(QPainter &p, int pixelSize);
// The logo as a square image of `size` pixels.
QImage logo(int size);
