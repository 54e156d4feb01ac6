// Two latencies of the panel on a pseudo-terminal, with the event loop running as in use:
//   report  from a report's last byte written on the line to the indicator's new image set (and
//           to the indicator painted with it);
//   press   from a press of the lamp switch to the command's eight bytes on the line, with the
//           real 100 ms tick (the command goes out on the next tick, so up to one tick).
// Usage: bench_latency report|press [--short] [--receivers N] [--data FILE]
//   --data FILE  (press) writes each press's delay in milliseconds, one a line, for a plot
#include "benchsupport.h"

#include "app/mainwindow.h"
#include "channel/channel.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSerialPort>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <cstdio>
#include <random>
#include <thread>

namespace {

const ChannelAddress Addresses[4] = {{0x12, 0x34, 0x56},
                                     {0xA0, 0xA1, 0xA2},
                                     {0x31, 0x41, 0x59},
                                     {0x27, 0x18, 0x28}};

QByteArray addressFile(int receivers)
{
    QByteArray content;
    for (int n = 0; n < 4; ++n) {
        const ChannelAddress a = n < receivers ? Addresses[n] : ChannelAddress{};
        content += QByteArray(reinterpret_cast<const char *>(a.data()), 3).toHex(' ') + '\n';
    }
    return content;
}

// Records when the indicator's image changes: right after the port's readyRead handling (the
// window's handler is connected first, so it has run), and when the label paints it.
class IndicatorWatch : public QObject
{
public:
    IndicatorWatch(QLabel *label, QSerialPort *port, size_t expected)
        : label(label)
    {
        setTimes.reserve(expected);
        paintTimes.reserve(expected);
        lastSet = lastPainted = label->pixmap(Qt::ReturnByValue).cacheKey();
        label->installEventFilter(this);
        connect(port, &QSerialPort::readyRead, this, [this] {
            const double now = nowMicroseconds();
            const qint64 key = this->label->pixmap(Qt::ReturnByValue).cacheKey();
            if (key != lastSet) {
                lastSet = key;
                setTimes.push_back(now);
                changes.store(int(setTimes.size()));
            }
        });
    }

    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (object == label && event->type() == QEvent::Paint) {
            const double now = nowMicroseconds();
            const qint64 key = label->pixmap(Qt::ReturnByValue).cacheKey();
            if (key != lastPainted) {
                lastPainted = key;
                paintTimes.push_back(now);
            }
        }
        return false;
    }

    QLabel *label;
    qint64 lastSet;
    qint64 lastPainted;
    std::vector<double> setTimes;
    std::vector<double> paintTimes;
    std::atomic<int> changes{0};
};

int reportToScreen(PanelFixture &panel, int reports)
{
    MainWindow &window = *panel.window();
    PtyPeer &pty = panel.peer;
    panel.confirmChannel(0, Telegram::LampOn);
    QTest::qWait(50);

    IndicatorWatch watch(window.findChild<QLabel *>(QStringLiteral("lampLED_1")),
                         window.transmitterPort(),
                         size_t(reports));
    std::vector<double> written(static_cast<size_t>(reports));
    std::atomic<bool> done{false};
    // The receiver's side: the lamp goes off, on, off, ... so every report changes the image.
    std::thread writer([&] {
        std::mt19937 random(7);
        for (int i = 0; i < reports; ++i) {
            const QByteArray frame = reportBytes(Addresses[0], quint8(i & 1) ? 1 : 0);
            // Taken just before the write: the last byte is on the line by the time it returns,
            // and a clock read after it could come late if this thread is preempted.
            written[size_t(i)] = nowMicroseconds();
            pty.write(frame);
            // Wait for this one to be shown, then a pause of 0.5 to 2.5 ms.
            const double start = nowMicroseconds();
            while (watch.changes.load() < i + 1 && nowMicroseconds() - start < 1e6)
                std::this_thread::yield();
            std::this_thread::sleep_for(std::chrono::microseconds(500 + random() % 2000));
        }
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    writer.join();
    QTest::qWait(50);

    if (watch.setTimes.size() != size_t(reports)) {
        std::fprintf(stderr,
                     "%zu of %d reports changed the indicator\n",
                     watch.setTimes.size(),
                     reports);
        return 1;
    }
    std::vector<double> toSet, toPaint;
    for (int i = 0; i < reports; ++i)
        toSet.push_back((watch.setTimes[size_t(i)] - written[size_t(i)]) / 1000.0);
    for (size_t i = 0; i < watch.paintTimes.size() && i < size_t(reports); ++i)
        toPaint.push_back((watch.paintTimes[i] - written[i]) / 1000.0);
    printSummary("report to indicator image set", summarize(toSet), "ms");
    printSummary("report to indicator painted", summarize(toPaint), "ms");
    return 0;
}

int pressToWire(PanelFixture &panel, int presses, const QString &dataFile)
{
    MainWindow &window = *panel.window();
    PtyPeer &pty = panel.peer;
    panel.confirmChannel(0, Telegram::LampOff);
    QTest::qWait(250); // the query goes out on the next tick
    pty.readNow();
    QPushButton *lamp = window.findChild<QPushButton *>(QStringLiteral("lampButton_1"));

    std::atomic<double> pressedAt{0};
    std::atomic<int> answered{0};
    std::vector<double> delays;
    std::atomic<bool> stop{false};
    // The receiver: takes each command off the line and answers with the commanded state.
    std::thread receiver([&] {
        QByteArray pending;
        while (!stop) {
            pending += readWithin(pty, 20);
            while (pending.size() >= Telegram::FrameLength) {
                const double now = nowMicroseconds();
                const QByteArray command = pending.left(Telegram::FrameLength);
                pending.remove(0, Telegram::FrameLength);
                delays.push_back((now - pressedAt.load()) / 1000.0);
                pty.write(reportBytes(Addresses[0], quint8(command[5])));
                answered.fetch_add(1);
            }
        }
    });
    std::mt19937 random(11);
    for (int i = 0; i < presses; ++i) {
        // A press at a random phase of the tick.
        QTest::qWait(int(random() % 150));
        if (!lamp->isEnabled()) {
            std::fprintf(stderr, "lamp switch still locked before press %d\n", i);
            break;
        }
        pressedAt = nowMicroseconds();
        QTest::mousePress(lamp, Qt::LeftButton);
        QTest::mouseRelease(lamp, Qt::LeftButton);
        QElapsedTimer waited;
        waited.start();
        while (answered.load() < i + 1 && waited.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        QTest::qWait(5); // the answer unlocks the buttons
    }
    stop = true;
    receiver.join();
    if (delays.size() != size_t(presses)) {
        std::fprintf(stderr, "%zu of %d presses reached the line\n", delays.size(), presses);
        return 1;
    }
    if (!dataFile.isEmpty()) {
        QFile data(dataFile);
        if (!data.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(dataFile));
            return 1;
        }
        for (double d : delays)
            data.write(QByteArray::number(d, 'f', 3) + '\n');
    }
    printSummary("press to command on the line", summarize(delays), "ms");
    int buckets[12] = {};
    for (double d : delays)
        ++buckets[qBound(0, int(d / 10), 11)];
    std::printf("  distribution (10 ms buckets):");
    for (int b = 0; b < 12; ++b)
        std::printf(" %d", buckets[b]);
    std::printf("\n");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const QStringList args = [&] {
        QStringList list;
        for (int i = 1; i < argc; ++i)
            list << QString::fromLocal8Bit(argv[i]);
        return list;
    }();
    const bool shortRun = args.contains(QStringLiteral("--short"));
    const int at = args.indexOf(QStringLiteral("--receivers"));
    const int receivers = at >= 0 && at + 1 < args.size() ? args[at + 1].toInt() : 4;
    const int data = args.indexOf(QStringLiteral("--data"));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    quietMessages();
    const auto panel = shownPanel(addressFile(receivers));
    std::printf("(%d channels with a receiver)\n", receivers);
    if (args.value(0) == QLatin1String("report"))
        return reportToScreen(*panel, shortRun ? 200 : 5000);
    if (args.value(0) == QLatin1String("press"))
        return pressToWire(*panel,
                           shortRun ? 20 : 300,
                           data >= 0 ? args.value(data + 1) : QString());
    std::fprintf(stderr,
                 "usage: bench_latency report|press [--short] [--receivers N] [--data FILE]\n");
    return 2;
}
