// The session-bus module's entry, the one symbol the program looks up in it.

#include "bus/busplugin.h"
#include "bus/lampclient.h"
#include "bus/panelbus.h"

namespace {

BusSession *openSession()
{
    return new PanelBus;
}

const BusPluginEntry entry{BusPluginAbi, &openSession, &runRemoteCommand};

} // namespace

extern "C" Q_DECL_EXPORT const BusPluginEntry *lumoWinBusPlugin()
{
    return &entry;
}
