#pragma once

#include <QIcon>
#include <QImage>
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
