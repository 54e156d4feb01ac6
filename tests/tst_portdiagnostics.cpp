#include "platform/portdiagnostics.h"
#include "support/ptypeer.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(OpenFailureFacts)

class TestPortDiagnostics : public QObject
{
    Q_OBJECT

private slots:
    void describe_data();
    void describe();
    void realPort_data();
    void realPort();
};

void TestPortDiagnostics::describe_data()
{
    QTest::addColumn<OpenFailureFacts>("failure");
    QTest::addColumn<QString>("line");

    OpenFailureFacts denied;
    denied.portName = "ttyUSB0";
    denied.error = QSerialPort::PermissionError;
    denied.errorText = "Permission error while locking the device";
    denied.deviceExists = true;
    denied.deviceUsable = true;
    denied.deviceGroup = "dialout";
    denied.lockFile = "/var/lock/LCK..ttyUSB0";
    const QString start
        = "Cannot open serial port ttyUSB0: Permission error while locking the device";

    OpenFailureFacts failure = denied;
    failure.error = QSerialPort::DeviceNotFoundError;
    failure.errorText = "No such file or directory";
    failure.deviceExists = false;
    QTest::newRow("not found") << failure
                               << "Cannot open serial port ttyUSB0: No such file or directory";

    failure = denied;
    failure.lockFileExists = true;
    failure.lockOwner = 4321;
    failure.lockOwnerRunning = true;
    failure.lockOwnerName = "minicom";
    QTest::newRow("in use, lock names its process")
        << failure
        << start
               + " (the port is in use by another program: lock file /var/lock/LCK..ttyUSB0, "
                 "process 4321 minicom)";
    failure.lockOwnerName.clear();
    QTest::newRow("in use, process name unknown")
        << failure
        << start
               + " (the port is in use by another program: lock file /var/lock/LCK..ttyUSB0, "
                 "process 4321)";
    failure.lockOwner = 0;
    failure.lockOwnerRunning = false;
    QTest::newRow("in use, lock file unreadable")
        << failure
        << start + " (the port is in use by another program: lock file /var/lock/LCK..ttyUSB0)";
    failure.lockOwner = 999;
    QTest::newRow("lock of an ended process left by another user")
        << failure
        << start
               + " (the lock file /var/lock/LCK..ttyUSB0 names process 999, which has ended, and "
                 "cannot be removed: ask its owner or your administrator)";

    failure = denied;
    failure.lockNameTooLong = true;
    QTest::newRow("name too long for a lock file")
        << failure
        << start + " (the port's name is too long for its lock file /var/lock/LCK..ttyUSB0)";
    failure = denied;
    failure.lockFile.clear();
    failure.errorText = "Permission error while creating lock file";
    QTest::newRow("no lock folder")
        << failure
        << "Cannot open serial port ttyUSB0: Permission error while creating lock file (no folder "
           "for the port's lock file can be written, such as /run/lock)";
    QTest::newRow("device held exclusively")
        << denied << start + " (the port is in use by another program that holds it exclusively)";

    failure = denied;
    failure.errorText = "Permission denied";
    failure.deviceUsable = false;
    QTest::newRow("device of a group")
        << failure
        << "Cannot open serial port ttyUSB0: Permission denied (your user must belong to the "
           "group \"dialout\" that owns the device, e.g. sudo usermod -aG dialout $USER, then "
           "log in again)";
    failure.deviceGroup = "root";
    QTest::newRow("device of root: never advise joining root")
        << failure
        << "Cannot open serial port ttyUSB0: Permission denied (your user may not read and write "
           "the device, which belongs to the group \"root\": ask your administrator for access, "
           "e.g. through the group \"dialout\")";

    failure = OpenFailureFacts();
    failure.portName = "/tmp/x\nOpened serial port\r\x1b[2J\t\u2028";
    failure.error = QSerialPort::DeviceNotFoundError;
    failure.errorText = "No such file or directory";
    QTest::newRow("control characters escaped")
        << failure
        << "Cannot open serial port /tmp/x\\nOpened serial port\\r\\x1b[2J\\t\\u2028: No such file "
           "or directory";
}

void TestPortDiagnostics::describe()
{
    QFETCH(OpenFailureFacts, failure);
    QFETCH(QString, line);
    QCOMPARE(describeOpenFailure(failure), line);
}

void TestPortDiagnostics::realPort_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("expected"); // in the line; "%lock" and "%pid" filled in
    QTest::newRow("locked by a running program")
        << "locked"
        << " (the port is in use by another program: lock file %lock, process %pid sleep)";
    QTest::newRow("name too long for its lock file")
        << "long"
        << " (the port's name is too long for its lock file %lock)";
    QTest::newRow("newline in the name") << "newline"
                                         << "\\nOpened serial port: ";
}

// The real toolkit's failures, on a pseudo-terminal this user may use.
void TestPortDiagnostics::realPort()
{
    QFETCH(QString, situation);
    QFETCH(QString, expected);
    PtyPeer peer;
    QVERIFY(peer.isOpen());
    QTemporaryDir dir;
    QString portName = peer.slavePath();
    QProcess owner;
    qint64 ownerPid = 0;
    if (situation == "long") {
        portName = dir.filePath(QString(240, 'p'));
        QVERIFY(QFile::link(peer.slavePath(), portName));
    }
    if (situation == "newline")
        portName = dir.filePath("x\nOpened serial port");
    const QString lockFile = examineOpenFailure(portName, QSerialPort::NoError, {}).lockFile;
    QVERIFY(!lockFile.isEmpty());
    if (situation == "locked") {
        owner.start("sleep", {"60"});
        QVERIFY(owner.waitForStarted());
        ownerPid = owner.processId();
        QFile lock(lockFile);
        QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::NewOnly));
        lock.write(QByteArray::number(ownerPid) + "\nsleep\n\n");
        lock.close();
    }

    QSerialPort port;
    port.setPortName(portName);
    const bool opened = port.open(QIODevice::ReadWrite);
    const QString line = describeOpenFailure(
        examineOpenFailure(portName, port.error(), port.errorString()));
    if (situation == "locked") {
        QFile::remove(lockFile);
        owner.kill();
        owner.waitForFinished();
    }
    QVERIFY(!opened);
    qInfo("%s", qPrintable(line));
    QVERIFY2(!line.contains('\n') && !line.contains("usermod"), qPrintable(line));
    expected.replace("%lock", lockFile).replace("%pid", QString::number(ownerPid));
    QVERIFY2(line.contains(expected), qPrintable(line));
}

QTEST_GUILESS_MAIN(TestPortDiagnostics)

#include "tst_portdiagnostics.moc"
