// The panel measured against the floor (floor.cpp: a bare window with one label and a 100 ms
// timer), both started as they ship, with probe.cpp preloaded, by turns:
//   startup  process start to the window first shown and first painted (offscreen, warm), PNG
//            files decoded and image plugins loaded before it is shown;
//   idle     four channels confirmed by receivers that answered: wake-ups, CPU share, memory;
//   blink    four channels waiting for receivers that never answer, kept waiting: the same, and
//            PNG decodes while blinking (--short: after 1 s instead of a whole round);
// each figure of the panel also as a ratio to the floor's (memory as the difference). And:
//   soak     a session against lumo-sim with a lossy radio and a user pressing buttons:
//            resident memory over time (and leaks, when built with the sanitizers); --data FILE
//            writes the samples ("seconds kilobytes" lines) for a plot.
// Usage: bench_panel startup [runs] | idle [seconds] [--short] | blink [seconds] [--short] |
//        soak [minutes] [--sim PATH] [--data FILE]
#include "benchsupport.h"

#include "app/mainwindow.h"
#include "support/panelchild.h"
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

const char AddressFile[] = "12 34 56\nA0 A1 A2\n31 41 59\n27 18 28\n";
const char AllActive[]
    = "{\"active\":[true,true,true,true],\"winGeometry\":\"\",\"winState\":\"\"}";

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// --- the child: the panel itself, with a simulated user ------------------------------

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

int runChild()
{
    quietMessages();
    return runPanelChild(
        [](MainWindow *window) { soakUser(window, panelChildArguments().value(1).toDouble()); },
        ChildBoxes::LeftOpen);
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

// --- the panel and the floor, started as they ship with the probe preloaded -------------

enum class Program { Floor, Panel };

const char *nameOf(Program program)
{
    return program == Program::Floor ? "floor" : "panel";
}

// A probe line's "key=value" words.
QMap<QString, QString> wordsOf(const QString &line)
{
    QMap<QString, QString> words;
    for (const QString &word : line.split(QLatin1Char(' '))) {
        const int at = word.indexOf(QLatin1Char('='));
        if (at > 0)
            words.insert(word.left(at), word.mid(at + 1));
    }
    return words;
}

struct ProbeLine
{
    double ms = 0; // since the process was started, as the parent saw it arrive
    QString what;  // "shown", "painted", "cost"
    QMap<QString, QString> words;
};

// Starts the program off screen with the probe measuring `mode` ("startup", "idle:30", …); the
// panel as `home`'s lumo-win on `port`. Returns the probe's lines, or none when it failed.
QList<ProbeLine> runProbed(
    Program program, const QString &mode, const Home &home, const QString &port, int timeoutMs)
{
    QString path = QStringLiteral(LUMO_BENCH_FLOOR_PATH);
    if (program == Program::Panel) {
        // Its files are found beside the name it is started by.
        path = home.program();
        if (!QFile::exists(path) && !QFile::link(QStringLiteral(LUMO_WIN_PATH), path))
            return {};
    }
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(LUMO_BENCH_PROBE_PATH));
    env.insert(QStringLiteral("LUMO_BENCH_PROBE"), mode);
    env.insert(QStringLiteral("LUMO_WIN_PORT"), port);
    // The figures are not to measure the terminal.
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("*.debug=false"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.dir.path()); // one warning less
    process.setProcessEnvironment(env);
    QList<ProbeLine> lines;
    const double started = nowMicroseconds();
    process.start(path, QStringList());
    QElapsedTimer clock;
    clock.start();
    while (process.state() != QProcess::NotRunning || process.canReadLine()) {
        if (clock.elapsed() > timeoutMs) {
            process.kill();
            process.waitForFinished();
            std::fprintf(stderr, "the %s did not finish in time\n", nameOf(program));
            return {};
        }
        if (!process.canReadLine() && !process.waitForReadyRead(100))
            continue;
        while (process.canReadLine()) {
            const QString line = QString::fromLocal8Bit(process.readLine()).trimmed();
            if (!line.startsWith(QLatin1String("probe ")))
                continue;
            ProbeLine probed;
            probed.ms = (nowMicroseconds() - started) / 1000.0;
            probed.what = line.section(QLatin1Char(' '), 1, 1);
            probed.words = wordsOf(line);
            lines << probed;
        }
    }
    // Passes on what the program said on stderr, but for the offscreen platform's harmless warning.
    for (const QByteArray &line : process.readAllStandardError().split('\n')) {
        if (!line.isEmpty() && !line.contains("propagateSizeHints"))
            std::fprintf(stderr, "%s: %s\n", nameOf(program), line.constData());
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "the %s ended with status %d\n", nameOf(program), process.exitCode());
        return {};
    }
    return lines;
}

QString ratio(double panel, double floor)
{
    return floor > 0 ? QStringLiteral("%1x").arg(panel / floor, 0, 'f', 2) : QStringLiteral("-");
}

int startup(int runs)
{
    Home home(nullptr);
    PtyPeer pty;
    Receivers receivers(pty, false);
    const int warmUp = 2;
    struct Figures
    {
        std::vector<double> shown, painted, mainToShown;
        QString pngs, plugins;
    } figures[2];
    for (int run = 0; run < warmUp + runs; ++run) {
        // By turns, start by start, so that both meet the same load on the machine.
        for (Program program : {Program::Floor, Program::Panel}) {
            const QList<ProbeLine> lines = runProbed(program,
                                                     QStringLiteral("startup"),
                                                     home,
                                                     pty.slavePath(),
                                                     20000);
            if (lines.size() != 2 || lines[0].what != "shown" || lines[1].what != "painted")
                return 1;
            if (run < warmUp)
                continue;
            Figures &f = figures[int(program)];
            f.shown.push_back(lines[0].ms);
            f.painted.push_back(lines[1].ms);
            f.mainToShown.push_back(lines[0].words.value("ms").toDouble());
            f.pngs = lines[0].words.value("png");
            f.plugins = lines[0].words.value("plugins");
        }
    }
    const auto line = [&figures](const char *what, std::vector<double> Figures::*values) {
        const double floor = summarize(figures[0].*values).median;
        const double panel = summarize(figures[1].*values).median;
        say(QStringLiteral("%1, median: floor %2 ms, panel %3 ms: %4")
                .arg(QLatin1String(what))
                .arg(floor, 0, 'f', 1)
                .arg(panel, 0, 'f', 1)
                .arg(ratio(panel, floor)));
    };
    line("process start to window shown", &Figures::shown);
    line("process start to first paint", &Figures::painted);
    line("probe loaded (before main()) to window shown", &Figures::mainToShown);
    for (const Figures &f : figures) {
        say(QStringLiteral("  %1: %2 PNG decodes and image plugins [%3] before shown")
                .arg(QLatin1String(&f == figures ? "floor" : "panel"))
                .arg(f.pngs)
                .arg(f.plugins));
    }
    return 0;
}

// The floor's and then the panel's cost over `seconds`: four channels confirmed ("idle") or
// waiting for receivers that never answer ("blink").
int costOf(const char *mode, double seconds, bool shortRun)
{
    Home home(AllActive);
    PtyPeer pty;
    Receivers receivers(pty, QByteArray(mode) == "idle");
    QMap<QString, QString> cost[2];
    for (Program program : {Program::Floor, Program::Panel}) {
        const QList<ProbeLine> lines = runProbed(program,
                                                 QStringLiteral("%1:%2%3")
                                                     .arg(QLatin1String(mode))
                                                     .arg(seconds)
                                                     .arg(QLatin1String(shortRun ? ":1" : "")),
                                                 home,
                                                 pty.slavePath(),
                                                 int(seconds * 1000) + 60000);
        if (lines.isEmpty() || lines.last().what != "cost")
            return 1;
        cost[int(program)] = lines.last().words;
    }
    const auto value = [&cost](int program, const char *key) {
        return cost[program].value(QLatin1String(key)).toDouble();
    };
    for (int program : {0, 1}) {
        say(QStringLiteral("  %1: %2 s, CPU %3 %, %4 wake-ups/s (threads through the window: %5, "
                           "come or gone: %6), %7 PNG decodes, RSS %8 MB (peak %9 MB)")
                .arg(QLatin1String(nameOf(Program(program))))
                .arg(cost[program].value("seconds"))
                .arg(value(program, "cpu"), 0, 'f', 3)
                .arg(value(program, "wakeups"), 0, 'f', 1)
                .arg(cost[program].value("threads").section('/', 0, 0))
                .arg(cost[program].value("threads").section('/', 1, 1))
                .arg(cost[program].value("png"))
                .arg(value(program, "rss_kb") / 1024.0, 0, 'f', 1)
                .arg(value(program, "peak_kb") / 1024.0, 0, 'f', 1));
    }
    const QString what = QByteArray(mode) == "idle"
                             ? QStringLiteral("idle, four channels confirmed")
                             : QStringLiteral("four channels blinking");
    say(QStringLiteral("%1: CPU %2, wake-ups %3, RSS %4%5 MB against the floor")
            .arg(what)
            .arg(ratio(value(1, "cpu"), value(0, "cpu")))
            .arg(ratio(value(1, "wakeups"), value(0, "wakeups")))
            .arg(value(1, "rss_kb") >= value(0, "rss_kb") ? "+" : "")
            .arg((value(1, "rss_kb") - value(0, "rss_kb")) / 1024.0, 0, 'f', 1));
    return 0;
}

int soak(double minutes, QString sim, const QString &dataFile)
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
    if (!dataFile.isEmpty()) {
        QFile data(dataFile);
        if (!data.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(dataFile));
            return 1;
        }
        for (const auto &sample : samples)
            data.write(QByteArray::number(sample.first) + ' '
                       + QByteArray::number(qint64(sample.second)) + '\n');
    }
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
                      args.size() > 1 ? args[1].toDouble() : 60,
                      args.contains(QStringLiteral("--short")));
    if (mode == QLatin1String("soak")) {
        const int sim = args.indexOf(QStringLiteral("--sim"));
        const int data = args.indexOf(QStringLiteral("--data"));
        return soak(args.size() > 1 ? args[1].toDouble() : 60,
                    sim > 0 ? args.value(sim + 1) : QString(),
                    data > 0 ? args.value(data + 1) : QString());
    }
    std::fprintf(
        stderr,
        "usage: bench_panel startup [runs] | idle|blink [s] [--short] | soak [min] [--sim PATH] "
        "[--data FILE]\n");
    return 2;
}
