#include "about.h"
#include "ui_about.h"

#include "app/version.h"

About::About(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::About)
{
    ui->setupUi(this);
    ui->textBrowser->setOpenLinks(true);
    ui->textBrowser->setOpenExternalLinks(true);
    // Product name and version are not translated; the version is the build's own.
    ui->textBrowser->setHtml(QStringLiteral(
        "<h2>Lumo Win</h2><table><tr><td>Version:</td><td>" LUMO_VERSION "</td></tr></table>"));
}

About::~About()
{
    delete ui;
}
