#include "app/mainwindow.h"
#include "channel/channel.h"
#include "support/panelfixture.h"
#include "support/storedimage.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

// Channel 3 has no receiver; channel 4's address holds the frame's start and end bytes.
const char AddressFile[] = "# receivers\n11 22 33  # hall\nA0A1A2\n00 00 00\n02 03 0a\n";
const ChannelAddress Addresses[4] = {{0x11, 0x22, 0x33}, {0xA0, 0xA1, 0xA2}, {}, {0x02, 0x03, 0x0A}};

QByteArray command(int channel, quint8 code)
{
    return frameBytes(commandTelegram(Addresses[channel - 1], code));
}

QByteArray report(int channel, quint8 state, bool goodChecksum = true)
{
    TelegramFrame frame = buildTelegram(Telegram::ReportKind, Addresses[channel - 1], state);
    if (!goodChecksum)
        frame[6] ^= 0x5A;
    return frameBytes(frame);
}

const char *const ImageNames[] = {"Glossy_Button_Black",
                                  "Glossy_Button_White",
                                  "Glossy_Button_Light_Green",
                                  "switch-on",
                                  "switch-off",
                                  "button-yellow",
                                  "button-off"};

QImage imageOf(const QString &name)
{
    return storedImage(":/res/" + name + ".png");
}

// Names the resource image a widget shows, so that failures read as image names.
QString shownImage(QPushButton *button)
{
    for (const char *name : ImageNames) {
        const QImage expected = imageOf(name);
        if (storedForm(button->icon().pixmap(expected.size())) == expected)
            return name;
    }
    return "unknown";
}

QString shownImage(QLabel *label)
{
    const QImage shown = storedForm(label->pixmap(Qt::ReturnByValue));
    for (const char *name : ImageNames) {
        if (shown == imageOf(name))
            return name;
    }
    return "unknown";
}

} // namespace

class TestChannel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void activePressQueriesAndReportConfirms_data();
    void activePressQueriesAndReportConfirms();
    void lampSwitchSendsTheNewState();
    void unansweredCommandIsRepeatedThenAbandoned();
    void inactiveSwitchMeansWhatItShows_data();
    void inactiveSwitchMeansWhatItShows();
    void indicatorBlinksWhilePending();
    void blinkingKeepsLayoutAndLook();
    void reportChecks_data();
    void reportChecks();
    void wrongSizedBodyIsDropped();
    void unsolicitedReportUpdatesConfirmedChannel();
    void pendingChannelsShareTheLock();
    void channelWithoutReceiverStaysInert();
    void realTimerRunsOneRepeatCycle();

private:
    QPushButton *button(const char *kind, int channel) const
    {
        return panel->button(kind, channel);
    }
    QLabel *indicator(int channel) const { return panel->indicator(channel); }
    void press(const char *kind, int channel);
    bool deliver(const QByteArray &frames);
    QString enabledButtons() const;
    QStringList snapshot(int channel);

    std::unique_ptr<PanelFixture> panel;
    MainWindow *window = nullptr;
};

void TestChannel::initTestCase()
{
    for (const char *a : ImageNames) {
        QVERIFY2(!imageOf(a).isNull(), a);
        for (const char *b : ImageNames)
            QVERIFY(a == b || imageOf(a) != imageOf(b));
    }
}

void TestChannel::init()
{
    panel = std::make_unique<PanelFixture>();
    panel->log();
    window = panel->open(AddressFile);
    QVERIFY(window);
    QVERIFY(panel->show()); // ticks come from the test, one call at a time
    panel->log().clear();
}

void TestChannel::cleanup()
{
    panel.reset();
    window = nullptr;
}

void TestChannel::press(const char *kind, int channel)
{
    QTest::mouseClick(button(kind, channel), Qt::LeftButton);
}

// Plays the receivers: writes the frames, followed by a report for an address no channel has,
// whose "Address not found" line tells that everything before it has been handled.
bool TestChannel::deliver(const QByteArray &frames)
{
    const QString marker = "Address not found";
    QByteArray stranger = report(1, 1);
    stranger[2] = char(0xEE);
    stranger[6] = char(telegramChecksum(reinterpret_cast<const quint8 *>(stranger.constData()) + 1));
    panel->peer.write(frames + stranger);
    const bool seen = QTest::qWaitFor([&] { return panel->log().contains(marker); }, 5000);
    panel->log().removeAll(marker);
    return seen;
}

// "A" and "L" for each channel whose active button or lamp switch is enabled, "-" otherwise.
QString TestChannel::enabledButtons() const
{
    QString result;
    for (int n = 1; n <= 4; ++n) {
        result += button("activeButton", n)->isEnabled() ? "A" : "-";
        result += button("lampButton", n)->isEnabled() ? "L" : "-";
    }
    return result;
}

QStringList TestChannel::snapshot(int n)
{
    const Channel &channel = window->channel(n - 1);
    return {QString("active %1 operation %2 lampOn %3 countdown %4 retries %5")
                .arg(channel.isActive())
                .arg(channel.currentOperation())
                .arg(channel.isLampOn())
                .arg(channel.countdownTicks())
                .arg(channel.retriesLeft()),
            shownImage(button("activeButton", n)),
            shownImage(button("lampButton", n)),
            shownImage(indicator(n)),
            enabledButtons()};
}

void TestChannel::activePressQueriesAndReportConfirms_data()
{
    QTest::addColumn<quint8>("state");
    QTest::addColumn<QString>("indicatorImage");
    QTest::addColumn<QString>("switchImage");
    QTest::newRow("lamp on") << quint8(1) << "button-yellow"
                             << "switch-on";
    QTest::newRow("lamp off") << quint8(0) << "button-off"
                              << "switch-off";
}

void TestChannel::activePressQueriesAndReportConfirms()
{
    QFETCH(quint8, state);
    QFETCH(QString, indicatorImage);
    QFETCH(QString, switchImage);
    Channel &channel = window->channel(1);

    QCOMPARE(shownImage(button("activeButton", 2)), "Glossy_Button_White");
    QTest::mousePress(button("activeButton", 2), Qt::LeftButton); // acts when the button goes down
    QCOMPARE(shownImage(button("activeButton", 2)), "Glossy_Button_Light_Green");
    QCOMPARE(enabledButtons(), "--------");
    QTest::mouseRelease(button("activeButton", 2), Qt::LeftButton);
    QCOMPARE(panel->peer.read(1, 50), QByteArray()); // nothing before the next tick
    window->onTimerTick();
    QCOMPARE(panel->peer.read(8), command(2, Telegram::ReportState));

    QVERIFY(deliver(report(2, state)));
    QCOMPARE(channel.currentOperation(), Channel::Confirmed);
    QCOMPARE(channel.isLampOn(), state == 1);
    QCOMPARE(shownImage(indicator(2)), indicatorImage);
    QCOMPARE(shownImage(button("lampButton", 2)), switchImage);
    QCOMPARE(enabledButtons(), "ALAL--AL"); // channel 3 has no receiver
    QCOMPARE(panel->log(), QStringList());

    // A confirmed channel keeps its steady image, sends nothing and never gives up.
    for (int tick = 0; tick < 250; ++tick) // longer than a repeat cycle
        window->onTimerTick();
    QVERIFY(channel.isActive());
    QCOMPARE(shownImage(indicator(2)), indicatorImage);
    QCOMPARE(panel->peer.read(1, 50), QByteArray());

    // Pressing the active button again asks once more.
    press("activeButton", 2);
    QCOMPARE(enabledButtons(), "--------");
    window->onTimerTick();
    QCOMPARE(panel->peer.read(8), command(2, Telegram::ReportState));
}

void TestChannel::lampSwitchSendsTheNewState()
{
    Channel &channel = window->channel(0);
    for (const bool on : {true, false}) {
        press("lampButton", 1);
        QCOMPARE(channel.isLampOn(), on); // the switch follows the press at once
        QCOMPARE(shownImage(button("lampButton", 1)), on ? "switch-on" : "switch-off");
        QCOMPARE(shownImage(button("activeButton", 1)), "Glossy_Button_Light_Green");
        window->onTimerTick();
        QCOMPARE(panel->peer.read(8), command(1, on ? Telegram::LampOn : Telegram::LampOff));
        QVERIFY(deliver(report(1, on)));
        QCOMPARE(channel.currentOperation(), Channel::Confirmed);
        QCOMPARE(shownImage(indicator(1)), on ? "button-yellow" : "button-off");
    }
}

void TestChannel::unansweredCommandIsRepeatedThenAbandoned()
{
    Channel &channel = window->channel(1);
    press("lampButton", 2);
    for (int tick = 1; tick <= 154; ++tick) {
        window->onTimerTick();
        if (tick == 1 || tick == 52 || tick == 103)
            QCOMPARE(panel->peer.read(8), command(2, Telegram::LampOn));
        else
            QVERIFY2(panel->peer.readNow().isEmpty(),
                     qPrintable(QString("sent before tick %1").arg(tick)));
        QCOMPARE(channel.isActive(), tick < 154);
    }
    QCOMPARE(panel->peer.read(1, 50), QByteArray());
    QCOMPARE(shownImage(button("activeButton", 2)), "Glossy_Button_White");
    QCOMPARE(shownImage(button("lampButton", 2)), "switch-off");
    QCOMPARE(shownImage(indicator(2)), "button-off");
    QCOMPARE(enabledButtons(), "ALAL--AL");

    // The switch shows off, so the next press switches on, as it shows.
    QVERIFY(!channel.isLampOn());
    press("lampButton", 2);
    window->onTimerTick();
    QCOMPARE(panel->peer.read(8), command(2, Telegram::LampOn));
}

void TestChannel::inactiveSwitchMeansWhatItShows_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("command to switch on unanswered") << "switch on unanswered";
    QTest::newRow("query of a lit lamp unanswered") << "query unanswered";
    QTest::newRow("lit lamp, set inactive") << "set inactive";
}

void TestChannel::inactiveSwitchMeansWhatItShows()
{
    QFETCH(QString, way);
    Channel &channel = window->channel(1);
    press("lampButton", 2);
    if (way != "switch on unanswered") {
        window->onTimerTick();
        QVERIFY(deliver(report(2, 1)));
        QCOMPARE(channel.currentOperation(), Channel::Confirmed);
    }
    QVERIFY(channel.isLampOn());
    if (way == "query unanswered")
        press("activeButton", 2);
    if (way == "set inactive") {
        channel.setActive(false); // as a stored inactive flag does
        window->enableChannels(true);
    }
    for (int tick = 0; channel.isActive() && tick < 200; ++tick)
        window->onTimerTick();
    QVERIFY(!channel.isActive());
    QCOMPARE(shownImage(button("lampButton", 2)), "switch-off");
    QVERIFY(!channel.isLampOn());

    panel->peer.readNow();
    press("lampButton", 2);
    QCOMPARE(shownImage(button("lampButton", 2)), "switch-on");
    window->onTimerTick();
    QCOMPARE(panel->peer.read(8), command(2, Telegram::LampOn));
}

void TestChannel::indicatorBlinksWhilePending()
{
    press("activeButton", 4);
    QString previous;
    for (int tick = 0; tick < 6; ++tick) {
        window->onTimerTick();
        const QString shown = shownImage(indicator(4));
        QCOMPARE(shown, blinkPhase ? "button-off" : "button-yellow");
        QVERIFY(shown != previous);
        previous = shown;
        QCOMPARE(shownImage(indicator(1)), "button-off"); // inactive channels do not blink
    }
    QCOMPARE(panel->peer.read(8), command(4, Telegram::ReportState));

    QVERIFY(deliver(report(4, 1)));
    for (int tick = 0; tick < 3; ++tick) {
        window->onTimerTick();
        QCOMPARE(shownImage(indicator(4)), "button-yellow");
    }
}

void TestChannel::blinkingKeepsLayoutAndLook()
{
    struct LayoutWatch : QObject
    {
        int requests = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            requests += event->type() == QEvent::LayoutRequest;
            return false;
        }
    } watch;
    press("activeButton", 4);
    for (int round = 0; round < 2; ++round) // lays out what the press changed, inside out
        QCoreApplication::processEvents();
    window->installEventFilter(&watch);
    window->centralWidget()->installEventFilter(&watch);
    for (int tick = 0; tick < 4; ++tick) {
        window->onTimerTick();
        QCoreApplication::processEvents();
        QVERIFY(looksAsPlainLabel(indicator(4)));
    }
    QCOMPARE(watch.requests, 0); // no size changed, so nothing is laid out again
}

void TestChannel::reportChecks_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<quint8>("state");
    QTest::addColumn<bool>("goodChecksum");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("lines");
    const QString crc = "Invalid CRC, ignored for now";
    const QString invalid = "Received invalid command";
    QTest::newRow("bad checksum is used")
        << "query" << quint8(1) << false << true << QStringList{crc};
    QTest::newRow("on while switching on")
        << "switch on" << quint8(1) << true << true << QStringList();
    QTest::newRow("off while switching off")
        << "switch off" << quint8(0) << true << true << QStringList();
    QTest::newRow("stale off") << "switch on" << quint8(0) << true << false
                               << QStringList{"Ignored stale OFF message"};
    QTest::newRow("stale on") << "switch off" << quint8(1) << true << false
                              << QStringList{"Ignored stale ON message"};
    QTest::newRow("bad checksum, stale") << "switch on" << quint8(0) << false << false
                                         << QStringList{crc, "Ignored stale OFF message"};
    QTest::newRow("state 2") << "query" << quint8(2) << true << false << QStringList{invalid};
    QTest::newRow("state FF, bad checksum")
        << "switch on" << quint8(0xFF) << false << false << QStringList{crc, invalid};
    QTest::newRow("inactive") << "inactive" << quint8(1) << true << false << QStringList();
    QTest::newRow("inactive, all wrong")
        << "inactive" << quint8(7) << false << false << QStringList();
}

void TestChannel::reportChecks()
{
    QFETCH(QString, setup);
    QFETCH(quint8, state);
    QFETCH(bool, goodChecksum);
    QFETCH(bool, accepted);
    QFETCH(QStringList, lines);
    Channel &channel = window->channel(1);

    if (setup == "query")
        press("activeButton", 2);
    if (setup == "switch on" || setup == "switch off")
        press("lampButton", 2);
    if (setup == "switch off") {
        QVERIFY(deliver(report(2, 1)));
        press("lampButton", 2);
    }
    window->onTimerTick();
    panel->log().clear();
    const QStringList before = snapshot(2);

    QVERIFY(deliver(report(2, state, goodChecksum)));
    QCOMPARE(panel->log(), lines);
    if (!accepted) {
        QCOMPARE(snapshot(2), before);
        return;
    }
    QCOMPARE(channel.currentOperation(), Channel::Confirmed);
    QCOMPARE(channel.isLampOn(), state == 1);
    QCOMPARE(shownImage(indicator(2)), state ? "button-yellow" : "button-off");
    QCOMPARE(shownImage(button("lampButton", 2)), state ? "switch-on" : "switch-off");
    QCOMPARE(enabledButtons(), "ALAL--AL");
}

void TestChannel::wrongSizedBodyIsDropped()
{
    press("activeButton", 2);
    const QByteArray frame = report(2, 1);
    const auto *body = reinterpret_cast<const quint8 *>(frame.constData()) + 1;
    const QStringList before = snapshot(2);
    for (unsigned length : {0u, 5u, 7u}) {
        panel->log().clear();
        window->channel(1).receiveTelegram(body, length);
        QCOMPARE(panel->log(),
                 QStringList{QString("Received invalid sized telegram %1").arg(length)});
        QCOMPARE(snapshot(2), before);
    }
}

void TestChannel::unsolicitedReportUpdatesConfirmedChannel()
{
    Channel &second = window->channel(1);
    press("activeButton", 2);
    QVERIFY(deliver(report(2, 1)));
    press("activeButton", 1); // channel 1 pending: everything locked
    QCOMPARE(enabledButtons(), "--------");

    QVERIFY(deliver(report(2, 0)));
    QCOMPARE(second.currentOperation(), Channel::Confirmed);
    QVERIFY(!second.isLampOn());
    QCOMPARE(shownImage(indicator(2)), "button-off");
    QCOMPARE(shownImage(button("lampButton", 2)), "switch-off");
    QCOMPARE(enabledButtons(), "ALAL--AL"); // although channel 1 still waits
    QCOMPARE(window->channel(0).currentOperation(), Channel::Query);
    QCOMPARE(panel->log(), QStringList());
}

void TestChannel::pendingChannelsShareTheLock()
{
    // As when both are stored active: activated together, ticked in channel order.
    window->channel(0).setActive(true);
    window->channel(1).setActive(true);
    QCOMPARE(enabledButtons(), "--------");
    window->onTimerTick();
    QCOMPARE(panel->peer.read(16),
             command(1, Telegram::ReportState) + command(2, Telegram::ReportState));

    QVERIFY(deliver(report(1, 1)));
    QCOMPARE(enabledButtons(), "ALAL--AL");
    for (int tick = 2; tick <= 52; ++tick)
        window->onTimerTick();
    QCOMPARE(panel->peer.read(8), command(2, Telegram::ReportState)); // channel 2 still repeats
}

void TestChannel::channelWithoutReceiverStaysInert()
{
    Channel &third = window->channel(2);
    QCOMPARE(shownImage(button("activeButton", 3)), "Glossy_Button_Black");
    QCOMPARE(enabledButtons(), "ALALALAL"); // as the layout left them

    press("activeButton", 3);
    press("lampButton", 3);
    third.setActive(true);
    QVERIFY(!third.isActive());
    QVERIFY(!third.isLampOn()); // a switch that can reach no receiver does not move
    QCOMPARE(shownImage(button("lampButton", 3)), "switch-off");
    QCOMPARE(shownImage(button("activeButton", 3)), "Glossy_Button_Black");
    QCOMPARE(enabledButtons(), "ALALALAL"); // nothing was locked
    for (int tick = 0; tick < 3; ++tick)
        window->onTimerTick();
    QCOMPARE(panel->peer.read(1, 50), QByteArray());

    window->enableChannels(true);
    QCOMPARE(enabledButtons(), "ALAL--AL");
    QCOMPARE(shownImage(button("activeButton", 3)), "Glossy_Button_Black");
}

void TestChannel::realTimerRunsOneRepeatCycle()
{
    Channel &channel = window->channel(3);
    press("lampButton", 4);
    window->tickTimer()->start();
    QElapsedTimer clock;
    clock.start();
    QList<qint64> sentAt;
    QByteArray sent;
    while (channel.isActive() && clock.elapsed() < 30000) {
        const QByteArray got = panel->peer.read(1, 100);
        sent += got;
        if (!got.isEmpty())
            sentAt << clock.elapsed();
    }
    const qint64 gaveUpAt = clock.elapsed();
    QVERIFY(!channel.isActive());
    QCOMPARE(sent, command(4, Telegram::LampOn).repeated(3));
    QCOMPARE(sentAt.size(), 3);
    // 51 ticks between transmissions and to the give-up; a busy machine only makes them later.
    const qint64 gaps[] = {sentAt[1] - sentAt[0], sentAt[2] - sentAt[1], gaveUpAt - sentAt[2]};
    for (qint64 gap : gaps)
        QVERIFY2(gap > 4600 && gap < 8000, qPrintable(QString("%1 ms").arg(gap)));
    QCOMPARE(enabledButtons(), "ALAL--AL");
}

QTEST_MAIN(TestChannel)

#include "tst_channel.moc"
