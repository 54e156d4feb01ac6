#pragma once

#include <QHash>
#include <QIconEngine>
#include <QList>
#include <QPixmap>
#include <QSize>
#include <QString>

#include <memory>

// An icon made from one image file that decodes nothing until it is drawn, and draws a large
// image at the size it is shown at without keeping it whole. Qt's own engine reads every image
// file in full the moment the icon is made, and keeps it: the form's first images, which the
// channels replace before anything is painted, and the window icon, which an off-screen or
// Wayland window never shows, cost their decoding (and the image plugins) all the same.
//
// What it gives is exactly what Qt's engine gives for the same file: a smaller size is scaled
// from the image as Qt does it, and anything else (the whole image, another file or size added,
// streaming) is handed to Qt's engine, made on first need from the same files.
class LazyIconEngine : public QIconEngine
{
public:
    LazyIconEngine() = default;
    LazyIconEngine(const LazyIconEngine &other);

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    void addPixmap(const QPixmap &pixmap, QIcon::Mode mode, QIcon::State state) override;
    void addFile(const QString &fileName,
                 const QSize &size,
                 QIcon::Mode mode,
                 QIcon::State state) override;
    QString key() const override;
    QIconEngine *clone() const override;
    bool read(QDataStream &in) override;
    bool write(QDataStream &out) const override;
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    bool isNull() override;
    QPixmap scaledPixmap(const QSize &size,
                         QIcon::Mode mode,
                         QIcon::State state,
                         qreal scale) override;
#else
    void virtual_hook(int id, void *data) override;
#endif

private:
    struct File
    {
        QString name;
        QSize size;
        QIcon::Mode mode;
        QIcon::State state;
    };

    // The one PNG file's pixel size when this icon is still that file alone, else invalid.
    QSize singleImageSize();
    // Whether a pixmap of `size` is a smaller copy of the single image, made here.
    bool scalesDown(const QSize &size);
    // Qt's engine, made from the files on first call.
    QIconEngine *full() const;
    QList<QSize> sizes(QIcon::Mode mode, QIcon::State state);
    // Whether there is no image; a file of another format is not read for it.
    bool empty();

    QList<File> files;
    QSize imageSize; // of the single PNG file, read from its header
    bool imageSizeRead = false;
    mutable std::unique_ptr<QIconEngine> fullEngine;
    QHash<QString, QPixmap> scaled; // smaller copies, by size, mode and palette
};
