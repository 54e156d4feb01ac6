#pragma once

#include "app/mainwindow.h"
#include "support/boxdismisser.h"
#include "support/ptypeer.h"
#include "support/wireandlog.h"

#include <QByteArray>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class QLabel;

// The panel as a test or a benchmark drives it: a MainWindow whose transmitter is a
// pseudo-terminal played by the test (`peer`), with its receivers' address file in a temporary
// folder (`dir`). Needs the QApplication. One fixture per test function, for example:
//
//     PanelFixture panel;                          // the pty, named as the transmitter
//     MainWindow *window = panel.open("11 22 33\n"); // built on that address file, not shown
//     QVERIFY(window && panel.show());             // shown; ticks come from the test
//     panel.button("lampButton", 1)->click();
//     window->onTimerTick();
//     QCOMPARE(panel.peer.read(8), ...);           // what went out on the line
//     panel.peer.write(reportBytes(...));          // what the receivers say
//
// The window is deleted with the fixture (or by close()), before the pty goes away.
class PanelFixture
{
public:
    PanelFixture();
    ~PanelFixture();
    PanelFixture(const PanelFixture &) = delete;
    PanelFixture &operator=(const PanelFixture &) = delete;

    // Writes `addresses` as "lumo-win.channels" in `dir` and builds the window on that file; a
    // null array builds it without an address file (no channel has a receiver). An earlier
    // window is deleted first. Returns nullptr when the pty or the file could not be made.
    MainWindow *open(const QByteArray &addresses);
    MainWindow *window() const { return panel.get(); }
    // Deletes the window.
    void close();

    enum Ticks { TicksByHand, TicksByTimer };
    // Shows the window and waits until it is exposed. TicksByHand stops the 100 ms tick, so
    // that ticks come only from the test's own onTimerTick() calls.
    bool show(Ticks ticks = TicksByHand);

    // The window's widgets, by object name.
    template<typename T = QWidget>
    T *find(const QString &name) const
    {
        return panel ? panel->findChild<T *>(name) : nullptr;
    }
    QPushButton *button(const QString &name) const { return find<QPushButton>(name); }
    // A channel's (1 to 4) "activeButton" or "lampButton", and its indicator.
    QPushButton *button(const char *kind, int channel) const;
    QLabel *indicator(int channel) const;

    // Hands `bytes` to the window as if they had just come in on the line.
    void receive(const QByteArray &bytes);
    // Activates channel `index` (0 to 3) and lets its receiver report `state`, as an answered
    // query would.
    void confirmChannel(int index, quint8 state);

    // The debug lines written since the first call, collected instead of printed.
    QStringList &log();
    // From the first call on, closes every modal box as a user pressing its default button
    // would; what each box said is in boxes().seen.
    BoxDismisser &boxes();

    PtyPeer peer;
    QTemporaryDir dir;

private:
    std::unique_ptr<DebugLog> debugLog;
    std::unique_ptr<BoxDismisser> dismisser;
    std::unique_ptr<MainWindow> panel;
};
