#include "lampindicator.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QStringBuilder>
#include <QStyle>
#include <QtGui/private/qhexstring_p.h> // QPixmap's own cache keys
#include <QtGui/qpa/qplatformpixmap.h>

#include <cmath>
#include <optional>

namespace {

// The two images, each decoded once when first shown, and their prepared copies by colour,
// pixel ratio and image.
struct LampImages
{
    QPixmap images[2];
    QHash<quint64, QPixmap> prepared;
};

LampImages &lampImages()
{
    static LampImages lamps;
    static const bool cleared = [] {
        // No pixmap may outlive the application object.
        qAddPostRoutine([] {
            lamps.images[0] = lamps.images[1] = QPixmap();
            lamps.prepared.clear();
        });
        return true;
    }();
    Q_UNUSED(cleared)
    return lamps;
}

// The key under which QPixmap(path) looks for the file in Qt's pixmap cache.
QString pixmapCacheKey(const QString &path)
{
    const QFileInfo info(path);
    return QLatin1String("qt_pixmap") % info.absoluteFilePath()
           % HexString<uint>(info.lastModified().toSecsSinceEpoch())
           % HexString<quint64>(info.size()) % HexString<uint>(QPlatformPixmap::PixmapType);
}

const QPixmap &lampImage(bool lit)
{
    QPixmap &image = lampImages().images[lit ? 1 : 0];
    if (image.isNull()) {
        const QString path = QLatin1String(lit ? ":/res/button-yellow.png" : ":/res/button-off.png");
        // Read as PNG only: QPixmap(path) would first load every image plugin to ask it
        // whether it reads the file. The same pixels as QPixmap(path) gives, and kept where
        // QPixmap(path) looks first, so that the form's indicators take this very pixmap.
        QImageReader reader(path, "png");
        reader.setAutoDetectImageFormat(false);
        image = QPixmap::fromImage(reader.read());
        QPixmapCache::insert(pixmapCacheKey(path), image);
    }
    return image;
}

// The colour under the label: the window's background, when it is one opaque colour that no
// widget between the window and the label paints over.
std::optional<QColor> solidBackground(const QWidget *label)
{
    if (!qApp->styleSheet().isEmpty())
        return std::nullopt;
    for (const QWidget *w = label; w; w = w->parentWidget()) {
        if (!w->styleSheet().isEmpty() || w->testAttribute(Qt::WA_StyledBackground))
            return std::nullopt;
        if (!w->isWindow() && !w->autoFillBackground())
            continue;
        if (w->isWindow()
            && (w->testAttribute(Qt::WA_TranslucentBackground)
                || w->testAttribute(Qt::WA_NoSystemBackground)
                || w->testAttribute(Qt::WA_OpaquePaintEvent)))
            return std::nullopt;
        const QBrush brush = w->palette().brush(w->autoFillBackground() ? w->backgroundRole()
                                                                        : QPalette::Window);
        if (brush.style() != Qt::SolidPattern || !brush.isOpaque())
            return std::nullopt;
        return brush.color();
    }
    return std::nullopt;
}

} // namespace

LampIndicator::LampIndicator(QLabel *label)
    : QObject(label)
    , label(label)
{
    label->installEventFilter(this);
}

void LampIndicator::decodeOffImage()
{
    lampImage(false);
}

void LampIndicator::show(bool lit)
{
    const QPixmap &image = lampImage(lit);
    const QPixmap current = label->pixmap(Qt::ReturnByValue);
    if (current.cacheKey() == image.cacheKey())
        return;
    if (current.size() != image.size() || current.devicePixelRatio() != image.devicePixelRatio()
        || label->isHidden()) {
        label->setPixmap(image);
        return;
    }
    // QLabel asks its parent's layout to be done again for every new pixmap, though one of the
    // same size changes no size; a hidden widget asks nothing. So it is marked hidden for the
    // moment of the swap only: no event is sent meanwhile, and it is repainted all the same.
    label->setAttribute(Qt::WA_WState_Hidden, true);
    label->setPixmap(image);
    label->setAttribute(Qt::WA_WState_Hidden, false);
    QPoint at;
    preparedCopy(true, &at); // before the paint: a widget cannot draw itself while it paints
}

bool LampIndicator::eventFilter(QObject *watched, QEvent *event)
{
    return watched == label && event->type() == QEvent::Paint && !preparing && paintPrepared();
}

// Paints as QLabel would, from the prepared copy; false when there is none.
bool LampIndicator::paintPrepared()
{
    QPoint at;
    const QPixmap *copy = preparedCopy(false, &at);
    if (!copy)
        return false;
    QPainter painter(label);
    painter.drawPixmap(at, *copy);
    return true;
}

const QPixmap *LampIndicator::preparedCopy(bool make, QPoint *at)
{
    if (!label->isEnabled() || label->hasScaledContents() || label->frameWidth() != 0
        || QPixmap::defaultDepth() < 24 || !label->isVisible())
        return nullptr;
    LampImages &lamps = lampImages();
    const qint64 shownKey = label->pixmap(Qt::ReturnByValue).cacheKey();
    int shown = -1;
    if (shownKey == lampImage(false).cacheKey())
        shown = 0;
    else if (!lamps.images[1].isNull() && shownKey == lamps.images[1].cacheKey())
        shown = 1;
    const qreal ratio = label->devicePixelRatioF();
    const std::optional<QColor> background = solidBackground(label);
    if (shown < 0 || !background || ratio != std::floor(ratio) || ratio < 1 || ratio > 16)
        return nullptr;
    const QPixmap &image = lamps.images[shown];
    const int margin = label->margin();
    const QRect contents = label->contentsRect().adjusted(margin, margin, -margin, -margin);
    const QRect place = QStyle::alignedRect(QGuiApplication::layoutDirection(),
                                            QStyle::visualAlignment(label->layoutDirection(),
                                                                    label->alignment()),
                                            image.size() / image.devicePixelRatio(),
                                            contents);
    if (!contents.contains(place))
        return nullptr;
    *at = place.topLeft();
    const quint64 key = (quint64(background->rgba()) << 8) | (quint64(ratio) << 1) | quint64(shown);
    auto found = lamps.prepared.constFind(key);
    if (found != lamps.prepared.constEnd())
        return &*found;
    if (!make)
        return nullptr;
    // Drawn by the label itself onto the background, so that the image is scaled to the pixel
    // ratio exactly as the label does it.
    QPixmap copy(place.size() * ratio);
    copy.setDevicePixelRatio(ratio);
    copy.fill(*background);
    preparing = true;
    label->render(&copy, QPoint(), QRegion(place), QWidget::RenderFlags());
    preparing = false;
    return &*lamps.prepared.insert(key, copy);
}
