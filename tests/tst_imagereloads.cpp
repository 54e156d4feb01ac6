// The indicator blinks ten times a second and every lock, unlock and report sets images again:
// each must be decoded once, not again each time it is shown.
#include "app/mainwindow.h"
#include "app/startupmemory.h"
#include "channel/channel.h"
#include "platform/largeblocks.h"
#include "support/pngreads.h"
#include "support/panelfixture.h"

#include <QDirIterator>
#include <QPixmap>
#include <QPixmapCache>
#include <QtTest>

#include <cstdlib>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

const ChannelAddress Receiver = {0x11, 0x22, 0x33};

// Before the application object, as the program does: set any later, the allocator may already
// have raised its thresholds for the images earlier tests decoded, and hand this test a block
// from the free heap they left.
const bool largeBlocksReturned = (returnLargeBlocksWhenFreed(), true);

} // namespace

class TestImageReloads : public QObject
{
    Q_OBJECT

private slots:
    void probeSeesDecodes();
    void channelImagesAreDecodedOnce();
    void decodedArtworkGoesBackToTheSystem();
    void imagesReadTheSameAfterTheirPagesGoBack();
};

// The counter itself: an image never shown is decoded once, then comes from the cache.
void TestImageReloads::probeSeesDecodes()
{
    const long before = pngReadsStarted();
    QVERIFY(!QPixmap(":/res/button-red.png").isNull());
    QCOMPARE(pngReadsStarted() - before, 1L);
    QVERIFY(!QPixmap(":/res/button-red.png").isNull());
    QCOMPARE(pngReadsStarted() - before, 1L);
}

void TestImageReloads::channelImagesAreDecodedOnce()
{
    PanelFixture panel;
    panel.log(); // quiet
    // Channels 2 to 4 have no receiver: each lock and unlock shows their black button again.
    QVERIFY(panel.open("11 22 33\n"));
    QVERIFY(panel.show());
    MainWindow &window = *panel.window();
    Channel &channel = window.channel(0);

    auto deliver = [&panel](quint8 state) { panel.receive(reportBytes(Receiver, state)); };
    // Shows every image a channel has: green, white and black buttons, both switch images, both
    // indicator images, through presses, blinking ticks, reports and a deactivation.
    auto cycle = [&] {
        channel.onActivePressed();
        for (int tick = 0; tick < 4; ++tick)
            window.onTimerTick();
        deliver(Telegram::LampOn);
        channel.onLampPressed();
        for (int tick = 0; tick < 4; ++tick)
            window.onTimerTick();
        deliver(Telegram::LampOff);
        channel.setActive(false);
        window.enableChannels(true);
        QCoreApplication::processEvents(); // paints what changed
    };

    cycle();
    QVERIFY(!channel.isActive());
    // As after a long session, when Qt's pixmap cache has been filled with other images: what
    // the channels show must not depend on it.
    const int cacheLimit = QPixmapCache::cacheLimit();
    QPixmapCache::setCacheLimit(1);
    const long before = pngReadsStarted();
    for (int round = 0; round < 20; ++round)
        cycle();
    QPixmapCache::setCacheLimit(cacheLimit);
    QCOMPARE(pngReadsStarted() - before, 0L);
}

// A full-size decode of the button artwork is held for a moment only: its memory is taken from
// the system and given back each time, not kept by the allocator once one has been freed.
void TestImageReloads::decodedArtworkGoesBackToTheSystem()
{
#if defined(LUMO_SANITIZED)
    QSKIP("the sanitizers bring an allocator of their own");
#elif defined(__GLIBC__)
    QVERIFY(largeBlocksReturned);
    for (int round = 0; round < 2; ++round) {
        const size_t mapped = mallinfo2().hblkhd;
        const QImage artwork(535, 300, QImage::Format_ARGB32);
        QVERIFY(mallinfo2().hblkhd >= mapped + size_t(artwork.sizeInBytes()));
    }
#else
    QSKIP("only glibc's allocator keeps freed blocks this large");
#endif
}

// After the first paint the pages of the images in the program file go back to the system: read
// again, every image file and every picture must be as before.
void TestImageReloads::imagesReadTheSameAfterTheirPagesGoBack()
{
    const auto readAll = [] {
        QStringList paths{":/VORNA.ico"};
        QDirIterator found(":/res", QDir::Files);
        while (found.hasNext())
            paths << found.next();
        QList<QByteArray> files;
        for (const QString &path : paths) {
            QFile file(path);
            files << (file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
        }
        return files;
    };
    const QList<QByteArray> before = readAll();
    QVERIFY(before.size() > 10 && !before.contains(QByteArray()));
    const QImage lamp(":/res/button-yellow.png");
    StartupMemory::returnNow();
    QCOMPARE(QImage(":/res/button-yellow.png"), lamp);
    QCOMPARE(readAll(), before);
}

QTEST_MAIN(TestImageReloads)
#include "tst_imagereloads.moc"
