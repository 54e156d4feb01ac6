// Preloaded (LD_PRELOAD) into the panel and into the floor program, so that both are measured as
// they ship, by the same code, from inside. LUMO_BENCH_PROBE says what to measure; each result is
// one line on stdout, starting with "probe ", as "key=value" words:
//   startup          "probe shown ms=… png=… plugins=…" when the first window is shown (ms
//                    since this library was loaded, before main(); PNG files decoded and image
//                    plugins loaded until then), "probe painted ms=…" at its first paint; quits.
//   idle:SECONDS[:SETTLE]   after SETTLE seconds (3) to settle, measures for SECONDS and
//                    reports "probe cost …"; quits.
//   blink:SECONDS[:SETTLE]  the same after 17 s (a whole round of a channel's repeats and giving
//                    up), and keeps every channel waiting: an active button that becomes enabled
//                    (a channel gave up) is pressed again for all four channels.
// The cost line: seconds, wakeups (per second, summed over the threads that lived through the
// whole window), threads (that lived through / that came or went), cpu (% of one core), png
// (decodes in the window), rss_kb and peak_kb.
#include "support/pngreads.h" // its counter comes along into this library

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>

namespace {

const auto Loaded = std::chrono::steady_clock::now();

double msSinceLoaded()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now() - Loaded).count();
}

void report(const QString &line)
{
    std::printf("probe %s\n", qPrintable(line));
    std::fflush(stdout);
}

long statusField(const QString &file, const char *field)
{
    QFile status(file);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Voluntary context switches (sleeps that ended) of each thread, by thread id.
std::map<QString, long> threadWakeUps()
{
    std::map<QString, long> wakeUps;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const long count = statusField(tasks.filePath(task + QStringLiteral("/status")),
                                       "voluntary_ctxt_switches");
        if (count >= 0)
            wakeUps[task] = count;
    }
    return wakeUps;
}

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The image format plugins mapped into the process.
QStringList imagePlugins()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    QSet<QString> names;
    if (maps.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : maps.readAll().split('\n')) {
            const int at = line.indexOf("/imageformats/");
            if (at >= 0)
                names.insert(QString::fromLocal8Bit(line.mid(at + 14)));
        }
    }
    QStringList sorted(names.begin(), names.end());
    sorted.sort();
    return sorted;
}

struct Sample
{
    double at = 0;
    std::map<QString, long> wakeUps;
    double cpu = 0;
    long png = 0;
};

Sample sample()
{
    return {msSinceLoaded() / 1000.0, threadWakeUps(), cpuSeconds(), pngReadsStarted()};
}

QString costLine(const Sample &from, const Sample &to)
{
    const double seconds = to.at - from.at;
    long wakeUps = 0;
    int lived = 0;
    for (const auto &thread : from.wakeUps) {
        const auto later = to.wakeUps.find(thread.first);
        if (later != to.wakeUps.end()) {
            wakeUps += later->second - thread.second;
            ++lived;
        }
    }
    const int cameOrWent = int(from.wakeUps.size() + to.wakeUps.size()) - 2 * lived;
    return QStringLiteral("cost seconds=%1 wakeups=%2 threads=%3/%4 cpu=%5 png=%6 rss_kb=%7 "
                          "peak_kb=%8")
        .arg(seconds, 0, 'f', 1)
        .arg(double(wakeUps) / seconds, 0, 'f', 2)
        .arg(lived)
        .arg(cameOrWent)
        .arg(100.0 * (to.cpu - from.cpu) / seconds, 0, 'f', 4)
        .arg(to.png - from.png)
        .arg(statusField(QStringLiteral("/proc/self/status"), "VmRSS"))
        .arg(statusField(QStringLiteral("/proc/self/status"), "VmHWM"));
}

class Probe : public QObject
{
public:
    Probe(const QString &mode, double seconds, double settle)
        : mode(mode)
        , seconds(seconds)
        , settle(settle >= 0                      ? settle
                 : mode == QLatin1String("blink") ? 17
                                                  : 3)
    {}

    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Show && !window && object->isWidgetType()
            && static_cast<QWidget *>(object)->isWindow()) {
            window = static_cast<QWidget *>(object);
            report(QStringLiteral("shown ms=%1 png=%2 plugins=%3")
                       .arg(msSinceLoaded(), 0, 'f', 2)
                       .arg(pngReadsStarted())
                       .arg(imagePlugins().join(',')));
            if (mode != QLatin1String("startup"))
                QTimer::singleShot(0, this, [this] { measure(); });
        } else if (event->type() == QEvent::Paint && object == window && !painted) {
            painted = true;
            report(QStringLiteral("painted ms=%1").arg(msSinceLoaded(), 0, 'f', 2));
            if (mode == QLatin1String("startup")) {
                QTimer::singleShot(0, qApp, &QCoreApplication::quit);
                qApp->removeEventFilter(this);
            }
        } else if (event->type() == QEvent::EnabledChange && buttons.contains(object)
                   && static_cast<QWidget *>(object)->isEnabled() && !pressDue) {
            // After the tick that let it go, so that every channel that gave up is asked again.
            pressDue = true;
            QTimer::singleShot(0, this, [this] { pressActiveButtons(); });
        }
        return false;
    }

private:
    void measure()
    {
        qApp->removeEventFilter(this);
        if (mode == QLatin1String("blink")) {
            for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
                if (button->objectName().startsWith(QLatin1String("activeButton_"))) {
                    buttons.insert(button);
                    button->installEventFilter(this);
                }
            }
        }
        QTimer::singleShot(int(settle * 1000), this, [this] {
            from = sample();
            QTimer::singleShot(int(seconds * 1000), this, [this] {
                report(costLine(from, sample()));
                QCoreApplication::quit();
            });
        });
    }

    void pressActiveButtons()
    {
        pressDue = false;
        for (QObject *button : std::as_const(buttons))
            QMetaObject::invokeMethod(button, "pressed");
    }

    const QString mode;
    const double seconds;
    const double settle;
    QWidget *window = nullptr;
    bool painted = false;
    QSet<QObject *> buttons;
    bool pressDue = false;
    Sample from;
};

void startProbe()
{
    const QStringList words = qEnvironmentVariable("LUMO_BENCH_PROBE").split(QLatin1Char(':'));
    if (words.value(0).isEmpty() || !qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    bool settleGiven = false;
    const double settle = words.value(2).toDouble(&settleGiven);
    auto *probe = new Probe(words.value(0), words.value(1).toDouble(), settleGiven ? settle : -1);
    probe->setParent(qApp);
    qApp->installEventFilter(probe);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startProbe)
