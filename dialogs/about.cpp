#include "about.h"
#include "ui_about.h"

About::About(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::About)
{
    ui->setupUi(this);
    ui->textBrowser->setOpenLinks(true);
    ui->textBrowser->setOpenExternalLinks(true);
    // Product name and version are not translated.
    ui->textBrowser->setHtml(
        QStringLiteral("<h2>Lumo Win</h2><table><tr><td>Version:</td><td>0.1.2</td></tr></table>"));
}

About::~About()
{
    delete ui;
}
