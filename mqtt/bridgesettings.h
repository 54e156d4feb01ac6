#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the hand-edited file lumo-win.mqtt says about the house's MQTT broker. Without the file
// the bridge stays off.
struct BridgeSettings
{
    QString host = QStringLiteral("localhost");
    int port = 0; // 0: 1883, or 8883 with TLS
    bool tls = false;
    QString caFile;       // with TLS: the broker's CA; empty for the system's certificates
    QString user;         // empty: connect without a user name
    QString passwordFile; // the password is read from here at start, never from lumo-win.mqtt
    QString topicPrefix;
    QString discoveryPrefix = QStringLiteral("homeassistant");

    int effectivePort() const { return port != 0 ? port : (tls ? 8883 : 1883); }
};

struct BridgeSettingsFile
{
    BridgeSettings settings; // a line that cannot be read leaves its default in place
    QStringList problems;    // one log line per problem, naming file and line number
};

// The topic prefix used unless the file names one: "lumo-win/" and the host name, with the
// characters that MQTT topics reserve replaced.
QString defaultTopicPrefix(const QString &hostName);

// Parses the file: one "key = value" per line, "#" starts a comment, blank lines are skipped.
// Keys: host, port, tls (on/off), ca_file, user, password_file, topic_prefix,
// discovery_prefix. Relative file names are taken from the folder of `fileName`. Safe on any
// bytes.
BridgeSettingsFile parseBridgeSettings(const QByteArray &content,
                                       const QString &fileName,
                                       const QString &hostName);

// The places to look for lumo-win.mqtt, in order, as for the receiver addresses: <program>.mqtt
// beside the program, then lumo-win.mqtt in `userFolder` and in each of `systemFolders`.
QStringList bridgeSettingsCandidates(const QString &programName,
                                     const QString &userFolder,
                                     const QStringList &systemFolders);

struct BridgeStart
{
    bool enabled = false;
    BridgeSettings settings;
    QString password; // read from the password file, when there is one
};

// Reads the first of `candidates` that exists and the password file it names, writing each
// problem to the debug log. Without a file the bridge is off and nothing is written; a file
// that cannot be read, or a password file that others than its owner may read, keeps it off.
BridgeStart loadBridgeSettings(const QStringList &candidates, const QString &hostName);
