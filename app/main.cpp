#include "app/commandline.h"
#include "app/logguard.h"
#include "app/startup.h"
#ifdef LUMO_HAVE_DBUS
#include "bus/busloader.h"
#endif

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    // The program's files sit next to its name as invoked, taken before Qt sees the arguments.
    const QString programName = argc > 0 ? QString::fromLocal8Bit(argv[0]) : QString();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    switch (ownOption(arguments)) {
    case OwnOption::Help:
        std::fputs(helpText(programName).toLocal8Bit().constData(), stdout);
        return 0;
    case OwnOption::Version:
        std::fputs(versionText().toLocal8Bit().constData(), stdout);
        return 0;
    case OwnOption::None:
        break;
    }
    // A request to the panel that runs: no window, no port, no display needed.
    const RemoteCommand remote = remoteCommand(arguments);
    if (!remote.error.isEmpty()) {
        std::fprintf(stderr, "lumo-win: %s\nTry 'lumo-win --help'.\n", qPrintable(remote.error));
        return RemoteExit::Usage;
    }
    if (remote.action != RemoteCommand::None) {
#ifdef LUMO_HAVE_DBUS
        QCoreApplication application(argc, argv);
        const int status = sendRemoteCommand(remote);
        // Nothing is left to save, and returning would tear down Qt's statics while its bus
        // thread may still be reading a late message, which then printed "Trying to construct
        // an instance of an invalid type" after the answer on a busy machine.
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(status);
#else
        std::fputs("lumo-win: requests to a running panel need the session bus, which this "
                   "system lacks\n",
                   stderr);
        return RemoteExit::NoPanel;
#endif
    }
    // A flood from the radio, or a stderr that nobody reads, must not stop the panel.
    const LogGuard logGuard;
    prepareApplication();
    QApplication application(argc, argv);
    return runPanel(programName);
}
