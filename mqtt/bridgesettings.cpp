#include "bridgesettings.h"

#include "files/filesafety.h"
#include "files/programpath.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

namespace {

// File text for a log line: quoted, control and non-ASCII bytes escaped, long text cut.
QString shown(const QByteArray &text)
{
    constexpr int MaxShown = 40;
    QString result;
    QDebug(&result).nospace() << text.left(MaxShown);
    return text.size() > MaxShown ? result + QStringLiteral("...") : result;
}

// What is wrong with `prefix` as the start of the bridge's topics, or an empty text.
QString topicPrefixProblem(const QString &prefix)
{
    if (prefix.contains(QLatin1Char('+')) || prefix.contains(QLatin1Char('#')))
        return QStringLiteral("a topic prefix must not hold the wildcards + or #");
    if (prefix.startsWith(QLatin1Char('/')) || prefix.endsWith(QLatin1Char('/'))
        || prefix.contains(QStringLiteral("//")))
        return QStringLiteral("a topic prefix must not start or end with / or hold //");
    if (prefix.contains(QChar(0)) || prefix.toUtf8().size() > 200)
        return QStringLiteral("a topic prefix must be printable and at most 200 bytes long");
    return QString();
}

// Reads one value into `settings`; returns what is wrong with it, or an empty text.
QString take(BridgeSettings &settings,
             const QByteArray &key,
             const QByteArray &value,
             const QDir &folder)
{
    const QString text = QString::fromUtf8(value);
    if (key == "host") {
        for (const char c : value) {
            if (static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) >= 0x7F)
                return QStringLiteral("a host name is printable ASCII without blanks, found %1")
                    .arg(shown(value));
        }
        settings.host = text;
    } else if (key == "port") {
        bool ok = false;
        const int port = text.toInt(&ok);
        if (!ok || port < 1 || port > 65535)
            return QStringLiteral("a port is a number from 1 to 65535, found %1").arg(shown(value));
        settings.port = port;
    } else if (key == "tls") {
        if (value != "on" && value != "off")
            return QStringLiteral("tls is on or off, found %1").arg(shown(value));
        settings.tls = value == "on";
    } else if (key == "ca_file") {
        settings.caFile = QDir::cleanPath(folder.absoluteFilePath(text));
    } else if (key == "user") {
        settings.user = text;
    } else if (key == "password_file") {
        settings.passwordFile = QDir::cleanPath(folder.absoluteFilePath(text));
    } else if (key == "topic_prefix" || key == "discovery_prefix") {
        const QString problem = topicPrefixProblem(text);
        if (!problem.isEmpty())
            return problem;
        (key == "topic_prefix" ? settings.topicPrefix : settings.discoveryPrefix) = text;
    } else {
        return QStringLiteral("unknown setting %1").arg(shown(key));
    }
    return QString();
}

// The password: the file's first line. Refused when the file is not the user's own secret.
bool readPassword(const QString &path, QString &password, QString &problem)
{
    const FileContent file = readRegularFile(path);
    if (file.status != FileContent::Read) {
        problem = file.status == FileContent::Missing ? QStringLiteral("No such file or directory")
                                                      : file.problem;
        return false;
    }
#ifndef Q_OS_WIN
    if (QFileInfo(path).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther)) {
        problem = QStringLiteral("others than its owner may read it (chmod 600 it)");
        return false;
    }
#endif
    QByteArray line = file.content;
    const int end = line.indexOf('\n');
    if (end >= 0)
        line.truncate(end);
    if (line.endsWith('\r'))
        line.chop(1);
    password = QString::fromUtf8(line);
    return true;
}

} // namespace

QString defaultTopicPrefix(const QString &hostName)
{
    QString host = hostName.isEmpty() ? QStringLiteral("localhost") : hostName;
    for (QChar &c : host) {
        if (c == QLatin1Char('+') || c == QLatin1Char('#') || c == QLatin1Char('/') || c.isSpace()
            || c.unicode() < 0x20)
            c = QLatin1Char('_');
    }
    return QStringLiteral("lumo-win/") + host;
}

BridgeSettingsFile parseBridgeSettings(const QByteArray &content,
                                       const QString &fileName,
                                       const QString &hostName)
{
    BridgeSettingsFile result;
    const QDir folder = QFileInfo(fileName).absoluteDir();
    int lineNumber = 0;
    for (QByteArray line : content.split('\n')) {
        ++lineNumber;
        const int hash = line.indexOf('#');
        if (hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        const int equals = line.indexOf('=');
        QString problem;
        if (equals < 0) {
            problem = QStringLiteral("expected \"setting = value\", found %1").arg(shown(line));
        } else {
            const QByteArray key = line.left(equals).trimmed();
            const QByteArray value = line.mid(equals + 1).trimmed();
            problem = value.isEmpty() ? QStringLiteral("%1 has no value").arg(shown(key))
                                      : take(result.settings, key, value, folder);
        }
        if (!problem.isEmpty())
            result.problems << QStringLiteral("%1:%2: %3").arg(fileName).arg(lineNumber).arg(problem);
    }
    if (result.settings.topicPrefix.isEmpty())
        result.settings.topicPrefix = defaultTopicPrefix(hostName);
    return result;
}

QStringList bridgeSettingsCandidates(const QString &programName,
                                     const QString &userFolder,
                                     const QStringList &systemFolders)
{
    QStringList candidates{programFilePath(programName, QStringLiteral(".mqtt"))};
    const QString name = QStringLiteral("lumo-win.mqtt");
    candidates << QDir(userFolder).filePath(name);
    for (const QString &folder : systemFolders)
        candidates << QDir(folder).filePath(name);
    candidates.removeDuplicates();
    return candidates;
}

BridgeStart loadBridgeSettings(const QStringList &candidates, const QString &hostName)
{
    BridgeStart start;
    QString path;
    for (const QString &candidate : candidates) {
        // Anything there, even a dangling link, is read so that what is wrong with it is said.
        const QFileInfo info(candidate);
        if (info.exists() || info.isSymLink()) {
            path = candidate;
            break;
        }
    }
    if (path.isEmpty())
        return start;
    const FileContent file = readRegularFile(path);
    if (file.status != FileContent::Read) {
        qDebug().noquote() << QStringLiteral("Cannot read the MQTT bridge's file %1 (%2): the "
                                             "bridge stays off")
                                  .arg(path, file.problem);
        return start;
    }
    const BridgeSettingsFile parsed = parseBridgeSettings(file.content, path, hostName);
    for (const QString &problem : parsed.problems)
        qDebug().noquote() << problem;
    start.settings = parsed.settings;
    if (!start.settings.passwordFile.isEmpty()) {
        QString problem;
        if (!readPassword(start.settings.passwordFile, start.password, problem)) {
            qDebug().noquote() << QStringLiteral("Not using the MQTT password file %1: %2; the "
                                                 "bridge stays off")
                                      .arg(start.settings.passwordFile, problem);
            return start;
        }
    }
    start.enabled = true;
    return start;
}
