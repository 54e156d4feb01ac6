#pragma once

#include <QString>

class QSerialPort;

// Why the line behind an open port is gone, or an empty text while it is there. Looks at the
// terminal itself rather than waiting for the toolkit to report: from Qt 6.7.1 a hung-up
// USB-serial line (its reads return 0 bytes) reports no error at all. On Unix a hung-up tty
// fails every terminal request with EIO, while a healthy one, pseudo-terminals included, answers
// tcgetattr(); the modem-line request is no use, as a healthy pseudo-terminal refuses it too.
QString lineFailure(const QSerialPort &port);

// The same for a terminal's file descriptor.
QString lineFailure(int descriptor);

// Whether bytes have come in on the open port that the panel has not read yet: in the toolkit's
// buffer, or still in the terminal's.
bool hasUnreadBytes(const QSerialPort &port);
