#include "channeladdresses.h"

#include <QDebug>
#include <QFile>

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Parses "12 34 56" or "123456"; on failure returns a description of what is wrong.
QString parseAddress(const QByteArray &line, ChannelAddress &address)
{
    const QList<QByteArray> words = line.simplified().split(' ');
    QByteArray digits;
    if (words.size() == 3) {
        for (const QByteArray &word : words) {
            if (word.size() != 2)
                return QStringLiteral("each of the three bytes needs two hex digits");
            digits += word;
        }
    } else if (words.size() == 1 && words.first().size() == 6) {
        digits = words.first();
    } else {
        return QStringLiteral("expected three bytes in hex, as \"12 34 56\" or \"123456\"");
    }
    for (int i = 0; i < 3; ++i) {
        const int high = hexValue(digits.at(2 * i));
        const int low = hexValue(digits.at(2 * i + 1));
        if (high < 0 || low < 0)
            return QStringLiteral("\"%1\" is not a hex byte")
                .arg(QString::fromLatin1(digits.mid(2 * i, 2)));
        address[i] = static_cast<quint8>(high * 16 + low);
    }
    return QString();
}

} // namespace

ChannelAddressFile parseChannelAddresses(const QByteArray &content, const QString &fileName)
{
    ChannelAddressFile result;
    int channel = 0;
    int ignored = 0;
    int firstIgnored = 0;
    int lineNumber = 0;
    for (QByteArray line : content.split('\n')) {
        ++lineNumber;
        const int hash = line.indexOf('#');
        if (hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        if (channel == int(result.addresses.size())) {
            if (ignored++ == 0)
                firstIgnored = lineNumber;
            continue;
        }
        ChannelAddress address{};
        const QString problem = parseAddress(line, address);
        if (problem.isEmpty())
            result.addresses[channel] = address;
        else
            result.problems.append(QStringLiteral("%1:%2: channel %3 has no receiver: %4")
                                       .arg(fileName)
                                       .arg(lineNumber)
                                       .arg(channel + 1)
                                       .arg(problem));
        ++channel;
    }
    if (ignored > 0)
        result.problems.append(
            QStringLiteral("%1:%2: only four channels exist; %3 more address line(s) ignored")
                .arg(fileName)
                .arg(firstIgnored)
                .arg(ignored));
    return result;
}

ChannelAddresses loadChannelAddresses(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug().noquote() << QStringLiteral(
                                  "No channel address file at %1 (%2); all channels are without "
                                  "receiver")
                                  .arg(path, file.errorString());
        return ChannelAddresses{};
    }
    const ChannelAddressFile parsed = parseChannelAddresses(file.readAll(), path);
    for (const QString &problem : parsed.problems)
        qDebug().noquote() << problem;
    return parsed.addresses;
}
