#pragma once

#include "bus/busplugin.h"

#include <memory>

class ChannelRequests;
struct RemoteCommand;

// The program's side of the session bus. The module that talks D-Bus is loaded only when a bus
// can be there; it is looked for beside the program (a build tree), then in the program's
// private library folder.

// The panel's bus, or null when the panel goes without one: no bus can be found, or the module
// cannot be used (which is logged).
std::unique_ptr<BusSession> openSessionBus();

// `requests` as the bus module sees them; owned by `requests`.
BusChannels *channelsForBus(ChannelRequests *requests);

// Carries out `command` on the panel that runs in this session and returns the exit status
// (RemoteExit). Needs the core application object.
int sendRemoteCommand(const RemoteCommand &command);
