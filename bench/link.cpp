// Throughput of the checksum, of the receive framing and of the whole receive path, on clean and
// on all-noise streams, in bytes per second on one core. The line brings 11,520 bytes a second.
#include "benchsupport.h"

#include "app/mainwindow.h"
#include "link/transmitterlink.h"
#include "link/framing.h"
#include "link/telegram.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int StreamBytes = 1 << 16;
const ChannelAddress Known = {0x12, 0x34, 0x56};

// Report frames, back to back.
QByteArray cleanStream()
{
    QByteArray stream;
    quint8 state = 0;
    while (stream.size() < StreamBytes) {
        stream += reportBytes(Known, state);
        state ^= 1;
    }
    stream.truncate(StreamBytes - StreamBytes % Telegram::FrameLength);
    return stream;
}

// Uniform random bytes: start bytes open frames now and then, most of what follows is dropped.
QByteArray noiseStream()
{
    std::mt19937 random(1);
    QByteArray stream(StreamBytes, Qt::Uninitialized);
    for (char &c : stream)
        c = char(random() & 0xFF);
    return stream;
}

// Noise without a start byte: the framing never leaves idle.
QByteArray idleNoiseStream()
{
    QByteArray stream = noiseStream();
    for (char &c : stream) {
        if (quint8(c) == Telegram::StartByte)
            c = 0x7F;
    }
    return stream;
}

void checksum(benchmark::State &state)
{
    const QByteArray stream = cleanStream();
    const auto *bytes = reinterpret_cast<const quint8 *>(stream.constData());
    const int bodies = stream.size() / 5;
    for (auto _ : state) {
        unsigned sum = 0;
        for (int i = 0; i < bodies; ++i)
            sum += telegramChecksum(bytes + 5 * i);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bodies * 5);
}

void framing(benchmark::State &state, const QByteArray &stream)
{
    RxBuffer rxBuffer;
    bool inFrame = false;
    for (auto _ : state) {
        int frames = 0;
        for (char c : stream)
            frames += framingStep(rxBuffer, inFrame, quint8(c)) ? 1 : 0;
        benchmark::DoNotOptimize(frames);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * stream.size());
}

// TransmitterLink::receiveBytes: framing, dispatch by address and the channel's checks. The target
// channel is inactive, as most are most of the time, so no image changes: this is the link's
// own cost. Echoed commands are dropped at the kind byte.
PanelFixture &panel()
{
    // Never destroyed: it must not outlive the application object at exit.
    static PanelFixture *p = shownPanel("12 34 56\nA0 A1 A2\n").release();
    return *p;
}

void receivePath(benchmark::State &state, const QByteArray &stream)
{
    MainWindow *window = panel().window();
    for (auto _ : state)
        window->link().receiveBytes(stream.constData(), stream.size());
    state.SetBytesProcessed(int64_t(state.iterations()) * stream.size());
}

} // namespace

BENCHMARK(checksum);
BENCHMARK_CAPTURE(framing, clean, cleanStream());
BENCHMARK_CAPTURE(framing, noise, noiseStream());
BENCHMARK_CAPTURE(framing, noise_without_start_byte, idleNoiseStream());
BENCHMARK_CAPTURE(receivePath, clean_reports_inactive_channel, cleanStream());
BENCHMARK_CAPTURE(receivePath, noise, noiseStream());

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    quietMessages();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
