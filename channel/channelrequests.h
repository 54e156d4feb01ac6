#pragma once

#include "channel/channel.h"

#include <QList>
#include <QObject>

#include <deque>
#include <functional>
#include <vector>

// The one way into the channels: the buttons, the session bus and any other remote control
// ask for the same things here, and wait for the same lock. While a channel waits for its
// receiver the buttons are locked, and requests wait their turn: at most one per channel (a
// later one replaces it), run in the order they were made as soon as the lock lifts. So a flood
// of requests holds at most four, whatever its size.
class ChannelRequests : public QObject
{
    Q_OBJECT

public:
    enum class Kind {
        Ask,        // asks the receiver for the lamp's state; puts the channel in use
        SwitchOn,   // commands the lamp on, whatever the switch shows
        SwitchOff,  // commands the lamp off
        Toggle,     // what the lamp switch does: the opposite of the last state
        Activate,   // puts the channel in use (asks, unless it is in use already)
        Deactivate, // takes the channel out of use
    };
    enum class Outcome {
        Reported,      // the receiver reported the lamp's state
        Done,          // carried out; nothing to wait for
        GaveUp,        // three transmissions went unanswered; the channel is inactive again
        NoReceiver,    // the channel has no receiver (address 00 00 00)
        NoTransmitter, // the transmitter is not there, or was lost while the request waited
        Replaced,      // a later request for the same channel took its place
    };
    struct Result
    {
        Outcome outcome;
        Channel::Lamp lamp; // as the channel knows it when the request ends
    };
    // Called exactly once per request, maybe before request() returns.
    using Reply = std::function<void(const Result &result)>;

    // `channels` in channel order; `transmitterPresent` tells whether a line is open.
    ChannelRequests(const QList<Channel *> &channels,
                    std::function<bool()> transmitterPresent,
                    QObject *parent);

    int channelCount() const { return int(channels.size()); }
    // Channel `number`, 1 to channelCount(), to read and to follow.
    const Channel &channel(int number) const { return *channels.at(number - 1); }
    // A request for channel `number` (1 to channelCount()). Returns false, and calls nothing,
    // for a channel that does not exist.
    bool request(int number, Kind kind, Reply reply = {});
    // A press of a channel's button: as a request, but without the checks that would refuse
    // it, so that a press does exactly what it did before requests existed.
    void press(int number, Kind kind);

    // The buttons were locked or unlocked; an unlock runs what waits.
    void setLocked(bool locked);
    bool isLocked() const { return locked; }
    // Ends every waiting and running request with NoTransmitter.
    void transmitterLost();

    // Requests waiting for the lock, at most one per channel.
    int waitingCount() const { return int(order.size()); }

private:
    struct Entry
    {
        Kind kind = Kind::Ask;
        Reply reply;
        bool pressed = false;
    };
    void submit(int index, Entry entry);
    void run(int index, Entry entry);
    void runWaiting();
    // Ends what runs on channel `index` with `outcome`.
    void finish(int index, Outcome outcome);

    QList<Channel *> channels;
    std::function<bool()> transmitterPresent;
    bool locked = false;
    bool running = false;        // runWaiting() is on the stack
    std::vector<Entry> waiting;  // one place per channel
    std::deque<int> order;       // channel indices of `waiting`, oldest first
    std::vector<Reply> inFlight; // what each channel's query or command will answer
};
