#pragma once

struct RemoteCommand;

// Carries out `command` on the panel that runs in this session, over the session bus, and
// returns the exit status (RemoteExit). Prints the result on standard output and what went
// wrong, in one line, on standard error. Needs the core application object.
int runRemoteCommand(const RemoteCommand &command);
