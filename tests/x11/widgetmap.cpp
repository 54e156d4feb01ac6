// Prints where the main window's buttons and indicators sit, as "objectName x y" (the widget's
// centre, relative to the window) for a window of the given size. The X test clicks there: the
// layout comes from the panel's own code, laid out off screen, rather than from numbers the test
// would have to keep in step with the form.
#include "app/mainwindow.h"
#include "support/panelfixture.h"

#include <QApplication>
#include <QWidget>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: x11-widget-map WIDTH HEIGHT\n");
        return 2;
    }
    PanelFixture panel; // the window will not exist without a port to open
    if (!panel.open(QByteArray()))
        return 1;
    MainWindow &window = *panel.window();
    window.resize(arguments[1].toInt(), arguments[2].toInt());
    window.show();
    QApplication::processEvents();
    for (const QWidget *widget : window.findChildren<QWidget *>()) {
        const QString name = widget->objectName();
        if (!name.endsWith(QLatin1String("Button")) && !name.contains(QLatin1String("Button_"))
            && !name.startsWith(QLatin1String("lampLED_")))
            continue;
        const QPoint centre = widget->mapTo(&window, widget->rect().center());
        std::printf("%s %d %d\n", qPrintable(name), centre.x(), centre.y());
    }
    return 0;
}
