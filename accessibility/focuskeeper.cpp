#include "focuskeeper.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

FocusKeeper::FocusKeeper(QWidget *window, const QHash<QWidget *, QWidget *> &parkingSpots)
    : QObject(window)
    , window(window)
    , parkingSpots(parkingSpots)
{
    for (QWidget *button : parkingSpots.keys())
        button->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &FocusKeeper::onFocusChanged);
}

void FocusKeeper::moveFocus(QWidget *to)
{
    moving = true;
    to->setFocus(Qt::OtherFocusReason);
    moving = false;
}

void FocusKeeper::onFocusChanged(QWidget *old, QWidget *now)
{
    if (moving)
        return;
    // Qt moves the focus off a button as it is disabled, before anything else hears of it.
    if (old && !old->isEnabled() && parkingSpots.contains(old)) {
        origin = old;
        parked = parkingSpots.value(old);
        moveFocus(parked);
        return;
    }
    // The user went elsewhere; losing the focus to another window is no such move.
    if (now && now != parked) {
        origin = nullptr;
        parked = nullptr;
    }
}

bool FocusKeeper::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::EnabledChange && watched == origin && origin->isEnabled()) {
        if (parked && window->focusWidget() == parked)
            moveFocus(origin);
        origin = nullptr;
        parked = nullptr;
    }
    return QObject::eventFilter(watched, event);
}
