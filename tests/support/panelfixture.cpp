#include "panelfixture.h"

#include "channel/channel.h"
#include "link/transmitterlink.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTimer>

PanelFixture::PanelFixture()
{
    peer.useAsTransmitter();
}

PanelFixture::~PanelFixture() = default;

MainWindow *PanelFixture::open(const QByteArray &addresses)
{
    panel.reset();
    if (!peer.isOpen() || !dir.isValid())
        return nullptr;
    QString path;
    if (!addresses.isNull()) {
        path = QDir(dir.path()).filePath(QStringLiteral("lumo-win.channels"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(addresses) != addresses.size())
            return nullptr;
    }
    panel = std::make_unique<MainWindow>(path);
    return panel.get();
}

void PanelFixture::close()
{
    panel.reset();
}

bool PanelFixture::show(Ticks ticks)
{
    if (!panel)
        return false;
    panel->show();
    if (ticks == TicksByHand)
        panel->tickTimer()->stop();
    return QTest::qWaitForWindowExposed(panel.get());
}

QPushButton *PanelFixture::button(const char *kind, int channel) const
{
    return button(QStringLiteral("%1_%2").arg(QLatin1String(kind)).arg(channel));
}

QLabel *PanelFixture::indicator(int channel) const
{
    return find<QLabel>(QStringLiteral("lampLED_%1").arg(channel));
}

void PanelFixture::receive(const QByteArray &bytes)
{
    panel->link().receiveBytes(bytes.constData(), bytes.size());
}

void PanelFixture::confirmChannel(int index, quint8 state)
{
    Channel &channel = panel->channel(index);
    channel.onActivePressed();
    receive(reportBytes(channel.channelAddress(), state));
    QCoreApplication::processEvents();
}

QStringList &PanelFixture::log()
{
    if (!debugLog)
        debugLog = std::make_unique<DebugLog>();
    return debugLog->lines;
}

BoxDismisser &PanelFixture::boxes()
{
    if (!dismisser)
        dismisser = std::make_unique<BoxDismisser>();
    return *dismisser;
}
