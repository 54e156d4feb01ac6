#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "accessibility/panelaccessibility.h"
#include "channel/channel.h"
#include "channel/channeladdresses.h"
#include "channel/channelrequests.h"
#include "channel/channelwidgets.h"
#include "channel/lampindicator.h"
#include "dialogs/about.h"
#include "dialogs/menudialog.h"
#include "link/debuglines.h"
#include "link/transmitterlink.h"

#include <QCloseEvent>
#include <QTimer>
#include <QtPlugin>

#include <cstdlib>

// Icons decode their image files when they are drawn, not when the form is built.
Q_IMPORT_PLUGIN(LazyIconPlugin)

MainWindow::MainWindow(const QString &addressFile)
    : QMainWindow(nullptr)
    , ui(new Ui::MainWindow)
{
    // The form's indicators then take the image from Qt's pixmap cache, decoded as PNG without
    // asking every image plugin whether it reads the file.
    LampIndicator::decodeOffImage();
    ui->setupUi(this);
    new PanelAccessibility(this, *ui);

    const ChannelAddresses addresses = addressFile.isEmpty() ? ChannelAddresses{}
                                                             : loadChannelAddresses(addressFile);
    channels.reset(new std::array<Channel, ChannelCount>{{Channel(this, addresses[0].data()),
                                                          Channel(this, addresses[1].data()),
                                                          Channel(this, addresses[2].data()),
                                                          Channel(this, addresses[3].data())}});
    QList<Channel *> all;
    for (Channel &channel : *channels)
        all << &channel;
    requests = new ChannelRequests(
        all, [this] { return transmitterLink && transmitterLink->port(); }, this);
    const struct
    {
        QPushButton *active, *lamp;
        QLabel *led;
    } columns[] = {{ui->activeButton_1, ui->lampButton_1, ui->lampLED_1},
                   {ui->activeButton_2, ui->lampButton_2, ui->lampLED_2},
                   {ui->activeButton_3, ui->lampButton_3, ui->lampLED_3},
                   {ui->activeButton_4, ui->lampButton_4, ui->lampLED_4}};
    for (int n = 1; n <= ChannelCount; ++n) {
        const auto &column = columns[n - 1];
        auto *widgets = new ChannelWidgets(&channel(n - 1), column.active, column.lamp, column.led);
        // A press is a request like any other.
        connect(widgets, &ChannelWidgets::activePressed, requests, [this, n] {
            requests->press(n, ChannelRequests::Kind::Ask);
        });
        connect(widgets, &ChannelWidgets::lampPressed, requests, [this, n] {
            requests->press(n, ChannelRequests::Kind::Toggle);
        });
    }

    transmitterLink = new TransmitterLink(this, *channels);
    if (!transmitterLink->open())
        std::exit(1);

    timer = new QTimer(this);
    timer->setInterval(100);
    connect(timer, &QTimer::timeout, this, &MainWindow::onTimerTick);
}

MainWindow::~MainWindow()
{
    delete ui;
    delete timer;
    // The channels live in one block, not on the heap one by one: they must be gone before the
    // QObject destructor would try to delete them as children.
    channels.reset();
}

void MainWindow::loadConfiguration(const QString &path, const QString &readFrom)
{
    writeDebugLine(DebugLine::StartUsingConfigFile, printableForLog(path));
    try {
        configuration.load(path, readFrom);
    } catch (...) {
        // Start with whatever has been read so far.
    }
}

void MainWindow::applyConfiguration()
{
    if (!configuration.winGeometry.isEmpty())
        restoreGeometry(QByteArray::fromBase64(configuration.winGeometry.toLatin1()));
    if (!configuration.winState.isEmpty())
        restoreState(QByteArray::fromBase64(configuration.winState.toLatin1()), 0);
    for (int n = 0; n < ChannelCount; ++n)
        channel(n).setActive(configuration.active[n]);
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (initialized)
        return;
    initialized = true;
    writeDebugLine(DebugLine::Initialize);
    timer->start();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    transmitterLink->windowClosed();
    saveConfiguration();
    QMainWindow::closeEvent(event);
}

void MainWindow::saveConfiguration()
{
    configuration.winGeometry = QString::fromLatin1(saveGeometry().toBase64());
    configuration.winState = QString::fromLatin1(saveState(0).toBase64());
    for (int n = 0; n < ChannelCount; ++n)
        configuration.active[n] = channel(n).isActive();
    try {
        configuration.save();
    } catch (...) {
        // Settings are not worth keeping the window open for.
    }
}

void MainWindow::on_sideButton_clicked()
{
    // The menu is window-modal by its own form; it blocks only this window.
    MenuDialog menu(this);
    menu.exec();
}

void MainWindow::on_vornaButton_clicked()
{
    About about(this);
    about.setModal(true);
    about.exec();
}

void MainWindow::onTimerTick()
{
    transmitterLink->checkLine();
    blinkPhase = !blinkPhase;
    for (Channel &channel : *channels)
        channel.tick(transmitterLink->port());
    transmitterLink->tick();
}

void MainWindow::enableChannels(bool flag)
{
    for (Channel &channel : *channels)
        channel.setButtonsEnabled(flag);
    // Last: an unlock runs the requests that waited for it, which may lock again.
    if (requests)
        requests->setLocked(!flag);
}

QSerialPort *MainWindow::transmitterPort() const
{
    return transmitterLink->port();
}
