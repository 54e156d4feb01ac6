#include "channelrequests.h"

#include <algorithm>
#include <utility>

ChannelRequests::ChannelRequests(const QList<Channel *> &channels,
                                 std::function<bool()> transmitterPresent,
                                 QObject *parent)
    : QObject(parent)
    , channels(channels)
    , transmitterPresent(std::move(transmitterPresent))
    , waiting(size_t(channels.size()))
    , inFlight(size_t(channels.size()))
{
    for (int index = 0; index < channels.size(); ++index) {
        connect(channels[index], &Channel::reportAccepted, this, [this, index] {
            finish(index, Outcome::Reported);
        });
        connect(channels[index], &Channel::gaveUp, this, [this, index] {
            // Without a line nothing went out: the receiver is not to blame.
            finish(index, this->transmitterPresent() ? Outcome::GaveUp : Outcome::NoTransmitter);
        });
    }
}

bool ChannelRequests::request(int number, Kind kind, Reply reply)
{
    if (number < 1 || number > channelCount())
        return false;
    const int index = number - 1;
    const Channel &channel = *channels[index];
    if (!channel.receiver() || !transmitterPresent()) {
        if (reply)
            reply({channel.receiver() ? Outcome::NoTransmitter : Outcome::NoReceiver,
                   channel.reportedLamp()});
        return true;
    }
    submit(index, {kind, std::move(reply), false});
    return true;
}

void ChannelRequests::press(int number, Kind kind)
{
    if (number >= 1 && number <= channelCount())
        submit(number - 1, {kind, {}, true});
}

void ChannelRequests::submit(int index, Entry entry)
{
    if (!locked && !running && order.empty()) {
        run(index, std::move(entry));
        return;
    }
    Reply replaced;
    const auto queued = std::find(order.begin(), order.end(), index);
    if (queued != order.end()) {
        order.erase(queued);
        replaced = std::exchange(waiting[size_t(index)].reply, {});
    }
    // The latest request runs, in its own turn.
    waiting[size_t(index)] = std::move(entry);
    order.push_back(index);
    if (replaced)
        replaced({Outcome::Replaced, channels[index]->reportedLamp()});
}

void ChannelRequests::run(int index, Entry entry)
{
    Channel &channel = *channels[index];
    auto answer = [&entry, &channel](Outcome outcome) {
        if (entry.reply)
            entry.reply({outcome, channel.reportedLamp()});
    };
    if (!entry.pressed && !transmitterPresent()) {
        answer(Outcome::NoTransmitter);
        return;
    }
    // Whatever the channel did for an earlier request ends here.
    if (Reply earlier = std::exchange(inFlight[size_t(index)], {}))
        earlier({Outcome::Replaced, channel.reportedLamp()});
    switch (entry.kind) {
    case Kind::Ask:
        channel.onActivePressed();
        break;
    case Kind::SwitchOn:
    case Kind::SwitchOff:
        channel.switchLamp(entry.kind == Kind::SwitchOn);
        break;
    case Kind::Toggle:
        channel.onLampPressed();
        break;
    case Kind::Activate:
        if (!channel.isActive())
            channel.onActivePressed();
        break;
    case Kind::Deactivate:
        channel.setActive(false);
        break;
    }
    // A query or command ends with the receiver's report or the channel giving up.
    if (channel.isWaiting())
        inFlight[size_t(index)] = std::move(entry.reply);
    else
        answer(Outcome::Done);
}

void ChannelRequests::setLocked(bool flag)
{
    locked = flag;
    if (!locked)
        runWaiting();
}

void ChannelRequests::runWaiting()
{
    if (running)
        return;
    running = true;
    while (!locked && !order.empty()) {
        const int index = order.front();
        order.pop_front();
        run(index, std::exchange(waiting[size_t(index)], {}));
    }
    running = false;
}

void ChannelRequests::finish(int index, Outcome outcome)
{
    if (Reply reply = std::exchange(inFlight[size_t(index)], {}))
        reply({outcome, channels[index]->reportedLamp()});
}

void ChannelRequests::transmitterLost()
{
    std::vector<Reply> ended;
    for (int index : order)
        ended.push_back(std::exchange(waiting[size_t(index)].reply, {}));
    order.clear();
    for (Reply &reply : inFlight)
        ended.push_back(std::exchange(reply, {}));
    for (const Reply &reply : ended) {
        if (reply)
            reply({Outcome::NoTransmitter, Channel::Lamp::Unknown});
    }
}
