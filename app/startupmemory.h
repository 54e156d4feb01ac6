#pragma once

#include <QObject>

class QWidget;

// Once the window has painted itself the first time, and with it every image it shows,
// returns the memory that starting up used and no longer needs: see returnStartupMemory().
class StartupMemory : public QObject
{
    Q_OBJECT

public:
    explicit StartupMemory(QWidget *window); // a child of the window

    // Returns it at once; the pages given back are those of the images compiled into the
    // program.
    static void returnNow();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
