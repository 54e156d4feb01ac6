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
