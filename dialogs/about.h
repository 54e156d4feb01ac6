#pragma once

#include <QDialog>

namespace Ui {
class About;
}

// The product logo beside the product name and version, above a single OK button.
class About : public QDialog
{
    Q_OBJECT

public:
    explicit About(QWidget *parent = nullptr);
    ~About() override;

private:
    Ui::About *ui;
};
