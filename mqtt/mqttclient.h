#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class HostLookup;
class QSocketNotifier;
class QTimer;
struct MosquittoLibrary;
struct mosquitto;
struct mosquitto_message;

// One connection to an MQTT broker through libmosquitto (loaded when first needed), driven by
// the Qt event loop on the GUI thread: the host name is looked up without blocking, the
// connection is made without waiting for it, the socket is watched for reading always and for
// writing only while the library has something to send, and a timer runs the library's
// housekeeping (keep-alive) once a second.
// A lost or refused connection is tried again after a delay that grows to a minute; each new
// reason is written to the debug log once.
class MqttClient : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        QString host;
        int port = 1883;
        bool tls = false;
        QString caFile; // with TLS; empty for the system's certificates
        QString user;
        QString password;
        QString willTopic; // published by the broker, retained, when the connection breaks
        QByteArray willPayload;
        int keepAliveSeconds = 30;
        int answerTimeoutMs = 10000; // a broker that accepts and says nothing is left after this
    };

    static constexpr int FirstRetryDelayMs = 1000;
    static constexpr int LastRetryDelayMs = 60000;

    explicit MqttClient(const Options &options, QObject *parent = nullptr);
    // Drops the connection without a word to the broker, which then publishes the last will.
    ~MqttClient() override;

    void start();
    bool isConnected() const { return connectedNow; }
    // Queue a message or a subscription; false while not connected.
    bool publish(const QString &topic, const QByteArray &payload, bool retain);
    bool subscribe(const QString &filter);
    // Publishes `payload` on `topic` (retained), says goodbye to the broker and writes what the
    // socket takes at once; the client stays quiet afterwards.
    void close(const QString &topic, const QByteArray &payload);
    // The delay before the next attempt, for the tests.
    int retryDelayMs() const { return retryDelay; }

signals:
    void connected();
    void disconnected();
    void messageReceived(const QByteArray &topic, const QByteArray &payload);

private:
    static void onConnect(mosquitto *, void *client, int code);
    static void onDisconnect(mosquitto *, void *client, int code);
    static void onMessage(mosquitto *, void *client, const mosquitto_message *message);

    void lookUp();
    void onLookedUp(const QString &address, const QString &error);
    void connectTo(const QString &host);
    void onReadable();
    void onWritable();
    void onHousekeeping();
    // Looks at the library's state after a call into it: a failure ends the connection.
    void check(int code);
    void fail(const QString &reason);
    void dropConnection();

    const Options options;
    const MosquittoLibrary *library = nullptr; // set when the connection is first tried
    HostLookup *const lookup;
    mosquitto *mosq = nullptr;
    QSocketNotifier *reader = nullptr;
    QSocketNotifier *writer = nullptr;
    QTimer *housekeeping = nullptr;
    QTimer *retryTimer = nullptr;
    QTimer *answerTimer = nullptr;
    int retryDelay = FirstRetryDelayMs;
    bool connectedNow = false;
    bool closed = false;
    bool insideLibrary = false; // one of the library's loop calls is running
    QString failure;            // set by the library's callbacks, acted on after the call returns
    QString lastReason;         // the last reason written to the log
};
