#include "platform/signalclose.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const int Handled[] = {SIGTERM, SIGINT, SIGHUP};
int sockets[2] = {-1, -1}; // the handler writes to [0], the event loop reads [1]
bool caught[NSIG] = {};

volatile sig_atomic_t signalled = 0;

extern "C" void onSignal(int number)
{
    if (signalled) {
        // A second signal while the first is still being handled: the window may be stuck, so
        // the process ends at once, the usual way.
        std::signal(number, SIG_DFL);
        std::raise(number);
        return;
    }
    signalled = 1;
    const int savedErrno = errno;
    const char byte = char(number);
    [[maybe_unused]] const ssize_t written = ::write(sockets[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

SignalClose::SignalClose(QWidget *window)
    : window(window)
{
    if (sockets[0] >= 0
        || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, sockets) != 0)
        return;
    auto *notifier = new QSocketNotifier(sockets[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &SignalClose::closeWindow);
    listener = notifier;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : Handled) {
        struct sigaction previous = {};
        if (::sigaction(number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        if (::sigaction(number, &action, nullptr) == 0)
            caught[number] = true;
    }
}

SignalClose::~SignalClose()
{
    if (!listener)
        return; // another instance owns the signals
    // A signal that comes later ends the process the usual way.
    for (const int number : Handled) {
        if (caught[number])
            std::signal(number, SIG_DFL);
        caught[number] = false;
    }
    delete listener;
    ::close(sockets[0]);
    ::close(sockets[1]);
    sockets[0] = sockets[1] = -1;
    signalled = 0;
}

void SignalClose::closeWindow()
{
    char bytes[16];
    while (::read(sockets[1], bytes, sizeof bytes) > 0) {
    }
    if (!window)
        return;
    // A dialog or box open over the window would keep it from closing: dismiss each, as its
    // Cancel or OK button would, then close the window.
    while (QWidget *modal = QApplication::activeModalWidget()) {
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
        if (QApplication::activeModalWidget() == modal)
            break; // it would not go; closing the window is still worth a try
    }
    window->close();
}
