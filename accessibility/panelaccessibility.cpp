#include "panelaccessibility.h"

#include "accessibility/focuskeeper.h"
#include "accessibility/focusmark.h"
#include "link/telegram.h"

#include <QHash>
#include <QMainWindow>
#include <QWidget>

namespace {
void name(QWidget *widget, const QString &name, const QString &description = QString())
{
    if (!widget)
        return;
    widget->setAccessibleName(name);
    if (description.isEmpty())
        return;
    // The channels' widgets carry their changing state as description and tool tip; these
    // buttons only say what they do.
    widget->setAccessibleDescription(description);
    widget->setToolTip(name);
}
} // namespace

PanelAccessibility::PanelAccessibility(QMainWindow *window)
    : QObject(window)
{
    auto find = [window](const QString &objectName) {
        return window->findChild<QWidget *>(objectName);
    };
    QList<QWidget *> marked;
    for (const char *objectName : {"sideButton", "vornaButton", "exitButton"}) {
        if (QWidget *widget = find(objectName))
            marked << widget;
    }
    name(find("sideButton"), tr("Menu"), tr("Opens the menu"));
    name(find("vornaButton"), tr("About"), tr("Shows the program's name and version"));
    name(find("exitButton"), tr("Exit"), tr("Closes the panel"));

    QHash<QWidget *, QWidget *> indicatorOf;
    for (int n = 1; n <= ChannelCount; ++n) {
        const QString suffix = QString("_%1").arg(n);
        QWidget *indicator = find("lampLED" + suffix);
        QWidget *lampSwitch = find("lampButton" + suffix);
        QWidget *activeButton = find("activeButton" + suffix);
        if (!indicator || !lampSwitch || !activeButton)
            continue;
        name(indicator, tr("Channel %1 lamp").arg(n));
        name(lampSwitch, tr("Channel %1 lamp switch").arg(n));
        name(activeButton, tr("Channel %1 active").arg(n));
        indicatorOf.insert(lampSwitch, indicator);
        indicatorOf.insert(activeButton, indicator);
        marked << indicator << lampSwitch << activeButton;
    }
    new FocusKeeper(window, indicatorOf);
    if (window->centralWidget())
        new FocusMark(window->centralWidget(), marked);
}
