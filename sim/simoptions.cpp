#include "simoptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <stdexcept>

namespace {

// Thrown by the parsers below; the message is the whole error line.
struct OptionError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const QString &message)
{
    throw OptionError(message.toStdString());
}

ChannelAddress parseAddress(const QString &text)
{
    QString digits = text;
    digits.remove(QRegularExpression(QStringLiteral("[\\s:-]")));
    if (!QRegularExpression(QStringLiteral("^[0-9A-Fa-f]{6}$")).match(digits).hasMatch())
        fail(QStringLiteral("\"%1\" is not an address: give three hex bytes, as 123456 or 12:34:56")
                 .arg(text));
    const QByteArray bytes = QByteArray::fromHex(digits.toLatin1());
    const ChannelAddress address{quint8(bytes[0]), quint8(bytes[1]), quint8(bytes[2])};
    if (!hasReceiver(address))
        fail(QStringLiteral(
            "00 00 00 means \"no receiver\" to the panel; use --off to silence one"));
    return address;
}

std::array<ChannelAddress, ReceiverCount> parseAddresses(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != ReceiverCount)
        fail(QStringLiteral("--addresses needs four addresses separated by commas, got %1")
                 .arg(parts.size()));
    std::array<ChannelAddress, ReceiverCount> addresses{};
    for (int i = 0; i < ReceiverCount; ++i) {
        addresses[i] = parseAddress(parts[i].trimmed());
        for (int j = 0; j < i; ++j)
            if (addresses[j] == addresses[i])
                fail(QStringLiteral("receivers %1 and %2 both have the address %3")
                         .arg(j + 1)
                         .arg(i + 1)
                         .arg(addressText(addresses[i])));
    }
    return addresses;
}

int parseReceiver(const QString &text, const QString &option)
{
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    if (!ok || number < 1 || number > ReceiverCount)
        fail(QStringLiteral("%1: \"%2\" is not a receiver number (1 to 4)").arg(option, text));
    return number - 1;
}

std::array<bool, ReceiverCount> parseReceiverSet(const QString &text, const QString &option)
{
    std::array<bool, ReceiverCount> set{};
    for (const QString &part : text.split(QLatin1Char(',')))
        set[parseReceiver(part, option)] = true;
    return set;
}

double parseNumber(const QString &text, const QString &option, double low, double high)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !(value >= low && value <= high))
        fail(QStringLiteral("%1: \"%2\" is not a number from %3 to %4")
                 .arg(option, text)
                 .arg(low)
                 .arg(high));
    return value;
}

double parsePercent(QString text, const QString &option)
{
    if (text.endsWith(QLatin1Char('%')))
        text.chop(1);
    return parseNumber(text, option, 0, 100);
}

SimOptions parseValues(const QCommandLineParser &parser)
{
    SimOptions o;
    const auto given = [&parser](const char *name) { return parser.isSet(QLatin1String(name)); };
    const auto value = [&parser](const char *name) { return parser.value(QLatin1String(name)); };
    if (given("addresses"))
        o.addresses = parseAddresses(value("addresses"));
    if (given("off"))
        o.switchedOff = parseReceiverSet(value("off"), QStringLiteral("--off"));
    if (given("lamps-on"))
        o.lampOn = parseReceiverSet(value("lamps-on"), QStringLiteral("--lamps-on"));
    if (given("delay"))
        o.replyDelayMs = int(parseNumber(value("delay"), QStringLiteral("--delay"), 0, 600000));
    if (given("lose"))
        o.losePercent = parsePercent(value("lose"), QStringLiteral("--lose"));
    if (given("bad-checksum"))
        o.badChecksumPercent = parsePercent(value("bad-checksum"), QStringLiteral("--bad-checksum"));
    if (given("noise"))
        o.noisePercent = parsePercent(value("noise"), QStringLiteral("--noise"));
    if (given("unasked")) {
        const QStringList parts = value("unasked").split(QLatin1Char(':'));
        if (parts.size() != 2)
            fail(QStringLiteral("--unasked: \"%1\" is not RECEIVER:SECONDS, e.g. 2:10")
                     .arg(value("unasked")));
        o.unaskedReceiver = parseReceiver(parts[0], QStringLiteral("--unasked"));
        o.unaskedEverySeconds = parseNumber(parts[1], QStringLiteral("--unasked"), 0.1, 86400);
    }
    if (given("hang-up-after"))
        o.hangUpAfterSeconds = parseNumber(value("hang-up-after"),
                                           QStringLiteral("--hang-up-after"),
                                           0.1,
                                           86400);
    if (given("seed")) {
        bool ok = false;
        o.seed = value("seed").toUInt(&ok);
        if (!ok)
            fail(QStringLiteral("--seed: \"%1\" is not a whole number").arg(value("seed")));
        o.seedGiven = true;
    }
    o.trace = given("trace");
    o.channelsFile = value("channels-file");
    return o;
}

} // namespace

ParsedSimOptions parseSimOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays the panel's radio transmitter with four lamp receivers behind it, on a new\n"
        "pseudo-terminal. The first line on standard output is the terminal for the panel,\n"
        "to start it with LUMO_WIN_PORT=<that path> lumo-win. A receiver answers each\n"
        "command for its address with a report of its lamp. Stops on SIGINT or SIGTERM."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOptions({
        {QStringLiteral("addresses"),
         QStringLiteral("The four receivers' addresses, three hex bytes each in wire order "
                        "[123456,234567,345678,456789]."),
         QStringLiteral("A,B,C,D")},
        {QStringLiteral("delay"),
         QStringLiteral("How long a receiver takes to answer [80]."),
         QStringLiteral("ms")},
        {QStringLiteral("lose"),
         QStringLiteral("Share of commands lost on the radio, never answered [0]."),
         QStringLiteral("percent")},
        {QStringLiteral("off"),
         QStringLiteral("Receivers that are switched off and never answer, e.g. 2,4."),
         QStringLiteral("list")},
        {QStringLiteral("lamps-on"),
         QStringLiteral("Receivers whose lamp is on at the start, e.g. 1,3."),
         QStringLiteral("list")},
        {QStringLiteral("unasked"),
         QStringLiteral("Receiver N reports its lamp unasked every S seconds, e.g. 2:10."),
         QStringLiteral("N:S")},
        {QStringLiteral("bad-checksum"),
         QStringLiteral("Share of reports sent with a wrong checksum [0]."),
         QStringLiteral("percent")},
        {QStringLiteral("noise"),
         QStringLiteral("Share of reports preceded by a burst of line noise [0]."),
         QStringLiteral("percent")},
        {QStringLiteral("hang-up-after"),
         QStringLiteral("Hang up the line after this many seconds, as an unplugged "
                        "transmitter would, and exit."),
         QStringLiteral("seconds")},
        {QStringLiteral("trace"),
         QStringLiteral("Print every telegram, both ways, in hex with its meaning.")},
        {QStringLiteral("channels-file"),
         QStringLiteral("Write the panel's address file naming these receivers, "
                        "e.g. build/lumo-win.channels."),
         QStringLiteral("path")},
        {QStringLiteral("seed"),
         QStringLiteral("Seed of the random losses, checksums and noise, to repeat a run."),
         QStringLiteral("number")},
    });

    ParsedSimOptions result;
    if (!parser.parse(arguments)) {
        result.action = ParsedSimOptions::Fail;
        result.text = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        result.action = ParsedSimOptions::ShowHelp;
        result.text = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.action = ParsedSimOptions::ShowVersion;
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.action = ParsedSimOptions::Fail;
        result.text = QStringLiteral("unexpected argument \"%1\"")
                          .arg(parser.positionalArguments().first());
        return result;
    }
    try {
        result.options = parseValues(parser);
    } catch (const OptionError &e) {
        result.action = ParsedSimOptions::Fail;
        result.text = QString::fromStdString(e.what());
    }
    return result;
}

QString addressText(const ChannelAddress &address)
{
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(address.data()), int(address.size()))
            .toHex(' ')
            .toUpper());
}

QByteArray channelAddressFileContent(const SimOptions &options)
{
    QByteArray content = "# The receivers of lumo-sim, one channel per line in channel order.\n";
    for (const ChannelAddress &address : options.addresses)
        content += addressText(address).toLatin1() + '\n';
    return content;
}
