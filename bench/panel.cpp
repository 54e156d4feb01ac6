// The panel's own start-up code (runPanel, as main() runs it) in child processes, measured from
// outside and from inside:
//   startup  process start to the window first shown and first painted (offscreen, warm);
//   blink    four channels waiting for receivers that never answer, kept waiting: wake-ups,
//            CPU share, PNG decodes while blinking, resident memory at the end;
//   idle     four channels confirmed by receivers that answered: wake-ups and CPU share;
//   soak     a session against lumo-sim with a lossy radio and a user pressing buttons:
//            resident memory over time (and leaks, when built with the sanitizers).
// Usage: bench_panel startup [runs] | blink [seconds] | idle [seconds] |
//        soak [minutes] [--sim PATH]
#include "benchsupport.h"

#include "app/mainwindow.h"
#include "app/startup.h"
#include "channel/channel.h"
#include "support/panelchild.h"
#include "support/pngreads.h"
#include "support/simulator.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

const double MainEntered = nowMicroseconds();

const char AddressFile[] = "12 34 56\nA0 A1 A2\n31 41 59\n27 18 28\n";
const char AllActive[]
    = "{\"active\":[true,true,true,true],\"winGeometry\":\"\",\"winState\":\"\"}";

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// --- the child: the panel itself, with a probe ---------------------------------------------

class FirstShown : public QObject
{
public:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *window = qobject_cast<MainWindow *>(object);
        if (window && event->type() == QEvent::Show && !shown) {
            shown = true;
            tellParent(QStringLiteral("shown %1").arg((nowMicroseconds() - MainEntered) / 1000.0));
        }
        if (window && event->type() == QEvent::Paint && !painted) {
            painted = true;
            tellParent(QStringLiteral("painted %1").arg((nowMicroseconds() - MainEntered) / 1000.0));
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }
    bool shown = false;
    bool painted = false;
};

struct Sample
{
    double at;
    long wakeUps;
    double cpu;
    long pngReads;
};

Sample sample()
{
    return {nowMicroseconds(), wakeUps(), cpuSeconds(), pngReadsStarted()};
}

void printCost(const char *what, const Sample &from, const Sample &to)
{
    const double seconds = (to.at - from.at) / 1e6;
    tellParent(
        QStringLiteral("%1: %2 s, %3 wake-ups/s, CPU %4 %, %5 PNG decodes, RSS %6 MB (peak %7 MB)")
            .arg(QLatin1String(what))
            .arg(seconds, 0, 'f', 1)
            .arg(double(to.wakeUps - from.wakeUps) / seconds, 0, 'f', 1)
            .arg(100.0 * (to.cpu - from.cpu) / seconds, 0, 'f', 3)
            .arg(to.pngReads - from.pngReads)
            .arg(double(residentKb()) / 1024.0, 0, 'f', 1)
            .arg(double(peakResidentKb()) / 1024.0, 0, 'f', 1));
}

// Keeps all four channels waiting: a channel that gave up is asked again at once.
void keepBlinking(MainWindow *window)
{
    for (int n = 0; n < 4; ++n) {
        if (!window->channel(n).isActive())
            window->channel(n).onActivePressed();
    }
}

bool allConfirmed(MainWindow *window)
{
    for (int n = 0; n < 4; ++n) {
        if (window->channel(n).currentOperation() != Channel::Confirmed)
            return false;
    }
    return true;
}

int presses = 0;

// A user who presses an enabled button now and then, and closes the window at the end.
void soakUser(MainWindow *window, double minutes)
{
    QElapsedTimer clock;
    clock.start();
    auto *press = new QTimer(window);
    QObject::connect(press, &QTimer::timeout, window, [window] {
        const int n = int(QRandomGenerator::global()->bounded(4));
        const bool lamp = QRandomGenerator::global()->bounded(2) == 1;
        auto *button = window->findChild<QPushButton *>(
            QStringLiteral("%1_%2").arg(lamp ? "lampButton" : "activeButton").arg(n + 1));
        if (button && button->isEnabled()) {
            emit button->pressed();
            ++presses;
        }
    });
    press->start(1500);
    auto *report = new QTimer(window);
    QObject::connect(report, &QTimer::timeout, window, [window, clock, minutes] {
        const double seconds = clock.elapsed() / 1000.0;
        tellParent(QStringLiteral("rss %1 %2").arg(seconds, 0, 'f', 0).arg(residentKb()));
        if (seconds >= minutes * 60) {
            tellParent(QStringLiteral("presses %1").arg(presses));
            window->close();
        }
    });
    report->start(10000);
}

// The probe: bench_panel's own arguments after the program name, "<mode> <amount>".
void probe(MainWindow *window)
{
    const QString mode = panelChildArguments().value(0);
    const double amount = panelChildArguments().value(1).toDouble();
    if (mode == QLatin1String("blink")) {
        auto *keep = new QTimer(window);
        QObject::connect(keep, &QTimer::timeout, window, [window] { keepBlinking(window); });
        keep->start(100);
        // Warm up through one whole round of repeats and giving up (16 s: every image has been
        // shown once), then measure.
        QTimer::singleShot(17000, window, [window, amount] {
            const Sample from = sample();
            QTimer::singleShot(int(amount * 1000), window, [window, from] {
                printCost("blinking", from, sample());
                window->close();
            });
        });
    } else if (mode == QLatin1String("idle")) {
        auto *wait = new QTimer(window);
        QObject::connect(wait, &QTimer::timeout, window, [window, wait, amount] {
            if (!allConfirmed(window))
                return;
            wait->stop();
            QTimer::singleShot(1000, window, [window, amount] {
                const Sample from = sample();
                QTimer::singleShot(int(amount * 1000), window, [window, from] {
                    printCost("four channels confirmed", from, sample());
                    window->close();
                });
            });
        });
        wait->start(50);
    } else if (mode == QLatin1String("soak")) {
        soakUser(window, amount);
    }
}

int runChild()
{
    quietMessages();
    if (panelChildArguments().value(0) == QLatin1String("startup")) {
        auto *shown = new FirstShown;
        shown->setParent(qApp);
        qApp->installEventFilter(shown);
        return runPanelChild({}, ChildBoxes::LeftOpen);
    }
    return runPanelChild(probe, ChildBoxes::LeftOpen);
}

// --- the parent: the line's far end, and the clock ---------------------------------------

struct Home
{
    QTemporaryDir dir;
    QString program() const { return dir.filePath(QStringLiteral("lumo-win")); }

    explicit Home(const char *configuration)
    {
        writeAddressFile(dir.path(), AddressFile);
        if (configuration) {
            QFile file(dir.filePath(QStringLiteral("lumo-win.cnf")));
            if (file.open(QIODevice::WriteOnly))
                file.write(configuration);
        }
    }
};

// Runs the panel in a child process on `port`, giving each line it reports to `onLine` as it
// arrives; returns non-zero when it failed or did not finish in time.
int runChildPanel(const Home &home,
                  const QString &port,
                  const QStringList &arguments,
                  const std::function<void(const QString &)> &onLine,
                  int timeoutMs)
{
    PanelChild child;
    child.process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.onLine = [&onLine](const PanelChild::Line &line) { onLine(line.text); };
    if (!child.start(home.program(), port, arguments) || !child.finish(timeoutMs)) {
        std::fprintf(stderr, "the panel did not finish in time\n");
        return 1;
    }
    if (!child.succeeded()) {
        std::fprintf(stderr, "the panel ended with status %d\n", child.process.exitCode());
        return 1;
    }
    return 0;
}

// The receivers' side of the line: answers each command (or, when `answer` is false, only
// takes it off the line).
class Receivers
{
public:
    Receivers(PtyPeer &pty, bool answer)
        : thread([this, &pty, answer] {
            QByteArray pending;
            while (!stop) {
                pending += readWithin(pty, 50);
                while (pending.size() >= Telegram::FrameLength) {
                    const QByteArray command = pending.left(Telegram::FrameLength);
                    pending.remove(0, Telegram::FrameLength);
                    if (answer) {
                        const auto *body = reinterpret_cast<const quint8 *>(command.constData())
                                           + 1;
                        const quint8 code = body[4] == Telegram::ReportState ? Telegram::LampOff
                                                                             : body[4];
                        pty.write(reportBytes({body[1], body[2], body[3]}, code));
                    }
                }
            }
        })
    {}
    ~Receivers()
    {
        stop = true;
        thread.join();
    }

private:
    std::atomic<bool> stop{false};
    std::thread thread;
};

int startup(int runs)
{
    Home home(nullptr);
    PtyPeer pty;
    Receivers receivers(pty, false);
    std::vector<double> toShown, toPainted, mainToShown;
    const int warmUp = 2;
    for (int run = 0; run < warmUp + runs; ++run) {
        const double started = nowMicroseconds();
        const int status = runChildPanel(
            home,
            pty.slavePath(),
            {QStringLiteral("startup")},
            [&](const QString &line) {
                const double at = nowMicroseconds();
                if (run < warmUp)
                    return;
                if (line.startsWith("shown ")) {
                    toShown.push_back((at - started) / 1000.0);
                    mainToShown.push_back(line.mid(6).toDouble());
                } else if (line.startsWith("painted ")) {
                    toPainted.push_back((at - started) / 1000.0);
                }
            },
            20000);
        if (status != 0)
            return status;
    }
    printSummary("process start to window shown", summarize(toShown), "ms");
    printSummary("process start to window painted", summarize(toPainted), "ms");
    printSummary("main() to window shown", summarize(mainToShown), "ms");
    return 0;
}

int costOf(const char *mode, double seconds)
{
    Home home(AllActive);
    PtyPeer pty;
    Receivers receivers(pty, QByteArray(mode) == "idle");
    return runChildPanel(home,
                         pty.slavePath(),
                         {QLatin1String(mode), QString::number(seconds)},
                         say,
                         int(seconds * 1000) + 60000);
}

int soak(double minutes, QString sim)
{
    if (sim.isEmpty())
        sim = simulatorPath();
    if (sim.isEmpty() || !QFile::exists(sim)) {
        std::fprintf(stderr, "lumo-sim not found; pass --sim PATH\n");
        return 2;
    }
    Home home(nullptr);
    // A lossy radio: a fifth of the commands lost, some reports with a wrong checksum or after
    // line noise, and one receiver reporting unasked.
    QProcess radio;
    radio.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString port = startSimulator(radio,
                                        {QStringLiteral("--lose"),
                                         QStringLiteral("20"),
                                         QStringLiteral("--bad-checksum"),
                                         QStringLiteral("5"),
                                         QStringLiteral("--noise"),
                                         QStringLiteral("10"),
                                         QStringLiteral("--unasked"),
                                         QStringLiteral("2:7"),
                                         QStringLiteral("--seed"),
                                         QStringLiteral("1"),
                                         QStringLiteral("--channels-file"),
                                         home.dir.filePath(QStringLiteral("lumo-win.channels"))},
                                        sim);
    if (port.isEmpty()) {
        std::fprintf(stderr, "lumo-sim did not start\n");
        return 1;
    }
    std::vector<std::pair<double, long>> samples;
    const int status = runChildPanel(
        home,
        port,
        {QStringLiteral("soak"), QString::number(minutes)},
        [&](const QString &line) {
            const QStringList words = line.split(' ');
            if (words.size() == 2 && words[0] == "presses")
                say(QStringLiteral("  %1 button presses").arg(words[1]));
            if (words.size() == 3 && words[0] == "rss") {
                samples.emplace_back(words[1].toDouble(), words[2].toLong());
                say(QStringLiteral("  %1 s: %2 MB")
                        .arg(words[1].toDouble(), 6, 'f', 0)
                        .arg(words[2].toLong() / 1024.0, 0, 'f', 1));
            }
        },
        int(minutes * 60000) + 120000);
    radio.terminate();
    radio.waitForFinished(5000);
    if (status != 0 || samples.size() < 2)
        return 1;
    // Growth from the first minute on, when every image and buffer has been used once (from the
    // first sample in a shorter run).
    size_t from = 0;
    while (from + 1 < samples.size() && samples[from].first < 60)
        ++from;
    if (samples[from].first < 60 || from + 1 == samples.size())
        from = 0;
    say(QStringLiteral("soak: %1 min, RSS %2 MB at %5 s, %3 MB at the end (growth %4 MB)")
            .arg(samples.back().first / 60.0, 0, 'f', 1)
            .arg(samples[from].second / 1024.0, 0, 'f', 1)
            .arg(samples.back().second / 1024.0, 0, 'f', 1)
            .arg((samples.back().second - samples[from].second) / 1024.0, 0, 'f', 2)
            .arg(samples[from].first, 0, 'f', 0));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (isPanelChild())
        return runChild();
    const QString mode = args.value(0);
    if (mode == QLatin1String("startup"))
        return startup(args.size() > 1 ? args[1].toInt() : 20);
    if (mode == QLatin1String("blink") || mode == QLatin1String("idle"))
        return costOf(mode == QLatin1String("blink") ? "blink" : "idle",
                      args.size() > 1 ? args[1].toDouble() : 60);
    if (mode == QLatin1String("soak")) {
        const int sim = args.indexOf(QStringLiteral("--sim"));
        return soak(args.size() > 1 ? args[1].toDouble() : 60,
                    sim > 0 ? args.value(sim + 1) : QString());
    }
    std::fprintf(
        stderr,
        "usage: bench_panel startup [runs] | blink [s] | idle [s] | soak [min] [--sim PATH]\n");
    return 2;
}
