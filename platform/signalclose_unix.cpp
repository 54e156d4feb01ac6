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

// A close that was asked for by a signal saves the settings: a further signal only hurries it,
// ending the process this many seconds later if the close has not ended it by then.
constexpr unsigned HurrySeconds = 5;

volatile sig_atomic_t signalled = 0; // the first signal is being handled
volatile sig_atomic_t hurried = 0;   // the further signal that set the deadline

extern "C" void onDeadline(int)
{
    // The window would not close in time: the process ends as the hurrying signal asked.
    std::signal(hurried, SIG_DFL);
    std::raise(hurried);
}

extern "C" void onSignal(int number)
{
    if (signalled) {
        if (!hurried) {
            hurried = number;
            ::alarm(HurrySeconds);
        }
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
    signalled = 0;
    hurried = 0;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : Handled) {
        struct sigaction previous = {};
        if (::sigaction(number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        ::sigaction(number, &action, nullptr);
    }
    action.sa_handler = onDeadline;
    ::sigaction(SIGALRM, &action, nullptr);
}

SignalClose::~SignalClose()
{
    if (!listener)
        return; // another instance owns the signals
    // The window has closed: a signal that comes while the process ends only hurries it, so
    // that a close that saved the settings still ends with status 0.
    signalled = 1;
    delete listener;
    ::close(sockets[0]);
    ::close(sockets[1]);
    sockets[0] = sockets[1] = -1;
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
