#pragma once

#include "app/mainwindow.h"

#include <QApplication>

// The main window that runPanel() made, for code that runs beside the panel's own start-up.
inline MainWindow *panelWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<MainWindow *>(widget))
            return window;
    }
    return nullptr;
}
