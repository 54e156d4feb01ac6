#pragma once

#include <QSerialPort>
#include <QString>

// A debug line that tells the user why the transmitter port did not open: the port, the
// toolkit's error text and, for a permission error on Linux, which group grants access.
// `deviceGroup` is the group that owns the device file, empty when unknown.
QString describeOpenFailure(const QString &portName,
                            QSerialPort::SerialPortError error,
                            const QString &errorText,
                            const QString &deviceGroup);

// The group owning the device file behind `portName` ("ttyUSB0" or a full path).
QString deviceGroupOf(const QString &portName);
