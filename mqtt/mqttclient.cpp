#include "mqttclient.h"

#include "mqtt/bridgetopics.h"

#include <QDebug>
#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <mosquitto.h>

#include <cerrno>
#include <cstring>

namespace {

// Packets read in one go before the event loop gets its turn again.
constexpr int PacketsPerTurn = 64;

void initialiseLibrary()
{
    static const int done = mosquitto_lib_init();
    Q_UNUSED(done)
}

QString errorText(int code)
{
    if (code == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString::fromUtf8(mosquitto_strerror(code));
}

} // namespace

MqttClient::MqttClient(const Options &options, QObject *parent)
    : QObject(parent)
    , options(options)
    , housekeeping(new QTimer(this))
    , retryTimer(new QTimer(this))
    , answerTimer(new QTimer(this))
{
    initialiseLibrary();
    housekeeping->setInterval(1000);
    connect(housekeeping, &QTimer::timeout, this, &MqttClient::onHousekeeping);
    retryTimer->setSingleShot(true);
    connect(retryTimer, &QTimer::timeout, this, &MqttClient::lookUp);
    answerTimer->setSingleShot(true);
    connect(answerTimer, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("no answer within %1 s").arg(this->options.answerTimeoutMs / 1000));
    });
}

MqttClient::~MqttClient()
{
    if (lookupId >= 0)
        QHostInfo::abortHostLookup(lookupId);
    dropConnection();
}

void MqttClient::start()
{
    lookUp();
}

void MqttClient::lookUp()
{
    if (closed)
        return;
    // Qt's lookup does not block the window, where the library's own would.
    lookupId = QHostInfo::lookupHost(options.host, this, &MqttClient::onLookedUp);
}

void MqttClient::onLookedUp(const QHostInfo &info)
{
    lookupId = -1;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        fail(QStringLiteral("cannot look up the host: %1").arg(info.errorString()));
        return;
    }
    // With TLS the library checks the broker's certificate against the name it was given.
    connectTo(options.tls ? options.host : info.addresses().constFirst().toString());
}

void MqttClient::connectTo(const QString &host)
{
    mosq = mosquitto_new(nullptr, true, this);
    if (!mosq) {
        fail(QStringLiteral("out of memory"));
        return;
    }
    mosquitto_connect_callback_set(mosq, &MqttClient::onConnect);
    mosquitto_disconnect_callback_set(mosq, &MqttClient::onDisconnect);
    mosquitto_message_callback_set(mosq, &MqttClient::onMessage);
    mosquitto_int_option(mosq, MOSQ_OPT_TCP_NODELAY, 1);
    if (!options.willTopic.isEmpty())
        mosquitto_will_set(mosq,
                           options.willTopic.toUtf8().constData(),
                           int(options.willPayload.size()),
                           options.willPayload.constData(),
                           1,
                           true);
    if (!options.user.isEmpty())
        mosquitto_username_pw_set(mosq,
                                  options.user.toUtf8().constData(),
                                  options.password.isNull()
                                      ? nullptr
                                      : options.password.toUtf8().constData());
    if (options.tls) {
        const int code = options.caFile.isEmpty()
                             ? mosquitto_int_option(mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1)
                             : mosquitto_tls_set(mosq,
                                                 options.caFile.toLocal8Bit().constData(),
                                                 nullptr,
                                                 nullptr,
                                                 nullptr,
                                                 nullptr);
        if (code != MOSQ_ERR_SUCCESS) {
            fail(QStringLiteral("cannot use TLS: %1").arg(errorText(code)));
            return;
        }
    }
    errno = 0;
    const int code = mosquitto_connect_async(mosq,
                                             host.toUtf8().constData(),
                                             options.port,
                                             options.keepAliveSeconds);
    if (code != MOSQ_ERR_SUCCESS) {
        fail(errorText(code));
        return;
    }
    const int socket = mosquitto_socket(mosq);
    reader = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    connect(reader, &QSocketNotifier::activated, this, &MqttClient::onReadable);
    writer = new QSocketNotifier(socket, QSocketNotifier::Write, this);
    connect(writer, &QSocketNotifier::activated, this, &MqttClient::onWritable);
    housekeeping->start();
    answerTimer->start(options.answerTimeoutMs);
    check(MOSQ_ERR_SUCCESS);
}

void MqttClient::onConnect(mosquitto *, void *client, int code)
{
    auto *self = static_cast<MqttClient *>(client);
    if (code != 0) {
        QString why = QString::fromUtf8(mosquitto_connack_string(code));
        if (why.endsWith(QLatin1Char('.')))
            why.chop(1);
        self->failure = QStringLiteral("refused: %1").arg(why);
        return;
    }
    self->answerTimer->stop();
    self->connectedNow = true;
    self->retryDelay = FirstRetryDelayMs;
    self->lastReason.clear();
    qDebug().noquote() << QStringLiteral("MQTT bridge connected to %1:%2")
                              .arg(self->options.host)
                              .arg(self->options.port);
    emit self->connected();
}

void MqttClient::onDisconnect(mosquitto *, void *client, int code)
{
    auto *self = static_cast<MqttClient *>(client);
    if (self->failure.isEmpty())
        self->failure = code == 0 ? QStringLiteral("disconnected") : errorText(code);
}

void MqttClient::onMessage(mosquitto *, void *client, const mosquitto_message *message)
{
    auto *self = static_cast<MqttClient *>(client);
    // Oversized payloads are cut here and refused by the reader by their size.
    const int length = qMin(message->payloadlen, MaxIncomingPayload + 1);
    emit self->messageReceived(QByteArray(message->topic),
                               QByteArray(static_cast<const char *>(message->payload), length));
}

void MqttClient::onReadable()
{
    if (!mosq)
        return;
    // Reads what has come, packet by packet, leaving a flood to later turns of the event loop.
    for (int i = 0; i < PacketsPerTurn && mosq; ++i) {
        errno = 0;
        insideLibrary = true;
        const int code = mosquitto_loop_read(mosq, 1);
        insideLibrary = false;
        const bool drained = errno == EAGAIN || errno == EWOULDBLOCK;
        check(code);
        if (drained)
            return;
    }
    // TLS may hold decrypted bytes the socket no longer signals.
    if (mosq)
        QTimer::singleShot(0, this, &MqttClient::onReadable);
}

void MqttClient::onWritable()
{
    if (!mosq)
        return;
    errno = 0;
    insideLibrary = true;
    const int code = mosquitto_loop_write(mosq, 1);
    insideLibrary = false;
    check(code);
}

void MqttClient::onHousekeeping()
{
    if (!mosq)
        return;
    errno = 0;
    insideLibrary = true;
    const int code = mosquitto_loop_misc(mosq);
    insideLibrary = false;
    check(code);
}

void MqttClient::check(int code)
{
    if (!mosq)
        return;
    if (failure.isEmpty() && code != MOSQ_ERR_SUCCESS)
        failure = errorText(code);
    // Called back from inside the library (a publish on connecting): the library's own call
    // is still running, so the connection is dropped once that has returned.
    if (insideLibrary)
        return;
    if (failure.isEmpty() && mosquitto_socket(mosq) < 0)
        failure = QStringLiteral("connection closed");
    if (!failure.isEmpty()) {
        const QString reason = failure;
        failure.clear();
        fail(reason);
        return;
    }
    writer->setEnabled(mosquitto_want_write(mosq));
}

void MqttClient::fail(const QString &reason)
{
    const bool wasConnected = connectedNow;
    dropConnection();
    if (closed)
        return;
    if (reason != lastReason) {
        lastReason = reason;
        qDebug().noquote() << QStringLiteral("MQTT bridge: %1:%2: %3; trying again in %4 s")
                                  .arg(options.host)
                                  .arg(options.port)
                                  .arg(reason)
                                  .arg(retryDelay / 1000);
    }
    retryTimer->start(retryDelay);
    retryDelay = qMin(retryDelay * 2, LastRetryDelayMs);
    if (wasConnected)
        emit disconnected();
}

void MqttClient::dropConnection()
{
    connectedNow = false;
    housekeeping->stop();
    answerTimer->stop();
    delete reader;
    reader = nullptr;
    delete writer;
    writer = nullptr;
    if (mosq) {
        // Closes the socket without DISCONNECT: the broker publishes the last will.
        mosquitto_destroy(mosq);
        mosq = nullptr;
    }
}

bool MqttClient::publish(const QString &topic, const QByteArray &payload, bool retain)
{
    if (!connectedNow)
        return false;
    errno = 0;
    const int code = mosquitto_publish(mosq,
                                       nullptr,
                                       topic.toUtf8().constData(),
                                       int(payload.size()),
                                       payload.constData(),
                                       1,
                                       retain);
    check(code);
    return code == MOSQ_ERR_SUCCESS;
}

bool MqttClient::subscribe(const QString &filter)
{
    if (!connectedNow)
        return false;
    errno = 0;
    const int code = mosquitto_subscribe(mosq, nullptr, filter.toUtf8().constData(), 1);
    check(code);
    return code == MOSQ_ERR_SUCCESS;
}

void MqttClient::close(const QString &topic, const QByteArray &payload)
{
    if (closed)
        return;
    closed = true;
    retryTimer->stop();
    if (connectedNow) {
        publish(topic, payload, true);
        if (mosq) {
            mosquitto_disconnect(mosq);
            mosquitto_loop_write(mosq, 1);
        }
    }
    dropConnection();
}
