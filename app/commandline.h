#pragma once

#include <QString>
#include <QStringList>

// The program's own options, answered before Qt sees the arguments, as Linux programs do: the
// text goes to standard output and the program ends with status 0 without opening the port.
// Every other argument is left to Qt.
enum class OwnOption { None, Help, Version };

// The first of -h, --help or --version among `arguments` (the program name left out), up to a
// "--" that ends the options.
OwnOption ownOption(const QStringList &arguments);

QString helpText(const QString &programName);
QString versionText();

// A request to the panel that runs in this session, made by a second start of the program:
// --switch N on|off, --query N, --activate N on|off, --status [--json].
struct RemoteCommand
{
    enum Action { None, Switch, Query, Activate, Status };
    Action action = None;
    int channel = 0;
    bool on = false;
    bool json = false;
    QString error; // a usage error, when set
};

// What the command line's exit status tells a script.
namespace RemoteExit {
constexpr int Done = 0;
constexpr int NotDone = 1; // the receiver did not answer, or there is no receiver or transmitter
constexpr int Usage = 2;
constexpr int NoPanel = 3;
} // namespace RemoteExit

// The remote command among `arguments` (the program name left out); None when they name none.
RemoteCommand remoteCommand(const QStringList &arguments);
