#include "lazyiconengine.h"

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QtEndian>
#include <QtGui/private/qicon_p.h> // Qt's own engine, to hand everything else to

LazyIconEngine::LazyIconEngine(const LazyIconEngine &other)
    : QIconEngine(other)
    , files(other.files)
    , imageSize(other.imageSize)
    , imageSizeRead(other.imageSizeRead)
    , fullEngine(other.fullEngine ? other.fullEngine->clone() : nullptr)
    , scaled(other.scaled)
{}

QSize LazyIconEngine::singleImageSize()
{
    if (fullEngine || files.size() != 1 || files[0].size.isValid() || files[0].mode != QIcon::Normal
        || files[0].state != QIcon::Off
        || !files[0].name.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        return {};
    if (!imageSizeRead) {
        imageSizeRead = true;
        // The size from the file's header (the IHDR chunk, always first), without the PNG reader.
        QFile file(files[0].name);
        const QByteArray head = file.open(QIODevice::ReadOnly) ? file.read(24) : QByteArray();
        if (head.size() == 24 && head.startsWith("\x89PNG\r\n\x1a\n") && head.mid(12, 4) == "IHDR") {
            const auto *bytes = reinterpret_cast<const uchar *>(head.constData());
            imageSize = QSize(int(qFromBigEndian<quint32>(bytes + 16)),
                              int(qFromBigEndian<quint32>(bytes + 20)));
        }
    }
    return imageSize;
}

bool LazyIconEngine::scalesDown(const QSize &size)
{
    const QSize image = singleImageSize();
    return !image.isEmpty() && !size.isEmpty()
           && (image.width() > size.width() || image.height() > size.height());
}

QIconEngine *LazyIconEngine::full() const
{
    if (!fullEngine) {
        fullEngine = std::make_unique<QPixmapIconEngine>();
        for (const File &file : files)
            fullEngine->addFile(file.name, file.size, file.mode, file.state);
    }
    return fullEngine.get();
}

QList<QSize> LazyIconEngine::sizes(QIcon::Mode mode, QIcon::State state)
{
    const QSize image = singleImageSize();
    if (image.isValid())
        return mode == QIcon::Normal && state == QIcon::Off && !image.isEmpty()
                   ? QList<QSize>{image}
                   : QList<QSize>{};
    return full()->availableSizes(mode, state);
}

bool LazyIconEngine::empty()
{
    if (files.isEmpty() && !fullEngine)
        return true; // Qt 6 asks right after the plugin made it, before adding the file
    const QSize image = singleImageSize();
    if (image.isValid())
        return image.isEmpty();
    if (!fullEngine && files.size() == 1) // another format: not read before it is drawn
        return !QFile::exists(files[0].name);
    return full()->isNull();
}

QSize LazyIconEngine::actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state)
{
    const QSize image = singleImageSize();
    if (!image.isValid())
        return full()->actualSize(size, mode, state);
    return scalesDown(size) ? image.scaled(size, Qt::KeepAspectRatio) : image;
}

QPixmap LazyIconEngine::pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state)
{
    if (!scalesDown(size))
        return full()->pixmap(size, mode, state);
    const QSize shown = singleImageSize().scaled(size, Qt::KeepAspectRatio);
    const QString key = QStringLiteral("%1x%2 %3 %4")
                            .arg(shown.width())
                            .arg(shown.height())
                            .arg(int(mode))
                            .arg(mode == QIcon::Normal ? 0 : QGuiApplication::palette().cacheKey());
    auto found = scaled.constFind(key);
    if (found != scaled.constEnd())
        return *found;
    QPixmap result;
    if (mode == QIcon::Normal) {
        // As Qt's engine makes it: a pixmap of the whole image, scaled smoothly. Only the copy
        // is kept.
        // Named as PNG: Qt would otherwise ask each image plugin whether it reads the file.
        QImageReader reader(files[0].name, "png");
        reader.setAutoDetectImageFormat(false);
        result = QPixmap::fromImage(reader.read())
                     .scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else {
        // The other modes are made from the normal one by the style, as Qt's engine does.
        result = pixmap(size, QIcon::Normal, state);
        QStyleOption option(0);
        option.palette = QGuiApplication::palette();
        const QPixmap generated = QApplication::style()->generatedIconPixmap(mode, result, &option);
        if (!generated.isNull())
            result = generated;
    }
    scaled.insert(key, result);
    return result;
}

void LazyIconEngine::paint(QPainter *painter,
                           const QRect &rect,
                           QIcon::Mode mode,
                           QIcon::State state)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatio()
                                          : qApp->devicePixelRatio();
#else
    const qreal ratio = qApp->testAttribute(Qt::AA_UseHighDpiPixmaps) ? qApp->devicePixelRatio()
                                                                      : 1.0;
#endif
    const QSize wanted = rect.size() * ratio;
    if (!scalesDown(wanted)) {
        full()->paint(painter, rect, mode, state);
        return;
    }
    painter->drawPixmap(rect, pixmap(wanted, mode, state));
}

void LazyIconEngine::addPixmap(const QPixmap &pixmap, QIcon::Mode mode, QIcon::State state)
{
    full()->addPixmap(pixmap, mode, state);
    scaled.clear();
}

void LazyIconEngine::addFile(const QString &fileName,
                             const QSize &size,
                             QIcon::Mode mode,
                             QIcon::State state)
{
    if (fileName.isEmpty())
        return;
    if (fullEngine)
        fullEngine->addFile(fileName, size, mode, state);
    files.append({fileName, size, mode, state});
    imageSizeRead = false;
    imageSize = QSize();
    scaled.clear();
}

QString LazyIconEngine::key() const
{
    return full()->key(); // written with what write() writes, Qt's engine's data
}

QIconEngine *LazyIconEngine::clone() const
{
    return new LazyIconEngine(*this);
}

bool LazyIconEngine::read(QDataStream &in)
{
    files.clear();
    scaled.clear();
    return full()->read(in);
}

bool LazyIconEngine::write(QDataStream &out) const
{
    return full()->write(out);
}

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
QList<QSize> LazyIconEngine::availableSizes(QIcon::Mode mode, QIcon::State state)
{
    return sizes(mode, state);
}

bool LazyIconEngine::isNull()
{
    return empty();
}

QPixmap LazyIconEngine::scaledPixmap(const QSize &size,
                                     QIcon::Mode mode,
                                     QIcon::State state,
                                     qreal scale)
{
    return scalesDown(size) ? pixmap(size, mode, state)
                            : full()->scaledPixmap(size, mode, state, scale);
}
#else
void LazyIconEngine::virtual_hook(int id, void *data)
{
    switch (id) {
    case AvailableSizesHook: {
        auto &argument = *static_cast<AvailableSizesArgument *>(data);
        argument.sizes = sizes(argument.mode, argument.state);
        return;
    }
    case IsNullHook:
        *static_cast<bool *>(data) = empty();
        return;
    case ScaledPixmapHook: {
        auto &argument = *static_cast<ScaledPixmapArgument *>(data);
        if (scalesDown(argument.size))
            argument.pixmap = pixmap(argument.size, argument.mode, argument.state);
        else
            full()->virtual_hook(id, data);
        return;
    }
    default:
        if (fullEngine)
            fullEngine->virtual_hook(id, data);
        else
            QIconEngine::virtual_hook(id, data); // nothing of the files needed (the icon's name)
    }
}
#endif
