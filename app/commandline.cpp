#include "commandline.h"

#include "app/version.h"

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
               "A control panel for four remote lamp receivers, reached by radio through one\n"
               "USB-serial transmitter (USB ids 10c4:ea60, 115200 baud, 8N1).\n"
               "\n"
               "  -h, --help     show this help and exit\n"
               "      --version  show the version and exit\n"
               "Any other option goes to Qt (for example -platform, -style, -reverse).\n"
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
        .arg(name);
}

QString versionText()
{
    return QStringLiteral("lumo-win " LUMO_VERSION "\n");
}
