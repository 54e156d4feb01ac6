#include "transmitterchoice.h"

#include "link/debuglines.h"

#include <QFileInfo>
#include <QSerialPortInfo>

namespace {

PortDescription describe(const QSerialPortInfo &info, const QString &name)
{
    PortDescription port{name, std::nullopt, std::nullopt, info.serialNumber()};
    if (info.hasVendorIdentifier())
        port.vendorId = info.vendorIdentifier();
    if (info.hasProductIdentifier())
        port.productId = info.productIdentifier();
    return port;
}

} // namespace

QVector<PortDescription> describePorts(const QList<QSerialPortInfo> &ports)
{
    QVector<PortDescription> result;
    result.reserve(ports.size());
    for (const QSerialPortInfo &info : ports)
        result.append(describe(info, info.portName()));
    return result;
}

PortDescription describeNamedPort(const QString &name, const QList<QSerialPortInfo> &ports)
{
    // The serial port module takes a bare name as one below /dev.
    const QString location = name.contains(QLatin1Char('/')) ? name : QLatin1String("/dev/") + name;
    const QString device = QFileInfo(location).canonicalFilePath();
    for (const QSerialPortInfo &info : ports) {
        if (info.portName() == name || (!device.isEmpty() && info.systemLocation() == device))
            return describe(info, name);
    }
    return PortDescription{name, std::nullopt, std::nullopt};
}

std::optional<QString> chooseTransmitter(const QVector<PortDescription> &ports)
{
    for (const PortDescription &port : ports) {
        if (port.vendorId == TransmitterVendorId && port.productId == TransmitterProductId)
            return port.name;
    }
    return std::nullopt;
}

bool isSameTransmitter(const PortDescription &first, const PortDescription &port)
{
    return port.vendorId == first.vendorId && port.productId == first.productId
           && port.serialNumber == first.serialNumber;
}

std::optional<QString> chooseReturningTransmitter(const PortDescription &first,
                                                  const QVector<PortDescription> &ports,
                                                  bool named)
{
    std::optional<QString> elsewhere;
    for (const PortDescription &port : ports) {
        if (!isSameTransmitter(first, port))
            continue;
        if (port.name == first.name || named)
            return port.name;
        if (!elsewhere && !first.serialNumber.isEmpty())
            elsewhere = port.name;
    }
    return elsewhere;
}

QString describeIdentity(const PortDescription &port)
{
    if (!port.vendorId && !port.productId && port.serialNumber.isEmpty())
        return QStringLiteral("no USB ids");
    const auto id = [](const std::optional<quint16> &value) {
        return value ? QStringLiteral("%1").arg(*value, 4, 16, QLatin1Char('0'))
                     : QStringLiteral("?");
    };
    QString text = QStringLiteral("USB %1:%2").arg(id(port.vendorId), id(port.productId));
    text += port.serialNumber.isEmpty()
                ? QStringLiteral(", no serial number")
                : QStringLiteral(", serial number \"%1\"").arg(printableForLog(port.serialNumber));
    return text;
}
