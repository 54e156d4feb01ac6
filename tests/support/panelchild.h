#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

class MainWindow;

// The panel in a child process of a test or benchmark program, started the way the program's
// own main() starts it (runPanel()), for what only a whole process shows: start-up, the exit
// status, the files written at the end. A probe in the child acts on the window and reports on
// stdout, one line at a time; the parent collects the lines.
//
//     int main(int argc, char *argv[])               // the test program
//     {
//         QApplication app(argc, argv);
//         if (isPanelChild())
//             return runPanelChild(probe);
//         ...                                          // the tests
//     }
//
//     PanelChild child;                                // in a test
//     QVERIFY(child.start(home.filePath("lumo-win"), port, {"close"}));
//     QVERIFY(child.finish());
//     QCOMPARE(child.texts(), QStringList{"CLOSING"});

// --- in the child ------------------------------------------------------------------------

// Acts on the panel's main window; called once, as soon as the window is shown.
using PanelProbe = std::function<void(MainWindow *window)>;

// Whether this process was started by PanelChild::start().
bool isPanelChild();
// The arguments given to PanelChild::start() for the probe.
QStringList panelChildArguments();
// Runs the panel's start-up as the program named in PanelChild::start() and returns its exit
// status. Unless left open (for measurements that a polling dismisser would disturb), every
// modal box is closed as a user pressing its default button would, and reported as
// "BOX title|text". Needs the QApplication.
enum class ChildBoxes { Dismissed, LeftOpen };
int runPanelChild(const PanelProbe &probe = {}, ChildBoxes boxes = ChildBoxes::Dismissed);
// Reports `line` to the parent, stamped with the milliseconds since the child started.
void tellParent(const QString &line);

// --- in the parent -------------------------------------------------------------------------

class PanelChild
{
public:
    struct Line
    {
        qint64 ms = -1; // the child's clock; -1 for output that did not come from tellParent()
        QString text;
    };

    // Runs this program again as the panel, named `programName` (its settings file is kept
    // beside that name), with LUMO_WIN_PORT set to `port`, off screen. `probeArguments` go to
    // the probe. Set up `process` (working directory, channel mode) before.
    bool start(const QString &programName,
               const QString &port,
               const QStringList &probeArguments = {});
    // Collects the child's lines until it ends; kills it after `timeoutMs`. True when it ended
    // on its own.
    bool finish(int timeoutMs = 60000);

    // Each line as it arrives, while finish() waits.
    std::function<void(const Line &)> onLine;

    QList<Line> lines;
    QString errors; // the child's error output, unless it was forwarded
    QStringList texts() const;
    // The lines whose text starts with `prefix`.
    QList<Line> starting(const QString &prefix) const;
    bool succeeded() const;
    // Exit status, lines and error output, for a failure message.
    QString story() const;

    QProcess process;

private:
    void take(const QByteArray &line);
};
