#include "broker.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

QString tool(const QString &name)
{
    return QStandardPaths::findExecutable(name,
                                          {QStringLiteral("/usr/sbin"),
                                           QStringLiteral("/usr/bin"),
                                           QStringLiteral("/usr/local/sbin"),
                                           QStringLiteral("/usr/local/bin")});
}

// Runs `program` and waits for its end while the event loop runs.
bool runTool(QProcess &process, const QString &program, const QStringList &arguments, int ms)
{
    process.start(tool(program), arguments);
    QElapsedTimer clock;
    clock.start();
    while (process.state() != QProcess::NotRunning && clock.elapsed() < ms)
        QTest::qWait(10);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit;
}

} // namespace

Broker::Broker()
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

Broker::~Broker()
{
    stop();
}

bool Broker::available()
{
    return !tool(QStringLiteral("mosquitto")).isEmpty()
           && !tool(QStringLiteral("mosquitto_sub")).isEmpty()
           && !tool(QStringLiteral("mosquitto_pub")).isEmpty();
}

bool Broker::start()
{
    if (!dir.isValid() || !available())
        return false;
    if (listenPort == 0) {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost))
            return false;
        listenPort = probe.serverPort();
    }
    const QString config = dir.filePath(QStringLiteral("mosquitto.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n"
                              "log_dest none\n")
                   .arg(listenPort)
                   .toUtf8());
    file.close();
    process.start(tool(QStringLiteral("mosquitto")), {QStringLiteral("-c"), config});
    if (!process.waitForStarted())
        return false;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000 && process.state() == QProcess::Running) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(listenPort));
        if (socket.waitForConnected(200))
            return true;
        QTest::qWait(50);
    }
    return false;
}

void Broker::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished();
    }
}

QMap<QString, QByteArray> Broker::read(const QString &filter, int count, int timeoutMs)
{
    QProcess sub;
    runTool(sub,
            QStringLiteral("mosquitto_sub"),
            {QStringLiteral("-h"),
             QStringLiteral("127.0.0.1"),
             QStringLiteral("-p"),
             QString::number(listenPort),
             QStringLiteral("-t"),
             filter,
             QStringLiteral("-v"),
             QStringLiteral("-C"),
             QString::number(count),
             QStringLiteral("-W"),
             QString::number((timeoutMs + 999) / 1000)},
            timeoutMs + 2000);
    QMap<QString, QByteArray> messages;
    for (const QByteArray &line : sub.readAllStandardOutput().split('\n')) {
        const int blank = line.indexOf(' ');
        if (blank > 0)
            messages[QString::fromUtf8(line.left(blank))] = line.mid(blank + 1);
    }
    return messages;
}

bool Broker::publish(const QString &topic, const QByteArray &payload, bool retain)
{
    QProcess pub;
    QStringList arguments{QStringLiteral("-h"),
                          QStringLiteral("127.0.0.1"),
                          QStringLiteral("-p"),
                          QString::number(listenPort),
                          QStringLiteral("-t"),
                          topic,
                          QStringLiteral("-m"),
                          QString::fromUtf8(payload)};
    if (retain)
        arguments << QStringLiteral("-r");
    return runTool(pub, QStringLiteral("mosquitto_pub"), arguments, 5000) && pub.exitCode() == 0;
}
