#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>

class QWidget;

// Keeps keyboard focus in the channel column the user works in. A press locks every channel's
// buttons, and Qt would hand the focus of the disabled button to the next enabled one, the exit
// button: a second Space would close the panel. Instead the focus waits on the column's lamp
// indicator, where keys do nothing, and goes back to the button when the lock ends, unless the
// user has moved it meanwhile.
class FocusKeeper : public QObject
{
    Q_OBJECT

public:
    // `parkingSpots` maps each channel button to the indicator of its column.
    FocusKeeper(QWidget *window, const QHash<QWidget *, QWidget *> &parkingSpots);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onFocusChanged(QWidget *old, QWidget *now);
    void moveFocus(QWidget *to);

    QWidget *const window;
    const QHash<QWidget *, QWidget *> parkingSpots;
    QPointer<QWidget> origin; // the button whose lock took the focus away
    QPointer<QWidget> parked; // where the focus waits for it
    bool moving = false;
};
