#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

// Makes the system's requests to end the program close the window as its close button does, so
// the port is released and the settings are saved. On Unix these are SIGTERM (logout, shutdown,
// kill), SIGINT (Ctrl+C in the console) and SIGHUP. The
// handler only writes the signal's number to a socket pair, which is all a signal handler may
// safely do; the event loop does the rest. A signal that was ignored when the program started
// (as nohup ignores SIGHUP) stays ignored. A further signal, while the first is handled or
// after the window has closed, does not cut the close short: the settings are still saved and
// the exit status is 0, unless the close has not ended the process five seconds later. One per
// process; platform/signalclose_<platform>.cpp does the work.
class SignalClose : public QObject
{
    Q_OBJECT

public:
    explicit SignalClose(QWidget *window);
    ~SignalClose() override;

private:
    void closeWindow();

    QPointer<QWidget> window;
    QObject *listener = nullptr; // hears the requests; none when another instance does
};
