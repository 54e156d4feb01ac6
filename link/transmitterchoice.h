#pragma once

#include <QList>
#include <QString>
#include <QVector>

#include <optional>

class QSerialPortInfo;

constexpr quint16 TransmitterVendorId = 0x10C4;
constexpr quint16 TransmitterProductId = 0xEA60;

// What the choice needs to know of one serial port; the ids are absent and the serial number
// empty when the platform does not report them (non-USB ports, pseudo-terminals, some bridges).
struct PortDescription
{
    QString name;
    std::optional<quint16> vendorId;
    std::optional<quint16> productId;
    QString serialNumber = QString();
};

QVector<PortDescription> describePorts(const QList<QSerialPortInfo> &ports);

// The port `name` names (a name such as "ttyUSB0", a device path or a symbolic link to one), as
// the platform's list `ports` describes it; a port it does not list is known by its name alone.
PortDescription describeNamedPort(const QString &name, const QList<QSerialPortInfo> &ports);

// The first port, in the platform's order, that reports both the transmitter's vendor and
// product id. A port lacking either id never matches.
std::optional<QString> chooseTransmitter(const QVector<PortDescription> &ports);

// Whether `port` can be the transmitter that was opened as `first`, come back after its line
// was lost. With a USB serial number only a device with the same ids and serial number is;
// without one, a device with the same ids and no serial number; a port that reported nothing
// (a pseudo-terminal, a built-in port) only a port that reports nothing either.
bool isSameTransmitter(const PortDescription &first, const PortDescription &port);

// After the line was lost: the port among `ports` that is the transmitter opened as `first`, by
// isSameTransmitter(), under its old name first. Another name is taken only when a serial number
// tells the device apart (the kernel may give a replugged device the next free name), or when
// `named`: `ports` is then the one port the user named, whatever it was called before.
std::optional<QString> chooseReturningTransmitter(const PortDescription &first,
                                                  const QVector<PortDescription> &ports,
                                                  bool named = false);

// The ids and serial number of a port, for a log line: `USB 10c4:ea60, serial number "0001"`.
QString describeIdentity(const PortDescription &port);
