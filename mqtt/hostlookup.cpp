#include "hostlookup.h"

#include <QByteArray>

#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

// What the lookup's thread shares with the object: whom to tell, while anyone listens.
struct HostLookup::Pending
{
    std::mutex mutex;
    HostLookup *listener = nullptr;
};

namespace {

struct Answer
{
    QString address;
    QString error;
};

Answer lookUp(const QByteArray &host)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG; // only the address families this machine can reach
    addrinfo *found = nullptr;
    int code = getaddrinfo(host.constData(), nullptr, &hints, &found);
    if (code == EAI_BADFLAGS) {
        hints.ai_flags = 0;
        code = getaddrinfo(host.constData(), nullptr, &hints, &found);
    }
    if (code != 0)
        return {QString(), QString::fromLocal8Bit(gai_strerror(code))};
    Answer answer{QString(), QStringLiteral("no address")};
    for (const addrinfo *a = found; a && answer.address.isEmpty(); a = a->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        const void *bytes = nullptr;
        if (a->ai_family == AF_INET)
            bytes = &reinterpret_cast<const sockaddr_in *>(a->ai_addr)->sin_addr;
        else if (a->ai_family == AF_INET6)
            bytes = &reinterpret_cast<const sockaddr_in6 *>(a->ai_addr)->sin6_addr;
        if (bytes && inet_ntop(a->ai_family, bytes, text, sizeof text))
            answer = {QString::fromLatin1(text), QString()};
    }
    freeaddrinfo(found);
    return answer;
}

} // namespace

HostLookup::HostLookup(QObject *parent)
    : QObject(parent)
{}

HostLookup::~HostLookup()
{
    stopListening();
}

void HostLookup::stopListening()
{
    if (pending) {
        const std::lock_guard<std::mutex> lock(pending->mutex);
        pending->listener = nullptr;
    }
}

void HostLookup::start(const QString &host)
{
    stopListening();
    pending = std::make_shared<Pending>();
    pending->listener = this;
    std::thread([shared = pending, name = host.toUtf8()] {
        const Answer answer = lookUp(name);
        // Held while the answer is posted: the listener cannot go meanwhile, and a posted
        // answer is dropped with it if it goes before the answer is delivered.
        const std::lock_guard<std::mutex> lock(shared->mutex);
        if (HostLookup *listener = shared->listener) {
            QMetaObject::invokeMethod(
                listener,
                [listener, shared, answer] {
                    if (listener->pending == shared)
                        emit listener->finished(answer.address, answer.error);
                },
                Qt::QueuedConnection);
        }
    }).detach();
}
