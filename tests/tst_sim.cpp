#include "channel/channeladdresses.h"
#include "link/framing.h"
#include "sim/radio.h"
#include "sim/simoptions.h"
#include "support/simulator.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

QByteArray frameBytes(const TelegramFrame &frame)
{
    return QByteArray(reinterpret_cast<const char *>(frame.data()), int(frame.size()));
}

// The body (frame bytes 1 to 6) of a command, as the transmitter's framing hands it over.
std::array<quint8, 6> commandBody(const ChannelAddress &address, quint8 code)
{
    const TelegramFrame f = commandTelegram(address, code);
    return {f[1], f[2], f[3], f[4], f[5], f[6]};
}

SimOptions parsedOptions(const QStringList &arguments)
{
    const ParsedSimOptions parsed = parseSimOptions(QStringList{"lumo-sim"} + arguments);
    if (parsed.action != ParsedSimOptions::Run)
        qWarning("%s", qPrintable(parsed.text));
    return parsed.options;
}

// The panel's end of the line: the slave of lumo-sim's pseudo-terminal, opened raw.
class PanelEnd
{
public:
    explicit PanelEnd(const QString &path)
    {
        fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio{};
        if (fd >= 0 && ::tcgetattr(fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(fd, TCSANOW, &tio);
        }
    }
    ~PanelEnd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool isOpen() const { return fd >= 0; }
    void write(const QByteArray &bytes)
    {
        QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    }
    // Waits up to `timeoutMs` for `atLeast` bytes; `hungUp` tells whether the far end went away.
    QByteArray read(int atLeast, int timeoutMs, bool *hungUp = nullptr)
    {
        QByteArray result;
        QElapsedTimer clock;
        clock.start();
        while (result.size() < atLeast && clock.elapsed() < timeoutMs) {
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, 20);
            char buffer[256];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                result.append(buffer, int(n));
            else if ((n == 0 || errno == EIO) && hungUp) {
                *hungUp = true;
                break;
            }
        }
        return result;
    }

private:
    int fd = -1;
};

} // namespace

class TestSim : public QObject
{
    Q_OBJECT

private slots:
    void defaultsGiveAPerfectRadio();
    void optionsSetWhatTheySay();
    void badOptionsAreRefusedWithOneLine_data();
    void badOptionsAreRefusedWithOneLine();
    void channelsFileMatchesTheReceivers();

    void receiversAnswerWithTheirLamp();
    void receiversIgnore_data();
    void receiversIgnore();
    void lossAndCorruptionFollowTheirShares();
    void noiseStaysBetweenFrames();

    void programServesThePanelsLine();
    void programSendsUnaskedReports();
    void programDropsWhatAClosedPanelNeverRead();
    void programHangsUpWhenTold();
    void programStopsCleanlyOnSignals_data();
    void programStopsCleanlyOnSignals();
    void programRefusesBadOptions();
};

void TestSim::defaultsGiveAPerfectRadio()
{
    const ParsedSimOptions parsed = parseSimOptions({"lumo-sim"});
    QCOMPARE(parsed.action, ParsedSimOptions::Run);
    const SimOptions &o = parsed.options;
    for (int i = 0; i < ReceiverCount; ++i) {
        QVERIFY(hasReceiver(o.addresses[i]) && !o.switchedOff[i]);
        for (int j = 0; j < i; ++j)
            QVERIFY(o.addresses[i] != o.addresses[j]);
    }
    // Well inside the panel's 5.1 s between repeats, yet slow enough to see the blinking.
    QVERIFY(o.replyDelayMs > 0 && o.replyDelayMs < 1000);
    QVERIFY(o.losePercent == 0 && o.badChecksumPercent == 0 && o.noisePercent == 0);
}

void TestSim::optionsSetWhatTheySay()
{
    const SimOptions o = parsedOptions(
        QString("--addresses=020302,0A:0B:0C,c0ffee,11-22-33 --delay=250 --lose=12.5% --off=2,4 "
                "--lamps-on=3 --unasked=1:2.5 --bad-checksum=40 --noise=7 --hang-up-after=30 "
                "--trace --channels-file=/tmp/x.channels --seed=99")
            .split(' '));
    QCOMPARE(o.addresses[0], (ChannelAddress{0x02, 0x03, 0x02}));
    QCOMPARE(o.addresses[1], (ChannelAddress{0x0A, 0x0B, 0x0C}));
    QCOMPARE(o.addresses[2], (ChannelAddress{0xC0, 0xFF, 0xEE}));
    QCOMPARE(o.addresses[3], (ChannelAddress{0x11, 0x22, 0x33}));
    QCOMPARE(o.replyDelayMs, 250);
    QCOMPARE(o.losePercent, 12.5);
    QCOMPARE(o.switchedOff, (std::array<bool, 4>{false, true, false, true}));
    QCOMPARE(o.lampOn, (std::array<bool, 4>{false, false, true, false}));
    QCOMPARE(o.unaskedReceiver, 0);
    QCOMPARE(o.unaskedEverySeconds, 2.5);
    QCOMPARE(o.badChecksumPercent, 40.0);
    QCOMPARE(o.noisePercent, 7.0);
    QCOMPARE(o.hangUpAfterSeconds, 30.0);
    QVERIFY(o.trace);
    QCOMPARE(o.channelsFile, QString("/tmp/x.channels"));
    QVERIFY(o.seedGiven && o.seed == 99u);
}

void TestSim::badOptionsAreRefusedWithOneLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("says");
    QTest::newRow("three addresses")
        << QStringList{"--addresses", "111111,222222,333333"} << "four addresses";
    QTest::newRow("short address") << QStringList{"--addresses", "11111,222222,333333,444444"}
                                   << "\"11111\" is not an address";
    QTest::newRow("no receiver") << QStringList{"--addresses", "000000,222222,333333,444444"}
                                 << "--off";
    QTest::newRow("same twice") << QStringList{"--addresses", "111111,222222,11 11 11,444444"}
                                << "receivers 1 and 3";
    QTest::newRow("receiver 5") << QStringList{"--off", "1,5"} << "\"5\" is not a receiver number";
    QTest::newRow("share over 100") << QStringList{"--lose", "101"} << "--lose";
    QTest::newRow("unasked without period") << QStringList{"--unasked", "2"} << "RECEIVER:SECONDS";
    QTest::newRow("unasked every 0 s") << QStringList{"--unasked", "2:0"} << "--unasked";
    QTest::newRow("unknown option") << QStringList{"--loose", "5"} << "loose";
    QTest::newRow("stray argument") << QStringList{"fast"} << "unexpected argument \"fast\"";
}

void TestSim::badOptionsAreRefusedWithOneLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, says);
    const ParsedSimOptions parsed = parseSimOptions(QStringList{"lumo-sim"} + arguments);
    QCOMPARE(parsed.action, ParsedSimOptions::Fail);
    QVERIFY2(parsed.text.contains(says), qPrintable(parsed.text));
    QVERIFY(!parsed.text.contains('\n'));
}

void TestSim::channelsFileMatchesTheReceivers()
{
    // Read back by the panel's own parser, with addresses that hold the frame bytes 02 and 03.
    const SimOptions o = parsedOptions({"--addresses", "020302,030203,0A0B0C,FFFFFF"});
    const ChannelAddressFile read = parseChannelAddresses(channelAddressFileContent(o),
                                                          "x.channels");
    QCOMPARE(read.problems, QStringList());
    QCOMPARE(read.addresses, o.addresses);
}

void TestSim::receiversAnswerWithTheirLamp()
{
    const auto ask = [](Radio &radio, const ChannelAddress &address, quint8 code) {
        const auto body = commandBody(address, code);
        return radio.receive(body.data()).reply;
    };
    const auto reportOf = [](const ChannelAddress &address, quint8 state) {
        return frameBytes(buildTelegram(Telegram::ReportKind, address, state));
    };
    // The worked example of the telegram format: a report "on" from 12 34 56.
    Radio known(parsedOptions({"--addresses", "123456,111111,222222,333333", "--lamps-on", "1"}));
    QCOMPARE(ask(known, {0x12, 0x34, 0x56}, Telegram::ReportState),
             QByteArray::fromHex("0285123456013303"));

    Radio radio(parsedOptions({"--lamps-on", "2"}));
    const ChannelAddress first = radio.receiver(0).address;
    const ChannelAddress second = radio.receiver(1).address;
    QCOMPARE(ask(radio, second, Telegram::ReportState), reportOf(second, 1));
    QCOMPARE(ask(radio, first, Telegram::ReportState), reportOf(first, 0));
    QCOMPARE(ask(radio, first, Telegram::LampOn), reportOf(first, 1));
    QCOMPARE(ask(radio, first, Telegram::ReportState), reportOf(first, 1));
    QCOMPARE(ask(radio, first, Telegram::LampOff), reportOf(first, 0));
    QVERIFY(radio.receiver(1).lampOn); // the others keep theirs

    const QString said = radio.describeReport(reportOf(second, 1));
    QVERIFY2(said.contains("receiver 2") && said.contains("lamp on") && !said.contains("wrong"),
             qPrintable(said));
}

void TestSim::receiversIgnore_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("verdict");
    const auto body = [](const ChannelAddress &a, quint8 code) {
        const auto b = commandBody(a, code);
        return QByteArray(reinterpret_cast<const char *>(b.data()), 6);
    };
    const ChannelAddress first{0x12, 0x34, 0x56};
    QByteArray damaged = body(first, Telegram::LampOn);
    damaged[5] = char(damaged[5] ^ 0x40);
    QByteArray report = body(first, Telegram::LampOn);
    report[0] = char(Telegram::ReportKind);
    report[5] = char(telegramChecksum(reinterpret_cast<const quint8 *>(report.constData())));
    QTest::newRow("wrong checksum") << damaged << int(Radio::Verdict::WrongChecksum);
    QTest::newRow("unknown address")
        << body({0x99, 0x99, 0x99}, 1) << int(Radio::Verdict::UnknownAddress);
    QTest::newRow("unknown command") << body(first, 3) << int(Radio::Verdict::UnknownCommand);
    QTest::newRow("switched off") << body({0x23, 0x45, 0x67}, 1)
                                  << int(Radio::Verdict::SwitchedOff);
    QTest::newRow("a report, not a command") << report << int(Radio::Verdict::NotACommand);
}

void TestSim::receiversIgnore()
{
    QFETCH(QByteArray, body);
    QFETCH(int, verdict);
    Radio radio(parsedOptions({"--addresses", "123456,234567,345678,456789", "--off", "2"}));
    const Radio::Outcome outcome = radio.receive(reinterpret_cast<const quint8 *>(body.constData()));
    QCOMPARE(int(outcome.verdict), verdict);
    QVERIFY(outcome.reply.isEmpty());
    QVERIFY(!outcome.meaning.isEmpty());
    for (int i = 0; i < ReceiverCount; ++i)
        QVERIFY2(!radio.receiver(i).lampOn, "an ignored command switched a lamp");
}

void TestSim::lossAndCorruptionFollowTheirShares()
{
    const ChannelAddress first{0x12, 0x34, 0x56};
    const auto on = commandBody(first, Telegram::LampOn);
    const auto query = commandBody(first, Telegram::ReportState);

    Radio deaf(parsedOptions({"--lose", "100"}));
    QCOMPARE(deaf.receive(on.data()).verdict, Radio::Verdict::Lost);
    QVERIFY(!deaf.receiver(0).lampOn); // a lost command switches nothing

    const auto answered = [&](Radio &radio) {
        int count = 0;
        for (int i = 0; i < 1000; ++i)
            count += radio.receive(query.data()).verdict == Radio::Verdict::Answered;
        return count;
    };
    Radio lossy(parsedOptions({"--lose", "30", "--seed", "1"}));
    const int lossyAnswers = answered(lossy);
    QVERIFY2(lossyAnswers > 620 && lossyAnswers < 780, qPrintable(QString::number(lossyAnswers)));
    Radio again(parsedOptions({"--lose", "30", "--seed", "1"}));
    QCOMPARE(answered(again), lossyAnswers); // a seed repeats a run

    Radio garbling(parsedOptions({"--bad-checksum", "100"}));
    const QByteArray reply = garbling.receive(on.data()).reply;
    const QByteArray right = frameBytes(buildTelegram(Telegram::ReportKind, first, 1));
    QCOMPARE(reply.size(), 8);
    QVERIFY(reply[6] != right[6]);
    QCOMPARE(reply.left(6), right.left(6)); // only the checksum is wrong
    QCOMPARE(reply[7], right[7]);
    QVERIFY(garbling.receiver(0).lampOn);
    QVERIFY(garbling.describeReport(reply).contains("wrong checksum"));
}

void TestSim::noiseStaysBetweenFrames()
{
    Radio noisy(parsedOptions({"--noise", "100", "--seed", "5"}));
    Radio quiet(parsedOptions({}));
    QVERIFY(quiet.noiseBurst().isEmpty());
    for (int i = 0; i < 200; ++i) {
        const QByteArray noise = noisy.noiseBurst();
        QVERIFY(!noise.isEmpty());
        QVERIFY(!noise.contains(char(Telegram::StartByte)));
        // The panel's framing still finds exactly the report behind the noise.
        const QByteArray stream = noise + noisy.report(2);
        RxBuffer rx;
        bool inFrame = false;
        int bodies = 0;
        for (const char byte : stream)
            bodies += framingStep(rx, inFrame, quint8(byte));
        QCOMPARE(bodies, 1);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(rx.bytes.data()), 6),
                 stream.right(7).left(6));
    }
}

void TestSim::programServesThePanelsLine()
{
    QTemporaryDir dir;
    const QString channels = dir.filePath("lumo-win.channels");
    QProcess sim;
    const QString port = startSimulator(sim,
                                        {"--trace",
                                         "--delay",
                                         "10",
                                         "--lamps-on",
                                         "3",
                                         "--addresses",
                                         "020302,030203,0A0B0C,FFFFFF",
                                         "--channels-file",
                                         channels});
    QVERIFY2(port.startsWith("/dev/pts/"), qPrintable(port));
    QCOMPARE(loadChannelAddresses(channels)[2], (ChannelAddress{0x0A, 0x0B, 0x0C}));

    PanelEnd panel(port);
    QVERIFY(panel.isOpen());
    const QByteArray query = frameBytes(commandTelegram({0x0A, 0x0B, 0x0C}, Telegram::ReportState));
    const QByteArray switchOn = frameBytes(commandTelegram({0x02, 0x03, 0x02}, Telegram::LampOn));
    // Split, with noise in front: the transmitter frames as the panel does.
    panel.write(QByteArray::fromHex("FF03") + query.left(3));
    QTest::qWait(30);
    panel.write(query.mid(3) + switchOn);
    const QByteArray replies = panel.read(16, 3000);
    QCOMPARE(replies,
             frameBytes(buildTelegram(Telegram::ReportKind, {0x0A, 0x0B, 0x0C}, 1))
                 + frameBytes(buildTelegram(Telegram::ReportKind, {0x02, 0x03, 0x02}, 1)));

    sim.terminate();
    QVERIFY(sim.waitForFinished(3000));
    const QString trace = QString::fromLocal8Bit(sim.readAllStandardOutput());
    QVERIFY2(trace.contains(QRegularExpression("in  02 05 0A 0B 0C 02 .. 03  command to 0A 0B 0C "
                                               "\\(receiver 3\\): report your lamp\n")),
             qPrintable(trace));
    QVERIFY2(trace.contains(QRegularExpression(
                 "out 02 85 02 03 02 01 .. 03  report from 02 03 02 \\(receiver 1\\): lamp on\n")),
             qPrintable(trace));
    QVERIFY(trace.contains("in  FF 03 "));
    QVERIFY(trace.contains("the panel opened the line"));
}

void TestSim::programSendsUnaskedReports()
{
    QProcess chatty;
    const QString port = startSimulator(chatty, {"--unasked", "2:0.2", "--lamps-on", "2"});
    PanelEnd panel(port);
    QCOMPARE(panel.read(8, 3000).left(8),
             frameBytes(buildTelegram(Telegram::ReportKind, {0x23, 0x45, 0x67}, 1)));

    QProcess silent;
    PanelEnd off(startSimulator(silent, {"--unasked", "2:0.1", "--off", "2"}));
    QVERIFY(off.isOpen());
    QCOMPARE(off.read(1, 600), QByteArray());

    chatty.terminate();
    silent.terminate();
    QVERIFY(chatty.waitForFinished(3000) && silent.waitForFinished(3000));
}

void TestSim::programDropsWhatAClosedPanelNeverRead()
{
    QProcess sim;
    const QString port = startSimulator(sim, {"--trace", "--delay", "10"});
    QByteArray trace;
    {
        PanelEnd panel(port);
        panel.write(frameBytes(commandTelegram({0x12, 0x34, 0x56}, Telegram::ReportState)));
        QTRY_VERIFY((trace += sim.readAllStandardOutput()).contains("out "));
    }
    QTRY_VERIFY((trace += sim.readAllStandardOutput()).contains("the panel closed the line"));
    // The next panel starts with an empty line, not with the report the last one left unread.
    PanelEnd next(port);
    QCOMPARE(next.read(1, 300), QByteArray());
    sim.terminate();
    QVERIFY(sim.waitForFinished(3000));
}

void TestSim::programHangsUpWhenTold()
{
    QProcess sim;
    const QString port = startSimulator(sim, {"--hang-up-after", "0.5", "--trace"});
    PanelEnd panel(port);
    QVERIFY(panel.isOpen());
    bool hungUp = false;
    panel.read(1, 3000, &hungUp);
    QVERIFY(hungUp);
    QVERIFY(sim.waitForFinished(3000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(sim.readAllStandardOutput().contains("hanging up"));
}

void TestSim::programStopsCleanlyOnSignals_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
}

void TestSim::programStopsCleanlyOnSignals()
{
    QFETCH(int, signalNumber);
    QProcess sim;
    const QString port = startSimulator(sim, {"--trace"});
    // Held open to see the terminal hang up: its number may go to another test's at once.
    const int line = ::open(QFile::encodeName(port).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(line >= 0);
    ::kill(pid_t(sim.processId()), signalNumber);
    QVERIFY(sim.waitForFinished(3000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    pollfd hangUp{line, POLLIN, 0};
    QCOMPARE(::poll(&hangUp, 1, 1000), 1);
    QVERIFY(hangUp.revents & POLLHUP); // the pseudo-terminal is gone
    ::close(line);
    QVERIFY(sim.readAllStandardOutput().contains(
        QStringLiteral("stopped by %1").arg(QTest::currentDataTag()).toLatin1()));
}

void TestSim::programRefusesBadOptions()
{
    QProcess sim;
    sim.start(simulatorPath(), {"--lose", "200"});
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 2);
    QCOMPARE(sim.readAllStandardOutput(), QByteArray());
    const QByteArray error = sim.readAllStandardError();
    QVERIFY2(error.startsWith("lumo-sim: --lose") && error.count('\n') == 1, error.constData());

    sim.start(simulatorPath(), {"--help"});
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(sim.readAllStandardOutput().contains("--addresses"));
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
