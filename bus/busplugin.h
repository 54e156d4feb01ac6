#pragma once

#include "channel/channel.h"
#include "channel/channelrequests.h"

#include <QObject>
#include <QString>

#include <functional>

struct RemoteCommand;

// What the program and its session-bus module know of each other. The module holds everything
// that talks D-Bus, so the program file does not link Qt D-Bus and its libraries and loads them
// only where a session bus can be found. Only virtual calls, plain data and Qt's own types
// cross between the two: the module resolves nothing in the program file.

// The channels as the bus sees them, provided by the program. Gone with the window: the module
// follows it with a QPointer.
class BusChannels : public QObject
{
public:
    using QObject::QObject;

    struct State
    {
        bool receiver = false;
        QString address; // "12 AB 3F"
        bool active = false;
        Channel::Lamp lamp = Channel::Lamp::Unknown;
        bool waiting = false;
    };

    virtual int channelCount() const = 0;
    // Channel `number`, 1 to channelCount().
    virtual State state(int number) const = 0;
    // A request on the one command path the buttons take.
    virtual void request(int number, ChannelRequests::Kind kind, ChannelRequests::Reply reply) = 0;
    // Calls `changed` with the channel's number whenever a channel changes, until `context` or
    // this object is gone.
    virtual void follow(QObject *context, std::function<void(int number)> changed) = 0;
};

// The panel on the session bus, provided by the module.
class BusSession
{
public:
    enum class Claim {
        Owner,         // this panel holds the name; go on starting
        NoBus,         // no session bus, or it refused: go on starting without it
        Activated,     // another panel runs and was asked to raise its window
        OtherIsSilent, // another panel holds the name but did not answer (see failure)
    };

    virtual ~BusSession() = default;
    // Registers the objects first, then asks for the name without queueing, so that whoever
    // sees the name finds the objects. When the name is taken, calls its owner's Activate with
    // this start's token and takes nothing.
    virtual Claim claim() = 0;
    // The channels answer from now on; `activate` raises the window.
    virtual void attach(BusChannels *channels, std::function<void(const QString &token)> activate)
        = 0;
    // Why the panel that holds the name did not answer.
    virtual QString failure() const = 0;
};

// Changes whenever what crosses above changes, and with Qt's minor version: a module from
// another build is refused rather than called.
constexpr int BusPluginAbi = (1 << 16) | (QT_VERSION >> 8);

struct BusPluginEntry
{
    int abi;
    BusSession *(*openSession)();
    // Carries out `command` on the panel that runs in this session; returns the exit status.
    int (*runRemoteCommand)(const RemoteCommand &command);
};

// The module's one exported function.
#define LUMO_BUS_PLUGIN_ENTRY "lumoWinBusPlugin"
extern "C" {
using BusPluginEntryFunction = const BusPluginEntry *(*) ();
}
