#pragma once

#include <QDialog>

namespace Ui {
class AboutDialogUi;
}

// "À propos de nodeconfig": the version, the Qt it was built with and runs
// on, the licence, and where the program keeps what it keeps (its
// settings, the last folder of configurations, its cache), as it uses them
// on this computer for this user.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent);
    ~AboutDialog() override;

private:
    Ui::AboutDialogUi *ui;
};
