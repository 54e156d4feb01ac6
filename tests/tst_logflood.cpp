// A hostile radio: frames for unknown addresses and with bad checksums at the pseudo-terminal's
// full speed, against the panel's real start-up in a child process. The debug log stays small,
// and with stderr on a pipe that nobody reads the window still answers and closes normally.
#include "app/logguard.h"
#include "app/mainwindow.h"
#include "app/startup.h"
#include "support/panelchild.h"
#include "support/ptypeer.h"
#include "support/wireandlog.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const ChannelAddress Receiver = {0x12, 0x34, 0x56};
const ChannelAddress Stranger = {0x66, 0x66, 0x66};

// The child's probe: says when the panel is up, keeps the longest pause of its event loop,
// and three seconds later reports that pause and closes the window, as a user would.
void probe(MainWindow *window)
{
    auto sinceBeat = std::make_shared<QElapsedTimer>();
    sinceBeat->start();
    auto *heartbeat = new QTimer(window);
    auto longestPause = std::make_shared<qint64>(0);
    QObject::connect(heartbeat, &QTimer::timeout, window, [sinceBeat, longestPause] {
        *longestPause = qMax(*longestPause, sinceBeat->restart());
    });
    heartbeat->start(10);
    tellParent(window->transmitterPort() ? "READY" : "NO PORT");
    QTimer::singleShot(3000, window, [window, longestPause] {
        tellParent(QStringLiteral("CLOSING after a pause of %1 ms").arg(*longestPause));
        window->close();
    });
}

// What a hostile peer sends: a report for an address no channel has, a report for the active
// channel with a wrong checksum, and one with a state that means nothing.
QByteArray floodPattern()
{
    TelegramFrame badChecksum = buildTelegram(Telegram::ReportKind, Receiver, Telegram::LampOn);
    badChecksum[6] ^= 0x5A;
    const QByteArray one = reportBytes(Stranger, Telegram::LampOn) + frameBytes(badChecksum)
                           + reportBytes(Receiver, 7);
    return one.repeated(4096 / one.size());
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

class TestLogFlood : public QObject
{
    Q_OBJECT

private slots:
    void flood_data();
    void flood();
};

void TestLogFlood::flood_data()
{
    QTest::addColumn<bool>("stderrBlocked");
    QTest::newRow("stderr to a file") << false;
    QTest::newRow("stderr on a full pipe nobody reads") << true;
}

void TestLogFlood::flood()
{
    QFETCH(bool, stderrBlocked);
    QTemporaryDir home;
    QVERIFY(
        writeFile(home.filePath("lumo-win.channels"), "12 34 56\n00 00 00\n00 00 00\n00 00 00\n"));
    QVERIFY(
        writeFile(home.filePath("lumo-win.cnf"),
                  R"({"active": [true, false, false, false], "winGeometry": "", "winState": ""})"));
    PtyPeer peer;
    QVERIFY(peer.isOpen());

    PanelChild child;
    const QString log = home.filePath(stderrBlocked ? "stderr.fifo" : "stderr.log");
    int pipeKeeper = -1; // holds the pipe open without ever reading it
    if (stderrBlocked) {
        QCOMPARE(::mkfifo(QFile::encodeName(log).constData(), 0600), 0);
        pipeKeeper = ::open(QFile::encodeName(log).constData(), O_RDWR | O_NONBLOCK);
        QVERIFY(pipeKeeper >= 0);
        ::fcntl(pipeKeeper, F_SETPIPE_SZ, 4096);
        const QByteArray filler(4096, '.');
        while (::write(pipeKeeper, filler.constData(), size_t(filler.size())) > 0) {
        }
    }
    child.process.setStandardErrorFile(log);

    std::atomic<bool> stop{false};
    std::atomic<bool> stopped{false};
    std::atomic<qint64> sent{0};
    std::thread radio;
    QElapsedTimer flooding;
    QElapsedTimer closing;
    child.onLine = [&](const PanelChild::Line &line) {
        if (line.text == "READY") {
            flooding.start();
            radio = std::thread([&] {
                const QByteArray pattern = floodPattern();
                while (!stop) {
                    peer.write(pattern); // as fast as the line takes it
                    sent += pattern.size();
                }
                stopped = true;
            });
        }
        if (line.text.startsWith("CLOSING"))
            closing.start();
    };
    QVERIFY(child.start(home.filePath("lumo-win"), peer.slavePath()));
    const bool ended = child.finish(30000);
    const qint64 closeMs = closing.isValid() ? closing.elapsed() : -1;
    const double seconds = flooding.isValid() ? flooding.elapsed() / 1000.0 : 0;
    stop = true;
    if (radio.joinable()) {
        // Take what the panel no longer reads, so that the last write can finish.
        const int drain = ::open(QFile::encodeName(peer.slavePath()).constData(),
                                 O_RDWR | O_NOCTTY | O_NONBLOCK);
        while (!stopped) {
            char buffer[4096];
            if (::read(drain, buffer, sizeof buffer) <= 0)
                QThread::usleep(500);
        }
        ::close(drain);
        radio.join();
    }
    if (pipeKeeper >= 0)
        ::close(pipeKeeper);
    QVERIFY2(ended && child.succeeded() && flooding.isValid(), qPrintable(child.story()));
    const auto closingLines = child.starting("CLOSING after a pause of ");
    QVERIFY2(closingLines.size() == 1, qPrintable(child.story()));
    const qint64 longestPause = closingLines[0].text.section(' ', 5, 5).toLongLong();

    // The settings were saved at the close.
    QFile settingsFile(home.filePath("lumo-win.cnf"));
    QVERIFY(settingsFile.open(QIODevice::ReadOnly));
    const QJsonObject settings = QJsonDocument::fromJson(settingsFile.readAll()).object();
    QVERIFY(!settings.value("winGeometry").toString().isEmpty());
    QCOMPARE(settings.value("active").toArray().at(0).toBool(), true);

    QString text; // what the log received, when it went to a file
    if (!stderrBlocked) {
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        text = QString::fromUtf8(file.readAll());
    }
    qint64 leftOut = 0;
    const QRegularExpression report(R"(Log lines left out in the last [\d.]+ s: (\d+) "Address)");
    for (auto match = report.globalMatch(text); match.hasNext();)
        leftOut += match.next().captured(1).toLongLong();
    const qint64 logBytes = text.toUtf8().size();
    qInfo("%.1f MB sent in %.1f s; log %lld bytes (%.0f B/s), %lld \"Address not found\" left "
          "out; ended %lld ms after the window was closed; longest event loop pause %lld ms",
          double(sent) / 1e6,
          seconds,
          logBytes,
          logBytes / seconds,
          leftOut,
          closeMs,
          longestPause);
    QVERIFY2(longestPause < 2000, "the event loop stalled");
    if (!stderrBlocked) {
        for (const char *line :
             {"Address not found", "Invalid CRC, ignored for now", "Received invalid command"})
            QVERIFY2(text.contains(QString("\n") + line + "\n"), line);
        QVERIFY2(leftOut > 100, qPrintable(text.right(2000)));
        QVERIFY2(logBytes / seconds < 2000, qPrintable(text.right(2000)));
    }
}

int main(int argc, char *argv[])
{
    // The child starts as main() starts the program: the log guarded before anything else.
    std::optional<LogGuard> logGuard;
    if (argc > 1 && std::strcmp(argv[1], "--panel-child") == 0)
        logGuard.emplace();
    prepareApplication();
    QApplication app(argc, argv);
    if (isPanelChild())
        return runPanelChild(probe);
    TestLogFlood test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_logflood.moc"
