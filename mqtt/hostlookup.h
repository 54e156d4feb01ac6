#pragma once

#include <QObject>
#include <QString>

#include <memory>

// Looks a host name up on a thread of its own, so that a slow name server never holds up the
// window, and tells the answer on the thread that asked: the first address, or why there is
// none. A lookup still running when the object goes is left to end by itself, unheard.
class HostLookup : public QObject
{
    Q_OBJECT

public:
    explicit HostLookup(QObject *parent = nullptr);
    ~HostLookup() override;

    // Starts a lookup; one still running is no longer heard.
    void start(const QString &host);

signals:
    void finished(const QString &address, const QString &error);

private:
    // The running lookup's answer, if any, is no longer told.
    void stopListening();

    struct Pending;
    std::shared_ptr<Pending> pending;
};
