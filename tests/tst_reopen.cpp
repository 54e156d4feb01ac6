// A lost transmitter line and its return: the panel notices the loss by its own look at the line,
// tells the user once, looks for the transmitter again about once a second and takes it back
// into use in whatever order the loss, the return and the dismissal of the box come; and the
// lumo.link trace of the traffic and of the line.
#include "app/mainwindow.h"
#include "link/transmitterlink.h"
#include "channel/channeladdresses.h"
#include "channel/channel.h"
#include "link/linktrace.h"
#include "platform/portdiagnostics.h"
#include "support/panelfixture.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

const ChannelAddress First = {0x12, 0x34, 0x56};
const ChannelAddress Second = {0xA0, 0xA1, 0xA2};
const ChannelAddress Addresses[2] = {First, Second};
constexpr int TicksPerLook = 10; // about once a second

QByteArray query(const ChannelAddress &address)
{
    return frameBytes(commandTelegram(address, Telegram::ReportState));
}

} // namespace

class TestReopen : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void backInAnyOrder_data();
    void backInAnyOrder();
    void lostLineNoticedWithoutAReport();
    void releasedPortKeepsNoConnection();
    void failedLooksAreQuiet();
    void liveLockKeepsThePortClosed_data();
    void liveLockKeepsThePortClosed();
    void logLinesStayTrue_data();
    void logLinesStayTrue();
    void traceLines_data();
    void traceLines();
    void traceFollowsTheLine_data();
    void traceFollowsTheLine();

private:
    PtyPeer &peer() { return *line; }
    // A new line for the transmitter, named where the panel looks for it.
    void plugIn();
    bool buttonsEnabled(bool expected) const;
    // Loses the line (the far end hangs up) and checks the immediate reaction.
    void lose();
    // Brings a new line up under the same name and checks that the panel takes it back: the
    // active channels' queries come first on it, and their answers free the buttons.
    void bringBack();

    std::unique_ptr<PanelFixture> panel;
    std::vector<std::unique_ptr<PtyPeer>> newLines;
    PtyPeer *line = nullptr;
    MainWindow *window = nullptr;
    QList<int> active;
};

void TestReopen::init()
{
    panel = std::make_unique<PanelFixture>();
    line = &panel->peer;
    window = panel->open("12 34 56\nA0 A1 A2\n");
    QVERIFY(window);
}

void TestReopen::cleanup()
{
    panel.reset();
    newLines.clear();
    QLoggingCategory::setFilterRules(QString());
}

void TestReopen::plugIn()
{
    newLines.push_back(std::make_unique<PtyPeer>());
    line = newLines.back().get();
    QVERIFY(line->isOpen());
    line->useAsTransmitter();
}

bool TestReopen::buttonsEnabled(bool expected) const
{
    for (int n = 1; n <= 2; ++n) {
        for (const char *kind : {"activeButton", "lampButton"}) {
            if (panel->button(kind, n)->isEnabled() != expected)
                return false;
        }
    }
    return true;
}

void TestReopen::lose()
{
    peer().hangUp();
    window->onTimerTick();
    QCOMPARE(window->transmitterPort(), nullptr);
    QVERIFY(window->link().awaitsTransmitter());
    QVERIFY(buttonsEnabled(false));
}

void TestReopen::bringBack()
{
    plugIn();
    for (int tick = 0; tick < TicksPerLook && !window->transmitterPort(); ++tick)
        window->onTimerTick();
    QVERIFY2(window->transmitterPort(), "not reopened within a second");
    QVERIFY(!window->link().awaitsTransmitter());
    window->onTimerTick();
    QByteArray queries;
    for (int n : active)
        queries += query(Addresses[n]);
    QCOMPARE(peer().read(queries.size() + 1, 200), queries);
    // Locked while the queries wait, as after start-up; the first answer frees them all.
    QCOMPARE(buttonsEnabled(true), active.isEmpty());
    for (int n : active) {
        peer().write(reportBytes(Addresses[n], Telegram::LampOn));
        QTRY_COMPARE(window->channel(n).currentOperation(), Channel::Confirmed);
    }
    QVERIFY(buttonsEnabled(true));
}

void TestReopen::backInAnyOrder_data()
{
    // L: the line is lost; B: it comes back; D: the box is dismissed. The first L opens the box.
    QTest::addColumn<QString>("whileBoxOpen");
    QTest::addColumn<QString>("afterwards");
    QTest::addColumn<QList<int>>("activeChannels");
    QTest::newRow("dismissed, then back") << ""
                                          << "B" << QList<int>{0, 1};
    QTest::newRow("back, then dismissed") << "B"
                                          << "" << QList<int>{0, 1};
    QTest::newRow("back, lost, back, then dismissed") << "BLB"
                                                      << "" << QList<int>{1};
    QTest::newRow("back, lost, dismissed, then back") << "BL"
                                                      << "B" << QList<int>{0};
    QTest::newRow("nothing active: back, then dismissed") << "B"
                                                          << "" << QList<int>{};
}

void TestReopen::backInAnyOrder()
{
    QFETCH(QString, whileBoxOpen);
    QFETCH(QString, afterwards);
    QFETCH(QList<int>, activeChannels);
    active = activeChannels;
    for (int n : active)
        panel->confirmChannel(n, Telegram::LampOff);
    QVERIFY(buttonsEnabled(true));

    auto run = [this](const QString &events) {
        for (const QChar event : events) {
            if (event == QLatin1Char('L'))
                lose();
            else
                bringBack();
            if (QTest::currentTestFailed())
                return;
        }
    };
    QStringList boxes;
    QTimer boxWatch;
    connect(&boxWatch, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        boxes << box->text();
        run(whileBoxOpen);
        box->buttons().value(0)->click();
    });
    boxWatch.start(10);

    lose();
    QTRY_COMPARE(boxes.size(), 1);
    QVERIFY(!QTest::currentTestFailed());
    QVERIFY2(boxes.first().startsWith("Error reading from serial port: "),
             qPrintable(boxes.first()));
    // After the box: usable if the line is back, else locked.
    QVERIFY(buttonsEnabled(window->transmitterPort() != nullptr));
    run(afterwards);
    QVERIFY(!QTest::currentTestFailed());
    QVERIFY(window->transmitterPort());
    QTest::qWait(50);
    QCOMPARE(boxes.size(), 1); // a loss while the box is open opens no second one
    QVERIFY(buttonsEnabled(true));
}

void TestReopen::lostLineNoticedWithoutAReport()
{
    // Newer Qt reports nothing when a line hangs up; here the toolkit's reports reach nobody.
    QSerialPort *port = window->transmitterPort();
    QVERIFY(QObject::disconnect(port, &QSerialPort::errorOccurred, &window->link(), nullptr));
    BoxDismisser &boxes = panel->boxes();
    peer().hangUp();
    QTest::qWait(100);
    QCOMPARE(window->transmitterPort(), port);
    window->onTimerTick();
    QCOMPARE(window->transmitterPort(), nullptr);
    QVERIFY(buttonsEnabled(false));
    QTRY_COMPARE(boxes.seen,
                 QStringList{"Error|Error reading from serial port: Input/output error"});
}

void TestReopen::releasedPortKeepsNoConnection()
{
    QPointer<QSerialPort> port = window->transmitterPort();
    window->link().close();
    QVERIFY(port); // released later, it may be inside its own signal
    QVERIFY(!QObject::disconnect(port, nullptr, window, nullptr));
    QTRY_VERIFY(port.isNull());
}

void TestReopen::failedLooksAreQuiet()
{
    BoxDismisser &boxes = panel->boxes();
    lose();
    QTRY_COMPARE(boxes.seen.size(), 1);
    QStringList &log = panel->log();
    auto waitingLines = [&log] {
        return log.filter(QRegularExpression("^Waiting for the transmitter: ")).size();
    };
    for (int tick = 0; tick < 4 * TicksPerLook; ++tick)
        window->onTimerTick();
    QCOMPARE(waitingLines(), 1);
    qunsetenv("LUMO_WIN_PORT"); // another reason: no transmitter among the machine's ports
    for (int tick = 0; tick < 3 * TicksPerLook; ++tick)
        window->onTimerTick();
    QCOMPARE(waitingLines(), 2);
    QVERIFY(log.last().endsWith("Transmmitter device not found"));
    QVERIFY(buttonsEnabled(false));
    bringBack();
    QCOMPARE(log.count("Opened serial port"), 1);
    QCOMPARE(waitingLines(), 2);
    QCOMPARE(boxes.seen.size(), 1);
}

void TestReopen::liveLockKeepsThePortClosed_data()
{
    // 40 s old, %name and %host filled in; empty: the port held by this process.
    QTest::addColumn<QByteArray>("lock");
    QTest::addColumn<bool>("opened");
    QTest::newRow("binary number") << QByteArray("\1\0\0\0", 4) << false; // process 1 runs
    QTest::newRow("UUCP text") << QByteArray("         1\n") << false;
    QTest::newRow("the toolkit's") << QByteArray("1\n%name\n%host\n") << false;
    QTest::newRow("the toolkit's, another program") << QByteArray("1\nminicom\n%host\n") << false;
    QTest::newRow("ended process: stale") << QByteArray("  99999999\n") << true;
    QTest::newRow("through a symbolic link") << QByteArray() << false;
}

void TestReopen::liveLockKeepsThePortClosed()
{
    QFETCH(QByteArray, lock);
    QFETCH(bool, opened);
    QStringList &log = panel->log();
    panel->boxes();
    lose();
    plugIn();
    const QString device = peer().slavePath();
    QFile file(examineOpenFailure(device, QSerialPort::NoError, {}).lockFile);
    QSerialPort holder(device);
    if (lock.isEmpty()) {
        QVERIFY(holder.open(QIODevice::ReadWrite));
        QVERIFY(QFile::link(device, panel->dir.filePath("port")));
        qputenv("LUMO_WIN_PORT", QFile::encodeName(panel->dir.filePath("port")));
    } else {
        // A new pty may reuse the name of one whose holder was killed and left its lock behind.
        QFile::remove(file.fileName());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::NewOnly));
        const QString name = QFileInfo(QFile::symLinkTarget("/proc/1/exe")).fileName();
        file.write(lock.replace("%name", name.toLocal8Bit())
                       .replace("%host", QSysInfo::machineHostName().toLocal8Bit()));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-40),
                                 QFileDevice::FileModificationTime));
        file.close();
    }
    for (int tick = 0; tick < 2 * TicksPerLook; ++tick)
        window->onTimerTick();
    if (!opened && !lock.isEmpty())
        file.remove();
    QCOMPARE(window->transmitterPort() != nullptr, opened);
    const QString inUse = "(the port is in use by another program: lock file " + file.fileName();
    QCOMPARE(log.filter(inUse).size(), opened ? 0 : 1);
}

void TestReopen::logLinesStayTrue_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("line"); // %dir: the test's folder; %port: the lost line
    const QString folder = "%dir/x\\nlumo.link: reopened \"/dev/ttyUSB0\"/";
    QTest::newRow("settings path") << "settings"
                                   << "Start using config file " + folder + "a.cnf";
    QTest::newRow("address file path")
        << "addresses"
        << "Cannot read the channel address file " + folder
               + "a.channels (No such file or directory): no channel has a receiver";
    QTest::newRow("loss the toolkit reports") << "hang-up"
                                              << "lost \"%port\": Input/output error";
}

void TestReopen::logLinesStayTrue()
{
    QFETCH(QString, event);
    QFETCH(QString, line);
    QLoggingCategory::setFilterRules("lumo.link.debug=true");
    BoxDismisser &boxes = panel->boxes();
    QStringList &log = panel->log();
    const QString folder = panel->dir.filePath("x\nlumo.link: reopened \"/dev/ttyUSB0\"/");
    if (event == "settings")
        window->loadConfiguration(folder + "a.cnf");
    if (event == "addresses")
        loadChannelAddresses(folder + "a.channels");
    if (event == "hang-up") {
        peer().hangUp(); // no tick: the toolkit's report finds the loss
        QTRY_COMPARE(boxes.seen,
                     QStringList{"Error|Error reading from serial port: Input/output error"});
    }
    line.replace("%dir", panel->dir.path()).replace("%port", peer().slavePath());
    QVERIFY2(log.contains(line), qPrintable(log.join('|')));
}

void TestReopen::traceLines_data()
{
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("line");
    QTest::newRow("switch on") << true << QByteArray("02 05 12 34 56 01 3B 03") << 1
                               << "sent     02 05 12 34 56 01 3B 03  channel 1: switch the lamp on";
    QTest::newRow("query")
        << true << QByteArray("02 05 12 34 56 02 4B 03") << 3
        << "sent     02 05 12 34 56 02 4B 03  channel 3: report the lamp's state";
    QTest::newRow("switch off") << true << QByteArray("02 05 00 00 0A 00 01 03") << 0
                                << "sent     02 05 00 00 0A 00 01 03  switch the lamp off";
    QTest::newRow("report on") << false << QByteArray("02 85 12 34 56 01 33 03") << 2
                               << "received 02 85 12 34 56 01 33 03  channel 2: lamp on";
    QTest::newRow("wrong checksum")
        << false << QByteArray("02 85 12 34 56 00 24 03") << 2
        << "received 02 85 12 34 56 00 24 03  channel 2: lamp off, wrong checksum";
    QTest::newRow("invalid state")
        << false << QByteArray("02 85 12 34 56 07 93 03") << 4
        << "received 02 85 12 34 56 07 93 03  channel 4: invalid state 7";
    QTest::newRow("unknown address")
        << false << QByteArray("02 85 12 34 56 01 33 03") << 0
        << "received 02 85 12 34 56 01 33 03  no channel has this address: lamp on";
    QTest::newRow("not a report") << false << QByteArray("02 05 12 34 56 02 4B 03") << 0
                                  << "received 02 05 12 34 56 02 4B 03  not a report: dropped";
}

void TestReopen::traceLines()
{
    QFETCH(bool, sent);
    QFETCH(QByteArray, frame);
    QFETCH(int, channel);
    QFETCH(QString, line);
    const QByteArray bytes = QByteArray::fromHex(frame);
    TelegramFrame telegram{};
    std::copy(bytes.begin(), bytes.end(), telegram.begin());
    QCOMPARE(sent ? describeSent(telegram, channel) : describeReceived(telegram.data() + 1, channel),
             line);
}

void TestReopen::traceFollowsTheLine_data()
{
    QTest::addColumn<bool>("on");
    QTest::newRow("off by default") << false;
    QTest::newRow("lumo.link.debug=true") << true;
}

void TestReopen::traceFollowsTheLine()
{
    QFETCH(bool, on);
    QVERIFY(!lumoLink().isDebugEnabled());
    if (on)
        QLoggingCategory::setFilterRules("lumo.link.debug=true");
    BoxDismisser &boxes = panel->boxes();
    QStringList &log = panel->log();
    window = panel->open("12 34 56\nA0 A1 A2\n"); // again, with the log listening
    QVERIFY(window);
    const QString first = peer().slavePath();
    active = {1};
    window->channel(1).onActivePressed();
    window->onTimerTick();
    QCOMPARE(peer().read(8), query(Second));
    peer().write(reportBytes(Second, Telegram::LampOn) + reportBytes({1, 2, 3}, Telegram::LampOn));
    QTRY_VERIFY(log.contains("Address not found"));
    lose();
    QTRY_COMPARE(boxes.seen.size(), 1);
    bringBack();

    const QStringList expected{
        "opened \"" + first + '"',
        "sent     02 05 A0 A1 A2 02 BF 03  channel 2: report the lamp's state",
        "received 02 85 A0 A1 A2 01 A7 03  channel 2: lamp on",
        "received 02 85 01 02 03 01 D9 03  no channel has this address: lamp on",
        "lost \"" + first + "\": Input/output error",
        "reopened \"" + peer().slavePath() + '"',
        "sent     02 05 A0 A1 A2 02 BF 03  channel 2: report the lamp's state",
        "received 02 85 A0 A1 A2 01 A7 03  channel 2: lamp on",
    };
    const QStringList plainLines{"Opened serial port", "Address not found"};
    QStringList trace;
    for (const QString &text : log) {
        if (!plainLines.contains(text) && !text.startsWith("Waiting for the transmitter: "))
            trace << text;
    }
    QCOMPARE(trace, on ? expected : QStringList());
}

QTEST_MAIN(TestReopen)
#include "tst_reopen.moc"
