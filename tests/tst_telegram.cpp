#include "link/telegram.h"

#include <QtTest>

class TestTelegram : public QObject
{
    Q_OBJECT

private slots:
    void frames_data();
    void frames();
    void directionChangesChecksum();
    void receiverPresence();
};

void TestTelegram::frames_data()
{
    QTest::addColumn<quint8>("kind");
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<quint8>("code");
    QTest::addColumn<QByteArray>("wire");

    // Worked examples: the sum wraps before the nibble swap, and the final + 0x11 wraps too.
    QTest::newRow("on to 12 34 56") << quint8(0x05) << QByteArray::fromHex("123456") << quint8(1)
                                    << QByteArray::fromHex("0205123456013B03");
    QTest::newRow("query 12 34 56") << quint8(0x05) << QByteArray::fromHex("123456") << quint8(2)
                                    << QByteArray::fromHex("0205123456024B03");
    QTest::newRow("report on, sum wraps") << quint8(0x85) << QByteArray::fromHex("123456")
                                          << quint8(1) << QByteArray::fromHex("0285123456013303");
    QTest::newRow("report off") << quint8(0x85) << QByteArray::fromHex("123456") << quint8(0)
                                << QByteArray::fromHex("0285123456002303");
    QTest::newRow("off to 00 00 0A, +0x11 wraps")
        << quint8(0x05) << QByteArray::fromHex("00000A") << quint8(0)
        << QByteArray::fromHex("020500000A000103");
    QTest::newRow("off to 01 02 03") << quint8(0x05) << QByteArray::fromHex("010203") << quint8(0)
                                     << QByteArray::fromHex("020501020300C103");
    // Start and end byte values inside the frame travel unescaped.
    QTest::newRow("STX/ETX as address") << quint8(0x05) << QByteArray::fromHex("020302")
                                        << quint8(0) << QByteArray::fromHex("020502030200D103");
}

void TestTelegram::frames()
{
    QFETCH(quint8, kind);
    QFETCH(QByteArray, address);
    QFETCH(quint8, code);
    QFETCH(QByteArray, wire);

    const ChannelAddress a{quint8(address[0]), quint8(address[1]), quint8(address[2])};
    const TelegramFrame frame = buildTelegram(kind, a, code);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(frame.data()), int(frame.size())), wire);
    QCOMPARE(telegramChecksum(reinterpret_cast<const quint8 *>(wire.constData()) + 1),
             quint8(wire[6]));
    if (kind == Telegram::CommandKind)
        QCOMPARE(commandTelegram(a, code), frame);
}

void TestTelegram::directionChangesChecksum()
{
    const ChannelAddress a{0x12, 0x34, 0x56};
    for (quint8 code = 0; code < 3; ++code)
        QVERIFY(commandTelegram(a, code)[6] != buildTelegram(Telegram::ReportKind, a, code)[6]);
}

void TestTelegram::receiverPresence()
{
    QVERIFY(!hasReceiver({0, 0, 0}));
    QVERIFY(hasReceiver({0, 0, 1}));
    QVERIFY(hasReceiver({0x80, 0, 0}));
}

QTEST_APPLESS_MAIN(TestTelegram)
#include "tst_telegram.moc"
