#pragma once

#include "link/telegram.h"
#include "support/panelfixture.h" // also frameBytes(), reportBytes()

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

// Everything the pseudo-terminal's far end brought within `timeoutMs`, without running the
// event loop (for threads that play the receivers).
QByteArray readWithin(PtyPeer &peer, int timeoutMs);

// The panel on a pseudo-terminal, shown, with its own tick running (see PanelFixture); ends the
// program when it cannot be made. Needs the QApplication.
std::unique_ptr<PanelFixture> shownPanel(const QByteArray &addresses);

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
