#pragma once

#include <QString>

class QWidget;

// Everything start-up does once the application object exists: builds the main window (which
// ends the process with status 1 if the transmitter cannot be opened), reads the configuration
// from where a program started as `programName` keeps it (see filelocations.h), shows the
// window, applies the configuration and runs the event loop. Returns the loop's result, the
// process exit status.
int runPanel(const QString &programName);

// What must be settled before the application object exists. On a high-density screen Qt 6
// always draws icons from their larger images; Qt 5 does so only when asked.
void prepareApplication();

// Brings `window` to the front as the user's own start would, with the startup or activation
// token that start was given.
void raiseWindow(QWidget &window, const QString &token);
