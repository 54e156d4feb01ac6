#include "app/version.h"
#include "sim/signalpipe.h"
#include "sim/simoptions.h"
#include "sim/virtualtransmitter.h"

#include <QCoreApplication>
#include <QSaveFile>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

void printLine(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream); // scripts read the output while we run
}

bool writeChannelsFile(const SimOptions &options, QString *error)
{
    QSaveFile file(options.channelsFile);
    if (file.open(QIODevice::WriteOnly) && file.write(channelAddressFileContent(options)) >= 0
        && file.commit())
        return true;
    *error = file.errorString();
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumo-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMO_VERSION));

    const ParsedSimOptions parsed = parseSimOptions(QCoreApplication::arguments());
    switch (parsed.action) {
    case ParsedSimOptions::ShowHelp:
        std::fputs(parsed.text.toLocal8Bit().constData(), stdout);
        return 0;
    case ParsedSimOptions::ShowVersion:
        printLine(stdout, QStringLiteral("lumo-sim " LUMO_VERSION));
        return 0;
    case ParsedSimOptions::Fail:
        printLine(stderr, QStringLiteral("lumo-sim: %1 (see lumo-sim --help)").arg(parsed.text));
        return 2;
    case ParsedSimOptions::Run:
        break;
    }
    const SimOptions &options = parsed.options;

    // A reader of the trace that went away must not kill us before we clean up.
    std::signal(SIGPIPE, SIG_IGN);
    SignalPipe signalPipe({SIGINT, SIGTERM, SIGHUP});

    VirtualTransmitter::TraceSink trace;
    if (options.trace)
        trace = [](const QString &line) { printLine(stdout, line); };
    VirtualTransmitter transmitter(options, trace);
    QString error;
    if (!transmitter.open(&error)) {
        printLine(stderr,
                  QStringLiteral("lumo-sim: cannot create a pseudo-terminal: %1").arg(error));
        return 1;
    }
    if (!options.channelsFile.isEmpty() && !writeChannelsFile(options, &error)) {
        printLine(stderr,
                  QStringLiteral("lumo-sim: cannot write %1: %2").arg(options.channelsFile, error));
        return 1;
    }
    // The first line is the panel's port, and nothing is sent before it is out.
    printLine(stdout, transmitter.portPath());

    QObject::connect(&signalPipe, &SignalPipe::caught, &transmitter, [&transmitter](int number) {
        transmitter.hangUp(
            QStringLiteral("stopped by SIG%1").arg(QString::fromLatin1(sigabbrev_np(number))));
        QCoreApplication::quit();
    });
    QObject::connect(&transmitter,
                     &VirtualTransmitter::hungUpByItself,
                     &application,
                     &QCoreApplication::quit);
    transmitter.start();
    return QCoreApplication::exec();
}
