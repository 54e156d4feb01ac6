#pragma once

#include <QObject>

#include <initializer_list>
#include <vector>

class QSocketNotifier;

// Turns the given signals into a Qt signal on the event loop, through a self-pipe: the handler
// only writes the signal number, which is all a signal handler may safely do. One per process.
class SignalPipe : public QObject
{
    Q_OBJECT

public:
    explicit SignalPipe(std::initializer_list<int> signalNumbers, QObject *parent = nullptr);
    ~SignalPipe() override;

signals:
    void caught(int signalNumber);

private:
    void drain();

    QSocketNotifier *notifier = nullptr;
    std::vector<int> handled;
};
