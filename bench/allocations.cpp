// Counts heap allocations on the receive path: TransmitterLink::receiveBytes over many frames and
// bytes of each kind of traffic. malloc and friends are replaced for the whole program (operator
// new goes through malloc), and counted only while `counting` is set.
#include "benchsupport.h"

#include "app/mainwindow.h"
#include "link/transmitterlink.h"
#include "channel/channel.h"

#include <QApplication>

#include <atomic>
#include <cstdio>
#include <random>

extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
void *__libc_memalign(size_t, size_t);
void __libc_free(void *);
}

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

inline void count()
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

extern "C" {
void *malloc(size_t size)
{
    count();
    return __libc_malloc(size);
}
void *calloc(size_t n, size_t size)
{
    count();
    return __libc_calloc(n, size);
}
void *realloc(void *p, size_t size)
{
    count();
    return __libc_realloc(p, size);
}
void *memalign(size_t alignment, size_t size)
{
    count();
    return __libc_memalign(alignment, size);
}
void *aligned_alloc(size_t alignment, size_t size)
{
    count();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void **p, size_t alignment, size_t size)
{
    count();
    *p = __libc_memalign(alignment, size);
    return *p ? 0 : 12; // ENOMEM
}
void free(void *p)
{
    __libc_free(p);
}
}

namespace {

const ChannelAddress Confirmed = {0x12, 0x34, 0x56};
const ChannelAddress Inactive = {0xA0, 0xA1, 0xA2};

// Allocations made while receiving `stream`, fed in pieces of `piece` bytes as readyRead would.
long allocationsFor(MainWindow &window, const QByteArray &stream, int piece)
{
    allocations = 0;
    counting = true;
    for (int at = 0; at < stream.size(); at += piece)
        window.link().receiveBytes(stream.constData() + at, qMin(piece, stream.size() - at));
    counting = false;
    return allocations.load();
}

QByteArray repeatFrames(int frames, const std::function<QByteArray(int)> &frame)
{
    QByteArray stream;
    for (int i = 0; i < frames; ++i)
        stream += frame(i);
    return stream;
}

void report(const char *what, long count, int frames, int bytes)
{
    std::printf("%-64s %7d frames %9d bytes %9ld allocations  %.4f per frame  %.6f per byte\n",
                what,
                frames,
                bytes,
                count,
                frames ? double(count) / frames : 0.0,
                double(count) / bytes);
}

} // namespace

int main(int argc, char **argv)
{
    const bool shortRun = argc > 1 && QByteArray(argv[1]) == "--short";
    const int frames = shortRun ? 2000 : 100000;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    quietMessages();
    const auto panel = shownPanel("12 34 56\nA0 A1 A2\n");
    MainWindow &window = *panel->window();
    panel->confirmChannel(0, Telegram::LampOn);

    struct Case
    {
        const char *what;
        QByteArray stream;
        int frames;
    };
    std::mt19937 random(1);
    QByteArray noise(frames * Telegram::FrameLength, Qt::Uninitialized);
    for (char &c : noise) {
        c = char(random() & 0xFF);
        if (quint8(c) == Telegram::StartByte)
            c = 0x7F;
    }
    QByteArray echo = frameBytes(commandTelegram(Confirmed, Telegram::ReportState));
    const Case cases[] = {
        {"noise without start byte", noise, 0},
        {"echoed commands (dropped at the kind byte)",
         repeatFrames(frames, [&](int) { return echo; }),
         frames},
        {"reports for an inactive channel",
         repeatFrames(frames, [](int i) { return reportBytes(Inactive, quint8(i & 1)); }),
         frames},
        {"reports for the channel without receiver",
         repeatFrames(frames, [](int i) { return reportBytes({}, quint8(i & 1)); }),
         frames},
        {"reports that repeat the confirmed lamp state",
         repeatFrames(frames, [](int) { return reportBytes(Confirmed, 1); }),
         frames},
        {"reports that change the confirmed lamp state",
         repeatFrames(frames, [](int i) { return reportBytes(Confirmed, quint8(i & 1)); }),
         frames},
        {"reports for an unknown address (debug line)",
         repeatFrames(frames,
                      [](int i) {
                          return reportBytes({1, 2, 3}, quint8(i & 1));
                      }),
         frames},
    };
    for (const Case &c : cases) {
        // Once as warm-up, so caches filled on first use do not count.
        allocationsFor(window, c.stream.left(64 * Telegram::FrameLength), 64);
        for (int piece : {8, 64, 4096}) {
            const long n = allocationsFor(window, c.stream, piece);
            report(qPrintable(
                       QStringLiteral("%1, %2-byte reads").arg(QLatin1String(c.what)).arg(piece)),
                   n,
                   c.frames,
                   c.stream.size());
        }
    }
    return 0;
}
