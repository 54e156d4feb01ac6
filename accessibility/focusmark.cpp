#include "focusmark.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPen>
#include <QWidget>

FocusMark::FocusMark(QWidget *background, const QList<QWidget *> &widgets)
    : QObject(background)
    , widgets(widgets)
{
    background->installEventFilter(this);
    for (QWidget *widget : widgets)
        widget->installEventFilter(this);
}

void FocusMark::setKeyboardInUse(bool inUse)
{
    if (keyboardInUse == inUse)
        return;
    keyboardInUse = inUse;
    if (QWidget *focused = QApplication::focusWidget(); focused && widgets.contains(focused))
        focused->update();
}

void FocusMark::paintMark(QWidget *widget)
{
    QPainter painter(widget);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(widget->palette().color(QPalette::Active, QPalette::Highlight), 2);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(widget->rect()).adjusted(1, 1, -1, -1), 4, 4);
}

bool FocusMark::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        setKeyboardInUse(true);
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        setKeyboardInUse(false);
        break;
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        if (auto *widget = qobject_cast<QWidget *>(watched))
            widget->update();
        break;
    case QEvent::Paint: {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (!keyboardInUse || !widget || !widget->hasFocus() || !widgets.contains(widget))
            break;
        // The widget paints itself first; the frame goes on top.
        watched->event(event);
        paintMark(widget);
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
