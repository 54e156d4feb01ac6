#include "files/programpath.h"
#include "channel/channeladdresses.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QStringList debugLines;

void captureDebug(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg)
        debugLines << message;
}

// The four addresses as twelve bytes of hex, channel 1 first.
QByteArray hexOf(const ChannelAddresses &addresses)
{
    QByteArray result;
    for (const ChannelAddress &address : addresses)
        result += QByteArray(reinterpret_cast<const char *>(address.data()), 3).toHex();
    return result;
}

const QString Shape = "expected three hex bytes such as \"12 34 56\" or \"123456\", found ";

} // namespace

class TestChannelAddresses : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void survivesAnyBytes();
    void load_data();
    void load();
    void pathFollowsTheProgramName_data();
    void pathFollowsTheProgramName();
};

void TestChannelAddresses::parse_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("addresses");
    QTest::addColumn<QStringList>("problems");
    const QByteArray none = "000000";

    QTest::newRow("both forms, any case")
        << QByteArray("12 34 56\nabcdef\nAb cD 0f\n7F8e9D\n")
        << QByteArray("123456abcdefabcd0f7f8e9d") << QStringList();
    QTest::newRow("comments, blanks, tabs, CRLF, no final newline")
        << QByteArray("# panel\r\n\r\n  12\t34  56 # hall\r\n   \n#00 00 01\nA0A1A2")
        << QByteArray("123456a0a1a2") + none + none << QStringList();
    QTest::newRow("00 00 00 keeps its place")
        << QByteArray("00 00 00\n123456\n") << none + "123456" + none + none << QStringList();
    QTest::newRow("empty") << QByteArray() << none + none + none + none << QStringList();

    const struct
    {
        const char *name;
        const char *line;
        QString why;
    } malformed[] = {
        {"two bytes", "12 34", Shape + "\"12 34\""},
        {"four bytes", "12 34 56 78", Shape + "\"12 34 56 78\""},
        {"uneven split", "1234 56", Shape + "\"1234 56\""},
        {"one-digit bytes", "1 2 3", Shape + "\"1 2 3\""},
        {"seven digits", "1234567", Shape + "\"1234567\""},
        {"0x prefix", "0x12 0x34 0x56", Shape + "\"0x12 0x34 0x56\""},
        {"commas", "12,34,56", Shape + "\"12,34,56\""},
        {"not hex", "12 3G 56", "\"3G\" is not a hex byte"},
        {"packed not hex", "12345z", "\"5z\" is not a hex byte"},
        {"minus sign", "-1 00 00", "\"-1\" is not a hex byte"},
        {"control bytes", "\x01\"\\\xC3\xA9z", "\"\\x01\\x22\" is not a hex byte"},
        {"high bytes", "12 \xC3\xA9 34 56", Shape + "\"12 \\xc3\\xa9 34 56\""},
        {"long line", "0123456789abcdef0123456789abcdef", Shape + "\"0123456789abcdef01234567\"..."},
    };
    for (const auto &bad : malformed) {
        // The bad line is channel 2's; channels 1 and 3 are still read.
        QTest::newRow(bad.name) << "111111\n" + QByteArray(bad.line) + "  # why\n333333\n"
                                << "111111" + none + "333333" + none
                                << QStringList{"f.channels:2: channel 2 has no receiver: "
                                               + bad.why};
    }

    QTest::newRow("lines after the fourth")
        << QByteArray("111111\n222222\n\n333333\n444444\n# more\n555555\nnot even hex\n")
        << QByteArray("111111222222333333444444")
        << QStringList{
               "f.channels:7: 2 line(s) from here on ignored: there are only four channels"};
    QTest::newRow("repeated address")
        << QByteArray("000000\n123456\n000000\n12 34 56\n") << none + "123456" + none + "123456"
        << QStringList{
               "f.channels:4: channel 4 has the same address as channel 2, which gets all of its "
               "reports"};
}

void TestChannelAddresses::parse()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, addresses);
    QFETCH(QStringList, problems);
    const ChannelAddressFile parsed = parseChannelAddresses(content, "f.channels");
    QCOMPARE(hexOf(parsed.addresses), addresses);
    QCOMPARE(parsed.problems, problems);
}

// Whatever the file holds, the parser returns, and each problem is one printable line that
// names the file.
void TestChannelAddresses::survivesAnyBytes()
{
    static const char symbols[] = "0123456789abcdefABCDEFgxX #\n\r\t\x00\x01\x7f\x80\xff\"\\";
    const QByteArray alphabet(symbols, int(sizeof symbols) - 1);
    QRandomGenerator random(4711);
    for (int round = 0; round < 3000; ++round) {
        QByteArray content(int(random.bounded(120)), Qt::Uninitialized);
        for (char &c : content)
            c = round % 3 == 0 ? char(random.bounded(256))
                               : alphabet.at(int(random.bounded(alphabet.size())));
        const ChannelAddressFile parsed = parseChannelAddresses(content, "f");
        for (const QString &problem : parsed.problems) {
            QVERIFY2(problem.startsWith("f:"), qPrintable(problem));
            for (QChar c : problem)
                QVERIFY2(c.unicode() >= 0x20 && c.unicode() < 0x7F, qPrintable(problem));
            QVERIFY2(problem.size() < 200, qPrintable(problem));
        }
    }
}

void TestChannelAddresses::load_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("file") << "file";
    QTest::newRow("missing") << "missing";
    QTest::newRow("directory") << "directory";
}

void TestChannelAddresses::load()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath("lumo-win.channels");
    if (kind == "file") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("123456\n12 34\n");
    } else if (kind == "directory") {
        QVERIFY(QDir(dir.path()).mkdir("lumo-win.channels"));
    }
    debugLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureDebug);
    const ChannelAddresses addresses = loadChannelAddresses(path);
    qInstallMessageHandler(previous);

    QCOMPARE(debugLines.size(), 1);
    if (kind == "file") {
        QCOMPARE(hexOf(addresses), QByteArray("123456000000000000000000"));
        QCOMPARE(debugLines.first(), path + ":2: channel 2 has no receiver: " + Shape + "\"12 34\"");
    } else {
        QCOMPARE(hexOf(addresses), QByteArray(24, '0'));
        QVERIFY2(debugLines.first().startsWith("Cannot read the channel address file " + path
                                               + " ("),
                 qPrintable(debugLines.first()));
        QVERIFY(debugLines.first().endsWith("): no channel has a receiver"));
    }
}

void TestChannelAddresses::pathFollowsTheProgramName_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("path");
    QTest::newRow("installed") << "/opt/lumo/lumo-win"
                               << "/opt/lumo/lumo-win.channels";
    QTest::newRow("with extension") << "C:/Lumo/lumo-win.exe"
                                    << "C:/Lumo/lumo-win.channels";
    QTest::newRow("from the current folder") << "./lumo-win"
                                             << "./lumo-win.channels";
    QTest::newRow("dotted folder") << "/opt/lumo.d/lumo-win"
                                   << "/opt/lumo.d/lumo-win.channels";
}

void TestChannelAddresses::pathFollowsTheProgramName()
{
    QFETCH(QString, program);
    QFETCH(QString, path);
    QCOMPARE(channelAddressPath(program), path);
}

QTEST_GUILESS_MAIN(TestChannelAddresses)

#include "tst_channeladdresses.moc"
