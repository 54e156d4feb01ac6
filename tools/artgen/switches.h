#pragma once

#include <QPainter>

// The lamp switch: a rocker-style toggle, a pill-shaped track with a round knob. Off: grey
// track, knob left, "O" mark. On: green track, knob right, "I" mark. Shown at about a
// third of its size, so every line is thick.
void drawSwitch(QPainter &p, qreal width, bool on);
