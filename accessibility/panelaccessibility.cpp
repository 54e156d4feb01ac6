#include "panelaccessibility.h"
#include "ui_mainwindow.h"

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

PanelAccessibility::PanelAccessibility(QMainWindow *window, const Ui::MainWindow &form)
    : QObject(window)
{
    QList<QWidget *> marked{form.sideButton, form.vornaButton, form.exitButton};
    name(form.sideButton, tr("Menu"), tr("Opens the menu"));
    name(form.vornaButton, tr("About"), tr("Shows the program's name and version"));
    name(form.exitButton, tr("Exit"), tr("Closes the panel"));

    QWidget *const columns[ChannelCount][3]
        = {{form.lampLED_1, form.lampButton_1, form.activeButton_1},
           {form.lampLED_2, form.lampButton_2, form.activeButton_2},
           {form.lampLED_3, form.lampButton_3, form.activeButton_3},
           {form.lampLED_4, form.lampButton_4, form.activeButton_4}};
    QHash<QWidget *, QWidget *> indicatorOf;
    for (int n = 1; n <= ChannelCount; ++n) {
        QWidget *indicator = columns[n - 1][0];
        QWidget *lampSwitch = columns[n - 1][1];
        QWidget *activeButton = columns[n - 1][2];
        name(indicator, tr("Channel %1 lamp").arg(n));
        name(lampSwitch, tr("Channel %1 lamp switch").arg(n));
        name(activeButton, tr("Channel %1 active").arg(n));
        indicatorOf.insert(lampSwitch, indicator);
        indicatorOf.insert(activeButton, indicator);
        marked << indicator << lampSwitch << activeButton;
    }
    new FocusKeeper(window, indicatorOf);
    new FocusMark(window->centralWidget(), marked);
}
