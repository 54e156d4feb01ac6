#include "benchsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numeric>

#include <unistd.h>

QByteArray readWithin(PtyPeer &peer, int timeoutMs)
{
    const double until = nowMicroseconds() + timeoutMs * 1000.0;
    QByteArray bytes = peer.readNow();
    while (bytes.isEmpty() && nowMicroseconds() < until) {
        ::usleep(100);
        bytes = peer.readNow();
    }
    return bytes;
}

std::unique_ptr<PanelFixture> shownPanel(const QByteArray &addresses)
{
    auto panel = std::make_unique<PanelFixture>();
    if (!panel->open(addresses) || !panel->show(PanelFixture::TicksByTimer)) {
        std::fprintf(stderr, "the panel could not be shown\n");
        std::exit(2);
    }
    return panel;
}

QString writeAddressFile(const QString &dir, const QByteArray &content)
{
    const QString path = QDir(dir).filePath(QStringLiteral("lumo-win.channels"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(2);
    }
    return path;
}

void quietMessages()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        // The offscreen platform's one harmless warning is not worth a line per window.
        if (type != QtDebugMsg && type != QtInfoMsg
            && !text.contains(QLatin1String("propagateSizeHints")))
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
}

double nowMicroseconds()
{
    using namespace std::chrono;
    return duration<double, std::micro>(steady_clock::now().time_since_epoch()).count();
}

Summary summarize(std::vector<double> values)
{
    Summary s;
    s.count = values.size();
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    // Nearest-rank percentiles.
    auto rank = [&values](double p) {
        const size_t index = size_t(std::ceil(p * double(values.size()))) - 1;
        return values[std::min(index, values.size() - 1)];
    };
    s.min = values.front();
    s.median = rank(0.5);
    s.p90 = rank(0.9);
    s.p99 = rank(0.99);
    s.max = values.back();
    s.mean = std::accumulate(values.begin(), values.end(), 0.0) / double(values.size());
    return s;
}

void printSummary(const char *name, const Summary &s, const char *unit)
{
    std::printf("%s: n=%zu min=%.3f median=%.3f p90=%.3f p99=%.3f max=%.3f mean=%.3f %s\n",
                name,
                s.count,
                s.min,
                s.median,
                s.p90,
                s.p99,
                s.max,
                s.mean,
                unit);
    std::fflush(stdout);
}

namespace {

long statusField(const QString &file, const char *field)
{
    QFile status(file);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLong();
    }
    return 0;
}

} // namespace

long residentKb()
{
    return statusField(QStringLiteral("/proc/self/status"), "VmRSS");
}

long peakResidentKb()
{
    return statusField(QStringLiteral("/proc/self/status"), "VmHWM");
}

long wakeUps()
{
    long total = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString file = tasks.filePath(task + QStringLiteral("/status"));
        total += statusField(file, "voluntary_ctxt_switches");
    }
    return total;
}

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}
