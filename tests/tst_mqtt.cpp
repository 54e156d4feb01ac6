#include "mqtt/bridgesettings.h"
#include "mqtt/bridgetopics.h"
#include "mqtt/hostlookup.h"
#include "mqtt/mqttclient.h"
#include "mqtt/panelbridge.h"
#include "support/broker.h"
#include "support/panelchild.h"
#include "support/panelfixture.h"
#include "support/simulator.h"
#include "support/wireandlog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <algorithm>

namespace {

// The settings in one line, for comparing.
QString summary(const BridgeSettings &s)
{
    return QStringLiteral("%1:%2 tls=%3 ca=%4 user=%5 pw=%6 %7 %8")
        .arg(s.host)
        .arg(s.effectivePort())
        .arg(s.tls ? "on" : "off",
             s.caFile,
             s.user,
             s.passwordFile,
             s.topicPrefix,
             s.discoveryPrefix);
}

const BridgeTopics Topics{"lumo-win/box", "homeassistant"};

// A lumo-win.mqtt in `folder` for the broker on `port`.
bool writeSettings(const QString &folder, int port)
{
    QFile file(QDir(folder).filePath("lumo-win.mqtt"));
    return file.open(QIODevice::WriteOnly)
           && file.write(QString("host = 127.0.0.1\nport = %1\ntopic_prefix = lumo-win/box\n")
                             .arg(port)
                             .toUtf8())
                  > 0;
}

// The resident memory of process `pid` in KiB, from /proc.
qint64 residentKiB(qint64 pid)
{
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

class TestMqtt : public QObject
{
    Q_OBJECT

private slots:
    void settings_data();
    void settings();
    void passwordFile();
    void incoming_data();
    void incoming();
    void discoveryUsesDocumentedKeys();
    void hostLookupAnswersOnItsThread_data();
    void hostLookupAnswersOnItsThread();
    void stalledBrokerKeepsWindowResponsive();
    void requestsTakeThePanelsOnePath();
    void panelProcessAgainstSimulator();
};

void TestMqtt::settings_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("problems");
    const QString f = "/etc/xdg/lumo-win/lumo-win.mqtt";

    QTest::newRow("empty: defaults") << QByteArray()
                                     << "localhost:1883 tls=off ca= user= pw= "
                                        "lumo-win/my_host homeassistant"
                                     << QStringList();
    QTest::newRow("every key, comments, CRLF")
        << QByteArray("# broker\r\nhost = broker.lan\r\n port=1884 # plain\ntls = on\n"
                      "ca_file = ca.pem\nuser = lumo\npassword_file = /run/pw\n"
                      "topic_prefix = house/panel\ndiscovery_prefix = ha\n")
        << "broker.lan:1884 tls=on ca=/etc/xdg/lumo-win/ca.pem user=lumo pw=/run/pw house/panel ha"
        << QStringList();
    QTest::newRow("TLS takes 8883") << QByteArray("tls = on\n")
                                    << "localhost:8883 tls=on ca= user= pw= lumo-win/my_host "
                                       "homeassistant"
                                    << QStringList();
    QTest::newRow("bad lines keep the defaults")
        << QByteArray("port = 70000\ntls = yes\nhost\ncolour = red\ntopic_prefix = a/+\n"
                      "discovery_prefix = /ha/\nuser =\n")
        << "localhost:1883 tls=off ca= user= pw= lumo-win/my_host homeassistant"
        << QStringList{f + ":1: a port is a number from 1 to 65535, found \"70000\"",
                       f + ":2: tls is on or off, found \"yes\"",
                       f + ":3: expected \"setting = value\", found \"host\"",
                       f + ":4: unknown setting \"colour\"",
                       f + ":5: a topic prefix must not hold the wildcards + or #",
                       f + ":6: a topic prefix must not start or end with / or hold //",
                       f + ":7: \"user\" has no value"};
    QTest::newRow("binary junk") << QByteArray("host = a\x01\xff\n")
                                 << "localhost:1883 tls=off ca= user= pw= lumo-win/my_host "
                                    "homeassistant"
                                 << QStringList{f
                                                + ":1: a host name is printable ASCII without "
                                                  "blanks, found \"a\\x01\\xFF\""};
}

void TestMqtt::settings()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    QFETCH(QStringList, problems);
    const BridgeSettingsFile parsed = parseBridgeSettings(content,
                                                          "/etc/xdg/lumo-win/lumo-win.mqtt",
                                                          "my host");
    QCOMPARE(summary(parsed.settings), expected);
    QCOMPARE(parsed.problems, problems);
}

void TestMqtt::passwordFile()
{
    QTemporaryDir dir;
    const QString settings = dir.filePath("lumo-win.mqtt");
    QFile file(settings);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("user = lumo\npassword_file = secret\n");
    file.close();
    QFile secret(dir.filePath("secret"));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("s3cret\nsecond line\n");
    secret.close();

    for (const bool shared : {true, false}) {
        QVERIFY(secret.setPermissions(QFile::ReadOwner | QFile::WriteOwner
                                      | (shared ? QFile::ReadOther : QFile::Permissions())));
        DebugLog log;
        const BridgeStart start = loadBridgeSettings({dir.filePath("missing.mqtt"), settings},
                                                     "host");
        QCOMPARE(start.enabled, !shared);
        QCOMPARE(start.password, shared ? QString() : QString("s3cret"));
        QCOMPARE(log.lines.size(), shared ? 1 : 0);
    }
    DebugLog log;
    QVERIFY(!loadBridgeSettings({dir.filePath("missing.mqtt")}, "host").enabled);
    QVERIFY(log.lines.isEmpty()); // without the file nothing changes
}

void TestMqtt::incoming_data()
{
    QTest::addColumn<QByteArray>("topic");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("expected");
    const QByteArray set2 = "lumo-win/box/channel/2/set";
    const QString refused = "ignored with a word";

    QTest::newRow("ON") << set2 << QByteArray("ON") << "switch 2 on";
    QTest::newRow("OFF, 4") << QByteArray("lumo-win/box/channel/4/set") << QByteArray("OFF")
                            << "switch 4 off";
    QTest::newRow("lower case") << set2 << QByteArray("on") << refused;
    QTest::newRow("empty") << set2 << QByteArray() << refused;
    QTest::newRow("over 1 KB") << set2 << QByteArray(1025, 'O') << refused;
    for (const char *channel : {"0", "5", "02", "+"})
        QTest::newRow(channel) << QByteArray("lumo-win/box/channel/") + channel + "/set"
                               << QByteArray("ON") << refused;
    QTest::newRow("another panel")
        << QByteArray("lumo-win/boxer/channel/2/set") << QByteArray("ON") << refused;
    QTest::newRow("Home Assistant back")
        << QByteArray("homeassistant/status") << QByteArray("online") << "announce";
    QTest::newRow("Home Assistant gone")
        << QByteArray("homeassistant/status") << QByteArray("offline") << "ignored";
}

void TestMqtt::incoming()
{
    QFETCH(QByteArray, topic);
    QFETCH(QByteArray, payload);
    QFETCH(QString, expected);
    const IncomingMessage m = readIncoming(Topics, topic, payload);
    QString said = m.problem.isEmpty() ? "ignored" : "ignored with a word";
    if (m.kind == IncomingMessage::SwitchRequest)
        said = QString("switch %1 %2").arg(m.channel).arg(m.on ? "on" : "off");
    else if (m.kind == IncomingMessage::DiscoveryOnline)
        said = "announce";
    QCOMPARE(said, expected);
}

void TestMqtt::hostLookupAnswersOnItsThread_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("address");
    QTest::newRow("address") << "127.0.0.1"
                             << "127.0.0.1";
    QTest::newRow("no name") << ""
                             << "";
}

// The answer comes through the event loop, on the thread that asked, once.
void TestMqtt::hostLookupAnswersOnItsThread()
{
    QFETCH(QString, host);
    QFETCH(QString, address);
    HostLookup lookup;
    QList<QStringList> answers;
    connect(&lookup, &HostLookup::finished, this, [&](const QString &a, const QString &error) {
        QCOMPARE(QThread::currentThread(), thread());
        answers << QStringList{a, error};
    });
    lookup.start(host);
    QVERIFY(answers.isEmpty());
    QVERIFY(QTest::qWaitFor([&] { return !answers.isEmpty(); }, 20000));
    QCoreApplication::processEvents();
    QCOMPARE(answers.size(), 1);
    QCOMPARE(answers[0][0], address);
    QCOMPARE(answers[0][1].isEmpty(), !address.isEmpty()); // an error says why
}

void TestMqtt::discoveryUsesDocumentedKeys()
{
    // The keys Home Assistant documents for an MQTT light (default schema) and its device.
    const QStringList lightKeys{"name",
                                "unique_id",
                                "command_topic",
                                "state_topic",
                                "payload_on",
                                "payload_off",
                                "optimistic",
                                "availability",
                                "availability_mode",
                                "device"};
    const QStringList deviceKeys{"identifiers", "name", "model", "sw_version"};
    const QStringList availabilityKeys{"topic", "payload_available", "payload_not_available"};
    const QJsonObject config = QJsonDocument::fromJson(discoveryConfig(Topics, 3, "1.0")).object();
    for (const QString &key : config.keys())
        QVERIFY2(lightKeys.contains(key), qPrintable(key));
    for (const QString &key : config["device"].toObject().keys())
        QVERIFY2(deviceKeys.contains(key), qPrintable(key));
    for (const QJsonValue &entry : config["availability"].toArray())
        for (const QString &key : entry.toObject().keys())
            QVERIFY2(availabilityKeys.contains(key), qPrintable(key));
    QCOMPARE(config["unique_id"].toString(), QString("lumo-win_box_channel_3"));
    QCOMPARE(Topics.discoveryConfig(3),
             QString("homeassistant/light/lumo-win_box/channel_3/config"));
}

void TestMqtt::stalledBrokerKeepsWindowResponsive()
{
    // A listener that takes the connection and never answers.
    QTcpServer stalled;
    QVERIFY(stalled.listen(QHostAddress::LocalHost));
    MqttClient::Options options;
    options.host = "127.0.0.1";
    options.port = stalled.serverPort();
    options.answerTimeoutMs = 500;
    DebugLog log;
    MqttClient client(options);
    client.start();

    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longestGap = 0;
    int connections = 0;
    while (clock.elapsed() < 2500) {
        QTest::qWait(10);
        longestGap = qMax(longestGap, clock.elapsed() - last);
        last = clock.elapsed();
        while (QTcpSocket *socket = stalled.nextPendingConnection()) {
            ++connections;
            socket->setParent(&stalled);
        }
    }
    QVERIFY2(longestGap < 200, qPrintable(QString::number(longestGap)));
    QVERIFY(!client.isConnected());
    QCOMPARE(connections, 2); // at once, and again 1 s after giving up at 0.5 s
    QCOMPARE(log.lines.size(), 1);
    QVERIFY(log.lines.first().contains("no answer"));
}

void TestMqtt::requestsTakeThePanelsOnePath()
{
    Broker broker;
    if (!Broker::available())
        QSKIP("mosquitto, mosquitto_sub or mosquitto_pub is not installed");
    QVERIFY(broker.start());
    const ChannelAddress address{0xA0, 0xA1, 0xA2};
    PanelFixture panel;
    QStringList &log = panel.log();
    MainWindow *window = panel.open("11 22 33\nA0 A1 A2\n00 00 00\n44 55 66\n");
    QVERIFY(window && panel.show(PanelFixture::TicksByTimer)); // latency includes the tick
    QVERIFY(writeSettings(panel.dir.path(), broker.port()));
    auto bridge = startPanelBridge(*window, {panel.dir.filePath("lumo-win.mqtt")});
    QVERIFY(bridge);
    MqttClient::Options options;
    options.host = "127.0.0.1";
    options.port = broker.port();
    MqttClient house(options);
    house.start();
    QTRY_VERIFY(bridge->client()->isConnected() && house.isConnected());

    // What a late subscriber finds: the panel, its transmitter, the lamps with a receiver.
    auto retained = broker.read("#", 5);
    QCOMPARE(retained.value(Topics.status()), QByteArray("online"));
    QCOMPARE(retained.value(Topics.transmitter()), QByteArray("online"));
    QVERIFY(retained.contains(Topics.discoveryConfig(4)));
    QVERIFY(!retained.contains(Topics.discoveryConfig(3)));

    // ON and OFF by turns: each goes out as the switch telegram, shows as a press would, and
    // the state topic follows the receiver's report.
    QList<qint64> latencies;
    for (int i = 0; i < 10; ++i) {
        const bool on = i % 2 == 0;
        QElapsedTimer clock;
        clock.start();
        house.publish(Topics.set(2), lampPayload(on), false);
        QCOMPARE(panel.peer.read(8, 3000), frameBytes(commandTelegram(address, on ? 1 : 0)));
        latencies << clock.elapsed();
        QCOMPARE(window->channel(1).switchShowsOn(), on);
        panel.peer.write(reportBytes(address, on ? 1 : 0));
        QTRY_VERIFY(!window->channel(1).isWaiting());
        QTRY_COMPARE(broker.read(Topics.state(2), 1).value(Topics.state(2)), lampPayload(on));
    }
    std::sort(latencies.begin(), latencies.end());
    qInfo("set message to telegram on the wire: median %lld ms, longest %lld ms (100 ms tick)",
          latencies.at(5),
          latencies.last());

    // Nothing else reaches the line, and a burst of complaints is cut to three lines.
    for (const QByteArray &bad : {QByteArray("on"), QByteArray("1"), QByteArray(1500, 'O')})
        house.publish(Topics.set(2), bad, false);
    house.publish(Topics.set(3), "ON", false); // no receiver
    house.publish("lumo-win/box/channel/0/set", "ON", false);
    QTest::qWait(500);
    QCOMPARE(panel.peer.readNow(), QByteArray());
    QCOMPARE(log.filter("MQTT message").size(), 3);

    // Home Assistant, restarted on an emptied broker, asks again.
    QVERIFY(broker.publish(Topics.discoveryConfig(1), "", true));
    QVERIFY(broker.publish("homeassistant/status", "online"));
    QTRY_VERIFY(broker.read(Topics.discoveryConfig(1), 1).contains(Topics.discoveryConfig(1)));

    // A restarted broker has forgotten everything; the bridge comes back and says it again.
    broker.stop();
    QTRY_VERIFY(!bridge->client()->isConnected());
    QVERIFY(broker.start());
    QTRY_VERIFY_WITH_TIMEOUT(bridge->client()->isConnected(), 10000);
    retained = broker.read("lumo-win/box/#", 3);
    QCOMPARE(retained.value(Topics.status()), QByteArray("online"));
    QCOMPARE(retained.value(Topics.state(2)), QByteArray("OFF"));

    // The transmitter unplugged: Home Assistant's lights become unavailable.
    panel.boxes();
    panel.peer.hangUp();
    QTRY_COMPARE(broker.read(Topics.transmitter(), 1).value(Topics.transmitter()),
                 QByteArray("offline"));

    // A clean close says so itself.
    bridge.reset();
    QCOMPARE(broker.read(Topics.status(), 1).value(Topics.status()), QByteArray("offline"));
}

void TestMqtt::panelProcessAgainstSimulator()
{
    Broker broker;
    if (!Broker::available() || !QFileInfo::exists(simulatorPath()))
        QSKIP("needs mosquitto, its clients and lumo-sim");
    QVERIFY(broker.start());
    QTemporaryDir home;
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString port = startSimulator(sim,
                                        {"--channels-file", home.filePath("lumo-win.channels")});
    QVERIFY(!port.isEmpty());
    QVERIFY(writeSettings(home.path(), broker.port()));
    PanelChild child;
    QVERIFY(child.start(home.filePath("lumo-win"), port));
    QTRY_COMPARE_WITH_TIMEOUT(broker.read(Topics.status(), 1).value(Topics.status()),
                              QByteArray("online"),
                              20000);

    // The lamp that lumo-sim lights, as the house sees it.
    QVERIFY(broker.publish(Topics.set(2), "ON"));
    QTRY_COMPARE_WITH_TIMEOUT(broker.read(Topics.state(2), 1).value(Topics.state(2)),
                              QByteArray("ON"),
                              10000);

#ifndef LUMO_SANITIZED // the sanitizers slow the flood past any fair bound and swell memory
    // A flood: the panel holds at most one request per channel, whatever comes.
    const qint64 before = residentKiB(child.process.processId());
    QProcess flood;
    flood.start("mosquitto_pub",
                {"-h",
                 "127.0.0.1",
                 "-p",
                 QString::number(broker.port()),
                 "-t",
                 Topics.set(2),
                 "-l",
                 "-q",
                 "1"});
    QVERIFY(flood.waitForStarted());
    for (int i = 0; i < 10000; ++i)
        flood.write(i % 2 ? "OFF\n" : "ON\n");
    flood.closeWriteChannel();
    QTRY_VERIFY_WITH_TIMEOUT(flood.state() == QProcess::NotRunning, 60000);
    // Still working: it switches off when asked (the broker drops what a slow subscriber has
    // not taken beyond its queue, so the flood's own last word may be lost).
    QTRY_VERIFY_WITH_TIMEOUT(broker.publish(Topics.set(2), "OFF")
                                 && broker.read(Topics.state(2), 1).value(Topics.state(2)) == "OFF",
                             30000);
    QTest::qWait(1000);
    const qint64 after = residentKiB(child.process.processId());
    qInfo("resident memory of the panel: %lld KiB before, %lld KiB after 10,000 set messages",
          before,
          after);
    QVERIFY2(after - before < 4096, qPrintable(QString::number(after - before)));
#endif
    QCOMPARE(broker.read(Topics.status(), 1).value(Topics.status()), QByteArray("online"));

    // Gone without a word: the broker says so for the panel.
    child.process.kill();
    child.finish(5000);
    QTRY_COMPARE(broker.read(Topics.status(), 1).value(Topics.status()), QByteArray("offline"));
    sim.terminate();
    sim.waitForFinished(5000);
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (isPanelChild()) {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        return runPanelChild();
    }
    TestMqtt test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_mqtt.moc"
