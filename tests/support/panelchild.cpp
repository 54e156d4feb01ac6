#include "panelchild.h"

#include "app/mainwindow.h"
#include "app/startup.h"
#include "support/boxdismisser.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

const QString ChildFlag = QStringLiteral("--panel-child");
QElapsedTimer childClock;

} // namespace

bool isPanelChild()
{
    return QCoreApplication::arguments().value(1) == ChildFlag;
}

QStringList panelChildArguments()
{
    return QCoreApplication::arguments().mid(3);
}

void tellParent(const QString &line)
{
    std::printf("%lld %s\n", childClock.elapsed(), qPrintable(line));
    std::fflush(stdout);
}

int runPanelChild(const PanelProbe &probe, ChildBoxes boxes)
{
    childClock.start();
    std::unique_ptr<BoxDismisser> dismisser;
    if (boxes == ChildBoxes::Dismissed) {
        dismisser = std::make_unique<BoxDismisser>();
        dismisser->onBox = [](const QString &box) { tellParent(QStringLiteral("BOX ") + box); };
    }
    // Polled, because a box can run an event loop while the window is still being built.
    QTimer shown;
    QObject::connect(&shown, &QTimer::timeout, [&shown, &probe] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *window = qobject_cast<MainWindow *>(widget);
            if (window && window->isVisible()) {
                shown.stop();
                probe(window);
                return;
            }
        }
    });
    if (probe)
        shown.start(5);
    return runPanel(QCoreApplication::arguments().value(2));
}

bool PanelChild::start(const QString &programName,
                       const QString &port,
                       const QStringList &probeArguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LUMO_WIN_PORT"), port);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.start(QCoreApplication::applicationFilePath(),
                  QStringList{ChildFlag, programName} + probeArguments);
    return process.waitForStarted();
}

bool PanelChild::finish(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (process.state() != QProcess::NotRunning && clock.elapsed() < timeoutMs) {
        process.waitForReadyRead(100);
        while (process.canReadLine())
            take(process.readLine());
    }
    const bool ended = process.state() == QProcess::NotRunning || process.waitForFinished(1000);
    if (!ended) {
        process.kill();
        process.waitForFinished();
    }
    while (process.canReadLine())
        take(process.readLine());
    take(process.readAll());
    errors += QString::fromLocal8Bit(process.readAllStandardError());
    return ended;
}

void PanelChild::take(const QByteArray &bytes)
{
    const QByteArray line = bytes.endsWith('\n') ? bytes.chopped(1) : bytes;
    if (line.isEmpty())
        return;
    Line taken;
    const int space = line.indexOf(' ');
    bool stamped = false;
    const qint64 ms = line.left(space).toLongLong(&stamped);
    if (space > 0 && stamped) {
        taken.ms = ms;
        taken.text = QString::fromLocal8Bit(line.mid(space + 1));
    } else {
        taken.text = QString::fromLocal8Bit(line);
    }
    lines << taken;
    if (onLine)
        onLine(taken);
}

QStringList PanelChild::texts() const
{
    QStringList result;
    for (const Line &line : lines)
        result << line.text;
    return result;
}

QList<PanelChild::Line> PanelChild::starting(const QString &prefix) const
{
    QList<Line> found;
    for (const Line &line : lines) {
        if (line.text.startsWith(prefix))
            found << line;
    }
    return found;
}

bool PanelChild::succeeded() const
{
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QString PanelChild::story() const
{
    QStringList text;
    for (const Line &line : lines)
        text << QStringLiteral("%1 %2").arg(line.ms).arg(line.text);
    return QStringLiteral("exit %1/%2\n%3\n%4")
        .arg(process.exitStatus())
        .arg(process.exitCode())
        .arg(text.join('\n'), errors.right(3000));
}
