#pragma once

#include "link/telegram.h"
#include "support/ptypeer.h"
#include "support/testpanel.h" // frameBytes(), reportBytes(), openPanel()

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <vector>

class MainWindow;

// Everything the pseudo-terminal's far end brought within `timeoutMs`, without running the
// event loop (for threads that play the receivers).
QByteArray readWithin(PtyPeer &peer, int timeoutMs);

// The main window as the panel runs it, on a pseudo-terminal, with the receivers' addresses
// (".channels" content) in a temporary folder. Needs the QApplication.
struct PanelOnPty
{
    explicit PanelOnPty(const QByteArray &addresses);
    ~PanelOnPty();

    PtyPeer peer;
    QTemporaryDir dir;
    MainWindow *window = nullptr;
};

// Activates the channel and lets its receiver report `state`, as an answered query would.
void confirmChannel(MainWindow &window, int index, quint8 state);

// Writes a ".channels" address file with these lines and returns its path.
QString writeAddressFile(const QString &dir, const QByteArray &content);

// Drops the panel's debug lines, so the figures do not measure the terminal.
void quietMessages();

double nowMicroseconds();

struct Summary
{
    size_t count = 0;
    double min = 0, median = 0, p90 = 0, p99 = 0, max = 0, mean = 0;
};
Summary summarize(std::vector<double> values);
// "name: n=… median=… p90=… p99=… max=… unit"
void printSummary(const char *name, const Summary &s, const char *unit);

// Process figures from /proc: resident memory, wake-ups (all threads' voluntary context
// switches: each is a sleep that ended), CPU time used.
long residentKb();
long peakResidentKb();
long wakeUps();
double cpuSeconds();
