#include "configuration.h"

#include "files/filesafety.h"
#include "link/debuglines.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

void reportSaveFailure(const QString &fileName, const QString &reason)
{
    qDebug().noquote() << QStringLiteral("Cannot save the settings file %1 (%2): the settings of "
                                         "this run are lost")
                              .arg(printableForLog(fileName), reason);
}

} // namespace

void Configuration::load(const QString &fileName, const QString &readFrom)
{
    this->fileName = fileName;
    const QString path = readFrom.isEmpty() ? fileName : readFrom;
    const FileContent file = readRegularFile(path);
    if (file.status == FileContent::NotRead)
        qDebug().noquote() << QStringLiteral("Cannot read the settings file %1 (%2): starting "
                                             "with the defaults")
                                  .arg(printableForLog(path), file.problem);
    if (file.status != FileContent::Read)
        return;
    const QString problem = read(file.content);
    if (!problem.isEmpty())
        qDebug().noquote() << QStringLiteral("Cannot use the settings file %1 (%2): starting with "
                                             "the defaults, which replace it at close")
                                  .arg(printableForLog(path), problem);
}

QString Configuration::read(const QByteArray &content)
{
    const int zero = content.indexOf('\0');
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(zero < 0 ? content : content.left(zero),
                                                           &error);
    if (document.isNull()) {
        if (content.isEmpty())
            return QStringLiteral("the file is empty");
        return QStringLiteral("not JSON: %1 at byte %2").arg(error.errorString()).arg(error.offset);
    }
    // A top-level array reads as an object without members.
    const QJsonObject object = document.object();
    const QJsonValue geometry = object.value(QLatin1String("winGeometry"));
    winGeometry = geometry.isString() ? geometry.toString() : QString();
    const QJsonValue state = object.value(QLatin1String("winState"));
    winState = state.isString() ? state.toString() : QString();
    // Flags only count as a whole: a list of another length says nothing about which is which.
    const QJsonValue flagsValue = object.value(QLatin1String("active"));
    const QJsonArray flags = flagsValue.isArray() ? flagsValue.toArray() : QJsonArray();
    const bool complete = flags.size() == int(active.size());
    for (int n = 0; n < int(active.size()); ++n) {
        const QJsonValue flag = complete ? flags.at(n) : QJsonValue();
        active[n] = flag.isBool() && flag.toBool();
    }
    return QString();
}

QByteArray Configuration::toJson() const
{
    QJsonArray flags;
    for (bool flag : active)
        flags.append(flag);
    QJsonObject object;
    object.insert(QLatin1String("winGeometry"), winGeometry);
    object.insert(QLatin1String("winState"), winState);
    object.insert(QLatin1String("active"), flags);
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

void Configuration::save() const
{
    // Written beside the old file and renamed over it when complete: a full disk or a crash
    // half-way leaves the previous settings as they were. Where the folder takes no new file but
    // the file itself may be written (a shared or administered folder), it is written in place:
    // not saving at all would lose the settings every time.
    // A FIFO, a device or another user's symbolic link is left alone.
    const QString problem = saveTargetProblem(fileName);
    if (!problem.isEmpty()) {
        reportSaveFailure(fileName, problem);
        return;
    }
    // The per-user folder is made at the first save.
    const QString folder = QFileInfo(fileName).absolutePath();
    if (!QDir().mkpath(folder)) {
        reportSaveFailure(fileName, QStringLiteral("cannot create the folder %1").arg(folder));
        return;
    }
    QSaveFile file(fileName);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        reportSaveFailure(fileName, file.errorString());
        return;
    }
    const QByteArray content = toJson();
    // Flushed here because commit() in Qt 5.15 ignores a flush that fails, and would rename a
    // cut file over the old one.
    if (file.write(content) != content.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        reportSaveFailure(fileName, reason);
        return;
    }
    if (!file.commit())
        reportSaveFailure(fileName, file.errorString());
}
