#pragma once

#include <QDialog>

namespace Ui {
class MenuDialog;
}

// The side button's pop-up: the product's About dialog, the toolkit's about box and OK. Whichever
// button is used, the menu closes afterwards and the user is back at the main window.
class MenuDialog : public QDialog
{
    Q_OBJECT

public:
    explicit MenuDialog(QWidget *parent = nullptr);
    ~MenuDialog() override;

private slots:
    void on_vornaButton_clicked();
    void on_qtButton_clicked();

private:
    Ui::MenuDialog *ui;
};
