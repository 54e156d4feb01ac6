#pragma once

#include "bus/busplugin.h"

#include <QObject>
#include <QString>

#include <functional>

class ChannelBus;

// The panel on the user's session bus: one panel per session under the program's id, its
// channels for scripts, and the way a second start raises the first.
class PanelBus : public QObject, public BusSession
{
    Q_OBJECT

public:
    explicit PanelBus(QObject *parent = nullptr);
    ~PanelBus() override;

    Claim claim() override;
    void attach(BusChannels *channels, std::function<void(const QString &token)> activate) override;
    QString failure() const override { return otherFailed; }

private:
    void withdraw();

    QString otherFailed;
    bool owner = false;
    QObject *application = nullptr;
    ChannelBus *channels = nullptr;
    std::function<void(const QString &token)> raise;
};
