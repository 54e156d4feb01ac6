#pragma once

#include <QObject>

class QMainWindow;
namespace Ui {
class MainWindow;
}

// Names the fifteen image-only widgets of the main window for assistive technology, and gives
// the top bar and exit buttons their tool tips; the channels describe their own widgets' state.
class PanelAccessibility : public QObject
{
    Q_OBJECT

public:
    PanelAccessibility(QMainWindow *window, const Ui::MainWindow &form);
};
