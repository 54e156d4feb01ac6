#pragma once

#include <QPainter>

// The small icons of the menu, the top bar and the dialogs (design space 128 x 128 unless
// noted).

// A window with a side panel holding a tree, for the button that opens the side menu.
void drawSideTree(QPainter &p);
// A red round button with the power symbol, for leaving the program.
void drawExit(QPainter &p);
// A bold green check mark.
void drawOk(QPainter &p);
// A steel gear with ten teeth.
void drawGear(QPainter &p);
// A toolkit badge reading "Qt", drawn as strokes on a dark rounded plate (design space
// 211 x 176).
void drawQtBadge(QPainter &p);
// A blue block arrow pointing up, for 48-pixel icons (design space 48 x 48).
void drawArrowUp(QPainter &p);
