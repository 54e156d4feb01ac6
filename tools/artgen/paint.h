#pragma once

#include <QBrush>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <functional>

// Drawing helpers shared by every family of images.

using Draw = std::function<void(QPainter &)>;

// Renders `draw`, which works in a design space of `designW` x `designH` units, into a
// transparent image of `w` x `h` pixels.
QImage render(int w, int h, qreal designW, qreal designH, const Draw &draw);
// A square image of `size` pixels from a design space of 128 x 128 units.
QImage render(int size, const Draw &draw);

QColor rgba(QRgb rgb, int alpha);
QPen roundPen(const QColor &color, qreal width);

// A soft shadow: concentric translucent copies of `shape`, growing outwards.
void softShadow(QPainter &p, const QPainterPath &shape, QPointF offset, qreal spread, int alpha);

// A two-colour linear gradient running from `from` to `to`.
QLinearGradient blend(QPointF from, QPointF to, QRgb first, QRgb last);

// A part standing `lift` units above the surface: its shadow, then its filled outline.
void drawRaised(
    QPainter &p, const QPainterPath &shape, const QBrush &fill, const QPen &outline, qreal lift);

// A white sheen over the upper part of a round shape, the usual "glass" highlight.
void glassHighlight(QPainter &p, QPointF centre, qreal radius, int alpha);
