#include "app/logguard.h"
#include "link/loglimiter.h"
#include "support/wireandlog.h"

#include <QRegularExpression>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

namespace {
// The fixed line a row's text stands for: an anomaly's text, the sized one with its length.
std::optional<DebugLine> identity(const QString &line)
{
    for (int n = 0; n < AnomalyLineCount; ++n) {
        const QString text = debugLineText(DebugLine(n));
        if (line == text || (DebugLine(n) == DebugLine::InvalidSize && line.startsWith(text + ' ')))
            return DebugLine(n);
    }
    return std::nullopt;
}
} // namespace

class TestLogLimiter : public QObject
{
    Q_OBJECT

private slots:
    void limiter_data();
    void limiter();
    void guardLeavesOutWhatStderrCannotTake();
    void traceHeldLikeTheOtherLines();
};

void TestLogLimiter::limiter_data()
{
    // Each event is "<ms> <line>": the line offered at that time; "<ms>! <line>" counts a line
    // that could not be written; "<ms> reported" marks the report as written.
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("written");
    QTest::addColumn<qint64>("askAt");
    QTest::addColumn<QString>("report"); // empty: none due at askAt

    const QString crc = "Invalid CRC, ignored for now";
    const QString address = "Address not found";
    QStringList flood;
    for (int i = 0; i < 5; ++i)
        flood << "10 " + address << "20 " + crc;
    const QStringList fourEach{address, crc, address, crc, address, crc, address, crc};
    QTest::newRow("four of each kind at once")
        << flood << fourEach << qint64(1010)
        << "Log lines left out in the last 1.0 s: 1 \"Address not found\", 1 \"" + crc + "\"";
    QTest::newRow("not due before a second") << flood << fourEach << qint64(1009) << QString();
    QStringList steady; // ten a second for two seconds, after a burst of four
    for (int ms = 0; ms < 2000; ms += 100)
        steady << QString::number(ms) + " " + address;
    QTest::newRow("ten a second pass")
        << QStringList{"0 " + address, "0 " + address, "0 " + address} + steady
        << QStringList(QVector<QString>(23, address).toList()) << qint64(5000) << QString();
    QTest::newRow("a tenth of a second admits one more")
        << QStringList{"0 " + address,
                       "1 " + address,
                       "2 " + address,
                       "3 " + address,
                       "4 " + address,
                       "100 " + address,
                       "101 " + address}
        << QStringList{address, address, address, address, address} << qint64(1004)
        << "Log lines left out in the last 1.0 s: 2 \"Address not found\"";
    QTest::newRow("every length is one kind")
        << QStringList{"0 Received invalid sized telegram 0",
                       "0 Received invalid sized telegram 5",
                       "0 Received invalid sized telegram 7",
                       "0 Received invalid sized telegram 8",
                       "0 Received invalid sized telegram 9"}
        << QStringList{"Received invalid sized telegram 0",
                       "Received invalid sized telegram 5",
                       "Received invalid sized telegram 7",
                       "Received invalid sized telegram 8"}
        << qint64(2500)
        << "Log lines left out in the last 2.5 s: 1 \"Received invalid sized telegram\"";
    QStringList others;
    for (const char *line :
         {"Opened serial port", "Address not found!", "Received invalid sized telegrams"})
        others += QVector<QString>(5, line).toList();
    QStringList offered = others;
    for (QString &line : offered)
        line.prepend("0 ");
    QTest::newRow("other lines pass, lookalikes too")
        << offered << others << qint64(5000) << QString();
    QTest::newRow("lines that could not be written")
        << QStringList{"0! Opened serial port", "100! " + address, "200! Initialize"}
        << QStringList() << qint64(3000)
        << "Log lines left out in the last 3.0 s: 1 \"Address not found\", 2 other";
    QTest::newRow("a written report starts afresh")
        << QStringList{"0 " + crc,
                       "0 " + crc,
                       "0 " + crc,
                       "0 " + crc,
                       "0 " + crc,
                       "1000 reported",
                       "1500 " + crc,
                       "1500 " + crc,
                       "1500 " + crc,
                       "1500 " + crc,
                       "1500 " + crc,
                       "1500 " + crc}
        << QStringList(QVector<QString>(8, crc).toList()) << qint64(2600)
        << "Log lines left out in the last 1.1 s: 2 \"" + crc + "\"";
    QTest::newRow("nothing due once reported")
        << QStringList{"0 " + crc, "0 " + crc, "0 " + crc, "0 " + crc, "0 " + crc, "1000 reported"}
        << QStringList{crc, crc, crc, crc} << qint64(9000) << QString();
}

void TestLogLimiter::limiter()
{
    QFETCH(QStringList, events);
    QFETCH(QStringList, written);
    QFETCH(qint64, askAt);
    QFETCH(QString, report);

    qint64 now = 0;
    LogLimiter limiter([&now] { return now; });
    QStringList admitted;
    for (const QString &event : events) {
        const int space = event.indexOf(' ');
        QString time = event.left(space);
        const QString line = event.mid(space + 1);
        const bool failed = time.endsWith('!');
        if (failed)
            time.chop(1);
        now = time.toLongLong();
        if (line == "reported")
            limiter.reported();
        else if (failed)
            limiter.countLeftOut(identity(line));
        else if (limiter.admit(identity(line)))
            admitted << line;
    }
    QCOMPARE(admitted, written);
    now = askAt;
    QCOMPARE(limiter.reportDue(), !report.isEmpty());
    if (!report.isEmpty())
        QCOMPARE(limiter.report(), report);
}

// With stderr on a pipe that is full, nothing is written (the line would wait for a reader that
// never comes) and everything is counted; once stderr takes lines again, the report follows.
void TestLogLimiter::guardLeavesOutWhatStderrCannotTake()
{
    int pipeEnds[2];
    QCOMPARE(::pipe2(pipeEnds, O_NONBLOCK), 0);
    ::fcntl(pipeEnds[1], F_SETPIPE_SZ, 4096);
    const QByteArray filler(4096, 'x');
    while (::write(pipeEnds[1], filler.constData(), size_t(filler.size())) > 0) {
    }
    const int savedStderr = ::dup(STDERR_FILENO);
    QVERIFY(savedStderr >= 0);
    QVERIFY(LogGuard::stderrAcceptsLine());

    DebugLog log; // stands for the toolkit's output, behind the guard
    qint64 now = 0; // a busy machine must not let more lines through
    {
        LogGuard guard([&now] { return now; });
        ::dup2(pipeEnds[1], STDERR_FILENO);
        QVERIFY(!LogGuard::stderrAcceptsLine());
        for (int i = 0; i < 100000; ++i)
            writeDebugLine(DebugLine::AddressNotFound);
        qDebug() << "Opened serial port";
        QCOMPARE(log.lines, QStringList());

        ::dup2(savedStderr, STDERR_FILENO);
        QVERIFY(LogGuard::stderrAcceptsLine());
        now = LogLimiter::ReportPeriodMs;
        QVERIFY(QTest::qWaitFor([&] { return !log.lines.isEmpty(); }, 5000));
        QCOMPARE(log.lines.size(), 1);
        const QRegularExpression report(
            R"(^Log lines left out in the last \d+\.\d s: 100000 "Address not found", 1 other$)");
        QVERIFY2(report.match(log.lines[0]).hasMatch(), qPrintable(log.lines[0]));

        // A flood on a stderr that takes lines: a few pass, the rest are counted.
        log.lines.clear();
        for (int i = 0; i < 1000; ++i)
            writeDebugLine(DebugLine::InvalidCommand);
        QCOMPARE(log.lines.size(), LogLimiter::Burst);
        QCOMPARE(log.lines.last(), "Received invalid command");
    }
    // The guard says what it left out when it goes, without waiting for the second to pass.
    QCOMPARE(log.lines.size(), LogLimiter::Burst + 1);
    QVERIFY2(log.lines.last().endsWith(": 996 \"Received invalid command\""),
             qPrintable(log.lines.last()));
    ::close(savedStderr);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
}

// The lumo.link trace under a flood: a few lines of each kind pass, the rest are counted.
void TestLogLimiter::traceHeldLikeTheOtherLines()
{
    QLoggingCategory::setFilterRules("lumo.link.debug=true");
    DebugLog log;
    {
        LogGuard guard([] { return qint64(0); });
        for (int i = 0; i < 1000; ++i) {
            writeTraceLine(TraceLine::Sent, "sent");
            writeTraceLine(TraceLine::Received, "received");
        }
        writeTraceLine(TraceLine::Link, "lost");
    }
    QLoggingCategory::setFilterRules(QString());
    QCOMPARE(log.lines.size(), 2 * LogLimiter::Burst + 2);
    QCOMPARE(log.lines.at(2 * LogLimiter::Burst), "lost");
    QVERIFY2(log.lines.last().endsWith(": 996 \"lumo.link: sent\", 996 \"lumo.link: received\""),
             qPrintable(log.lines.last()));
}

QTEST_GUILESS_MAIN(TestLogLimiter)

#include "tst_loglimiter.moc"
