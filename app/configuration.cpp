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
    winGeometry = object.value(QLatin1String("winGeometry")).toString();
    winState = object.value(QLatin1String("winState")).toString();
    const QJsonValue activeValue = object.value(QLatin1String("active"));
    const QJsonArray flags = activeValue.toArray();
    const bool wellFormed = activeValue.isArray() && flags.size() == int(active.size());
    for (int n = 0; n < int(active.size()); ++n)
        active[n] = wellFormed && flags.at(n) == QJsonValue(true);
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
    // half-way leaves the previous settings as they were.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return;
    const QByteArray content = toJson();
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return;
    }
    file.commit();
}

bool Configuration::operator==(const Configuration &other) const
{
    return winGeometry == other.winGeometry && winState == other.winState && active == other.active
           && fileName == other.fileName;
}
