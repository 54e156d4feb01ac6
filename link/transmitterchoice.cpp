#include "transmitterchoice.h"

#include <QSerialPortInfo>

QVector<PortDescription> describePorts(const QList<QSerialPortInfo> &ports)
{
    QVector<PortDescription> result;
    result.reserve(ports.size());
    for (const QSerialPortInfo &info : ports) {
        PortDescription port{info.portName(), std::nullopt, std::nullopt};
        if (info.hasVendorIdentifier())
            port.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            port.productId = info.productIdentifier();
        result.append(port);
    }
    return result;
}

std::optional<QString> chooseTransmitter(const QVector<PortDescription> &ports)
{
    for (const PortDescription &port : ports) {
        if (port.vendorId == TransmitterVendorId && port.productId == TransmitterProductId)
            return port.name;
    }
    return std::nullopt;
}
