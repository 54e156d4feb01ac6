#include "commandline.h"

#include "app/version.h"
#include "link/telegram.h"

#include <QFileInfo>

OwnOption ownOption(const QStringList &arguments)
{
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--"))
            break;
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help"))
            return OwnOption::Help;
        if (argument == QLatin1String("--version"))
            return OwnOption::Version;
    }
    return OwnOption::None;
}

QString helpText(const QString &programName)
{
    const QString name = programName.isEmpty() ? QStringLiteral("lumo-win")
                                               : QFileInfo(programName).fileName();
    return QStringLiteral(
               "Usage: %1 [Qt options]\n"
               "       %1 --switch N on|off | --query N | --activate N on|off | --status [--json]\n"
               "A control panel for four remote lamp receivers, reached by radio through one\n"
               "USB-serial transmitter (USB ids 10c4:ea60, 115200 baud, 8N1). One panel runs\n"
               "per session: a second start raises its window.\n"
               "\n"
               "  -h, --help     show this help and exit\n"
               "      --version  show the version and exit\n"
               "Any other option goes to Qt (for example -platform, -style, -reverse).\n"
               "\n"
               "The running panel, over the session bus (N is the channel, 1 to 4):\n"
               "  --switch N on|off    switch the lamp; prints the state its receiver reported\n"
               "  --query N            ask the receiver; prints \"on\" or \"off\"\n"
               "  --activate N on|off  put the channel in use (it asks its receiver) or not\n"
               "  --status [--json]    one line per channel, or JSON\n"
               "Exit status: 0 done; 1 the receiver did not answer, or there is no receiver or\n"
               "no transmitter; 2 usage error; 3 no panel running. A request may wait up to\n"
               "80 s while other channels wait for their receivers.\n"
               "Scripts may call the bus directly, for example:\n"
               "  busctl --user --timeout=80 call %2 %3/channel/2 %2.Channel1 Switch b true\n"
               "  gdbus call --session --timeout 80 -d %2 -o %3/channel/2 -m %2.Channel1.Ask\n"
               "\n"
               "Environment:\n"
               "  LUMO_WIN_PORT  the transmitter's serial port, used instead of the first port\n"
               "                 with the USB ids above\n"
               "\n"
               "Files (the first that applies):\n"
               "  settings   <program>.cnf beside the program, if it exists or the folder is\n"
               "             writable; else $XDG_CONFIG_HOME/lumo-win/lumo-win.cnf\n"
               "  addresses  <program>.channels beside the program; else lumo-win.channels in\n"
               "             $XDG_CONFIG_HOME/lumo-win/, then in each of $XDG_CONFIG_DIRS\n"
               "             (/etc/xdg/lumo-win/)\n"
               "$XDG_CONFIG_HOME is ~/.config when unset. See lumo-win(1).\n")
        .arg(name, QStringLiteral(LUMO_APP_ID), QStringLiteral(LUMO_APP_PATH));
}

QString versionText()
{
    return QStringLiteral("lumo-win " LUMO_VERSION "\n");
}

RemoteCommand remoteCommand(const QStringList &arguments)
{
    RemoteCommand command;
    QStringList others;
    for (int i = 0; i < arguments.size() && command.error.isEmpty(); ++i) {
        const QString &option = arguments[i];
        const RemoteCommand::Action action = option == QLatin1String("--switch")
                                                 ? RemoteCommand::Switch
                                             : option == QLatin1String("--query")
                                                 ? RemoteCommand::Query
                                             : option == QLatin1String("--activate")
                                                 ? RemoteCommand::Activate
                                             : option == QLatin1String("--status")
                                                 ? RemoteCommand::Status
                                                 : RemoteCommand::None;
        if (option == QLatin1String("--json")) {
            command.json = true;
        } else if (action == RemoteCommand::None) {
            others << option;
        } else if (command.action != RemoteCommand::None) {
            command.error = QStringLiteral("one request at a time");
        } else {
            command.action = action;
            if (action == RemoteCommand::Status)
                continue;
            bool numeric = false;
            command.channel = i + 1 < arguments.size() ? arguments[++i].toInt(&numeric) : 0;
            const QString state = action != RemoteCommand::Query && i + 1 < arguments.size()
                                      ? arguments[++i]
                                      : QString();
            command.on = state == QLatin1String("on");
            if (!numeric || command.channel < 1 || command.channel > ChannelCount)
                command.error = QStringLiteral("%1 needs a channel from 1 to %2")
                                    .arg(option)
                                    .arg(ChannelCount);
            else if (action != RemoteCommand::Query && !command.on && state != QLatin1String("off"))
                command.error = QStringLiteral("%1 N needs \"on\" or \"off\"").arg(option);
        }
    }
    // Without a request the arguments are the panel's, and Qt's.
    if (command.action == RemoteCommand::None && command.error.isEmpty() && !command.json)
        return {};
    if (command.error.isEmpty() && !others.isEmpty())
        command.error = QStringLiteral("unexpected argument '%1'").arg(others.first());
    if (command.error.isEmpty() && command.json && command.action != RemoteCommand::Status)
        command.error = QStringLiteral("--json goes with --status");
    return command;
}
