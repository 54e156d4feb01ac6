#include "platform/signalclose.h"

#include <QWidget>

// A Windows program with a window gets no console signals (Ctrl+C does not reach it and there is
// no SIGTERM). Logoff and shutdown come as QGuiApplication::commitDataRequest, which the start-up
// code connects on every platform: nothing to do here.
SignalClose::SignalClose(QWidget *window)
    : window(window)
{}

SignalClose::~SignalClose() = default;
