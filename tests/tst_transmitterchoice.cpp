// Which serial port the panel takes for the transmitter, from the ports' USB ids.
#include "link/transmitterchoice.h"

#include <QtTest>

Q_DECLARE_METATYPE(QVector<PortDescription>)

class TestTransmitterChoice : public QObject
{
    Q_OBJECT

private slots:
    void transmitterChoice_data();
    void transmitterChoice();
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

QTEST_APPLESS_MAIN(TestTransmitterChoice)
#include "tst_transmitterchoice.moc"
