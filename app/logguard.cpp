#include "logguard.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <memory>
#include <mutex>
#include <utility>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <unistd.h>
#endif

namespace {
std::mutex mutex; // lines may come from any thread
std::unique_ptr<LogLimiter> limiter;
QtMessageHandler next = nullptr;
QPointer<QTimer> reportTimer; // a child of the application object; single-shot
std::atomic<bool> reportArmed{false};

// Something was left out: a report must follow even when no further line comes. The timer runs
// only then, so a quiet panel is not woken for it; one queued start per report, not per line.
void armReport()
{
    if (reportTimer && !reportArmed.exchange(true)) {
        QTimer *timer = reportTimer.data();
        QMetaObject::invokeMethod(
            timer, [timer] { timer->start(); }, Qt::QueuedConnection);
    }
}

// Takes the report if one is due (or anything is counted, when `evenIfNotDue`) and stderr can
// take it.
QString takeReport(bool evenIfNotDue)
{
    if (!(evenIfNotDue || limiter->reportDue()))
        return QString();
    const QString report = limiter->report();
    if (report.isEmpty() || !LogGuard::stderrAcceptsLine())
        return QString();
    limiter->reported();
    return report;
}

void writeReport(const QString &report)
{
    if (!report.isEmpty())
        next(QtDebugMsg, QMessageLogContext(), report);
}

void guardedOutput(QtMsgType type, const QMessageLogContext &context, const QString &line)
{
    QString report;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (limiter) {
            const std::optional<DebugLine> known = debugLineBeingWritten();
            const std::optional<TraceLine> trace = traceLineBeingWritten();
            if (!limiter->admit(known, trace)) {
                armReport();
                return;
            }
            if (!LogGuard::stderrAcceptsLine()) {
                limiter->countLeftOut(known, trace);
                armReport();
                return;
            }
            report = takeReport(false);
        }
    }
    // Written outside the lock: the output may take its time without holding up other threads.
    writeReport(report);
    next(type, context, line);
}

void writeDueReport()
{
    QString report;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        reportArmed = false;
        if (limiter) {
            report = takeReport(false);
            if (report.isEmpty() && !limiter->report().isEmpty())
                armReport(); // not due yet, or stderr still full: ask again
        }
    }
    writeReport(report);
}

// The report of a flood that has stopped must not wait for the next line: a timer asks once
// the application object exists (the routine stays registered for any later one).
void startReports()
{
    if (reportTimer || !limiter)
        return;
    auto *timer = new QTimer(QCoreApplication::instance());
    timer->setSingleShot(true);
    timer->setInterval(int(LogLimiter::ReportPeriodMs));
    QObject::connect(timer, &QTimer::timeout, timer, &writeDueReport);
    reportTimer = timer;
    const std::lock_guard<std::mutex> lock(mutex);
    if (!limiter->report().isEmpty())
        armReport();
}
} // namespace

LogGuard::LogGuard(LogLimiter::Clock clock)
{
    if (!clock) {
        auto steady = std::make_shared<QElapsedTimer>();
        steady->start();
        clock = [steady] { return steady->elapsed(); };
    }
    {
        const std::lock_guard<std::mutex> lock(mutex);
        limiter = std::make_unique<LogLimiter>(std::move(clock));
        reportArmed = false; // an earlier guard's timer may have gone while armed
    }
    next = qInstallMessageHandler(guardedOutput);
    qAddPreRoutine(startReports); // at once when the application object exists
}

LogGuard::~LogGuard()
{
    delete reportTimer.data();
    qInstallMessageHandler(next);
    QString report;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        report = takeReport(true);
        limiter.reset();
    }
    writeReport(report);
}

bool LogGuard::stderrAcceptsLine()
{
#ifdef Q_OS_UNIX
    // A pipe or terminal reports POLLOUT while it has room for a short line. A closed stderr
    // fails a write at once, so it may be written; a reader that has gone (POLLERR) would
    // raise SIGPIPE instead.
    pollfd fd{STDERR_FILENO, POLLOUT, 0};
    if (::poll(&fd, 1, 0) < 0)
        return false;
    if (fd.revents & POLLNVAL)
        return true;
    return (fd.revents & POLLOUT) && !(fd.revents & POLLERR);
#else
    return true;
#endif
}
