#pragma once

#include <QObject>
#include <QString>

#include <functional>

class ChannelBus;
class ChannelRequests;

// The panel on the user's session bus: one panel per session under the program's id, its
// channels for scripts, and the way a second start raises the first.
class PanelBus : public QObject
{
    Q_OBJECT

public:
    enum class Claim {
        Owner,         // this panel holds the name; go on starting
        NoBus,         // no session bus, or it refused: go on starting without it
        Activated,     // another panel runs and was asked to raise its window
        OtherIsSilent, // another panel holds the name but did not answer (see failure)
    };

    explicit PanelBus(QObject *parent = nullptr);
    ~PanelBus() override;

    // Registers the objects first, then asks for the name without queueing, so that whoever
    // sees the name finds the objects. When the name is taken, calls its owner's Activate with
    // this start's token and takes nothing.
    Claim claim();
    // The channels answer from now on; `activate` raises the window.
    void attach(ChannelRequests *requests, std::function<void(const QString &token)> activate);

    QString failure;

private:
    void withdraw();

    bool owner = false;
    QObject *application = nullptr;
    ChannelBus *channels = nullptr;
    std::function<void(const QString &token)> raise;
};
