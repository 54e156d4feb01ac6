// Fuzzes the whole receive path: arbitrary bytes, cut at arbitrary points, through the framing,
// the dispatch and the four channels, with the channels first put in every state they can be in.
//
// Input layout (FuzzedDataProvider): the stream's bytes are taken from the front, the control
// values (channel states, cut lengths, ticks) from the back, so a seed can simply be a stream of
// frames with a few control bytes after it.
#include "app/mainwindow.h"
#include "link/transmitterlink.h"
#include "channel/channel.h"
#include "link/framing.h"
#include "link/telegram.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Channel 2's address is made of the framing's own byte values; channel 4 has no receiver.
const ChannelAddress Addresses[4] = {{0x12, 0x34, 0x56}, {0x02, 0x03, 0x85}, {0xA0, 0xA1, 0xA2}, {}};
const char AddressFile[] = "12 34 56\n02 03 85\nA0 A1 A2\n00 00 00\n";

enum class State { Inactive, Query, SwitchOn, SwitchOff, ConfirmedOn, ConfirmedOff, Count };

MainWindow *window = nullptr;
int ptyMaster = -1;
int addressNotFound = 0;

void countLines(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg && message == QLatin1String("Address not found"))
        ++addressNotFound;
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "fatal: %s\n", qPrintable(message));
        std::abort();
    }
}

void fail(const char *what, int channel)
{
    std::fprintf(stderr, "invariant broken: %s (channel %d)\n", what, channel + 1);
    std::abort();
}

void drainPty()
{
    char buffer[4096];
    while (::read(ptyMaster, buffer, sizeof buffer) > 0) {
    }
}

void deliverReport(Channel &channel, quint8 state)
{
    const TelegramFrame frame = buildTelegram(Telegram::ReportKind, channel.channelAddress(), state);
    channel.receiveTelegram(frame.data() + 1, Telegram::BodyLength);
}

// Brings a channel into `state` the way a user and a receiver would.
void putInState(Channel &channel, State state)
{
    switch (state) {
    case State::Inactive:
    case State::Count:
        break;
    case State::Query:
        channel.onActivePressed();
        break;
    case State::SwitchOn:
    case State::SwitchOff:
        // Each press inverts the lamp: press until the command is the wanted one.
        channel.onLampPressed();
        if ((channel.currentOperation() == Channel::SwitchOn) != (state == State::SwitchOn))
            channel.onLampPressed();
        break;
    case State::ConfirmedOn:
    case State::ConfirmedOff:
        channel.onActivePressed();
        deliverReport(channel, state == State::ConfirmedOn ? Telegram::LampOn : Telegram::LampOff);
        break;
    }
}

// Leaves the framing idle whatever state the previous input left it in: six filler bytes
// complete any partial body, and the end byte closes the frame (an idle framing ignores both).
void resetFraming()
{
    static const char filler[] = {0, 0, 0, 0, 0, 0, 3};
    window->link().receiveBytes(filler, sizeof filler);
}

// The number of complete report bodies whose address no channel has, by a straightforward
// reading of the framing rules; it must not depend on where the stream was cut.
int expectedAddressNotFound(const std::vector<quint8> &stream)
{
    int count = 0;
    bool inFrame = false;
    std::vector<quint8> body;
    for (quint8 b : stream) {
        if (!inFrame) {
            if (b == Telegram::StartByte) {
                inFrame = true;
                body.clear();
            }
        } else if (body.size() < size_t(Telegram::BodyLength)) {
            body.push_back(b);
        } else if (b == Telegram::EndByte) {
            inFrame = false;
            if (body[0] != Telegram::ReportKind)
                continue;
            bool known = false;
            for (const ChannelAddress &a : Addresses)
                known = known || std::equal(a.begin(), a.end(), body.begin() + 1);
            count += known ? 0 : 1;
        }
    }
    return count;
}

void checkInvariants()
{
    bool anyPending = false;
    for (int n = 0; n < 4; ++n) {
        Channel &channel = window->channel(n);
        const int op = channel.currentOperation();
        if (op != Channel::Query && op != Channel::SwitchOff && op != Channel::SwitchOn
            && op != Channel::Confirmed)
            fail("operation out of range", n);
        if (channel.countdownTicks() < 0 || channel.countdownTicks() > Channel::CountdownReload)
            fail("countdown out of range", n);
        if (channel.retriesLeft() < 0 || channel.retriesLeft() > Channel::RetriesReload)
            fail("retries out of range", n);
        if (!hasReceiver(channel.channelAddress()) && channel.isActive())
            fail("a channel without receiver is active", n);
        anyPending = anyPending || (channel.isActive() && op != Channel::Confirmed);
    }
    // Once nothing waits for a receiver, every channel with a receiver can be used again.
    if (!anyPending) {
        for (int n = 0; n < 3; ++n) {
            const QString suffix = QString::number(n + 1);
            if (!window->findChild<QPushButton *>("activeButton_" + suffix)->isEnabled())
                fail("buttons locked with nothing pending", n);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    char name[256] = {};
    int slave = -1;
    if (::openpty(&ptyMaster, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        std::abort();
    }
    termios tio{};
    ::tcgetattr(ptyMaster, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(ptyMaster, TCSANOW, &tio);
    ::fcntl(ptyMaster, F_SETFL, ::fcntl(ptyMaster, F_GETFL) | O_NONBLOCK);
    // The slave stays open too, so the line never hangs up.
    ::setenv("LUMO_WIN_PORT", name, 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    static int argc = 1;
    static char program[] = "fuzz_receive";
    static char *argv[] = {program, nullptr};
    new QApplication(argc, argv);
    qInstallMessageHandler(countLines);

    static QTemporaryDir dir;
    const QString path = dir.filePath("lumo-win.channels");
    FILE *file = std::fopen(path.toLocal8Bit().constData(), "w");
    std::fputs(AddressFile, file);
    std::fclose(file);
    window = new MainWindow(path);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);

    resetFraming();
    for (int n = 0; n < 4; ++n)
        window->channel(n).setActive(false);
    window->enableChannels(true);
    const unsigned states = input.ConsumeIntegral<quint16>();
    for (int n = 0; n < 4; ++n)
        putInState(window->channel(n), State((states >> (4 * n)) % unsigned(State::Count)));

    // Each piece of the stream: a cut length from the back, the bytes from the front, then
    // possibly some ticks (sometimes enough for pending channels to repeat or give up).
    std::vector<quint8> stream;
    addressNotFound = 0;
    while (input.remaining_bytes() > 0) {
        const size_t cut = input.ConsumeIntegralInRange<size_t>(0, 32);
        const std::vector<quint8> piece = input.ConsumeBytes<quint8>(cut);
        window->link().receiveBytes(reinterpret_cast<const char *>(piece.data()), qsizetype(piece.size()));
        stream.insert(stream.end(), piece.begin(), piece.end());
        const quint8 tickControl = input.ConsumeIntegral<quint8>();
        const int ticks = tickControl < 224 ? 0 : tickControl < 254 ? 1 : 60;
        for (int t = 0; t < ticks; ++t)
            window->onTimerTick();
    }
    if (addressNotFound != expectedAddressNotFound(stream)) {
        std::fprintf(stderr,
                     "\"Address not found\" %d times, expected %d\n",
                     addressNotFound,
                     expectedAddressNotFound(stream));
        std::abort();
    }
    checkInvariants();
    drainPty();
    return 0;
}
