#include "boxdismisser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>

BoxDismisser::BoxDismisser(QObject *parent)
    : QObject(parent)
{
    timer.setInterval(10);
    connect(&timer, &QTimer::timeout, this, &BoxDismisser::poll);
    timer.start();
}

void BoxDismisser::poll()
{
    int open = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && qobject_cast<QMessageBox *>(widget))
            ++open;
    maxNesting = qMax(maxNesting, open);

    QWidget *modal = QApplication::activeModalWidget();
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        record(box->windowTitle() + QLatin1Char('|') + box->text());
        // Pressing the button, as a user would, gives exec() its normal result.
        if (QAbstractButton *button = box->buttons().value(0))
            button->click();
        else
            box->accept();
    } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
        record(dialog->windowTitle() + QLatin1Char('|'));
        dialog->accept();
    }
}

void BoxDismisser::record(const QString &box)
{
    seen.append(box);
    if (onBox)
        onBox(box);
}
