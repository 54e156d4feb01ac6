#pragma once

#include <QList>
#include <QString>
#include <QVector>

#include <optional>

class QSerialPortInfo;

constexpr quint16 TransmitterVendorId = 0x10C4;
constexpr quint16 TransmitterProductId = 0xEA60;

// What the choice needs to know of one serial port; the ids are absent when the platform does
// not report them (non-USB ports, some bridges).
struct PortDescription
{
    QString name;
    std::optional<quint16> vendorId;
    std::optional<quint16> productId;
};

QVector<PortDescription> describePorts(const QList<QSerialPortInfo> &ports);

// The first port, in the platform's order, that reports both the transmitter's vendor and
// product id. A port lacking either id never matches.
std::optional<QString> chooseTransmitter(const QVector<PortDescription> &ports);
