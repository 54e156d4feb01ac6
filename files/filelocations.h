#pragma once

#include <QString>
#include <QStringList>

// Where the program's settings and receiver addresses live. A program that can keep its files
// beside itself does so (portable installs, the build folder, a folder of its own on Windows); an
// installed one, whose folder it cannot write, keeps its settings in the user's configuration
// folder and finds its addresses there or in the system's configuration folders.

// The user's own folder: $XDG_CONFIG_HOME/lumo-win (~/.config/lumo-win when unset), or the
// system's generic configuration location plus "lumo-win" elsewhere.
QString userConfigurationFolder();
// The system's configuration folders, each plus "lumo-win": $XDG_CONFIG_DIRS, else /etc/xdg.
QStringList systemConfigurationFolders();

struct ConfigurationFiles
{
    QString path;     // where the settings are saved, and read from unless `readFrom` is set
    QString readFrom; // a file kept where earlier versions put it, read once instead of `path`
};

// The settings file for a program started as `programName`: <program>.cnf beside the program if
// that file exists or its folder can take a new file, else lumo-win.cnf in `userFolder`.
ConfigurationFiles configurationFiles(const QString &programName, const QString &userFolder);

struct AddressFileCandidates
{
    // In order: <program>.channels beside the program, where earlier versions looked (if
    // different), then lumo-win.channels in the user's folder and in each system folder.
    QStringList paths;
    QString besideProgram; // the first, where the file belongs
    QString earlierPlace;  // where only earlier versions looked; empty when that is the first
};

// The places to look for the receiver addresses of a program started as `programName`.
AddressFileCandidates channelAddressCandidates(const QString &programName,
                                               const QString &userFolder,
                                               const QStringList &systemFolders);

// The first of the candidates that exists (as anything, so that what is wrong with it is
// reported when it is read), or an empty text after one debug line naming every place looked.
// Says so in one debug line when the file is found where only earlier versions looked.
QString findChannelAddressFile(const AddressFileCandidates &candidates);
