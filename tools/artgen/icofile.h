#pragma once

#include <QByteArray>
#include <QImage>
#include <QVector>

// Builds a Windows .ico file from square images of at most 256 pixels. A 256-pixel
// image is stored as PNG (as Windows Vista and later expect), smaller ones as
// 32-bit DIBs with an AND mask so that older readers still get transparency.
QByteArray icoFile(const QVector<QImage> &images);
