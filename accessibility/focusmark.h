#pragma once

#include <QList>
#include <QObject>

class QWidget;

// Frames the focused widget while the keyboard is in use, since the flat image buttons show no
// focus of their own. As on most desktops the frame appears with the first key press and goes
// with the next mouse press, so a panel worked with the mouse looks exactly as designed.
class FocusMark : public QObject
{
    Q_OBJECT

public:
    // Marks the `widgets`; mouse presses on `background` hide the mark as well.
    FocusMark(QWidget *background, const QList<QWidget *> &widgets);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setKeyboardInUse(bool inUse);
    void paintMark(QWidget *widget);

    const QList<QWidget *> widgets;
    bool keyboardInUse = false;
};
