#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

// Closes every modal box that opens while it lives, as a user pressing its default button
// would, and records what each box said ("title|text").
class BoxDismisser : public QObject
{
    Q_OBJECT

public:
    explicit BoxDismisser(QObject *parent = nullptr);

    QStringList seen;
    // The deepest number of boxes that were open at the same time.
    int maxNesting = 0;
    // Called with each box's "title|text" as it is closed.
    std::function<void(const QString &)> onBox;

private:
    void poll();
    void record(const QString &box);

    QTimer timer;
};
