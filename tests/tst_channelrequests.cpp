// The one command path into the channels, as the buttons, the bus and any remote control use it.
#include "app/mainwindow.h"
#include "channel/channelrequests.h"
#include "support/panelfixture.h"

#include <QtTest>

namespace {

using Kind = ChannelRequests::Kind;
using Outcome = ChannelRequests::Outcome;
const ChannelAddress Addresses[4] = {{0x11, 0x22, 0x33}, {0xA0, 0xA1, 0xA2}, {}, {0x44, 0x55, 0x66}};

QByteArray command(int channel, quint8 code)
{
    return frameBytes(commandTelegram(Addresses[channel - 1], code));
}

} // namespace

class TestChannelRequests : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void switchSendsWhatItSaysAndRepliesWithTheReport();
    void requestsWaitForTheLockInTheirOrder();
    void endsWithoutReport_data();
    void endsWithoutReport();

private:
    // Makes a request whose outcomes are collected in `said`, as "outcome lamp".
    void ask(int channel, Kind kind)
    {
        QVERIFY(requests->request(channel, kind, [this, channel](const ChannelRequests::Result &r) {
            said << QString("%1: %2 %3").arg(channel).arg(int(r.outcome)).arg(int(r.lamp));
        }));
    }
    QString expect(int channel, Outcome outcome, Channel::Lamp lamp)
    {
        return QString("%1: %2 %3").arg(channel).arg(int(outcome)).arg(int(lamp));
    }
    void report(int channel, quint8 state)
    {
        panel->receive(reportBytes(Addresses[channel - 1], state));
    }

    std::unique_ptr<PanelFixture> panel;
    MainWindow *window = nullptr;
    ChannelRequests *requests = nullptr;
    QStringList said;
};

void TestChannelRequests::init()
{
    panel = std::make_unique<PanelFixture>();
    panel->log();
    window = panel->open("11 22 33\nA0 A1 A2\n00 00 00\n44 55 66\n");
    QVERIFY(window && panel->show());
    requests = window->channelRequests();
    said.clear();
}

void TestChannelRequests::cleanup()
{
    panel.reset();
}

// "Switch on" means on, even when the switch shows on already; the window shows it as a press.
void TestChannelRequests::switchSendsWhatItSaysAndRepliesWithTheReport()
{
    panel->confirmChannel(1, Telegram::LampOn);
    QVERIFY(window->channel(1).switchShowsOn());
    ask(2, Kind::SwitchOn);
    QVERIFY(window->channel(1).isWaiting());
    QVERIFY(!panel->button("lampButton", 1)->isEnabled()); // locked, as after a press
    window->onTimerTick();
    QCOMPARE(panel->peer.read(8), command(2, Telegram::LampOn));
    report(2, Telegram::LampOff); // stale: ignored, as for a press
    QVERIFY(said.isEmpty());
    report(2, Telegram::LampOn);
    QCOMPARE(said, QStringList{expect(2, Outcome::Reported, Channel::Lamp::On)});
    QVERIFY(panel->button("lampButton", 1)->isEnabled());
    QCOMPARE(panel->button("lampButton", 2)->toolTip(), "Switched on");
}

// While channel 1 waits, requests for channels 4 and 2 wait; a later one for channel 4 takes
// the earlier one's place but runs in its own turn. Each runs when the one before it ends.
void TestChannelRequests::requestsWaitForTheLockInTheirOrder()
{
    panel->button("activeButton", 1)->click();
    window->onTimerTick();
    QCOMPARE(panel->peer.read(8), command(1, Telegram::ReportState));
    ask(4, Kind::SwitchOff);
    ask(2, Kind::Ask);
    ask(4, Kind::SwitchOn);
    QCOMPARE(said, QStringList{expect(4, Outcome::Replaced, Channel::Lamp::Unknown)});
    for (int i = 0; i < 10000; ++i)
        requests->request(1 + i % 4, Kind::Activate);
    QCOMPARE(requests->waitingCount(), 3); // one per channel, however many were asked
    ask(2, Kind::Ask);
    ask(4, Kind::SwitchOn);
    said.clear();
    QVERIFY(!window->channel(1).isActive() && !window->channel(3).isActive());

    // Channel 1 reports: its own activation is done at once (it is in use), then channel 2 asks.
    report(1, Telegram::LampOff);
    window->onTimerTick();
    QCOMPARE(panel->peer.read(8), command(2, Telegram::ReportState));
    QVERIFY(!window->channel(3).isActive());
    report(2, Telegram::LampOn);
    window->onTimerTick();
    QCOMPARE(panel->peer.read(8), command(4, Telegram::LampOn));
    report(4, Telegram::LampOn);
    QCOMPARE(said,
             QStringList({expect(2, Outcome::Reported, Channel::Lamp::On),
                          expect(4, Outcome::Reported, Channel::Lamp::On)}));
    QCOMPARE(requests->waitingCount(), 0);
}

void TestChannelRequests::endsWithoutReport_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<bool>("hangUp");
    QTest::addColumn<int>("outcome");
    QTest::newRow("three unanswered tries") << 2 << false << int(Outcome::GaveUp);
    QTest::newRow("no receiver") << 3 << false << int(Outcome::NoReceiver);
    QTest::newRow("transmitter lost") << 2 << true << int(Outcome::NoTransmitter);
}

void TestChannelRequests::endsWithoutReport()
{
    QFETCH(int, channel);
    QFETCH(bool, hangUp);
    QFETCH(int, outcome);
    panel->boxes();
    QVERIFY(!requests->request(5, Kind::Ask) && !requests->request(0, Kind::Ask));
    ask(channel, Kind::SwitchOn);
    if (hangUp) {
        panel->peer.hangUp();
        window->onTimerTick();
    }
    for (int tick = 0; tick < 154 && said.isEmpty(); ++tick)
        window->onTimerTick();
    QCOMPARE(said, QStringList{expect(channel, Outcome(outcome), Channel::Lamp::Unknown)});
    QVERIFY(hangUp || !window->channel(channel - 1).isActive());
}

QTEST_MAIN(TestChannelRequests)
#include "tst_channelrequests.moc"
