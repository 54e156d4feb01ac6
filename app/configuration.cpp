#include "configuration.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

void Configuration::load(const QString &fileName)
{
    this->fileName = fileName;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    read(file.readAll());
}

void Configuration::read(const QByteArray &content)
{
    const int zero = content.indexOf('\0');
    const QJsonDocument document = QJsonDocument::fromJson(zero < 0 ? content : content.left(zero));
    if (document.isNull())
        return;
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
    // half-way leaves the previous settings as they were. No direct-write fallback: that would
    // truncate the old file first again.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return;
    const QByteArray content = toJson();
    // Flushed here because commit() in Qt 5.15 ignores a flush that fails, and would rename a
    // cut file over the old one.
    if (file.write(content) != content.size() || !file.flush()) {
        file.cancelWriting();
        return;
    }
    file.commit();
}
