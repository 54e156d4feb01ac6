#pragma once

#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QString>

// Images are compared the way the panel keeps them: as pixmaps, which hold premultiplied pixels.
// Taking a pixmap back to straight ARGB32 loses a little on semi-transparent pixels, by an amount
// that depends on the vector code Qt picks for this processor; in premultiplied form the image
// put through the same conversion is equal to the pixel on every processor.
inline QImage storedForm(const QPixmap &pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// `image` as the panel holds it once it has made a pixmap of it.
inline QImage storedForm(const QImage &image)
{
    return storedForm(QPixmap::fromImage(image));
}

// The image file at `path` as the panel holds it (a null image when there is no such file).
inline QImage storedImage(const QString &path)
{
    const QImage image(path);
    return image.isNull() ? QImage() : storedForm(image);
}

// Whether `label` looks exactly as a plain QLabel draws its pixmap, on its palette and at its
// size: the panel's indicators must, however they paint.
inline bool looksAsPlainLabel(QLabel *label)
{
    QLabel plain;
    plain.setPalette(label->palette());
    plain.setPixmap(label->pixmap(Qt::ReturnByValue));
    plain.resize(label->size());
    return label->grab().toImage().convertToFormat(QImage::Format_RGB32)
           == plain.grab().toImage().convertToFormat(QImage::Format_RGB32);
}
