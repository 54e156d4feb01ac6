#include "channeladdresses.h"

#include "files/filesafety.h"
#include "link/debuglines.h"

#include <QDebug>

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

// Quotes file text for a log line: control and non-ASCII bytes as \xNN, long text cut short, so
// that whatever the file holds, the line stays one readable line.
QString quoted(const QByteArray &text)
{
    constexpr int MaxShown = 24;
    QString result = QLatin1Char('"')
                     + printableForLog(QString::fromLatin1(text.left(MaxShown)), true)
                     + QLatin1Char('"');
    if (text.size() > MaxShown)
        result += QStringLiteral("...");
    return result;
}

// Reads "12 34 56" or "123456" (surrounding blanks already removed); on failure returns what is
// wrong with the line.
QString parseAddress(const QByteArray &line, ChannelAddress &address)
{
    const QList<QByteArray> words = line.simplified().split(' ');
    QByteArray digits;
    if (words.size() == 3 && words[0].size() == 2 && words[1].size() == 2 && words[2].size() == 2)
        digits = words[0] + words[1] + words[2];
    else if (words.size() == 1 && words[0].size() == 6)
        digits = words[0];
    else
        return QStringLiteral(
                   "expected three hex bytes such as \"12 34 56\" or \"123456\", found %1")
            .arg(quoted(line));
    for (int i = 0; i < 3; ++i) {
        const int high = hexValue(digits.at(2 * i));
        const int low = hexValue(digits.at(2 * i + 1));
        if (high < 0 || low < 0)
            return QStringLiteral("%1 is not a hex byte").arg(quoted(digits.mid(2 * i, 2)));
        address[i] = static_cast<quint8>(high * 16 + low);
    }
    return QString();
}

} // namespace

ChannelAddressFile parseChannelAddresses(const QByteArray &content, const QString &fileName)
{
    ChannelAddressFile result;
    const int channelCount = int(result.addresses.size());
    // Where each channel's address was read, for the messages about repeated addresses.
    std::array<int, std::tuple_size<ChannelAddresses>::value> lineOf{};
    int channel = 0;
    int ignored = 0;
    int firstIgnored = 0;
    int lineNumber = 0;
    int start = 0;
    while (start < content.size()) {
        int end = content.indexOf('\n', start);
        if (end < 0)
            end = content.size();
        ++lineNumber;
        QByteArray line = content.mid(start, end - start);
        start = end + 1;

        const int hash = line.indexOf('#');
        if (hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        if (channel == channelCount) {
            if (ignored++ == 0)
                firstIgnored = lineNumber;
            continue;
        }
        ChannelAddress address{};
        const QString problem = parseAddress(line, address);
        if (problem.isEmpty()) {
            result.addresses[channel] = address;
            lineOf[channel] = lineNumber;
        } else {
            result.problems.append(QStringLiteral("%1:%2: channel %3 has no receiver: %4")
                                       .arg(fileName)
                                       .arg(lineNumber)
                                       .arg(channel + 1)
                                       .arg(problem));
        }
        ++channel;
    }
    if (ignored > 0)
        result.problems.append(QStringLiteral("%1:%2: %3 line(s) from here on ignored: there are "
                                              "only four channels")
                                   .arg(fileName)
                                   .arg(firstIgnored)
                                   .arg(ignored));

    // Reports are handed to the first channel with their address, so a repeated address leaves
    // the later channel without answers: worth a word to whoever edits the file.
    for (int later = 1; later < channelCount; ++later) {
        if (!hasReceiver(result.addresses[later]))
            continue;
        for (int earlier = 0; earlier < later; ++earlier) {
            if (result.addresses[earlier] == result.addresses[later]) {
                result.problems.append(
                    QStringLiteral("%1:%2: channel %3 has the same address as channel %4, which "
                                   "gets all of its reports")
                        .arg(fileName)
                        .arg(lineOf[later])
                        .arg(later + 1)
                        .arg(earlier + 1));
                break;
            }
        }
    }
    return result;
}

ChannelAddresses loadChannelAddresses(const QString &path)
{
    const FileContent file = readRegularFile(path);
    // A file that cannot be read (a directory, a FIFO, an I/O error) is as good as missing.
    if (file.status != FileContent::Read) {
        const QString reason = file.status == FileContent::Missing
                                   ? QStringLiteral("No such file or directory")
                                   : file.problem;
        qDebug().noquote() << QStringLiteral("Cannot read the channel address file %1 (%2): no "
                                             "channel has a receiver")
                                  .arg(printableForLog(path), reason);
        return ChannelAddresses{};
    }
    const ChannelAddressFile parsed = parseChannelAddresses(file.content, printableForLog(path));
    for (const QString &problem : parsed.problems)
        qDebug().noquote() << problem;
    return parsed.addresses;
}
