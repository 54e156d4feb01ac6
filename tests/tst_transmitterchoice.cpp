// Which serial port the panel takes for the transmitter, from the ports' USB ids.
#include "link/transmitterchoice.h"

#include <QtTest>

Q_DECLARE_METATYPE(PortDescription)
Q_DECLARE_METATYPE(QVector<PortDescription>)

class TestTransmitterChoice : public QObject
{
    Q_OBJECT

private slots:
    void transmitterChoice_data();
    void transmitterChoice();
    void returningTransmitter_data();
    void returningTransmitter();
};

void TestTransmitterChoice::transmitterChoice_data()
{
    using Ports = QVector<PortDescription>;
    QTest::addColumn<Ports>("ports");
    QTest::addColumn<QString>("chosen");

    const PortDescription serial{"ttyS0", std::nullopt, std::nullopt};
    const PortDescription other{"ttyUSB0", quint16(0x0403), quint16(0x6001)};
    const PortDescription first{"ttyUSB1", quint16(0x10C4), quint16(0xEA60)};
    const PortDescription second{"ttyUSB2", quint16(0x10C4), quint16(0xEA60)};
    const PortDescription noVendor{"ttyUSB3", std::nullopt, quint16(0xEA60)};
    const PortDescription noProduct{"ttyUSB4", quint16(0x10C4), std::nullopt};
    const PortDescription swapped{"ttyUSB5", quint16(0xEA60), quint16(0x10C4)};

    QTest::newRow("no ports") << Ports{} << QString();
    QTest::newRow("no match") << Ports{serial, other, swapped} << QString();
    QTest::newRow("first of two matches") << Ports{serial, first, second} << "ttyUSB1";
    QTest::newRow("port missing an id is skipped")
        << Ports{noVendor, noProduct, second} << "ttyUSB2";
    QTest::newRow("only ports missing an id") << Ports{noVendor, noProduct} << QString();
}

void TestTransmitterChoice::transmitterChoice()
{
    QFETCH(QVector<PortDescription>, ports);
    QFETCH(QString, chosen);
    QCOMPARE(chooseTransmitter(ports).value_or(QString()), chosen);
}

void TestTransmitterChoice::returningTransmitter_data()
{
    using Ports = QVector<PortDescription>;
    QTest::addColumn<PortDescription>("lost");
    QTest::addColumn<Ports>("ports");
    QTest::addColumn<bool>("named"); // the ports are the one LUMO_WIN_PORT names
    QTest::addColumn<QString>("chosen");

    const auto usb = [](const char *name, quint16 vendor, const char *serial) {
        return PortDescription{name, vendor, quint16(vendor == 0x10C4 ? 0xEA60 : 0x6001), serial};
    };
    const PortDescription lost = usb("ttyUSB0", 0x10C4, "0001");
    const PortDescription moved = usb("ttyUSB1", 0x10C4, "0001");
    const PortDescription another = usb("ttyUSB0", 0x10C4, "0002");
    const PortDescription plain = usb("ttyUSB0", 0x10C4, "");
    const PortDescription pty{"/dev/pts/3", std::nullopt, std::nullopt};
    QTest::newRow("back under its name") << lost << Ports{lost} << false << "ttyUSB0";
    QTest::newRow("back under the next name") << lost << Ports{moved} << false << "ttyUSB1";
    QTest::newRow("another transmitter under its name")
        << lost << Ports{another} << false << QString();
    QTest::newRow("itself, not the one now under its name")
        << lost << Ports{another, moved} << false << "ttyUSB1";
    QTest::newRow("same serial number, another maker")
        << lost << Ports{usb("ttyUSB0", 0x0403, "0001")} << false << QString();
    QTest::newRow("no serial number: not under another name")
        << plain << Ports{usb("ttyUSB1", 0x10C4, "")} << false << QString();
    QTest::newRow("no serial number: under its name")
        << plain << Ports{usb("ttyUSB1", 0x10C4, ""), plain} << false << "ttyUSB0";
    QTest::newRow("no serial number: not one that has one")
        << plain << Ports{lost} << false << QString();
    QTest::newRow("named pseudo-terminal") << pty << Ports{pty} << true << "/dev/pts/3";
    QTest::newRow("named port now a USB device")
        << pty << Ports{usb("/dev/pts/3", 0x10C4, "0001")} << true << QString();
    QTest::newRow("named port, same transmitter") << lost << Ports{moved} << true << "ttyUSB1";
}

void TestTransmitterChoice::returningTransmitter()
{
    QFETCH(PortDescription, lost);
    QFETCH(QVector<PortDescription>, ports);
    QFETCH(bool, named);
    QFETCH(QString, chosen);
    QCOMPARE(chooseReturningTransmitter(lost, ports, named).value_or(QString()), chosen);
}

QTEST_APPLESS_MAIN(TestTransmitterChoice)
#include "tst_transmitterchoice.moc"
