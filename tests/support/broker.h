#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Debian's Mosquitto on a free loopback port, with a configuration of its own (anonymous, no
// persistence), for the tests of the MQTT bridge; read and written with mosquitto_sub and
// mosquitto_pub. Waiting lets the Qt event loop run, so the panel in the test's own process
// keeps talking to the broker meanwhile.
class Broker
{
public:
    Broker();
    ~Broker();
    Broker(const Broker &) = delete;
    Broker &operator=(const Broker &) = delete;

    // Whether mosquitto, mosquitto_sub and mosquitto_pub are installed.
    static bool available();
    // Starts the broker (on the port it had before, after a stop()) and waits until it listens.
    bool start();
    // Ends it as a service manager would (SIGTERM) and waits.
    void stop();
    int port() const { return listenPort; }

    // The messages on `filter`, retained ones first, until `count` have come or `timeoutMs`
    // have passed; the last payload per topic.
    QMap<QString, QByteArray> read(const QString &filter, int count, int timeoutMs = 5000);
    // Publishes `payload` on `topic` and waits until it is delivered to the broker.
    bool publish(const QString &topic, const QByteArray &payload, bool retain = false);

private:
    QTemporaryDir dir;
    QProcess process;
    int listenPort = 0;
};
