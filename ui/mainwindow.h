#pragma once

#include "protocol/fieldmap.h"

#include <QMainWindow>

#include <array>

namespace Ui {
class MainWindowUi;
}
class QLineEdit;
class QWidget;

// The tool's one window. Its slots do all of the work; their bodies live
// with the part that owns the behaviour: the refresh in ui/, the search in
// usb/, the commands in protocol/.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private slots:
    void updateDisplay();
    void searchDevice();
    void on_bSend_clicked();
    void on_bReset_clicked();
    void on_bAddRideau_clicked();
    void on_bAddCostume_clicked();
    void on_output_currentIndexChanged(int index);

private:
    using ConfigEdits = std::array<QLineEdit *, Slot::EditCount>;
    using FrequencyWidgets = std::array<QWidget *, 4>;

    void installValidators();
    bool validateInputs();
    bool checkCurtainNumber();
    bool checkCostumeNumber();

    // The 31 configuration edits, indexed by display slot.
    ConfigEdits configEdits() const;
    // The clock fields and their captions, shown only for clocked chips.
    FrequencyWidgets frequencyWidgets() const;

    Ui::MainWindowUi *ui;
};
