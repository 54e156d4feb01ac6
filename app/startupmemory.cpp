#include "startupmemory.h"

#include "platform/largeblocks.h"

#include <QDirIterator>
#include <QEvent>
#include <QResource>
#include <QTimer>
#include <QWidget>

StartupMemory::StartupMemory(QWidget *window)
    : QObject(window)
{
    window->installEventFilter(this);
}

void StartupMemory::returnNow()
{
    // The program's own images: the window icon at the top, the rest under "res"; the toolkit's
    // resources are elsewhere.
    std::vector<ProgramData> images;
    for (const QString &folder : {QStringLiteral(":/"), QStringLiteral(":/res")}) {
        QDirIterator found(folder, QDir::Files);
        while (found.hasNext()) {
            const QResource resource(found.next());
            if (resource.data() && resource.size() > 0)
                images.push_back({resource.data(), static_cast<std::size_t>(resource.size())});
        }
    }
    returnStartupMemory(images);
}

bool StartupMemory::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && watched == parent()) {
        watched->removeEventFilter(this);
        // After the paint, in which the window's children are painted too.
        QTimer::singleShot(0, this, [this] {
            returnNow();
            deleteLater();
        });
    }
    return false;
}
