#include "mqttclient.h"

#include "mqtt/bridgetopics.h"
#include "mqtt/hostlookup.h"
#include "mqtt/mosquittolibrary.h"

#include <QDebug>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>

namespace {

// Packets read in one go before the event loop gets its turn again.
constexpr int PacketsPerTurn = 64;

QString errorText(const MosquittoLibrary &library, int code)
{
    if (code == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString::fromUtf8(library.strerror(code));
}

} // namespace

MqttClient::MqttClient(const Options &options, QObject *parent)
    : QObject(parent)
    , options(options)
    , lookup(new HostLookup(this))
    , housekeeping(new QTimer(this))
    , retryTimer(new QTimer(this))
    , answerTimer(new QTimer(this))
{
    connect(lookup, &HostLookup::finished, this, &MqttClient::onLookedUp);
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
    QString error;
    library = MosquittoLibrary::get(&error);
    if (!library) {
        fail(QStringLiteral("cannot load libmosquitto: %1").arg(error));
        return;
    }
    // Looked up aside: the library's own lookup would block the window.
    lookup->start(options.host);
}

void MqttClient::onLookedUp(const QString &address, const QString &error)
{
    if (address.isEmpty()) {
        fail(QStringLiteral("cannot look up the host: %1").arg(error));
        return;
    }
    // With TLS the library checks the broker's certificate against the name it was given.
    connectTo(options.tls ? options.host : address);
}

void MqttClient::connectTo(const QString &host)
{
    mosq = library->create(nullptr, true, this);
    if (!mosq) {
        fail(QStringLiteral("out of memory"));
        return;
    }
    library->connect_callback_set(mosq, &MqttClient::onConnect);
    library->disconnect_callback_set(mosq, &MqttClient::onDisconnect);
    library->message_callback_set(mosq, &MqttClient::onMessage);
    library->int_option(mosq, MOSQ_OPT_TCP_NODELAY, 1);
    if (!options.willTopic.isEmpty())
        library->will_set(mosq,
                          options.willTopic.toUtf8().constData(),
                          int(options.willPayload.size()),
                          options.willPayload.constData(),
                          1,
                          true);
    if (!options.user.isEmpty())
        library->username_pw_set(mosq,
                                 options.user.toUtf8().constData(),
                                 options.password.isNull() ? nullptr
                                                           : options.password.toUtf8().constData());
    if (options.tls) {
        const int code = options.caFile.isEmpty()
                             ? library->int_option(mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1)
                             : library->tls_set(mosq,
                                                options.caFile.toLocal8Bit().constData(),
                                                nullptr,
                                                nullptr,
                                                nullptr,
                                                nullptr);
        if (code != MOSQ_ERR_SUCCESS) {
            fail(QStringLiteral("cannot use TLS: %1").arg(errorText(*library, code)));
            return;
        }
    }
    errno = 0;
    const int code = library->connect_async(mosq,
                                            host.toUtf8().constData(),
                                            options.port,
                                            options.keepAliveSeconds);
    if (code != MOSQ_ERR_SUCCESS) {
        fail(errorText(*library, code));
        return;
    }
    const int socket = library->socket(mosq);
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
        QString why = QString::fromUtf8(self->library->connack_string(code));
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
        self->failure = code == 0 ? QStringLiteral("disconnected")
                                  : errorText(*self->library, code);
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
        const int code = library->loop_read(mosq, 1);
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
    const int code = library->loop_write(mosq, 1);
    insideLibrary = false;
    check(code);
}

void MqttClient::onHousekeeping()
{
    if (!mosq)
        return;
    errno = 0;
    insideLibrary = true;
    const int code = library->loop_misc(mosq);
    insideLibrary = false;
    check(code);
}

void MqttClient::check(int code)
{
    if (!mosq)
        return;
    if (failure.isEmpty() && code != MOSQ_ERR_SUCCESS)
        failure = errorText(*library, code);
    // Called back from inside the library (a publish on connecting): the library's own call
    // is still running, so the connection is dropped once that has returned.
    if (insideLibrary)
        return;
    if (failure.isEmpty() && library->socket(mosq) < 0)
        failure = QStringLiteral("connection closed");
    if (!failure.isEmpty()) {
        const QString reason = failure;
        failure.clear();
        fail(reason);
        return;
    }
    writer->setEnabled(library->want_write(mosq));
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
        library->destroy(mosq);
        mosq = nullptr;
    }
}

bool MqttClient::publish(const QString &topic, const QByteArray &payload, bool retain)
{
    if (!connectedNow)
        return false;
    errno = 0;
    const int code = library->publish(mosq,
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
    const int code = library->subscribe(mosq, nullptr, filter.toUtf8().constData(), 1);
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
            library->disconnect(mosq);
            library->loop_write(mosq, 1);
        }
    }
    dropConnection();
}
