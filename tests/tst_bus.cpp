// The panel on the session bus: one panel per session, the channels for scripts and the command
// line. Runs under its own session bus (dbus-run-session); the panel under test is this process,
// its transmitter a pseudo-terminal played by the test.
#include "app/mainwindow.h"
#include "app/startup.h"
#include "app/version.h"
#include "bus/busloader.h"
#include "bus/panelbus.h"
#include "channel/channelrequests.h"
#include "support/panelchild.h"
#include "support/panelfixture.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>

#include <algorithm>

namespace {

const ChannelAddress Addresses[4] = {{0x11, 0x22, 0x33}, {0xA0, 0xA1, 0xA2}, {}, {0x44, 0x55, 0x66}};
const char Interface[] = LUMO_APP_ID ".Channel1";

QDBusMessage channelCall(const QString &path,
                         const QString &member,
                         const QVariantList &arguments = {},
                         const QString &interface = QString::fromLatin1(Interface))
{
    QDBusMessage call = QDBusMessage::createMethodCall(LUMO_APP_ID,
                                                       LUMO_APP_PATH + path,
                                                       interface,
                                                       member);
    call.setArguments(arguments);
    return call;
}

long residentKb()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

} // namespace

class TestBus : public QObject
{
    Q_OBJECT

public slots:
    void heard(const QDBusMessage &message)
    {
        changes << message.path().section('/', -1) + " "
                       + QString::fromLatin1(
                           QJsonDocument::fromVariant(
                               qdbus_cast<QVariantMap>(message.arguments().value(1)))
                               .toJson(QJsonDocument::Compact));
    }

private slots:
    void init();
    void cleanup();
    void startsOncePerSession_data();
    void startsOncePerSession();
    void switchWaitsItsTurnAndReplies();
    void callsEndingWithoutReport_data();
    void callsEndingWithoutReport();
    void commandLine_data();
    void commandLine();
    void figures();

private:
    QDBusConnection caller()
    {
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus, "caller");
    }
    // Waits for `call`, ticking the panel and letting the receivers answer as they would.
    bool settle(const std::function<bool()> &done, int timeoutMs = 20000);
    void answerCommands();
    void tick(int count)
    {
        for (int i = 0; i < count; ++i)
            window->onTimerTick();
    }

    std::unique_ptr<PanelFixture> panel;
    MainWindow *window = nullptr;
    std::unique_ptr<PanelBus> bus;
    QStringList tokens;
    QStringList changes;
};

void TestBus::init()
{
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("no session bus: run under dbus-run-session");
    panel = std::make_unique<PanelFixture>();
    panel->log();
    window = panel->open("11 22 33\nA0 A1 A2\n00 00 00\n44 55 66\n");
    QVERIFY(window && panel->show());
    bus = std::make_unique<PanelBus>();
    QCOMPARE(bus->claim(), PanelBus::Claim::Owner);
    bus->attach(channelsForBus(window->channelRequests()), [this](const QString &token) {
        tokens << token;
        raiseWindow(*window, token);
    });
    tokens.clear();
    changes.clear();
    QVERIFY(caller().connect(LUMO_APP_ID,
                             QString(),
                             "org.freedesktop.DBus.Properties",
                             "PropertiesChanged",
                             this,
                             SLOT(heard(QDBusMessage))));
}

void TestBus::cleanup()
{
    caller().disconnect(LUMO_APP_ID,
                        QString(),
                        "org.freedesktop.DBus.Properties",
                        "PropertiesChanged",
                        this,
                        SLOT(heard(QDBusMessage)));
    bus.reset();
    panel.reset();
}

bool TestBus::settle(const std::function<bool()> &done, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            answerCommands();
            return done();
        },
        timeoutMs);
}

// Each tick, as the receivers of channels 1, 2 and 4 would: a command is answered with its
// state, a query with "off".
void TestBus::answerCommands()
{
    tick(1);
    const QByteArray sent = panel->peer.readNow();
    for (int at = 0; at + 8 <= sent.size(); at += 8) {
        const auto *frame = reinterpret_cast<const quint8 *>(sent.constData() + at);
        const ChannelAddress address{frame[2], frame[3], frame[4]};
        panel->receive(reportBytes(address, frame[5] == Telegram::LampOn ? 1 : 0));
    }
}

void TestBus::startsOncePerSession_data()
{
    QTest::addColumn<QString>("busAddress");
    QTest::addColumn<QStringList>("tokens");
    QTest::addColumn<int>("noBusLines");
    QTest::newRow("second start raises the first") << QString() << QStringList{"token-7"} << 0;
    QTest::newRow("without a bus, as before")
        << "unix:path=/nonexistent/lumo-bus" << QStringList() << 1;
    // No address, no bus socket and no X display: the panel does not even ask for a bus.
    QTest::newRow("nowhere to find a bus") << "none" << QStringList() << 1;
}

void TestBus::startsOncePerSession()
{
    QFETCH(QString, busAddress);
    QFETCH(QStringList, tokens);
    QFETCH(int, noBusLines);
    QTemporaryDir home;
    const char *const variables[] = {"DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "XDG_RUNTIME_DIR"};
    QByteArray saved[3];
    for (int i = 0; i < 3; ++i)
        saved[i] = qgetenv(variables[i]);
    if (busAddress == "none") {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qunsetenv("DISPLAY");
        qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
    } else if (!busAddress.isEmpty()) {
        qputenv("DBUS_SESSION_BUS_ADDRESS", busAddress.toUtf8());
    }
    qputenv("XDG_ACTIVATION_TOKEN", "token-7");
    window->showMinimized();
    PtyPeer ownPort;
    PanelChild child;
    const bool started = child.start(home.filePath("lumo-win"), ownPort.slavePath(), {"close"});
    for (int i = 0; i < 3; ++i) {
        if (saved[i].isNull())
            qunsetenv(variables[i]);
        else
            qputenv(variables[i], saved[i]);
    }
    qunsetenv("XDG_ACTIVATION_TOKEN");
    QVERIFY(started);
    // This process is the running panel: it must answer while the child starts.
    QVERIFY(QTest::qWaitFor([&] { return child.process.state() == QProcess::NotRunning; }, 20000));
    QVERIFY(child.finish());
    QVERIFY2(child.succeeded(), qPrintable(child.story()));
    QCOMPARE(this->tokens, tokens);
    QCOMPARE(window->isMinimized(), tokens.isEmpty());
    QCOMPARE(child.errors.count("No session bus"), noBusLines);
    QCOMPARE(child.errors.contains("Initialize"), noBusLines == 1); // the window was shown
}

// While channel 1 waits, a switch for channel 2 waits its turn, then goes out, shows as a
// press does and replies with the report. Properties change once per change, not per blink.
void TestBus::switchWaitsItsTurnAndReplies()
{
    panel->button("activeButton", 1)->click();
    tick(1);
    QCOMPARE(panel->peer.read(8), frameBytes(commandTelegram(Addresses[0], Telegram::ReportState)));
    QDBusPendingCall call = caller().asyncCall(channelCall("/channel/2", "Switch", {true}), 90000);
    QVERIFY(QTest::qWaitFor([&] { return window->channelRequests()->waitingCount() == 1; }));
    tick(60);
    QCOMPARE(panel->peer.readNow(),
             frameBytes(commandTelegram(Addresses[0], Telegram::ReportState)));
    panel->receive(reportBytes(Addresses[0], Telegram::LampOff));
    tick(5);
    QCOMPARE(panel->peer.read(8), frameBytes(commandTelegram(Addresses[1], Telegram::LampOn)));
    QCOMPARE(panel->button("lampButton", 2)->toolTip(), "Switched on");
    QVERIFY(!panel->button("lampButton", 2)->isEnabled());
    QVERIFY(!call.isFinished());
    panel->receive(reportBytes(Addresses[1], Telegram::LampOn));
    QVERIFY(QTest::qWaitFor([&] { return call.isFinished(); }));
    QDBusPendingReply<QString> reply = call;
    QCOMPARE(reply.value(), "on");
    QVERIFY(QTest::qWaitFor([&] { return changes.size() >= 4; }));
    QTest::qWait(50);
    QCOMPARE(changes,
             QStringList({"1 {\"Active\":true,\"Waiting\":true}",
                          "1 {\"Lamp\":\"off\",\"Waiting\":false}",
                          "2 {\"Active\":true,\"Waiting\":true}",
                          "2 {\"Lamp\":\"on\",\"Waiting\":false}"}));
}

void TestBus::callsEndingWithoutReport_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("interface");
    QTest::addColumn<QString>("member");
    QTest::addColumn<QVariantList>("arguments");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("telegrams");
    const QString channel = Interface;
    const QString properties = "org.freedesktop.DBus.Properties";
    const QString invalid = "org.freedesktop.DBus.Error.InvalidArgs";
    QTest::newRow("gives up after three tries")
        << "/channel/2" << channel << "Switch" << QVariantList{true} << LUMO_APP_ID ".Error.GaveUp"
        << 3;
    QTest::newRow("no receiver") << "/channel/3" << channel << "Ask" << QVariantList()
                                 << LUMO_APP_ID ".Error.NoReceiver" << 0;
    QTest::newRow("channel 5") << "/channel/5" << channel << "Ask" << QVariantList() << invalid
                               << 0;
    QTest::newRow("channel 0") << "/channel/0" << channel << "Switch" << QVariantList{true}
                               << invalid << 0;
    QTest::newRow("a string for on")
        << "/channel/2" << channel << "Switch" << QVariantList{"true"} << invalid << 0;
    QTest::newRow("an argument too many")
        << "/channel/2" << channel << "Ask" << QVariantList{1} << invalid << 0;
    QTest::newRow("setting a property")
        << "/channel/2" << properties << "Set"
        << QVariantList{channel, "Active", QVariant::fromValue(QDBusVariant(true))}
        << "org.freedesktop.DBus.Error.PropertyReadOnly" << 0;
    QTest::newRow("no such property")
        << "/channel/2" << properties << "Get" << QVariantList{channel, "Quit"} << invalid << 0;
}

void TestBus::callsEndingWithoutReport()
{
    QFETCH(QString, path);
    QFETCH(QString, interface);
    QFETCH(QString, member);
    QFETCH(QVariantList, arguments);
    QFETCH(QString, error);
    QFETCH(int, telegrams);
    QDBusPendingCall call = caller().asyncCall(channelCall(path, member, arguments, interface));
    QVERIFY(QTest::qWaitFor([&] {
        tick(1);
        return call.isFinished();
    }));
    QCOMPARE(call.error().name(), error);
    QCOMPARE(panel->peer.readNow().size(), 8 * telegrams);
    for (int n = 0; n < 4; ++n)
        QVERIFY(!window->channel(n).isActive());
}

void TestBus::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("panelRuns");
    QTest::addColumn<bool>("withModule");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");
    QTest::newRow("status") << QStringList{"--status"} << true << true << 0
                            << "1: lamp unknown, inactive, address 11 22 33\n"
                               "2: lamp unknown, inactive, address A0 A1 A2\n"
                               "3: no receiver\n"
                               "4: lamp unknown, inactive, address 44 55 66\n";
    QTest::newRow("switch") << QStringList{"--switch", "2", "on"} << true << true << 0 << "on\n";
    QTest::newRow("query") << QStringList{"--query", "4"} << true << true << 0 << "off\n";
    QTest::newRow("activate") << QStringList{"--activate", "1", "off"} << true << true << 0 << "";
    QTest::newRow("no receiver") << QStringList{"--query", "3"} << true << true << 1 << "";
    QTest::newRow("usage") << QStringList{"--switch", "5", "on"} << true << true << 2 << "";
    QTest::newRow("no panel") << QStringList{"--status"} << false << true << 3 << "";
    // A program file without its bus module says so, and does not crash.
    QTest::newRow("no bus module") << QStringList{"--status"} << true << false << 3 << "";
}

void TestBus::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, panelRuns);
    QFETCH(bool, withModule);
    QFETCH(int, status);
    QFETCH(QString, output);
    if (!panelRuns)
        bus.reset();
    QTemporaryDir alone;
    const QString copy = alone.filePath("lumo-win");
    QVERIFY(withModule || QFile::copy(LUMO_WIN_PATH, copy));
    QProcess program;
    program.start(withModule ? QStringLiteral(LUMO_WIN_PATH) : copy, arguments);
    QVERIFY(settle([&] { return program.state() == QProcess::NotRunning; }));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
    QVERIFY2(program.exitCode() == status, qPrintable(errors));
    QCOMPARE(QString::fromLocal8Bit(program.readAllStandardOutput()), output);
    // One line says why (two with the usage hint).
    QVERIFY2(errors.count('\n') == (status == 0 ? 0 : status == 2 ? 2 : 1), qPrintable(errors));
    QCOMPARE(errors.contains("bus module cannot be loaded"), !withModule);
}

void TestBus::figures()
{
    // The command line's status, from start to exit, as a script sees it.
    QList<qint64> statusMs;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer clock;
        clock.start();
        QProcess program;
        program.start(LUMO_WIN_PATH, {"--status", "--json"});
        QVERIFY(settle([&] { return program.state() == QProcess::NotRunning; }));
        statusMs << clock.elapsed();
        QCOMPARE(QJsonDocument::fromJson(program.readAllStandardOutput()).array().size(), 4);
    }
    // From the call to the telegram on the wire, with the panel's own 100 ms tick.
    window->tickTimer()->start();
    QList<qint64> wireMs;
    for (int run = 0; run < 10; ++run) {
        QTest::qWait(37 * run % 100); // anywhere in the tick
        QElapsedTimer clock;
        clock.start();
        QDBusPendingCall call = caller().asyncCall(
            channelCall("/channel/1", "Switch", {run % 2 == 0}));
        QVERIFY(!panel->peer.read(8, 2000).isEmpty());
        wireMs << clock.elapsed();
        panel->receive(reportBytes(Addresses[0], run % 2 == 0 ? 1 : 0));
        QVERIFY(QTest::qWaitFor([&] { return call.isFinished(); }));
    }
    window->tickTimer()->stop();
    // A script's flood while channel 1 waits: every call but the last per channel is replaced
    // at once, so nothing piles up.
    panel->button("activeButton", 1)->click();
    QList<QDBusPendingCall> calls;
    auto flood = [&] {
        for (int i = 0; i < 10000; ++i)
            calls << caller().asyncCall(
                channelCall(QString("/channel/%1").arg(2 + 2 * (i % 2)), "Switch", {i % 3 == 0}));
        QVERIFY(QTest::qWaitFor(
            [&] {
                return std::all_of(calls.cbegin(), calls.cend() - 2, [](const QDBusPendingCall &c) {
                    return c.isFinished();
                });
            },
            60000));
        calls.clear();
    };
    flood(); // the first fills Qt's, the bus library's and the allocator's pools
    const long before = residentKb();
    QElapsedTimer clock;
    clock.start();
    flood();
    const qint64 floodMs = clock.elapsed();
    const long afterOne = residentKb();
    flood();
    const long afterTwo = residentKb();
    QVERIFY(window->channelRequests()->waitingCount() <= 2);
    std::sort(statusMs.begin(), statusMs.end());
    std::sort(wireMs.begin(), wireMs.end());
    qInfo("--status --json round trip: median %lld ms (min %lld, max %lld)",
          statusMs[2],
          statusMs.first(),
          statusMs.last());
    qInfo("call to telegram on the wire: median %lld ms, max %lld ms (the tick is 100 ms)",
          wireMs[5],
          wireMs.last());
    qInfo("10,000 calls in %lld ms; resident memory %ld kB before, %ld kB after them, %ld kB after "
          "10,000 more",
          floodMs,
          before,
          afterOne,
          afterTwo);
    // A kept message would be about a kilobyte a call: ten megabytes.
#ifndef LUMO_SANITIZED // AddressSanitizer keeps freed memory in quarantine
    QVERIFY2(afterTwo - afterOne < 4096, "memory grows with the calls");
#endif
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (isPanelChild())
        return runPanelChild([](MainWindow *window) { window->close(); });
    TestBus test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_bus.moc"
