#include "app/mainwindow.h"
#include "link/transmitterlink.h"
#include "app/startup.h"
#include "channel/channel.h"
#include "support/boxdismisser.h"
#include "support/panelchild.h"
#include "support/panelfixture.h"

#include <QApplication>
#include <QPushButton>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

namespace {

QByteArray report(const char *addressHex, quint8 state)
{
    const QByteArray a = QByteArray::fromHex(addressHex);
    return reportBytes({quint8(a[0]), quint8(a[1]), quint8(a[2])}, state);
}

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace

class TestTransmitterLink : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void opensNamedPortWithLineSettings();
    void channelCommandReachesTheWire();
    void reportsReachTheirChannel();
    void dispatchRules();
    void unfinishedFrameGivenUpAfterSilence_data();
    void unfinishedFrameGivenUpAfterSilence();
    void hangUpGivesOneBoxAndGoesIdle();
    void foreignAndHarmlessErrorsAreIgnored();
    void startFailsWithoutTransmitter_data();
    void startFailsWithoutTransmitter();

private:
    bool makeWindow(const QByteArray &addresses)
    {
        window = panel->open(addresses);
        return window;
    }

    std::unique_ptr<PanelFixture> panel;
    MainWindow *window = nullptr;
};

void TestTransmitterLink::init()
{
    panel = std::make_unique<PanelFixture>();
    panel->log();
}

void TestTransmitterLink::cleanup()
{
    panel.reset();
    window = nullptr;
}

void TestTransmitterLink::opensNamedPortWithLineSettings()
{
    QVERIFY(makeWindow("11 11 11\nA0 A1 A2\n"));
    QSerialPort *port = window->transmitterPort();
    QVERIFY(port);
    QVERIFY(port->isOpen());
    QCOMPARE("/dev/" + port->portName(), panel->peer.slavePath());
    QCOMPARE(port->openMode(), QIODevice::ReadWrite);
    QCOMPARE(port->baudRate(QSerialPort::Input), 115200);
    QCOMPARE(port->baudRate(QSerialPort::Output), 115200);
    QCOMPARE(port->dataBits(), QSerialPort::Data8);
    QCOMPARE(port->parity(), QSerialPort::NoParity);
    QCOMPARE(port->stopBits(), QSerialPort::OneStop);
    QCOMPARE(port->flowControl(), QSerialPort::NoFlowControl);
    QVERIFY(!port->isTextModeEnabled());
    QVERIFY(panel->log().contains("Opened serial port"));
    QVERIFY(!window->tickTimer()->isActive()); // only the first show starts it
}

void TestTransmitterLink::channelCommandReachesTheWire()
{
    QVERIFY(makeWindow("11 11 11\nA0 A1 A2\n"));
    window->channel(1).onActivePressed();
    window->onTimerTick();
    QCOMPARE(panel->peer.read(8),
             frameBytes(commandTelegram({0xA0, 0xA1, 0xA2}, Telegram::ReportState)));
    window->onTimerTick(); // counting down: nothing more goes out
    QCOMPARE(panel->peer.read(1, 100), QByteArray());
}

void TestTransmitterLink::reportsReachTheirChannel()
{
    QVERIFY(makeWindow("11 11 11\nA0 A1 A2\n"));
    Channel &second = window->channel(1);
    second.onActivePressed();
    // Split over two writes, with noise before it: still one delivery.
    panel->peer.write(QByteArray::fromHex("FF00") + report("A0A1A2", 1).left(3));
    QTest::qWait(20);
    QVERIFY(!second.isLampOn());
    panel->peer.write(report("A0A1A2", 1).mid(3));
    QTRY_VERIFY(second.isLampOn());
    QCOMPARE(second.currentOperation(), Channel::Confirmed);
    QVERIFY(!window->channel(0).isActive());
    // Two frames in one write arrive in order: the last one wins.
    panel->peer.write(report("A0A1A2", 1) + report("A0A1A2", 0));
    QTRY_VERIFY(!second.isLampOn());
}

void TestTransmitterLink::dispatchRules()
{
    // Channels 1 and 2 share an address; channel 3 is 00 00 00 (no receiver).
    QVERIFY(makeWindow("A0 A1 A2\nA0A1A2\n00 00 00\n"));
    window->channel(0).onActivePressed();
    window->channel(1).onActivePressed();

    window->link().receiveBytes(report("A0A1A2", 1).constData(), 8);
    QVERIFY(window->channel(0).isLampOn()); // the lower channel number wins
    QVERIFY(!window->channel(1).isLampOn());

    panel->log().clear();
    QByteArray echo = report("A0A1A2", 0);
    echo[1] = char(Telegram::CommandKind);
    window->link().receiveBytes(echo.constData(), 8); // an echoed command is dropped silently
    QVERIFY(window->channel(0).isLampOn());
    QCOMPARE(panel->log(), QStringList());

    window->link().receiveBytes(report("C0FFEE", 1).constData(), 8);
    QCOMPARE(panel->log(), QStringList{"Address not found"});

    // 00 00 00 goes to the channel without receiver, which is never active: no line at all.
    panel->log().clear();
    window->link().receiveBytes(report("000000", 1).constData(), 8);
    QCOMPARE(panel->log(), QStringList());
}

void TestTransmitterLink::unfinishedFrameGivenUpAfterSilence_data()
{
    // `first` is taken in, then after `pause` comes `second`; the report must reach channel 2.
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QString>("pause"); // "none", "silence", or "busy": the panel does not look
    QTest::addColumn<QByteArray>("second");
    const QByteArray answer = report("A0A1A2", 1);
    QTest::newRow("cut frame, silence, report")
        << QByteArray::fromHex("02851234") << "silence" << answer;
    QTest::newRow("body awaiting its end byte, silence, report")
        << report("C0FFEE", 1).left(7) << "silence" << answer;
    QTest::newRow("report split without a pause") << answer.left(3) << "none" << answer.mid(3);
    QTest::newRow("rest arrives while the panel is busy")
        << answer.left(3) << "busy" << answer.mid(3);
}

void TestTransmitterLink::unfinishedFrameGivenUpAfterSilence()
{
    QFETCH(QByteArray, first);
    QFETCH(QString, pause);
    QFETCH(QByteArray, second);
    QVERIFY(makeWindow("11 11 11\nA0 A1 A2\n"));
    window->channel(1).onActivePressed();
    panel->receive(first);
    if (pause == "silence")
        QTest::qWait(150);
    if (pause == "busy") {
        panel->peer.write(second);
        QThread::msleep(150);
    } else {
        panel->receive(second);
    }
    QTRY_COMPARE(window->channel(1).currentOperation(), Channel::Confirmed);
    QVERIFY(!panel->log().contains("Address not found"));
}

void TestTransmitterLink::hangUpGivesOneBoxAndGoesIdle()
{
    QVERIFY(makeWindow("11 11 11\nA0 A1 A2\n"));
    window->channel(1).onActivePressed(); // pending: buttons locked, query due
    QPointer<QSerialPort> port = window->transmitterPort();
    BoxDismisser &boxes = panel->boxes();
    panel->peer.hangUp();
    QTRY_COMPARE(boxes.seen.size(), 1);
    QVERIFY2(boxes.seen.first().startsWith("Error|Error reading from serial port: "),
             qPrintable(boxes.seen.first()));
    QCOMPARE(window->transmitterPort(), nullptr);
    QTRY_VERIFY(port.isNull()); // released once its own signal had returned
    for (int n = 0; n < 4; ++n) {
        QVERIFY(!panel->button("activeButton", n + 1)->isEnabled());
        QVERIFY(!panel->button("lampButton", n + 1)->isEnabled());
    }

    // Idle afterwards: no error storm keeps the CPU busy, and no second box.
    const double before = cpuSeconds();
    QTest::qWait(500);
    QVERIFY2(cpuSeconds() - before < 0.2, "event loop still busy after the hang-up");
    QCOMPARE(boxes.seen.size(), 1);
    QCOMPARE(boxes.maxNesting, 1);

    // The pending channel runs out its repeats without a port and unlocks the buttons.
    for (int tick = 0; tick < 154; ++tick)
        window->onTimerTick();
    QVERIFY(!window->channel(1).isActive());
    QVERIFY(panel->button("activeButton_2")->isEnabled());
}

void TestTransmitterLink::foreignAndHarmlessErrorsAreIgnored()
{
    QVERIFY(makeWindow("11 11 11\n"));
    BoxDismisser &boxes = panel->boxes();
    QSerialPort *port = window->transmitterPort();
    window->link().onSerialError(port, QSerialPort::NoError);
    QSerialPort stranger;
    window->link().onSerialError(&stranger, QSerialPort::ReadError);
    QTest::qWait(50);
    QCOMPARE(boxes.seen, QStringList());
    QCOMPARE(window->transmitterPort(), port);
    window->link().close();
    window->link().onSerialError(port, QSerialPort::ReadError); // after release: nothing to dereference
    QTest::qWait(50);
    QCOMPARE(boxes.seen, QStringList());
}

void TestTransmitterLink::startFailsWithoutTransmitter_data()
{
    QTest::addColumn<QByteArray>("portOverride");
    QTest::addColumn<QString>("message");
    // This machine has no transmitter, so the search finds nothing.
    QTest::newRow("no transmitter") << QByteArray() << "Transmmitter device not found";
    QTest::newRow("override cannot be opened")
        << QByteArray("/nonexistent/ttyLUMO") << "Unable to open serial port ";
}

void TestTransmitterLink::startFailsWithoutTransmitter()
{
    QFETCH(QByteArray, portOverride);
    QFETCH(QString, message);

    QTemporaryDir home;
    QFile config(home.filePath("lumo-win.cnf"));
    PanelChild child;
    QVERIFY(child.start(home.filePath("lumo-win"), QString::fromLocal8Bit(portOverride)));
    QVERIFY(child.finish(20000));
    QCOMPARE(child.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.process.exitCode(), 1);
    QCOMPARE(child.texts(), QStringList{"BOX Error|" + message});
    QVERIFY2(!config.exists(), "a failed start must not create the configuration file");
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (isPanelChild())
        return runPanelChild();
    TestTransmitterLink test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_transmitterlink.moc"
