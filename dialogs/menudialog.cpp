#include "menudialog.h"
#include "ui_menudialog.h"

#include "dialogs/about.h"

#include <QApplication>

MenuDialog::MenuDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::MenuDialog)
{
    ui->setupUi(this);
}

MenuDialog::~MenuDialog()
{
    delete ui;
}

void MenuDialog::on_vornaButton_clicked()
{
    About about(this);
    about.setModal(true);
    about.exec();
    // The menu has done its job once the box it opened is closed.
    accept();
}

void MenuDialog::on_qtButton_clicked()
{
    QApplication::aboutQt();
    accept();
}
