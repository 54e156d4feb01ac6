// The floor the panel is measured against: the least a Qt widget program costs that shows a
// window changing ten times a second. A bare window with one label in a layout and a 100 ms
// timer that writes the tick count on the label; the window has the panel's size, since the
// pixels behind a window of that size (about 3.4 MB) are the toolkit's, whatever it shows.
// scripts/bench runs it by turns with the panel.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QWidget window;
    auto *label = new QLabel(&window);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(label, 0, Qt::AlignCenter); // repaints only its own few pixels
    window.resize(1103, 797);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, label, [label, &ticks] { label->setNum(++ticks); });
    timer.start(100);
    window.show();
    return QApplication::exec();
}
